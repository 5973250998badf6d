#pragma once
// The object list folder chooser: remembered folders, a folder browser, and OK storing the
// choice as the list folder.

#include <QDialog>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace vexilo {

// Asks the operator for a folder, starting at the given one; an empty result means the
// operator cancelled. The default is the system's folder browser.
using FolderBrowser = std::function<QString(QWidget* parent, const QString& start)>;

class Tfolder_form : public QDialog {
    Q_OBJECT
  public:
    // Reads the remembered folders (read_folder_list) once, here.
    explicit Tfolder_form(QWidget* parent = nullptr);

    void set_folder_browser(FolderBrowser browser);

    // Modal. True when the operator confirmed a folder with OK (or Enter): it has then been
    // stored as "Root Folder" and "List Folder", and the dialog's whole list as the folder
    // list. Cancel, Escape and the close box store nothing.
    bool choose();
    // The selected folder in the file system's encoding; empty when the list is empty.
    std::string folder() const;

    QLabel* label;
    QComboBox* folder_combo_box;
    QPushButton* browse_button;
    QPushButton* ok_button;
    QPushButton* cancel_button;

    void browse_buttonClick();
    void ok_buttonClick();

  private:
    void update_ok_button();

    FolderBrowser browser_;
};

}  // namespace vexilo
