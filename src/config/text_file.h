#pragma once
// Whole text files as lines of Windows-1252 bytes.

#include <optional>
#include <string>
#include <vector>

namespace vexilo {

// The most a text file may hold to be read: far above a list at the design limits (under
// 1 MiB), so that a device or a runaway file cannot fill the memory.
inline constexpr std::size_t MAX_TEXT_FILE_SIZE = 16u << 20;

// Every line of the file without its terminator, split as split_text_lines splits. A pipe
// named on purpose (standard input, a FIFO) is read to its end like a file; its opening never
// waits for a writer. Nothing when the file cannot be opened for reading, is a device, a
// socket or a folder (nothing that may never end is read), or is larger than
// MAX_TEXT_FILE_SIZE; problem, when given, then says which of these ("not a regular file",
// "larger than 16 MiB"), and is empty for a file that simply would not open.
std::optional<std::vector<std::string>> read_text_lines(const std::string& path,
                                                        std::string* problem = nullptr);

// "Cannot open file " and the path, with the problem in brackets when there is one.
std::string cannot_open_message(const std::string& path, const std::string& problem);

// Replaces (or creates) the file with the bytes so that a crash, a full disk or a refused
// rename never leaves half a file: the bytes go to a temporary file in the same folder, are
// flushed to disk, and the temporary file is renamed over the target. A symbolic link is
// followed and the file it points to replaced. A FIFO or a character device is written in
// place (renaming over it would replace it), and a path to one of the program's own open
// files (/dev/stdout, /dev/fd/N) through that descriptor, where it stands (a log the shell
// appends to keeps its lines); other kinds (a block device, a socket, a folder) are refused.
// Temporary files that an earlier save of the same target left behind (killed mid-way) are removed.
// False when anything failed; the old file is then untouched and no temporary file is left behind.
bool write_file_atomically(const std::string& path, const std::string& bytes);

// A fresh name for a temporary file beside the target, of the form the next save of that
// target cleans up: for callers that produce a file with other means (printing) and then
// hand its bytes to write_file_atomically.
std::string temporary_file_name(const std::string& path);

// The lines, each ended by CR LF, written with write_file_atomically.
bool write_text_lines(const std::string& path, const std::vector<std::string>& lines);

// Splits text into lines without their terminators: LF and CR LF end a line, and in a text
// without any LF, CR alone does; a final terminator adds no empty line.
std::vector<std::string> split_text_lines(const std::string& text);

}  // namespace vexilo
