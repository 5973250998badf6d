// describe: the object description window's grid as text lines.

#include <memory>

#include "cli.h"
#include "config/description_grid.h"
#include "config/messages.h"
#include "link/operations.h"

namespace vexilo::cli {

int describe(const Args& args, const Options&) {
    if (args.size() != 2) return usage_error("describe takes FILE and OBJECT");
    auto config = std::make_unique<Configuration>();
    if (!load_list(args[0], *config, nullptr)) return kFailed;
    const int k = find_object(*config, args[1]);
    if (k >= config->object_count) {
        show_error("Unknown object: \"" + args[1] + "\"");
        return kFailed;
    }
    TextDescriptionGrid grid;
    describe_object(*config, k, grid);
    for (const auto& row : grid.cells)
        print_line(row[0] + "\t" + row[1] + "\t" + row[2]);
    return kDone;
}

}  // namespace vexilo::cli
