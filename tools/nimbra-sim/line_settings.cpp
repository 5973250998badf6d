// Uses the kernel's termios2 rather than the C library's termios: the two cannot share a
// translation unit, hence this file of its own.
#include "line_settings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vexilo::sim {

bool set_raw_line(int fd, int speed) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | CIBAUD);
    // A standard rate as its code, so that programs which read the old structure see it.
    const tcflag_t code = speed == 9600 ? B9600 : speed == 38400 ? B38400 : BOTHER;
    t.c_cflag |= CS8 | CREAD | CLOCAL | code;
    t.c_ispeed = static_cast<speed_t>(speed);
    t.c_ospeed = static_cast<speed_t>(speed);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &t) == 0;
}

int line_speed(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return 0;
    return static_cast<int>(t.c_ospeed);
}

bool line_echoes(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    return (t.c_lflag & ECHO) != 0;
}

void drop_replies(int fd) {
    ioctl(fd, TCFLSH, TCIFLUSH);
}

}  // namespace vexilo::sim
