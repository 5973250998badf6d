#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "dialogs/about_form.h"
#include "dialogs/comment_form.h"
#include "dialogs/copy_dialog.h"
#include "dialogs/editcomm_form.h"
#include "dialogs/folder_form.h"
#include "dialogs/message_boxes.h"
#include "dialogs/object_description.h"
#include "dialogs/ver_info.h"
#include "dialogs/yes_to_all.h"
#include "settings/settings.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"

namespace vexilo {
namespace {

using test::ModalScript;

#define EXPECT_SCRIPT_DONE(script) \
    EXPECT_TRUE((script).finished()) << (script).failures().join("; ").toStdString()

TEST(CopyDialog, ShowsBothNamesAndAnswersByButton) {
    Tcopy_dialog dialog;
    ModalScript script;
    QString first, second;
    script.press("copy_dialog", "Change name", [&](QWidget&) {
        first = dialog.StaticText1->text();
        second = dialog.StaticText2->text();
    });
    EXPECT_EQ(dialog.ask("A", "B"), CopyAnswer::ChangeName);
    EXPECT_EQ(first, "Do you wish to change the name of A to B");
    EXPECT_EQ(second, " or create a new object called B?");

    script.press("copy_dialog", "Create new object",
                 [&](QWidget&) { first = dialog.StaticText1->text(); });
    EXPECT_EQ(dialog.ask("Tray1", "Tray2"), CopyAnswer::CreateNew);
    EXPECT_EQ(first, "Do you wish to change the name of Tray1 to Tray2");

    script.press("copy_dialog", "Cancel");
    EXPECT_EQ(dialog.ask("A", "B"), CopyAnswer::Cancel);
    script.press("copy_dialog", "", [](QWidget& window) { window.close(); });
    EXPECT_EQ(dialog.ask("A", "B"), CopyAnswer::Cancel);
    EXPECT_SCRIPT_DONE(script);
}

TEST(OverwriteQuestion, EachButtonSetsItsFlagsAndTheCloseBoxStopsAdding) {
    Tyes_to_all dialog;
    EXPECT_EQ(dialog.windowTitle(), "Overwrite object?");
    EXPECT_FALSE(dialog.flags.overwrite_confirmed);  // before the first answer of the run
    ModalScript script;
    QString question;

    script.press("Overwrite object?", "Yes", [&](QWidget&) { question = dialog.Question->text(); });
    dialog.ask_about("Tray1");
    EXPECT_EQ(question, "Do you really want to overwrite Tray1");
    EXPECT_TRUE(dialog.flags.overwrite_confirmed);
    EXPECT_TRUE(dialog.flags.ask_before_overwrite);

    script.press("Overwrite object?", "No");
    dialog.ask_about("Tray1");
    EXPECT_FALSE(dialog.flags.overwrite_confirmed);
    EXPECT_TRUE(dialog.flags.keep_adding);

    script.press("Overwrite object?", "Yes to All");
    dialog.ask_about("Tray1");
    EXPECT_TRUE(dialog.flags.overwrite_confirmed);
    EXPECT_FALSE(dialog.flags.ask_before_overwrite);

    // A confirmed answer must not carry over to an object the operator only closed the
    // question about; closing it ends the add.
    script.press("Overwrite object?", "", [](QWidget& window) { window.close(); });
    dialog.ask_about("Tray2");
    EXPECT_FALSE(dialog.flags.overwrite_confirmed);
    EXPECT_FALSE(dialog.flags.keep_adding);

    dialog.flags = {};
    script.press("Overwrite object?", "Stop Adding");
    dialog.ask_about("Tray1");
    EXPECT_FALSE(dialog.flags.overwrite_confirmed);
    EXPECT_FALSE(dialog.flags.keep_adding);
    EXPECT_TRUE(dialog.flags.ask_before_overwrite);
    EXPECT_SCRIPT_DONE(script);

    // Each button answers to its letter with Alt.
    QStringList keys;
    for (const QPushButton* b :
         {dialog.yes_button, dialog.all_button, dialog.no_button, dialog.stop_button})
        keys << b->shortcut().toString();
    EXPECT_EQ(keys, (QStringList{"Alt+Y", "Alt+A", "Alt+N", "Alt+S"}));

    EXPECT_EQ(overwrite_question_text(std::string(40, 'x')).size(), 56u);
    EXPECT_EQ(overwrite_question_text(std::string(40, 'x')),
              "Do you really want to overwrite " + std::string(24, 'x'));
}

class FolderFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        previous_ = qgetenv("VEXILO_SETTINGS");
        qputenv("VEXILO_SETTINGS", folder_.filePath("settings").toLocal8Bit());
    }
    void TearDown() override { qputenv("VEXILO_SETTINGS", previous_); }

