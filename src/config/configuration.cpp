#include "configuration.h"

#include <array>

#include "text_fields.h"

namespace vexilo {

void clear_configuration(Configuration& config) {
    std::memset(&config, 0, sizeof config);
}

namespace {

char fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// same_text(text_of(stored), wanted) without measuring the stored name first: lookups scan
// every slot, so this runs for each slot of every lookup.
bool stored_name_is(const Name& stored, std::string_view wanted) {
    const std::size_t n = wanted.size();
    if (n > static_cast<std::size_t>(NAME_LENGTH) || stored[n] != 0) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (stored[i] == 0 || fold(stored[i]) != fold(wanted[i])) return false;
    }
    return true;
}

}  // namespace

int find_class(const Configuration& config, std::string_view name) {
    int found = config.class_count;
    for (int i = 0; i < config.class_count; ++i) {
        if (stored_name_is(config.classes[i].name, name)) found = i;
    }
    return found;
}

const ClassRecord* class_by_name(const Configuration& config, std::string_view name) {
    const int i = find_class(config, name);
    return i < config.class_count ? &config.classes[i] : nullptr;
}

int find_object(const Configuration& config, std::string_view name) {
    int found = config.object_count;
    for (int i = 0; i < config.object_count; ++i) {
        if (stored_name_is(config.objects[i].name, name)) found = i;
    }
    return found;
}

int class_of_object(const Configuration& config, std::string_view name) {
    const int i = find_object(config, name);
    return i < config.object_count ? config.objects[i].class_index : -1;
}

int find_field(const ClassRecord& cls, std::string_view name) {
    for (int i = 0; i < cls.field_count; ++i) {
        if (stored_name_is(cls.fields[i].name, name)) return i;
    }
    return -1;
}

namespace {

unsigned char* value_address(Configuration& config, const ObjectRecord& object, int field) {
    const ClassField& f = config.classes[object.class_index].fields[field];
    return config.object_data + object.data_offset + f.data_offset;
}

const unsigned char* value_address(const Configuration& config, const ObjectRecord& object,
                                   int field) {
    const ClassField& f = config.classes[object.class_index].fields[field];
    return config.object_data + object.data_offset + f.data_offset;
}

}  // namespace

std::int32_t get_int_value(const Configuration& config, const ObjectRecord& object, int field) {
    std::int32_t value;
    std::memcpy(&value, value_address(config, object, field), sizeof value);
    return value;
}

std::string_view get_text_value(const Configuration& config, const ObjectRecord& object,
                                int field) {
    const char* text = reinterpret_cast<const char*>(value_address(config, object, field));
    return std::string_view(text, strnlen(text, MAX_TEXT_VALUE_LENGTH));
}

void set_int_value(Configuration& config, const ObjectRecord& object, int field,
                   std::int32_t value) {
    std::memcpy(value_address(config, object, field), &value, sizeof value);
}

void set_text_value(Configuration& config, const ObjectRecord& object, int field,
                    std::string_view text) {
    unsigned char* at = value_address(config, object, field);
    const std::size_t n =
        text.size() < std::size_t{MAX_TEXT_VALUE_LENGTH} ? text.size() : MAX_TEXT_VALUE_LENGTH;
    if (n > 0) std::memcpy(at, text.data(), n);
    std::memset(at + n, 0, TEXT_VALUE_SIZE - n);
}

bool value_block_fits(const Configuration& config, int class_index) {
    return config.data_used >= 0 &&
           config.data_used + config.classes[class_index].data_size <= OBJECT_DATA_SIZE;
}

void lay_out_class(ClassRecord& cls) {
    std::int32_t offset = 0;
    for (int i = 0; i < cls.field_count; ++i) {
        cls.fields[i].data_offset = offset;
        offset += value_size(cls.fields[i].kind);
    }
    cls.data_size = offset;
}

unsigned char translate_instrument_char(unsigned char c) {
    switch (c) {
        case 0x7E:
            return 0xBB;
        case 0x7F:
            return 0xAB;
        case 0x91:
            return 0xB0;
        case 0x9B:
            return 0xB1;
        case 0x9D:
            return 0xB5;
        case 0x9E:
            return 0x78;
        default:
            return c;
    }
}

void translate_instrument_chars(char* text) {
    for (; *text != 0; ++text) {
        *text = static_cast<char>(translate_instrument_char(static_cast<unsigned char>(*text)));
    }
}

namespace {

// Every line the reader takes passes through here: a table beats a switch per byte.
const std::array<char, 256>& translation_table() {
    static const auto table = [] {
        std::array<char, 256> t{};
        for (int c = 0; c < 256; ++c) {
            t[c] = static_cast<char>(translate_instrument_char(static_cast<unsigned char>(c)));
        }
        return t;
    }();
    return table;
}

}  // namespace

void translate_instrument_chars(std::string& text) {
    const auto& table = translation_table();
    for (char& c : text)
        c = table[static_cast<unsigned char>(c)];
}

void translate_instrument_line(std::string& text) {
    const auto& table = translation_table();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == 0) {
            text.resize(i);
            break;
        }
        text[i] = table[static_cast<unsigned char>(text[i])];
    }
}
}  // namespace vexilo
