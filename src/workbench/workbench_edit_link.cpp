#include "workbench/workbench_edit_link.h"

#include "config/reader.h"

namespace vexilo {

void WorkbenchEditLink::send_selected_objects(const Configuration& list,
                                              const std::vector<int>& objects,
                                              ProgressSink* queue_bar) {
    // The rows to send are the ones the page chose; the operations read them while queueing.
    selection_.rows.clear();
    for (const int k : objects)
        selection_.rows.push_back({display_line(list, k), true, k});
    operations_.set_selection_list(&selection_);
    operations_.set_destination(&list);
    operations_.set_queue_progress(queue_bar);
    operations_.send_selected_objects();
}

}  // namespace vexilo
