// The RFC 2217 line against a small device server of our own, in a thread of the test, for
// what a real one will not do on demand: confirmations that never come or come late, a
// connection closed under a command, and every byte value through the telnet layer.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "link/nimbralib.h"
#include "platform/network_line.h"
#include "platform/qt_serial_port.h"
#include "support/event_wait.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kSb = 250;
constexpr unsigned char kSe = 240;

class FakeServer {
  public:
    struct Script {
        int silent_command = -1;     // a com port command never confirmed
        int late_baud = -1;          // a speed confirmed only after the line's limit...
        int close_at_line = -1;      // ...or the first connection closed at this line
        bool echo = false;           // data sent back, cut into pieces
        bool refuse_binary = false;  // telnet's text rules: CR NUL both ways
    };

    explicit FakeServer(Script script) : script_(script) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 4);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeServer() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }

    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    std::string host_port() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string data() {
        std::lock_guard lock(mutex_);
        return data_;
    }
    std::vector<std::string> lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  private:
    void put(int fd, const std::string& bytes) {
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    void serve() {
        for (int connection = 1; !stop_; ++connection) {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) {
                --connection;
                continue;
            }
            const int fd = accept(listener_, nullptr, nullptr);
            talk(fd, connection);
            close(fd);
        }
    }

    void talk(int fd, int connection) {
        enum { Data, Iac, Option, Sub, SubIac } state = Data;
        unsigned char verb = 0;
        std::string sub;
        std::string line;
        int line_count = 0;
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            char buffer[512];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) return;
            for (ssize_t i = 0; i < n; ++i) {
                const auto b = static_cast<unsigned char>(buffer[i]);
                if (state == Iac) {
                    state = b == kIac ? Data : b == kSb ? Sub : Option;
                    verb = b;
                    sub.clear();
                    if (b != kIac) continue;
                } else if (state == Option) {
                    // Agree to everything (WILL gets DO, DO gets WILL), binary perhaps not.
                    const bool refuse = script_.refuse_binary && b == 0;
                    put(fd,
                        {char(kIac),
                         char(verb == 251 ? (refuse ? 254 : 253) : (refuse ? 252 : 251)), char(b)});
                    state = Data;
                    continue;
                } else if (state == Sub || state == SubIac) {
                    if (state == SubIac && b == kSe) {
                        confirm(fd, sub, connection);
                        state = Data;
                    } else if (state == Sub && b == kIac) {
                        state = SubIac;
                    } else {
                        sub += char(b);
                        state = Sub;
                    }
                    continue;
                } else if (b == kIac) {
                    state = Iac;
                    continue;
                }
                {
                    std::lock_guard lock(mutex_);
                    data_ += char(b);
                }
                if (script_.echo) {
                    echo(fd, char(b));
                } else if (b == '\r') {
                    {
                        std::lock_guard lock(mutex_);
                        lines_.push_back(std::to_string(connection) + " " + line);
                    }
                    line.clear();
                    if (++line_count == script_.close_at_line && connection == 1) return;
                    put(fd, script_.refuse_binary ? std::string("@\r\0", 3) : "@\r");
                } else if (b == 0 && script_.refuse_binary) {
                } else {
                    line += char(b);
                }
            }
        }
    }

    // Every byte alone, 0xFF doubled, with a line state notification cut in half between.
    void echo(int fd, char c) {
        put(fd, {char(kIac), char(kSb), 44, 106});
        put(fd, {0x60, char(kIac), char(kSe)});
        put(fd, std::string(static_cast<unsigned char>(c) == kIac ? 2 : 1, c));
    }

    void confirm(int fd, const std::string& sub, int connection) {
        if (sub.size() < 2 || sub[0] != 44) return;
        const int command = static_cast<unsigned char>(sub[1]);
        if (command == script_.silent_command) return;
        if (command == 1 && connection == 1 && sub.size() == 6 &&
            ((static_cast<unsigned char>(sub[4]) << 8) | static_cast<unsigned char>(sub[5])) ==
                script_.late_baud) {
            std::this_thread::sleep_for(
                std::chrono::milliseconds(NetworkLine::kConfirmLimitMs + 500));
        }
        std::string answer = {char(kIac), char(kSb), 44, char(command + 100)};
        for (std::size_t i = 2; i < sub.size(); ++i)
            answer += sub[i] == char(kIac) ? std::string(2, sub[i]) : std::string(1, sub[i]);
        put(fd, answer + std::string{char(kIac), char(kSe)});
    }

    Script script_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::string data_;
    std::vector<std::string> lines_;
};

