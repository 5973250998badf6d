#include "link/ui/center_on_screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vexilo {

void center_on_screen(QWidget& window) {
    const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    // The frame counts: a decorated window is centred as the operator sees it.
    const QSize size = window.frameGeometry().size();
    window.move(area.x() + (area.width() - size.width()) / 2,
                area.y() + (area.height() - size.height()) / 2);
}

}  // namespace vexilo
