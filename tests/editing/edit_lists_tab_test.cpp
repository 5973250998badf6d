#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "config/text_file.h"
#include "dialogs/message_boxes.h"
#include "edit_fixture.h"

namespace vexilo::test {
namespace {

const Lines kFirst{"Pump;Tray1;100;2;first", "Pump;Tray2;200;0;second", "Pump;Tray3;300;1;third",
                   "Plain;Lid"};
// The same names, one in other letters, one held by a Plain in the list, and a new one.
const Lines kSecond{"Pump;tray1;111;1;one", "Pump;Tray2;222;1;two", "Pump;Tray3;333;1;three",
                    "Pump;Lid;444;1;four", "Pump;Tray4;555;1;five"};

std::function<void(QWidget&)> expect_question(const std::string& text) {
    return [text](QWidget& window) {
        EXPECT_EQ(static_cast<Tyes_to_all&>(window).Question->text().toStdString(), text);
    };
}

TEST_F(EditTabTest, TheOverwriteQuestionAnswersYesNoYesToAllAndStopAdding) {
    open_source("first.nol", kFirst);
    tab.add_all_button->click();  // an empty list asks nothing
    EXPECT_EQ(lines_of(*tab.new_list_box),
              (Lines{"Pump:Tray1", "Pump:Tray2", "Pump:Tray3", "Plain:Lid"}));
    EXPECT_EQ(tab.module_label->text().toStdString(), "Classes from first.nol");

    open_source("second.nol", kSecond);
    select(*tab.object_box, {0, 1, 2, 3, 4});
    script
        .press("Overwrite object?", "Yes", expect_question("Do you really want to overwrite tray1"))
        .press("Overwrite object?", "No", expect_question("Do you really want to overwrite Tray2"))
        .press("Overwrite object?", "Yes to All");
    tab.add_button->click();
    EXPECT_SCRIPT_DONE(script);
    // The overwritten object keeps its name and line; Lid, of another class, is refused
    // without a question after "Yes to All"; Tray4 is new.
    EXPECT_EQ(dest_object(0), (Lines{"Pump:Tray1", "111", "Medium", "one"}));
    EXPECT_EQ(dest_object(1), (Lines{"Pump:Tray2", "200", "Low", "second"}));
    EXPECT_EQ(dest_object(2), (Lines{"Pump:Tray3", "333", "Medium", "three"}));
    EXPECT_EQ(dest_object(3), (Lines{"Plain:Lid"}));
    EXPECT_EQ(lines_of(*tab.new_list_box),
              (Lines{"Pump:Tray1", "Pump:Tray2", "Pump:Tray3", "Plain:Lid", "Pump:Tray4"}));
    ASSERT_FALSE(link.statuses.empty());
    EXPECT_EQ(link.statuses.back().rfind("Didnt include Lid because theres a Plain", 0), 0u)
        << link.statuses.back();

    // "Yes to All" held for one command only; "Yes" for another class's name is refused.
    select(*tab.object_box, {3});
    script.press("Overwrite object?", "Yes",
                 expect_question("Do you really want to overwrite Lid"));
    tab.add_button->click();
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(dest_object(3), (Lines{"Plain:Lid"}));
    EXPECT_EQ(state.destination->object_count, 5);

    // "Stop Adding" skips the object and ends the command: Tray2 is not even asked about.
    select(*tab.object_box, {0, 1});
    script.press("Overwrite object?", "Stop Adding");
    tab.add_button->click();
    EXPECT_EQ(dest_object(0), (Lines{"Pump:Tray1", "111", "Medium", "one"}));
    EXPECT_EQ(dest_object(1), (Lines{"Pump:Tray2", "200", "Low", "second"}));

    // Escape at the first of two questions ends the whole add (the fixture reports a second
    // question as an unexpected window).
    select(*tab.object_box, {1, 2});
    script.press("Overwrite object?", "",
                 [](QWidget& window) { QTest::keyClick(&window, Qt::Key_Escape); });
    tab.add_button->click();
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(dest_object(1), (Lines{"Pump:Tray2", "200", "Low", "second"}));
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(EditTabTest, EmptyingTheListTransfersTheClassesOfTheCurrentSourceAgain) {
    tab.add_button->click();
    tab.add_all_button->click();
    tab.delete_button->click();
    EXPECT_EQ(messages.errors, (Lines{"No objects selected!", "No objects to add!",
                                      "No objects selected, none removed!"}));

    open_source("first.nol", kFirst);
    tab.add_all_button->click();
    select(*tab.new_list_box, {0, 1, 2, 3});
    messages.answers = {true};
    tab.delete_button->click();
    EXPECT_EQ(tab.new_list_box->count(), 0);
    EXPECT_EQ(state.destination->object_count, 0);
    EXPECT_TRUE(state.destination_needs_classes);

    write_lines(file("valves.nol"), {"[LISTS]", "[CLASSES]", "!Valve", "Port;1;12;1;1;",
                                     "[OBJECTS]", "Valve;V1;3", "Valve;V2;4"});
    files.opens.push_back(file("valves.nol"));
    tab.get_objects_button->click();
    tab.add_all_button->click();
    EXPECT_EQ(state.destination->class_count, 1);
    EXPECT_EQ(lines_of(*tab.new_list_box), (Lines{"Valve:V1", "Valve:V2"}));
    EXPECT_EQ(tab.module_label->text().toStdString(), "Classes from valves.nol");

    // The button drops the listed objects, lines and objects together, once confirmed.
    messages.answers = {false, true};
    tab.transfer_classes_button->click();
    EXPECT_EQ(tab.new_list_box->count(), 2);
    tab.transfer_classes_button->click();
    EXPECT_EQ(messages.questions.size(), 3u);
    EXPECT_EQ(tab.new_list_box->count(), 0);
    EXPECT_EQ(state.destination->object_count, 0);
    EXPECT_EQ(state.destination->class_count, 1);
    EXPECT_FALSE(state.destination_needs_classes);
}

TEST_F(EditTabTest, MovingSwapsObjectsWithTheirValuesAndStopsAtTheEnds) {
    open_source("first.nol", kFirst);
    tab.add_all_button->click();
    const Lines start = lines_of(*tab.new_list_box);

    tab.new_list_box->setCurrentRow(-1);
    tab.up_button->click();
    tab.down_button->click();
    tab.new_list_box->setCurrentRow(0);
    tab.up_button->click();
    tab.new_list_box->setCurrentRow(3);
    tab.down_button->click();
    EXPECT_EQ(lines_of(*tab.new_list_box), start);
    EXPECT_EQ(dest_object(0), (Lines{"Pump:Tray1", "100", "High", "first"}));

    tab.new_list_box->setCurrentRow(1);
    tab.up_button->click();
    EXPECT_EQ(lines_of(*tab.new_list_box),
              (Lines{"Pump:Tray2", "Pump:Tray1", "Pump:Tray3", "Plain:Lid"}));
    EXPECT_EQ(dest_object(0), (Lines{"Pump:Tray2", "200", "Low", "second"}));
    EXPECT_EQ(dest_object(1), (Lines{"Pump:Tray1", "100", "High", "first"}));
    EXPECT_EQ(tab.new_list_box->currentRow(), 0);
    EXPECT_TRUE(tab.new_list_box->item(0)->isSelected());

    tab.down_button->click();
    tab.down_button->click();
    EXPECT_EQ(lines_of(*tab.new_list_box),
              (Lines{"Pump:Tray1", "Pump:Tray3", "Pump:Tray2", "Plain:Lid"}));
    EXPECT_EQ(dest_object(2), (Lines{"Pump:Tray2", "200", "Low", "second"}));
}

TEST_F(EditTabTest, SavingWritesTheNolFileOfTheChosenNameWithItsOldComments) {
    tab.save_button->click();
    EXPECT_EQ(messages.errors, (Lines{"There are no objects to save!"}));
    open_source("first.nol", kFirst);
    tab.add_all_button->click();

    ASSERT_TRUE(QDir(folder.path()).mkdir("my.lists"));
    const std::string lists = file("my.lists");
    write_lines(lists + "/list.nol", [] {
        Lines lines{"Old comment", "second line"};
        const Lines rest = list_file({"Plain;Old"});
        lines.insert(lines.end(), rest.begin(), rest.end());
        return lines;
    }());

    files.saves.push_back(lists + "/list.txt");
    messages.answers = {true};
    script.press("Saving object list", "Save list", [](QWidget& window) {
        auto& memo = *static_cast<Tcomment_form&>(window).comments_memo;
        EXPECT_EQ(memo.toPlainText().toStdString(), "Old comment\nsecond line");
        memo.setPlainText("New comment");
    });
    tab.save_button->click();
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(messages.questions, (Lines{"list.nol already exists.\nDo you want to replace it?"}));
    EXPECT_EQ(QDir(QString::fromStdString(lists)).entryList(QDir::Files), QStringList{"list.nol"});
    auto saved = read_text_lines(lists + "/list.nol");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->front(), "New comment");
    auto reread = std::make_unique<Configuration>();
    clear_configuration(*reread);
    ASSERT_TRUE(read_configuration(*reread, *saved));
    EXPECT_EQ(object_display_lines(*reread), lines_of(*tab.new_list_box));

    // A new file is created only when confirmed; Cancel in the comments cancels the save, so
    // a new file is not written and an old one keeps every byte.
    files.saves.push_back(file("fresh"));
    messages.answers = {false};
    tab.save_button->click();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(file("fresh.nol"))));
    files.saves.push_back(file("fresh"));
    messages.answers = {true};
    script.press("Saving object list", "Don't save");
    tab.save_button->click();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(file("fresh.nol"))));
    EXPECT_EQ(messages.questions.back(),
              "fresh.nol\nThis file does not exist.\nDo you want to create it?");

    const auto before = read_text_lines(lists + "/list.nol");
    files.saves.push_back(lists + "/list.nol");
    script.press("Saving object list", "Don't save", [](QWidget& window) {
        static_cast<Tcomment_form&>(window).comments_memo->clear();
    });
    tab.save_button->click();
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(read_text_lines(lists + "/list.nol"), before);
}