    QTemporaryDir folder_;
    QByteArray previous_;
};

QStringList lines_of(const QComboBox& box) {
    QStringList lines;
    for (int i = 0; i < box.count(); ++i)
        lines << box.itemText(i);
    return lines;
}

TEST_F(FolderFormTest, BrowseMovesTheFolderToTheTopAndOkStoresTheChoice) {
    store_folder_list({"/data/a", "/data/b", "/data/c"});
    Tfolder_form dialog;
    EXPECT_EQ(dialog.windowTitle(), "Object List Folder");
    EXPECT_EQ(lines_of(*dialog.folder_combo_box), (QStringList{"/data/a", "/data/b", "/data/c"}));

    QString started_at;
    QString answer = "/DATA/C";  // the same folder in other letter case
    dialog.set_folder_browser([&](QWidget*, const QString& start) {
        started_at = start;
        return answer;
    });
    ModalScript script;
    script.press("Object List Folder", "&Browse").press("Object List Folder", "&OK", [&](QWidget&) {
        EXPECT_EQ(lines_of(*dialog.folder_combo_box),
                  (QStringList{"/DATA/C", "/data/a", "/data/b"}));
        EXPECT_EQ(dialog.folder_combo_box->currentIndex(), 0);
    });
    EXPECT_TRUE(dialog.choose());
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(started_at, "/data/a");
    EXPECT_EQ(dialog.folder(), "/DATA/C");
    EXPECT_EQ(read_text_setting("Root Folder", ""), "/DATA/C");
    EXPECT_EQ(read_text_setting("List Folder", ""), "/DATA/C");
    std::vector<std::string> stored;
    read_folder_list(stored);
    EXPECT_EQ(stored, (std::vector<std::string>{"/DATA/C", "/data/a", "/data/b"}));

    // Cancel keeps the browsed folder in the dialog for the run, but stores nothing; a
    // cancelled browser adds nothing.
    answer = "/data/new";
    script.press("Object List Folder", "&Browse").press("Object List Folder", "&Cancel");
    EXPECT_FALSE(dialog.choose());
    answer.clear();
    script.press("Object List Folder", "&Browse").press("Object List Folder", "&Cancel");
    EXPECT_FALSE(dialog.choose());
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(dialog.folder_combo_box->count(), 4);
    read_folder_list(stored);
    EXPECT_EQ(stored.size(), 3u);
    EXPECT_EQ(read_text_setting("List Folder", ""), "/DATA/C");
}

TEST_F(FolderFormTest, WithoutRememberedFoldersOkWaitsForABrowsedFolder) {
    Tfolder_form dialog;
    EXPECT_EQ(dialog.folder_combo_box->count(), 0);
    EXPECT_FALSE(dialog.ok_button->isEnabled());
    dialog.set_folder_browser([](QWidget*, const QString&) { return QString("/data/x"); });
    ModalScript script;
    script.press("Object List Folder", "", [](QWidget& window) {
        QTest::keyClick(&window, Qt::Key_Return);  // Enter with nothing to confirm
    });
    script.press("Object List Folder", "&Browse").press("Object List Folder", "", [](QWidget& w) {
        QTest::keyClick(&w, Qt::Key_Return);
    });
    EXPECT_TRUE(dialog.choose());
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(read_text_setting("Root Folder", ""), "/data/x");
}

