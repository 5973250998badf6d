#pragma once
// A serial line reached over TCP through a device server. On `rfc2217://` the program sets the
// server's serial side itself (RFC 2217 over telnet: speed, 8N1, XON/XOFF) and waits for each
// setting to be confirmed; on `socket://` the server's serial side has a fixed speed and the
// bytes pass as they are. All waits are bounded and run without the event loop, as the local
// port's do, so nothing else runs while the link waits.

#include <QTcpSocket>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "link/network_address.h"

namespace vexilo {

class NetworkLine {
  public:
    // How long a host may take to resolve and to accept the connection.
    static constexpr int kConnectLimitMs = 5000;
    // How long the device server may take to confirm a line setting.
    static constexpr int kConfirmLimitMs = 2000;
    // A server that closes the connection while the line is set up (its serial port still
    // busy with the last client) is tried this many times, this long apart.
    static constexpr int kSetupAttempts = 8;
    static constexpr int kSetupRetryPauseMs = 250;

    explicit NetworkLine(NetworkAddress address);
    ~NetworkLine();
    NetworkLine(const NetworkLine&) = delete;
    NetworkLine& operator=(const NetworkLine&) = delete;

    const NetworkAddress& address() const { return address_; }
    bool fixed_speed() const { return address_.kind == NetworkAddress::Kind::RawTcp; }

    // Connects and sets the line to `baud` 8N1 with XON/XOFF; false with the reason.
    bool open(int baud, std::string& error);
    void close();
    bool is_open() const { return open_; }

    // Sets the server's speed and waits for its confirmation. Without one the line is
    // unusable: it is closed and reported lost. Nothing to do on a raw TCP line.
    void set_baud_rate(int baud);

    void send(std::string_view bytes);
    bool take_char(char& c);
    std::size_t discard_input();
    // Waits up to `ms` for what was sent to leave for the server.
    void flush(int ms);

    void set_data_handler(std::function<void(int)> handler) { data_handler_ = std::move(handler); }
    void set_lost_handler(std::function<void(const std::string&)> handler) {
        lost_handler_ = std::move(handler);
    }

  private:
    using Clock = std::chrono::steady_clock;

    bool connect_socket(std::string& error);
    bool negotiate(int baud, std::string& error);
    void tune_socket();
    void write_raw(std::string_view bytes);
    void send_option(unsigned char verb, unsigned char option);
    void send_com_port(unsigned char command, std::string_view value);
    void send_com_port(unsigned char command, std::uint32_t value, int size);
    // Reads what the socket holds and splits it into data and telnet commands.
    void read_socket();
    void take_bytes(const char* data, qint64 size);
    void telnet_command(unsigned char verb, unsigned char option);
    void sub_negotiation(const std::string& body);
    // Waits until `done` holds or the deadline passes; false on a timeout or a closed socket.
    bool wait_until(const std::function<bool()>& done, Clock::time_point deadline);
    // The server's confirmation of a com port command; false when none came in time.
    bool await_confirmation(unsigned char command, Clock::time_point deadline,
                            std::uint32_t& value);
    void socket_failed();
    void lose(const std::string& reason);
    void notify_data();

    NetworkAddress address_;
    QTcpSocket socket_;
    bool open_ = false;
    bool losing_ = false;
    // Counts connections, so that the report of a lost one never reaches a later one.
    unsigned generation_ = 0;
    // Waits read the socket themselves; the link hears of data after them, from the event loop.
    bool waiting_ = false;
    bool notify_pending_ = false;

    std::string input_;
    std::size_t input_pos_ = 0;

    enum class State { Data, Iac, Option, Sub, SubIac };
    State state_ = State::Data;
    unsigned char verb_ = 0;
    std::string sub_;
    // Each option's state on our side (WILL) and the server's (DO): asked or agreed.
    enum class Agreement { Asked, On };
    std::map<unsigned char, Agreement> local_;
    std::map<unsigned char, Agreement> remote_;
    static bool agreed(const std::map<unsigned char, Agreement>& side, unsigned char option);
    // The last data byte was a CR: without binary transmission a NUL after it is padding.
    bool after_cr_ = false;
    bool com_port_answered_ = false;
    bool com_port_refused_ = false;
    // The server's answers to com port commands, by command, as they came.
    std::map<unsigned char, std::uint32_t> confirmed_;
    bool suspended_ = false;
    // The server may still hold bytes from before the connection: the first discard purges.
    bool purge_pending_ = false;
    std::string held_;

    std::function<void(int)> data_handler_;
    std::function<void(const std::string&)> lost_handler_;
};

}  // namespace vexilo
