// Serial devices by what they are, against nimbra-sim's pty: the port map beside the devices
// present, a stable name that keeps working when the adapter comes back under another
// ttyUSB number, and the low-latency request that a pty refuses without harm.

#include <QLoggingCategory>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "e2e_support.h"
#include "platform/qt_serial_port.h"

namespace vexilo::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

Lines lines_of(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(SerialDevicesSim, PortsShowsTheMapAndTheDevicesAndAStableNameSurvivesReplugging) {
    TempDir dir;
    SimProcess sim(NIMBRA_SIM_PATH, {"--config", kExamples + "/instrument.nol"}, dir);
    ASSERT_TRUE(sim.started());
    const std::optional<std::string> pty = sim.port();
    ASSERT_TRUE(pty) << sim.log();

    // The adapter as the system shows it: ttyUSB0, and its stable name leading there.
    fs::create_directories(dir.path() / "dev");
    fs::create_directories(dir.path() / "by-id");
    fs::create_symlink(*pty, dir.path() / "dev" / "ttyUSB0");
    const std::string stable = dir.file("by-id/usb-FTDI_FT232R_USB_UART_A12345-if00-port0");
    fs::create_symlink("../dev/ttyUSB0", stable);

    ASSERT_EQ(run_cli(dir, {"ports", "COM2", stable}).status, 0);
    ASSERT_EQ(run_cli(dir, {"ports", "COM3", *pty}).status, 0);
    const CliResult listed = run_cli(dir, {"ports"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const Lines lines = lines_of(listed.out);
    ASSERT_GE(lines.size(), 11u) << listed.out;
    EXPECT_EQ(lines[1], "COM2\t" + stable + "\t(mapped)\t-> " + *pty);
    EXPECT_EQ(lines[2], "COM3\t" + *pty + "\t(mapped)");
    EXPECT_EQ(lines[9], "");
    if (lines[10] != "Serial devices: none found") {
        EXPECT_EQ(lines[10], "Serial devices:");
        ASSERT_GE(lines.size(), 13u);
        for (std::size_t i = 12; i < lines.size(); ++i) {
            const std::vector<std::string> f = fields_of(lines[i]);
            ASSERT_EQ(f.size(), 7u) << lines[i];
            EXPECT_EQ(f[0].rfind("/dev/", 0), 0u) << lines[i];
            // Where no adapter ever made stable names, the devices go by their plain names.
            if (!fs::exists("/dev/serial/by-id")) {
                EXPECT_EQ(f[4], "-") << lines[i];
            }
        }
    }

    EXPECT_EQ(run_cli(dir, {"--port", "COM2", "get-config"}).status, 0) << sim.log();

    // Plugged in again after another adapter: now ttyUSB1, and the stable name follows.
    fs::remove(dir.path() / "dev" / "ttyUSB0");
    fs::create_symlink(*pty, dir.path() / "dev" / "ttyUSB1");
    fs::remove(stable);
    fs::create_symlink("../dev/ttyUSB1", stable);
    const CliResult again = run_cli(dir, {"--port", "COM2", "get-config"});
    EXPECT_EQ(again.status, 0) << again.err << sim.log();
    EXPECT_NE(again.out.find(':'), std::string::npos);

    // Unplugged: the map says so instead of naming a device that is not there.
    fs::remove(dir.path() / "dev" / "ttyUSB1");
    EXPECT_EQ(lines_of(run_cli(dir, {"ports"}).out)[1],
              "COM2\t" + stable + "\t(mapped)\t(not present)");
}

QStringList serial_messages;

void record(QtMsgType, const QMessageLogContext& context, const QString& text) {
    if (QByteArray(context.category) == "vexilo.serial") serial_messages << text;
}

TEST(SerialDevicesSim, OpeningAPtyAsksForLowLatencyAndItsRefusalIsNoError) {
    TempDir dir;
    SimProcess sim(NIMBRA_SIM_PATH, {"--config", kExamples + "/instrument.nol"}, dir);
    ASSERT_TRUE(sim.started());
    const std::optional<std::string> pty = sim.port();
    ASSERT_TRUE(pty) << sim.log();

    QLoggingCategory::setFilterRules("vexilo.serial.debug=true");
    const QtMessageHandler previous = qInstallMessageHandler(record);
    QtSerialPort port([&](int) { return *pty; });
    std::string error;
    const bool opened = port.open(error);
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules("");

    EXPECT_TRUE(opened) << error;
    ASSERT_EQ(serial_messages.size(), 1) << serial_messages.join("\n").toStdString();
    EXPECT_EQ(serial_messages[0].toStdString(),
              "low-latency flag not available: " + std::string(std::strerror(ENOTTY)));
}

}  // namespace
}  // namespace vexilo::test
