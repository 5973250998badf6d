#pragma once
// The serial link to the instrument: the one channel between the program and the Nimbra.
//
// It sends command lines (text + CR), assembles the characters that come back into reply
// lines, and classifies each finished line: "@" acknowledges, "@text" refuses with a message,
// a line beginning with "|" ends a multi-line reply, anything else is data. The sender's
// completion action runs on an acknowledgement or an end line, once; chains of commands are
// completion actions that start the next command. One command is in flight at a time, and
// lines that arrive while none waits are counted and dropped. Before the first command the
// line speed is found and raised to 38400 baud in agreement with the instrument; shutdown
// lowers it again. A lost line closes the port; the next command opens it again.
//
// Widget-free, so vexilo-cli can use it. It keeps no lines for anyone to read: it reports
// what it sends, receives and notes as events, and each view (the diagnostic window, the
// operations' copy of a reply, a trace) keeps its own lines.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "link/progress_sink.h"
#include "link/serial_port.h"

namespace vexilo {

// One thing the link did, reported as it happened.
struct LinkEvent {
    enum class Kind {
        Sent,          // a command line went out: text without its CR; raw as it went on the wire
        SentUnlogged,  // the last "SET_BAUD 9600" at shutdown: on the wire, never in the log
        Received,  // a line of the reply awaited: text translated, raw as it came (with its end)
        Dropped,   // a line that no command waited for: counted and dropped, never kept
        Note,      // what the link noticed, or a note handed to it for the log
        Queued,    // a line joined the command queue
        QueueCleared,
        ReplyStarted,  // a reply of many lines was asked for: its list starts again
        LogCleared,    // link creation empties the log
        FileLines,     // the lines of a list file loaded or written (text: its path)
    };
    enum class Direction { None, Out, In };

    Kind kind;
    std::string text;
    std::string raw;
    const std::vector<std::string>* lines = nullptr;  // FileLines only

    Direction direction() const {
        if (kind == Kind::Sent || kind == Kind::SentUnlogged) return Direction::Out;
        if (kind == Kind::Received || kind == Kind::Dropped) return Direction::In;
        return Direction::None;
    }
};

class Tnimbra_lib {
  public:
    using Action = std::function<void()>;
    using StatusSink = std::function<void(const std::string& text)>;
    // Called when the port cannot be opened, with the system's reason. True: try again (the
    // handler may have changed the port number); false: give up.
    using PortProblemHandler = std::function<bool(const std::string& error)>;
    using EventListener = std::function<void(const LinkEvent& event)>;
    // Why a command (or the queue it belongs to) ended without its completion.
    enum class Failure { Refused, NoAnswer, LineLost, PortChanged, NotSent };
    using FailureAction = std::function<void(Failure failure, const std::string& text)>;

    // What the link knows of the instrument's line speed. Unknown until the instrument has
    // answered at a speed, and again after a time-out, a restart or a lost line.
    enum class Speed { Low, High, Unknown };

    static constexpr int kLowSpeed = 9600;
    static constexpr int kHighSpeed = 38400;
    static constexpr int kReplyTicks = 100;       // 5500 ms
    static constexpr int kLongReplyTicks = 1200;  // 66000 ms, for kLongCommand only
    static constexpr const char* kLongCommand = "RES_OBJECTS";
    // The one command answered by data lines and an end line; every other answer is one line.
    static constexpr const char* kMultiLineCommand = "GET_CONFIG";
    static constexpr const char* kRestartCommand = "RSTRT";
    static constexpr int kSwitchPauseMs = 200;
    static constexpr int kShutdownPauseMs = 1000;
    // A line the device server closed before anything was answered is opened again, this
    // long apart, for this long at most: well within the time a connection may take.
    static constexpr int kQuickReopenPauseMs = 250;
    static constexpr int kQuickReopenLimitMs = 3000;
    // Longest reply line kept; the instrument's longest real line is far shorter, so anything
    // beyond is garbage on the line and is dropped rather than grown without end.
    static constexpr std::size_t kMaxReplyLine = 4096;
    // A configuration reply at the design limits: headers, one line per list, a line per
    // class and per field, a line per object and per atom. Twice that is still a reply; more
    // is a babbling line.
    static constexpr std::size_t kMaxReplyLines =
        2 * (16 + MAX_LISTS + MAX_CLASSES * (1 + MAX_FIELDS) + 2 * MAX_OBJECTS);
    // Its bytes: list entries, field definitions, object and atom names, and the values in
    // text (at most four characters of text per byte of value), again twice over.
    static constexpr std::size_t kMaxReplyBytes =
        2 * (MAX_LISTS * MAX_LIST_ENTRIES * TEXT_VALUE_SIZE +
             MAX_CLASSES * MAX_FIELDS * (NAME_LENGTH + UNITS_LENGTH + 48) +
             MAX_OBJECTS * (2 * NAME_LENGTH + MAX_FIELDS) + 4 * OBJECT_DATA_SIZE +
             MAX_OBJECTS * 2 * NAME_LENGTH);

