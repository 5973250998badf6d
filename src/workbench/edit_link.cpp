#include "edit_link.h"

#include "config/list_loader.h"
#include "config/messages.h"

namespace vexilo {

bool read_list_file(Configuration& target, const std::string& path, LineList* config_box) {
    std::vector<std::string> lines;
    const ListLoad load = load_list_file(path, target, &lines);
    if (config_box != nullptr && load.status != ListLoad::Status::CannotOpen) {
        config_box->clear();
        for (const std::string& line : lines)
            config_box->add(line);
    }
    if (!load.ok()) show_error(load.message());
    return load.ok();
}

}  // namespace vexilo
