#pragma once
// Turns configuration text (an instrument reply or an object list file) into a Configuration.

#include <string>
#include <string_view>
#include <vector>

#include "configuration.h"
#include "line_list.h"

namespace vexilo {

// Fills the target from the lines. The lines are passed through the instrument character
// translation in place first. On failure `problem` holds the one message that says why,
// nothing is shown, and the sections after the failing one keep their earlier content.
bool read_configuration(Configuration& target, std::vector<std::string>& lines,
                        std::string& problem);
// The same, showing the message with show_error.
bool read_configuration(Configuration& target, std::vector<std::string>& lines);

// Fills object slot k (0 <= k <= object_count) from one object line; k == object_count
// appends. The slot gets a fresh value block. On failure `problem` says why.
bool read_object_line(Configuration& target, std::string_view line, int k, std::string& problem);
// The same, showing the message with show_error.
bool read_object_line(Configuration& target, std::string_view line, int k);

// "Class:Object", as the object boxes show it and downloads split it again.
std::string display_line(const Configuration& config, int object_index);
std::vector<std::string> object_display_lines(const Configuration& config);
// Clears the box and adds one display line per object, in order.
void show_objects(const Configuration& config, LineList& box);

}  // namespace vexilo
