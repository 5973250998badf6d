#include "settings/settings_backend.h"

#if defined(_WIN32)
#include "settings/registry_backend.h"
#else
#include "settings/settings_file.h"
#endif

namespace vexilo {

SettingsBackend& settings_backend() {
#if defined(_WIN32)
    static RegistryBackend backend;
#else
    static FileSettingsBackend backend;
#endif
    return backend;
}

}  // namespace vexilo
