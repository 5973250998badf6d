#pragma once
// The simulator's log: one line on stderr per event, so that a failing test shows what the
// instrument saw and answered.

#include <string>
#include <string_view>

namespace vexilo::sim {

void log_line(std::string_view text);

// Instrument text made readable on a UTF-8 terminal: Windows-1252 characters converted,
// control bytes and the unassigned high codes shown as \xNN.
std::string printable(std::string_view text);

}  // namespace vexilo::sim
