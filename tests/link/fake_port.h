#pragma once
// A serial port with a fake clock: records what is sent (with the speed it went out at) and
// every step of the protocol in order; the test delivers received bytes and moves the clock.

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace vexilo::test {

class FakePort final : public SerialPort {
  public:
    struct Sent {
        std::string bytes;
        int baud;
    };

    int port_number() const override { return number_; }
    bool set_port_number(int number, std::string& error) override {
        events.push_back("port " + std::to_string(number));
        const bool was_open = open_;
        open_ = false;
        number_ = number;
        return !was_open || open(error);
    }
    bool open(std::string& error) override {
        if (!available.count(number_)) {
            error = "COM" + std::to_string(number_) + " does not exist";
            return false;
        }
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool is_open() const override { return open_; }
    std::string describe() const override { return "COM" + std::to_string(number_); }
    bool can_open(int number) override {
        return (open_ && number == number_) || available.count(number) > 0;
    }

    int baud_rate() const override { return baud_; }
    void set_baud_rate(int baud) override {
        baud_ = baud;
        events.push_back("baud " + std::to_string(baud));
    }

    void send(std::string_view bytes) override {
        if (!open_) return;
        sent.push_back({std::string(bytes), baud_});
        if (also_sent) also_sent->push_back(sent.back());
        events.push_back("send " + std::string(bytes));
    }
    bool take_char(char& c) override {
        if (input_.empty()) return false;
        c = input_.front();
        input_.pop_front();
        return true;
    }
    std::size_t discard_input() override {
        const std::size_t waiting = input_.size();
        input_.clear();
        events.push_back("discard");
        return waiting;
    }
    void set_data_handler(std::function<void(int)> handler) override {
        data_handler_ = std::move(handler);
    }

    void set_lost_handler(std::function<void(const std::string&)> handler) override {
        lost_handler_ = std::move(handler);
    }
    // The line goes away: the port closes itself and says so.
    void lose(const std::string& reason) {
        open_ = false;
        if (lost_handler_) lost_handler_(reason);
    }

    TimerHandle create_timer() override {
        const TimerHandle handle = next_timer_++;
        timers_[handle] = -1;
        return handle;
    }
    void start_timer(TimerHandle timer, int ticks) override {
        timers_[timer] = now_ms + static_cast<long>(ticks) * kTickMs;
        last_ticks = ticks;
    }
    void stop_timer(TimerHandle timer) override { timers_[timer] = -1; }
    void set_timer_handler(std::function<void(TimerHandle)> handler) override {
        timer_handler_ = std::move(handler);
    }

    // A blocking wait: the clock moves, timers fire only when the event loop runs again.
    void pause(int ms) override {
        now_ms += ms;
        events.push_back("pause " + std::to_string(ms));
    }

    // The instrument's bytes arrive in one notification.
    void deliver(const std::string& bytes) {
        input_.insert(input_.end(), bytes.begin(), bytes.end());
        if (data_handler_) data_handler_(static_cast<int>(input_.size()));
    }

    // Bytes that wait in the system unseen: no notification.
    void arrive_unnoticed(const std::string& bytes) {
        input_.insert(input_.end(), bytes.begin(), bytes.end());
    }

    // Moves the clock, firing each timer whose time has come, in time order.
    void advance(long ms) {
        const long end = now_ms + ms;
        for (;;) {
            TimerHandle due = -1;
            long when = end + 1;
            for (const auto& [handle, deadline] : timers_) {
                if (deadline >= 0 && deadline <= end && deadline < when) {
                    due = handle;
                    when = deadline;
                }
            }
            if (due < 0) break;
            if (when > now_ms) now_ms = when;
            timers_[due] = -1;
            if (timer_handler_) timer_handler_(due);
        }
        now_ms = end;
    }

    // What went out, joined.
    std::string sent_text() const {
        std::string all;
        for (const Sent& s : sent)
            all += s.bytes;
        return all;
    }

    std::set<int> available{1};
    std::vector<Sent> sent;
    std::vector<Sent>* also_sent = nullptr;  // outlives the port
    std::vector<std::string> events;
    long now_ms = 0;
    int last_ticks = 0;

  private:
    int number_ = 1;
    bool open_ = false;
    int baud_ = 9600;
    std::deque<char> input_;
    std::function<void(int)> data_handler_;
    std::function<void(TimerHandle)> timer_handler_;
    std::function<void(const std::string&)> lost_handler_;
    std::map<TimerHandle, long> timers_;
    TimerHandle next_timer_ = 1;
};

}  // namespace vexilo::test
