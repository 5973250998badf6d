#include "platform/serial_devices.h"

#include <QLoggingCategory>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef __linux__
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace vexilo {
namespace {

// Quiet unless asked for (QT_LOGGING_RULES=vexilo.serial.debug=true): vexilo-cli's stderr
// carries only its own message lines.
Q_LOGGING_CATEGORY(serial_log, "vexilo.serial", QtInfoMsg)

namespace fs = std::filesystem;

fs::path canonical_or_empty(const fs::path& path) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    return ec ? fs::path() : real;
}

}  // namespace

std::string resolved_device(const std::string& path) {
    return canonical_or_empty(path).string();
}

std::string stable_name_of(const std::string& device, const std::string& by_id_folder) {
    const fs::path target = canonical_or_empty(device);
    if (target.empty()) return "";
    std::error_code ec;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(by_id_folder, ec)) {
        if (canonical_or_empty(entry.path()) == target) names.push_back(entry.path().string());
    }
    // One adapter may carry several names; the same one every time keeps the map steady.
    std::sort(names.begin(), names.end());
    return names.empty() ? "" : names.front();
}

int latency_timer_ms(const std::string& device, const std::string& sys_tty_folder) {
    const fs::path real = canonical_or_empty(device);
    if (real.empty()) return -1;
    std::ifstream in(fs::path(sys_tty_folder) / real.filename() / "device" / "latency_timer");
    int ms = -1;
    if (!(in >> ms) || ms < 0) return -1;
    return ms;
}

std::vector<SerialDevice> list_serial_devices(const DeviceFolders& folders) {
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice d;
        d.device = info.systemLocation().toStdString();
        d.description = info.description().toStdString();
        d.manufacturer = info.manufacturer().toStdString();
        d.serial_number = info.serialNumber().toStdString();
        d.stable_name = stable_name_of(d.device, folders.by_id);
        d.latency_timer_ms = latency_timer_ms(d.device, folders.sys_tty);
        devices.push_back(std::move(d));
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.device < b.device; });
    return devices;
}

bool request_low_latency(QSerialPort& serial) {
#ifdef __linux__
    const int fd = serial.handle();
    serial_struct line{};
    if (::ioctl(fd, TIOCGSERIAL, &line) != 0) {
        // Taken now: setting up the logging may change errno.
        const int error = errno;
        qCDebug(serial_log, "low-latency flag not available: %s", std::strerror(error));
        return false;
    }
    if (line.flags & ASYNC_LOW_LATENCY) return true;
    line.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &line) != 0) {
        const int error = errno;
        qCDebug(serial_log, "low-latency flag refused: %s", std::strerror(error));
        return false;
    }
    qCDebug(serial_log, "low-latency flag set");
    return true;
#else
    (void)serial;
    return false;
#endif
}

}  // namespace vexilo
