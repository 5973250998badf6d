#pragma once
// What the link needs of a serial port, and nothing more. The platform implements it over a
// real port; tests use a fake one with a fake clock. Everything runs on the user-interface
// thread: notifications arrive from its event loop.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vexilo {

// Timers count in ticks of this many milliseconds.
inline constexpr int kTickMs = 55;

class SerialPort {
  public:
    using TimerHandle = int;

    virtual ~SerialPort() = default;

    // The port's number (1 for COM1); the platform maps it to a device.
    virtual int port_number() const = 0;
    // Takes another number. An open port is closed and reopened on it, keeping the line
    // settings and the timers; when reopening fails the port stays closed and `error` says why.
    virtual bool set_port_number(int number, std::string& error) = 0;
    // Opens the port on its number; on failure `error` holds the operating system's reason.
    virtual bool open(std::string& error) = 0;
    virtual void close() = 0;
    virtual bool is_open() const = 0;
    // Whether port `number` could be opened now. The port's own number counts while it is open.
    virtual bool can_open(int number) = 0;
    // What the port is, for people and records: the device behind its number, or what the
    // port says it is (a line over the network names its address).
    virtual std::string describe() const = 0;

    virtual int baud_rate() const = 0;
    virtual void set_baud_rate(int baud) = 0;
    // The line's speed is set at its far end and cannot be changed from here (a raw TCP
    // device server): the link talks at that speed and never switches.
    virtual bool fixed_speed() const { return false; }

    // Queues bytes for sending without waiting for them to leave; nothing happens when closed.
    virtual void send(std::string_view bytes) = 0;
    // Takes one received character; false when none is waiting.
    virtual bool take_char(char& c) = 0;
    // Drops every received character not yet taken, also those the system still holds;
    // returns how many there were.
    virtual std::size_t discard_input() = 0;
    // Called when received characters can be taken; the argument is how many.
    virtual void set_data_handler(std::function<void(int count)> handler) = 0;

    // Called once when the line is lost (a hang-up, a vanished device, a failing read); the
    // port has closed itself by then, so nothing polls a dead device. The argument says why.
    virtual void set_lost_handler(std::function<void(const std::string& reason)> handler) = 0;

    // One-shot timers owned by the port; they outlive a change of port number.
    virtual TimerHandle create_timer() = 0;
    virtual void start_timer(TimerHandle timer, int ticks) = 0;
    virtual void stop_timer(TimerHandle timer) = 0;
    virtual void set_timer_handler(std::function<void(TimerHandle timer)> handler) = 0;

    // Blocks for `ms` milliseconds while what was sent leaves the port. The protocol's two
    // waits (after a speed change, before closing) go through here so tests can fake the clock.
    virtual void pause(int ms) = 0;
};

}  // namespace vexilo
