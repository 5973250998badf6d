#pragma once
// Object list files (".nol"): free comment lines that describe the list, then the list's
// configuration in the section grammar the reader understands.

#include <string>
#include <string_view>
#include <vector>

#include "configuration.h"
#include "line_list.h"

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

// Empty when the lines can stand as a comment block; else the message. A line the reader
// would take for a section header cannot: the list would not read back.
std::string comment_lines_problem(const std::vector<std::string>& comments);

// Refuses comment lines that comment_lines_problem refuses (message, nothing written).
// Warns (one error message each) about Atom values that name no object of the
// configuration, then writes the file safely. The written lines are handed to config_box
// (cleared first) when one is given. False, after "Cannot create file %s", when the file
// could not be written; the old file is then unchanged.
bool write_object_list(const Configuration& config, const std::string& path,
                       const std::vector<std::string>& comments, LineList* config_box = nullptr);

// Index of the last line of the comment block: the lines before the "[LISTS]" header that
// the reader takes (see find_sections). -1 when the block is empty or there is no such line.
int last_comment_line(const std::vector<std::string>& lines);

// The file's comment block; empty when the file does not exist. False, after "Cannot open
// file %s", when it exists but cannot be read (the list is then unchanged).
bool read_comments(const std::string& path, std::vector<std::string>& comments);

// Rewrites the file with the new comment block and every other line unchanged. A file
// without a "[LISTS]" line keeps all its lines below the new ones. Nothing happens when the
// file does not exist. False after "Cannot open file %s" or "Cannot create file %s", and
// with a message and nothing written when a new line would read as a header or when a
// section header stands in the old block (other sections before "[LISTS]").
bool replace_comments(const std::vector<std::string>& comments, const std::string& path);

// Removes object i (below object_count); the later objects move up one place. The removed
// object's value block is not handed out again.
void delete_object(Configuration& config, int i);

}  // namespace vexilo
