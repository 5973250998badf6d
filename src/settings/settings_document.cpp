#include "settings/settings_document.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_map>

namespace vexilo {
namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

std::string trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_blank(text[begin]))
        ++begin;
    while (end > begin && is_blank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_path(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

std::string normal_path(const std::string& path) {
    const std::size_t begin = path.find_first_not_of('\\');
    return begin == std::string::npos ? std::string() : path.substr(begin);
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool parse_int32(const std::string& text, std::int32_t& value) {
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') ++begin;
    std::int64_t wide = 0;
    const auto [stop, error] = std::from_chars(begin, end, wide);
    if (error != std::errc() || stop != end || wide < std::numeric_limits<std::int32_t>::min() ||
        wide > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    value = static_cast<std::int32_t>(wide);
    return true;
}

// A value line, or false when the line is none.
bool parse_value_line(const std::string& line, std::string& name, SettingValue& value) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::string rest = line.substr(equals + 1);
    const std::size_t colon = rest.find(':');
    if (colon == std::string::npos) return false;
    std::string type = trimmed(rest.substr(0, colon));
    std::transform(type.begin(), type.end(), type.begin(), lower);
    const std::string data = trimmed(rest.substr(colon + 1));
    if (type == "int") {
        value.type = SettingType::integer;
        if (!parse_int32(data, value.integer)) return false;
    } else if (type == "text") {
        value.type = SettingType::text;
        value.text = unescape_setting_text(data);
    } else {
        return false;
    }
    name = unescape_setting_text(trimmed(line.substr(0, equals)));
    return true;
}

std::string value_line(const std::string& name, const SettingValue& value) {
    std::string line = escape_setting_text(name, true);
    if (value.type == SettingType::integer) {
        line += "=int:" + std::to_string(value.integer);
    } else {
        line += "=text:" + escape_setting_text(value.text, false);
    }
    return line;
}

}  // namespace

std::string escape_setting_text(const std::string& text, bool is_name) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        bool escape = c < 0x20 || c == 0x7F || c == '%';
        if (c == ' ' && (i == 0 || i + 1 == text.size())) escape = true;
        if (is_name && (c == '=' || (i == 0 && (c == '[' || c == '#' || c == ';')))) escape = true;
        if (escape) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0x0F];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string unescape_setting_text(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A "%" that starts no code stands for itself, as a hand-written one would.
        if (text[i] == '%' && i + 2 < text.size() && hex_digit(text[i + 1]) >= 0 &&
            hex_digit(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(text[i + 1]) * 16 + hex_digit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> SettingsDocument::Key::value_names() const {
    std::vector<std::string> names;
    for (const Line& line : lines) {
        if (line.is_value) names.push_back(line.name);
    }
    return names;
}

const SettingValue* SettingsDocument::Key::find(const std::string& name) const {
    for (const Line& line : lines) {
        if (line.is_value && line.name == name) return &line.value;
    }
    return nullptr;
}

void SettingsDocument::Key::set(const std::string& name, const SettingValue& value) {
    for (Line& line : lines) {
        if (line.is_value && line.name == name) {
            line.value = value;
            return;
        }
    }
    // After the last line with content, so that blank lines keep separating the keys.
    auto position = lines.end();
    while (position != lines.begin()) {
        const Line& before = *(position - 1);
        if (before.is_value || !trimmed(before.raw).empty()) break;
        --position;
    }
    Line line;
    line.is_value = true;
    line.name = name;
    line.value = value;
    lines.insert(position, std::move(line));
}

bool SettingsDocument::Key::remove(const std::string& name) {
    const auto found = std::find_if(lines.begin(), lines.end(), [&](const Line& line) {
        return line.is_value && line.name == name;
    });
    if (found == lines.end()) return false;
    lines.erase(found);
    return true;
}

SettingsDocument SettingsDocument::parse(const std::string& bytes) {
    // Keys and names are looked up in tables built as the text is read, and the blank lines
    // at the end of each key are held apart until the end (a new value goes before them, as
    // Key::set puts it): a file of many thousand lines parses in linear time.
    struct Building {
        std::unordered_map<std::string, std::size_t> values;  // name -> index in lines
        std::vector<Line> trailing_blanks;
    };
    SettingsDocument document;
    std::vector<Building> building(1);
    std::unordered_map<std::string, std::size_t> key_index;
    std::size_t current = 0;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();

        const std::string text = trimmed(line);
        if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
            const std::string path =
                normal_path(unescape_setting_text(text.substr(1, text.size() - 2)));
            if (!path.empty()) {
                std::string folded = path;
                std::transform(folded.begin(), folded.end(), folded.begin(), lower);
                const auto [found, added] = key_index.emplace(folded, document.keys_.size());
                if (added) {
                    document.add_key(path);
                    building.emplace_back();
                }
                current = found->second;
                continue;
            }
        }
        Key& key = document.keys_[current];
        Building& state = building[current];
        std::string name;
        SettingValue value;
        const bool is_comment = text.empty() || text.front() == '#' || text.front() == ';';
        if (current != 0 && !is_comment && parse_value_line(line, name, value)) {
            const auto [found, added] = state.values.emplace(name, key.lines.size());
            if (!added) {
                key.lines[found->second].value = value;
                continue;
            }
            Line entry;
            entry.is_value = true;
            entry.name = std::move(name);
            entry.value = std::move(value);
            key.lines.push_back(std::move(entry));
            continue;
        }
        Line raw;
        raw.raw = std::move(line);
        if (text.empty()) {
            state.trailing_blanks.push_back(std::move(raw));
            continue;
        }
        for (Line& blank : state.trailing_blanks)
            key.lines.push_back(std::move(blank));
        state.trailing_blanks.clear();
        key.lines.push_back(std::move(raw));
    }
    for (std::size_t k = 0; k < building.size(); ++k) {
        for (Line& blank : building[k].trailing_blanks)
            document.keys_[k].lines.push_back(std::move(blank));
    }
    return document;
}

std::string SettingsDocument::format() const {
    std::string out;
    bool after_blank = true;
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        if (k > 0) {
            if (!after_blank) out += '\n';
            out += '[' + escape_setting_text(keys_[k].path, false) + "]\n";
            after_blank = false;
        }
        for (const Line& line : keys_[k].lines) {
            const std::string text = line.is_value ? value_line(line.name, line.value) : line.raw;
            out += text;
            out += '\n';
            after_blank = trimmed(text).empty();
        }
    }
    return out;
}

SettingsDocument::Key* SettingsDocument::find_key(const std::string& path) {
    const std::string wanted = normal_path(path);
    if (wanted.empty()) return nullptr;
    for (std::size_t k = 1; k < keys_.size(); ++k) {
        if (same_path(keys_[k].path, wanted)) return &keys_[k];
    }
    return nullptr;
}

SettingsDocument::Key& SettingsDocument::add_key(const std::string& path) {
    Key key;
    key.path = normal_path(path);
    keys_.push_back(std::move(key));
    return keys_.back();
}

bool SettingsDocument::remove_key_tree(const std::string& path) {
    const std::string top = normal_path(path);
    if (top.empty()) return false;
    const auto inside = [&](const Key& key) {
        return same_path(key.path, top) ||
               (key.path.size() > top.size() && key.path[top.size()] == '\\' &&
                same_path(key.path.substr(0, top.size()), top));
    };
    const auto first = std::remove_if(keys_.begin() + 1, keys_.end(), inside);
    const bool found = first != keys_.end();
    keys_.erase(first, keys_.end());
    return found;
}

}  // namespace vexilo
