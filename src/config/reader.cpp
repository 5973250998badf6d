#include "reader.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>

#include "messages.h"
#include "sections.h"
#include "text_fields.h"

namespace vexilo {
namespace {

using Range = SectionRange;

std::string text(std::string_view a) {
    return std::string(a);
}

// Object lines mostly repeat the class of the line before; a name equal byte for byte to the
// last one looked up resolves to the same class, so the full scan runs once per change.
class ClassLookup {
  public:
    int find(const Configuration& config, std::string_view name) {
        if (!valid_ || name != name_) {
            name_.assign(name);
            index_ = find_class(config, name);
            valid_ = true;
        }
        return index_;
    }

  private:
    std::string name_;
    int index_ = 0;
    bool valid_ = false;
};

// Every field line asks whether its second field names a class (then it is an Atom), and an
// Atom's line names its classes. An index of the folded names answers as find_class does
// (the last of equal names) without comparing against every class for each field.
class ClassIndex {
  public:
    explicit ClassIndex(const Configuration& config) : count_(config.class_count) {
        for (int c = 0; c < config.class_count; ++c)
            index_[folded(text_of(config.classes[c].name))] = c;
    }

    int find(std::string_view name) const {
        if (name.size() > static_cast<std::size_t>(NAME_LENGTH)) return count_;
        const auto found = index_.find(folded(name));
        return found == index_.end() ? count_ : found->second;
    }

  private:
    static std::string folded(std::string_view name) {
        std::string key(name);
        for (char& c : key) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return key;
    }

