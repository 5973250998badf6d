#include "encoding.h"

#include <array>
#include <cstdint>

namespace vexilo {
namespace {

// 0x80..0x9F; 0 where Windows-1252 leaves the code unassigned (kept as the C1 control).
constexpr std::array<std::uint16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::uint32_t code_point(unsigned char c) {
    if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80] != 0) return kHigh[c - 0x80];
    return c;
}

void append_utf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Strict: every sequence complete and in its shortest form, no surrogates, at most U+10FFFF.
bool valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC2 ? 0
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF5 ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = cp << 6 | (next & 0x3F);
        }
        constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
        i += length;
    }
    return true;
}

}  // namespace

std::string windows1252_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        append_utf8(out, code_point(static_cast<unsigned char>(c)));
    return out;
}

std::string utf8_to_windows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::uint32_t cp = lead;
        std::size_t length = 1;
        if (lead >= 0xC0 && lead < 0xE0) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0) {
            length = 4;
            cp = lead & 0x07;
        } else if (lead >= 0x80) {
            out += '?';  // a stray continuation byte
            ++i;
            continue;
        }
        if (i + length > text.size()) {
            out += '?';
            break;
        }
        for (std::size_t k = 1; k < length; ++k) {
            cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += length;
        char mapped = '?';
        if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
            mapped = static_cast<char>(cp);
        } else {
            for (std::size_t k = 0; k < kHigh.size(); ++k) {
                if (kHigh[k] != 0 && kHigh[k] == cp) mapped = static_cast<char>(0x80 + k);
            }
        }
        out += mapped;
    }
    return out;
}

std::string path_to_program_text(std::string_view path) {
#if defined(_WIN32)
    constexpr bool kUtf8Names = false;
#else
    constexpr bool kUtf8Names = true;
#endif
    return kUtf8Names && valid_utf8(path) ? utf8_to_windows1252(path) : std::string(path);
}

}  // namespace vexilo
