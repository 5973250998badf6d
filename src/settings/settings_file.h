#pragma once
// The settings store of systems without a registry: one text file (format in
// settings_document.h), read whole at every open of a key and replaced whole, atomically, when
// the key is closed after a change.

#include <cstddef>
#include <memory>
#include <string>

#include "settings/settings_backend.h"

namespace vexilo {

// VEXILO_SETTINGS when set, else $XDG_CONFIG_HOME/vexilo/settings, else
// $HOME/.config/vexilo/settings; empty when none of these is set.
std::string settings_file_path();

// A bigger file is no settings file of ours: it is neither read nor replaced.
inline constexpr std::size_t settings_file_limit = 1 << 20;

// A file that exists but cannot be read (or is too big, or no file) makes every open fail,
// as an unopenable registry key would, and is never overwritten.
class FileSettingsBackend final : public SettingsBackend {
  public:
    std::unique_ptr<SettingsKey> open_key(const std::string& path) override;
    bool remove_key(const std::string& path) override;
};

}  // namespace vexilo
