#pragma once
// How both programs end on SIGINT, SIGTERM and SIGHUP (Ctrl-C, kill, a closed terminal or a
// logout): the handler only notes the signal and writes a byte to a pipe; the event loop reads
// it and runs the program's own orderly ending, so that no work runs inside a handler. A
// second signal while the first is still being handled ends the program at once, with the
// signal's own status: the way out when the orderly ending itself is stuck.
//
// SIGPIPE and SIGXFSZ are ignored instead (ignore_write_signals): a write to a closed pipe or
// past the file size limit then fails with an error the program reports, and the line is
// still put to rest.

#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace vexilo {

void ignore_write_signals();

class EndingSignals final {
  public:
    using Handler = std::function<void(int signal_number)>;

    // Catches the three signals until destroyed, except those ignored when it starts;
    // handler runs in the event loop, once, for the first signal. Needs a running Qt
    // application object.
    explicit EndingSignals(Handler handler);
    ~EndingSignals();
    EndingSignals(const EndingSignals&) = delete;
    EndingSignals& operator=(const EndingSignals&) = delete;

    // The first ending signal caught in this run, 0 when none was.
    static int caught();
    // "SIGINT", "SIGTERM", "SIGHUP", or "signal N".
    static std::string name(int signal_number);

  private:
    void take();

    Handler handler_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool handled_ = false;
};

}  // namespace vexilo
