#include "workbench/folder_tree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QSortFilterProxyModel>

namespace vexilo {
namespace {

// Whether the path is the folder or lies below it.
bool inside(const QString& path, const QString& folder) {
    if (path == folder) return true;
    return path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

QString clean_folder(const QString& path) {
    QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    if (clean.isEmpty()) clean = QDir::rootPath();
    return QFileInfo(clean).absoluteFilePath();
}

// Keeps, at the level that holds the base folder, only the base folder itself; everything
// below it passes.
class BaseFolderFilter final : public QSortFilterProxyModel {
  public:
    explicit BaseFolderFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

    void set_base(const QString& base) {
        base_ = base;
        invalidateFilter();
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex& source_parent) const override {
        if (base_.isEmpty()) return false;
        auto* model = static_cast<QFileSystemModel*>(sourceModel());
        const QString path = model->filePath(model->index(row, 0, source_parent));
        // The base folder's ancestors are the way down to it, but none of their other
        // children belong to the tree.
        return inside(path, base_) || inside(base_, path);
    }

  private:
    QString base_;
};

}  // namespace

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent) {
    folders_ = new QFileSystemModel(this);
    folders_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot | QDir::Hidden);
    folders_->setReadOnly(true);
    // The widget style's folder pictures, where the desktop has no icon theme.
    icons_ = std::make_unique<QFileIconProvider>();
    folders_->setIconProvider(icons_.get());
    auto* filter = new BaseFolderFilter(this);
    filter->setSourceModel(folders_);
    filter->setRecursiveFilteringEnabled(false);
    below_base_ = filter;
    setModel(below_base_);
    for (int column = 1; column < folders_->columnCount(); ++column)
        hideColumn(column);
    header()->hide();
    setIndentation(kIndent);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) emit selection_changed(path_of(current));
            });
}

FolderTree::~FolderTree() {
    // The model uses the icon provider to its end, so it goes first.
    setModel(nullptr);
    delete below_base_;
    delete folders_;
}

void FolderTree::set_base_folder(const QString& path) {
    base_ = clean_folder(path);
    folders_->setRootPath(base_);
    static_cast<BaseFolderFilter*>(below_base_)->set_base(base_);
    // The top node lives under the base folder's parent; the view starts there so that the
    // base folder is a node of its own that can be selected.
    const QModelIndex base_index = folders_->index(base_);
    setRootIndex(below_base_->mapFromSource(base_index.parent()));
    const QModelIndex node = below_base_->mapFromSource(base_index);
    if (!node.isValid()) return;
    expand(node);
    // Selecting a node that is already current reports nothing; a new base folder must be
    // reported even when it is the same path.
    selectionModel()->clearCurrentIndex();
    setCurrentIndex(node);
}

QString FolderTree::path_of(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != below_base_) return {};
    return QDir::toNativeSeparators(folders_->filePath(below_base_->mapToSource(index)));
}

QString FolderTree::selected_path() const {
    return path_of(currentIndex());
}

bool FolderTree::select_path(const QString& path) {
    const QModelIndex node = below_base_->mapFromSource(folders_->index(clean_folder(path)));
    if (!node.isValid()) return false;
    scrollTo(node);
    setCurrentIndex(node);
    return true;
}

}  // namespace vexilo
