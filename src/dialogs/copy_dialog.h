#pragma once
// The rename-or-copy question: after the operator gave an existing object another name,
// rename it or create a new object under the new name.

#include <QDialog>
#include <string>

class QLabel;
class QPushButton;

namespace vexilo {

enum class CopyAnswer { None, CreateNew, ChangeName, Cancel };

class Tcopy_dialog : public QDialog {
    Q_OBJECT
  public:
    explicit Tcopy_dialog(QWidget* parent = nullptr);

    // Modal; "Change name" gives ChangeName, "Create new object" CreateNew, "Cancel" and
    // the close box Cancel.
    CopyAnswer ask(const std::string& old_name, const std::string& new_name);

    std::string old_name;
    std::string new_name;

    QLabel* StaticText1;
    QLabel* StaticText2;
    QPushButton* change_button;
    QPushButton* copy_button;
    QPushButton* cancel_button;

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace vexilo
