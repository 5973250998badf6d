#include "object_list_file.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <initializer_list>
#include <unordered_set>

#include "messages.h"
#include "sections.h"
#include "text_fields.h"
#include "text_file.h"

namespace vexilo {
namespace {

// Lines are built by appending in place: a list at the design limits has thousands of them.
void append_number(std::string& line, std::int32_t value) {
    // Written straight into the line: "-2147483648" is the longest.
    const std::size_t at = line.size();
    line.resize(at + 11);
    char* const begin = line.data() + at;
    line.resize(
        static_cast<std::size_t>(std::to_chars(begin, begin + 11, value).ptr - line.data()));
}

void append_numbers(std::string& line, std::initializer_list<std::int32_t> values) {
    for (const std::int32_t value : values) {
        line += ';';
        append_number(line, value);
    }
}

void append_field(std::string& line, const Configuration& config, const ClassField& field) {
    switch (field.kind) {
        case FieldKind::Number:
            line += text_of(field.name);
            append_numbers(line, {field.min, field.max, field.default_value, field.increment});
            line += ';';
            line += text_of(field.units);
            break;
        case FieldKind::ListChoice:
            line += '#';
            line += text_of(field.name);
            append_numbers(line, {field.min, field.max, field.default_value, field.list_number});
            break;
        case FieldKind::Text:
            line += '&';
            line += text_of(field.name);
            break;
        case FieldKind::Atom:
            // An Atom that allows no class cannot be expressed in the grammar; the reader
            // never makes one, so it is written as its bare name.
            line += text_of(field.name);
            for (int k = 0; k < MAX_CLASSES && k < config.class_count; ++k) {
                if (field.allowed_classes & (std::uint32_t{1} << k)) {
                    line += ';';
                    line += text_of(config.classes[k].name);
                }
            }
            break;
    }
}

void append_object(std::string& line, const Configuration& config, const ObjectRecord& object) {
    const ClassRecord& cls = config.classes[object.class_index];
    line += text_of(cls.name);
    line += ';';
    line += text_of(object.name);
    for (int f = 0; f < cls.field_count; ++f) {
        line += ';';
        const FieldKind kind = cls.fields[f].kind;
        if (kind == FieldKind::Number || kind == FieldKind::ListChoice) {
            append_number(line, get_int_value(config, object, f));
        } else {
            line += get_text_value(config, object, f);
        }
    }
}

// About the size of the file, so that its bytes are gathered without reallocation.
std::size_t estimated_size(const Configuration& config, const std::vector<std::string>& comments) {
    std::size_t size = 64;
    for (const std::string& comment : comments)
        size += comment.size() + 2;
    for (int n = 0; n < config.list_count && n < MAX_LISTS; ++n) {
        size += 24 + 26 * static_cast<std::size_t>(std::max(0, config.lists[n].entry_count));
    }
    for (int c = 0; c < config.class_count; ++c) {
        size += 28 + 64 * static_cast<std::size_t>(config.classes[c].field_count);
    }
    for (int o = 0; o < config.object_count; ++o) {
        const ClassRecord& cls = config.classes[config.objects[o].class_index];
        size += 54 + 12 * static_cast<std::size_t>(cls.field_count);
    }
    return size;
}

// Appends the file's bytes, every line ended by CR LF, to out, and hands each line (without
// its end) to on_line as it is completed. The lines are built in place in out.
template <class OnLine>
void emit_object_list(const Configuration& config, const std::vector<std::string>& comments,
                      std::string& out, OnLine&& on_line) {
    out.reserve(out.size() + estimated_size(config, comments));
    std::size_t start = out.size();
    const auto end_line = [&] {
        on_line(std::string_view(out).substr(start));
        out += "\r\n";
        start = out.size();
    };
    for (const std::string& comment : comments) {
        out += comment;
        end_line();
    }
    out += "[LISTS]";
    end_line();
    for (int n = 0; n < config.list_count && n < MAX_LISTS; ++n) {
        if (config.list_unnamed[n] != 0) continue;
        const ValueList& list = config.lists[n];
        append_number(out, n);
        append_numbers(out, {list.max});
        for (int e = 0; e < list.entry_count && e < MAX_LIST_ENTRIES; ++e) {
            out += ';';
            out += text_of(list.entries[e]);
        }
        end_line();
    }
    out += "[CLASSES]";
    end_line();
    for (int c = 0; c < config.class_count; ++c) {
        const ClassRecord& cls = config.classes[c];
        out += '!';
        out += text_of(cls.name);
        end_line();
        for (int f = 0; f < cls.field_count; ++f) {
            append_field(out, config, cls.fields[f]);
            end_line();
        }
    }
    out += "[OBJECTS]";
    end_line();
    for (int o = 0; o < config.object_count; ++o) {
        append_object(out, config, config.objects[o]);
        end_line();
    }
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
    for (int o = 0; o < config.object_count; ++o) {
        const ObjectRecord& object = config.objects[o];
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

std::string comment_lines_problem(const std::vector<std::string>& comments) {
    for (std::size_t i = 0; i < comments.size(); ++i) {
        if (section_header_of(comments[i]) >= 0) {
            return "Comment line " + decimal(static_cast<long>(i + 1)) + " reads as the header " +
                   printable(comments[i]) + ": the list would not read back";
        }
    }
    return {};
}

bool write_object_list(const Configuration& config, const std::string& path,
                       const std::vector<std::string>& comments, LineList* config_box) {
    if (const std::string problem = comment_lines_problem(comments); !problem.empty()) {
        show_error(problem);
        return false;
    }
    warn_dangling_references(config);
    if (config_box != nullptr) config_box->clear();
    std::string bytes;
    emit_object_list(config, comments, bytes, [config_box](std::string_view line) {
        if (config_box != nullptr) config_box->add(std::string(line));
    });
    if (!write_file_atomically(path, bytes)) {
        show_error("Cannot create file " + path);
        return false;
    }
    return true;
}

std::string list_name(std::string_view path) {
    std::string name = file_name_part(path);
    if (name.size() >= 4 && same_text(std::string_view(name).substr(name.size() - 4), ".nol")) {
        name.resize(name.size() - 4);
    }
    return name;
}

std::string list_path(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / (name + ".nol")).string();
}

int last_comment_line(const std::vector<std::string>& lines) {
    const SectionRange lists = find_sections(lines)[SectionLists];
    return lists.present ? static_cast<int>(lists.header) - 1 : -1;
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
    // The block to replace must hold comments only: where other sections stand before the
    // lists, replacing it would throw them away.
    for (int i = 0; i <= last; ++i) {
        if (section_header_of((*lines)[static_cast<std::size_t>(i)]) >= 0) {
            show_error("Cannot replace the comments of " + path + ": its line " + decimal(i + 1) +
                       " is a section header before [LISTS]");
            return false;
        }
    }
    std::vector<std::string> result = comments;
    result.insert(result.end(), lines->begin() + (last + 1), lines->end());
    if (!write_text_lines(path, result)) {
        show_error("Cannot create file " + path);
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
