#pragma once
// Terminal settings of the port side, read and written through the kernel's own structure,
// which carries the speed as a number whether it was set as a standard rate or not.

namespace vexilo::sim {

// Raw, 8 data bits, no parity, receiver on, modem lines ignored, at the speed.
bool set_raw_line(int fd, int speed);
// The output speed; 0 when it cannot be read.
int line_speed(int fd);
bool line_echoes(int fd);
// Drops what was sent to the client and not yet read. What the client sent is left alone:
// on a pseudo-terminal that flush would also take a new client's first command.
void drop_replies(int fd);

}  // namespace vexilo::sim
