// `ports`: the COM1-COM9 map beside the serial devices present, and setting the device behind
// one port number. Device paths and adapter texts are printed as the system's own bytes
// (UTF-8), not converted like the instrument's text, their control characters escaped.

#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "config/messages.h"
#include "instrument_session.h"
#include "link/network_address.h"
#include "platform/serial_devices.h"
#include "settings/settings.h"

namespace vexilo::cli {
namespace {

// The ports the serial port dialog offers.
constexpr int kListedPorts = 9;

void print_bytes(const std::string& text) {
    const std::string shown = terminal_text(text);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::fputc('\n', stdout);
}

std::string or_dash(const std::string& text) {
    return text.empty() ? "-" : text;
}

std::string map_line(int n) {
    const std::string device = port_device_name(n);
    std::string line = "COM" + std::to_string(n) + "\t" + device;
    if (!read_port_mapping(n).empty()) line += "\t(mapped)";
    if (looks_like_network_address(device)) return line;
    const std::string now = resolved_device(device);
    if (now.empty()) {
        line += "\t(not present)";
    } else if (now != device) {
        // A stable name or a link: where it leads today.
        line += "\t-> " + now;
    }
    return line;
}

// The COM numbers whose device is this one, however each is named.
std::string ports_of(const SerialDevice& device) {
    const std::string target = resolved_device(device.device);
    std::string ports;
    for (int n = 1; n <= kListedPorts && !target.empty(); ++n) {
        if (resolved_device(port_device_name(n)) != target) continue;
        if (!ports.empty()) ports += ",";
        ports += "COM" + std::to_string(n);
    }
    return ports;
}

void list_ports() {
    for (int n = 1; n <= kListedPorts; ++n)
        print_bytes(map_line(n));
    const std::vector<SerialDevice> devices = list_serial_devices();
    print_bytes("");
    if (devices.empty()) {
        print_bytes("Serial devices: none found");
        return;
    }
    print_bytes("Serial devices:");
    print_bytes("DEVICE\tDESCRIPTION\tMAKER\tSERIAL NUMBER\tSTABLE NAME\tLATENCY TIMER\tPORT");
    for (const SerialDevice& d : devices) {
        const std::string latency =
            d.latency_timer_ms < 0 ? "" : std::to_string(d.latency_timer_ms) + " ms";
        print_bytes(d.device + "\t" + or_dash(d.description) + "\t" + or_dash(d.manufacturer) +
                    "\t" + or_dash(d.serial_number) + "\t" + or_dash(d.stable_name) + "\t" +
                    or_dash(latency) + "\t" + or_dash(ports_of(d)));
    }
}

}  // namespace

int ports(const Args& args, const Options&) {
    if (args.empty()) {
        list_ports();
        return kDone;
    }
    if (args.size() != 2) return usage_error("ports takes COMn and DEVICE, or nothing");
    PortChoice choice;
    std::string error;
    if (args[0].empty() || !parse_port(args[0], choice, error) || !choice.device.empty()) {
        return usage_error("ports takes a port number COMn or n, not '" + args[0] + "'");
    }
    std::string device = args[1];
    if (looks_like_network_address(device)) {
        NetworkAddress address;
        std::string why;
        if (!parse_network_address(device, address, why)) return usage_error(why);
        store_port_mapping(choice.number, address.url());
        return kDone;
    }
    // /dev/ttyUSBn follows the plugging order; the adapter's stable name follows the adapter.
    const std::string by_id = DeviceFolders{}.by_id;
    const bool named_stably = device.rfind(by_id + "/", 0) == 0;
    const std::string stable = device.empty() || named_stably ? "" : stable_name_of(device, by_id);
    if (!stable.empty()) {
        device = stable;
        show_info("COM" + std::to_string(choice.number) + " is stored as " + device +
                  ", which stays with the adapter when it is plugged in elsewhere");
    }
    store_port_mapping(choice.number, device);
    return kDone;
}

}  // namespace vexilo::cli
