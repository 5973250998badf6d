#pragma once
// Object list files of a folder as the folder panels show them: the list name is the file
// name without folder and without its final ".nol" (in any letter case), so "x.y.nol" is the
// list "x.y"; the list path of a name leads back to that same file.

#include <QString>
#include <QStringList>
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

// The description hint of a list: "Object list NAME", and when the lines have a comment
// block, ":" and each comment line after a line feed.
QString list_hint_text(const QString& name, const std::vector<std::string>& lines);

}  // namespace vexilo
