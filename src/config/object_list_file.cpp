#include "object_list_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <unordered_set>

#include "encoding.h"
#include "messages.h"
#include "sections.h"
#include "text_fields.h"
#include "text_file.h"

namespace vexilo {
namespace {

// Writes value in decimal at `at`, which has room for 11 characters, and answers the end.
// Object values make up most of a list file: up to eight digits are made at once in one
// 64-bit word (two digits a 16-bit lane, then one a byte), the rest by to_chars.
inline char* put_number(char* at, std::int32_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint32_t magnitude =
            value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
        if (magnitude < 100000000) {
            if (value < 0) *at++ = '-';
            if (magnitude == 0) {
                *at = '0';
                return at + 1;
            }
            // Most values have four digits or fewer: they need no split into two halves.
            std::uint64_t x = magnitude < 10000
                                  ? std::uint64_t{magnitude} << 32
                                  : (magnitude / 10000) | (std::uint64_t{magnitude % 10000} << 32);
            const std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007F;
            x = hundreds | ((x - hundreds * 100) << 16);
            const std::uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000F;
            const std::uint64_t digits = tens | ((x - tens * 10) << 8);
            // Leading zeros are the low bytes: the first digit stands in the lowest byte.
            const int skip = std::countr_zero(digits) / 8;
            const std::uint64_t text = (digits + 0x3030303030303030) >> (8 * skip);
            std::memcpy(at, &text, sizeof text);
            return at + (8 - skip);
        }
    }
    return std::to_chars(at, at + 11, value).ptr;
}

// The room an object line of this class needs: two names, then each value after its
// separator (a number takes at most 11 characters); stored texts are copied whole.
std::size_t longest_object_line(const ClassRecord& cls) {
    std::size_t size = 2 * sizeof(Name) + 1;
    for (int f = 0; f < cls.field_count; ++f) {
        const FieldKind kind = cls.fields[f].kind;
        size +=
            1 + (kind == FieldKind::Number || kind == FieldKind::ListChoice ? 11 : TEXT_VALUE_SIZE);
    }
    return size;
}

// Copies a stored text whole (its array size is known, so the copy is a few moves) and
// answers the end of the text in it: the room after it is written over next. The end is
// found eight bytes at a time; the lowest byte flagged is the first zero.
template <std::size_t N>
char* put_stored(char* at, const char (&stored)[N]) {
    std::memcpy(at, stored, N);
    std::size_t n = 0;
    for (; n + 8 <= N; n += 8) {
        std::uint64_t x;
        std::memcpy(&x, stored + n, sizeof x);
        const std::uint64_t zeros = (x - 0x0101010101010101) & ~x & 0x8080808080808080;
        if (zeros != 0) return at + n + static_cast<std::size_t>(std::countr_zero(zeros) / 8);
    }
    while (n < N && stored[n] != 0)
        ++n;
    return at + n;
}

// Writes the object's line at `at`, which has room for longest_object_line of its class,
// and answers the end. Values are taken straight from the object's value block: this runs
// for every value of a list at the design limits.
char* put_object(char* at, const ClassRecord& cls, const Configuration& config,
                 const ObjectRecord& object) {
    at = put_stored(at, cls.name);
    *at++ = ';';
    at = put_stored(at, object.name);
    const unsigned char* const values = config.object_data + object.data_offset;
    for (int f = 0; f < cls.field_count; ++f) {
        *at++ = ';';
        const ClassField& field = cls.fields[f];
        const unsigned char* const value = values + field.data_offset;
        if (field.kind == FieldKind::Number || field.kind == FieldKind::ListChoice) {
            std::int32_t number;
            std::memcpy(&number, value, sizeof number);
            at = put_number(at, number);
        } else {
            char text[TEXT_VALUE_SIZE];
            std::memcpy(text, value, sizeof text);
            // A stored value holds at most MAX_TEXT_VALUE_LENGTH characters.
            text[MAX_TEXT_VALUE_LENGTH] = 0;
            at = put_stored(at, text);
        }
    }
    return at;
}

// The room a field line needs, counted as put_field writes it.
std::size_t field_room(const Configuration& config, const ClassField& field) {
    constexpr std::size_t number = 12;  // a separator and up to 11 characters
    switch (field.kind) {
        case FieldKind::Number:
            return sizeof(Name) + 4 * number + 1 + sizeof(Units);
        case FieldKind::ListChoice:
            return 1 + sizeof(Name) + 4 * number;
        case FieldKind::Text:
            return 1 + sizeof(Name);
        case FieldKind::Atom: {
            const int classes = std::clamp(config.class_count, 0, MAX_CLASSES);
            const std::uint32_t named =
                classes == 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << classes) - 1;
            return sizeof(Name) +
                   static_cast<std::size_t>(std::popcount(field.allowed_classes & named)) *
                       (1 + sizeof(Name));
        }
    }
    return 0;
}

