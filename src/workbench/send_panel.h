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

namespace vexilo {

class FolderTree;
struct OperationResult;

// The last word of a send that is done: what went where and how long it took ("11 objects of
// assay, calibration downloaded in 0.5 s", and ", 3 already in the Nimbra" after a changed-only
// send, even when that is 0). Three names at most are written out; no names, no "of".
std::string download_summary(const OperationResult& result, const std::vector<std::string>& names);

class ProgressBarSink;
class ProgressSink;

class SendPanel final : public QWidget {
    Q_OBJECT
  public:
    enum class Presentation { SendTab, StandAlone };

    explicit SendPanel(Presentation presentation, QWidget* parent = nullptr);
    ~SendPanel() override;

    // Shows the folder (already shortened) in the caption.
    void show_folder(const QString& caption);
    // Says under the tree that a send leaves out what the instrument holds already.
    void show_changed_only(bool on);
    FolderTree& tree() { return *tree_; }
    QListWidget& lists() { return *lists_; }
    ProgressBarSink& progress();

  signals:
    void send_clicked();

  private:
    QLabel* folder_label_;
    QLabel* changed_only_label_;
    FolderTree* tree_;
    QListWidget* lists_;
    std::unique_ptr<ProgressBarSink> progress_;
};

}  // namespace vexilo
