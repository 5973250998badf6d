#include "platform/qt_serial_port.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "pty.h"
#include "settings/settings.h"

namespace vexilo {
namespace {

// Runs the event loop until `done` holds; the deadline only keeps a broken test from hanging.
bool process_until(const std::function<bool()>& done) {
    QDeadlineTimer deadline(10000);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

class QtSerialPortTest : public ::testing::Test {
  protected:
    QtSerialPortTest()
        : port([this](int n) {
              if (n == 1) return first.path();
              if (n == 2) return second.path();
              return std::string("/nonexistent/vexilo-port-") + std::to_string(n);
          }) {}

    test::Pty first;
    test::Pty second;
    QtSerialPort port;
};

TEST_F(QtSerialPortTest, OpensTheMappedDeviceWithTheLineSettingsAndChangesSpeed) {
    ASSERT_TRUE(first.ok() && second.ok());
    std::string error;
    ASSERT_TRUE(port.open(error)) << error;

    termios t{};
    ASSERT_TRUE(first.settings(t));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));

    port.set_baud_rate(38400);
    ASSERT_TRUE(first.settings(t));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
    // Only XON resumes output, also after a speed change.
    EXPECT_EQ(t.c_iflag & IXANY, 0u);
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B38400));
}

TEST_F(QtSerialPortTest, SendsReceivesAndDiscards) {
    ASSERT_TRUE(first.ok());
    std::string error;
    ASSERT_TRUE(port.open(error)) << error;
    int notified = 0;
    port.set_data_handler([&](int count) { notified += count; });

    port.send("GET_CONFIG\r");
    // The pause lets queued bytes leave without the event loop running.
    port.pause(10);
    EXPECT_EQ(first.read(2000), "GET_CONFIG\r");

    first.write(std::string("@\r\x9d", 3));
    ASSERT_TRUE(process_until([&] { return notified >= 3; }));
    std::string got;
    char c = 0;
    while (port.take_char(c))
        got += c;
    EXPECT_EQ(got, std::string("@\r\x9d", 3));

    first.write("noise");
    ASSERT_TRUE(process_until([&] { return notified >= 8; }));
    port.discard_input();
    EXPECT_FALSE(port.take_char(c));
}

TEST_F(QtSerialPortTest, ReplyLongerThanTheBuffersArrivesWhole) {
    ASSERT_TRUE(first.ok());
    std::string error;
    ASSERT_TRUE(port.open(error)) << error;
    std::string got;
    port.set_data_handler([&](int) {
        char c = 0;
        while (port.take_char(c))
            got += c;
    });
    std::string reply;
    for (int i = 0; reply.size() < 40000; ++i)
        reply += "Line " + std::to_string(i) + ";1;2;3\r";
    size_t written = 0;
    ASSERT_TRUE(process_until([&] {
        written += first.write_some(reply.data() + written, reply.size() - written);
        return got.size() == reply.size();
    }));
    EXPECT_EQ(got, reply);
}

TEST_F(QtSerialPortTest, OneShotTimersReportTheirHandle) {
    std::vector<SerialPort::TimerHandle> fired;
    port.set_timer_handler([&](SerialPort::TimerHandle h) { fired.push_back(h); });
    const auto stopped = port.create_timer();
    const auto running = port.create_timer();
    port.start_timer(stopped, 1);
    port.stop_timer(stopped);
    port.start_timer(running, 1);
    ASSERT_TRUE(process_until([&] { return !fired.empty(); }));
    // Give the stopped timer every chance to fire as well.
    port.start_timer(running, 3);
    ASSERT_TRUE(process_until([&] { return fired.size() == 2; }));
    EXPECT_EQ(fired, (std::vector<SerialPort::TimerHandle>{running, running}));
}

TEST_F(QtSerialPortTest, AvailabilityAndChangingTheNumberWhileOpen) {
    ASSERT_TRUE(first.ok() && second.ok());
    std::string error;
    EXPECT_TRUE(port.can_open(1));
    EXPECT_FALSE(port.can_open(3));
    EXPECT_FALSE(port.set_port_number(3, error) && port.open(error));
    EXPECT_NE(error.find("COM3"), std::string::npos);
    EXPECT_NE(error.find("/nonexistent/vexilo-port-3"), std::string::npos);

    ASSERT_TRUE(port.set_port_number(1, error));
    ASSERT_TRUE(port.open(error)) << error;
    port.set_baud_rate(38400);
    // The link's own port is available although a second open would fail.
    EXPECT_TRUE(port.can_open(1));

    ASSERT_TRUE(port.set_port_number(2, error)) << error;
    EXPECT_TRUE(port.is_open());
    termios t{};
    ASSERT_TRUE(second.settings(t));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
    port.send("RSTRT\r");
    port.pause(10);
    EXPECT_EQ(second.read(2000), "RSTRT\r");
    EXPECT_EQ(first.read(50), "");
}

TEST_F(QtSerialPortTest, VanishedDeviceClosesThePortAndSaysSoOnce) {
    ASSERT_TRUE(first.ok());
    std::string error;
    ASSERT_TRUE(port.open(error)) << error;
    port.set_data_handler([](int) {});
    std::vector<std::string> reasons;
    port.set_lost_handler([&](const std::string& reason) { reasons.push_back(reason); });
    // A hang-up while idle: reads return nothing although the descriptor polls readable.
    first.close_master();
    EXPECT_TRUE(process_until([&] { return !port.is_open(); }));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(reasons.size(), 1u);
}

TEST_F(QtSerialPortTest, BusyPortNamesTheDeviceAskedFor) {
    ASSERT_TRUE(first.ok());
    std::string error;
    ASSERT_TRUE(port.open(error)) << error;
    QtSerialPort by_path([this](int) { return first.path(); });
    by_path.set_named_by_device(true);
    EXPECT_FALSE(by_path.open(error));
    EXPECT_EQ(error, "Cannot open " + first.path() + ": it is in use by another program");
}

TEST(QtSerialPortSettings, PortNumbersFollowThePortsMap) {
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    store_port_mapping(4, pty.path());
    QtSerialPort port;
    std::string error;
    ASSERT_TRUE(port.set_port_number(4, error));
    ASSERT_TRUE(port.open(error)) << error;
    port.send("RSTRT\r");
    port.pause(10);
    EXPECT_EQ(pty.read(2000), "RSTRT\r");
}

}  // namespace
}  // namespace vexilo

int main(int argc, char** argv) {
    // Never the user's own settings.
    const std::string settings = "/tmp/vexilo-platform-tests-" + std::to_string(::getpid());
    ::setenv("VEXILO_SETTINGS", settings.c_str(), 1);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::remove(settings.c_str());
    return result;
}
