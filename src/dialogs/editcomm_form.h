#pragma once
// The comment editing dialog: change the description lines of an existing list file.

#include <QDialog>
#include <string>
#include <vector>

class QPlainTextEdit;
class QPushButton;

namespace vexilo {

class Teditcommform : public QDialog {
    Q_OBJECT
  public:
    explicit Teditcommform(QWidget* parent = nullptr);

    // Modal, with the file's comment lines in Memo1. True (comments accepted) only for "OK",
    // which takes only text that can be saved (see comment_check.h);
    // "Cancel", Escape and the close box leave comments_accepted false, so the caller writes
    // the file only after an explicit OK.
    bool edit(const std::vector<std::string>& lines);
    std::vector<std::string> comment_lines() const;

    bool comments_accepted = false;

    QPlainTextEdit* Memo1;
    QPushButton* ok_button;
    QPushButton* cancel_button;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace vexilo
