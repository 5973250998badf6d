#pragma once
// Windows-1252 bytes, the program's text, to and from UTF-8 for terminals and tests.

#include <string>
#include <string_view>

namespace vexilo {

std::string windows1252_to_utf8(std::string_view text);
// Characters that Windows-1252 cannot hold become "?".
std::string utf8_to_windows1252(std::string_view text);

// A path's bytes (or part of one) as program text. Windows' narrow file names already are
// Windows-1252; elsewhere file names are UTF-8, converted, and a name that is no valid UTF-8
// keeps its bytes (most such names are Latin-1, which Windows-1252 shows right).
std::string path_to_program_text(std::string_view path);

}  // namespace vexilo
