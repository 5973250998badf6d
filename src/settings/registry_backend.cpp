#if defined(_WIN32)

#include "settings/registry_backend.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace vexilo {
namespace {

// The registry refuses a path that starts with "\".
std::string relative_path(const std::string& path) {
    const std::size_t begin = path.find_first_not_of('\\');
    return begin == std::string::npos ? std::string() : path.substr(begin);
}

// The registry allows value names of up to 16383 characters.
constexpr DWORD longest_name = 16384;

class RegistryKey final : public SettingsKey {
  public:
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() override { close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    std::vector<std::string> value_names() override {
        std::vector<std::string> names;
        DWORD count = 0;
        DWORD longest = 0;
        if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                             &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return names;
        }
        std::vector<char> buffer(longest < 255 ? 256 : longest + 1);
        DWORD index = 0;
        for (;;) {
            DWORD length = static_cast<DWORD>(buffer.size());
            const LONG result = RegEnumValueA(key_, index, buffer.data(), &length, nullptr, nullptr,
                                              nullptr, nullptr);
            if (result == ERROR_MORE_DATA && buffer.size() < longest_name) {
                buffer.resize(longest_name);  // a longer name arrived meanwhile
                continue;
            }
            if (result != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS at the end
            names.emplace_back(buffer.data(), length);
            ++index;
        }
        return names;
    }

    std::optional<SettingValue> read(const std::string& name) override {
        DWORD type = 0;
        DWORD size = 0;
        LONG result = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
        if (result == ERROR_FILE_NOT_FOUND) return std::nullopt;
        SettingValue value;
        if (result != ERROR_SUCCESS) return value;  // there, but unreadable: of no usable type
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            DWORD data = 0;
            size = sizeof data;
            result = RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(&data), &size);
            if (result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof data) {
                value.type = SettingType::integer;
                value.integer = static_cast<std::int32_t>(data);
            }
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            // The data may grow between the two calls, and need not end in a zero byte.
            std::vector<char> data;
            for (int attempt = 0; attempt < 4; ++attempt) {
                data.assign(static_cast<std::size_t>(size) + 1, '\0');
                DWORD got = size;
                result = RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                                          reinterpret_cast<BYTE*>(data.data()), &got);
                size = got;
                if (result != ERROR_MORE_DATA) break;
            }
            if (result == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
                std::string text(data.data(), size);
                const std::size_t end = text.find('\0');
                if (end != std::string::npos) text.resize(end);
                value.type = SettingType::text;
                value.text = std::move(text);
            }
        }
        return value;
    }

    bool write_int(const std::string& name, std::int32_t value) override {
        const DWORD data = static_cast<DWORD>(value);
        return RegSetValueExA(key_, name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
    }

    bool write_text(const std::string& name, const std::string& value) override {
        if (value.size() >= 0x7FFFFFFF) return false;
        return RegSetValueExA(key_, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }

    bool remove(const std::string& name) override {
        return RegDeleteValueA(key_, name.c_str()) == ERROR_SUCCESS;
    }

    bool close() override {
        if (key_ != nullptr) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
        return true;
    }

  private:
    HKEY key_;
};

// RegDeleteTree is missing before Vista; this walk does the same with the older calls.
bool delete_tree(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (result == ERROR_FILE_NOT_FOUND) return true;
    if (result != ERROR_SUCCESS) return false;
    std::vector<std::string> children;
    std::vector<char> buffer(256);  // key names are at most 255 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        if (RegEnumKeyExA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        children.emplace_back(buffer.data(), length);
    }
    bool ok = true;
    for (const std::string& child : children)
        ok = delete_tree(key, child) && ok;
    RegCloseKey(key);
    return ok && RegDeleteKeyA(parent, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace

std::unique_ptr<SettingsKey> RegistryBackend::open_key(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, relative_path(path).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::make_unique<RegistryKey>(key);
}

bool RegistryBackend::remove_key(const std::string& path) {
    const std::string relative = relative_path(path);
    return !relative.empty() && delete_tree(HKEY_CURRENT_USER, relative);
}

}  // namespace vexilo

#endif
