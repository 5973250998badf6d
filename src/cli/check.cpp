#include <memory>

#include "cli.h"
#include "config/configuration.h"
#include "config/messages.h"
#include "config/reader.h"

namespace vexilo::cli {

int check(const Args& args, const Options&) {
    if (args.size() != 1) return usage_error("check takes one FILE");
    auto config = std::make_unique<Configuration>();
    if (!load_list(args[0], *config, nullptr)) return kFailed;
    for (const std::string& line : object_display_lines(*config))
        print_line(line);
    return kDone;
}

}  // namespace vexilo::cli
