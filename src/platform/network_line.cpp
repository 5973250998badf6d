#include "platform/network_line.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QThread>
#include <future>
#include <memory>
#include <thread>

#ifdef __linux__
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace vexilo {
namespace {

// Telnet (RFC 854) and its options.
constexpr unsigned char kIac = 255;
constexpr unsigned char kDont = 254;
constexpr unsigned char kDo = 253;
constexpr unsigned char kWont = 252;
constexpr unsigned char kWill = 251;
constexpr unsigned char kSb = 250;
constexpr unsigned char kSe = 240;
constexpr unsigned char kBinary = 0;
constexpr unsigned char kSuppressGoAhead = 3;
constexpr unsigned char kComPort = 44;

// Com port commands (RFC 2217); the server answers each with the command plus 100.
constexpr unsigned char kSetBaudRate = 1;
constexpr unsigned char kSetDataSize = 2;
constexpr unsigned char kSetParity = 3;
constexpr unsigned char kSetStopSize = 4;
constexpr unsigned char kSetControl = 5;
constexpr unsigned char kFlowSuspend = 8;
constexpr unsigned char kFlowResume = 9;
constexpr unsigned char kPurgeData = 12;
constexpr unsigned char kServerOffset = 100;

constexpr std::uint32_t kParityNone = 1;
constexpr std::uint32_t kOneStopBit = 1;
constexpr std::uint32_t kOutboundXonXoff = 2;
constexpr std::uint32_t kDtrOn = 8;
constexpr std::uint32_t kRtsOn = 11;
constexpr std::uint32_t kInboundXonXoff = 14;
constexpr std::uint32_t kPurgeReceive = 1;

// A sub-negotiation longer than this is no com port answer; the rest is dropped.
constexpr std::size_t kMaxSub = 64;

bool wanted(unsigned char option) {
    return option == kBinary || option == kSuppressGoAhead;
}

std::string seconds(int ms) {
    return std::to_string(ms / 1000) + " s";
}

}  // namespace

NetworkLine::NetworkLine(NetworkAddress address) : address_(std::move(address)) {
    QObject::connect(&socket_, &QTcpSocket::readyRead, &socket_, [this] {
        read_socket();
        notify_data();
    });
    QObject::connect(&socket_, &QTcpSocket::disconnected, &socket_, [this] { socket_failed(); });
    QObject::connect(&socket_, &QTcpSocket::errorOccurred, &socket_,
                     [this](QAbstractSocket::SocketError error) {
                         // A bounded wait that ran out is not a failing connection.
                         if (error != QAbstractSocket::SocketTimeoutError) socket_failed();
                     });
}

NetworkLine::~NetworkLine() {
    QObject::disconnect(&socket_, nullptr, nullptr, nullptr);
    socket_.abort();
}

bool NetworkLine::open(int baud, std::string& error) {
    if (open_) return true;
    close();
    losing_ = false;
    for (int attempt = 1;; ++attempt) {
        if (!connect_socket(error)) {
            close();
            return false;
        }
        tune_socket();
        open_ = true;
        purge_pending_ = true;
        if (fixed_speed() || negotiate(baud, error)) return true;
        const bool closed = !open_;
        // A line that never opened is not reported lost as well.
        close();
        if (!closed) return false;
        if (attempt >= kSetupAttempts) {
            error = "the device server at " + address_.host_port() +
                    " closed the connection at once, " + std::to_string(attempt) +
                    " times (another client connected, or the port still in use)";
            return false;
        }
        error.clear();
        QThread::msleep(kSetupRetryPauseMs);
    }
}

void NetworkLine::close() {
    open_ = false;
    losing_ = false;
    ++generation_;
    socket_.abort();
    input_.clear();
    input_pos_ = 0;
    state_ = State::Data;
    after_cr_ = false;
    sub_.clear();
    local_.clear();
    remote_.clear();
    com_port_answered_ = false;
    com_port_refused_ = false;
    confirmed_.clear();
    suspended_ = false;
    held_.clear();
}

bool NetworkLine::connect_socket(std::string& error) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectLimitMs);
    QList<QHostAddress> addresses;
    const QString host = QString::fromStdString(address_.host);
    if (QHostAddress literal; literal.setAddress(host)) {
        addresses.append(literal);
    } else {
        // Qt resolves names without a time limit when it is asked to wait, so the name is
        // looked up apart, and a resolver that never answers is left behind.
        auto found = std::make_shared<std::promise<QHostInfo>>();
        std::future<QHostInfo> result = found->get_future();
        std::thread([host, found] { found->set_value(QHostInfo::fromName(host)); }).detach();
        if (result.wait_until(deadline) != std::future_status::ready) {
            error =
                "the name " + address_.host + " did not resolve within " + seconds(kConnectLimitMs);
            return false;
        }
        const QHostInfo info = result.get();
        addresses = info.addresses();
        if (info.error() != QHostInfo::NoError || addresses.isEmpty()) {
            error = "the host " + address_.host + " was not found";
            return false;
        }
    }
    for (const QHostAddress& candidate : addresses) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) break;
        socket_.abort();
        socket_.connectToHost(candidate, static_cast<quint16>(address_.port));
        if (socket_.waitForConnected(static_cast<int>(left))) return true;
        if (socket_.error() == QAbstractSocket::ConnectionRefusedError) {
            error = "the connection was refused: nothing listens on " + address_.host_port();
        } else if (socket_.error() == QAbstractSocket::SocketTimeoutError) {
            error =
                "no answer from " + address_.host_port() + " within " + seconds(kConnectLimitMs);
        } else {
            error = address_.host_port() + ": " + socket_.errorString().toStdString();
        }
    }
    if (error.empty()) {
        error = "no answer from " + address_.host_port() + " within " + seconds(kConnectLimitMs);
    }
    return false;
}

