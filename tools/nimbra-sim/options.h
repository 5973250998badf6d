#pragma once
// The simulator's command line.

#include <optional>
#include <string>

#include "faults.h"

namespace vexilo::sim {

struct Options {
    std::string config_path;
    std::string link_path;
    std::string state_path;
    bool line_rate = false;
    int delay_ms = 0;
    int speed = 9600;  // the line speed at start
    Faults faults;
    bool help = false;
};

// The options, or nothing with the reason in error. config_path starts as default_config.
std::optional<Options> parse_options(int argc, char** argv, const std::string& default_config,
                                     std::string& error);

void print_help(const std::string& default_config);

}  // namespace vexilo::sim
