#pragma once
// A pseudo-terminal pair for tests: the program opens the slave's path like a serial device,
// the test plays the instrument on the master side.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace vexilo::test {

class Pty {
  public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const char* name = ptsname(master_);
        if (name) path_ = name;
        // Hold the slave open too, so the pair survives the program closing its side.
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
    }
    ~Pty() {
        close_master();
        if (slave_ >= 0) ::close(slave_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0 && slave_ >= 0 && !path_.empty(); }
    const std::string& path() const { return path_; }

    void write(const std::string& bytes) const {
        (void)!::write(master_, bytes.data(), bytes.size());
    }
    // Writes what fits without blocking; returns how many bytes went.
    size_t write_some(const char* bytes, size_t size) const {
        const int flags = fcntl(master_, F_GETFL);
        fcntl(master_, F_SETFL, flags | O_NONBLOCK);
        const ssize_t n = ::write(master_, bytes, size);
        fcntl(master_, F_SETFL, flags);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }
    // Whatever the program has sent by now, waiting up to `ms` for the first byte.
    std::string read(int ms) const {
        std::string all;
        pollfd p{master_, POLLIN, 0};
        while (::poll(&p, 1, all.empty() ? ms : 20) > 0) {
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            all.append(buffer, static_cast<size_t>(n));
        }
        return all;
    }
    bool settings(termios& t) const { return tcgetattr(slave_, &t) == 0; }
    void close_master() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

}  // namespace vexilo::test
