#include "workbench/list_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QListWidget>
#include <QtConcurrent/QtConcurrentRun>
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

// The order of the file lists: without regard to letter case, then exactly.
bool names_in_order(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
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
    std::sort(names.begin(), names.end(), names_in_order);
    return names;
}

void fill_list_names(const QString& pattern, QListWidget& box) {
    box.clear();
    box.addItems(list_names(pattern));
    if (box.count() > 0) box.setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

void refill_list_names(const QString& pattern, QListWidget& box) {
    update_list_names(list_names(pattern), box);
}

void update_list_names(const QStringList& names, QListWidget& box) {
    // Both run in list_names' order, so one merge finds what went and what came.
    int row = 0;
    qsizetype next = 0;
    while (row < box.count() || next < names.size()) {
        if (row == box.count()) {
            box.insertItem(row++, names[next++]);
            continue;
        }
        const QString shown = box.item(row)->text();
        if (next == names.size() || names_in_order(names[next], shown)) {
            if (next < names.size()) {
                box.insertItem(row++, names[next++]);
            } else {
                delete box.takeItem(row);
            }
            continue;
        }
        if (names[next] == shown) {
            ++row;
            ++next;
        } else {
            delete box.takeItem(row);
        }
    }
    if (box.currentRow() < 0 && box.count() > 0)
        box.setCurrentRow(0, QItemSelectionModel::NoUpdate);
}

ListFolderWatcher::ListFolderWatcher(std::function<void(const QStringList& names)> changed,
                                     QObject* parent)
    : QObject(parent), changed_(std::move(changed)) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &settle_,
            qOverload<>(&QTimer::start));
    connect(&settle_, &QTimer::timeout, this, &ListFolderWatcher::read_later);
}

void ListFolderWatcher::watch(const QString& folder, const QString& pattern) {
    pattern_ = pattern;
    // A reading of the folder before is no news of this one.
    ++reading_;
    const QStringList watched = watcher_.directories();
    if (watched.size() == 1 && watched.front() == folder) return;
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    settle_.stop();
    // A folder that cannot be watched (gone, or a file system without notices) still
    // refreshes with F5.
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) watcher_.addPath(folder);
}

// A folder of thousands of files takes a while to read: the window goes on meanwhile.
void ListFolderWatcher::read_later() {
    const quint64 reading = ++reading_;
    const QString pattern = pattern_;
    auto* done = new QFutureWatcher<QStringList>(this);
    connect(done, &QFutureWatcherBase::finished, this, [this, done, reading] {
        done->deleteLater();
        if (reading == reading_) changed_(done->result());
    });
    done->setFuture(QtConcurrent::run([pattern] { return list_names(pattern); }));
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
