#pragma once
// The overwrite question of the add commands: Yes, Yes to All, No or Stop Adding.

#include <QDialog>
#include <string>
#include <string_view>

class QLabel;
class QPushButton;

namespace vexilo {

// The add commands' state that the question's buttons change.
struct OverwriteFlags {
    bool ask_before_overwrite = true;  // set by each add command; "Yes to All" clears it
    bool overwrite_confirmed = false;  // the answer to the last question
    bool keep_adding = true;           // set by each add command; "Stop Adding" clears it
};

// "Do you really want to overwrite " followed by the name, at most 56 characters in all.
std::string overwrite_question_text(std::string_view object_name);

class Tyes_to_all : public QDialog {
    Q_OBJECT
  public:
    explicit Tyes_to_all(QWidget* parent = nullptr);

    // Sets Question to overwrite_question_text of the name and shows the dialog modally;
    // afterwards flags hold the answer. Closing it through the title bar or with Escape is
    // taken as "Stop Adding": nothing is overwritten that the operator did not confirm.
    void ask_about(std::string_view object_name);

    OverwriteFlags flags;

    QLabel* Question;
    QPushButton* yes_button;
    QPushButton* all_button;
    QPushButton* no_button;
    QPushButton* stop_button;

    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace vexilo
