#include "conversion.h"

#include <ctime>

#include "messages.h"
#include "text_fields.h"

namespace vexilo {
namespace {

std::string text(std::string_view a) {
    return std::string(a);
}

// The field of class `from` that corresponds to field p of class `to`. The maps hold the
// answer for the class they were built from; an object of an earlier class of the same name
// (a class name that occurs twice) is matched by name directly, so that no field index of
// one class is ever used on another.
int corresponding_field(const ClassMaps& maps, int to_class, const ClassRecord& to, int p,
                        const ClassRecord& from) {
    const int m = maps.field_map(to_class, p);
    if (m >= 0 && m < from.field_count &&
        same_text(text_of(from.fields[m].name), text_of(to.fields[p].name))) {
        return m;
    }
    return find_field(from, text_of(to.fields[p].name));
}

// The text that stands for a ListChoice value in a report line: its entry name, or the
// value itself when it names no entry.
std::string choice_text(const Configuration& config, std::int32_t list_number, std::int32_t value) {
    if (const auto entry = list_entry_name(config, list_number, value)) return text(*entry);
    return "value " + decimal(value);
}

// The entry index of `entry` in the receiving list, or -1 when the list number addresses no
// list or the list has no such entry.
int receiving_index(const Configuration& config, std::int32_t list_number,
                    const std::optional<std::string_view>& entry) {
    if (!entry || list_number < 0 || list_number >= MAX_LISTS) return -1;
    return find_list_entry(config.lists[list_number], *entry);
}

std::string set_to(std::string_view field, std::string_view object, std::int32_t value,
                   const char* why) {
    return "Set " + text(field) + " of " + text(object) + " to " + decimal(value) +
           " because the corresponding field in the source was " + why;
}

// Clamps v into the field's range, min first, with the report line that says so.
std::int32_t clamped(const ClassField& f, std::int32_t v, std::string_view object_name) {
    if (v < f.min) {
        write_to_log(set_to(text_of(f.name), object_name, f.min, "too small"));
        return f.min;
    }
    if (v > f.max) {
        write_to_log(set_to(text_of(f.name), object_name, f.max, "too big"));
        return f.max;
    }
    return v;
}

void report_not_an_option(std::string_view field, std::string_view object, std::string_view entry) {
    write_to_log("Set " + text(field) + " of " + text(object) + " to default because " +
                 text(entry) + " is not an option");
}

LogSink* g_log_sink = nullptr;

}  // namespace

// ---- class and field maps ----

void ClassMaps::reset() {
    class_map_.fill(-1);
    for (auto& row : field_map_)
        row.fill(-1);
}

void ClassMaps::map_classes(const Configuration& from, const Configuration& to) {
    reset();
    const int to_count = to.class_count < MAX_CLASSES ? to.class_count : MAX_CLASSES;
    for (int x = 0; x < to_count; ++x) {
        const ClassRecord& cls = to.classes[x];
        const int k = find_class(from, text_of(cls.name));
        const bool found = k < from.class_count && k < MAX_CLASSES;
        if (found) class_map_[k] = x;
        for (int i = 0; i < cls.field_count && i < MAX_FIELDS; ++i) {
            field_map_[x][i] =
                found ? find_field(from.classes[k], text_of(cls.fields[i].name)) : -1;
        }
    }
}

int ClassMaps::class_map(int from_class) const {
    return from_class >= 0 && from_class < MAX_CLASSES ? class_map_[from_class] : -1;
}

int ClassMaps::field_map(int to_class, int field) const {
    if (to_class < 0 || to_class >= MAX_CLASSES || field < 0 || field >= MAX_FIELDS) return -1;
    return field_map_[to_class][field];
}

// ---- helpers ----

int find_list_entry(const ValueList& list, std::string_view name) {
    const int count = list.entry_count < MAX_LIST_ENTRIES ? list.entry_count : MAX_LIST_ENTRIES;
    int found = -1;
    for (int i = 0; i < count; ++i) {
        if (same_text(text_of(list.entries[i]), name)) found = i;
    }
    return found;
}

std::optional<std::string_view> list_entry_name(const Configuration& config,
                                                std::int32_t list_number, std::int32_t value) {
    if (list_number < 0 || list_number >= MAX_LISTS) return std::nullopt;
    const ValueList& list = config.lists[list_number];
    if (value < 0 || value >= list.entry_count || value >= MAX_LIST_ENTRIES) return std::nullopt;
    return text_of(list.entries[value]);
}

bool set_field_to_default(Configuration& config, const ObjectRecord& target, int p,
                          std::string_view reason) {
    const ClassField& field = config.classes[target.class_index].fields[p];
    switch (field.kind) {
        case FieldKind::Text:
            set_text_value(config, target, p, "Unknown");
            return true;
        case FieldKind::Atom:
            write_to_log("Didnt include " + text(text_of(target.name)) + " because " +
                         text(reason) + " and there is no default");
            return false;
        case FieldKind::Number:
        case FieldKind::ListChoice:
            set_int_value(config, target, p, field.default_value);
            return true;
    }
    return false;
}

// ---- careful add ----

CarefulAdd::CarefulAdd(const Configuration& source, Configuration& destination)
    : source_(source), destination_(destination), maps_(source, destination) {}

namespace {

std::string folded_name(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

}  // namespace

int CarefulAdd::find_destination_object(std::string_view name) {
    const Configuration& dest = destination_;
    // A name longer than any stored name matches none, as in find_object.
    if (name.size() > static_cast<std::size_t>(NAME_LENGTH)) return dest.object_count;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (indexed_count_ != dest.object_count || attempt > 0) {
            objects_by_name_.clear();
            for (int i = 0; i < dest.object_count; ++i)
                objects_by_name_[folded_name(text_of(dest.objects[i].name))] = i;
            indexed_count_ = dest.object_count;
        }
        const auto found = objects_by_name_.find(folded_name(name));
        if (found == objects_by_name_.end()) return dest.object_count;
        const int j = found->second;
        if (j < dest.object_count && same_text(text_of(dest.objects[j].name), name)) return j;
    }
    return find_object(dest, name);
}

bool CarefulAdd::refuse(std::string line) {
    write_to_log(line);
    refusal_ = std::move(line);
    return false;
}

bool CarefulAdd::add_object_carefully(int k) {
    refusal_.clear();
    const Configuration& source = source_;
    Configuration& dest = destination_;
    if (k < 0 || k >= source.object_count) return false;
    const ObjectRecord& o = source.objects[k];
    const ClassRecord& sc = source.classes[o.class_index];
    const std::string name = text(text_of(o.name));

    const int dc = find_class(dest, text_of(sc.name));
    if (dc >= dest.class_count) {
        return refuse("Didnt include " + name + " because there are no " + text(text_of(sc.name)) +
                      "s in the destination list");
    }

    const int j = find_destination_object(name);
    const bool fresh = j >= dest.object_count;
    const std::int32_t data_before = dest.data_used;
    if (!fresh) {
        const ClassRecord& existing = dest.classes[dest.objects[j].class_index];
        if (!same_text(text_of(existing.name), text_of(sc.name))) {
            return refuse("Didnt include " + name + " because theres a " +
                          text(text_of(existing.name)) +
                          "' with that name in the destination list");
        }
    } else {
        if (dest.object_count >= MAX_OBJECTS || !value_block_fits(dest, dc)) {
            // The report line alone would leave the operator believing the object was added.
            if (!full_shown_) {
                show_error("The destination list is full: it holds at most " +
                           decimal(MAX_OBJECTS) + " objects and " + decimal(OBJECT_DATA_SIZE) +
                           " bytes of object values");
                full_shown_ = true;
            }
            return refuse("Didnt include " + name + " because the destination list is full");
        }
        ObjectRecord& slot = dest.objects[dest.object_count];
        store_text(slot.name, name);
        slot.class_index = dc;
        slot.data_offset = dest.data_used;
        dest.data_used += dest.classes[dc].data_size;
    }
    const ObjectRecord& target = fresh ? dest.objects[dest.object_count] : dest.objects[j];
    // An object that is overwritten keeps its own class; with a class name that occurs twice
    // in the destination that need not be dc, and its value block follows its own class.
    const int tc = target.class_index;
    const ClassRecord& cls = dest.classes[tc];
    const std::string target_name = text(text_of(target.name));

    for (int p = 0; p < cls.field_count; ++p) {
        const ClassField& f = cls.fields[p];
        const int s = corresponding_field(maps_, tc, cls, p, sc);
        std::string reason;
        if (s < 0) {
            reason = text(text_of(f.name)) + " isnt defined in the source";
        } else if (sc.fields[s].kind != f.kind) {
            reason = text(text_of(f.name)) + " has a different type in the source";
        } else if (f.kind == FieldKind::Number &&
                   !same_text(text_of(sc.fields[s].units), text_of(f.units))) {
            reason = text(text_of(f.name)) + " has different units in the source";
        }
        if (!reason.empty()) {
            if (!set_field_to_default(dest, target, p, reason)) {
                refusal_ = "Didnt include " + target_name + " because " + reason +
                           " and there is no default";
                // A new object's block was never visible to anyone: hand it back.
                if (fresh) dest.data_used = data_before;
                return false;
            }
            write_to_log("Set " + text(text_of(f.name)) + " of " + target_name +
                         " to default because " + reason);
            continue;
        }
        const ClassField& sf = sc.fields[s];
        switch (f.kind) {
            case FieldKind::Number:
                set_int_value(dest, target, p,
                              clamped(f, get_int_value(source, o, s), target_name));
                break;
            case FieldKind::ListChoice: {
                const std::int32_t i = get_int_value(source, o, s);
                const auto entry = list_entry_name(source, sf.list_number, i);
                const int n = receiving_index(dest, f.list_number, entry);
                if (n >= 0) {
                    set_int_value(dest, target, p, n);
                } else {
                    set_int_value(dest, target, p, f.default_value);
                    report_not_an_option(text_of(f.name), target_name,
                                         choice_text(source, sf.list_number, i));
                }
                break;
            }
            case FieldKind::Text:
            case FieldKind::Atom:
                set_text_value(dest, target, p, get_text_value(source, o, s));
                break;
        }
    }
    if (fresh) {
        ++dest.object_count;
        if (indexed_count_ == dest.object_count - 1) {
            objects_by_name_[folded_name(text_of(target.name))] = dest.object_count - 1;
            indexed_count_ = dest.object_count;
        }
    }
    return true;
}

// ---- download ----

bool report_number_difference(std::string_view t, std::int64_t a, std::int64_t b) {
    if (a == b) return false;
    show_error(text(t) + decimal(a) + " vs " + decimal(b));
    return true;
}

bool report_text_difference(std::string_view t, std::string_view a, std::string_view b) {
    if (a == b) return false;
    show_error(text(t) + text(a) + " vs " + text(b));
    return true;
}

bool compare_fields_for_download(std::string_view prefix, const ClassField& a,
                                 const ClassField& b) {
    const std::string p(prefix);
    if (report_number_difference(p + ": type: ", static_cast<int>(a.kind),
                                 static_cast<int>(b.kind))) {
        return true;
    }
    if (a.kind == FieldKind::Number) {
        return report_text_difference(p + ": units: ", text_of(a.units), text_of(b.units));
    }
    if (a.kind == FieldKind::ListChoice) {
        return report_number_difference(p + ": list number: ", a.list_number, b.list_number);
    }
    return false;
}

DownloadConverter::DownloadConverter(const Configuration& list, const Configuration& instrument,
                                     LineList& output_box, LineList& cmd_box)
    : list_(list),
      instrument_(instrument),
      output_box_(output_box),
      cmd_box_(cmd_box),
      maps_(list, instrument) {}

namespace {

// The check of one list class against the instrument's class of that name.
bool class_misfits(const ClassMaps& maps, std::string_view name, const ClassRecord* lc,
                   const Configuration& instrument) {
    const int tc = find_class(instrument, name);
    if (tc >= instrument.class_count) {
        show_error("Class: " + text(name) + " is not defined");
        return true;
    }
    const ClassRecord& instrument_class = instrument.classes[tc];
    const std::string_view list_class_name = lc != nullptr ? text_of(lc->name) : name;
    for (int i = 0; i < instrument_class.field_count; ++i) {
        const ClassField& b = instrument_class.fields[i];
        // Built only for a field that fails: nearly all of them pass.
        const auto prefix = [&] {
            return "Class \"" + text(list_class_name) + "\",Field \"" + text(text_of(b.name)) +
                   "\"";
        };
        const int m = lc != nullptr ? corresponding_field(maps, tc, instrument_class, i, *lc) : -1;
        if (m < 0) {
            show_error(prefix() + " is not defined");
            return true;
        }
        const ClassField& a = lc->fields[m];
        const bool same = a.kind == b.kind &&
                          (a.kind != FieldKind::Number || text_of(a.units) == text_of(b.units)) &&
                          (a.kind != FieldKind::ListChoice || a.list_number == b.list_number);
        if (!same && compare_fields_for_download(prefix() + ":", a, b)) return true;
    }
    return false;
}

}  // namespace

bool DownloadConverter::check_class_for_download(std::string_view class_name) const {
    return class_misfits(maps_, class_name, class_by_name(list_, class_name), instrument_);
}

std::string DownloadConverter::object_name_for_report(const ObjectRecord& object) const {
    const int i = find_object(instrument_, text_of(object.name));
    return text(i < instrument_.object_count ? text_of(instrument_.objects[i].name)
                                             : text_of(object.name));
}

bool DownloadConverter::make_download_line(int k) {
    if (k < 0 || k >= list_.object_count) return false;
    const ObjectRecord& o = list_.objects[k];
    const ClassRecord& lc = list_.classes[o.class_index];
    const int tc = find_class(instrument_, text_of(lc.name));
    if (tc >= instrument_.class_count) {
        class_misfits(maps_, text_of(lc.name), &lc, instrument_);
        return false;
    }
    const ClassRecord& instrument_class = instrument_.classes[tc];
    // A CR or LF would end the command there and send the rest as one of its own, a zero
    // byte cut it, XON or XOFF pause the line: such an object is refused, by name. Any other
    // character goes as the operator wrote it.
    const auto refuse_control = [&](std::string_view value, const std::string& where) {
        if (line_breaking_char_at(value) == std::string_view::npos) return false;
        show_error(control_char_message(value, where) + ": " + printable(text_of(o.name)) +
                   " cannot be sent to the Nimbra");
        return true;
    };
    if (refuse_control(text_of(lc.name), "the class name of object " + text(text_of(o.name))) ||
        refuse_control(text_of(o.name), "the name of object " + text(text_of(o.name)))) {
        return false;
    }
    std::string line = text(text_of(lc.name)) + ";" + text(text_of(o.name)) + ";";
    for (int p = 0; p < instrument_class.field_count; ++p) {
        const ClassField& f = instrument_class.fields[p];
        const int s = corresponding_field(maps_, tc, instrument_class, p, lc);
        if (s < 0 || lc.fields[s].kind != f.kind) {
            // Only reached without a passed check; the check says what does not fit.
            class_misfits(maps_, text_of(lc.name), &lc, instrument_);
            return false;
        }
        switch (f.kind) {
            case FieldKind::Number: {
                const std::int32_t v = get_int_value(list_, o, s);
                const std::int32_t c =
                    (v < f.min || v > f.max) ? clamped(f, v, object_name_for_report(o)) : v;
                line += decimal(c) + ";";
                break;
            }
            case FieldKind::ListChoice: {
                const std::int32_t i = get_int_value(list_, o, s);
                const std::int32_t list_number = lc.fields[s].list_number;
                const auto entry = list_entry_name(list_, list_number, i);
                const int n = receiving_index(instrument_, f.list_number, entry);
                if (n >= 0) {
                    line += decimal(n) + ";";
                } else {
                    line += decimal(f.default_value) + ";";
                    report_not_an_option(text_of(f.name), object_name_for_report(o),
                                         choice_text(list_, list_number, i));
                }
                break;
            }
            case FieldKind::Text:
                if (refuse_control(get_text_value(list_, o, s),
                                   text(text_of(o.name)) + ":" + text(text_of(f.name)))) {
                    return false;
                }
                line += text(get_text_value(list_, o, s)) + ";";
                break;
            case FieldKind::Atom: {
                const std::string_view t = get_text_value(list_, o, s);
                if (refuse_control(t, text(text_of(o.name)) + ":" + text(text_of(f.name)))) {
                    return false;
                }
                if (!same_text(t, "None")) {
                    if (find_object(list_, t) >= list_.object_count) {
                        show_error("Unknown object: \"" + text(t) + "\"");
                        return false;
                    }
                    const int y = class_of_object(list_, t);
                    const int g = maps_.class_map(y);
                    const std::string identification = text(text_of(list_.classes[y].name)) +
                                                       " referenced by " + text(text_of(o.name)) +
                                                       ":" + text(text_of(f.name)) + " as " +
                                                       text(t) + ": ";
                    if (g < 0) {
                        show_error(identification + "No such class!");
                        return false;
                    }
                    if ((f.allowed_classes & (std::uint32_t{1} << g)) == 0) {
                        show_error(identification + "Wrong class!");
                        return false;
                    }
                }
                line += text(t) + ";";
                break;
            }
        }
    }
    output_box_.add("adding to download list: " + line);
    cmd_box_.add("DLD_OBJ " + line);
    return true;
}

bool DownloadConverter::queue_object(int k) {
    if (k < 0 || k >= list_.object_count) return false;
    const ClassRecord& lc = list_.classes[list_.objects[k].class_index];
    if (class_misfits(maps_, text_of(lc.name), &lc, instrument_)) return false;
    return make_download_line(k);
}

// ---- the diagnostic log ----

LogSink* set_log_sink(LogSink* sink) {
    LogSink* previous = g_log_sink;
    g_log_sink = sink;
    return previous;
}

bool log_enabled() {
    return g_log_sink != nullptr;
}

void write_to_log(std::string_view line) {
    if (g_log_sink != nullptr) g_log_sink->write(text(line));
}

std::string current_date_time() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char buffer[32];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(buffer, n);
}

}  // namespace vexilo
