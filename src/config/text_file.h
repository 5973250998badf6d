#pragma once
// Whole text files as lines of Windows-1252 bytes.

#include <optional>
#include <string>
#include <vector>

namespace vexilo {

// Every line of the file without its terminator; CR LF and LF both end a line, and a final
// terminator adds no empty line. Nothing when the file cannot be opened for reading.
std::optional<std::vector<std::string>> read_text_lines(const std::string& path);

// Splits text held in memory the same way.
std::vector<std::string> split_text_lines(const std::string& text);

}  // namespace vexilo
