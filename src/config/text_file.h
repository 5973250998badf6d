#pragma once
// Whole text files as lines of Windows-1252 bytes.

#include <optional>
#include <string>
#include <vector>

namespace vexilo {

// Every line of the file without its terminator; CR LF and LF both end a line, and a final
// terminator adds no empty line. Nothing when the file cannot be opened for reading.
std::optional<std::vector<std::string>> read_text_lines(const std::string& path);

// Replaces (or creates) the file with the bytes so that a crash, a full disk or a refused
// rename never leaves half a file: the bytes go to a temporary file in the same folder, are
// flushed to disk, and the temporary file is renamed over the target. False when anything
// failed; the old file is then untouched and no temporary file is left behind.
bool write_file_atomically(const std::string& path, const std::string& bytes);

// The lines, each ended by CR LF, written with write_file_atomically.
bool write_text_lines(const std::string& path, const std::vector<std::string>& lines);

// Splits text held in memory the same way.
std::vector<std::string> split_text_lines(const std::string& text);

}  // namespace vexilo
