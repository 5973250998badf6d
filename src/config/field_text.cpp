#include "field_text.h"

#include "sections.h"
#include "text_fields.h"

namespace vexilo {

std::string field_value_text(const Configuration& config, const ObjectRecord& object, int field) {
    if (object.class_index < 0 || object.class_index >= config.class_count) return {};
    const ClassRecord& cls = config.classes[object.class_index];
    if (field < 0 || field >= cls.field_count) return {};
    const ClassField& f = cls.fields[field];
    switch (f.kind) {
        case FieldKind::Number:
            return decimal(get_int_value(config, object, field));
        case FieldKind::ListChoice: {
            const std::int32_t value = get_int_value(config, object, field);
            if (f.list_number >= 0 && f.list_number < MAX_LISTS) {
                const ValueList& list = config.lists[f.list_number];
                // Slots past entry_count may hold entries of an earlier reading: not this list's.
                const int count =
                    list.entry_count < MAX_LIST_ENTRIES ? list.entry_count : MAX_LIST_ENTRIES;
                if (value >= 0 && value < count) return std::string(text_of(list.entries[value]));
            }
            return decimal(value);
        }
        case FieldKind::Text:
        case FieldKind::Atom:
            return std::string(get_text_value(config, object, field));
    }
    return {};
}

std::string field_units_text(const ClassField& field) {
    const std::string_view units = text_of(field.units);
    if (same_text(units, "E")) return {};
    return std::string(units);
}

ObjectLineRange find_object_lines(const std::vector<std::string>& lines) {
    const SectionRange objects = find_sections(lines)[SectionObjects];
    ObjectLineRange range;
    if (!objects.present) return range;
    range.first = objects.begin;
    range.end = objects.end;
    return range;
}

}  // namespace vexilo