// The save as the operator runs it from the keyboard: Enter creates a new file, Escape in
// the comments writes nothing but keeps what was typed for the next try, and the status line
// says each time what became of the list.
TEST_F(EditTabTest, SavingByKeyboardCreatesTheFileAndKeepsDeclinedComments) {
    MessageBoxHandler boxes;
    ScopedMessageHandler real_boxes(boxes);
    open_source("first.nol", kFirst);
    tab.add_all_button->click();
    const auto key = [](Qt::Key pressed) {
        return [pressed](QWidget& window) { QTest::keyClick(&window, pressed); };
    };
    const auto memo_of = [](QWidget& window) -> QPlainTextEdit& {
        return *static_cast<Tcomment_form&>(window).comments_memo;
    };

    files.saves.push_back(file("fresh"));
    script.press("Information", "", key(Qt::Key_Return));
    script.press("Saving object list", "", [&](QWidget& window) {
        EXPECT_TRUE(static_cast<Tcomment_form&>(window).label->text().contains("\"Save list\""));
        QTest::keyClicks(&memo_of(window), "Typed note");
        QTest::keyClick(&window, Qt::Key_Escape);
    });
    tab.save_button->click();
    EXPECT_SCRIPT_DONE(script);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(file("fresh.nol"))));
    EXPECT_EQ(link.statuses.back(), "Not saved");

    files.saves.push_back(file("fresh"));
    script.press("Information", "", key(Qt::Key_Return));
    script.press("Saving object list", "Save list", [&](QWidget& window) {
        EXPECT_EQ(memo_of(window).toPlainText().toStdString(), "Typed note");
    });
    tab.save_button->click();
    EXPECT_SCRIPT_DONE(script);
    const auto saved = read_text_lines(file("fresh.nol"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->front(), "Typed note");
    EXPECT_EQ(link.statuses.back(), "Saved fresh.nol: 4 objects");
}

