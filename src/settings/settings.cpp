#include "settings/settings.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>

#include "config/messages.h"
#include "settings/settings_backend.h"

namespace vexilo {
namespace {

constexpr int kDefaultPort = 1;
// Windows numbers its COM ports up to 255; anything else cannot name a port.
constexpr int kHighestPort = 255;

// Each bad value is reported once per run: a value read at every activation of the window
// would otherwise bring its box back each time the box closes. The value itself is part of
// the key, so a different bad value stored later is still reported.
void report_once(const std::string& text, const std::string& key_path, const std::string& name,
                 const SettingValue& value) {
    static std::set<std::string> reported;
    std::string key = key_path + '\n' + name + '\n' + std::to_string(static_cast<int>(value.type)) +
                      '\n' + std::to_string(value.integer) + '\n' + value.text;
    if (reported.insert(std::move(key)).second) show_error(text);
}

void report_wrong_type(const std::string& key_path, const std::string& name,
                       const SettingValue& value) {
    report_once("Invalid data type for '" + name + "'", key_path, name, value);
}

std::string port_value_name(int port) {
    return "COM" + std::to_string(port);
}

}  // namespace

int read_int_setting(const std::string& name, int default_value) {
    const std::unique_ptr<SettingsKey> key = settings_backend().open_key(main_key_path);
    if (!key) return default_value;
    const std::optional<SettingValue> value = key->read(name);
    if (!value) {
        key->write_int(name, default_value);
        return default_value;
    }
    if (value->type != SettingType::integer) {
        report_wrong_type(main_key_path, name, *value);
        return default_value;
    }
    return value->integer;
}

void store_int_setting(const std::string& name, int value) {
    const std::unique_ptr<SettingsKey> key = settings_backend().open_key(main_key_path);
    if (key) key->write_int(name, value);
}

std::string read_text_setting(const std::string& name, const std::string& default_value) {
    const std::unique_ptr<SettingsKey> key = settings_backend().open_key(main_key_path);
    // Empty rather than the default: callers turn an empty folder into their own fallback.
    if (!key) return "";
    const std::optional<SettingValue> value = key->read(name);
    if (!value) {
        key->write_text(name, default_value);
        return default_value;
    }
    if (value->type != SettingType::text) {
        report_wrong_type(main_key_path, name, *value);
        return default_value;
    }
    return value->text;
}

void store_text_setting(const std::string& name, const std::string& value) {
    const std::unique_ptr<SettingsKey> key = settings_backend().open_key(main_key_path);
    if (key) key->write_text(name, value);
}

int read_port() {
    const int port = read_int_setting("Port", kDefaultPort);
    if (port >= 1 && port <= kHighestPort) return port;
    // Left as it is: the port dialog's next choice replaces it.
    SettingValue value;
    value.type = SettingType::integer;
    value.integer = port;
    report_once("Invalid value for 'Port'", main_key_path, "Port", value);
    return kDefaultPort;
}

void store_port(int port) {
    store_int_setting("Port", port);
}

void read_folder_list(std::vector<std::string>& target) {
    target.clear();
    const std::unique_ptr<SettingsKey> key = settings_backend().open_key(folder_list_key_path);
    if (!key) return;
    const std::vector<std::string> names = key->value_names();
    // Each value's position, read once; a value gone meanwhile takes no position.
    std::vector<std::int64_t> positions;
    positions.reserve(names.size());
    for (const std::string& name : names) {
        const std::optional<SettingValue> value = key->read(name);
        if (value && value->type != SettingType::integer) {
            // The list is not read on; the next store of the list replaces the bad value.
            report_wrong_type(folder_list_key_path, name, *value);
            return;
        }
        positions.push_back(value ? value->integer : -1);
    }
    // Position by position, names sharing one in enumeration order; positions outside
    // 0 to N-1 are dropped.
    const auto count = static_cast<std::int64_t>(names.size());
    for (std::int64_t position = 0; position < count; ++position) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (positions[i] == position) target.push_back(names[i]);
        }
    }
}

void store_folder_list(const std::vector<std::string>& source) {
    const std::unique_ptr<SettingsKey> key = settings_backend().open_key(folder_list_key_path);
    if (!key) return;
    for (const std::string& name : key->value_names())
        key->remove(name);
    // A repeated folder is stored once, at its first place, and the positions stay 0 to N-1:
    // numbered by source index, a repeat would push the folder out of range and lose it.
    std::int32_t position = 0;
    for (const std::string& folder : source) {
        if (key->read(folder)) continue;
        key->write_int(folder, position++);
    }
}

std::string default_list_folder() {
#if defined(_WIN32)
    return "C:\\";
#else
    const char* home = std::getenv("HOME");
    // A relative HOME would name a different folder from every working folder.
    return home != nullptr && home[0] == '/' ? home : "/";
#endif
}

std::string port_device_name(int port) {
    if (port < 1) return "";
#if defined(_WIN32)
    // From COM10 on, the name is only found in the device namespace.
    return (port >= 10 ? "\\\\.\\" : "") + port_value_name(port);
#else
    const std::string mapped = read_port_mapping(port);
    return mapped.empty() ? "/dev/ttyS" + std::to_string(port - 1) : mapped;
#endif
}

std::string read_port_mapping(int port) {
    const std::unique_ptr<SettingsKey> key = settings_backend().open_key(ports_key_path);
    if (!key) return "";
    const std::string name = port_value_name(port);
    const std::optional<SettingValue> value = key->read(name);
    if (!value) return "";
    if (value->type != SettingType::text) {
        report_wrong_type(ports_key_path, name, *value);
        return "";
    }
    return value->text;
}

void store_port_mapping(int port, const std::string& device) {
    const std::unique_ptr<SettingsKey> key = settings_backend().open_key(ports_key_path);
    if (!key) return;
    if (device.empty()) {
        key->remove(port_value_name(port));
    } else {
        key->write_text(port_value_name(port), device);
    }
}

}  // namespace vexilo
