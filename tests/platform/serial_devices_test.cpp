#include "platform/serial_devices.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace vexilo {
namespace {

namespace fs = std::filesystem;

// A device folder, a by-id folder and a sysfs tree of our own: the adapter first appears as
// ttyUSB0, then, plugged in again after another adapter, as ttyUSB1.
TEST(SerialDevices, StableNameAndLatencyTimerFollowTheAdapterAcrossReplugging) {
    const fs::path root =
        fs::temp_directory_path() / ("vexilo-devices-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "dev");
    fs::create_directories(root / "by-id");
    fs::create_directories(root / "sys" / "ttyUSB1" / "device");
    const std::string by_id = (root / "by-id").string();
    const std::string sys = (root / "sys").string();
    const fs::path stable = root / "by-id" / "usb-FTDI_FT232R_USB_UART_A12345-if00-port0";

    std::ofstream(root / "dev" / "ttyUSB0").put('x');
    std::ofstream(root / "dev" / "ttyS0").put('x');
    fs::create_symlink("../dev/ttyUSB0", stable);
    EXPECT_EQ(stable_name_of((root / "dev" / "ttyUSB0").string(), by_id), stable.string());
    EXPECT_EQ(stable_name_of((root / "dev" / "ttyS0").string(), by_id), "");
    EXPECT_EQ(resolved_device(stable.string()), (root / "dev" / "ttyUSB0").string());
    EXPECT_EQ(latency_timer_ms((root / "dev" / "ttyUSB0").string(), sys), -1);

    fs::remove(root / "dev" / "ttyUSB0");
    EXPECT_EQ(resolved_device(stable.string()), "");
    std::ofstream(root / "dev" / "ttyUSB1").put('x');
    fs::remove(stable);
    fs::create_symlink("../dev/ttyUSB1", stable);
    std::ofstream(root / "sys" / "ttyUSB1" / "device" / "latency_timer") << "16\n";
    EXPECT_EQ(stable_name_of((root / "dev" / "ttyUSB1").string(), by_id), stable.string());
    EXPECT_EQ(resolved_device(stable.string()), (root / "dev" / "ttyUSB1").string());
    // The latency timer is found by the device's own name, also through the stable name.
    EXPECT_EQ(latency_timer_ms(stable.string(), sys), 16);

    // Without a by-id folder (no USB adapter ever plugged in) there are plain names only.
    EXPECT_EQ(stable_name_of((root / "dev" / "ttyUSB1").string(), (root / "none").string()), "");
    fs::remove_all(root);
}

}  // namespace
}  // namespace vexilo
