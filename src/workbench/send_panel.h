#pragma once
// The folder panel: the folder caption, a folder tree, the object lists of the folder, the
// send button and its progress bar. The send tab of the service presentation and the
// operator presentation's stand-alone panel are two of these, each with its own control
// names and places; the main window fills both and runs their handlers.

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace vexilo {

class FolderTree;
class ProgressBarSink;
class ProgressSink;

class SendPanel final : public QWidget {
    Q_OBJECT
  public:
    // Where a control stands in the panel, and its name.
    struct Place {
        const char* name;
        int left;
        int top;
        int width = -1;  // -1: as wide as its text
        int height = -1;
    };
    struct Layout {
        const char* name;
        Place folder_label;
        Place tree_caption;
        Place list_caption;
        Place tree;
        Place lists;
        Place send_button;
        Place bar;
    };
    // The send tab's and the stand-alone panel's layouts.
    static const Layout kSendTab;
    static const Layout kStandAlone;

    SendPanel(const Layout& layout, QWidget* parent = nullptr);
    ~SendPanel() override;

    // Shows the folder (already shortened) in the caption.
    void show_folder(const QString& caption);
    FolderTree& tree() { return *tree_; }
    QListWidget& lists() { return *lists_; }
    ProgressSink& progress();

  signals:
    void send_clicked();

  private:
    QLabel* folder_label_;
    FolderTree* tree_;
    QListWidget* lists_;
    QPushButton* send_button_;
    QProgressBar* bar_;
    std::unique_ptr<ProgressBarSink> progress_;
};

}  // namespace vexilo
