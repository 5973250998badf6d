#include "simulator.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/object_list_file.h"
#include "config/text_fields.h"
#include "sim_log.h"

namespace vexilo::sim {
namespace {

constexpr unsigned char XON = 0x11;
constexpr unsigned char XOFF = 0x13;
constexpr unsigned char CR = 0x0D;
constexpr unsigned char LF = 0x0A;

// The instrument's command buffer; a longer line is refused as a whole.
constexpr std::size_t MAX_COMMAND_LENGTH = 1024;
// Bytes read ahead of the simulated line, and bytes waiting to go out; beyond these the
// simulator stops reading, or drops output nobody takes.
constexpr std::size_t MAX_RECEIVED = 64 * 1024;
constexpr std::size_t MAX_OUTPUT = 1024 * 1024;
constexpr std::size_t WRITE_CHUNK = 4096;
// How long a hang-up waits for the client to take the last reply.
constexpr std::int64_t HANGUP_GRACE_NS = 5'000'000'000;
constexpr std::int64_t HANGUP_POLL_NS = 10'000'000;
// Paced bytes within a line go out together at most this long after the first is due.
constexpr std::int64_t GROUP_NS = 1'000'000;

std::int64_t now_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

// Ten bits a byte: start bit, eight data bits, stop bit.
std::int64_t byte_time(int speed) {
    return speed > 0 ? 10'000'000'000 / speed : 0;
}

// The display characters that the instrument sends as codes of its own; the program maps
// them back on receipt.
unsigned char instrument_code(unsigned char c) {
    switch (c) {
        case 0xB5:
            return 0x9D;  // micro sign
        case 0xB0:
            return 0x91;  // degree sign
        case 0xB1:
            return 0x9B;  // plus-minus sign
        case 0xBB:
            return 0x7E;  // right guillemet
        case 0xAB:
            return 0x7F;  // left guillemet
        default:
            return c;
    }
}

}  // namespace

Simulator::Simulator(Instrument& instrument, Faults faults, LineOptions options)
    : instrument_(instrument),
      faults_(std::move(faults)),
      options_(std::move(options)),
      speed_(options_.start_speed) {}

Simulator::~Simulator() {
    if (signal_fd_ >= 0) close(signal_fd_);
}

int Simulator::run() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    prctl(PR_SET_TIMERSLACK, 1UL);
    signal_fd_ = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signal_fd_ < 0) {
        log_line(std::string("cannot watch for signals: ") + std::strerror(errno));
        return 1;
    }
    if (!open_line()) return 1;

    while (!stop_) {
        process(now_ns());
        if (stop_) break;

        const Nanos now = now_ns();
        const std::optional<Nanos> deadline = next_deadline(now);
        timespec wait{};
        if (deadline) {
            const Nanos left = std::max<Nanos>(*deadline - now, 0);
            wait.tv_sec = static_cast<time_t>(left / 1'000'000'000);
            wait.tv_nsec = static_cast<long>(left % 1'000'000'000);
        }
        short line_events = 0;
        if (received_.size() < MAX_RECEIVED) line_events |= POLLIN;
        if (blocked_ && !output_.empty()) line_events |= POLLOUT;
        pollfd fds[3] = {
            {signal_fd_, POLLIN, 0}, {port_.watch(), POLLIN, 0}, {port_.master(), line_events, 0}};
        const int ready = ppoll(fds, 3, deadline ? &wait : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            log_line(std::string("waiting failed: ") + std::strerror(errno));
            failed_ = true;
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signal_fd_, &info, sizeof info) > 0) {
                log_line(info.ssi_signo == SIGINT ? "SIGINT: stopping" : "SIGTERM: stopping");
            }
            stop_ = true;
            break;
        }
        // Opens and closes first, so that what a departed client left is not taken for the
        // next one's.
        if (fds[1].revents & POLLIN) take_open_changes();
        if (fds[2].revents & POLLOUT) {
            blocked_ = false;
            send_clock_ = std::max(send_clock_, now_ns());
        }
        if (fds[2].revents & POLLIN) read_input(now_ns());
    }

    if (!save_state()) failed_ = true;
    if (!options_.link_path.empty() && port_.is_open()) {
        remove_link(options_.link_path, port_.name());
    }
    port_.close();
    return failed_ ? 1 : 0;
}

