#include "workbench/list_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include "support/event_wait.h"
#include "workbench/folder_tree.h"

namespace vexilo {
namespace {

void touch(const QTemporaryDir& dir, const QString& name) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(ListFolder, ListsObjectListFilesByNameWithoutRegardToCase) {
    QTemporaryDir dir;
    for (const char* name : {"GAMMA.NOL", "beta.nol", "Alpha.nol", "x.y.nol", "notes.txt",
                             ".hidden.nol", "nol", "delta.nol.bak"})
        touch(dir, QString::fromLatin1(name));
    QDir(dir.path()).mkdir(QStringLiteral("folder"));

    QListWidget box;
    box.addItem(QStringLiteral("left over"));
    fill_list_names(list_path(dir.path(), QStringLiteral("*")), box);

    QStringList shown;
    for (int row = 0; row < box.count(); ++row)
        shown << box.item(row)->text();
    // Hidden files count; a name keeps every dot before the final ".nol".
    EXPECT_EQ(shown, (QStringList{QStringLiteral(".hidden"), QStringLiteral("Alpha"),
                                  QStringLiteral("beta"), QStringLiteral("GAMMA"),
                                  QStringLiteral("x.y")}));
    EXPECT_EQ(box.currentRow(), 0);
    EXPECT_TRUE(box.selectedItems().isEmpty()) << "the current row is not a selection to send";

    fill_list_names(list_path(dir.filePath(QStringLiteral("folder")), QStringLiteral("*")), box);
    EXPECT_EQ(box.count(), 0);
}

TEST(ListFolder, ListPathLeadsBackToTheListedFile) {
    QTemporaryDir dir;
    touch(dir, QStringLiteral("GAMMA.NOL"));
    touch(dir, QStringLiteral("x.y.nol"));
    const QString sep = QDir::separator();

    EXPECT_EQ(list_path(dir.path(), QStringLiteral("GAMMA")),
              QDir::toNativeSeparators(dir.path()) + sep + QStringLiteral("GAMMA.NOL"));
    EXPECT_EQ(list_path(dir.path(), QStringLiteral("x.y")),
              QDir::toNativeSeparators(dir.path()) + sep + QStringLiteral("x.y.nol"));
    // A name without a file still names the file an operation would look for.
    EXPECT_EQ(list_path(dir.path(), QStringLiteral("gone")),
              QDir::toNativeSeparators(dir.path()) + sep + QStringLiteral("gone.nol"));
    EXPECT_EQ(list_path(QDir::rootPath(), QStringLiteral("a")),
              QDir::toNativeSeparators(QDir::rootPath()) + QStringLiteral("a.nol"));
    EXPECT_EQ(list_name_of(QStringLiteral("/lists/x.y.NOL")), QStringLiteral("x.y"));
}

// A change of the folder touches only the rows that changed: the others keep their selection
// and the current row, whatever the letter cases; and the folder tree takes a new subfolder
// without reporting a change of the selected folder.
TEST(ListFolder, ChangesReachTheListsRowByRowAndTheTreeWithoutNews) {
    QListWidget box;
    box.addItems({"Alpha", "Beta", "beta", "gamma", "zeta"});
    box.item(1)->setSelected(true);
    box.setCurrentRow(3, QItemSelectionModel::NoUpdate);
    QListWidgetItem* kept = box.item(3);
    update_list_names({"Alpha", "alpha", "Beta", "delta", "gamma", "Omega"}, box);
    QStringList shown;
    for (int row = 0; row < box.count(); ++row)
        shown << box.item(row)->text() + (box.item(row)->isSelected() ? "*" : "");
    EXPECT_EQ(shown, (QStringList{"Alpha", "alpha", "Beta*", "delta", "gamma", "Omega"}));
    EXPECT_EQ(box.currentItem(), kept);
    update_list_names({}, box);
    EXPECT_EQ(box.count(), 0);

    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("lists"));
    FolderTree tree;
    tree.set_base_folder(dir.path());
    ASSERT_TRUE(tree.select_path(dir.filePath(QStringLiteral("lists"))));
    QStringList news;
    QObject::connect(&tree, &FolderTree::selection_changed,
                     [&](const QString& path) { news << path; });
    for (int i = 0; i < 50; ++i)
        touch(dir, QStringLiteral("lists/%1.nol").arg(i));
    QDir(dir.path()).mkdir(QStringLiteral("archive"));
    const auto folders = [&] {
        QStringList names;
        const QModelIndex base = tree.model()->index(0, 0, tree.rootIndex());
        for (int row = 0; row < tree.model()->rowCount(base); ++row)
            names << tree.model()->index(row, 0, base).data().toString();
        names.sort();
        return names;
    };
    test::run_events_while([&] { return folders().size() < 2; }, 10000);
    EXPECT_EQ(folders(), (QStringList{"archive", "lists"}));
    EXPECT_EQ(QDir(tree.selected_path()).dirName(), "lists");
    EXPECT_TRUE(news.isEmpty()) << news.join(", ").toStdString();
}

TEST(ListFolder, HintShowsTheCommentBlock) {
    EXPECT_EQ(list_hint_text(QStringLiteral("wash"),
                             {"Wash cycle", " for \xB5l volumes", "[LISTS]", "1;A"}),
              QStringLiteral("Object list wash:\nWash cycle\n for \u00B5l volumes"));
    // No "[LISTS]" line, or nothing before it: the name alone, without a colon.
    EXPECT_EQ(list_hint_text(QStringLiteral("plain"), {"just text", "more"}),
              QStringLiteral("Object list plain"));
    EXPECT_EQ(list_hint_text(QStringLiteral("bare"), {"[lists]", "[OBJECTS]"}),
              QStringLiteral("Object list bare"));
    EXPECT_EQ(list_hint_text(QStringLiteral("empty"), {}), QStringLiteral("Object list empty"));
}

}  // namespace
}  // namespace vexilo
