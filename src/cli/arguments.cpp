// Command-line text at the program's edge. Names in lists are Windows-1252; the terminal and
// the file system speak UTF-8. Each argument is converted once, when it is taken; a path keeps
// the system's own bytes for opening, since a file name need not be Windows-1252 at all.

#include <map>

#include "cli.h"
#include "config/encoding.h"

namespace vexilo::cli {
namespace {

// Program text of a converted argument -> the bytes the system gave.
std::map<std::string, std::string>& system_bytes() {
    static std::map<std::string, std::string> bytes;
    return bytes;
}

}  // namespace

std::string program_argument(const std::string& raw) {
    const std::string text = utf8_to_windows1252(raw);
    // Only an exact conversion is taken: an argument that is no UTF-8, or holds characters
    // Windows-1252 lacks, stays as it was (it can name no object, but may still be a path).
    if (text == raw || windows1252_to_utf8(text) != raw) return raw;
    system_bytes().emplace(text, raw);
    return text;
}

std::string system_path(const std::string& argument) {
    const auto found = system_bytes().find(argument);
    return found == system_bytes().end() ? argument : found->second;
}

std::vector<std::string> system_paths(const std::vector<std::string>& arguments) {
    std::vector<std::string> paths;
    paths.reserve(arguments.size());
    for (const std::string& argument : arguments)
        paths.push_back(system_path(argument));
    return paths;
}

}  // namespace vexilo::cli
