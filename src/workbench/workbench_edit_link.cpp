#include "workbench/workbench_edit_link.h"

namespace vexilo {

void WorkbenchEditLink::send_selected_objects(const Configuration& list,
                                              const std::vector<std::string>& lines,
                                              ProgressSink* queue_bar) {
    // The rows to send are the ones the page chose; the operations read them while queueing.
    selection_.rows.clear();
    for (const std::string& line : lines)
        selection_.rows.push_back({line, true});
    operations_.set_selection_list(&selection_);
    operations_.set_destination(&list);
    operations_.set_queue_progress(queue_bar);
    operations_.send_selected_objects();
}

}  // namespace vexilo
