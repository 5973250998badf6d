#include "workbench/instrument_operations.h"

namespace vexilo {

void LinkOperations::send_lists(const std::vector<ListFile>& lists, ProgressSink* bar) {
    std::vector<std::string> paths;
    paths.reserve(lists.size());
    for (const ListFile& list : lists)
        paths.push_back(list.path);
    operations_.set_queue_progress(bar);
    operations_.send_files(paths, bar);
}

}  // namespace vexilo
