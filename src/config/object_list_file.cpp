#include "object_list_file.h"

#include <filesystem>

#include "messages.h"
#include "text_fields.h"
#include "text_file.h"

namespace vexilo {
namespace {

std::string number(std::int32_t value) { return decimal(value); }

void add_class_lines(const Configuration& config, const ClassRecord& cls,
                     std::vector<std::string>& lines) {
    // Built by appending: g++ 12 at -O3 misreads prefix + string as an overlapping copy.
    std::string header = "!";
    header += text_of(cls.name);
    lines.push_back(std::move(header));
    for (int f = 0; f < cls.field_count; ++f) {
        const ClassField& field = cls.fields[f];
        std::string line;
        switch (field.kind) {
            case FieldKind::Number:
                line = std::string(text_of(field.name)) + ";" + number(field.min) + ";" +
                       number(field.max) + ";" + number(field.default_value) + ";" +
                       number(field.increment) + ";" + std::string(text_of(field.units));
                break;
            case FieldKind::ListChoice:
                line = "#";
                line += text_of(field.name);
                line += ";" + number(field.min) + ";" + number(field.max) + ";" +
                        number(field.default_value) + ";" + number(field.list_number);
                break;
            case FieldKind::Text:
                line = "&";
                line += text_of(field.name);
                break;
            case FieldKind::Atom:
                // An Atom that allows no class cannot be expressed in the grammar; the reader
                // never makes one, so it is written as its bare name.
                line = std::string(text_of(field.name));
                for (int k = 0; k < MAX_CLASSES && k < config.class_count; ++k) {
                    if (field.allowed_classes & (std::uint32_t{1} << k)) {
                        line += ";";
                        line += text_of(config.classes[k].name);
                    }
                }
                break;
        }
        lines.push_back(std::move(line));
    }
}

std::string object_line(const Configuration& config, const ObjectRecord& object) {
    const ClassRecord& cls = config.classes[object.class_index];
    std::string line = std::string(text_of(cls.name)) + ";" + std::string(text_of(object.name));
    for (int f = 0; f < cls.field_count; ++f) {
        line += ";";
        const FieldKind kind = cls.fields[f].kind;
        if (kind == FieldKind::Number || kind == FieldKind::ListChoice) {
            line += number(get_int_value(config, object, f));
        } else {
            line += get_text_value(config, object, f);
        }
    }
    return line;
}

void warn_dangling_references(const Configuration& config) {
    for (int o = 0; o < config.object_count; ++o) {
        const ObjectRecord& object = config.objects[o];
        const ClassRecord& cls = config.classes[object.class_index];
        for (int f = 0; f < cls.field_count; ++f) {
            if (cls.fields[f].kind != FieldKind::Atom) continue;
            const std::string_view value = get_text_value(config, object, f);
            if (same_text(value, "None") || find_object(config, value) < config.object_count) {
                continue;
            }
            show_error(std::string(text_of(object.name)) + " references " + std::string(value) +
                       " which does not exist!");
        }
    }
}

}  // namespace

std::vector<std::string> object_list_lines(const Configuration& config,
                                           const std::vector<std::string>& comments) {
    std::vector<std::string> lines = comments;
    lines.push_back("[LISTS]");
    for (int n = 0; n < config.list_count && n < MAX_LISTS; ++n) {
        const ValueList& list = config.lists[n];
        std::string line = number(n) + ";" + number(list.max);
        for (int e = 0; e < list.entry_count && e < MAX_LIST_ENTRIES; ++e) {
            line += ";";
            line += text_of(list.entries[e]);
        }
        lines.push_back(std::move(line));
    }
    lines.push_back("[CLASSES]");
    for (int c = 0; c < config.class_count; ++c) add_class_lines(config, config.classes[c], lines);
    lines.push_back("[OBJECTS]");
    for (int o = 0; o < config.object_count; ++o) {
        lines.push_back(object_line(config, config.objects[o]));
    }
    return lines;
}

bool write_object_list(const Configuration& config, const std::string& path,
                       const std::vector<std::string>& comments, LineList* config_box) {
    warn_dangling_references(config);
    const std::vector<std::string> lines = object_list_lines(config, comments);
    if (config_box != nullptr) {
        config_box->clear();
        for (const std::string& line : lines) config_box->add(line);
    }
    if (!write_text_lines(path, lines)) {
        show_error("Cannot create file " + path);
        return false;
    }
    return true;
}

int last_comment_line(const std::vector<std::string>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (same_text(lines[i], "[LISTS]")) return static_cast<int>(i) - 1;
    }
    return -1;
}

bool read_comments(const std::string& path, std::vector<std::string>& comments) {
    if (!std::filesystem::exists(path)) {
        comments.clear();
        return true;
    }
    auto lines = read_text_lines(path);
    if (!lines) {
        show_error("Cannot open file " + path);
        return false;
    }
    const int last = last_comment_line(*lines);
    lines->resize(static_cast<std::size_t>(last + 1));
    comments = std::move(*lines);
    return true;
}

bool replace_comments(const std::vector<std::string>& comments, const std::string& path) {
    if (!std::filesystem::exists(path)) return true;
    auto lines = read_text_lines(path);
    if (!lines) {
        show_error("Cannot open file " + path);
        return false;
    }
    const int last = last_comment_line(*lines);
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
    for (int k = i; k + 1 < config.object_count; ++k) config.objects[k] = config.objects[k + 1];
    --config.object_count;
}

}  // namespace vexilo
