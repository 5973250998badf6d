#include "edit_link.h"

#include "config/list_loader.h"
#include "config/messages.h"

namespace vexilo {

bool read_list_file(Configuration& target, const std::string& path) {
    const ListLoad load = load_list_file(path, target);
    if (!load.ok()) show_error(load.message());
    return load.ok();
}

}  // namespace vexilo