TEST(NetworkLineTest, EveryByteValueCrossesTheTelnetLayerBothWays) {
    FakeServer server({.echo = true});
    NetworkAddress address;
    std::string error;
    ASSERT_TRUE(parse_network_address(server.url(), address, error)) << error;
    NetworkLine line(address);
    std::string received;
    line.set_data_handler([&](int) {
        for (char c; line.take_char(c);)
            received += c;
    });
    ASSERT_TRUE(line.open(9600, error)) << error;
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    line.send(all + "\xFF\xFF" + all);
    const std::string expected = all + "\xFF\xFF" + all;
    test::run_events_while([&] { return received.size() < expected.size(); }, 10000);
    EXPECT_EQ(server.data(), expected);
    EXPECT_EQ(received, expected);
}

TEST(NetworkLineTest, WithoutBinaryTransmissionACarriageReturnTravelsWithItsNul) {
    FakeServer server({.refuse_binary = true});
    test::MessageRecorder messages;
    Tnimbra_lib link(std::make_unique<QtSerialPort>([&](int) { return server.url(); }));
    ASSERT_TRUE(link.FormCreate());
    int done = 0;
    link.run_command("RSTRT", [&] { ++done; });
    test::run_events_while([&] { return done == 0 && messages.errors.empty(); }, 20000);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(server.data(), std::string("SET_BAUD 38400\r\0RSTRT\r\0", 23));
    EXPECT_TRUE(messages.errors.empty());
}

TEST(NetworkLineTest, ASettingNeverConfirmedFailsTheOpenWithTheReason) {
    FakeServer server({.silent_command = 2});
    QtSerialPort port([&](int) { return server.url(); });
    port.set_named_by_device(true);
    std::string error;
    EXPECT_FALSE(port.open(error));
    EXPECT_EQ(error, "Cannot open " + server.url() + ": the device server at " +
                         server.host_port() + " did not confirm 8 data bits within 2 s");
    EXPECT_FALSE(port.is_open());
}

// A speed the server does not confirm in time, and a connection closed under a command once
// the line is in use: each ends the command as a lost line, never as done, and the next
// command connects again.
TEST(NetworkLineTest, AServerThatFailsLosesTheLineAndTheNextCommandConnectsAgain) {
    for (const bool late : {true, false}) {
        SCOPED_TRACE(late ? "late confirmation" : "closed connection");
        FakeServer server(late ? FakeServer::Script{.late_baud = 38400}
                               : FakeServer::Script{.close_at_line = 2});
        test::MessageRecorder messages;
        Tnimbra_lib link(std::make_unique<QtSerialPort>([&](int) { return server.url(); }));
        std::vector<std::string> failures;
        int done = 0;
        link.set_failure_action([&](Tnimbra_lib::Failure failure, const std::string& text) {
            EXPECT_EQ(failure, Tnimbra_lib::Failure::LineLost);
            failures.push_back(text);
        });
        ASSERT_TRUE(link.FormCreate());
        link.run_command("RSTRT", [&] { ++done; });
        test::run_events_while([&] { return failures.empty() && done == 0; }, 20000);
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(done, 0);
        const std::string why =
            late ? "did not confirm the speed 38400 within 2 s" : "closed the connection";
        EXPECT_EQ(failures[0], "The serial line was lost: the device server at " +
                                   server.host_port() + " " + why);
        EXPECT_EQ(messages.errors, std::vector<std::string>{failures[0]});

        link.run_command("RSTRT", [&] { ++done; });
        test::run_events_while([&] { return done == 0 && failures.size() == 1; }, 20000);
        EXPECT_EQ(done, 1);
        EXPECT_EQ(server.lines().back(), "2 RSTRT");
    }
}

// A server that closes a new connection before anything is answered (its serial port still
// busy) is connected to again, and the command goes out on the new connection.
TEST(NetworkLineTest, AConnectionClosedBeforeAnyAnswerIsOpenedAgainAndTheCommandSent) {
    FakeServer server({.close_at_line = 1});
    test::MessageRecorder messages;
    Tnimbra_lib link(std::make_unique<QtSerialPort>([&](int) { return server.url(); }));
    ASSERT_TRUE(link.FormCreate());
    int done = 0;
    link.run_command("RSTRT", [&] { ++done; });
    test::run_events_while([&] { return done == 0 && messages.errors.empty(); }, 20000);
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(messages.errors.empty()) << ::testing::PrintToString(messages.errors);
    EXPECT_EQ(server.lines(),
              (std::vector<std::string>{"1 SET_BAUD 38400", "2 SET_BAUD 38400", "2 RSTRT"}));
}

}  // namespace
}  // namespace vexilo
