#pragma once
// The folder tree of the folder panels: the file system's folders below a base folder, the
// base folder itself as the top node. Hidden folders are shown; files are not.
//
// The tree follows the folders on disk by itself, but never reads a folder's files: the base
// folder and the open folders are watched, and only when a watched folder's subfolders change
// (read on a worker thread) are the folders read again. A list folder of thousands of files
// that gets one more costs the window nothing here.

#include <QFileSystemWatcher>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QTreeView>
#include <memory>

class QFileIconProvider;
class QFileSystemModel;
class QSortFilterProxyModel;

namespace vexilo {

class FolderTree final : public QTreeView {
    Q_OBJECT
  public:
    static constexpr int kIndent = 19;

    explicit FolderTree(QWidget* parent = nullptr);
    ~FolderTree() override;

    // Shows the folder as the only top node and selects it, which reports a change.
    void set_base_folder(const QString& path);
    QString base_folder() const { return base_; }

    // The file-system path of a node of this tree; empty for none.
    QString path_of(const QModelIndex& index) const;
    QString selected_path() const;
    // Selects the node of a folder below the base folder; false when there is none.
    bool select_path(const QString& path);

  signals:
    // The selected node changed to the folder at the path.
    void selection_changed(const QString& path);

  private:
    QFileSystemModel* make_folders();
    void watch_open_folders();
    void check_folders_later();
    // The folders read afresh, the open ones opened again and the selection kept, silently.
    void reread_folders();

    std::unique_ptr<QFileIconProvider> icons_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    QSet<QString> changed_;  // watched folders whose entries changed since the last check
    QSet<QString> open_;     // folders opened in the tree
    bool rereading_ = false;
    QFileSystemModel* folders_;
    QSortFilterProxyModel* below_base_;
    QString base_;
};

}  // namespace vexilo
