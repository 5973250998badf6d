#pragma once
// The whole workbench program, from the command line to its exit status.

#include <functional>

namespace vexilo {

class Workbench;

// `shown` runs once the main window is up, in the event loop; vexilo gives none, a test
// program acts in it as an operator would.
int workbench_main(int argc, char** argv, const std::function<void(Workbench&)>& shown = {});

}  // namespace vexilo