void NetworkLine::tune_socket() {
    // Each command is one short line that waits for its answer: no coalescing.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef __linux__
    // A server that vanished without closing (power, cable) is noticed within seconds, not
    // the system's two hours: probes after 5 s idle, 3 of them 2 s apart, and unanswered data
    // fails after 10 s.
    const int fd = static_cast<int>(socket_.socketDescriptor());
    const int idle = 5;
    const int interval = 2;
    const int count = 3;
    const unsigned user_timeout_ms = 10000;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &user_timeout_ms, sizeof user_timeout_ms);
#endif
}

bool NetworkLine::negotiate(int baud, std::string& error) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConfirmLimitMs);
    const std::string server = "the device server at " + address_.host_port();
    for (unsigned char option : {kBinary, kSuppressGoAhead}) {
        send_option(kWill, option);
        send_option(kDo, option);
    }
    send_option(kWill, kComPort);
    const bool answered = wait_until([this] { return com_port_answered_; }, deadline);
    if (!open_) {
        error = server + " closed the connection while the line was set up";
        return false;
    }
    if (!answered || com_port_refused_) {
        error = server + " does not offer RFC 2217 (a raw TCP port is socket://" +
                address_.host_port() + ")";
        return false;
    }
    struct Setting {
        unsigned char command;
        std::uint32_t value;
        int size;
        const char* what;
    };
    const Setting settings[] = {
        {kSetBaudRate, static_cast<std::uint32_t>(baud), 4, "the speed"},
        {kSetDataSize, 8, 1, "8 data bits"},
        {kSetParity, kParityNone, 1, "no parity"},
        {kSetStopSize, kOneStopBit, 1, "1 stop bit"},
        {kSetControl, kOutboundXonXoff, 1, "XON/XOFF flow control"},
    };
    for (const Setting& s : settings)
        send_com_port(s.command, s.value, s.size);
    for (const Setting& s : settings) {
        std::uint32_t value = 0;
        if (!await_confirmation(s.command, deadline, value)) {
            error = !open_ ? server + " closed the connection while the line was set up"
                           : server + " did not confirm " + s.what + " within " +
                                 seconds(kConfirmLimitMs);
            return false;
        }
        if (value != s.value) {
            error = server + " refused " + s.what + " (it answered " + std::to_string(value) +
                    " for " + std::to_string(s.value) + ")";
            return false;
        }
    }
    // Helpful where the serial side has them; a server may leave them unanswered (a pty has no
    // modem lines), so nothing waits for these.
    for (std::uint32_t control : {kInboundXonXoff, kDtrOn, kRtsOn})
        send_com_port(kSetControl, control, 1);
    return true;
}

void NetworkLine::set_baud_rate(int baud) {
    if (!open_ || fixed_speed()) return;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConfirmLimitMs);
    send_com_port(kSetBaudRate, static_cast<std::uint32_t>(baud), 4);
    std::uint32_t value = 0;
    const std::string server = "the device server at " + address_.host_port();
    if (!await_confirmation(kSetBaudRate, deadline, value)) {
        // The speed of the server's serial side is unknown now: nothing said on it can be
        // trusted, so the line is given up and the next command connects again.
        lose(server + " did not confirm the speed " + std::to_string(baud) + " within " +
             seconds(kConfirmLimitMs));
    } else if (value != static_cast<std::uint32_t>(baud)) {
        lose(server + " refused the speed " + std::to_string(baud) + " (it answered " +
             std::to_string(value) + ")");
    }
}

