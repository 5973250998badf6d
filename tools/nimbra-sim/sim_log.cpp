#include "sim_log.h"

#include <cstdio>

#include "config/encoding.h"

namespace vexilo::sim {

void log_line(std::string_view text) {
    std::string line = "nimbra-sim: ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

std::string printable(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            static const char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0x0F];
        } else {
            out += windows1252_to_utf8(std::string_view(&ch, 1));
        }
    }
    return out;
}

}  // namespace vexilo::sim