    explicit Tnimbra_lib(std::unique_ptr<SerialPort> port);
    // Runs FormDestroy: the instrument goes back to 9600 baud if it was switched.
    ~Tnimbra_lib();
    Tnimbra_lib(const Tnimbra_lib&) = delete;
    Tnimbra_lib& operator=(const Tnimbra_lib&) = delete;

    // Registration by the window or vexilo-cli, before FormCreate.
    void set_status_sink(StatusSink sink) { status_sink_ = std::move(sink); }
    void set_timeout_action(Action action) { timeout_action_ = std::move(action); }
    // Runs after a message said why the operation in progress stopped: a refusal, a lost
    // line, or a port that could not be opened for a command.
    void set_refusal_action(Action action) { refusal_action_ = std::move(action); }
    // Runs when the instrument behind the link may have changed: link creation, a change of
    // port or of the device behind it, a lost line. The operations forget its configuration.
    void set_instrument_changed_action(Action action) { instrument_changed_ = std::move(action); }
    void set_port_problem_handler(PortProblemHandler handler) {
        port_problem_ = std::move(handler);
    }
    // The bar that follows a reply of many lines. Its lines are counted from here (the speed
    // switch's "@" too), and views start their reply list again.
    void set_receive_progress(ProgressSink* bar);
    void set_queue_progress(ProgressSink* bar) { queue_progress_ = bar; }
    // Runs once when the command in flight, or the queue, ends without its completion: a
    // refusal, a time-out, a lost line, a change of port, a port that cannot be opened, or
    // shutdown. It runs before the time-out and refusal actions; acknowledged_lines() says
    // how far a queue got, and awaiting_late_answer() whether the line that timed out may
    // still be acknowledged. The instrument operations end the operation in progress here.
    void set_failure_action(FailureAction action) { failure_action_ = std::move(action); }
    // Runs when the line a queue stopped on with a time-out is acknowledged late: it counts
    // (acknowledged_lines(), answered_late()), and the queue stays stopped.
    void set_late_answer_action(Action action) { late_answer_ = std::move(action); }

    // Every event goes to each listener, in the order they were added. The id removes it.
    int add_listener(EventListener listener);
    void remove_listener(int id);
    // A line for the log (the conversion's notes).
    void note(const std::string& text);
    // The lines of a list file the program loaded or wrote, for the diagnostic view.
    void show_file(const std::string& path, const std::vector<std::string>& lines);

    // Link creation: clears the state, empties the log (LogCleared), then opens the port.
    // False only when the port problem handler gave up.
    bool FormCreate();
    // Link shutdown: leave_high_speed.
    void FormDestroy() { leave_high_speed(); }

    // Opens the port, asking the port problem handler while opening fails.
    bool open_port();
    // Sends text + CR at the current speed with the reply time-out armed; when the speed is
    // unknown it is found first. A closed port is opened first.
    void send_command(const std::string& text, Action completion);
    // The normal command path: switches to high speed first when needed.
    void run_command(const std::string& text, Action completion,
                     bool show_receive_progress = false);
    void queue_command(const std::string& text);
    void clear_queue();
    // Sends every queued line, each after the previous one was acknowledged; `done` runs
    // after the last acknowledgement.
    void send_queue(Action done);
    // While a command waits for its answer, the message that refuses `text` (its answer
    // would be taken for the other's); empty when the line is free.
    std::string busy_message(const std::string& text) const;
    void set_status(const std::string& text);
    // Switches the port to another number. The same number changes nothing while the port is
    // open, and opens it again when it was closed (a lost line, a failed open).
    void set_port_number(int number);
    // Moves to `number` even when it is the current one: the device behind a number changed.
    void reconnect(int number);
    // Tells the instrument to return to 9600 baud when it may be at 38400.
    void leave_high_speed();
    // The orderly end: no further queued line is sent, the command in flight gets its answer
    // (or its time-out), then leave_high_speed, then `done`. At once when nothing is in
    // flight. Every command after this is refused.
    void shutdown(Action done);

