#pragma once
// The in-memory form of one instrument configuration: numbered value lists, classes and
// objects. A Configuration is a plain value of fixed capacity with no pointers, so a whole
// configuration is copied by assignment.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace vexilo {

inline constexpr int MAX_LISTS = 100;
inline constexpr int MAX_LIST_ENTRIES = 40;
inline constexpr int MAX_CLASSES = 32;
inline constexpr int MAX_FIELDS = 24;
inline constexpr int MAX_OBJECTS = 1928;
inline constexpr int OBJECT_DATA_SIZE = 40000;
inline constexpr int NAME_LENGTH = 24;
inline constexpr int UNITS_LENGTH = 4;
inline constexpr int TEXT_VALUE_SIZE = 16;  // 15 characters and a terminating zero
inline constexpr int MAX_TEXT_VALUE_LENGTH = TEXT_VALUE_SIZE - 1;

enum class FieldKind : std::uint8_t { Number = 0, ListChoice = 1, Text = 2, Atom = 3 };

// Bytes a value of this kind takes in an object's value block.
constexpr int value_size(FieldKind kind) {
    return (kind == FieldKind::Number || kind == FieldKind::ListChoice) ? 4 : TEXT_VALUE_SIZE;
}

using Name = char[NAME_LENGTH + 1];
using Units = char[UNITS_LENGTH + 1];

// Stores a text cut to the capacity of the array, always zero-terminated.
template <std::size_t N>
void store_text(char (&target)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    if (n > 0) std::memcpy(target, text.data(), n);  // an empty view may hold no pointer
    std::memset(target + n, 0, N - n);
}

template <std::size_t N>
std::string_view text_of(const char (&stored)[N]) {
    return std::string_view(stored, strnlen(stored, N));
}

struct ValueList {
    Name entries[MAX_LIST_ENTRIES];
    std::int32_t entry_count;
    std::int32_t max;  // carried through unchanged; nothing else reads it
};

struct ClassField {
    Name name;
    FieldKind kind;
    std::int32_t min;
    std::int32_t max;
    std::int32_t increment;
    Units units;
    std::int32_t default_value;
    std::int32_t list_number;       // ListChoice: the value list that names the values
    std::uint32_t allowed_classes;  // Atom: bit k set when objects of class k may be named
    std::int32_t data_offset;       // where the value starts inside an object's block
};

struct ClassRecord {
    Name name;
    std::int32_t field_count;
    ClassField fields[MAX_FIELDS];
    std::int32_t data_size;  // bytes one object of this class takes in object_data
};

struct ObjectRecord {
    Name name;
    std::int32_t class_index;
    std::int32_t data_offset;
};

struct Configuration {
    std::int32_t list_count;
    std::int32_t class_count;
    std::int32_t object_count;
    std::int32_t data_used;
    unsigned char object_data[OBJECT_DATA_SIZE];
    ValueList lists[MAX_LISTS];
    ClassRecord classes[MAX_CLASSES];
    ObjectRecord objects[MAX_OBJECTS];
    // Set for each number below list_count that no list of the text bore: such a slot holds
    // an empty list and is not written, so lists keep their numbers through a file.
    std::uint8_t list_unnamed[MAX_LISTS];
};

static_assert(std::is_trivially_copyable_v<Configuration>,
              "a Configuration is copied whole by assignment");
static_assert(std::is_standard_layout_v<Configuration>);

// Every count zero, every name empty, the value store zero.
void clear_configuration(Configuration& config);

// Name lookups: ASCII letters compared without case, every slot visited, the last match wins.
// find_class/find_object answer the count when there is no match.
int find_class(const Configuration& config, std::string_view name);
const ClassRecord* class_by_name(const Configuration& config, std::string_view name);
int find_object(const Configuration& config, std::string_view name);
int class_of_object(const Configuration& config, std::string_view name);  // -1: none
// Fields resolve to the first match; -1 when there is none.
int find_field(const ClassRecord& cls, std::string_view name);

// Value access through the object's class and value block. The object need not be counted
// in object_count yet. The caller keeps the indexes inside their limits.
std::int32_t get_int_value(const Configuration& config, const ObjectRecord& object, int field);
std::string_view get_text_value(const Configuration& config, const ObjectRecord& object, int field);
void set_int_value(Configuration& config, const ObjectRecord& object, int field,
                   std::int32_t value);
// Stores at most 15 characters and the terminating zero.
void set_text_value(Configuration& config, const ObjectRecord& object, int field,
                    std::string_view text);

// True when the value block of an object of this class fits at data_used.
bool value_block_fits(const Configuration& config, int class_index);

// Assigns data_offset to every field of the class in order and sets its data_size.
void lay_out_class(ClassRecord& cls);

// Maps the instrument's codes of six special characters to their display characters.
unsigned char translate_instrument_char(unsigned char c);
void translate_instrument_chars(char* text);  // zero-terminated, changed in place
void translate_instrument_chars(std::string& text);
// The same, and the text ends at its first zero byte.
void translate_instrument_line(std::string& text);

}  // namespace vexilo
