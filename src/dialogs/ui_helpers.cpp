#include "ui_helpers.h"

#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "config/encoding.h"
#include "config/messages.h"

namespace vexilo {

QString to_qstring(std::string_view windows1252) {
    const std::string utf8 = windows1252_to_utf8(windows1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string to_text(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return utf8_to_windows1252(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString path_to_qstring(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string path_to_text(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool nothing_selected(const QListWidget& box, std::string_view message) {
    if (!box.selectedItems().isEmpty()) return false;
    show_error(message);
    return true;
}

std::string selected_combo_text(const QComboBox& box) {
    const int index = box.currentIndex();
    if (index < 0) return {};
    return to_text(box.itemText(index));
}

QRect screen_room(const QWidget& window) {
    const QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QSize frame_extra(const QWidget& window) {
    // A title bar with its buttons, and thin borders.
    constexpr int kFrameTop = 32;
    constexpr int kFrameSide = 4;
    const QSize measured = window.frameGeometry().size() - window.size();
    return {std::max(measured.width(), 2 * kFrameSide),
            std::max(measured.height(), kFrameTop + kFrameSide)};
}

}  // namespace vexilo
