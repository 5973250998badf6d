#pragma once
// A serial device present on the system, described the way an operator recognises it: by its
// adapter's maker and serial number rather than by the number the system gave it today.

#include <string>

namespace vexilo {

struct SerialDevice {
    std::string device;        // where the system put it now, e.g. /dev/ttyUSB0
    std::string stable_name;   // a name that survives re-plugging (/dev/serial/by-id/...), or empty
    std::string description;   // e.g. "FT232R USB UART"
    std::string manufacturer;  // e.g. "FTDI"
    std::string serial_number;  // e.g. "A12345"
    int latency_timer_ms = -1;  // a USB adapter's latency timer; -1 where it has none

    // The name to store in the port map: the stable one where there is one.
    const std::string& preferred_name() const { return stable_name.empty() ? device : stable_name; }
};

}  // namespace vexilo
