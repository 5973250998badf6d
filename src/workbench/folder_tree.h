#pragma once
// The folder tree of the folder panels: the file system's folders below a base folder, the
// base folder itself as the top node. Hidden folders are shown; files are not.

#include <QString>
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
    std::unique_ptr<QFileIconProvider> icons_;
    QFileSystemModel* folders_;
    QSortFilterProxyModel* below_base_;
    QString base_;
};

}  // namespace vexilo
