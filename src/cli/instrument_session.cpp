#include "instrument_session.h"

#include <unistd.h>

#include <QTimer>
#include <cstdio>

#include "config/messages.h"
#include "config/text_fields.h"
#include "link/line_trace.h"
#include "link/network_address.h"
#include "platform/qt_serial_port.h"
#include "settings/settings.h"

namespace vexilo::cli {
namespace {
constexpr int kBarWidth = 40;
}

bool parse_port(const std::string& text, PortChoice& choice, std::string& error) {
    choice = PortChoice{};
    if (text.empty()) {
        choice.number = read_port();
        return true;
    }
    if (looks_like_network_address(text)) {
        NetworkAddress address;
        if (!parse_network_address(text, address, error)) return false;
        choice.device = address.url();
        return true;
    }
    std::string_view digits = text;
    if (digits.size() > 3 && same_text(digits.substr(0, 3), "COM")) digits.remove_prefix(3);
    const bool number = !digits.empty() && digits.size() <= 3 &&
                        digits.find_first_not_of("0123456789") == std::string_view::npos;
    if (!number) {
        if (same_text(text.substr(0, 3), "COM") || text.find_first_of("/\\") == std::string::npos) {
            error =
                "--port takes COMn, n, a device path, rfc2217://HOST:PORT or "
                "socket://HOST:PORT, not '" +
                text + "'";
            return false;
        }
        choice.device = text;
        return true;
    }
    choice.number = std::stoi(std::string(digits));
    if (choice.number < 1) {
        error = "there is no port " + text;
        return false;
    }
    return true;
}

TerminalProgress::TerminalProgress() : enabled_(isatty(STDERR_FILENO) == 1) {}

void TerminalProgress::set_range(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = maximum;
}

void TerminalProgress::set_position(int position) {
    // The link returns a bar to its start when the queue or the reply is complete; on a
    // terminal that reads better as a full bar, and not at all once a message followed it.
    if (position <= minimum_ && position_ > minimum_) {
        if (drawn_) {
            position_ = maximum_;
            draw();
            break_line();
        }
        position_ = position;
        return;
    }
    position_ = position;
    draw();
}

void TerminalProgress::draw() {
    if (!enabled_ || maximum_ <= minimum_) return;
    const long span = maximum_ - minimum_;
    long done = position_ - minimum_;
    done = done < 0 ? 0 : (done > span ? span : done);
    const int filled = static_cast<int>(done * kBarWidth / span);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %ld/%ld", bar.c_str(), done, span);
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalProgress::break_line() {
    if (!drawn_) return;
    std::fputc('\n', stderr);
    drawn_ = false;
}

// Messages break the bar's line first.
class InstrumentSession::BarAwareMessages final : public MessageHandler {
  public:
    BarAwareMessages(MessageHandler* inner, TerminalProgress& bar) : inner_(inner), bar_(bar) {}
    void set_inner(MessageHandler* inner) { inner_ = inner; }
    void show_error(const std::string& text) override {
        bar_.break_line();
        if (inner_) inner_->show_error(text);
    }
    void show_info(const std::string& text) override {
        bar_.break_line();
        if (inner_) inner_->show_info(text);
    }
    bool ask_yes_no(const std::string& question) override {
        bar_.break_line();
        return inner_ && inner_->ask_yes_no(question);
    }

  private:
    MessageHandler* inner_;
    TerminalProgress& bar_;
};

InstrumentSession::InstrumentSession()
    : messages_(std::make_unique<BarAwareMessages>(nullptr, progress_)) {
    // A bar on the terminal must not swallow the first message line.
    previous_messages_ = set_message_handler(messages_.get());
    messages_->set_inner(previous_messages_);
    endings_ =
        std::make_unique<EndingSignals>([this](int signal_number) { interrupted(signal_number); });
}

InstrumentSession::~InstrumentSession() {
    // A signal that came when no event loop was running to take it, unless the work was done.
    if (!interrupted_ && status_ != kDone && EndingSignals::caught() != 0) {
        progress_.break_line();
        show_error("Interrupted by " + EndingSignals::name(EndingSignals::caught()));
    }
    // Back to 9600 baud before the port closes, so the next run finds the instrument there.
    if (link_) link_->leave_high_speed();
    endings_.reset();
    progress_.break_line();
    operations_.reset();
    recorder_.reset();
    link_.reset();
    set_message_handler(previous_messages_);
}

bool InstrumentSession::open(const Options& options) {
    PortChoice choice;
    std::string error;
    if (!parse_port(options.port, choice, error)) {
        show_error(error);
        return false;
    }
    QtSerialPort::DeviceResolver resolver;
    if (!choice.device.empty()) {
        resolver = [device = choice.device](int) { return device; };
    }
    auto local = std::make_unique<QtSerialPort>(resolver);
    local->set_named_by_device(!choice.device.empty());
    std::string number_error;
    local->set_port_number(choice.number, number_error);
    std::unique_ptr<SerialPort> port = std::move(local);
    // Wrapped only when asked for: without a trace the line pays nothing for it.
    if (!options.trace.empty()) {
        auto traced = std::make_unique<TracedPort>(std::move(port));
        if (!traced->start_file(system_path(options.trace), error)) {
            show_error(error);
            return false;
        }
        port = std::move(traced);
    }
    link_ = std::make_unique<Tnimbra_lib>(std::move(port));
    operations_ = std::make_unique<InstrumentOperations>(*link_);
    recorder_ = std::make_unique<audit::AuditRecorder>();
    recorder_->set_reason(QString::fromStdString(options.reason).trimmed());
    operations_->set_observer(recorder_.get());
    link_->set_status_sink([this](const std::string& text) {
        progress_.break_line();
        print_status(text);
    });
    link_->set_timeout_action([this] {
        show_error("The nimbra is not responding!");
        link_->set_status("The nimbra is not responding -- operation stopped");
        // The instrument may still take the line that timed out: the result waits for it.
        if (link_->awaiting_late_answer()) wait_for_late_answer();
    });
    // No dialog to choose another port: the reason, and the command fails.
    link_->set_port_problem_handler([](const std::string& reason) {
        show_error(reason);
        return false;
    });
    return link_->FormCreate();
}

// The instrument may have taken the object that timed out and still say so; the count the
// operator is told must match what it holds. The window keeps listening anyway.
void InstrumentSession::wait_for_late_answer() {
    constexpr int kWaitMs = Tnimbra_lib::kReplyTicks * kTickMs;
    link_->set_status("Waiting up to " + decimal(kWaitMs / 1000) + "." +
                      decimal(kWaitMs % 1000 / 100) + " s for a late answer from the Nimbra");
    QTimer::singleShot(kWaitMs, &loop_, [this] { finish(kFailed); });
}

int InstrumentSession::run() {
    if (!finished_) loop_.exec();
    if (!stopped_text_.empty()) {
        progress_.break_line();
        show_info(stopped_text_);
        stopped_text_.clear();
    }
    return status_;
}

void InstrumentSession::interrupted(int signal_number) {
    if (interrupted_) return;
    interrupted_ = true;
    show_error("Interrupted by " + EndingSignals::name(signal_number));
    const int status = kSignalBase + signal_number;
    if (!link_) {
        finish(status);
        return;
    }
    link_->shutdown([this, status] { finish(status); });
}

void InstrumentSession::finish(const OperationResult& result) {
    // Said when the command ends, after the reason it stopped.
    if (result.send_stopped()) stopped_text_ = result.message;
    if (interrupted_ && !result.done()) return;
    // A late answer may still count the line that timed out; the time-out action waits for it.
    if (result.send_stopped() && link_->awaiting_late_answer()) return;
    finish(result.done() ? kDone : kFailed);
}

InstrumentOperations::SendOptions InstrumentSession::send_options(bool changed_only) {
    InstrumentOperations::SendOptions options;
    options.changed_only = changed_only;
    options.reply_progress = &progress_;
    options.queue_progress = &progress_;
    options.late_answer = [this](const OperationResult& result) {
        stopped_text_ = result.message;
        finish(kFailed);
    };
    return options;
}

void InstrumentSession::finish(int status) {
    if (finished_) return;
    finished_ = true;
    status_ = status;
    loop_.quit();
}

}  // namespace vexilo::cli
