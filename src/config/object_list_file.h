#pragma once
// Object list files (".nol"): free comment lines that describe the list, then the list's
// configuration in the section grammar the reader understands.

#include <string>
#include <string_view>
#include <vector>

#include "configuration.h"

namespace vexilo {

// The name under which a list is shown and announced: the file name without its folder and
// without the final ".nol" (any letter case); "a.b.nol" is the list "a.b". Program text:
// converted from the file system's encoding (see path_to_program_text).
std::string list_name(std::string_view path);

// The file of a listed name in a folder: the folder, the separator, the name and ".nol".
std::string list_path(const std::string& folder, const std::string& name);

// The lines of the file for a configuration and its comment lines, without any check.
std::vector<std::string> object_list_lines(const Configuration& config,
                                           const std::vector<std::string>& comments);

// Empty when the line (number, from 1) can stand in a comment block; else the message. A
// line that reads as a section header (any of the four, as the reader tells them) cannot:
// readers that follow the format to the letter end the description at the first "[LISTS]"
// and the objects at an "[ATOMS]", wherever it stands. The comment dialogs ask the same
// before they close, so that typed text is never refused after they are gone.
std::string comment_line_problem(std::string_view line, int number);
std::string comment_lines_problem(const std::vector<std::string>& comments);

// Empty when the file the writer makes of the configuration and comments reads back the same;
// else the message: a comment line as above, or a Number field whose minimum, written in
// decimal, names a class (the field would read back as a reference).
std::string read_back_problem(const Configuration& config,
                              const std::vector<std::string>& comments);

// Refuses what read_back_problem refuses (message, nothing written).
// Warns (one error message each) about Atom values that name no object of the
// configuration, then writes the file safely. The lines written are handed to `written`
// (replacing what it held) when one is given. False, after "Cannot create file %s", when the
// file could not be written; the old file is then unchanged.
bool write_object_list(const Configuration& config, const std::string& path,
                       const std::vector<std::string>& comments,
                       std::vector<std::string>* written = nullptr);

// Index of the last line of the comment block: the lines before the "[LISTS]" header that
// the reader takes (see find_sections), or before an earlier section that counts (a text
// with its classes first). -1 when the block is empty or there is no such "[LISTS]".
int last_comment_line(const std::vector<std::string>& lines);

// The file's comment block; empty when the file does not exist. False, after "Cannot open
// file %s", when it exists but cannot be read (the list is then unchanged).
bool read_comments(const std::string& path, std::vector<std::string>& comments);

// Rewrites the file with the new comment block and every other line unchanged (sections
// before "[LISTS]" included). A file without a "[LISTS]" line keeps all its lines below the
// new ones. Nothing happens when the file does not exist. False after "Cannot open file %s"
// or "Cannot create file %s", and with a message and nothing written when a new line cannot
// stand in a comment block.
bool replace_comments(const std::vector<std::string>& comments, const std::string& path);

// Removes object i (below object_count); the later objects move up one place. The removed
// object's value block is not handed out again.
void delete_object(Configuration& config, int i);

}  // namespace vexilo
