#pragma once
// Window operations every window uses, and the crossing of texts between the program's
// Windows-1252 bytes and the widgets' Unicode.

#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <string_view>

#include "link/ui/center_on_screen.h"

class QComboBox;
class QListWidget;
class QWidget;

namespace vexilo {

QString to_qstring(std::string_view windows1252);
// Characters that Windows-1252 cannot hold become "?".
std::string to_text(const QString& text);

// Paths and folder names cross in the file system's own encoding instead (UTF-8 on Linux,
// the ANSI code page on Windows), so that a name the core opens is the name on disk.
QString path_to_qstring(std::string_view path);
std::string path_to_text(const QString& path);

// True, after show_error of the message, when no line of the box is selected.
bool nothing_selected(const QListWidget& box, std::string_view message);

// The text of the line at the box's current index; empty when none is current.
std::string selected_combo_text(const QComboBox& box);

// The room for windows on the screen the window is on (or will be shown on).
QRect screen_room(const QWidget& window);
// What the window manager adds around the window (title bar, borders): measured once it has
// been shown, an estimate before.
QSize frame_extra(const QWidget& window);

}  // namespace vexilo
