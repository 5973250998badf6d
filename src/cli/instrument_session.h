#pragma once
// One instrument command of vexilo-cli: the link on the chosen port, the instrument service
// over it, and the event loop that runs until the operation's one result comes, which decides
// the exit status. Every operation ends in a result (the link's reply timer bounds every wait),
// so a command never hangs. SIGINT, SIGTERM and SIGHUP end it too, in order: no line after the
// one in flight, its answer awaited, the line back at 9600 baud.

#include <QEventLoop>
#include <memory>
#include <string>

#include "audit/audit_recorder.h"
#include "cli.h"
#include "config/messages.h"
#include "link/ending_signals.h"
#include "link/nimbralib.h"
#include "link/operations.h"
#include "link/progress_sink.h"

namespace vexilo::cli {

// --port: "COMn" or "n" is a port number (its device from the settings' port map); anything
// else is a device path used directly. Empty: the stored "Port" setting.
struct PortChoice {
    int number = 1;
    std::string device;  // empty: the port map decides
};
bool parse_port(const std::string& text, PortChoice& choice, std::string& error);

// Draws the progress as a bar on stderr, only when stderr is a terminal.
class TerminalProgress final : public ProgressSink {
  public:
    TerminalProgress();
    void set_range(int minimum, int maximum) override;
    void set_position(int position) override;
    // Ends a drawn bar's line, so that a message starts on a line of its own.
    void break_line();

  private:
    void draw();
    bool enabled_;
    bool drawn_ = false;
    int minimum_ = 0;
    int maximum_ = 0;
    int position_ = 0;
};

class InstrumentSession {
  public:
    InstrumentSession();
    ~InstrumentSession();
    InstrumentSession(const InstrumentSession&) = delete;
    InstrumentSession& operator=(const InstrumentSession&) = delete;

    // Opens the port; false after "error: " and the reason.
    bool open(const Options& options);
    // Runs the event loop until finish; the exit status.
    int run();
    // Ends the command with the status; the first call wins.
    void finish(int status);
    // Ends the command with the operation's result: 0 when done, else 1. A send that stopped
    // part-way says how far it got when the command ends. After an ending signal, only a
    // result that is done ends it; the signal decides the rest.
    void finish(const OperationResult& result);
    // The completion that hands the result to finish.
    InstrumentOperations::Completion completion() {
        return [this](const OperationResult& result) { finish(result); };
    }
    // A send's options: the bar on the terminal, and a late answer that ends the wait for it.
    InstrumentOperations::SendOptions send_options(bool changed_only);
    // The orderly end after an ending signal: says so, lets the link finish the line in
    // flight and return to 9600 baud, then ends with kSignalBase + the signal's number.
    void interrupted(int signal_number);

    Tnimbra_lib& link() { return *link_; }
    InstrumentOperations& operations() { return *operations_; }
    TerminalProgress& progress() { return progress_; }

  private:
    class BarAwareMessages;
    void wait_for_late_answer();

    TerminalProgress progress_;
    std::unique_ptr<BarAwareMessages> messages_;
    MessageHandler* previous_messages_ = nullptr;
    std::unique_ptr<Tnimbra_lib> link_;
    std::unique_ptr<InstrumentOperations> operations_;
    // Every operation's record in the audit trail.
    std::unique_ptr<audit::AuditRecorder> recorder_;
    QEventLoop loop_;
    std::unique_ptr<EndingSignals> endings_;
    bool interrupted_ = false;
    std::string stopped_text_;  // how far a send that stopped got
    bool finished_ = false;
    int status_ = kFailed;
};

}  // namespace vexilo::cli
