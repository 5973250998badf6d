#pragma once
// The link's serial port over QSerialPort: 8 data bits, no parity, 1 stop bit, XON/XOFF in
// both directions, 4096-byte receive buffer, one-shot QTimers counted in 55 ms ticks. Port
// number n is turned into a device by a resolver (the settings' port map by default). A device
// that is a network address (rfc2217:// or socket://) is reached through a NetworkLine.

#include <QSerialPort>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/serial_port.h"
#include "platform/network_line.h"

namespace vexilo {

class QtSerialPort final : public SerialPort {
  public:
    using DeviceResolver = std::function<std::string(int number)>;

    static constexpr qint64 kBufferSize = 4096;

    // An empty resolver uses the settings' port map.
    explicit QtSerialPort(DeviceResolver resolver = {});
    ~QtSerialPort() override;

    int port_number() const override { return number_; }
    bool set_port_number(int number, std::string& error) override;
    bool open(std::string& error) override;
    void close() override;
    bool is_open() const override { return net_ ? net_->is_open() : serial_.isOpen(); }
    bool can_open(int number) override;
    std::string describe() const override;

    int baud_rate() const override { return baud_; }
    void set_baud_rate(int baud) override;
    bool fixed_speed() const override { return net_ && net_->fixed_speed(); }

    void send(std::string_view bytes) override;
    bool take_char(char& c) override;
    std::size_t discard_input() override;
    void set_data_handler(std::function<void(int)> handler) override;
    void set_lost_handler(std::function<void(const std::string&)> handler) override;

    TimerHandle create_timer() override;
    void start_timer(TimerHandle timer, int ticks) override;
    void stop_timer(TimerHandle timer) override;
    void set_timer_handler(std::function<void(TimerHandle)> handler) override;

    void pause(int ms) override;

    // The port stands for one device path the operator gave, not for a port number: messages
    // name the device alone.
    void set_named_by_device(bool by_device) { named_by_device_ = by_device; }

    // The device behind a port number.
    std::string device_of(int number) const { return resolver_(number); }

  private:
    bool open_device(QSerialPort& serial, int number, std::string& error) const;
    std::string name_of(int number, const std::string& device) const;
    std::string open_failure(const QSerialPort& serial, int number,
                             const std::string& device) const;
    void error_occurred(QSerialPort::SerialPortError error);
    void apply_line_settings(QSerialPort& serial, int baud) const;
    bool open_network(const std::string& device, std::string& error);

    DeviceResolver resolver_;
    QSerialPort serial_;
    // The line while the device is a network address; the local port is closed then.
    std::unique_ptr<NetworkLine> net_;
    int number_ = 1;
    int baud_ = 9600;
    bool named_by_device_ = false;
    // A lost line is being closed; it is reported once.
    bool losing_ = false;
    std::function<void(int)> data_handler_;
    std::function<void(const std::string&)> lost_handler_;
    std::function<void(TimerHandle)> timer_handler_;
    std::vector<std::unique_ptr<QTimer>> timers_;
};

}  // namespace vexilo
