#pragma once
// The description listing of object list files: for each list a header with its name and
// last-change date, then every object with its fields, values and units. The lines are
// program text (Windows-1252), in the order they are printed.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo {

// The date text of a file's last change, given its path.
using ChangeDateText = std::function<std::string(const std::string& path)>;

// The file's last-change date in the operator's short date format, or "unknown" when the
// file's date cannot be read.
std::string file_change_date(const std::string& path);

// "%-13s:%13s%6s" of the field name, value text and units text; longer texts are not cut.
std::string field_line(std::string_view name, std::string_view value, std::string_view units);

struct Listing {
    std::vector<std::string> lines;
    std::vector<std::string> names;  // of the lists, in order
    std::vector<int> list_of_line;   // for each line, its list's index into names
    bool complete = true;            // false when a list could not be opened or read
};

// Each path is read into a working configuration of its own, so nothing the operator is
// editing changes. A list that cannot be opened or read keeps its header; its message has
// been shown and its objects are left out, since a failed reading leaves values that did not
// come from the file.
Listing build_listing(const std::vector<std::string>& paths,
                      const ChangeDateText& change_date = file_change_date);

}  // namespace vexilo
