#include "workbench/edit_tab.h"

namespace vexilo {

EditState::EditState()
    : source(std::make_unique<Configuration>()), destination(std::make_unique<Configuration>()) {
    reset();
}

void EditState::reset() {
    clear_configuration(*source);
    clear_configuration(*destination);
    no_source_yet = true;
    destination_needs_classes = true;
}

EditTab::EditTab(EditState& state, QWidget* parent) : QWidget(parent), state_(state) {
    setObjectName(QStringLiteral("edit_tab"));
}

void EditTab::clear_lists() {}

}  // namespace vexilo
