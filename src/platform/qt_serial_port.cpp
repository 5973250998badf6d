#include "platform/qt_serial_port.h"

#include <QElapsedTimer>
#include <QThread>

#ifndef _WIN32
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "platform/serial_devices.h"
#include "settings/settings.h"

namespace vexilo {
QtSerialPort::QtSerialPort(DeviceResolver resolver) : resolver_(std::move(resolver)) {
    if (!resolver_) resolver_ = [](int number) { return port_device_name(number); };
    QObject::connect(&serial_, &QSerialPort::readyRead, &serial_, [this] {
        if (data_handler_) data_handler_(static_cast<int>(serial_.bytesAvailable()));
    });
    QObject::connect(&serial_, &QSerialPort::errorOccurred, &serial_,
                     [this](QSerialPort::SerialPortError error) { error_occurred(error); });
}

QtSerialPort::~QtSerialPort() {
    QObject::disconnect(&serial_, nullptr, nullptr, nullptr);
    for (auto& timer : timers_)
        QObject::disconnect(timer.get(), nullptr, nullptr, nullptr);
}

void QtSerialPort::error_occurred(QSerialPort::SerialPortError error) {
    // A hang-up or a vanished device: a read that keeps failing (or reads nothing although
    // the descriptor polls readable) would wake the event loop forever. Errors of opening
    // arrive while the port is closed and are reported by open.
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                      error == QSerialPort::WriteError;
    if (!lost || !serial_.isOpen() || losing_) return;
    losing_ = true;
    const std::string reason = serial_.errorString().toStdString();
    // Closed from the event loop, not inside the port's own read or write that reported it.
    QMetaObject::invokeMethod(
        &serial_,
        [this, reason] {
            losing_ = false;
            if (!serial_.isOpen()) return;
            serial_.close();
            if (lost_handler_) lost_handler_(reason);
        },
        Qt::QueuedConnection);
}

void QtSerialPort::apply_line_settings(QSerialPort& serial, int baud) const {
    serial.setBaudRate(baud);
    serial.setDataBits(QSerialPort::Data8);
    serial.setParity(QSerialPort::NoParity);
    serial.setStopBits(QSerialPort::OneStop);
    serial.setFlowControl(QSerialPort::SoftwareControl);
}

bool QtSerialPort::open_device(QSerialPort& serial, int number, std::string& error) const {
    const std::string device = resolver_(number);
    serial.setPortName(QString::fromStdString(device));
    serial.setReadBufferSize(kBufferSize);
    apply_line_settings(serial, baud_);
    if (!serial.open(QIODevice::ReadWrite)) {
        error = open_failure(serial, number, device);
        return false;
    }
    // Some drivers take the settings only once open.
    apply_line_settings(serial, baud_);
#ifndef _WIN32
    // QSerialPort also sets IXANY, which would let any received byte undo the instrument's
    // XOFF; only XON may resume sending.
    termios settings{};
    if (tcgetattr(serial.handle(), &settings) == 0 && (settings.c_iflag & IXANY)) {
        settings.c_iflag &= ~static_cast<tcflag_t>(IXANY);
        tcsetattr(serial.handle(), TCSANOW, &settings);
    }
#endif
    request_low_latency(serial);
    return true;
}

std::string QtSerialPort::describe() const {
    return name_of(number_, resolver_(number_));
}

// The device the operator asked for: a path given directly, or the port number and its device.
std::string QtSerialPort::name_of(int number, const std::string& device) const {
    return named_by_device_ ? device : "COM" + std::to_string(number) + " (" + device + ")";
}

std::string QtSerialPort::open_failure(const QSerialPort& serial, int number,
                                       const std::string& device) const {
    const std::string name = name_of(number, device);
#ifndef _WIN32
    if (serial.error() == QSerialPort::PermissionError) {
        // Qt says "permission" both for a port held by another program and for one the user
        // may not open; only the second fails the access check.
        if (::access(device.c_str(), R_OK | W_OK) == 0) {
            return "Cannot open " + name + ": it is in use by another program";
        }
        if (errno == EACCES) {
            std::string owner = "dialout";
            struct stat info {};
            if (::stat(device.c_str(), &info) == 0) {
                if (const struct group* entry = ::getgrgid(info.st_gid)) owner = entry->gr_name;
            }
            return "Cannot open " + name + ": permission denied. Members of the group \"" + owner +
                   "\" may use it: add yourself with \"sudo usermod -aG " + owner +
                   " $USER\", then log in again";
        }
    }
#endif
    return "Cannot open " + name + ": " + serial.errorString().toStdString();
}

bool QtSerialPort::open(std::string& error) {
    if (is_open()) return true;
    losing_ = false;
    const std::string device = resolver_(number_);
    if (looks_like_network_address(device)) return open_network(device, error);
    net_.reset();
    return open_device(serial_, number_, error);
}

bool QtSerialPort::open_network(const std::string& device, std::string& error) {
    NetworkAddress address;
    std::string why;
    if (!parse_network_address(device, address, why)) {
        error = "Cannot open " + name_of(number_, device) + ": " + why;
        return false;
    }
    if (!net_ || net_->address().url() != address.url()) {
        net_ = std::make_unique<NetworkLine>(address);
        net_->set_data_handler([this](int count) {
            if (data_handler_) data_handler_(count);
        });
        net_->set_lost_handler([this](const std::string& reason) {
            if (lost_handler_) lost_handler_(reason);
        });
    }
    if (!net_->open(baud_, why)) {
        error = "Cannot open " + name_of(number_, device) + ": " + why;
        return false;
    }
    return true;
}

void QtSerialPort::close() {
    if (net_) net_->close();
    if (serial_.isOpen()) serial_.close();
}

bool QtSerialPort::set_port_number(int number, std::string& error) {
    const bool was_open = is_open();
    close();
    number_ = number;
    return !was_open || open(error);
}

bool QtSerialPort::can_open(int number) {
    if (number == number_ && is_open()) return true;
    if (const std::string device = resolver_(number); looks_like_network_address(device)) {
        // Not connected to find out: a device server serves one client at a time, and some
        // hand the port to the newest one.
        NetworkAddress address;
        std::string error;
        return parse_network_address(device, address, error);
    }
    QSerialPort probe;
    std::string error;
    if (!open_device(probe, number, error)) return false;
    probe.close();
    return true;
}

void QtSerialPort::set_baud_rate(int baud) {
    baud_ = baud;
    if (net_) {
        net_->set_baud_rate(baud);
        return;
    }
    serial_.setBaudRate(baud);
}

void QtSerialPort::send(std::string_view bytes) {
    if (net_) {
        net_->send(bytes);
        return;
    }
    if (!serial_.isOpen()) return;
    serial_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Out now rather than on the next pass of the event loop: a download waits for each
    // line's answer, so any delay here adds up over every line.
    serial_.flush();
}

bool QtSerialPort::take_char(char& c) {
    if (net_) return net_->take_char(c);
    return serial_.isOpen() && serial_.bytesAvailable() > 0 && serial_.getChar(&c);
}

std::size_t QtSerialPort::discard_input() {
    if (net_) return net_->discard_input();
    if (!serial_.isOpen()) return 0;
    std::size_t waiting = static_cast<std::size_t>(serial_.bytesAvailable());
#ifndef _WIN32
    // Bytes the system holds and Qt has not read yet: an answer already on the line when the
    // port opened must not be taken for the next command's.
    int held = 0;
    if (::ioctl(serial_.handle(), FIONREAD, &held) == 0 && held > 0) {
        waiting += static_cast<std::size_t>(held);
    }
#endif
    serial_.clear(QSerialPort::Input);
    return waiting;
}

void QtSerialPort::set_lost_handler(std::function<void(const std::string&)> handler) {
    lost_handler_ = std::move(handler);
}

void QtSerialPort::set_data_handler(std::function<void(int)> handler) {
    data_handler_ = std::move(handler);
}

SerialPort::TimerHandle QtSerialPort::create_timer() {
    const auto handle = static_cast<TimerHandle>(timers_.size());
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    // 55 ms ticks: a coarse timer's 5% slack would be a tick every few seconds.
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [this, handle] {
        if (timer_handler_) timer_handler_(handle);
    });
    timers_.push_back(std::move(timer));
    return handle;
}

void QtSerialPort::start_timer(TimerHandle timer, int ticks) {
    if (timer < 0 || static_cast<std::size_t>(timer) >= timers_.size()) return;
    timers_[static_cast<std::size_t>(timer)]->start(ticks * kTickMs);
}

void QtSerialPort::stop_timer(TimerHandle timer) {
    if (timer < 0 || static_cast<std::size_t>(timer) >= timers_.size()) return;
    timers_[static_cast<std::size_t>(timer)]->stop();
}

void QtSerialPort::set_timer_handler(std::function<void(TimerHandle)> handler) {
    timer_handler_ = std::move(handler);
}

void QtSerialPort::pause(int ms) {
    QElapsedTimer clock;
    clock.start();
    if (net_) net_->flush(ms);
    // QSerialPort writes from the event loop; without this the bytes would still sit in its
    // buffer when the port closes.
    while (serial_.isOpen() && serial_.bytesToWrite() > 0 && clock.elapsed() < ms) {
        if (!serial_.waitForBytesWritten(static_cast<int>(ms - clock.elapsed()))) break;
    }
    const qint64 left = ms - clock.elapsed();
    if (left > 0) QThread::msleep(static_cast<unsigned long>(left));
}

}  // namespace vexilo
