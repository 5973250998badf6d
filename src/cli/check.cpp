#include <memory>

#include "cli.h"
#include "config/configuration.h"
#include "config/messages.h"
#include "config/reader.h"
#include "config/text_file.h"

namespace vexilo::cli {

int check(const Args& args, const Options&) {
    if (args.size() != 1) return usage_error("check takes one FILE");
    std::string problem;
    auto lines = read_text_lines(system_path(args[0]), &problem);
    if (!lines) {
        show_error(cannot_open_message(args[0], problem));
        return kFailed;
    }
    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    if (!read_configuration(*config, *lines)) return kFailed;
    for (const std::string& line : object_display_lines(*config))
        print_line(line);
    return kDone;
}

}  // namespace vexilo::cli
