#pragma once
// Object list files of a folder as the folder panels show them: the list name is the file
// name without folder and without its final ".nol" (in any letter case), so "x.y.nol" is the
// list "x.y"; the list path of a name leads back to that same file.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

class QListWidget;

namespace vexilo {

inline constexpr const char* kListExtension = ".nol";

// The list name of a file name (a path is cut to its file name first).
QString list_name_of(const QString& file_name);

// The folder, a separator and the name with ".nol"; "*" gives the pattern of every object
// list file of the folder. Where the file system tells letter cases apart, a file whose
// extension is written in other letters ("GAMMA.NOL") is found as well.
QString list_path(const QString& folder, const QString& name);

// The list names of every file that matches the pattern (a folder and a file pattern, as
// list_path of "*" gives), sorted without regard to letter case.
QStringList list_names(const QString& pattern);

// Fills the box with list_names of the pattern and makes row 0 the current row.
void fill_list_names(const QString& pattern, QListWidget& box);

// Fills the box again with list_names of the pattern; the names that remain stay selected,
// and the current row stays on its name while that remains.
void refill_list_names(const QString& pattern, QListWidget& box);

// Brings the box (filled from list_names) to the names (list_names' order): only the rows
// that went are removed and only the new names inserted, so a folder of thousands of lists
// costs one pass, and every remaining row keeps its selection and the current row.
void update_list_names(const QStringList& names, QListWidget& box);

// Calls back with the folder's list names when its files may have changed (a list added,
// removed or renamed, by this program or another). A burst of changes, as a copy or a save
// makes, gives one call shortly after it ends. The folder is read on a worker thread; only
// the names of the folder watched now, from its latest reading, are handed on.
class ListFolderWatcher final : public QObject {
  public:
    static constexpr int kSettleMs = 150;

    explicit ListFolderWatcher(std::function<void(const QStringList& names)> changed,
                               QObject* parent = nullptr);
    // Watches this folder (its list files are those the pattern of list_path "*" matches)
    // instead of the one before; an empty path watches nothing.
    void watch(const QString& folder, const QString& pattern);

  private:
    void read_later();

    QFileSystemWatcher watcher_;
    QTimer settle_;
    QString pattern_;
    quint64 reading_ = 0;  // the latest reading; an older one that ends later is dropped
    std::function<void(const QStringList& names)> changed_;
};

// The description hint of a list: "Object list NAME", and when the lines have a comment
// block, ":" and each comment line after a line feed.
QString list_hint_text(const QString& name, const std::vector<std::string>& lines);

}  // namespace vexilo
