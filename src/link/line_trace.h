#pragma once
// A trace of the line for the service engineer who must find out why a device server or an
// adapter misbehaves: every line sent and received as it crossed the port, with a millisecond
// time stamp and its direction, the bytes as they were on the wire and each byte outside
// printable ASCII in hex; speed changes, discarded input and a lost line between them.
//
// It wraps the port the link talks to, so it sees the bytes in the order and at the time they
// really went and came. While nobody listens it only passes calls on.

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "link/serial_port.h"

namespace vexilo {

// "2026-12-09 09:31:08.123", local time.
std::string trace_time(std::chrono::system_clock::time_point time);

class TracedPort final : public SerialPort {
  public:
    // Gets each trace line, without its line end.
    using LineListener = std::function<void(const std::string& line)>;

    explicit TracedPort(std::unique_ptr<SerialPort> inner);
    ~TracedPort() override;

    // Starts adding the trace to the file at `path` (made when absent), after a line naming
    // the port; false with the reason when it cannot be written.
    bool start_file(const std::string& path, std::string& error);
    void stop_file();
    const std::string& file_path() const { return path_; }
    // Another view of the same lines (the link's diagnostic window); empty to stop.
    void set_line_listener(LineListener listener);

    // Marks: "> " sent, "< " received, "-- " what happened to the line.
    void trace(const char* mark, std::string_view bytes);

    SerialPort& inner() { return *inner_; }

    int port_number() const override { return inner_->port_number(); }
    bool set_port_number(int number, std::string& error) override;
    bool open(std::string& error) override;
    void close() override;
    bool is_open() const override { return inner_->is_open(); }
    bool can_open(int number) override { return inner_->can_open(number); }
    std::string describe() const override { return inner_->describe(); }
    int baud_rate() const override { return inner_->baud_rate(); }
    void set_baud_rate(int baud) override;
    bool fixed_speed() const override { return inner_->fixed_speed(); }
    void send(std::string_view bytes) override;
    bool take_char(char& c) override;
    std::size_t discard_input() override;
    void set_data_handler(std::function<void(int)> handler) override {
        inner_->set_data_handler(std::move(handler));
    }
    void set_lost_handler(std::function<void(const std::string&)> handler) override;
    TimerHandle create_timer() override { return inner_->create_timer(); }
    void start_timer(TimerHandle timer, int ticks) override { inner_->start_timer(timer, ticks); }
    void stop_timer(TimerHandle timer) override { inner_->stop_timer(timer); }
    void set_timer_handler(std::function<void(TimerHandle)> handler) override {
        inner_->set_timer_handler(std::move(handler));
    }
    void pause(int ms) override { inner_->pause(ms); }

  private:
    bool tracing() const { return file_ != nullptr || listener_; }
    void end_received();

    std::unique_ptr<SerialPort> inner_;
    std::FILE* file_ = nullptr;
    std::string path_;
    LineListener listener_;
    std::function<void(const std::string&)> lost_handler_;
    // Received bytes of a line not yet ended; a line is traced when its CR or LF comes.
    std::string received_;
};

}  // namespace vexilo
