#include "pty_port.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "instrument.h"
#include "line_settings.h"

namespace vexilo::sim {
namespace {

std::string system_error(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace

bool PtyPort::open(std::string& error) {
    close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0) {
        error = system_error("cannot open a pseudo-terminal");
        return false;
    }
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = system_error("cannot unlock the pseudo-terminal");
        close();
        return false;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = system_error("cannot name the pseudo-terminal");
        close();
        return false;
    }
    name_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0) {
        error = system_error("cannot open " + name_);
        close();
        return false;
    }
    // The port starts as a serial port does: raw, 9600 baud, no echo. A pseudo-terminal's
    // defaults (echo, line editing) would bounce every reply back as a command.
    if (!set_raw_line(slave_, LOW_SPEED)) {
        error = system_error("cannot set up " + name_);
        close();
        return false;
    }
    // Opened and closed files of the port side show who uses it; our own descriptor was
    // opened before the watch, so only clients count.
    watch_fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_fd_ < 0 ||
        inotify_add_watch(watch_fd_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        error = system_error("cannot watch " + name_);
        close();
        return false;
    }
    return true;
}

void PtyPort::close() {
    for (int* fd : {&watch_fd_, &slave_, &master_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    name_.clear();
}

void PtyPort::take_open_changes(std::vector<int>& changes) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(watch_fd_, buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (event.mask & IN_OPEN) changes.push_back(+1);
            if (event.mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) changes.push_back(-1);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
}

int PtyPort::client_speed() const {
    return line_speed(slave_);
}

bool PtyPort::client_echoes() const {
    return line_echoes(slave_);
}

void PtyPort::reset_line() {
    drop_replies(slave_);
    ioctl(slave_, TIOCNXCL);
    set_raw_line(slave_, LOW_SPEED);
}

int PtyPort::pending_to_client() const {
    int n = 0;
    if (ioctl(slave_, FIONREAD, &n) != 0) return 0;
    return n;
}

bool make_link(const std::string& path, const std::string& target, std::string& error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        error = path + " exists and is not a symbolic link; it is left alone";
        return false;
    }
    const std::string temporary = path + ".new" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        error = system_error("cannot create the link " + path);
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = system_error("cannot create the link " + path);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

void remove_link(const std::string& path, const std::string& target) {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n > 0 && std::string(buffer.data(), static_cast<std::size_t>(n)) == target) {
        unlink(path.c_str());
    }
}

}  // namespace vexilo::sim
