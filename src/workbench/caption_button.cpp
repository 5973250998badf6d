#include "caption_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace vexilo {
namespace {

constexpr double kSmallestPoints = 6.0;

QRect caption_area(const QPushButton& button, const QStyleOptionButton& option) {
    return button.style()
        ->subElementRect(QStyle::SE_PushButtonContents, &option, &button)
        .adjusted(2, 0, -2, 0);
}

bool fits(const QFont& font, const QRect& area, int flags, const QString& text) {
    const QRect needed = QFontMetrics(font).boundingRect(area, flags, text);
    return needed.width() <= area.width() && needed.height() <= area.height();
}

}  // namespace

CaptionButton::Layout CaptionButton::caption_layout() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect area = caption_area(*this, option);
    int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this))
        flags |= Qt::TextHideMnemonic;
    Layout layout{text(), font(), flags};
    if (fits(layout.font, area, flags, layout.text)) return layout;
    layout.text = text().trimmed();
    if (fits(layout.font, area, flags, layout.text)) return layout;
    if (fits(layout.font, area, flags | Qt::TextWordWrap, layout.text)) {
        layout.flags |= Qt::TextWordWrap;
        return layout;
    }
    while (layout.font.pointSizeF() - 0.5 >= kSmallestPoints &&
           !fits(layout.font, area, flags, layout.text)) {
        layout.font.setPointSizeF(layout.font.pointSizeF() - 0.5);
    }
    return layout;
}

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const Layout layout = caption_layout();
    QRect area = caption_area(*this, option);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    if (option.state & (QStyle::State_Sunken | QStyle::State_On)) {
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    painter.setFont(layout.font);
    style()->drawItemText(&painter, area, layout.flags, option.palette, isEnabled(), layout.text,
                          QPalette::ButtonText);
}

}  // namespace vexilo
