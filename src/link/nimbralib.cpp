#include "link/nimbralib.h"

#include <utility>

#include "config/configuration.h"
#include "config/messages.h"

namespace vexilo {
namespace {

constexpr char kCr = '\r';
constexpr const char* kSwitchUp = "SET_BAUD 38400";
constexpr const char* kSwitchDown = "SET_BAUD 9600\r";

// Runs a copy: the action may replace the stored one (a chain that sends its next command)
// while it runs.
void run(const std::function<void()>& action) {
    if (!action) return;
    const std::function<void()> copy = action;
    copy();
}

}  // namespace

Tnimbra_lib::Tnimbra_lib(std::unique_ptr<SerialPort> port) : port_(std::move(port)) {
    port_->set_data_handler([this](int count) { portTriggerAvail(count); });
    port_->set_timer_handler([this](SerialPort::TimerHandle timer) { portTriggerTimer(timer); });
    // The timer belongs to the port object, not to the open device, so it exists even while
    // opening fails and a command sent then still times out.
    reply_timer_ = port_->create_timer();
}

Tnimbra_lib::~Tnimbra_lib() {
    FormDestroy();
    port_->set_data_handler({});
    port_->set_timer_handler({});
}

bool Tnimbra_lib::FormCreate() {
    run(create_action_);
    high_speed_ = false;
    closing_ = false;
    output_box.clear();
    debug_box.clear();
    return open_port();
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
    return opened;
}

void Tnimbra_lib::send_command(const std::string& text, Action completion) {
    completion_ = std::move(completion);
    reply_line_.clear();
    reply_overflow_ = false;
    reply_ticks_ = text == kLongCommand ? kLongReplyTicks : kReplyTicks;
    awaiting_reply_ = true;
    port_->start_timer(reply_timer_, reply_ticks_);
    std::string line = text;
    line += kCr;
    port_->send(line);
    output_box.add(text);
}

void Tnimbra_lib::run_command(const std::string& text, Action completion,
                              bool show_receive_progress) {
    show_receive_progress_ = show_receive_progress;
    if (high_speed_) {
        send_command(text, std::move(completion));
        return;
    }
    deferred_command_ = text;
    deferred_action_ = std::move(completion);
    send_command(kSwitchUp, [this] { switch_step(); });
}

void Tnimbra_lib::switch_step() {
    port_->set_baud_rate(kHighSpeed);
    // The instrument switches after its "@"; give it time, then drop what the change garbled.
    port_->pause(kSwitchPauseMs);
    high_speed_ = true;
    port_->discard_input();
    send_command(deferred_command_, deferred_action_);
}

void Tnimbra_lib::send_queue(Action done) {
    if (queue_progress_) {
        queue_progress_->set_range(0, static_cast<int>(cmd_box.size()));
        queue_progress_->set_position(0);
    }
    queue_position_ = 0;
    queue_done_ = std::move(done);
    send_next();
}

void Tnimbra_lib::send_next() {
    if (queue_position_ >= 0 && static_cast<std::size_t>(queue_position_) < cmd_box.size()) {
        run_command(cmd_box[static_cast<std::size_t>(queue_position_)], [this] { send_next(); });
        if (queue_progress_) queue_progress_->set_position(queue_position_);
        ++queue_position_;
        return;
    }
    if (queue_progress_) queue_progress_->set_position(0);
    run(queue_done_);
}

void Tnimbra_lib::set_status(const std::string& text) {
    if (status_sink_) status_sink_(text);
}

void Tnimbra_lib::set_port_number(int number) {
    if (number == port_->port_number()) return;
    change_port(number);
}

void Tnimbra_lib::reconnect(int number) {
    change_port(number);
}

void Tnimbra_lib::change_port(int number) {
    high_speed_ = false;
    port_->set_baud_rate(kLowSpeed);
    std::string error;
    bool ok = port_->set_port_number(number, error);
    // A port left closed by an earlier failure would otherwise never come back; while the
    // link is still opening, its own loop tries again.
    if (ok && !port_->is_open() && !opening_) ok = port_->open(error);
    if (!ok && !opening_) show_error(error);
}

void Tnimbra_lib::leave_high_speed() {
    if (!high_speed_) return;
    completion_ = [] {};
    closing_ = true;
    reply_line_.clear();
    awaiting_reply_ = false;
    port_->stop_timer(reply_timer_);
    port_->send(kSwitchDown);
    port_->pause(kShutdownPauseMs);
    high_speed_ = false;
}

void Tnimbra_lib::portTriggerAvail(int /*count*/) {
    // A message box opened while a line is handled runs a nested event loop; characters that
    // arrive meanwhile are taken by the loop below once it resumes.
    if (receiving_) return;
    receiving_ = true;
    port_->stop_timer(reply_timer_);
    char c = 0;
    while (port_->take_char(c))
        take_reply_char(c);
    receiving_ = false;
    if (awaiting_reply_ && !closing_) port_->start_timer(reply_timer_, reply_ticks_);
}

void Tnimbra_lib::take_reply_char(char c) {
    if (c == kCr) {
        end_reply_line();
        return;
    }
    if (reply_line_.size() >= kMaxReplyLine) {
        if (!reply_overflow_) {
            reply_overflow_ = true;
            output_box.add("Reply line longer than " + std::to_string(kMaxReplyLine) +
                           " characters: the rest of the line was discarded");
        }
        return;
    }
    reply_line_ += static_cast<char>(translate_instrument_char(static_cast<unsigned char>(c)));
}

void Tnimbra_lib::end_reply_line() {
    std::string line;
    line.swap(reply_line_);
    reply_overflow_ = false;
    if (line == "@") {
        awaiting_reply_ = false;
        run(completion_);
    } else if (!line.empty() && line[0] == '@') {
        awaiting_reply_ = false;
        show_error(line.substr(1));
        run(refusal_action_);
    } else if (!line.empty() && line[0] == '|') {
        awaiting_reply_ = false;
        run(completion_);
    } else if (show_receive_progress_ && receive_progress_) {
        receive_progress_->set_position(static_cast<int>(return_box.size()));
    }
    if (!closing_) return_box.add(std::move(line));
}

void Tnimbra_lib::portTriggerTimer(SerialPort::TimerHandle timer) {
    if (timer != reply_timer_) return;
    port_->stop_timer(reply_timer_);
    awaiting_reply_ = false;
    run(timeout_action_);
}

}  // namespace vexilo
