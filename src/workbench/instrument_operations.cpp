#include "workbench/instrument_operations.h"

namespace vexilo {

void LinkOperations::download_modules(const std::vector<ListFile>& lists, ProgressSink* bar) {
    if (!operations_.configuration_known()) {
        operations_.link().set_status("Download cancelled");
        return;
    }
    std::vector<std::string> paths;
    paths.reserve(lists.size());
    for (const ListFile& list : lists)
        paths.push_back(list.path);
    operations_.set_queue_progress(bar);
    operations_.download_files(paths);
}

}  // namespace vexilo
