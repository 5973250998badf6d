#include "link/line_trace.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace vexilo {
namespace {

// A line that never ends is traced in pieces of this size.
constexpr std::size_t kMaxTracedLine = 4096;

std::string shown_bytes(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() + 8);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F) {
            text += c;
        } else {
            text += '<';
            text += kHex[b >> 4];
            text += kHex[b & 0xF];
            text += '>';
        }
    }
    return text;
}

}  // namespace

std::string trace_time(std::chrono::system_clock::time_point time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const auto seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms % 1000));
    return text;
}

TracedPort::TracedPort(std::unique_ptr<SerialPort> inner) : inner_(std::move(inner)) {
    inner_->set_lost_handler([this](const std::string& reason) {
        if (tracing()) {
            end_received();
            trace("-- ", "line lost: " + reason);
        }
        if (lost_handler_) lost_handler_(reason);
    });
}

TracedPort::~TracedPort() {
    stop_file();
    inner_->set_lost_handler({});
}

bool TracedPort::start_file(const std::string& path, std::string& error) {
    stop_file();
    file_ = std::fopen(path.c_str(), "ab");
    if (file_ == nullptr) {
        error = "Cannot write the trace of the line to " + path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    trace("-- ", "trace of the line on " + describe() + " at " + std::to_string(baud_rate()) +
                     " baud" + (is_open() ? "" : " (closed)"));
    return true;
}

void TracedPort::stop_file() {
    if (file_ == nullptr) return;
    end_received();
    std::fclose(file_);
    file_ = nullptr;
    path_.clear();
}

void TracedPort::set_line_listener(LineListener listener) {
    listener_ = std::move(listener);
}

void TracedPort::trace(const char* mark, std::string_view bytes) {
    if (!tracing()) return;
    const std::string line =
        trace_time(std::chrono::system_clock::now()) + " " + mark + shown_bytes(bytes);
    if (file_ != nullptr) {
        std::fputs(line.c_str(), file_);
        std::fputc('\n', file_);
        // Line by line: a trace matters most when the program does not end well.
        std::fflush(file_);
    }
    if (listener_) listener_(line);
}

void TracedPort::end_received() {
    if (received_.empty()) return;
    trace("< ", received_);
    received_.clear();
}

bool TracedPort::set_port_number(int number, std::string& error) {
    const bool ok = inner_->set_port_number(number, error);
    if (tracing()) {
        end_received();
        trace("-- ", ok ? "port " + describe() : error);
    }
    return ok;
}

bool TracedPort::open(std::string& error) {
    const bool was_open = inner_->is_open();
    const bool ok = inner_->open(error);
    if (tracing() && !was_open) trace("-- ", ok ? "opened " + describe() : error);
    return ok;
}

void TracedPort::close() {
    if (tracing() && inner_->is_open()) {
        end_received();
        trace("-- ", "closed");
    }
    inner_->close();
}

void TracedPort::set_baud_rate(int baud) {
    inner_->set_baud_rate(baud);
    if (tracing()) trace("-- ", "speed " + std::to_string(baud) + " baud");
}

void TracedPort::send(std::string_view bytes) {
    if (tracing() && inner_->is_open()) trace("> ", bytes);
    inner_->send(bytes);
}

bool TracedPort::take_char(char& c) {
    if (!inner_->take_char(c)) return false;
    if (!tracing()) return true;
    received_ += c;
    if (c == '\r' || c == '\n' || received_.size() >= kMaxTracedLine) end_received();
    return true;
}

std::size_t TracedPort::discard_input() {
    const std::size_t dropped = inner_->discard_input();
    if (tracing()) {
        end_received();
        if (dropped > 0) trace("-- ", "discarded " + std::to_string(dropped) + " received bytes");
    }
    return dropped;
}

void TracedPort::set_lost_handler(std::function<void(const std::string&)> handler) {
    lost_handler_ = std::move(handler);
}

}  // namespace vexilo
