#pragma once
// What a send would change: each object of the lists, converted as the download converts
// it, set against the object of that name the instrument holds. The same comparison serves
// the plan the operator reads and the send that leaves out what the instrument already has.

#include <string>
#include <string_view>
#include <vector>

#include "configuration.h"

namespace vexilo {

enum class PlanKind { New, Changed, Unchanged, Misfit, OnlyOnInstrument };

// One field whose value the send would change, as the operator reads it in the instrument's
// terms: the entry name of a ListChoice, a Number with the instrument's units.
struct FieldChange {
    std::string field;
    std::string old_value;
    std::string new_value;
};

struct PlanEntry {
    PlanKind kind = PlanKind::New;
    std::string list;  // the list the object comes from; empty for the instrument's own
    std::string class_name;
    std::string object_name;
    // Changed: the class the instrument holds the object in, when that is another class.
    std::string old_class;
    std::vector<FieldChange> fields;  // Changed
    std::string message;              // Misfit: why it does not fit, as a send says it
    std::string command;              // New, Changed: the "DLD_OBJ " command that sends it
};

struct Plan {
    // False when a list could not be read; error then says why and entries are incomplete.
    bool ok = true;
    std::string error;
    std::vector<PlanEntry> entries;  // the lists' objects in list order, then the instrument's

    int count(PlanKind kind) const;
    // The commands of the new and changed objects, in list order.
    std::vector<std::string> commands() const;
};

// Plans each object list file against the instrument's configuration. Misfits are entries,
// not stops, so that the operator sees every one; no message box is shown.
Plan plan_lists(const Configuration& instrument, const std::vector<std::string>& paths);

// Plans the named objects of one list configuration (as the selected rows name them).
Plan plan_objects(const Configuration& list, const Configuration& instrument,
                  const std::vector<std::string>& object_names);

// Plans download commands ("DLD_OBJ " and a line) that a send has already queued, in order.
// Only new, changed and unchanged entries result; nothing for the instrument's own objects.
Plan plan_commands(const Configuration& instrument, const std::vector<std::string>& commands);

// The line the instrument's object k gives, in the form of a download line: the class,
// the name, then every value in the order of its class's fields, each followed by ";".
std::string object_download_line(const Configuration& config, int k);

// Stores the object of an acknowledged download command (or bare line) in the
// configuration as the instrument now holds it, replacing an object of the same name. False
// when the line does not fit the configuration; the configuration may then be half changed
// and should be forgotten. Shows no message.
bool apply_download_line(Configuration& config, std::string_view line);

// The word for a kind in plans printed or shown: "new", "changed", ...
const char* plan_kind_name(PlanKind kind);

}  // namespace vexilo