TEST(CommentDialogs, AddKeepsTheLinesCancelGivesNothingUnsavableTextIsRefused) {
    test::MessageRecorder messages;
    Tcomment_form comments;
    EXPECT_EQ(comments.windowTitle(), "Saving object list");
    EXPECT_FALSE(comments.windowFlags() & Qt::WindowCloseButtonHint);
    ModalScript script;
    script.press("Saving object list", "&Save list", [&](QWidget&) {
        comments.comments_memo->appendPlainText(QString::fromUtf8("Volumen in \xC2\xB5l"));
    });
    EXPECT_EQ(comments.edit({"Pumps of line 2"}),
              (std::vector<std::string>{"Pumps of line 2", "Volumen in \xB5l"}));
    script.press("Saving object list", "&Don't save");
    EXPECT_FALSE(comments.edit({"Pumps of line 2"}).has_value());
    EXPECT_SCRIPT_DONE(script);

    // Text a list file cannot hold keeps the dialog open, the offending part selected.
    const auto refused = [&](const QString& text, const QString& selected) {
        return [&comments, text, selected](QWidget&) {
            EXPECT_EQ(comments.comments_memo->textCursor().selectedText(), selected);
            comments.comments_memo->setPlainText(text);
        };
    };
    const QString omega = QString::fromUtf8("\xCF\x89");
    script
        .press("Saving object list", "&Save list",
               [&](QWidget&) { comments.comments_memo->setPlainText("ok\nfrequency " + omega); })
        .press("Saving object list", "&Save list", refused("a\n[Lists]\nb", omega))
        .press("Saving object list", "&Save list", refused("x\n[atoms]", "[Lists]"))
        .press("Saving object list", "&Save list", refused("a\n [LISTS]", "[atoms]"));
    EXPECT_EQ(comments.edit({}), (std::vector<std::string>{"a", " [LISTS]"}));
    EXPECT_SCRIPT_DONE(script);
    // The rule of the list writer, asked before the dialog closes.
    ASSERT_EQ(messages.errors.size(), 3u);
    EXPECT_NE(messages.errors[0].find("U+03C9 in comment line 2"), std::string::npos);
    EXPECT_EQ(messages.errors[1],
              "Comment line 2 reads as the section header [Lists]: a description cannot hold one");
    EXPECT_EQ(messages.errors[2],
              "Comment line 2 reads as the section header [atoms]: a description cannot hold one");

    Teditcommform edit;
    EXPECT_EQ(edit.windowTitle(), "Edit comments in object list");
    script.press("Edit comments in object list", "OK",
                 [&](QWidget&) { edit.Memo1->setPlainText("new\n\nlines\n"); });
    EXPECT_TRUE(edit.edit({"old"}));
    EXPECT_EQ(edit.comment_lines(), (std::vector<std::string>{"new", "", "lines"}));
    script.press("Edit comments in object list", "Cancel");
    EXPECT_FALSE(edit.edit({"old"}));
    // After an accepted edit, closing the window must not count as accepted again.
    script.press("Edit comments in object list", "OK");
    EXPECT_TRUE(edit.edit({"old"}));
    script.press("Edit comments in object list", "", [](QWidget& window) { window.close(); });
    EXPECT_FALSE(edit.edit({"old"}));
    EXPECT_FALSE(edit.comments_accepted);
    script
        .press("Edit comments in object list", "OK",
               [&](QWidget&) { edit.Memo1->setPlainText("[lists]"); })
        .press("Edit comments in object list", "Cancel");
    EXPECT_FALSE(edit.edit({"old"}));
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(messages.errors.size(), 4u);
}

TEST(Questions, EnterAnswersNo) {
    Tyes_to_all overwrite;
    overwrite.flags.overwrite_confirmed = true;
    ModalScript script;
    script.press("Overwrite object?", "",
                 [](QWidget& window) { QTest::keyClick(&window, Qt::Key_Return); });
    overwrite.ask_about("Tray1");
    EXPECT_FALSE(overwrite.flags.overwrite_confirmed);

    script.press("Information", "", [](QWidget& window) {
        QTest::keyClick(window.focusWidget() ? window.focusWidget() : &window, Qt::Key_Return);
    });
    EXPECT_FALSE(MessageBoxHandler().ask_yes_no("Do you really want to remove all objects?"));
    script.press("Information", "&Yes");
    EXPECT_TRUE(MessageBoxHandler().ask_yes_no("Do you really want to remove all objects?"));
    EXPECT_SCRIPT_DONE(script);
}

