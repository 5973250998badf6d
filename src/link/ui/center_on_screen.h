#pragma once

class QWidget;

namespace vexilo {

// Moves the window to the middle of the screen it is on (the primary screen when it has
// none); a window larger than the screen gets a negative position.
void center_on_screen(QWidget& window);

}  // namespace vexilo