bool Simulator::open_line() {
    std::string error;
    if (!port_.open(error)) {
        log_line(error);
        failed_ = true;
        return false;
    }
    if (!options_.link_path.empty() && !make_link(options_.link_path, port_.name(), error)) {
        log_line(error);
        port_.close();
        failed_ = true;
        return false;
    }
    forget_line_state();
    clients_ = 0;
    commands_on_line_ = 0;
    hangup_pending_ = false;
    std::printf("port: %s\n", port_.name().c_str());
    std::fflush(stdout);
    log_line("line open on " + port_.name() + " at " + decimal(speed_) + " baud" +
             (options_.link_path.empty() ? "" : " (linked from " + options_.link_path + ")"));
    leave_early_answer();
    return true;
}

// What a closed port forgets; the instrument's objects and speed are not part of it.
void Simulator::forget_line_state() {
    received_.clear();
    line_.clear();
    line_garble_ = Garble::None;
    line_too_long_ = false;
    commands_.clear();
    output_.clear();
    paused_ = false;
    blocked_ = false;
}

void Simulator::take_open_changes() {
    std::vector<int> changes;
    port_.take_open_changes(changes);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (changes[i] > 0) {
            if (clients_++ == 0) session_started();
        } else if (clients_ > 0 && --clients_ == 0) {
            const bool reopened = std::find(changes.begin() + static_cast<std::ptrdiff_t>(i),
                                            changes.end(), +1) != changes.end();
            session_ended(reopened);
        }
    }
}

void Simulator::session_started() {
    log_line("port opened");
    line_.clear();
    line_garble_ = Garble::None;
    line_too_long_ = false;
}

// As on a real line, what the instrument sends while nobody holds the port is lost, and so
// is what the departed client sent that was not yet taken (see read_input). When a new client
// has already opened the port, its settings stay untouched.
void Simulator::session_ended(bool reopened_already) {
    log_line("port closed");
    if (delayed_) {
        log_line(delayed_->command + " -> reply dropped, the port was closed");
        delayed_.reset();
    }
    forget_line_state();
    babbling_ = Babbling::None;
    if (!reopened_already) {
        port_.reset_line();
        leave_early_answer();
    }
    save_state();
}

void Simulator::process(Nanos now) {
    take_received(now);
    if (delayed_ && now >= delayed_->due) {
        const DelayedReply delayed = std::move(*delayed_);
        delayed_.reset();
        send_reply(delayed.reply, delayed.command, now);
        after_command(now);
    }
    while (!delayed_ && !hangup_pending_ && !commands_.empty()) {
        Command command = std::move(commands_.front());
        commands_.pop_front();
        handle_command(std::move(command), now);
    }
    if (babbling_ != Babbling::None) babble(now);
    send_output(now);
    if (hangup_pending_ && !delayed_ && output_.empty() &&
        (port_.pending_to_client() == 0 || now >= hangup_deadline_)) {
        hang_up();
    }
}

std::optional<Simulator::Nanos> Simulator::next_deadline(Nanos now) const {
    std::optional<Nanos> next;
    const auto consider = [&next](Nanos t) { next = next ? std::min(*next, t) : t; };
    // Paced bytes are taken and sent in groups: nothing depends on a byte inside a line
    // arriving at its own moment, only on the line's end (and flow control), so waking for
    // every byte would only cost time that a loaded machine lacks.
    for (const ReceivedByte& in : received_) {
        const bool flow = in.garble == Garble::None && (in.byte == XON || in.byte == XOFF);
        if (in.byte == CR || flow) {
            consider(in.due);
            break;
        }
    }
    if (received_.size() >= MAX_RECEIVED) consider(received_.front().due);
    if (delayed_) consider(delayed_->due);
    if (!output_.empty() && !paused_ && !blocked_ && clients_ > 0) {
        if (!options_.line_rate) {
            consider(now);
        } else {
            // The end of the first line, or of the bytes that fill the next group time.
            Nanos end = send_clock_;
            const Nanos group_end = send_clock_ + output_.front().duration + GROUP_NS;
            for (const SentByte& out : output_) {
                end += out.duration;
                if (out.byte == CR || end >= group_end) break;
            }
            consider(end);
        }
    }
    if (hangup_pending_) consider(now + HANGUP_POLL_NS);
    if (babbling_ != Babbling::None && clients_ > 0) consider(babble_clock_);
    return next;
}