// Removing several objects asks first (Enter keeps them); Ctrl+Z and Ctrl+Shift+Z take back
// and repeat a remove, a move and an add, values and all.
TEST_F(EditTabTest, RemovingManyAsksAndUndoTakesBackRemoveMoveAndAdd) {
    MessageBoxHandler boxes;
    ScopedMessageHandler real_boxes(boxes);
    open_source("first.nol", kFirst);
    tab.add_all_button->click();
    const Lines all = lines_of(*tab.new_list_box);
    tab.show();
    tab.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
    QListWidget& list = *tab.new_list_box;
    list.setFocus();

    select(list, {0, 1, 3});
    QString question;
    script.press("Information", "", [&](QWidget& window) {
        question = window.findChild<QLabel*>("qt_msgbox_label")->text();
        QTest::keyClick(&window, Qt::Key_Return);
    });
    QTest::mouseClick(tab.delete_button, Qt::LeftButton);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(question, "Do you want to remove the 3 selected objects from the list?");
    EXPECT_EQ(lines_of(list), all);

    script.press("Information", "Yes");
    QTest::mouseClick(tab.delete_button, Qt::LeftButton);
    // The window gets the focus back from the box, as on a desktop.
    tab.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tab));
    list.setFocus();
    EXPECT_EQ(lines_of(list), (Lines{"Pump:Tray3"}));
    EXPECT_EQ(link.statuses.back(), "Removed 3 objects: 1 in the list");
    QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(lines_of(list), all);
    EXPECT_EQ(dest_object(1), (Lines{"Pump:Tray2", "200", "Low", "second"}));
    EXPECT_EQ(link.statuses.back(), "Undone: Remove 3 objects");
    QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(lines_of(list), (Lines{"Pump:Tray3"}));
    QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);

    // One object goes without a question.
    select(list, {2});
    list.setCurrentRow(2, QItemSelectionModel::NoUpdate);
    tab.down_button->click();
    EXPECT_EQ(lines_of(list), (Lines{"Pump:Tray1", "Pump:Tray2", "Plain:Lid", "Pump:Tray3"}));
    QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(lines_of(list), all);
    EXPECT_EQ(dest_object(2), (Lines{"Pump:Tray3", "300", "Medium", "third"}));
    tab.delete_button->click();
    EXPECT_EQ(list.count(), 3);

    // Back past the add: the list is empty and takes the classes again at the next add.
    tab.undo_action->trigger();
    tab.undo_action->trigger();
    EXPECT_EQ(list.count(), 0);
    EXPECT_TRUE(state.destination_needs_classes);
    EXPECT_FALSE(tab.undo_action->isEnabled());
    tab.redo_action->trigger();
    EXPECT_EQ(lines_of(list), all);
}

