#include "workbench/list_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <algorithm>
#include <utility>

#include "config/object_list_file.h"
#include "dialogs/ui_helpers.h"

namespace vexilo {
namespace {

const QString kExtension = QString::fromLatin1(kListExtension);

QString join(const QString& folder, const QString& file_name) {
    const QString native_folder = QDir::toNativeSeparators(folder);
    if (native_folder.endsWith(QDir::separator())) return native_folder + file_name;
    return native_folder + QDir::separator() + file_name;
}

}  // namespace

QString list_name_of(const QString& file_name) {
    QString name = QFileInfo(file_name).fileName();
    if (name.endsWith(kExtension, Qt::CaseInsensitive)) name.chop(kExtension.size());
    return name;
}

QString list_path(const QString& folder, const QString& name) {
    const QString exact = join(folder, name + kExtension);
    if (name == QLatin1String("*") || QFileInfo::exists(exact)) return exact;
    const QStringList same_name =
        QDir(folder).entryList({name + kExtension}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& file_name : same_name) {
        if (list_name_of(file_name) == name) return join(folder, file_name);
    }
    return exact;
}

QStringList list_names(const QString& pattern) {
    const QFileInfo where(pattern);
    // Name filters match without regard to case, as the pattern would on Windows.
    const QStringList files =
        QDir(where.path())
            .entryList({where.fileName()}, QDir::Files | QDir::Hidden | QDir::System,
                       QDir::Unsorted);
    QStringList names;
    names.reserve(files.size());
    for (const QString& file_name : files)
        names << list_name_of(file_name);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

void fill_list_names(const QString& pattern, QListWidget& box) {
    box.clear();
    box.addItems(list_names(pattern));
    if (box.count() > 0) box.setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void refill_list_names(const QString& pattern, QListWidget& box) {
    const QString current = box.currentItem() != nullptr ? box.currentItem()->text() : QString();
    QStringList selected;
    for (const QListWidgetItem* item : box.selectedItems())
        selected << item->text();
    box.clear();
    box.addItems(list_names(pattern));
    for (int row = 0; row < box.count(); ++row) {
        QListWidgetItem* item = box.item(row);
        if (item->text() == current) box.setCurrentRow(row, QItemSelectionModel::NoUpdate);
        if (selected.contains(item->text())) item->setSelected(true);
    }
    if (box.currentRow() < 0 && box.count() > 0)
        box.setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

ListFolderWatcher::ListFolderWatcher(std::function<void()> changed, QObject* parent)
    : QObject(parent), changed_(std::move(changed)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_,
            qOverload<>(&QTimer::start));
    connect(&settle_, &QTimer::timeout, this, [this] { changed_(); });
}

void ListFolderWatcher::watch(const QString& folder) {
    const QStringList watched = watcher_.directories();
    if (watched.size() == 1 && watched.front() == folder) return;
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    settle_.stop();
    // A folder that cannot be watched (gone, or a file system without notices) still
    // refreshes with F5.
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) watcher_.addPath(folder);
}

QString list_hint_text(const QString& name, const std::vector<std::string>& lines) {
    QString hint = QStringLiteral("Object list ") + name;
    const int last = last_comment_line(lines);
    if (last < 0) return hint;
    hint += QLatin1Char(':');
    for (int i = 0; i <= last; ++i) {
        hint += QLatin1Char('\n');
        hint += to_qstring(lines[static_cast<std::size_t>(i)]);
    }
    return hint;
}

}  // namespace vexilo
