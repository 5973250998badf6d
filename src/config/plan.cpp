#include "plan.h"

#include <cstring>
#include <memory>
#include <set>
#include <utility>

#include "conversion.h"
#include "encoding.h"
#include "field_text.h"
#include "list_loader.h"
#include "messages.h"
#include "object_list_file.h"
#include "reader.h"
#include "text_fields.h"
#include "text_file.h"

namespace vexilo {
namespace {

constexpr std::string_view kCommand = "DLD_OBJ ";

// Keeps the messages of a conversion for the plan instead of showing them: a plan reports
// every misfit as an entry, and a quiet update must not raise boxes after a good send.
class MessageKeeper final : public MessageHandler {
  public:
    void show_error(const std::string& text) override {
        if (first_.empty()) first_ = text;
    }
    void show_info(const std::string&) override {}
    bool ask_yes_no(const std::string&) override { return false; }
    std::string take() { return std::exchange(first_, {}); }

  private:
    std::string first_;
};

std::string_view line_of(std::string_view command) {
    if (command.size() >= kCommand.size() && command.substr(0, kCommand.size()) == kCommand) {
        command.remove_prefix(kCommand.size());
    }
    return command;
}

// ASCII upper case, for the set of names the lists give.
std::string name_key(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

std::string value_with_units(const Configuration& config, const ObjectRecord& object, int f) {
    std::string value = field_value_text(config, object, f);
    const ClassField& field = config.classes[object.class_index].fields[f];
    const std::string units = field_units_text(field);
    if (field.kind == FieldKind::Number && !units.empty()) value += " " + units;
    return value;
}

// Moves the values of every object but `skip` to the front of the value store, so that the
// blocks of replaced objects are handed out again.
void compact_values(Configuration& config, int skip) {
    std::vector<unsigned char> old(config.object_data, config.object_data + config.data_used);
    std::int32_t used = 0;
    for (int k = 0; k < config.object_count; ++k) {
        if (k == skip) continue;
        ObjectRecord& object = config.objects[k];
        const std::int32_t size = config.classes[object.class_index].data_size;
        if (size > 0) std::memcpy(config.object_data + used, old.data() + object.data_offset, size);
        object.data_offset = used;
        used += size;
    }
    config.data_used = used;
}

bool apply_quietly(Configuration& config, std::string_view line) {
    std::string_view cursor = line;
    const std::string_view class_name = next_field(cursor, ';');
    const std::string_view object_name = next_field(cursor, ';');
    const int c = find_class(config, class_name);
    if (c >= config.class_count || object_name.empty()) return false;
    const int j = find_object(config, object_name);
    const int k = j < config.object_count ? j : config.object_count;
    if (k >= MAX_OBJECTS) return false;
    // The replaced object's block is given up, so the copy never fills up with values the
    // instrument no longer holds.
    if (!value_block_fits(config, c)) compact_values(config, k);
    return read_object_line(config, line, k);
}

// Compares converted objects with a copy of the instrument's configuration that takes each
// planned object in turn, so a name that comes twice is compared with its earlier version.
class Planner {
  public:
    explicit Planner(const Configuration& instrument)
        : instrument_(instrument),
          held_(std::make_unique<Configuration>(instrument)),
          probe_(std::make_unique<Configuration>(instrument)) {}

    void add_command(const std::string& list, const std::string& command) {
        PlanEntry entry;
        entry.list = list;
        const std::string_view line = line_of(command);
        std::string_view cursor = line;
        entry.class_name = std::string(next_field(cursor, ';'));
        entry.object_name = std::string(next_field(cursor, ';'));
        named_.insert(name_key(entry.object_name));
        const int j = find_object(*held_, entry.object_name);
        if (j >= held_->object_count) {
            entry.kind = PlanKind::New;
        } else if (object_download_line(*held_, j) == line) {
            entry.kind = PlanKind::Unchanged;
        } else {
            entry.kind = PlanKind::Changed;
            describe_change(entry, j, line);
        }
        if (entry.kind != PlanKind::Unchanged) {
            entry.command = command;
            apply_quietly(*held_, line);
        }
        plan_.entries.push_back(std::move(entry));
    }

    void add_misfit(const std::string& list, const Configuration& config, int k,
                    std::string message) {
        PlanEntry entry;
        entry.kind = PlanKind::Misfit;
        entry.list = list;
        entry.class_name = std::string(text_of(config.classes[config.objects[k].class_index].name));
        entry.object_name = std::string(text_of(config.objects[k].name));
        entry.message = std::move(message);
        named_.insert(name_key(entry.object_name));
        plan_.entries.push_back(std::move(entry));
    }

    // Converts the objects of one list configuration, each on its own: a misfit is noted and
    // the next object goes on.
    void add_objects(const std::string& list, const Configuration& config,
                     const std::vector<int>& objects) {
        VectorLineList notes;
        VectorLineList commands;
        DownloadConverter converter(config, instrument_, notes, commands);
        for (const int k : objects) {
            commands.clear();
            keeper_.take();
            if (converter.queue_object(k) && !commands.lines.empty()) {
                add_command(list, commands.lines.front());
            } else {
                add_misfit(list, config, k, keeper_.take());
            }
        }
    }

    void fail(std::string error) {
        plan_.ok = false;
        plan_.error = error.empty() ? std::string("Download cancelled") : std::move(error);
    }

    MessageKeeper& keeper() { return keeper_; }

    Plan finish(bool with_instrument_objects) {
        if (with_instrument_objects) {
            for (int k = 0; k < instrument_.object_count; ++k) {
                const ObjectRecord& object = instrument_.objects[k];
                if (named_.count(name_key(text_of(object.name))) != 0) continue;
                PlanEntry entry;
                entry.kind = PlanKind::OnlyOnInstrument;
                entry.class_name =
                    std::string(text_of(instrument_.classes[object.class_index].name));
                entry.object_name = std::string(text_of(object.name));
                plan_.entries.push_back(std::move(entry));
            }
        }
        return std::move(plan_);
    }

  private:
    void describe_change(PlanEntry& entry, int j, std::string_view line) {
        const ObjectRecord& old = held_->objects[j];
        const ClassRecord& old_class = held_->classes[old.class_index];
        probe_->object_count = 0;
        probe_->data_used = 0;
        if (!read_object_line(*probe_, line, 0)) {
            keeper_.take();
            return;
        }
        const ObjectRecord& now = probe_->objects[0];
        const ClassRecord& new_class = probe_->classes[now.class_index];
        if (now.class_index != old.class_index) {
            entry.old_class = std::string(text_of(old_class.name));
        } else if (text_of(old_class.name) != entry.class_name) {
            entry.fields.push_back(
                {"class", std::string(text_of(old_class.name)), entry.class_name});
        }
        if (text_of(old.name) != entry.object_name) {
            entry.fields.push_back({"name", std::string(text_of(old.name)), entry.object_name});
        }
        for (int f = 0; f < new_class.field_count; ++f) {
            const int o = find_field(old_class, text_of(new_class.fields[f].name));
            std::string before = o >= 0 ? value_with_units(*held_, old, o) : std::string();
            std::string after = value_with_units(*probe_, now, f);
            // The raw values decide: two entries of one name still differ for the instrument.
            const bool differs = o < 0 || old_class.fields[o].kind != new_class.fields[f].kind ||
                                 before != after ||
                                 field_raw(*held_, old, o) != field_raw(*probe_, now, f);
            if (differs) {
                entry.fields.push_back(
                    {std::string(text_of(new_class.fields[f].name)), before, after});
            }
        }
    }

    static std::string field_raw(const Configuration& config, const ObjectRecord& object, int f) {
        const ClassField& field = config.classes[object.class_index].fields[f];
        if (field.kind == FieldKind::Number || field.kind == FieldKind::ListChoice) {
            return decimal(get_int_value(config, object, f));
        }
        return std::string(get_text_value(config, object, f));
    }

    const Configuration& instrument_;
    std::unique_ptr<Configuration> held_;
    std::unique_ptr<Configuration> probe_;
    MessageKeeper keeper_;
    std::set<std::string> named_;
    Plan plan_;
};

std::vector<int> all_objects(const Configuration& config) {
    std::vector<int> objects(static_cast<std::size_t>(config.object_count));
    for (int k = 0; k < config.object_count; ++k)
        objects[static_cast<std::size_t>(k)] = k;
    return objects;
}

}  // namespace

int Plan::count(PlanKind kind) const {
    int n = 0;
    for (const PlanEntry& entry : entries)
        n += entry.kind == kind ? 1 : 0;
    return n;
}

std::vector<std::string> Plan::commands() const {
    std::vector<std::string> out;
    for (const PlanEntry& entry : entries) {
        if (entry.kind == PlanKind::New || entry.kind == PlanKind::Changed) {
            out.push_back(entry.command);
        }
    }
    return out;
}

Plan plan_lists(const Configuration& instrument, const std::vector<std::string>& paths) {
    Planner planner(instrument);
    ScopedMessageHandler quiet(planner.keeper());
    auto work = std::make_unique<Configuration>();
    for (const std::string& path : paths) {
        const ListLoad load = load_list_file(path, *work);
        if (!load.ok()) {
            planner.fail(load.message());
            return planner.finish(false);
        }
        planner.add_objects(list_name(path), *work, all_objects(*work));
    }
    return planner.finish(true);
}

Plan plan_objects(const Configuration& list, const Configuration& instrument,
                  const std::vector<std::string>& object_names) {
    Planner planner(instrument);
    ScopedMessageHandler quiet(planner.keeper());
    std::vector<int> objects;
    for (const std::string& name : object_names) {
        const int k = find_object(list, name);
        if (k >= list.object_count) {
            planner.fail("Unknown object: \"" + name + "\"");
            return planner.finish(false);
        }
        objects.push_back(k);
    }
    planner.add_objects({}, list, objects);
    return planner.finish(true);
}

Plan plan_commands(const Configuration& instrument, const std::vector<std::string>& commands) {
    Planner planner(instrument);
    ScopedMessageHandler quiet(planner.keeper());
    for (const std::string& command : commands)
        planner.add_command({}, command);
    return planner.finish(false);
}

std::string object_download_line(const Configuration& config, int k) {
    const ObjectRecord& object = config.objects[k];
    const ClassRecord& cls = config.classes[object.class_index];
    std::string line =
        std::string(text_of(cls.name)) + ";" + std::string(text_of(object.name)) + ";";
    for (int f = 0; f < cls.field_count; ++f) {
        const FieldKind kind = cls.fields[f].kind;
        if (kind == FieldKind::Number || kind == FieldKind::ListChoice) {
            line += decimal(get_int_value(config, object, f));
        } else {
            line += get_text_value(config, object, f);
        }
        line += ';';
    }
    return line;
}

bool apply_download_line(Configuration& config, std::string_view line) {
    MessageKeeper keeper;
    ScopedMessageHandler quiet(keeper);
    return apply_quietly(config, line_of(line));
}

const char* plan_kind_name(PlanKind kind) {
    switch (kind) {
        case PlanKind::New:
            return "new";
        case PlanKind::Changed:
            return "changed";
        case PlanKind::Unchanged:
            return "unchanged";
        case PlanKind::Misfit:
            return "misfit";
        case PlanKind::OnlyOnInstrument:
            return "only in the Nimbra";
    }
    return "";
}

}  // namespace vexilo
