#pragma once
// A push button whose caption always shows whole. The page's buttons have fixed sizes and
// captions padded with trailing blanks; with the system's font a caption may be wider than
// its button. It is then drawn without the padding, on two lines where the button is tall
// enough, or else in a smaller font. text() stays the caption as given.

#include <QPushButton>

namespace vexilo {

class CaptionButton final : public QPushButton {
    Q_OBJECT
  public:
    using QPushButton::QPushButton;

    // How the caption is drawn in the current size and font.
    struct Layout {
        QString text;
        QFont font;
        int flags = 0;
    };
    Layout caption_layout() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vexilo
