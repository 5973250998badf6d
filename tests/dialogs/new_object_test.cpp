#include "dialogs/new_object.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <memory>

#include "config/field_text.h"
#include "config/reader.h"
#include "dialogs/message_boxes.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"

namespace vexilo {
namespace {

using test::ModalScript;

#define EXPECT_SCRIPT_DONE(script) \
    EXPECT_TRUE((script).finished()) << (script).failures().join("; ").toStdString()

std::vector<std::string> base_lines() {
    return {"[LISTS]",
            "1;3;Low;Medium;High",
            "[CLASSES]",
            "!Pump",
            "Volume;1;1000;10;1;ul",
            "#Speed;0;2;1;1",
            "&Label",
            "Partner;Pump",
            "Gain;0;9;1;1;E",
            "!Plain",
            "[OBJECTS]",
            "Pump;Tray1;100;2;first;None;3",
            "Pump;Tray2;200;0;second;Tray1;4",
            "Plain;Lid"};
}

class NewObjectTest : public ::testing::Test {
  protected:
    void SetUp() override { read({}); }

    void read(std::vector<std::string> extra_classes) {
        std::vector<std::string> lines = base_lines();
        const auto objects = std::find(lines.begin(), lines.end(), "[OBJECTS]");
        lines.insert(objects, extra_classes.begin(), extra_classes.end());
        clear_configuration(*dest);
        test::MessageRecorder quiet;
        ASSERT_TRUE(read_configuration(*dest, lines));
    }

    std::vector<std::string> values(int object) const {
        std::vector<std::string> texts{display_line(*dest, object)};
        const ClassRecord& cls = dest->classes[dest->objects[object].class_index];
        for (int f = 0; f < cls.field_count; ++f) {
            texts.push_back(field_value_text(*dest, dest->objects[object], f));
        }
        return texts;
    }