    int port_number() const { return port_->port_number(); }
    // Whether port `number` can be opened; the link's own open port counts as available.
    bool port_available(int number) { return port_->can_open(number); }
    bool high_speed() const { return speed_ == Speed::High; }
    Speed speed() const { return speed_; }
    bool closing() const { return closing_; }
    bool shutting_down() const { return shutting_down_; }
    // A command was sent and its answer is still awaited.
    bool command_in_flight() const { return in_flight_; }
    int queue_position() const { return queue_position_; }
    // Lines of the current or last queue that the instrument acknowledged.
    int acknowledged_lines() const { return acknowledged_; }
    // The command queue.
    const std::vector<std::string>& queue() const { return queue_; }
    // A queue line timed out and no command has gone out since: an "@" that comes now is its
    // late acknowledgement and still counts.
    bool awaiting_late_answer() const { return late_line_; }
    // The stopped queue's last counted line was acknowledged after its time-out.
    bool answered_late() const { return answered_late_; }
    SerialPort& port() { return *port_; }

  private:
    enum class Probe { None, AtLow, AtHigh };

    void portTriggerAvail(int count);
    void portTriggerTimer(SerialPort::TimerHandle timer);
    void line_lost(const std::string& reason);
    void take_reply_char(char c);
    void end_reply_line(char end);
    void received(std::string line, std::string raw);
    void reply_too_long(const std::string& what);
    bool ready_to_send(const std::string& text);
    void transmit(const std::string& text, Action completion);
    void start_probe(const std::string& text, Action completion);
    void probe_answered();
    bool restart_waits_on_probe() const;
    void restart_after_probe(const std::string& why);
    bool take_late_answer(const std::string& line);
    void command_failed(Failure failure, const std::string& text);
    void fail(Failure failure, const std::string& text);
    void report(LinkEvent::Kind kind, std::string text, std::string raw = {});
    void end_idle_spell();
    void instrument_changed();
    void discard_waiting(const std::string& when);
    void fixed_speed_note();
    void send_next();
    void finish_shutdown();
    void port_opened();
    bool reopen_closed_at_once();
    void change_port(int number);

    std::unique_ptr<SerialPort> port_;
    SerialPort::TimerHandle reply_timer_ = -1;
    bool opening_ = false;
    std::string last_open_error_;

    std::string reply_line_;
    std::string raw_line_;
    bool reply_overflow_ = false;
    std::size_t reply_lines_ = 0;  // received since the receive progress bar was set
    bool after_cr_ = false;  // the last character taken was a CR: an LF now only ends the pair

    // Nothing answered since the port opened, and how often a line that closed at once was
    // opened again (a device server still releasing the port for the last client).
    bool unanswered_since_open_ = false;
    int quick_reopens_ = 0;
    std::chrono::steady_clock::time_point quick_reopen_until_;

    // The one command in flight: only its answer runs its completion, once.
    bool in_flight_ = false;
    std::string flight_text_;
    Action completion_;
    bool flight_multi_line_ = false;
    std::size_t flight_lines_ = 0;
    std::size_t flight_bytes_ = 0;
    int reply_ticks_ = kReplyTicks;
    // Lines that arrived while nothing waited, since the last command: the first is noted,
    // the count when the next command goes out.
    std::size_t idle_dropped_ = 0;

    Speed speed_ = Speed::Unknown;
    // The instrument may be at 38400: it was switched, or the link talked to it at 38400.
    bool maybe_high_ = false;
    Probe probe_ = Probe::None;
    std::string deferred_command_;
    Action deferred_action_;

    bool closing_ = false;
    bool shutting_down_ = false;
    Action shutdown_done_;
    bool show_receive_progress_ = false;
    bool receiving_ = false;

    ProgressSink* receive_progress_ = nullptr;
    ProgressSink* queue_progress_ = nullptr;
    int queue_position_ = 0;
    int acknowledged_ = 0;
    bool queue_active_ = false;
    std::vector<std::string> queue_;
    bool late_line_ = false;
    bool answered_late_ = false;
    Action queue_done_;
    FailureAction failure_action_;
    Action late_answer_;
    std::vector<std::pair<int, EventListener>> listeners_;
    int next_listener_ = 1;

    StatusSink status_sink_;
    Action timeout_action_;
    Action refusal_action_;
    Action instrument_changed_;
    PortProblemHandler port_problem_;
};

}  // namespace vexilo
