#pragma once
// The serial link to the instrument: the one channel between the program and the Nimbra.
//
// It sends command lines (text + CR), assembles the characters that come back into reply
// lines, and classifies each finished line: "@" acknowledges, "@text" refuses with a message,
// a line beginning with "|" ends a multi-line reply, anything else is data. The sender's
// completion action runs on an acknowledgement or an end line; chains of commands are
// completion actions that start the next command. Before the first command the line speed is
// raised from 9600 to 38400 baud in agreement with the instrument; shutdown lowers it again.
//
// Widget-free, so vexilo-cli can use it; the diagnostic window is a view of the five boxes.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "link/line_box.h"
#include "link/progress_sink.h"
#include "link/serial_port.h"

namespace vexilo {

class Tnimbra_lib {
  public:
    using Action = std::function<void()>;
    using StatusSink = std::function<void(const std::string& text)>;
    // Called when the port cannot be opened, with the system's reason. True: try again (the
    // handler may have changed the port number); false: give up.
    using PortProblemHandler = std::function<bool(const std::string& error)>;

    static constexpr int kLowSpeed = 9600;
    static constexpr int kHighSpeed = 38400;
    static constexpr int kReplyTicks = 100;       // 5500 ms
    static constexpr int kLongReplyTicks = 1200;  // 66000 ms, for kLongCommand only
    static constexpr const char* kLongCommand = "RES_OBJECTS";
    static constexpr int kSwitchPauseMs = 200;
    static constexpr int kShutdownPauseMs = 1000;
    // Longest reply line kept; the instrument's longest real line is far shorter, so anything
    // beyond is garbage on the line and is dropped rather than grown without end.
    static constexpr std::size_t kMaxReplyLine = 4096;

    explicit Tnimbra_lib(std::unique_ptr<SerialPort> port);
    // Runs FormDestroy: the instrument goes back to 9600 baud if it was switched.
    ~Tnimbra_lib();
    Tnimbra_lib(const Tnimbra_lib&) = delete;
    Tnimbra_lib& operator=(const Tnimbra_lib&) = delete;

    // Registration by the window or vexilo-cli, before FormCreate.
    void set_status_sink(StatusSink sink) { status_sink_ = std::move(sink); }
    void set_timeout_action(Action action) { timeout_action_ = std::move(action); }
    // Runs after a refusal's message was shown: the operation in progress has stopped.
    void set_refusal_action(Action action) { refusal_action_ = std::move(action); }
    // Runs first in FormCreate: the instrument operations forget the configuration they read.
    void set_create_action(Action action) { create_action_ = std::move(action); }
    void set_port_problem_handler(PortProblemHandler handler) {
        port_problem_ = std::move(handler);
    }
    void set_receive_progress(ProgressSink* bar) { receive_progress_ = bar; }
    void set_queue_progress(ProgressSink* bar) { queue_progress_ = bar; }

    // Link creation: clears the state and the output and debug boxes, then opens the port.
    // False only when the port problem handler gave up.
    bool FormCreate();
    // Link shutdown: leave_high_speed.
    void FormDestroy() { leave_high_speed(); }

    // Opens the port, asking the port problem handler while opening fails.
    bool open_port();
    // Sends text + CR at the current speed with the reply time-out armed.
    void send_command(const std::string& text, Action completion);
    // The normal command path: switches to high speed first when needed.
    void run_command(const std::string& text, Action completion,
                     bool show_receive_progress = false);
    void queue_command(const std::string& text) { cmd_box.add(text); }
    void clear_queue() { cmd_box.clear(); }
    // Sends every line of cmd_box, each after the previous one was acknowledged; `done` runs
    // after the last acknowledgement.
    void send_queue(Action done);
    void set_status(const std::string& text);
    // Switches the port to another number; the same number changes nothing.
    void set_port_number(int number);
    // Moves to `number` even when it is the current one: the device behind a number changed.
    void reconnect(int number);
    // Tells the instrument to return to 9600 baud (only when it was switched).
    void leave_high_speed();

    int port_number() const { return port_->port_number(); }
    // Whether port `number` can be opened; the link's own open port counts as available.
    bool port_available(int number) { return port_->can_open(number); }
    bool high_speed() const { return high_speed_; }
    bool closing() const { return closing_; }
    int queue_position() const { return queue_position_; }
    SerialPort& port() { return *port_; }

    LineBox cmd_box;     // the command queue
    LineBox return_box;  // every reply line, in order
    LineBox config_box;  // the lines of the object list file last loaded or written
    LineBox output_box;  // sent commands and notes
    LineBox debug_box;

  private:
    void portTriggerAvail(int count);
    void portTriggerTimer(SerialPort::TimerHandle timer);
    void take_reply_char(char c);
    void end_reply_line();
    void switch_step();
    void send_next();
    void change_port(int number);

    std::unique_ptr<SerialPort> port_;
    SerialPort::TimerHandle reply_timer_ = -1;
    bool opening_ = false;

    std::string reply_line_;
    bool reply_overflow_ = false;
    Action completion_;
    std::string deferred_command_;
    Action deferred_action_;
    bool high_speed_ = false;
    bool closing_ = false;
    bool show_receive_progress_ = false;
    // A reply is still owed: arrivals re-arm the reply timer so a reply that stalls half-way
    // times out like a silent one. Cleared by the end of the reply and by a time-out.
    bool awaiting_reply_ = false;
    int reply_ticks_ = kReplyTicks;
    bool receiving_ = false;

    ProgressSink* receive_progress_ = nullptr;
    ProgressSink* queue_progress_ = nullptr;
    int queue_position_ = 0;
    Action queue_done_;

    StatusSink status_sink_;
    Action timeout_action_;
    Action refusal_action_;
    Action create_action_;
    PortProblemHandler port_problem_;
};

}  // namespace vexilo