    int count_;
    std::unordered_map<std::string, int> index_;
};

// Values are nearly always short plain decimals, read here at once; to_int reads the rest
// (blanks, a sign of +, hexadecimal, long numbers) and refuses what is no number.
std::optional<std::int32_t> number_of(std::string_view field) {
    const bool negative = !field.empty() && field[0] == '-';
    const std::size_t digits = field.size() - (negative ? 1 : 0);
    if (digits == 0 || digits > 9) return to_int(field);
    std::int32_t value = 0;
    for (std::size_t i = negative ? 1 : 0; i < field.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(field[i]) - unsigned{'0'};
        if (digit > 9) return to_int(field);
        value = value * 10 + static_cast<std::int32_t>(digit);
    }
    return negative ? -value : value;
}

// Keeps the one message of a refusal for the caller to show or to hand on.
bool refuse(std::string& problem, std::string text) {
    problem = std::move(text);
    return false;
}

// Messages are built only on failure: reading must not pay for texts it never shows.
bool split_or_refuse(std::string_view line, std::vector<std::string_view>& fields,
                     std::string& problem, std::string_view context, std::string_view more = {}) {
    if (split_fields(line, fields)) return true;
    return refuse(problem, "Too many fields (at most " + decimal(MAX_LINE_FIELDS) + ") in " +
                               text(context) + text(more));
}

bool read_lists(Configuration& target, const std::vector<std::string>& lines, Range range,
                std::vector<std::string_view>& fields, std::string& problem) {
    // Lists keep their numbers: list_count is one past the highest number named, and the
    // numbers below it that the text does not name are marked, so that a text with lists 0
    // and 5 is written back with 0 and 5 and nothing else.
    target.list_count = 0;
    bool named[MAX_LISTS] = {};
    for (std::size_t i = range.begin; i < range.end; ++i) {
        const auto refuse_number = [&] {
            return refuse(problem,
                          "Not a number:list " + decimal(static_cast<long>(i - range.begin + 1)));
        };
        if (!split_fields(lines[i], fields)) {
            return refuse(problem, "Too many fields (at most " + decimal(MAX_LINE_FIELDS) +
                                       ") in list " +
                                       decimal(static_cast<long>(i - range.begin + 1)));
        }
        const auto parsed_number = to_int(field_at(fields, 0));
        if (!parsed_number) return refuse_number();
        const std::int32_t number = *parsed_number;
        if (number > 99 || number < 0) {
            return refuse(problem, "bad list id " + decimal(number));
        }
        const auto parsed_max = to_int(field_at(fields, 1));
        if (!parsed_max) return refuse_number();
        const std::int32_t max = *parsed_max;
        if (max < 0) {
            return refuse(problem, "bad list max " + decimal(number));
        }
        ValueList& list = target.lists[number];
        list.max = max;
        int count = 0;
        for (std::size_t f = 2; f < fields.size() && !fields[f].empty(); ++f) {
            if (count == MAX_LIST_ENTRIES) {
                return refuse(problem, "Too many entries (at most " + decimal(MAX_LIST_ENTRIES) +
                                           ") in list " + decimal(number));
            }
            store_text(list.entries[count++], fields[f]);
        }
        list.entry_count = count;
        named[number] = true;
        if (number >= target.list_count) target.list_count = number + 1;
    }
    for (int n = 0; n < target.list_count; ++n) {
        target.list_unnamed[n] = named[n] ? 0 : 1;
        if (!named[n]) {
            target.lists[n].entry_count = 0;
            target.lists[n].max = 0;
        }
    }
    return true;
}

bool read_field_number(std::string_view field, const ClassRecord& cls, std::string_view first,
                       const char* suffix, std::int32_t& value, std::string& problem) {
    if (auto parsed = number_of(field)) {
        value = *parsed;
        return true;
    }
    value = 0;
    return refuse(problem, "Not a number:" + text(text_of(cls.name)) + ":" + text(first) + suffix);
}

// The four numbers after a field's name: minimum, maximum, default, and the last (a
// ListChoice's list number, a Number's increment).
bool read_field_numbers(const std::vector<std::string_view>& fields, const ClassRecord& cls,
                        ClassField& field, const char* last_suffix, std::int32_t& last,
                        std::string& problem) {
    const std::string_view first = field_at(fields, 0);
    return read_field_number(field_at(fields, 1), cls, first, " min", field.min, problem) &&
           read_field_number(field_at(fields, 2), cls, first, " max", field.max, problem) &&
           read_field_number(field_at(fields, 3), cls, first, " default", field.default_value,
                             problem) &&
           read_field_number(field_at(fields, 4), cls, first, last_suffix, last, problem);
}

bool read_field_line(Configuration& target, ClassRecord& cls,
                     const std::vector<std::string_view>& fields, const ClassIndex& classes,
                     std::string& problem) {
    const std::string_view first = field_at(fields, 0);
    if (cls.field_count == MAX_FIELDS) {
        return refuse(problem, "Too many fields (at most " + decimal(MAX_FIELDS) + ") in class " +
                                   text(text_of(cls.name)));
    }
    ClassField& field = cls.fields[cls.field_count];
    std::memset(&field, 0, sizeof field);
    if (!first.empty() && first[0] == '#') {
        field.kind = FieldKind::ListChoice;
        store_text(field.name, first.substr(1));
        if (!read_field_numbers(fields, cls, field, " list number", field.list_number, problem)) {
            return false;
        }
    } else if (!first.empty() && first[0] == '&') {
        field.kind = FieldKind::Text;
        store_text(field.name, first.substr(1));
    } else if (!field_at(fields, 1).empty() &&
               classes.find(field_at(fields, 1)) < target.class_count) {
        field.kind = FieldKind::Atom;
        store_text(field.name, first);
        for (std::size_t f = 1; f < fields.size() && !fields[f].empty(); ++f) {
            const int k = classes.find(fields[f]);
            if (k >= target.class_count) {
                return refuse(problem,
                              text(fields[f]) + " in atom " + text(first) + " is not a class!");
            }
            field.allowed_classes |= std::uint32_t{1} << k;
        }
    } else {
        field.kind = FieldKind::Number;
        store_text(field.name, first);
        if (!read_field_numbers(fields, cls, field, " increment", field.increment, problem)) {
            return false;
        }
        store_text(field.units, field_at(fields, 5));
    }
    ++cls.field_count;
    return true;
}

bool read_classes(Configuration& target, const std::vector<std::string>& lines, Range range,
                  std::vector<std::string_view>& fields, std::string& problem) {
    target.class_count = 0;
    // Every class name is known before any field line is read, so an Atom may name a class
    // defined further down.
    for (std::size_t i = range.begin; i < range.end; ++i) {
        std::string_view cursor = lines[i];
        const std::string_view first = next_field(cursor, ';');
        if (first.empty() || first[0] != '!') continue;
        if (target.class_count == MAX_CLASSES) {
            return refuse(problem, "Too many classes (at most " + decimal(MAX_CLASSES) +
                                       "): " + text(first.substr(1)));
        }
        ClassRecord& cls = target.classes[target.class_count++];
        store_text(cls.name, first.substr(1));
        cls.field_count = 0;
        cls.data_size = 0;
    }
    const ClassIndex classes(target);
    int current = -1;
    for (std::size_t i = range.begin; i < range.end; ++i) {
        std::string_view cursor = lines[i];
        const std::string_view first = next_field(cursor, ';');
        if (!first.empty() && first[0] == '!') {
            ++current;
            continue;
        }
        if (current < 0) {
            return refuse(problem, "Field line before any class: " + text(first));
        }
        ClassRecord& cls = target.classes[current];
        if (!split_or_refuse(lines[i], fields, problem, text_of(cls.name), ":" + text(first))) {
            return false;
        }
        if (!read_field_line(target, cls, fields, classes, problem)) return false;
    }
    for (int c = 0; c < target.class_count; ++c)
        lay_out_class(target.classes[c]);
    return true;
}

bool fill_object(Configuration& target, const std::vector<std::string_view>& fields, int k,
                 ClassLookup& classes, std::string& problem) {
    const std::string_view class_name = field_at(fields, 0);
    const std::string_view object_name = field_at(fields, 1);
    const int c = classes.find(target, class_name);
    if (c >= target.class_count) {
        return refuse(problem, text(class_name) + " is not a class!");
    }
    if (object_name.empty()) {
        return refuse(problem, "an object of class " + text(class_name) + " has no name");
    }
    if (k < 0 || k > target.object_count || k >= MAX_OBJECTS) {
        return refuse(problem, "Too many objects (at most " + decimal(MAX_OBJECTS) +
                                   "): " + text(object_name));
    }
    if (!value_block_fits(target, c)) {
        return refuse(problem, "Too many object values (at most " + decimal(OBJECT_DATA_SIZE) +
                                   " bytes): " + text(object_name));
    }
    ObjectRecord& object = target.objects[k];
    object.class_index = c;
    object.data_offset = target.data_used;
    store_text(object.name, object_name);
    const ClassRecord& cls = target.classes[c];
    target.data_used += cls.data_size;
    // Numbers go straight into the object's value block: this runs for every value.
    unsigned char* const values = target.object_data + object.data_offset;
    for (int f = 0; f < cls.field_count; ++f) {
        const ClassField& field = cls.fields[f];
        const std::string_view value = field_at(fields, static_cast<std::size_t>(f) + 2);
        if (field.kind == FieldKind::Number || field.kind == FieldKind::ListChoice) {
            const auto number = number_of(value);
            if (!number) {
                return refuse(
                    problem, "Not a number:" + text(object_name) + ":" + text(text_of(field.name)));
            }
            std::memcpy(values + field.data_offset, &*number, sizeof(std::int32_t));
        } else {
            if (value.size() > static_cast<std::size_t>(MAX_TEXT_VALUE_LENGTH)) {
                return refuse(problem, "Value too long (at most " + decimal(MAX_TEXT_VALUE_LENGTH) +
                                           " characters): " + text(object_name) + ":" +
                                           text(text_of(field.name)));
            }
            set_text_value(target, object, f, value);
        }
    }
    if (k == target.object_count) ++target.object_count;
    return true;
}

bool read_objects(Configuration& target, const std::vector<std::string>& lines, Range range,
                  std::vector<std::string_view>& fields, std::string& problem) {
    target.object_count = 0;
    target.data_used = 0;
    std::memset(target.object_data, 0, sizeof target.object_data);
    if (target.class_count == 0) {
        return refuse(problem, "No classes are defined! How then, shall I define objects?!");
    }
    ClassLookup classes;
    for (std::size_t i = range.begin; i < range.end; ++i) {
        std::string_view cursor = lines[i];
        const std::string_view class_name = next_field(cursor, ';');
        const std::string_view object_name = next_field(cursor, ';');
        const int c = classes.find(target, class_name);
        if (c >= target.class_count) {
            return refuse(problem, text(class_name) + " is not a known class!");
        }
        if (object_name.empty()) {
            return refuse(problem, "an object of class " + text(class_name) +
                                       " must have a name to be defined");
        }
        if (target.object_count == MAX_OBJECTS) {
            return refuse(problem, "Too many objects (at most " + decimal(MAX_OBJECTS) +
                                       "): " + text(object_name));
        }
        ObjectRecord& object = target.objects[target.object_count++];
        store_text(object.name, object_name);
        object.class_index = c;
        object.data_offset = 0;
    }
    for (std::size_t i = range.begin; i < range.end; ++i) {
        const int k = static_cast<int>(i - range.begin);
        if (!split_or_refuse(lines[i], fields, problem, text_of(target.objects[k].name))) {
            return false;
        }
        if (!fill_object(target, fields, k, classes, problem)) return false;
    }
    return true;
}

// Most lines are printable ASCII: no zero or other control byte, and nothing the instrument
// codes differently (those are all at 0x7E and above). Such a line is left as it is. Eight
// bytes are tested at a time: every line of a file or a reply passes through here.
bool needs_translation(const std::string& line) {
    constexpr std::uint64_t ones = 0x0101010101010101;
    constexpr std::uint64_t highs = 0x8080808080808080;
    const char* p = line.data();
    std::size_t left = line.size();
    std::uint64_t special = 0;
    for (; left >= 8; p += 8, left -= 8) {
        std::uint64_t x;
        std::memcpy(&x, p, sizeof x);
        special |= (x - ones * 0x20) & ~x & highs;           // a byte below 0x20
        special |= ((x + ones * (127 - 0x7D)) | x) & highs;  // a byte above 0x7D
    }
    for (; left > 0; ++p, --left) {
        const auto u = static_cast<unsigned char>(*p);
        special |= static_cast<std::uint64_t>((u < 0x20) | (u > 0x7D));
    }
    return special != 0;
}

}  // namespace

bool read_configuration(Configuration& target, std::vector<std::string>& lines,
                        std::string& problem) {
    // Lines are zero-terminated texts to the instrument: nothing after a zero byte counts.
    // Other control characters (a TAB a colleague typed) are read as they are: only a command
    // line must not carry those that would break it, and the download refuses them there. A
    // line of plain printable ASCII needs no translation.
    for (std::string& line : lines) {
        if (needs_translation(line)) translate_instrument_line(line);
    }
    const auto sections = find_sections(lines);
    std::vector<std::string_view> fields;
    fields.reserve(MAX_LINE_FIELDS);
    return read_lists(target, lines, sections[SectionLists], fields, problem) &&
           read_classes(target, lines, sections[SectionClasses], fields, problem) &&
           read_objects(target, lines, sections[SectionObjects], fields, problem);
}

bool read_configuration(Configuration& target, std::vector<std::string>& lines) {
    std::string problem;
    if (read_configuration(target, lines, problem)) return true;
    show_error(problem);
    return false;
}

bool read_object_line(Configuration& target, std::string_view line, int k, std::string& problem) {
    std::vector<std::string_view> fields;
    std::string_view cursor = line;
    const std::string_view name = (next_field(cursor, ';'), next_field(cursor, ';'));
    if (!split_or_refuse(line, fields, problem, name)) return false;
    ClassLookup classes;
    return fill_object(target, fields, k, classes, problem);
}

bool read_object_line(Configuration& target, std::string_view line, int k) {
    std::string problem;
    if (read_object_line(target, line, k, problem)) return true;
    show_error(problem);
    return false;
}

std::string display_line(const Configuration& config, int object_index) {
    const ObjectRecord& object = config.objects[object_index];
    std::string line(text_of(config.classes[object.class_index].name));
    line += ':';
    line += text_of(object.name);
    return line;
}

std::vector<std::string> object_display_lines(const Configuration& config) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(config.object_count));
    for (int i = 0; i < config.object_count; ++i)
        lines.push_back(display_line(config, i));
    return lines;
}

void show_objects(const Configuration& config, LineList& box) {
    box.clear();
    for (int i = 0; i < config.object_count; ++i)
        box.add(display_line(config, i));
}

}  // namespace vexilo
