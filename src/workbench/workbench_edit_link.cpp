#include "workbench/workbench_edit_link.h"

#include "config/messages.h"

namespace vexilo {

void WorkbenchEditLink::send_selected_objects(const Configuration&, const std::vector<std::string>&,
                                              ProgressSink*) {
    show_error("Downloading objects is not available in this build");
}

}  // namespace vexilo
