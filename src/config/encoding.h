#pragma once
// Windows-1252 bytes, the program's text, to and from UTF-8 for terminals and tests.

#include <string>
#include <string_view>

namespace vexilo {

std::string windows1252_to_utf8(std::string_view text);
// Characters that Windows-1252 cannot hold become "?".
std::string utf8_to_windows1252(std::string_view text);

// The program text of a path or file name as the system gives it, for names and messages.
// Windows gives Windows-1252 already; elsewhere file names are UTF-8 and are converted here,
// once. Bytes that are no UTF-8 are taken as they are.
std::string path_text(std::string_view path);

}  // namespace vexilo
