#include "edit_state.h"

namespace vexilo {

EditState::EditState()
    : source(std::make_unique<Configuration>()), destination(std::make_unique<Configuration>()) {
    reset();
}

void EditState::reset() {
    clear_configuration(*source);
    clear_configuration(*destination);
    source_name.clear();
    no_source_yet = true;
    destination_needs_classes = true;
}

}  // namespace vexilo