char* put_numbers(char* at, std::initializer_list<std::int32_t> values) {
    for (const std::int32_t value : values) {
        *at++ = ';';
        at = put_number(at, value);
    }
    return at;
}

char* put_field(char* at, const Configuration& config, const ClassField& field) {
    switch (field.kind) {
        case FieldKind::Number:
            at = put_stored(at, field.name);
            at = put_numbers(at, {field.min, field.max, field.default_value, field.increment});
            *at++ = ';';
            return put_stored(at, field.units);
        case FieldKind::ListChoice:
            *at++ = '#';
            at = put_stored(at, field.name);
            return put_numbers(at, {field.min, field.max, field.default_value, field.list_number});
        case FieldKind::Text:
            *at++ = '&';
            return put_stored(at, field.name);
        case FieldKind::Atom:
            // An Atom that allows no class cannot be expressed in the grammar; the reader
            // never makes one, so it is written as its bare name.
            at = put_stored(at, field.name);
            for (int k = 0; k < MAX_CLASSES && k < config.class_count; ++k) {
                if (field.allowed_classes & (std::uint32_t{1} << k)) {
                    *at++ = ';';
                    at = put_stored(at, config.classes[k].name);
                }
            }
            return at;
    }
    return at;
}

// The room the whole file needs, every line with its CR LF, counted as emit_object_list
// writes it.
std::size_t file_room(const Configuration& config, const std::vector<std::string>& comments) {
    std::size_t room = 0;
    for (const std::string& comment : comments)
        room += comment.size() + 2;
    room += 3 * (sizeof "[CLASSES]" + 2);
    for (int n = 0; n < config.list_count && n < MAX_LISTS; ++n) {
        const int entries = std::clamp(config.lists[n].entry_count, 0, MAX_LIST_ENTRIES);
        room += 2 * 12 + static_cast<std::size_t>(entries) * (1 + sizeof(Name)) + 2;
    }
    std::array<std::size_t, MAX_CLASSES> object_line{};
    for (int c = 0; c < config.class_count && c < MAX_CLASSES; ++c) {
        const ClassRecord& cls = config.classes[c];
        room += 1 + sizeof(Name) + 2;
        for (int f = 0; f < cls.field_count; ++f)
            room += field_room(config, cls.fields[f]) + 2;
        object_line[c] = longest_object_line(cls) + 2;
    }
    for (int o = 0; o < config.object_count; ++o)
        room += object_line[config.objects[o].class_index];
    return room;
}