void Simulator::read_input(Nanos now) {
    unsigned char buffer[4096];
    const ssize_t n = read(port_.master(), buffer, sizeof buffer);
    if (n <= 0) return;
    // Bytes with nobody holding the port were left by a departed client, unless a new one
    // opened it meanwhile: its open is recorded before it can write, so looking now, after
    // the read, tells the two apart and never drops a command sent right after an open.
    if (clients_ == 0) take_open_changes();
    if (clients_ == 0) return;
    // A real line garbles what is sent at another speed; the speed is the one the client has
    // set when its bytes are taken.
    const int client_speed = port_.client_speed();
    Garble garble = Garble::None;
    if (port_.client_echoes()) {
        garble = Garble::Echo;
    } else if (client_speed != speed_) {
        garble = Garble::Speed;
    }
    for (ssize_t i = 0; i < n; ++i) {
        Nanos due = now;
        if (options_.line_rate) {
            receive_clock_ = std::max(receive_clock_, now) + byte_time(speed_);
            due = receive_clock_;
        }
        received_.push_back({buffer[i], garble, client_speed, due});
    }
}

void Simulator::take_received(Nanos now) {
    while (!received_.empty() && received_.front().due <= now) {
        const ReceivedByte in = received_.front();
        received_.pop_front();
        if (in.garble == Garble::None && in.byte == XOFF) {
            if (!paused_) log_line("XOFF: output paused");
            paused_ = true;
            continue;
        }
        if (in.garble == Garble::None && in.byte == XON) {
            if (paused_) {
                log_line("XON: output resumed");
                paused_ = false;
                send_clock_ = std::max(send_clock_, now);
            }
            continue;
        }
        if (in.byte == LF) continue;
        if (in.byte == CR) {
            finish_line();
            continue;
        }
        if (line_.size() < MAX_COMMAND_LENGTH) {
            line_ += static_cast<char>(in.byte);
        } else {
            line_too_long_ = true;
        }
        if (in.garble != Garble::None && line_garble_ == Garble::None) {
            line_garble_ = in.garble;
            line_client_speed_ = in.client_speed;
        }
    }
}

void Simulator::finish_line() {
    Command command{std::move(line_), line_too_long_};
    const Garble garble = line_garble_;
    line_.clear();
    line_garble_ = Garble::None;
    line_too_long_ = false;
    const std::string shown = printable(command.text);
    if (garble == Garble::Speed) {
        log_line(shown + " -> ignored, garbled: the client is at " + decimal(line_client_speed_) +
                 " baud, the simulator at " + decimal(speed_));
    } else if (garble == Garble::Echo) {
        log_line(shown + " -> ignored: the port echoes (ECHO is on in its terminal settings)");
    } else if (command.text.empty()) {
        log_line("empty line ignored");
    } else {
        commands_.push_back(std::move(command));
    }
}

