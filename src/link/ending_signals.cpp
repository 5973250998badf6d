#include "link/ending_signals.h"

#include <QSocketNotifier>
#include <csignal>
#include <iterator>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vexilo {
namespace {

volatile sig_atomic_t first_signal = 0;

#ifndef _WIN32
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
int wake_pipe[2] = {-1, -1};
struct sigaction previous[3];
bool caught_here[3];

extern "C" void on_ending_signal(int signal_number) {
    if (first_signal != 0) {
        // Only async-signal-safe calls here: the default action ends the program.
        signal(signal_number, SIG_DFL);
        raise(signal_number);
        return;
    }
    first_signal = signal_number;
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal_number);
    [[maybe_unused]] const ssize_t written = write(wake_pipe[1], &byte, 1);
    errno = saved;
}

bool make_wake_pipe() {
    if (wake_pipe[0] >= 0) return true;
    return pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) == 0;
}
#endif

}  // namespace

void ignore_write_signals() {
#ifndef _WIN32
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
#endif
}

EndingSignals::EndingSignals(Handler handler) : handler_(std::move(handler)) {
#ifndef _WIN32
    if (!make_wake_pipe()) return;
    notifier_ = std::make_unique<QSocketNotifier>(wake_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { take(); });
    struct sigaction action {};
    action.sa_handler = on_ending_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        // A signal ignored at start stays ignored: nohup, and a shell's background jobs,
        // count on it.
        caught_here[i] = sigaction(kEndingSignals[i], nullptr, &previous[i]) == 0 &&
                         previous[i].sa_handler != SIG_IGN &&
                         sigaction(kEndingSignals[i], &action, nullptr) == 0;
    }
    // A signal caught before (by an earlier catcher in this run) still ends this one.
    if (first_signal != 0) {
        const auto byte = static_cast<unsigned char>(first_signal);
        [[maybe_unused]] const ssize_t written = write(wake_pipe[1], &byte, 1);
    }
#endif
}

EndingSignals::~EndingSignals() {
#ifndef _WIN32
    if (!notifier_) return;
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
        if (caught_here[i]) sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
    notifier_.reset();
#endif
}

void EndingSignals::take() {
#ifndef _WIN32
    unsigned char bytes[16];
    while (read(wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
#endif
    if (handled_ || first_signal == 0) return;
    handled_ = true;
    if (handler_) handler_(first_signal);
}

int EndingSignals::caught() {
    return first_signal;
}

std::string EndingSignals::name(int signal_number) {
#ifndef _WIN32
    switch (signal_number) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            break;
    }
#endif
    return "signal " + std::to_string(signal_number);
}

}  // namespace vexilo
