#pragma once
// The settings store on Windows: keys under HKEY_CURRENT_USER, REG_DWORD and REG_SZ values,
// through the plain Win32 API (ANSI names, as the program's text is single-byte).

#if defined(_WIN32)

#include "settings/settings_backend.h"

namespace vexilo {

class RegistryBackend final : public SettingsBackend {
  public:
    std::unique_ptr<SettingsKey> open_key(const std::string& path) override;
    bool remove_key(const std::string& path) override;
};

}  // namespace vexilo

#endif
