#pragma once
// The serial devices present on the system, and the Linux details that make a USB adapter
// usable for the instrument: a stable name that survives re-plugging, and low latency.

#include <string>
#include <vector>

class QSerialPort;

#include "link/serial_device.h"

namespace vexilo {

// Where the system publishes stable names and adapter attributes; tests point these at
// folders of their own.
struct DeviceFolders {
    std::string by_id = "/dev/serial/by-id";
    std::string sys_tty = "/sys/class/tty";
};

// Every serial device the system lists (ptys are not among them), sorted by device path,
// each with its stable name and latency timer where it has them.
std::vector<SerialDevice> list_serial_devices(const DeviceFolders& folders = {});

// The entry of by_id_folder that leads to the same device as `device`; empty when none does
// or the folder is absent.
std::string stable_name_of(const std::string& device, const std::string& by_id_folder);

// The latency timer (ms) an adapter driver publishes for `device`; -1 when there is none.
int latency_timer_ms(const std::string& device, const std::string& sys_tty_folder);

// The device a path leads to now (symbolic links followed); empty when nothing is there.
std::string resolved_device(const std::string& path);

// Asks the driver of the open port to pass received bytes on at once instead of holding them
// back (Linux only). Drivers that have no such flag (a pty, for one) refuse; that is not an
// error, the line simply works at the driver's own pace. True when the flag is set.
bool request_low_latency(QSerialPort& serial);

}  // namespace vexilo
