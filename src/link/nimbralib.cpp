#include "link/nimbralib.h"

#include <utility>

#include "config/configuration.h"
#include "config/messages.h"

namespace vexilo {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr const char* kSwitchUp = "SET_BAUD 38400";
constexpr const char* kSwitchDown = "SET_BAUD 9600\r";

// Runs a copy: the action may replace the stored one (a chain that sends its next command)
// while it runs.
void run(const std::function<void()>& action) {
    if (!action) return;
    const std::function<void()> copy = action;
    copy();
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

Tnimbra_lib::Tnimbra_lib(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {
    port_->set_data_handler([this](int count) { portTriggerAvail(count); });
    port_->set_timer_handler([this](SerialPort::TimerHandle timer) { portTriggerTimer(timer); });
    port_->set_lost_handler([this](const std::string& reason) { line_lost(reason); });
    // The timer belongs to the port object, not to the open device, so it exists even while
    // opening fails and a command sent then still times out.
    reply_timer_ = port_->create_timer();
}

Tnimbra_lib::~Tnimbra_lib() {
    FormDestroy();
    port_->set_data_handler({});
    port_->set_timer_handler({});
    port_->set_lost_handler({});
}

bool Tnimbra_lib::FormCreate() {
    instrument_changed();
    speed_ = Speed::Unknown;
    closing_ = false;
    late_line_ = false;
    idle_dropped_ = 0;
    report(LinkEvent::Kind::LogCleared, {});
    return open_port();
}

int Tnimbra_lib::add_listener(EventListener listener) {
    listeners_.emplace_back(next_listener_, std::move(listener));
    return next_listener_++;
}

void Tnimbra_lib::remove_listener(int id) {
    std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void Tnimbra_lib::report(LinkEvent::Kind kind, std::string text, std::string raw) {
    if (listeners_.empty()) return;
    const LinkEvent event{kind, std::move(text), std::move(raw)};
    // A listener may add or remove listeners while it runs.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners)
        listener(event);
}

void Tnimbra_lib::note(const std::string& text) {
    report(LinkEvent::Kind::Note, text);
}

void Tnimbra_lib::show_file(const std::string& path, const std::vector<std::string>& lines) {
    if (listeners_.empty()) return;
    LinkEvent event{LinkEvent::Kind::FileLines, path, {}};
    event.lines = &lines;
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners)
        listener(event);
}

void Tnimbra_lib::set_receive_progress(ProgressSink* bar) {
    receive_progress_ = bar;
    reply_lines_ = 0;
    report(LinkEvent::Kind::ReplyStarted, {});
}

void Tnimbra_lib::queue_command(const std::string& text) {
    queue_.push_back(text);
    report(LinkEvent::Kind::Queued, text);
}

void Tnimbra_lib::clear_queue() {
    queue_.clear();
    report(LinkEvent::Kind::QueueCleared, {});
}

void Tnimbra_lib::instrument_changed() {
    run(instrument_changed_);
}

bool Tnimbra_lib::open_port() {
    port_->close();
    opening_ = true;
    bool opened = false;
    for (;;) {
        std::string error;
        // The port problem handler may already have opened the chosen port.
        if (port_->is_open() || port_->open(error)) {
            opened = true;
            break;
        }
        if (!port_problem_ || !port_problem_(error)) break;
    }
    opening_ = false;
    if (opened) port_opened();
    return opened;
}

void Tnimbra_lib::port_opened() {
    unanswered_since_open_ = true;
    quick_reopens_ = 0;
    discard_waiting("when the port opened");
    fixed_speed_note();
}

// A device server that still holds its serial port for the last client (or serves another
// one) accepts the connection and closes it at once, before anything is answered: a few
// moments later the port is free. The command in flight never reached the instrument then,
// so it goes out again on the new connection.
bool Tnimbra_lib::reopen_closed_at_once() {
    if (!in_flight_ || !unanswered_since_open_ || shutting_down_) return false;
    const auto now = std::chrono::steady_clock::now();
    if (quick_reopens_ == 0) {
        quick_reopen_until_ = now + std::chrono::milliseconds(kQuickReopenLimitMs);
    } else if (now >= quick_reopen_until_) {
        return false;
    }
    ++quick_reopens_;
    port_->stop_timer(reply_timer_);
    port_->close();
    port_->pause(kQuickReopenPauseMs);
    std::string error;
    if (!port_->open(error)) return false;
    discard_waiting("when the port opened again");
    transmit(flight_text_, std::move(completion_));
    return true;
}

// Said whenever such a line opens: the operator may wonder why everything goes at 9600.
void Tnimbra_lib::fixed_speed_note() {
    if (!port_->fixed_speed()) return;
    const std::string why = "Speed switch not used on a raw TCP line: every command at " +
                            std::to_string(port_->baud_rate()) +
                            " baud (an rfc2217:// port can switch)";
    note(why);
    set_status(why);
}

void Tnimbra_lib::discard_waiting(const std::string& when) {
    const std::size_t dropped = port_->discard_input();
    if (dropped > 0) {
        note("Discarded " + std::to_string(dropped) + " received bytes waiting " + when);
    }
}

std::string Tnimbra_lib::busy_message(const std::string& text) const {
    if (!in_flight_) return {};
    return "The Nimbra has not yet answered " + quoted(flight_text_) + "; " + quoted(text) +
           " was not sent";
}

bool Tnimbra_lib::ready_to_send(const std::string& text) {
    if (shutting_down_) {
        const std::string why = "Not sent, the link is shutting down: " + text;
        note(why);
        fail(Failure::NotSent, why);
        return false;
    }
    if (const std::string busy = busy_message(text); !busy.empty()) {
        show_error(busy);
        return false;
    }
    if (port_->is_open()) return true;
    if (open_port()) return true;
    // The port problem handler has said why.
    const std::string why = "Not sent, the port is closed: " + text;
    note(why);
    fail(Failure::NotSent, why);
    run(refusal_action_);
    return false;
}

void Tnimbra_lib::send_command(const std::string& text, Action completion) {
    if (!ready_to_send(text)) return;
    if (speed_ == Speed::Unknown && !port_->fixed_speed()) {
        start_probe(text, std::move(completion));
        return;
    }
    transmit(text, std::move(completion));
}

void Tnimbra_lib::run_command(const std::string& text, Action completion,
                              bool show_receive_progress) {
    if (!ready_to_send(text)) return;
    show_receive_progress_ = show_receive_progress;
    if (speed_ == Speed::High || port_->fixed_speed()) {
        transmit(text, std::move(completion));
        return;
    }
    start_probe(text, std::move(completion));
}

void Tnimbra_lib::transmit(const std::string& text, Action completion) {
    // Whatever arrived before the command goes out cannot be its answer.
    discard_waiting("before " + quoted(text) + " was sent");
    end_idle_spell();
    late_line_ = false;
    reply_line_.clear();
    raw_line_.clear();
    reply_overflow_ = false;
    in_flight_ = true;
    flight_text_ = text;
    completion_ = std::move(completion);
    flight_multi_line_ = text == kMultiLineCommand;
    flight_lines_ = 0;
    flight_bytes_ = 0;
    reply_ticks_ = text == kLongCommand ? kLongReplyTicks : kReplyTicks;
    port_->start_timer(reply_timer_, reply_ticks_);
    std::string line = text;
    line += kCr;
    port_->send(line);
    report(LinkEvent::Kind::Sent, text, std::move(line));
}

// The speed is not known to be high: "SET_BAUD 38400" at 9600 first; when that gets no
// answer, once more at 38400 for an instrument an earlier session left there.
void Tnimbra_lib::start_probe(const std::string& text, Action completion) {
    deferred_command_ = text;
    deferred_action_ = std::move(completion);
    if (port_->baud_rate() != kLowSpeed) port_->set_baud_rate(kLowSpeed);
    probe_ = Probe::AtLow;
    transmit(kSwitchUp, [this] { probe_answered(); });
}

void Tnimbra_lib::probe_answered() {
    const bool from_low = probe_ == Probe::AtLow;
    probe_ = Probe::None;
    if (from_low) {
        port_->set_baud_rate(kHighSpeed);
        // The instrument switches after its "@"; give it time. What the change garbled is
        // dropped before the next command goes out.
        port_->pause(kSwitchPauseMs);
    }
    speed_ = Speed::High;
    maybe_high_ = true;
    Action action = std::move(deferred_action_);
    deferred_action_ = {};
    if (shutting_down_) {
        const std::string why = "Not sent, the link is shutting down: " + deferred_command_;
        note(why);
        fail(Failure::NotSent, why);
        return;
    }
    transmit(deferred_command_, std::move(action));
}

// RSTRT is the way out of a confused line, so the speed switch must never keep it back.
bool Tnimbra_lib::restart_waits_on_probe() const {
    return probe_ != Probe::None && !shutting_down_ && deferred_command_ == kRestartCommand;
}

void Tnimbra_lib::restart_after_probe(const std::string& why) {
    in_flight_ = false;
    probe_ = Probe::None;
    Action action = std::move(deferred_action_);
    deferred_action_ = {};
    note(why);
    set_status(why);
    transmit(deferred_command_, std::move(action));
}

void Tnimbra_lib::send_queue(Action done) {
    if (queue_progress_) {
        queue_progress_->set_range(0, static_cast<int>(queue_.size()));
        queue_progress_->set_position(0);
    }
    queue_position_ = 0;
    acknowledged_ = 0;
    answered_late_ = false;
    queue_active_ = true;
    queue_done_ = std::move(done);
    send_next();
}

void Tnimbra_lib::send_next() {
    if (shutting_down_) {
        fail(Failure::NotSent, "the link is shutting down");
        return;
    }
    if (queue_position_ >= 0 && static_cast<std::size_t>(queue_position_) < queue_.size()) {
        run_command(queue_[static_cast<std::size_t>(queue_position_)], [this] {
            ++acknowledged_;
            send_next();
        });
        if (queue_progress_) queue_progress_->set_position(queue_position_);
        ++queue_position_;
        return;
    }
    queue_active_ = false;
    if (queue_progress_) queue_progress_->set_position(0);
    run(queue_done_);
}

void Tnimbra_lib::fail(Failure failure, const std::string& text) {
    queue_active_ = false;
    if (!failure_action_) return;
    const FailureAction action = failure_action_;
    action(failure, text);
}

void Tnimbra_lib::set_status(const std::string& text) {
    if (status_sink_) status_sink_(text);
}

void Tnimbra_lib::set_port_number(int number) {
    if (number != port_->port_number()) {
        change_port(number);
        return;
    }
    // The same port again (OK in the port dialog) brings back a port that was lost or never
    // opened. A failure is only noted: the next command asks through the port problem handler.
    if (port_->is_open() || opening_) return;
    std::string error;
    if (port_->open(error)) {
        last_open_error_.clear();
        port_opened();
    } else if (error != last_open_error_) {
        // Every activation of the window comes here; one note per reason is enough.
        last_open_error_ = error;
        note(error);
    }
}

void Tnimbra_lib::reconnect(int number) {
    change_port(number);
}

void Tnimbra_lib::change_port(int number) {
    end_idle_spell();
    if (in_flight_) {
        const std::string why = "The port changed before " + quoted(flight_text_) + " was answered";
        note(why);
        port_->stop_timer(reply_timer_);
        command_failed(Failure::PortChanged, why);
    }
    late_line_ = false;
    // Another port, or another device behind the same one: another instrument, perhaps.
    instrument_changed();
    speed_ = Speed::Unknown;
    maybe_high_ = false;
    port_->set_baud_rate(kLowSpeed);
    std::string error;
    bool ok = port_->set_port_number(number, error);
    // A port left closed by an earlier failure would otherwise never come back; while the
    // link is still opening, its own loop tries again.
    if (ok && !port_->is_open() && !opening_) ok = port_->open(error);
    if (!ok && !opening_) show_error(error);
    if (ok && port_->is_open()) port_opened();
}

void Tnimbra_lib::leave_high_speed() {
    if ((speed_ != Speed::High && !maybe_high_) || port_->fixed_speed()) return;
    if (in_flight_) port_->stop_timer(reply_timer_);
    in_flight_ = false;
    completion_ = {};
    probe_ = Probe::None;
    late_line_ = false;
    closing_ = true;
    reply_line_.clear();
    raw_line_.clear();
    if (port_->is_open()) {
        if (port_->baud_rate() != kHighSpeed) port_->set_baud_rate(kHighSpeed);
        port_->send(kSwitchDown);
        report(LinkEvent::Kind::SentUnlogged, "SET_BAUD 9600", kSwitchDown);
        port_->pause(kShutdownPauseMs);
    }
    speed_ = Speed::Low;
    maybe_high_ = false;
}

void Tnimbra_lib::shutdown(Action done) {
    shutdown_done_ = std::move(done);
    if (shutting_down_ && in_flight_) return;
    shutting_down_ = true;
    if (in_flight_) return;
    if (queue_active_) fail(Failure::NotSent, "the link is shutting down");
    finish_shutdown();
}

void Tnimbra_lib::finish_shutdown() {
    if (!shutting_down_ || in_flight_) return;
    leave_high_speed();
    Action done = std::move(shutdown_done_);
    shutdown_done_ = {};
    run(done);
}

// The command in flight is over without its completion; the speed is no longer known.
void Tnimbra_lib::command_failed(Failure failure, const std::string& text) {
    in_flight_ = false;
    completion_ = {};
    probe_ = Probe::None;
    deferred_action_ = {};
    speed_ = Speed::Unknown;
    fail(failure, text);
}

void Tnimbra_lib::line_lost(const std::string& reason) {
    if (reopen_closed_at_once()) return;
    std::string lost = "The serial line was lost: " + reason;
    if (in_flight_ && unanswered_since_open_ && quick_reopens_ > 0) {
        lost += " at once, " + std::to_string(quick_reopens_ + 1) +
                " times (another client connected, or the port still in use)";
    }
    note(lost);
    set_status(lost);
    reply_line_.clear();
    raw_line_.clear();
    speed_ = Speed::Unknown;
    late_line_ = false;
    // Whatever comes back on this port may be another instrument, or this one restarted.
    instrument_changed();
    if (!in_flight_) return;
    port_->stop_timer(reply_timer_);
    command_failed(Failure::LineLost, lost);
    show_error(lost);
    run(refusal_action_);
    finish_shutdown();
}

void Tnimbra_lib::portTriggerAvail(int /*count*/) {
    // A message box opened while a line is handled runs a nested event loop; characters that
    // arrive meanwhile are taken by the loop below once it resumes.
    if (receiving_) return;
    receiving_ = true;
    // Arrivals never re-arm the reply timer: only complete lines of a multi-line reply do, so
    // a babbling line cannot hold a command open.
    char c = 0;
    while (port_->take_char(c))
        take_reply_char(c);
    receiving_ = false;
}

void Tnimbra_lib::take_reply_char(char c) {
    if (in_flight_ && flight_multi_line_ && ++flight_bytes_ > kMaxReplyBytes) {
        reply_too_long(std::to_string(kMaxReplyBytes) + " bytes");
        return;
    }
    // An instrument may end its lines with CR (the usual), CR LF or LF alone.
    if (c == kCr || c == kLf) {
        const bool second_of_pair = c == kLf && after_cr_;
        after_cr_ = c == kCr;
        if (!second_of_pair) end_reply_line(c);
        return;
    }
    after_cr_ = false;
    if (reply_line_.size() >= kMaxReplyLine) {
        if (!reply_overflow_) {
            reply_overflow_ = true;
            note("Reply line longer than " + std::to_string(kMaxReplyLine) +
                 " characters: the rest of the line was discarded");
        }
        return;
    }
    raw_line_ += c;
    reply_line_ += static_cast<char>(translate_instrument_char(static_cast<unsigned char>(c)));
}

void Tnimbra_lib::end_reply_line(char end) {
    std::string line;
    line.swap(reply_line_);
    std::string raw;
    raw.swap(raw_line_);
    raw += end;
    reply_overflow_ = false;
    const bool answer = !line.empty() && (line[0] == '@' || line[0] == '|');
    if (!in_flight_) {
        if (answer && take_late_answer(line)) {
            received(std::move(line), std::move(raw));
            return;
        }
        // Nobody waits for it: kept by no one, so a line that keeps talking costs nothing.
        if (++idle_dropped_ == 1) {
            note(answer ? "Ignored " + quoted(line) + ": no command waited for it"
                        : "Ignored data lines that no command waited for");
        }
        report(LinkEvent::Kind::Dropped, std::move(line), std::move(raw));
        return;
    }
    if (answer) {
        unanswered_since_open_ = false;
        in_flight_ = false;
        port_->stop_timer(reply_timer_);
        Action completion = std::move(completion_);
        completion_ = {};
        if (line.size() > 1 && line[0] == '@' && restart_waits_on_probe()) {
            // Refused at the speed it was sent at: the instrument listens there.
            const bool high = probe_ == Probe::AtHigh;
            speed_ = high ? Speed::High : Speed::Low;
            const std::string rate = std::to_string(high ? kHighSpeed : kLowSpeed);
            restart_after_probe("The Nimbra refused " + quoted(kSwitchUp) + " at " + rate +
                                " baud (" + line.substr(1) + "): sending " +
                                quoted(kRestartCommand) + " at " + rate + " baud");
        } else if (line.size() > 1 && line[0] == '@') {
            probe_ = Probe::None;
            deferred_action_ = {};
            fail(Failure::Refused, line.substr(1));
            show_error(line.substr(1));
            run(refusal_action_);
        } else {
            // An instrument may come back from a restart at either speed.
            if (flight_text_ == kRestartCommand) speed_ = Speed::Unknown;
            run(completion);
        }
        received(std::move(line), std::move(raw));
        finish_shutdown();
        return;
    }
    if (flight_multi_line_) {
        if (++flight_lines_ > kMaxReplyLines) {
            reply_too_long(std::to_string(kMaxReplyLines) + " lines");
            return;
        }
        // Each complete line shows the reply is still coming.
        port_->start_timer(reply_timer_, reply_ticks_);
        if (show_receive_progress_ && receive_progress_) {
            receive_progress_->set_position(static_cast<int>(reply_lines_));
        }
    }
    received(std::move(line), std::move(raw));
}

void Tnimbra_lib::received(std::string line, std::string raw) {
    if (closing_) return;
    ++reply_lines_;
    report(LinkEvent::Kind::Received, std::move(line), std::move(raw));
}

void Tnimbra_lib::end_idle_spell() {
    if (idle_dropped_ > 1) {
        note("Ignored " + std::to_string(idle_dropped_) +
             " lines in all that no command waited for");
    }
    idle_dropped_ = 0;
}

// No configuration at the design limits is that long: the line is babbling. It ends like a
// silent reply.
void Tnimbra_lib::reply_too_long(const std::string& what) {
    const std::string why =
        "The reply to " + quoted(flight_text_) + " grew past " + what + ": stopped waiting for it";
    note(why);
    reply_line_.clear();
    raw_line_.clear();
    port_->stop_timer(reply_timer_);
    command_failed(Failure::NoAnswer, why);
    if (shutting_down_) {
        finish_shutdown();
        return;
    }
    run(timeout_action_);
}

void Tnimbra_lib::portTriggerTimer(SerialPort::TimerHandle timer) {
    if (timer != reply_timer_ || !in_flight_) return;
    port_->stop_timer(reply_timer_);
    if (probe_ == Probe::AtLow && !shutting_down_) {
        // No answer at 9600: perhaps an earlier session left the instrument at 38400.
        in_flight_ = false;
        probe_ = Probe::AtHigh;
        port_->set_baud_rate(kHighSpeed);
        maybe_high_ = true;
        transmit(kSwitchUp, [this] { probe_answered(); });
        return;
    }
    const std::string why = "No answer to " + quoted(flight_text_);
    note(why);
    if (probe_ == Probe::AtHigh && restart_waits_on_probe()) {
        port_->set_baud_rate(kLowSpeed);
        restart_after_probe("No answer to " + quoted(kSwitchUp) +
                            " at 9600 or 38400 baud: sending " + quoted(kRestartCommand) +
                            " at 9600 baud all the same");
        return;
    }
    if (probe_ != Probe::None) maybe_high_ = true;
    // The line itself, not the switch before it: the instrument may still take it. Known
    // before the failure is reported, so whoever hears of it knows a late answer may come.
    late_line_ = queue_active_ && probe_ == Probe::None && !shutting_down_;
    command_failed(Failure::NoAnswer, why);
    if (shutting_down_) {
        finish_shutdown();
        return;
    }
    run(timeout_action_);
}

// The instrument took the line after all, so the count must include it; the queue stays
// stopped, since the operator has been told that it stopped.
bool Tnimbra_lib::take_late_answer(const std::string& line) {
    if (!late_line_) return false;
    late_line_ = false;
    if (line != "@") return false;
    ++acknowledged_;
    answered_late_ = true;
    note("Late \"@\" for " + quoted(flight_text_) +
         " after its time-out: counted; the queue stays stopped");
    run(late_answer_);
    return true;
}

}  // namespace vexilo