void NetworkLine::write_raw(std::string_view bytes) {
    // The server may have closed while the line was set up; the rest of the setup goes nowhere.
    if (socket_.state() != QAbstractSocket::ConnectedState) return;
    socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Out now rather than on the next pass of the event loop: each line waits for its answer.
    socket_.flush();
}

void NetworkLine::send_option(unsigned char verb, unsigned char option) {
    auto& side = verb == kWill || verb == kWont ? local_ : remote_;
    if (verb == kWill || verb == kDo) side.emplace(option, Agreement::Asked);
    const char bytes[] = {static_cast<char>(kIac), static_cast<char>(verb),
                          static_cast<char>(option)};
    write_raw(std::string_view(bytes, sizeof bytes));
}

void NetworkLine::send_com_port(unsigned char command, std::uint32_t value, int size) {
    std::string bytes;
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
    send_com_port(command, bytes);
}

void NetworkLine::send_com_port(unsigned char command, std::string_view value) {
    confirmed_.erase(static_cast<unsigned char>(command + kServerOffset));
    std::string bytes{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPort),
                      static_cast<char>(command)};
    for (char c : value) {
        bytes += c;
        if (static_cast<unsigned char>(c) == kIac) bytes += c;
    }
    bytes += static_cast<char>(kIac);
    bytes += static_cast<char>(kSe);
    write_raw(bytes);
}

void NetworkLine::send(std::string_view bytes) {
    if (!open_) return;
    std::string out;
    if (fixed_speed()) {
        out.assign(bytes);
    } else {
        out.reserve(bytes.size() + 4);
        // A server that refused binary transmission reads text by telnet's rules: a bare CR
        // is sent as CR NUL.
        const bool binary = agreed(local_, kBinary);
        for (char c : bytes) {
            out += c;
            if (static_cast<unsigned char>(c) == kIac) out += c;
            if (c == '\r' && !binary) out += '\0';
        }
    }
    if (suspended_) {
        held_ += out;
        return;
    }
    write_raw(out);
}

bool NetworkLine::agreed(const std::map<unsigned char, Agreement>& side, unsigned char option) {
    const auto found = side.find(option);
    return found != side.end() && found->second == Agreement::On;
}

void NetworkLine::read_socket() {
    while (socket_.bytesAvailable() > 0) {
        char buffer[4096];
        const qint64 n = socket_.read(buffer, sizeof buffer);
        if (n <= 0) break;
        take_bytes(buffer, n);
    }
}

void NetworkLine::take_bytes(const char* data, qint64 size) {
    if (fixed_speed()) {
        input_.append(data, static_cast<std::size_t>(size));
        return;
    }
    // Telnet commands may be split anywhere between two reads: the state carries over.
    for (qint64 i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    state_ = State::Iac;
                } else if (!(b == 0 && after_cr_ && !agreed(remote_, kBinary))) {
                    input_ += static_cast<char>(b);
                }
                after_cr_ = b == '\r';
                break;
            case State::Iac:
                if (b == kIac) {
                    input_ += static_cast<char>(b);
                    after_cr_ = false;
                    state_ = State::Data;
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    state_ = State::Option;
                } else if (b == kSb) {
                    sub_.clear();
                    state_ = State::Sub;
                } else {
                    // NOP, GA and the like carry nothing for the line.
                    state_ = State::Data;
                }
                break;
            case State::Option:
                telnet_command(verb_, b);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIac) {
                    state_ = State::SubIac;
                } else if (sub_.size() < kMaxSub) {
                    sub_ += static_cast<char>(b);
                }
                break;
            case State::SubIac:
                if (b == kIac) {
                    if (sub_.size() < kMaxSub) sub_ += static_cast<char>(b);
                    state_ = State::Sub;
                } else {
                    if (b == kSe) sub_negotiation(sub_);
                    sub_.clear();
                    state_ = State::Data;
                }
                break;
        }
    }
}

// Agrees to what the line needs, refuses the rest, and answers only a change of state, so
// two sides never bounce an option between them.
void NetworkLine::telnet_command(unsigned char verb, unsigned char option) {
    if (verb == kDo || verb == kDont) {
        const auto found = local_.find(option);
        const bool asked = found != local_.end() && found->second == Agreement::Asked;
        const bool on = found != local_.end() && found->second == Agreement::On;
        if (verb == kDo) {
            if (option == kComPort) com_port_answered_ = true;
            if (wanted(option) || option == kComPort) {
                if (!asked && !on) send_option(kWill, option);
                local_[option] = Agreement::On;
            } else {
                send_option(kWont, option);
            }
        } else {
            if (option == kComPort) {
                com_port_answered_ = true;
                com_port_refused_ = true;
            }
            if (on) send_option(kWont, option);
            local_.erase(option);
        }
        return;
    }
    const auto found = remote_.find(option);
    const bool asked = found != remote_.end() && found->second == Agreement::Asked;
    const bool on = found != remote_.end() && found->second == Agreement::On;
    if (verb == kWill) {
        if (wanted(option)) {
            if (!asked && !on) send_option(kDo, option);
            remote_[option] = Agreement::On;
        } else {
            send_option(kDont, option);
        }
    } else {
        if (on) send_option(kDont, option);
        remote_.erase(option);
    }
}

