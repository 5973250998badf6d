// download-lines: the module download as a dry run against a saved instrument configuration.

#include <memory>

#include "cli.h"
#include "config/download.h"
#include "config/messages.h"

namespace vexilo::cli {

int download_lines(const Args& args, const Options&) {
    std::string instrument_file;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--instrument") {
            if (i + 1 >= args.size()) return usage_error("--instrument needs a CONFIG file");
            if (!instrument_file.empty()) return usage_error("--instrument given twice");
            instrument_file = args[++i];
        } else {
            files.push_back(args[i]);
        }
    }
    if (instrument_file.empty()) return usage_error("download-lines needs --instrument CONFIG");
    if (files.empty()) return usage_error("download-lines needs at least one FILE");

    auto instrument = std::make_unique<Configuration>();
    // Checking against a half-read configuration would prove nothing.
    if (!load_list(instrument_file, *instrument, nullptr)) {
        print_status("Download cancelled");
        return kFailed;
    }
    DownloadHooks hooks;
    hooks.set_status = print_status;
    const DownloadQueue queue = module_download_lines(*instrument, system_paths(files), hooks);
    if (!queue.ok) return kFailed;
    if (queue.commands.empty()) {
        show_error("No objects selected for download");
        return kFailed;
    }
    for (const std::string& command : queue.commands)
        print_line(command);
    return kDone;
}

}  // namespace vexilo::cli
