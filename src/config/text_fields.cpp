#include "text_fields.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "messages.h"

namespace vexilo {

void skip_spaces(std::string_view& cursor) {
    std::size_t i = 0;
    while (i < cursor.size() && cursor[i] == ' ')
        ++i;
    cursor.remove_prefix(i);
}

std::string_view next_field(std::string_view& cursor, char separator) {
    skip_spaces(cursor);
    const std::size_t end = cursor.find(separator);
    if (end == std::string_view::npos) {
        std::string_view field = cursor;
        cursor = cursor.substr(cursor.size());
        return field;
    }
    std::string_view field = cursor.substr(0, end);
    cursor.remove_prefix(end + 1);
    return field;
}

bool split_fields(std::string_view line, std::vector<std::string_view>& fields, char separator) {
    fields.clear();
    std::string_view cursor = line;
    do {
        std::string_view field = next_field(cursor, separator);
        if (static_cast<int>(fields.size()) == MAX_LINE_FIELDS) return false;
        fields.push_back(field);
    } while (!cursor.empty());
    return true;
}

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> hex_value(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        const int d = hex_digit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<std::int32_t> to_int(std::string_view text) {
    skip_spaces(text);
    if (text.empty()) return std::nullopt;
    if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return hex_value(text.substr(1));
    if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return hex_value(text.substr(2));
    }
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool parse_int(std::string_view text, std::string_view context, std::int32_t& value) {
    if (auto parsed = to_int(text)) {
        value = *parsed;
        return true;
    }
    value = 0;
    std::string message = "Not a number:";
    message += context;
    show_error(message);
    return false;
}

namespace {
char fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace

bool same_text(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

std::string shorten_middle(std::string_view text, int width) {
    if (static_cast<long long>(text.size()) < width) return std::string(text);
    const int half = (width - 3) / 2;
    const std::size_t front = half > 1 ? static_cast<std::size_t>(half - 1) : 0;
    const std::size_t back = half > 0 ? static_cast<std::size_t>(half) : 0;
    std::string out(text.substr(0, front));
    out += "...";
    out += text.substr(text.size() - std::min(back, text.size()));
    return out;
}

void cut_at_char(std::string& text, char ch) {
    const std::size_t at = text.find(ch);
    if (at != std::string::npos) text.erase(at);
}

void cut_through_char(std::string& text, char ch) {
    const std::size_t at = text.find(ch);
    if (at != std::string::npos) text.erase(0, at + 1);
}

std::string strip_extension(std::string_view name) {
    return std::string(name.substr(0, name.find('.')));
}

std::string file_name_part(std::string_view path) {
#if defined(_WIN32)
    const std::size_t at = path.find_last_of("\\/");
#else
    // A backslash is an ordinary character of a file name here.
    const std::size_t at = path.find_last_of('/');
#endif
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

bool file_exists(const std::string& name) {
    if (name.empty()) return false;
    // A folder "opens" on some systems but is never a file we can read.
    // Only regular files: opening a FIFO to look would block until someone writes to it.
    std::error_code error;
    if (!std::filesystem::is_regular_file(name, error)) return false;
    std::ifstream in(name, std::ios::binary);
    return in.is_open();
}

std::string copy_text(std::string_view text) {
    return std::string(text);
}

std::string decimal(std::int64_t value) {
    return std::to_string(value);
}

std::size_t line_breaking_char_at(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0\x11\x13", 5));
}

std::string printable(std::string_view text) {
    std::string shown(text);
    for (char& c : shown) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = '?';
    }
    return shown;
}

std::string control_char_message(std::string_view text, std::string_view where) {
    const std::size_t at = line_breaking_char_at(text);
    const unsigned c = at == std::string_view::npos ? 0 : static_cast<unsigned char>(text[at]);
    static const char digits[] = "0123456789ABCDEF";
    std::string code = "0x";
    code += digits[(c >> 4) & 0xF];
    code += digits[c & 0xF];
    return "Control character " + code + " in " + printable(where);
}

}  // namespace vexilo
