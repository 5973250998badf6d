#include "workbench/folder_tree.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QtConcurrent/QtConcurrentRun>

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

// The subfolders of a folder, by name, sorted.
QStringList subfolders(const QString& folder) {
    QStringList names =
        QDir(folder).entryList(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    names.sort();
    return names;
}

}  // namespace

QFileSystemModel* FolderTree::make_folders() {
    auto* folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot | QDir::Hidden);
    folders->setReadOnly(true);
    // The model's own watching reads every file of a changed folder on this thread; the tree
    // watches for itself (see the header).
    folders->setOption(QFileSystemModel::DontWatchForChanges);
    folders->setIconProvider(icons_.get());
    return folders;
}

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent) {
    // The widget style's folder pictures, where the desktop has no icon theme.
    icons_ = std::make_unique<QFileIconProvider>();
    folders_ = make_folders();
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
                if (current.isValid() && !rereading_) emit selection_changed(path_of(current));
            });

    settle_.setSingleShot(true);
    settle_.setInterval(150);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& path) {
        changed_.insert(path);
        settle_.start();
    });
    connect(&settle_, &QTimer::timeout, this, &FolderTree::check_folders_later);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        open_.insert(folders_->filePath(below_base_->mapToSource(index)));
        if (!rereading_) watch_open_folders();
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        open_.remove(folders_->filePath(below_base_->mapToSource(index)));
        watch_open_folders();
    });
}

void FolderTree::watch_open_folders() {
    QStringList wanted;
    if (!base_.isEmpty() && QFileInfo(base_).isDir()) wanted << base_;
    for (const QString& folder : std::as_const(open_)) {
        if (folder != base_ && inside(folder, base_) && QFileInfo(folder).isDir()) wanted << folder;
    }
    const QStringList watched = watcher_.directories();
    QStringList gone;
    for (const QString& folder : watched) {
        if (!wanted.contains(folder)) gone << folder;
    }
    if (!gone.isEmpty()) watcher_.removePaths(gone);
    QStringList added;
    for (const QString& folder : std::as_const(wanted)) {
        if (!watched.contains(folder)) added << folder;
    }
    if (!added.isEmpty()) watcher_.addPaths(added);
}

// Files come and go far more often than folders: the changed folders' subfolders are read on
// a worker thread and set against the tree's; only a difference reads the folders again.
void FolderTree::check_folders_later() {
    const QStringList folders(changed_.begin(), changed_.end());
    changed_.clear();
    QList<QPair<QString, QStringList>> shown;
    for (const QString& folder : folders) {
        const QModelIndex parent = folders_->index(folder);
        QStringList names;
        for (int row = 0; row < folders_->rowCount(parent); ++row)
            names << folders_->fileName(folders_->index(row, 0, parent));
        names.sort();
        shown.append({folder, names});
    }
    auto* done = new QFutureWatcher<bool>(this);
    connect(done, &QFutureWatcherBase::finished, this, [this, done] {
        done->deleteLater();
        if (done->result()) reread_folders();
    });
    done->setFuture(QtConcurrent::run([shown] {
        for (const auto& [folder, names] : shown) {
            if (subfolders(folder) != names) return true;
        }
        return false;
    }));
}

void FolderTree::reread_folders() {
    const QString current = selected_path();
    const QSet<QString> open = open_;
    rereading_ = true;
    QFileSystemModel* old = folders_;
    folders_ = make_folders();
    below_base_->setSourceModel(folders_);
    delete old;
    folders_->setRootPath(base_);
    setRootIndex(below_base_->mapFromSource(folders_->index(base_).parent()));
    open_.clear();
    for (const QString& folder : open) {
        const QModelIndex node = below_base_->mapFromSource(folders_->index(folder));
        if (node.isValid()) expand(node);
    }
    // The selected folder stays selected; one that went leaves the base folder selected,
    // which is then news.
    rereading_ = !current.isEmpty() && QFileInfo(current).isDir();
    select_path(rereading_ ? current : base_);
    rereading_ = false;
    watch_open_folders();
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
    open_.clear();
    watch_open_folders();
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