// Sorting goes by class, then name in any letter case; an object another refers to comes
// before it (the instrument takes no reference to an object it lacks); values and the
// selection go with their objects, and Undo puts the old order back.
TEST_F(EditTabTest, SortingByClassAndNamePutsReferencesFirst) {
    write_lines(file("racks.nol"),
                {"[LISTS]", "[CLASSES]", "!Tray", "Volume;1;1000;10;1;ul", "!Rack", "Holder;Tray",
                 "[OBJECTS]", "Rack;r2;t9", "Tray;t9;5", "Tray;b1;7", "Rack;A1;None", "Tray;T5;3"});
    files.opens.push_back(file("racks.nol"));
    tab.get_objects_button->click();
    tab.add_all_button->click();
    const Lines added = lines_of(*tab.new_list_box);
    select(*tab.new_list_box, {2});
    tab.sort_action->trigger();
    EXPECT_EQ(lines_of(*tab.new_list_box),
              (Lines{"Rack:A1", "Tray:t9", "Rack:r2", "Tray:b1", "Tray:T5"}));
    EXPECT_EQ(dest_object(1), (Lines{"Tray:t9", "5"}));
    EXPECT_EQ(dest_object(2), (Lines{"Rack:r2", "t9"}));
    ASSERT_EQ(tab.new_list_box->selectedItems().size(), 1);
    EXPECT_EQ(tab.new_list_box->selectedItems().front()->text(), "Tray:b1");
    EXPECT_EQ(link.statuses.back(), "Sorted 5 objects by class and name");
    tab.undo_action->trigger();
    EXPECT_EQ(lines_of(*tab.new_list_box), added);
}

TEST(ListSavePath, TheNameIsCutAtItsFirstDotUnlessItIsANolFileAlready) {
    EXPECT_EQ(list_save_path("/home/a.b/list.txt"), "/home/a.b/list.nol");
    EXPECT_EQ(list_save_path("/home/a.b/list"), "/home/a.b/list.nol");
    EXPECT_EQ(list_save_path("/home/a.b/list.old.txt"), "/home/a.b/list.nol");
#if defined(_WIN32)
    EXPECT_EQ(list_save_path("C:\\x.y\\list.txt"), "C:\\x.y\\list.nol");
#else
    // A backslash is part of a file name here.
    EXPECT_EQ(list_save_path("/home/a.b/x\\y.txt"), "/home/a.b/x\\y.nol");
#endif
    // A list name with a dot keeps it, as the folder lists show it.
    EXPECT_EQ(list_save_path("/home/list.v2.nol"), "/home/list.v2.nol");
    EXPECT_EQ(list_save_path("/home/LIST.NOL"), "/home/LIST.NOL");
}

