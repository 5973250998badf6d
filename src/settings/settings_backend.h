#pragma once
// The storage under the settings operations: keys named by "\"-separated paths, each holding
// named 32-bit integer and string values in the store's own order. On Windows it is the
// registry of the current user; elsewhere one text file (settings_file.h).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexilo {

inline constexpr const char* main_key_path = "\\SOFTWARE\\Orvane\\Nimbra\\Vexilo";
inline constexpr const char* folder_list_key_path =
    "\\SOFTWARE\\Orvane\\Nimbra\\Vexilo\\Folder List";
inline constexpr const char* ports_key_path = "\\SOFTWARE\\Orvane\\Nimbra\\Vexilo\\Ports";

enum class SettingType { integer, text, other };

struct SettingValue {
    SettingType type = SettingType::other;
    std::int32_t integer = 0;
    std::string text;
};

// One open key. Changes may be held back until close (or destruction), so that the file
// store replaces its file once per operation.
class SettingsKey {
  public:
    virtual ~SettingsKey() = default;
    // The names of the key's values in the store's enumeration order.
    virtual std::vector<std::string> value_names() = 0;
    // Nothing when the key has no value of that name.
    virtual std::optional<SettingValue> read(const std::string& name) = 0;
    virtual bool write_int(const std::string& name, std::int32_t value) = 0;
    virtual bool write_text(const std::string& name, const std::string& value) = 0;
    virtual bool remove(const std::string& name) = 0;
    // False when the changes could not be made lasting; the store then keeps its old state.
    virtual bool close() = 0;
};

class SettingsBackend {
  public:
    virtual ~SettingsBackend() = default;
    // Opens the key, creating it (and its parents) when missing; nullptr when that fails.
    virtual std::unique_ptr<SettingsKey> open_key(const std::string& path) = 0;
    // Deletes the key with its values and subkeys; true also when there was none. Lets the
    // tests start from an empty store whatever the backend.
    virtual bool remove_key(const std::string& path) = 0;
};

// The platform's store: the registry on Windows, the settings file elsewhere.
SettingsBackend& settings_backend();

}  // namespace vexilo