TEST(ObjectDescription, TheGridShowsWhatDescribeObjectFills) {
    Tobject_description window;
    EXPECT_TRUE(window.windowFlags() & Qt::Tool);
    EXPECT_FALSE(window.object_grid->showGrid());
    DescriptionGrid& grid = window.grid();
    grid.set_grid_size(2, 3);
    grid.set_column_width(0, 100);
    grid.set_column_width(1, 60);
    grid.set_column_width(2, 40);
    grid.set_cell(0, 0, "Volume");
    grid.set_cell(1, 0, "10");
    grid.set_cell(2, 0, "\xB5l");
    grid.set_cell(0, 1, "Speed");
    grid.set_cell(1, 1, "High");
    grid.set_cell(3, 1, "outside");  // ignored
    grid.set_cell(0, 2, "outside");
    window.show_description("Pump:P1");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.windowTitle(), "Pump:P1");
    EXPECT_EQ(window.object_grid->rowCount(), 2);
    EXPECT_EQ(window.object_grid->item(0, 2)->text(), QString::fromUtf8("\xC2\xB5l"));
    EXPECT_EQ(window.object_grid->item(1, 1)->text(), "High");
    EXPECT_EQ(window.object_grid->item(1, 2), nullptr);
    const int row = window.object_grid->verticalHeader()->defaultSectionSize();
    EXPECT_EQ(window.size(), QSize(200, 3 * row));

    grid.set_grid_size(1, 3);  // showing another object refills it
    grid.set_cell(0, 0, "Label");
    window.show_description("Tray:T1");
    EXPECT_EQ(window.object_grid->rowCount(), 1);
    EXPECT_EQ(window.object_grid->item(0, 1), nullptr);
    EXPECT_EQ(window.height(), 2 * row);

    // The whole title shows, however long the names; Escape closes the window.
    const std::string longest(24, 'W');
    window.show_description(longest + ":" + longest);
    EXPECT_GT(window.width(), QFontMetrics(window.font()).horizontalAdvance(window.windowTitle()));
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());

    // Beside a window that leaves it no room on the screen, it stays off that window's
    // buttons (one at each top corner).
    QWidget main;
    const QRect room = main.screen()->availableGeometry();
    main.setGeometry(room.adjusted(20, 40, -20, -20));
    QPushButton up("Move object Up", &main);
    up.setGeometry(main.width() - 120, 10, 110, 40);
    QPushButton add("Add selected Objects", &main);
    add.setGeometry(10, 10, 110, 40);
    main.show();
    window.show_description("Pump:P1", &main);
    const QRect placed(window.pos(), window.size());
    EXPECT_TRUE(room.contains(placed));
    for (const QPushButton* button : {&up, &add})
        EXPECT_FALSE(placed.intersects(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
}

TEST(AboutBox, ShowsTheVersionLabelOfTheProgram) {
    Tabout_form about;
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_TRUE(about.about_text->font().bold());
    ModalScript script;
    QString text;
    script.press("About", "", [&](QWidget& window) {
        text = about.about_text->text();
        window.close();
    });
    about.show_about();
    EXPECT_SCRIPT_DONE(script);
    // Builds 2 to 200 are alphas, 201 to 999 betas, 1000 and up releases (the label's own
    // edge cases are tested with it); the project's version numbers give the text to show.
    const std::string release = std::to_string(VEXILO_VERSION_MAJOR) + "." +
                                std::to_string(VEXILO_VERSION_MINOR) + "." +
                                std::to_string(VEXILO_VERSION_PATCH);
    const int build = VEXILO_VERSION_BUILD;
    ASSERT_GE(build, 2) << "a build without a label";
    const std::string label = build >= 1000 ? release
                                            : release + (build >= 201 ? " (Beta " : " (Alpha ") +
                                                  std::to_string(build) + ")";
    EXPECT_EQ(text.toStdString(), "Vexilo Version " + label);

    const TVerInfoRes own(QCoreApplication::applicationFilePath().toStdString());
    EXPECT_EQ(own.file_version_text(), VEXILO_VERSION_TEXT);
    EXPECT_EQ(own.fixed_file_info().file_version_ms >> 16, unsigned{VEXILO_VERSION_MAJOR});
}

TEST(VersionInfo, AFileWithoutVersionRaisesTheFixedText) {
    QTemporaryDir folder;
    const std::string other = folder.filePath("other").toStdString();
    for (const std::string& name : {other, std::string()}) {
        try {
            TVerInfoRes info(name);
            ADD_FAILURE() << "no error for " << name;
        } catch (const ENoVerInfoError& error) {
            EXPECT_STREQ(error.what(), "No Version Info Available.");
        }
    }
}

}  // namespace
}  // namespace vexilo
