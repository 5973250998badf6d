#pragma once
// The simulator's end of the line: a pseudo-terminal whose other side the program opens as
// its serial port. The simulator keeps the port side open itself, so that the terminal and
// its settings survive between the program's sessions, and watches who opens and closes it.

#include <string>
#include <vector>

namespace vexilo::sim {

class PtyPort {
  public:
    PtyPort() = default;
    ~PtyPort() { close(); }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Creates a new pseudo-terminal at 9600 baud, raw. False with the reason in error.
    bool open(std::string& error);
    void close();
    bool is_open() const { return master_ >= 0; }

    int master() const { return master_; }
    // Readable when the port side has been opened or closed; see take_open_changes.
    int watch() const { return watch_fd_; }
    const std::string& name() const { return name_; }

    // Reads the open and close notifications of the port side: +1 for each open, -1 for
    // each close, in the order they happened.
    void take_open_changes(std::vector<int>& changes);

    // The speed the client set in the terminal settings of the port.
    int client_speed() const;
    // True when the terminal settings echo what the simulator sends back to it.
    bool client_echoes() const;

    // What a closed port forgets: replies not yet read, exclusive use and the client's
    // settings (back to raw 9600).
    void reset_line();

    // Bytes sent but not yet taken by the client.
    int pending_to_client() const;

  private:
    int master_ = -1;
    int slave_ = -1;
    int watch_fd_ = -1;
    std::string name_;
};

// Points path at target through a symbolic link, replacing an earlier link atomically. An
// existing file that is not a symbolic link is left alone: false with the reason.
bool make_link(const std::string& path, const std::string& target, std::string& error);
// Removes the link when it still points at target.
void remove_link(const std::string& path, const std::string& target);

}  // namespace vexilo::sim
