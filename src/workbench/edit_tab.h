#pragma once
// The "Edit Object Lists" page of the service presentation, and the editing state the main
// window owns for it: the source configuration, the destination object list and their
// flags. The page's controls and commands come with the object list editing.

#include <QWidget>
#include <memory>

#include "config/configuration.h"

namespace vexilo {

struct EditState {
    EditState();

    // Both configurations emptied, both flags set.
    void reset();

    std::unique_ptr<Configuration> source;       // a copy of the instrument's, or a file
    std::unique_ptr<Configuration> destination;  // the list being built
    bool no_source_yet = true;
    bool destination_needs_classes = true;
};

class EditTab : public QWidget {
    Q_OBJECT
  public:
    EditTab(EditState& state, QWidget* parent = nullptr);

    // Empties the page's object lists (the window's creation does this once).
    void clear_lists();

    EditState& state() { return state_; }

  private:
    EditState& state_;
};

}  // namespace vexilo
