#pragma once
// Windows-1252 bytes, the program's text, to and from UTF-8 for terminals and tests.

#include <string>
#include <string_view>

namespace vexilo {

std::string windows1252_to_utf8(std::string_view text);
// Characters that Windows-1252 cannot hold become "?".
std::string utf8_to_windows1252(std::string_view text);

}  // namespace vexilo
