#pragma once
// The comment entry dialog of the save command: the list's description lines.

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vexilo {

class Tcomment_form : public QDialog {
    Q_OBJECT
  public:
    explicit Tcomment_form(QWidget* parent = nullptr);

    // Modal, with the old comment lines in the memo; answers the lines to save with the list.
    // "&Save list" gives the edited lines, once they can be saved (see comment_check.h);
    // "&Don't save" (or Escape) gives nothing: the save is cancelled, so an old list keeps its
    // description. The memo keeps what was typed either way (comment_lines).
    std::optional<std::vector<std::string>> edit(const std::vector<std::string>& old_lines);
    std::vector<std::string> comment_lines() const;

    QLabel* label;
    QPlainTextEdit* comments_memo;
    QPushButton* add_button;
    QPushButton* cancel_button;

    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace vexilo
