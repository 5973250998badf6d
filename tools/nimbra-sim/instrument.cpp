#include "instrument.h"

#include <algorithm>
#include <cstring>

#include "config/object_list_file.h"
#include "config/text_fields.h"
#include "faults.h"

namespace vexilo::sim {
namespace {

std::string field_context(std::string_view object, const ClassField& field) {
    return std::string(object) + ":" + std::string(text_of(field.name));
}

Reply acknowledge(std::string summary = "@") {
    Reply reply;
    reply.lines = {"@"};
    reply.summary = std::move(summary);
    return reply;
}

Reply refuse(const std::string& text) {
    Reply reply;
    reply.lines = {"@" + text};
    reply.summary = "@" + text;
    return reply;
}

}  // namespace

Instrument::Instrument(std::unique_ptr<Configuration> config, int remove_delay_ms)
    : config_(std::move(config)), remove_delay_ms_(remove_delay_ms) {}

Reply Instrument::answer(std::string_view command) {
    if (command == "GET_CONFIG") {
        Reply reply;
        reply.lines = configuration_text();
        reply.configuration = true;
        reply.summary = "configuration, " + decimal(static_cast<int>(reply.lines.size()) - 1) +
                        " lines and the end line";
        return reply;
    }
    if (command == "SET_BAUD 38400" || command == "SET_BAUD 9600") {
        Reply reply = acknowledge();
        reply.speed_after = command == "SET_BAUD 38400" ? HIGH_SPEED : LOW_SPEED;
        reply.summary = "@, then " + decimal(reply.speed_after) + " baud";
        return reply;
    }
    if (command_word(command) == "SET_BAUD") return refuse("Unsupported speed");
    if (command == "RES_OBJECTS") {
        remove_all_objects();
        Reply reply = acknowledge("@, all objects removed");
        reply.delay_ms = remove_delay_ms_;
        return reply;
    }
    if (command == "RSTRT") return acknowledge();
    if (command_word(command) == "DLD_OBJ") {
        const std::string_view line = command.size() > 8 ? command.substr(8) : std::string_view{};
        if (const auto refusal = download(line)) return refuse(*refusal);
        return acknowledge();
    }
    return refuse("Unknown command");
}

std::vector<std::string> Instrument::configuration_text() const {
    std::vector<std::string> lines = object_list_lines(*config_, {});
    // The instrument writes its headers in lower case; files have them in capitals.
    for (std::string& line : lines) {
        if (line == "[LISTS]") line = "[lists]";
        if (line == "[CLASSES]") line = "[classes]";
        if (line == "[OBJECTS]") line = "[objects]";
    }
    // The atoms section is not for the program to read; it names every object again, in a
    // form that a reader which wrongly went on past the header would trip over.
    lines.emplace_back("[atoms]");
    for (int o = 0; o < config_->object_count; ++o) {
        const ObjectRecord& object = config_->objects[o];
        lines.push_back(std::string(text_of(config_->classes[object.class_index].name)) + ";" +
                        std::string(text_of(object.name)));
    }
    lines.emplace_back("|END");
    return lines;
}

std::optional<std::string> Instrument::check_download(const std::vector<std::string_view>& fields,
                                                      int class_index) const {
    const ClassRecord& cls = config_->classes[class_index];
    const std::string_view name = fields[1];
    if (fields.size() > static_cast<std::size_t>(cls.field_count) + 2) {
        return "Too many values for " + std::string(name);
    }
    for (int f = 0; f < cls.field_count; ++f) {
        const ClassField& field = cls.fields[f];
        if (static_cast<std::size_t>(f) + 2 >= fields.size()) {
            return "Missing value for " + field_context(name, field);
        }
        const std::string_view value = fields[f + 2];
        switch (field.kind) {
            case FieldKind::Number:
                if (!to_int(value)) return "Not a number: " + field_context(name, field);
                break;
            case FieldKind::ListChoice: {
                const auto index = to_int(value);
                if (!index) return "Not a number: " + field_context(name, field);
                const bool list_known = field.list_number >= 0 && field.list_number < MAX_LISTS;
                if (!list_known || *index < 0 ||
                    *index >= config_->lists[field.list_number].entry_count) {
                    return "No such entry: " + field_context(name, field) + " = " +
                           std::string(value);
                }
                break;
            }
            case FieldKind::Text:
            case FieldKind::Atom:
                if (value.size() > static_cast<std::size_t>(MAX_TEXT_VALUE_LENGTH)) {
                    return "Text too long: " + field_context(name, field);
                }
                if (field.kind == FieldKind::Atom && !same_text(value, "None") &&
                    find_object(*config_, value) >= config_->object_count) {
                    return "Unknown object: " + field_context(name, field) + " = " +
                           std::string(value);
                }
                break;
        }
    }
    return std::nullopt;
}

std::optional<std::string> Instrument::download(std::string_view line) {
    std::vector<std::string_view> fields;
    if (!split_fields(line, fields)) return std::string("Too many values");
    const std::string_view class_name = field_at(fields, 0);
    const std::string_view name = field_at(fields, 1);
    if (class_name.empty()) return std::string("Missing object line");
    const int c = find_class(*config_, class_name);
    if (c >= config_->class_count) return "Unknown class: " + std::string(class_name);
    if (name.empty()) return std::string("Missing object name");
    if (name.size() > static_cast<std::size_t>(NAME_LENGTH)) {
        return "Object name too long: " + std::string(name);
    }
    if (auto refusal = check_download(fields, c)) return refusal;

    const int k = find_object(*config_, name);
    if (k == config_->object_count && k >= MAX_OBJECTS) return std::string("Object memory full");
    if (!make_room(k, c)) return std::string("Object memory full");

    ObjectRecord& object = config_->objects[k];
    store_text(object.name, name);
    object.class_index = c;
    const ClassRecord& cls = config_->classes[c];
    for (int f = 0; f < cls.field_count; ++f) {
        const std::string_view value = fields[f + 2];
        const FieldKind kind = cls.fields[f].kind;
        if (kind == FieldKind::Number || kind == FieldKind::ListChoice) {
            set_int_value(*config_, object, f, *to_int(value));
        } else {
            set_text_value(*config_, object, f, value);
        }
    }
    if (k == config_->object_count) ++config_->object_count;
    return std::nullopt;
}

// Gives object slot k a value block for class c: its old block when that is big enough,
// else a fresh one, packing the store first when it is full.
bool Instrument::make_room(int k, int c) {
    Configuration& config = *config_;
    const int size = config.classes[c].data_size;
    if (k < config.object_count &&
        config.classes[config.objects[k].class_index].data_size >= size) {
        return true;
    }
    if (!value_block_fits(config, c)) compact();
    if (!value_block_fits(config, c)) return false;
    config.objects[k].data_offset = config.data_used;
    config.data_used += size;
    return true;
}

// Replaced objects leave their old blocks behind; a long-running instrument takes them back.
void Instrument::compact() {
    Configuration& config = *config_;
    std::vector<unsigned char> packed;
    packed.reserve(static_cast<std::size_t>(config.data_used));
    for (int o = 0; o < config.object_count; ++o) {
        ObjectRecord& object = config.objects[o];
        const int size = config.classes[object.class_index].data_size;
        const auto offset = static_cast<int>(packed.size());
        packed.insert(packed.end(), config.object_data + object.data_offset,
                      config.object_data + object.data_offset + size);
        object.data_offset = offset;
    }
    std::memset(config.object_data, 0, sizeof config.object_data);
    std::copy(packed.begin(), packed.end(), config.object_data);
    config.data_used = static_cast<int>(packed.size());
}

std::optional<std::string> Instrument::misstore(std::string_view name) {
    const int k = find_object(*config_, name);
    if (k >= config_->object_count) return std::nullopt;
    ObjectRecord& object = config_->objects[k];
    const ClassRecord& cls = config_->classes[object.class_index];
    // The first field that can take another value and still read: an atom may name nothing
    // else for sure, so it is passed over.
    for (int f = 0; f < cls.field_count; ++f) {
        const ClassField& field = cls.fields[f];
        if (field.kind == FieldKind::Number) {
            set_int_value(*config_, object, f, get_int_value(*config_, object, f) + 1);
        } else if (field.kind == FieldKind::ListChoice) {
            const bool list_known = field.list_number >= 0 && field.list_number < MAX_LISTS;
            const int entries = list_known ? config_->lists[field.list_number].entry_count : 0;
            if (entries < 2) continue;
            set_int_value(*config_, object, f, (get_int_value(*config_, object, f) + 1) % entries);
        } else if (field.kind == FieldKind::Text) {
            std::string text(get_text_value(*config_, object, f));
            if (text.size() >= static_cast<std::size_t>(MAX_TEXT_VALUE_LENGTH)) text.pop_back();
            set_text_value(*config_, object, f, text + (text.ends_with('X') ? "Y" : "X"));
        } else {
            continue;
        }
        return std::string(text_of(field.name));
    }
    return std::nullopt;
}

void Instrument::remove_all_objects() {
    config_->object_count = 0;
    config_->data_used = 0;
    std::memset(config_->object_data, 0, sizeof config_->object_data);
}

}  // namespace vexilo::sim