    std::unique_ptr<Configuration> dest = std::make_unique<Configuration>();
    Tnew_object dialog{*dest};
    test::MessageRecorder messages;
    ModalScript script;
};

using Texts = std::vector<std::string>;

TEST_F(NewObjectTest, ANewObjectStartsFromTheDefaultsOfEachKindAndIsAppended) {
    script.press("Add new object", "Add object to list", [&](QWidget&) {
        EXPECT_TRUE(dialog.class_label->isVisible());
        EXPECT_TRUE(dialog.object_class->isEnabled());
        EXPECT_EQ(dialog.object_class->count(), 2);
        EXPECT_EQ(dialog.object_class->currentText(), "Pump");
        EXPECT_EQ(dialog.field_label[0]->text(), "Volume");
        EXPECT_EQ(dialog.value_box[0]->text(), "10");
        EXPECT_EQ(dialog.value_box[0]->toolTip(), "Range: 1 to 1000\nDefault: 10");
        EXPECT_EQ(dialog.units_label[0]->text(), "ul");
        EXPECT_FALSE(dialog.obj_box[0]->isVisible());
        EXPECT_TRUE(dialog.obj_box[1]->isVisible());
        EXPECT_FALSE(dialog.value_box[1]->isVisible());
        EXPECT_EQ(dialog.obj_box[1]->count(), 3);
        EXPECT_EQ(dialog.obj_box[1]->currentText(), "Medium");
        EXPECT_TRUE(dialog.value_box[2]->text().isEmpty());
        EXPECT_TRUE(dialog.value_box[2]->toolTip().isEmpty());
        EXPECT_FALSE(dialog.units_label[2]->isVisible());
        EXPECT_EQ(dialog.obj_box[3]->itemText(0), "None");
        EXPECT_EQ(dialog.obj_box[3]->count(), 3);  // None, Tray1, Tray2; Lid is no Pump
        EXPECT_EQ(dialog.obj_box[3]->currentText(), "None");
        EXPECT_TRUE(dialog.units_label[4]->text().isEmpty());  // units "E"
        EXPECT_FALSE(dialog.field_label[5]->isVisible());
        dialog.object_name->setText("Pump3");
        dialog.value_box[2]->setText("third");
        dialog.obj_box[3]->setCurrentIndex(2);
    });
    dialog.run(-1);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_TRUE(dialog.added);
    EXPECT_FALSE(dialog.changed);
    ASSERT_EQ(dest->object_count, 4);
    EXPECT_EQ(values(3), (Texts{"Pump:Pump3", "10", "Medium", "third", "Tray2", "1"}));
    EXPECT_TRUE(messages.infos.empty());

    // A class without fields hides every slot; its line is the class and the name.
    script.press("Add new object", "Add object to list", [&](QWidget&) {
        dialog.object_class->setCurrentIndex(1);
        for (int k = 0; k < Tnew_object::SLOT_COUNT; ++k) {
            EXPECT_FALSE(dialog.field_label[k]->isVisible());
            EXPECT_FALSE(dialog.value_box[k]->isVisible());
            EXPECT_FALSE(dialog.obj_box[k]->isVisible());
        }
        dialog.object_name->setText("Lid2");
    });
    dialog.run(-1);
    EXPECT_TRUE(dialog.added);
    EXPECT_EQ(values(4), (Texts{"Plain:Lid2"}));

    // Closing the next showing reports nothing added.
    script.press("Add new object", "", [](QWidget& window) { window.close(); });
    dialog.run(-1);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_FALSE(dialog.added);
    EXPECT_EQ(dest->object_count, 5);
}

TEST_F(NewObjectTest, BadEntriesAreRefusedWithTheirMessageAndTheDialogStaysOpen) {
    const auto attempt = [&](const char* name, int slot, const char* text) {
        script.press("Add new object", "Add object to list", [=, this](QWidget&) {
            dialog.object_name->setText(name);
            dialog.value_box[0]->setText("10");
            dialog.value_box[2]->clear();
            dialog.value_box[slot]->setText(text);
        });
    };
    attempt("", 0, "10");
    attempt("P9", 0, "2000");
    attempt("P9", 0, "0");
    attempt("P9", 0, "12abc");
    attempt("P9", 2, "sixteen chars!!!");
    attempt("P9", 2, "a;b");
    attempt("P;9", 0, "10");
    attempt("P9", 0, " 1000");  // as typed, which the object line reads as 1000
    dialog.run(-1);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(messages.infos,
              (Texts{"Please provide a name for the new object", "Volume: 2000 > 1000",
                     "Volume: 0 < 1", "Label: sixteen chars!!! is longer than 15 characters",
                     "Label: a;b contains \";\", which is not allowed",
                     "Name of object: P;9 contains \";\", which is not allowed"}));
    EXPECT_EQ(messages.errors, Texts{"Not a number:Volume"});
    EXPECT_TRUE(dialog.added);
    EXPECT_EQ(values(3), (Texts{"Pump:P9", "1000", "Medium", "", "None", "1"}));
}

TEST_F(NewObjectTest, TheRangeMessageComesAsAnInformationBox) {
    MessageBoxHandler boxes;
    ScopedMessageHandler installed(boxes);
    QString text;
    script
        .press("Add new object", "Add object to list",
               [&](QWidget&) {
                   dialog.object_name->setText("P9");
                   dialog.value_box[0]->setText("2000");
               })
        .press("Information", "OK",
               [&](QWidget& box) { text = box.findChild<QLabel*>("qt_msgbox_label")->text(); })
        .press("Add new object", "Cancel");
    dialog.run(-1);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(text, "Volume: 2000 > 1000");
    EXPECT_FALSE(dialog.added);
    EXPECT_EQ(dest->object_count, 3);
}

TEST_F(NewObjectTest, ANameInUseAsksBeforeOverwriting) {
    const auto add_named = [&](const char* name) {
        script.press("Add new object", "Add object to list", [=, this](QWidget&) {
            dialog.object_name->setText(name);
            dialog.value_box[0]->setText("555");
        });
        dialog.run(-1);
    };
    add_named("TRAY2");
    EXPECT_EQ(messages.questions, Texts{"Do you really want to overwrite Tray2"});
    EXPECT_FALSE(dialog.isVisible());  // No closes the dialog, and nothing changes
    EXPECT_EQ(values(1), (Texts{"Pump:Tray2", "200", "Low", "second", "Tray1", "4"}));

    messages.answers = {true};
    add_named("TRAY2");
    EXPECT_SCRIPT_DONE(script);
    EXPECT_FALSE(dialog.added);
    EXPECT_FALSE(dialog.changed);
    EXPECT_EQ(dialog.overwritten, 1);
    EXPECT_EQ(dest->object_count, 3);
    EXPECT_EQ(values(1), (Texts{"Pump:TRAY2", "555", "Medium", "", "None", "1"}));
}

TEST_F(NewObjectTest, EditingShowsTheStoredValuesAndRenamingAsksRenameOrCopy) {
    Tcopy_dialog copy_dialog;
    dialog.set_copy_dialog(&copy_dialog);
    const auto rename = [&](const char* answer) {
        script.press("Edit Pump Tray1", "OK", [&](QWidget&) {
            EXPECT_FALSE(dialog.object_class->isEnabled());
            EXPECT_FALSE(dialog.class_label->isVisible());
            EXPECT_EQ(dialog.value_box[0]->text(), "100");
            EXPECT_EQ(dialog.obj_box[1]->currentText(), "High");
            EXPECT_EQ(dialog.value_box[2]->text(), "first");
            dialog.object_name->setText("Tray3");
            dialog.value_box[0]->setText("111");
        });
        script.press("copy_dialog", answer, [&](QWidget&) {
            EXPECT_EQ(copy_dialog.StaticText1->text(),
                      "Do you wish to change the name of Tray1 to Tray3");
        });
    };

    rename("Cancel");
    script.press("Edit Pump Tray1", "Cancel", [&](QWidget&) {
        EXPECT_EQ(dialog.object_name->text(), "Tray3");  // the entries stay
        EXPECT_EQ(dialog.value_box[0]->text(), "111");
    });
    dialog.run(0);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(dialog.copy_answer, CopyAnswer::Cancel);
    EXPECT_FALSE(dialog.changed);
    EXPECT_EQ(values(0)[0], "Pump:Tray1");

    rename("Create new object");
    dialog.run(0);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_TRUE(dialog.added);
    EXPECT_FALSE(dialog.changed);
    EXPECT_EQ(values(0), (Texts{"Pump:Tray1", "100", "High", "first", "None", "3"}));
    EXPECT_EQ(values(3), (Texts{"Pump:Tray3", "111", "High", "first", "None", "3"}));

    rename("Change name");
    dialog.run(0);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_TRUE(dialog.changed);
    EXPECT_FALSE(dialog.added);
    EXPECT_EQ(values(0), (Texts{"Pump:Tray3", "111", "High", "first", "None", "3"}));
    EXPECT_EQ(dest->object_count, 4);
    EXPECT_TRUE(messages.questions.empty());
}

TEST_F(NewObjectTest, ChangingOnlyTheLetterCaseAsksToOverwriteAndUpdatesTheRow) {
    messages.answers = {true};
    script.press("Edit Pump Tray2", "OK", [&](QWidget&) {
        EXPECT_EQ(dialog.obj_box[3]->currentText(), "Tray1");
        dialog.object_name->setText("tray2");
    });
    dialog.run(1);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(messages.questions, Texts{"Do you really want to overwrite Tray2"});
    EXPECT_TRUE(dialog.changed);
    EXPECT_EQ(values(1), (Texts{"Pump:tray2", "200", "Low", "second", "Tray1", "4"}));
}

TEST_F(NewObjectTest, EditingKeepsValuesTheListCannotShow) {
    // Tray2 refers to an object outside this list, and its Speed names no entry.
    ASSERT_TRUE(read_object_line(*dest, "Pump;Tray2;200;7;second;Elsewhere;4", 1));
    messages.answers = {true};
    script.press("Edit Pump Tray2", "OK", [&](QWidget&) {
        EXPECT_EQ(dialog.obj_box[3]->currentText(), "Elsewhere");
        EXPECT_EQ(dialog.obj_box[1]->currentIndex(), -1);
        dialog.value_box[0]->setText("222");
    });
    dialog.run(1);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_EQ(values(1), (Texts{"Pump:Tray2", "222", "7", "second", "Elsewhere", "4"}));
}

// Also run on a 1280 x 1024 screen at QT_SCALE_FACTOR=2.
TEST_F(NewObjectTest, AClassWithMoreThanTwentyFieldsGetsASlotForEachField) {
    std::vector<std::string> wide = {"!Wide"};
    for (int f = 1; f <= 24; ++f)
        wide.push_back("F" + std::to_string(f) + ";0;100;" + std::to_string(f) + ";1;s");
    read(wide);
    int normal_height = 0;
    script.press("Add new object", "Add object to list", [&](QWidget&) {
        normal_height = dialog.height();
        dialog.object_class->setCurrentText("Wide");
        EXPECT_GT(dialog.height(), normal_height);
        EXPECT_TRUE(dialog.screen()->availableGeometry().contains(dialog.frameGeometry()));
        for (int k = 0; k < 24; ++k) {
            EXPECT_TRUE(dialog.value_box[k]->isVisible()) << k;
            const QRect box(dialog.value_box[k]->mapTo(&dialog, QPoint(0, 0)),
                            dialog.value_box[k]->size());
            EXPECT_TRUE(dialog.rect().contains(box)) << k;
        }
        // In reading order: down the left column, then down the right one.
        EXPECT_LT(dialog.value_box[11]->x(), dialog.value_box[12]->x());
        dialog.object_name->setText("W1");
        dialog.value_box[23]->setText("99");
    });
    dialog.run(-1);
    EXPECT_SCRIPT_DONE(script);
    ASSERT_TRUE(dialog.added);
    const Texts stored = values(3);
    EXPECT_EQ(stored.size(), 25u);
    EXPECT_EQ(stored[20], "20");
    EXPECT_EQ(stored[24], "99");

    script.press("Add new object", "Cancel", [&](QWidget&) {
        EXPECT_EQ(dialog.height(), normal_height);  // a narrower class gets the usual size
    });
    dialog.run(-1);
    EXPECT_SCRIPT_DONE(script);
}

TEST_F(NewObjectTest, OverwritingInAFullValueStoreReusesTheFreedSpace) {
    // Each overwrite gives the object a fresh value block: fill the store with stale blocks.
    while (value_block_fits(*dest, 0)) {
        ASSERT_TRUE(read_object_line(*dest, "Pump;Tray1;1;0;;None;0", 0));
    }
    messages.answers = {true};
    script.press("Edit Pump Tray1", "OK", [&](QWidget&) { dialog.value_box[0]->setText("321"); });
    dialog.run(0);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_TRUE(messages.errors.empty());
    EXPECT_EQ(values(0)[1], "321");
    EXPECT_EQ(values(1), (Texts{"Pump:Tray2", "200", "Low", "second", "Tray1", "4"}));
    EXPECT_LT(dest->data_used, 200);
}

TEST_F(NewObjectTest, AFullListRefusesTheNewObjectAndKeepsTheOthers) {
    while (dest->object_count < MAX_OBJECTS) {
        ASSERT_TRUE(read_object_line(*dest, "Plain;L" + std::to_string(dest->object_count),
                                     dest->object_count));
    }
    script.press("Add new object", "Add object to list",
                 [&](QWidget&) { dialog.object_name->setText("OneTooMany"); });
    dialog.run(-1);
    EXPECT_SCRIPT_DONE(script);
    EXPECT_FALSE(dialog.added);
    EXPECT_EQ(messages.errors, Texts{"Too many objects (at most 1928): OneTooMany"});
    EXPECT_EQ(dest->object_count, MAX_OBJECTS);
    EXPECT_EQ(values(0), (Texts{"Pump:Tray1", "100", "High", "first", "None", "3"}));
}

}  // namespace
}  // namespace vexilo
