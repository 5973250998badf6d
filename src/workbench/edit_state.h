#pragma once
// What the "Edit Object Lists" page works on: the source it copies from, the list it builds,
// and the two flags that say how far the operator has got. The main window owns one for the
// whole run; the page and the new object dialog keep references to it.

#include <memory>
#include <string>

#include "config/configuration.h"

namespace vexilo {

struct EditState {
    EditState();

    // Both configurations emptied, the source name cleared, both flags set.
    void reset();

    // On the heap: each is a quarter of a megabyte. The objects never move, so the new
    // object dialog may hold a reference to the destination.
    std::unique_ptr<Configuration> source;       // a copy of the instrument's, or a file's
    std::unique_ptr<Configuration> destination;  // the list being built, line i is object i
    std::string source_name;                     // the file's full path, or "NIMBRA"
    bool no_source_yet = true;                   // the source holds nothing to build from
    bool destination_needs_classes = true;       // the list is empty and has no classes yet
};

}  // namespace vexilo