// Appends the file's bytes, every line ended by CR LF, to out, and hands each line (without
// its end) to on_line as it is completed. The lines are written through a pointer into room
// made once for the whole file: a list at the design limits has thousands of them.
template <class OnLine>
void emit_object_list(const Configuration& config, const std::vector<std::string>& comments,
                      std::string& out, OnLine&& on_line) {
    const std::size_t begin = out.size();
    out.resize(begin + file_room(config, comments));
    char* at = out.data() + begin;
    char* line = at;
    const auto end_line = [&] {
        on_line(std::string_view(line, static_cast<std::size_t>(at - line)));
        *at++ = '\r';
        *at++ = '\n';
        line = at;
    };
    const auto put = [&at](std::string_view text) {
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        at += text.size();
    };
    for (const std::string& comment : comments) {
        put(comment);
        end_line();
    }
    put("[LISTS]");
    end_line();
    for (int n = 0; n < config.list_count && n < MAX_LISTS; ++n) {
        if (config.list_unnamed[n] != 0) continue;
        const ValueList& list = config.lists[n];
        at = put_number(at, n);
        at = put_numbers(at, {list.max});
        for (int e = 0; e < list.entry_count && e < MAX_LIST_ENTRIES; ++e) {
            *at++ = ';';
            at = put_stored(at, list.entries[e]);
        }
        end_line();
    }
    put("[CLASSES]");
    end_line();
    for (int c = 0; c < config.class_count && c < MAX_CLASSES; ++c) {
        const ClassRecord& cls = config.classes[c];
        *at++ = '!';
        at = put_stored(at, cls.name);
        end_line();
        for (int f = 0; f < cls.field_count; ++f) {
            at = put_field(at, config, cls.fields[f]);
            end_line();
        }
    }
    put("[OBJECTS]");
    end_line();
    for (int o = 0; o < config.object_count; ++o) {
        const ObjectRecord& object = config.objects[o];
        at = put_object(at, config.classes[object.class_index], config, object);
        end_line();
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
}

// A path that cannot be examined counts as present, so that reading it reports the failure.
bool exists(const std::string& path) {
    std::error_code error;
    const bool found = std::filesystem::exists(path, error);
    return found || error;
}

std::string folded(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

void warn_dangling_references(const Configuration& config) {
    // The names go into a set at the first reference, so that a list with many references
    // stays linear and one without any pays nothing (folded folds what same_text folds).
    std::unordered_set<std::string> names;
    bool names_known = false;
    // Most classes hold no Atom field: their objects are passed over whole.
    std::array<bool, MAX_CLASSES> has_atom{};
    for (int c = 0; c < config.class_count && c < MAX_CLASSES; ++c) {
        const ClassRecord& cls = config.classes[c];
        for (int f = 0; f < cls.field_count; ++f)
            has_atom[c] = has_atom[c] || cls.fields[f].kind == FieldKind::Atom;
    }
    for (int o = 0; o < config.object_count; ++o) {
        const ObjectRecord& object = config.objects[o];
        if (!has_atom[object.class_index]) continue;
        const ClassRecord& cls = config.classes[object.class_index];
        for (int f = 0; f < cls.field_count; ++f) {
            if (cls.fields[f].kind != FieldKind::Atom) continue;
            const std::string_view value = get_text_value(config, object, f);
            if (same_text(value, "None")) continue;
            if (!names_known) {
                for (int k = 0; k < config.object_count; ++k) {
                    names.insert(folded(text_of(config.objects[k].name)));
                }
                names_known = true;
            }
            if (names.count(folded(value)) != 0) continue;
            show_error(std::string(text_of(object.name)) + " references " + std::string(value) +
                       " which does not exist!");
        }
    }
}

}  // namespace

std::vector<std::string> object_list_lines(const Configuration& config,
                                           const std::vector<std::string>& comments) {
    std::vector<std::string> lines;
    std::string bytes;
    emit_object_list(config, comments, bytes,
                     [&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

std::string comment_line_problem(std::string_view line, int number) {
    if (section_header_of(line) < 0) return {};
    return "Comment line " + decimal(number) + " reads as the section header " + printable(line) +
           ": a description cannot hold one";
}

std::string comment_lines_problem(const std::vector<std::string>& comments) {
    for (std::size_t i = 0; i < comments.size(); ++i) {
        if (std::string problem = comment_line_problem(comments[i], static_cast<int>(i + 1));
            !problem.empty()) {
            return problem;
        }
    }
    return {};
}

std::string read_back_problem(const Configuration& config,
                              const std::vector<std::string>& comments) {
    if (std::string problem = comment_lines_problem(comments); !problem.empty()) return problem;
    // A Number field's minimum is written in decimal; where that names a class (a minimum
    // read as "+5" beside a class "5"), the field would read back as a reference.
    for (int c = 0; c < config.class_count && c < MAX_CLASSES; ++c) {
        const ClassRecord& cls = config.classes[c];
        for (int f = 0; f < cls.field_count; ++f) {
            const ClassField& field = cls.fields[f];
            if (field.kind != FieldKind::Number) continue;
            const std::string min = decimal(field.min);
            if (find_class(config, min) >= config.class_count) continue;
            return std::string(text_of(cls.name)) + ":" + std::string(text_of(field.name)) +
                   " min " + min +
                   " is also the name of a class: written, the field would read back as a "
                   "reference";
        }
    }
    return {};
}

bool write_object_list(const Configuration& config, const std::string& path,
                       const std::vector<std::string>& comments,
                       std::vector<std::string>* written) {
    if (const std::string problem = read_back_problem(config, comments); !problem.empty()) {
        show_error(problem);
        return false;
    }
    warn_dangling_references(config);
    if (written != nullptr) written->clear();
    std::string bytes;
    emit_object_list(config, comments, bytes, [written](std::string_view line) {
        if (written != nullptr) written->emplace_back(line);
    });
    if (!write_file_atomically(path, bytes)) {
        show_error("Cannot create file " + path_to_program_text(path));
        return false;
    }
    return true;
}

std::string list_name(std::string_view path) {
    std::string name = path_to_program_text(file_name_part(path));
    if (name.size() >= 4 && same_text(std::string_view(name).substr(name.size() - 4), ".nol")) {
        name.resize(name.size() - 4);
    }
    return name;
}

std::string list_path(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / (name + ".nol")).string();
}

int last_comment_line(const std::vector<std::string>& lines) {
    const auto sections = find_sections(lines);
    if (!sections[SectionLists].present) return -1;
    // Sections written before the lists are no comments: the block ends at the first header
    // that counts. A stray header line before it (an earlier "[lists]") is comment text.
    std::size_t first = sections[SectionLists].header;
    for (const SectionRange& section : sections) {
        if (section.present && section.header < first) first = section.header;
    }
    return static_cast<int>(first) - 1;
}

bool read_comments(const std::string& path, std::vector<std::string>& comments) {
    if (!exists(path)) {
        comments.clear();
        return true;
    }
    std::string problem;
    auto lines = read_text_lines(path, &problem);
    if (!lines) {
        show_error(cannot_open_message(path, problem));
        return false;
    }
    const int last = last_comment_line(*lines);
    lines->resize(static_cast<std::size_t>(last + 1));
    comments = std::move(*lines);
    return true;
}

bool replace_comments(const std::vector<std::string>& comments, const std::string& path) {
    if (const std::string problem = comment_lines_problem(comments); !problem.empty()) {
        show_error(problem);
        return false;
    }
    if (!exists(path)) return true;
    std::string problem;
    auto lines = read_text_lines(path, &problem);
    if (!lines) {
        show_error(cannot_open_message(path, problem));
        return false;
    }
    const int last = last_comment_line(*lines);
    std::vector<std::string> result = comments;
    result.insert(result.end(), lines->begin() + (last + 1), lines->end());
    if (!write_text_lines(path, result)) {
        show_error("Cannot create file " + path_to_program_text(path));
        return false;
    }
    return true;
}

void delete_object(Configuration& config, int i) {
    if (i < 0 || i >= config.object_count) return;
    for (int k = i; k + 1 < config.object_count; ++k)
        config.objects[k] = config.objects[k + 1];
    --config.object_count;
}

}  // namespace vexilo