void Simulator::handle_command(Command command, Nanos now) {
    translate_instrument_chars(command.text);
    ++commands_on_line_;
    const std::string shown = printable(command.text);
    if (command.too_long) {
        Reply reply;
        reply.lines = {"@Command too long"};
        reply.summary = "@Command too long";
        send_reply(reply, shown.substr(0, 40) + "...", now);
        after_command(now);
        return;
    }
    if (const Fault* fault = faults_.take_command_fault(command.text)) {
        if (fault->kind == FaultKind::Silent) {
            log_line("[" + decimal(speed_) + "] " + shown + " -> no answer (fault silent)");
        } else {
            Reply reply;
            reply.lines = {"@" + fault->text};
            reply.summary = printable(reply.lines.front()) + " (fault refuse)";
            send_reply(reply, shown, now);
        }
        after_command(now);
        return;
    }
    Reply reply = instrument_.answer(command.text);
    if (command_word(command.text) == "DLD_OBJ" && reply.lines == std::vector<std::string>{"@"} &&
        faults_.take(FaultKind::Misstore)) {
        std::string_view cursor = std::string_view(command.text).substr(8);
        next_field(cursor, ';');
        const std::string_view name = next_field(cursor, ';');
        if (const auto field = instrument_.misstore(name)) {
            log_line("stored " + printable(std::string(name)) + " with " + *field +
                     " changed (fault misstore)");
        }
    }
    if (const Fault* slow = faults_.take_for(FaultKind::Slow, command.text)) {
        reply.delay_ms = slow->count;
        log_line("answering " + shown + " in " + decimal(slow->count) + " ms (fault slow)");
    }
    if (reply.delay_ms > 0) {
        const Nanos due = now + std::int64_t{reply.delay_ms} * 1'000'000;
        delayed_ = DelayedReply{std::move(reply), shown, due};
        return;
    }
    send_reply(reply, shown, now);
    after_command(now);
}

void Simulator::after_command(Nanos now) {
    const Fault* hangup = faults_.peek(FaultKind::Hangup);
    if (hangup && commands_on_line_ >= hangup->count && !hangup_pending_) {
        hangup_pending_ = true;
        hangup_deadline_ = now + HANGUP_GRACE_NS;
    }
}

void Simulator::send_reply(const Reply& reply, const std::string& command, Nanos now) {
    const int speed_before = speed_;
    std::string summary = reply.summary;
    std::size_t count = reply.lines.size();
    if (reply.configuration && faults_.take(FaultKind::Babble)) {
        babbling_ = Babbling::Bytes;
        babble_clock_ = now;
        log_line("[" + decimal(speed_) + "] " + command +
                 " -> bytes without CR, never ending (fault babble)");
        return;
    }
    if (reply.configuration && faults_.take(FaultKind::Endless)) {
        babbling_ = Babbling::Lines;
        babble_clock_ = now;
        babble_line_ = 0;
        log_line("[" + decimal(speed_) + "] " + command +
                 " -> data lines that never end (fault endless)");
        return;
    }
    if (reply.configuration) {
        if (const Fault* stall = faults_.take(FaultKind::Stall)) {
            count = std::min(count, static_cast<std::size_t>(stall->count));
            summary = "configuration stalled after " + decimal(static_cast<std::int64_t>(count)) +
                      " lines (fault stall)";
        }
    }
    for (std::size_t i = 0; i < count; ++i)
        send_line(reply.lines[i], now);
    // Queued with the reply, so it goes out in the same burst.
    if (faults_.take_for(FaultKind::Stray, command)) {
        send_line("@", now);
        summary += ", stray \"@\" (fault stray)";
    }
    if (reply.speed_after != 0) set_speed(reply.speed_after, command);
    if (command == "RSTRT" && faults_.take(FaultKind::Reboot)) {
        set_speed(LOW_SPEED, "restart (fault reboot)");
        summary += ", then " + decimal(speed_) + " baud (fault reboot)";
    }
    if (faults_.take(FaultKind::Noise)) {
        std::uniform_int_distribution<int> length(1, 16);
        std::uniform_int_distribution<int> value(0, 255);
        std::string noise;
        for (int n = length(noise_); static_cast<int>(noise.size()) < n;) {
            const auto c = static_cast<unsigned char>(value(noise_));
            // Noise that the program could take for flow control, a line end or the start
            // of an acknowledgement would make the fault's effect depend on the dice.
            if (c == CR || c == LF || c == XON || c == XOFF) continue;
            if (noise.empty() && (c == '@' || c == '|')) continue;
            noise += static_cast<char>(c);
        }
        send_bytes(noise + static_cast<char>(CR), now);
        summary += ", noise line (fault noise)";
    }
    log_line("[" + decimal(speed_before) + "] " + command + " -> " + summary);
}

