#pragma once
// Runs nimbra-sim as a child process for tests, and talks to it through its pseudo-terminal
// as the program would. Every wait has a generous limit, so that a test fails instead of
// hanging, and the child is killed when the test ends.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/field_text.h"
#include "config/text_file.h"

extern char** environ;

namespace vexilo::test {

inline constexpr int kWaitMs = 10000;

// The object lines of a list file or of the simulator's state file, in order.
inline std::vector<std::string> object_lines_of(const std::string& path) {
    std::vector<std::string> objects;
    const auto lines = read_text_lines(path);
    if (!lines) return objects;
    const auto range = find_object_lines(*lines);
    objects.assign(lines->begin() + static_cast<std::ptrdiff_t>(range.first),
                   lines->begin() + static_cast<std::ptrdiff_t>(range.end));
    return objects;
}

inline std::int64_t monotonic_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
}

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexilo-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

class SimProcess {
  public:
    // Starts the simulator with the arguments; its log goes to a file in dir.
    SimProcess(const std::string& program, const std::vector<std::string>& args, const TempDir& dir)
        : log_path_(dir.file("nimbra-sim-" + std::to_string(++serial()) + ".log")) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_path_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        stdout_ = out[0];
    }
    ~SimProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0) close(stdout_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The next line the simulator prints on stdout; nothing at its end or after the limit.
    std::optional<std::string> stdout_line(int timeout_ms = kWaitMs) {
        const std::int64_t end = monotonic_ms() + timeout_ms;
        for (;;) {
            if (const auto nl = stdout_text_.find('\n'); nl != std::string::npos) {
                std::string line = stdout_text_.substr(0, nl);
                stdout_text_.erase(0, nl + 1);
                return line;
            }
            const std::int64_t left = end - monotonic_ms();
            if (left <= 0 || stdout_ < 0) return std::nullopt;
            pollfd fd{stdout_, POLLIN, 0};
            if (poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
            char buffer[512];
            const ssize_t n = read(stdout_, buffer, sizeof buffer);
            if (n <= 0) return std::nullopt;
            stdout_text_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // The device from the next "port: DEVICE" line.
    std::optional<std::string> port(int timeout_ms = kWaitMs) {
        const auto line = stdout_line(timeout_ms);
        if (!line || line->rfind("port: ", 0) != 0) return std::nullopt;
        return line->substr(6);
    }

    std::string log() const {
        std::ifstream in(log_path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Waits until the log holds the text count times; false after the limit.
    bool wait_for_log(const std::string& text, int count = 1, int timeout_ms = kWaitMs) const {
        const std::int64_t end = monotonic_ms() + timeout_ms;
        for (;;) {
            const std::string all = log();
            int found = 0;
            for (auto at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) {
                ++found;
            }
            if (found >= count) return true;
            if (monotonic_ms() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Sends the signal and waits for the exit status; -1 when it does not end in time.
    int stop(int signal_number = SIGTERM, int timeout_ms = kWaitMs) {
        if (pid_ <= 0) return -1;
        kill(pid_, signal_number);
        return wait(timeout_ms);
    }

    // The exit status once the process has ended by itself; -1 after the limit.
    int wait(int timeout_ms = kWaitMs) {
        if (pid_ <= 0) return -1;
        const std::int64_t end = monotonic_ms() + timeout_ms;
        for (;;) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (monotonic_ms() >= end) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    bool started() const { return pid_ > 0; }

  private:
    static int& serial() {
        static int n = 0;
        return n;
    }
    std::string log_path_;
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string stdout_text_;
};

// The program's end of the line: raw, 8N1, no flow control in the driver, at a speed.
class PtyClient {
  public:
    explicit PtyClient(const std::string& device, speed_t speed = B9600) {
        fd_ = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        tcsetattr(fd_, TCSANOW, &t);
        set_speed(speed);
    }
    ~PtyClient() { close_port(); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void close_port() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    void set_speed(speed_t speed) {
        termios t{};
        tcgetattr(fd_, &t);
        cfsetspeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
    }

    bool send_bytes(const std::string& bytes) {
        std::size_t done = 0;
        const std::int64_t end = monotonic_ms() + kWaitMs;
        while (done < bytes.size() && monotonic_ms() < end) {
            const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd p{fd_, POLLOUT, 0};
                poll(&p, 1, 100);
            }
        }
        return done == bytes.size();
    }

    bool send(const std::string& command) { return send_bytes(command + "\r"); }

    // The next reply line without its CR (an LF stays part of the line, as the link keeps
    // it); nothing when no complete line arrives in time.
    std::optional<std::string> read_line(int timeout_ms = kWaitMs) {
        const std::int64_t end = monotonic_ms() + timeout_ms;
        for (;;) {
            if (const auto cr = input_.find('\r'); cr != std::string::npos) {
                std::string line = input_.substr(0, cr);
                input_.erase(0, cr + 1);
                return line;
            }
            if (!fill(static_cast<int>(end - monotonic_ms()))) return std::nullopt;
        }
    }

    // Reply lines up to and including the first one that begins with "|".
    std::vector<std::string> read_reply(int timeout_ms = kWaitMs) {
        std::vector<std::string> lines;
        while (auto line = read_line(timeout_ms)) {
            lines.push_back(*line);
            if (!line->empty() && line->front() == '|') break;
        }
        return lines;
    }

    // Everything that arrives within the time; for checks that nothing does.
    std::string read_for(int ms) {
        const std::int64_t end = monotonic_ms() + ms;
        while (fill(static_cast<int>(end - monotonic_ms()))) {
        }
        std::string all = std::move(input_);
        input_.clear();
        return all;
    }

    // True when the other side has hung up (poll reports it, or a read fails).
    bool hung_up(int timeout_ms = kWaitMs) {
        const std::int64_t end = monotonic_ms() + timeout_ms;
        while (monotonic_ms() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) > 0) {
                if (p.revents & (POLLHUP | POLLERR)) return true;
                char buffer[256];
                const ssize_t n = read(fd_, buffer, sizeof buffer);
                if (n < 0 && errno != EAGAIN) return true;
                if (n == 0) return true;
                if (n > 0) input_.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return false;
    }

  private:
    bool fill(int timeout_ms) {
        if (timeout_ms <= 0 || fd_ < 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0) return false;
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) return false;
        input_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int fd_ = -1;
    std::string input_;
};

}  // namespace vexilo::test