TEST_F(EditTabTest, ANewObjectIsCheckedAndNeedsClassesFromASource) {
    tab.new_object_button->click();
    EXPECT_EQ(messages.infos, (Lines{"no classes defined yet!"}));

    open_source("first.nol", kFirst);
    const auto attempt = [&](const char* volume) {
        script.press("Add new object", "Add object to list", [&, volume](QWidget&) {
            new_object.object_name->setText("Pump9");
            new_object.value_box[0]->setText(volume);
        });
    };
    attempt("2000");
    attempt("12abc");
    script.press("Add new object", "Cancel");
    tab.new_object_button->click();
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(messages.infos, (Lines{"no classes defined yet!", "Volume: 2000 > 1000"}));
    EXPECT_EQ(messages.errors, (Lines{"Not a number:Volume"}));
    EXPECT_EQ(tab.new_list_box->count(), 0);
    EXPECT_EQ(tab.module_label->text().toStdString(), "Classes from first.nol");

    attempt("999");
    tab.new_object_button->click();
    EXPECT_EQ(lines_of(*tab.new_list_box), (Lines{"Pump:Pump9"}));
    EXPECT_EQ(dest_object(0), (Lines{"Pump:Pump9", "999", "Medium", ""}));
}

TEST_F(EditTabTest, RenamingAskToChangeTheNameOrCopyOrGoBack) {
    open_source("first.nol", kFirst);
    tab.add_all_button->click();
    const auto rename_to = [&](const char* name) {
        script.press("Edit Pump Tray1", "OK",
                     [&, name](QWidget&) { new_object.object_name->setText(name); });
    };
    tab.new_list_box->setCurrentRow(0);

    rename_to("Tray7");
    script.press("copy_dialog", "Change name");
    tab.new_list_boxDblClick();
    EXPECT_EQ(lines_of(*tab.new_list_box),
              (Lines{"Pump:Tray7", "Pump:Tray2", "Pump:Tray3", "Plain:Lid"}));

    script.press("Edit Pump Tray7", "OK",
                 [&](QWidget&) { new_object.object_name->setText("Tray8"); });
    script.press("copy_dialog", "Create new object");
    tab.new_list_boxDblClick();
    EXPECT_EQ(lines_of(*tab.new_list_box),
              (Lines{"Pump:Tray7", "Pump:Tray2", "Pump:Tray3", "Plain:Lid", "Pump:Tray8"}));
    EXPECT_EQ(dest_object(4), (Lines{"Pump:Tray8", "100", "High", "first"}));

    script.press("Edit Pump Tray7", "OK",
                 [&](QWidget&) { new_object.object_name->setText("Tray9"); });
    script.press("copy_dialog", "Cancel");
    script.press("Edit Pump Tray7", "Cancel");
    tab.new_list_boxDblClick();
    EXPECT_EQ(tab.new_list_box->count(), 5);
    EXPECT_EQ(tab.new_list_box->item(0)->text(), "Pump:Tray7");

    // Another object overwritten under a name in other letters shows that name.
    script.press("Edit Pump Tray7", "OK",
                 [&](QWidget&) { new_object.object_name->setText("TRAY8"); });
    script.press("copy_dialog", "Create new object");
    messages.answers = {true};
    tab.new_list_boxDblClick();
    EXPECT_EQ(messages.questions, (Lines{"Do you really want to overwrite Tray8"}));
    EXPECT_EQ(lines_of(*tab.new_list_box),
              (Lines{"Pump:Tray7", "Pump:Tray2", "Pump:Tray3", "Plain:Lid", "Pump:TRAY8"}));

    // Without a current line a double click makes a new object.
    tab.new_list_box->setCurrentRow(-1);
    script.press("Add new object", "Cancel");
    tab.new_list_boxDblClick();
}