void Simulator::send_line(const std::string& text, Nanos now) {
    std::string bytes;
    bytes.reserve(text.size() + 2);
    for (const char c : text) {
        bytes += static_cast<char>(instrument_code(static_cast<unsigned char>(c)));
    }
    bytes += static_cast<char>(CR);
    if (faults_.take(FaultKind::Lf)) bytes += static_cast<char>(LF);
    send_bytes(bytes, now);
}

void Simulator::send_bytes(const std::string& bytes, Nanos now) {
    if (clients_ == 0) return;  // nobody holds the port: lost on the line
    if (output_.size() + bytes.size() > MAX_OUTPUT) {
        log_line("output dropped: the client takes nothing");
        return;
    }
    if (output_.empty() && !paused_) send_clock_ = std::max(send_clock_, now);
    const Nanos duration = options_.line_rate ? byte_time(speed_) : 0;
    for (const char c : bytes)
        output_.push_back({static_cast<unsigned char>(c), duration});
}

void Simulator::send_output(Nanos now) {
    if (clients_ == 0) {
        output_.clear();
        return;
    }
    if (paused_ || blocked_ || output_.empty()) return;
    std::string chunk;
    Nanos clock = send_clock_;
    for (const SentByte& out : output_) {
        if (chunk.size() >= WRITE_CHUNK) break;
        if (options_.line_rate && clock + out.duration > now) break;
        clock += out.duration;
        chunk += static_cast<char>(out.byte);
    }
    if (chunk.empty()) return;
    const ssize_t n = write(port_.master(), chunk.data(), chunk.size());
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) blocked_ = true;
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        send_clock_ += output_.front().duration;
        output_.pop_front();
    }
    if (static_cast<std::size_t>(n) < chunk.size()) blocked_ = true;
}

void Simulator::hang_up() {
    faults_.take(FaultKind::Hangup);
    log_line("hanging up " + port_.name() + " after " + decimal(commands_on_line_) +
             " commands (fault hangup)");
    save_state();
    if (!options_.link_path.empty()) remove_link(options_.link_path, port_.name());
    port_.close();
    // A new line starts at the low speed, as after a power cycle.
    set_speed(LOW_SPEED, "hang-up");
    if (!open_line()) stop_ = true;
}

void Simulator::set_speed(int speed, const std::string& why) {
    if (speed == speed_) return;
    log_line("speed: " + decimal(speed_) + " -> " + decimal(speed) + " (" + why + ")");
    speed_ = speed;
}

// Keeps a babbling reply coming, a little at a time, as long as somebody holds the port.
void Simulator::babble(Nanos now) {
    constexpr Nanos kStepNs = 5'000'000;
    constexpr std::size_t kBacklog = 8192;
    if (clients_ == 0) {
        babbling_ = Babbling::None;
        return;
    }
    if (now < babble_clock_ || output_.size() >= kBacklog) return;
    babble_clock_ = now + kStepNs;
    if (babbling_ == Babbling::Bytes) {
        std::string bytes;
        for (int i = 0; i < 256; ++i)
            bytes += static_cast<char>('a' + (babble_line_++ % 26));
        send_bytes(bytes, now);
        return;
    }
    for (int i = 0; i < 8; ++i)
        send_line("Tray;Babble" + std::to_string(babble_line_++) + ";10;1;Left", now);
}

void Simulator::leave_early_answer() {
    if (!faults_.take(FaultKind::Early)) return;
    const char early[] = {'@', static_cast<char>(CR)};
    if (write(port_.master(), early, sizeof early) == static_cast<ssize_t>(sizeof early)) {
        log_line("an \"@\" waits on the line for the next client (fault early)");
    }
}

bool Simulator::save_state() {
    if (options_.state_path.empty()) return true;
    const Configuration& config = instrument_.configuration();
    if (!write_object_list(config, options_.state_path, options_.state_comments)) return false;
    log_line("state written to " + options_.state_path + " (" + decimal(config.object_count) +
             " objects)");
    return true;
}

}  // namespace vexilo::sim
