#include "workbench/instrument_operations.h"

namespace vexilo {
namespace {

std::vector<std::string> paths_of(const std::vector<ListFile>& lists) {
    std::vector<std::string> paths;
    paths.reserve(lists.size());
    for (const ListFile& list : lists)
        paths.push_back(list.path);
    return paths;
}

}  // namespace

void LinkOperations::send_lists(const std::vector<ListFile>& lists, ProgressSink* bar) {
    operations_.set_queue_progress(bar);
    operations_.send_files(paths_of(lists), bar);
}

void LinkOperations::plan_lists(const std::vector<ListFile>& lists, ProgressSink* bar,
                                InstrumentOperations::PlanAction done) {
    operations_.plan_files(paths_of(lists), bar, std::move(done));
}

}  // namespace vexilo