void NetworkLine::sub_negotiation(const std::string& body) {
    if (body.size() < 2 || static_cast<unsigned char>(body[0]) != kComPort) return;
    const auto command = static_cast<unsigned char>(body[1]);
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < body.size() && i < 6; ++i)
        value = (value << 8) | static_cast<unsigned char>(body[i]);
    if (command == kFlowSuspend + kServerOffset) {
        suspended_ = true;
    } else if (command == kFlowResume + kServerOffset) {
        suspended_ = false;
        if (!held_.empty() && open_) {
            std::string out;
            out.swap(held_);
            write_raw(out);
        }
    } else if (command > kServerOffset) {
        // Confirmations are kept; line and modem state notifications need no answer.
        confirmed_[command] = value;
    }
}

bool NetworkLine::wait_until(const std::function<bool()>& done, Clock::time_point deadline) {
    const bool was_waiting = waiting_;
    waiting_ = true;
    bool result = false;
    for (;;) {
        read_socket();
        if (done()) {
            result = true;
            break;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !open_ || socket_.state() != QAbstractSocket::ConnectedState) break;
        socket_.waitForReadyRead(static_cast<int>(left));
    }
    waiting_ = was_waiting;
    if (!waiting_ && notify_pending_) {
        notify_pending_ = false;
        QMetaObject::invokeMethod(
            &socket_, [this] { notify_data(); }, Qt::QueuedConnection);
    }
    return result;
}

bool NetworkLine::await_confirmation(unsigned char command, Clock::time_point deadline,
                                     std::uint32_t& value) {
    const auto answer = static_cast<unsigned char>(command + kServerOffset);
    if (!wait_until([&] { return confirmed_.count(answer) > 0; }, deadline)) return false;
    value = confirmed_[answer];
    return true;
}

void NetworkLine::notify_data() {
    if (waiting_) {
        notify_pending_ = true;
        return;
    }
    const std::size_t count = input_.size() - input_pos_;
    if (count > 0 && data_handler_) data_handler_(static_cast<int>(count));
}

bool NetworkLine::take_char(char& c) {
    if (input_pos_ >= input_.size()) return false;
    c = input_[input_pos_++];
    if (input_pos_ == input_.size()) {
        input_.clear();
        input_pos_ = 0;
    }
    return true;
}

std::size_t NetworkLine::discard_input() {
    if (!open_) return 0;
    read_socket();
    const std::size_t waiting = input_.size() - input_pos_;
    input_.clear();
    input_pos_ = 0;
    // What the server still holds from the serial side goes too, when there is reason to think
    // it holds any: just after connecting, or when unasked-for bytes arrived. Not before every
    // command: the server's confirmation of a purge is a small segment of its own, and a server
    // that coalesces small writes (Nagle) then holds back the command's answer until the
    // confirmation is acknowledged, which costs a delayed acknowledgement (40 ms) per command.
    if (!fixed_speed() && (waiting > 0 || purge_pending_)) {
        send_com_port(kPurgeData, kPurgeReceive, 1);
    }
    purge_pending_ = false;
    return waiting;
}

void NetworkLine::flush(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (open_ && socket_.bytesToWrite() > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || !socket_.waitForBytesWritten(static_cast<int>(left))) break;
    }
}

void NetworkLine::socket_failed() {
    if (!open_) return;
    const std::string why =
        socket_.error() == QAbstractSocket::RemoteHostClosedError ||
                socket_.state() == QAbstractSocket::UnconnectedState
            ? "the device server at " + address_.host_port() + " closed the connection"
            : "the connection to " + address_.host_port() +
                  " failed: " + socket_.errorString().toStdString();
    lose(why);
}

void NetworkLine::lose(const std::string& reason) {
    if (!open_ || losing_) return;
    losing_ = true;
    open_ = false;
    socket_.abort();
    // Reported from the event loop, not inside the socket's own signal or a wait.
    QMetaObject::invokeMethod(
        &socket_,
        [this, reason, generation = generation_] {
            if (generation != generation_) return;
            losing_ = false;
            if (lost_handler_) lost_handler_(reason);
        },
        Qt::QueuedConnection);
}

}  // namespace vexilo
