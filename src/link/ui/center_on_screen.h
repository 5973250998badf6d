#pragma once

class QWidget;

namespace vexilo {

// Moves the window to the middle of its screen; a window larger than the screen gets a
// negative position.
void center_on_screen(QWidget& window);

}  // namespace vexilo