TEST_F(EditTabTest, AFileThatDoesNotReadLeavesThePreviousSource) {
    open_source("first.nol", kFirst);
    write_lines(file("broken.nol"), {"[LISTS]", "[CLASSES]", "!Pump", "Volume;1;x;10;1;ul"});
    files.opens.push_back(file("broken.nol"));
    tab.get_objects_button->click();
    EXPECT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(lines_of(*tab.object_box),
              (Lines{"Pump:Tray1", "Pump:Tray2", "Pump:Tray3", "Plain:Lid"}));
    EXPECT_EQ(state.source_name, file("first.nol"));
    EXPECT_EQ(state.source->object_count, 4);
    tab.get_objects_button->click();  // cancelled
    EXPECT_EQ(state.source_name, file("first.nol"));

    // A double click describes the current source object beside the window.
    tab.setGeometry(100, 100, 596, 320);
    tab.show();
    tab.object_box->setCurrentRow(1);
    tab.object_boxDblClick();
    EXPECT_TRUE(description.isVisible());
    EXPECT_FALSE(description.frameGeometry().intersects(tab.frameGeometry()));
    EXPECT_EQ(description.windowTitle(), "Pump:Tray2");
    ASSERT_EQ(description.object_grid->rowCount(), 3);
    EXPECT_EQ(description.object_grid->item(0, 1)->text(), "200");
    EXPECT_EQ(description.object_grid->item(0, 2)->text(), "ul");
    EXPECT_EQ(description.object_grid->item(1, 1)->text(), "Low");
    description.close();
}

TEST_F(EditTabTest, TheInstrumentsConfigurationBecomesTheSource) {
    open_source("first.nol", kFirst);
    link.reply = list_file({"Plain;Cover", "Pump;P1;5;0;x"});
    // The loaded source stays until the reply has been read.
    tab.get_from_nimbra_button->click();
    EXPECT_EQ(lines_of(*tab.object_box),
              (Lines{"Pump:Tray1", "Pump:Tray2", "Pump:Tray3", "Plain:Lid"}));
    EXPECT_EQ(state.source->object_count, 4);
    link.answer();
    EXPECT_EQ(link.statuses,
              (Lines{"Loaded first.nol: 4 objects", "Receiving configuration from Nimbra",
                     "Nimbra configuration recieved", "2 objects received from Nimbra"}));
    EXPECT_EQ(tab.source_list_label->text(), "Objects in NIMBRA");
    EXPECT_EQ(lines_of(*tab.object_box), (Lines{"Plain:Cover", "Pump:P1"}));
    EXPECT_FALSE(state.no_source_yet);
    EXPECT_EQ(state.source_name, "NIMBRA");

    // New objects can be made from the instrument's classes straight away.
    script.press("Add new object", "Cancel");
    tab.new_object_button->click();
    EXPECT_EQ(tab.module_label->text().toStdString(), "Classes from NIMBRA");

    // A reply that does not read leaves the source as it was.
    open_source("first.nol", kFirst);
    link.reply = {"[LISTS]", "0;x"};
    tab.get_from_nimbra_button->click();
    link.answer();
    EXPECT_EQ(tab.object_box->count(), 4);
    EXPECT_EQ(state.source->object_count, 4);
    EXPECT_EQ(state.source_name, file("first.nol"));
    EXPECT_FALSE(state.no_source_yet);
}

TEST_F(EditTabTest, SendingAsksAboutTheWholeListAndNeedsTheInstrumentsClasses) {
    open_source("first.nol", kFirst);
    tab.add_all_button->click();
    tab.new_list_box->clearSelection();
    tab.send_button->click();  // "No"
    EXPECT_EQ(messages.questions, (Lines{"Do you want to download the whole_list?"}));
    EXPECT_EQ(link.requests, 0);

    messages.answers = {true};
    link.reply = {"[LISTS]", "0;x"};
    tab.send_button->click();
    EXPECT_EQ(link.requests, 1);
    link.answer();  // the configuration did not read: nothing is checked, nothing sent
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(link.statuses.back(), "Download cancelled");

    link.reply = list_file({});
    tab.send_button->click();
    link.answer();
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(link.sent[0], (Lines{"Pump:Tray1", "Pump:Tray2", "Pump:Tray3", "Plain:Lid"}));

    select(*tab.new_list_box, {3, 1});
    tab.send_button->click();  // known now: sent at once, in list order
    link.answer();
    EXPECT_EQ(link.requests, 2);
    ASSERT_EQ(link.sent.size(), 2u);
    EXPECT_EQ(link.sent[1], (Lines{"Pump:Tray2", "Plain:Lid"}));

    // A refusal part-way stops the send, and its bar goes back to the start.
    select(*tab.new_list_box, {0, 1, 2});
    tab.send_button->click();
    link.port->deliver("@\r");
    EXPECT_EQ(tab.send_progress->value(), 1);
    link.port->deliver("@Object refused\r");
    EXPECT_EQ(messages.errors.back(), "Object refused");
    EXPECT_EQ(tab.send_progress->value(), 0);
}

}  // namespace
}  // namespace vexilo::test
