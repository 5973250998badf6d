#include "dialogs/ui_helpers.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>

#include "dialogs/message_boxes.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"

namespace vexilo {
namespace {

using test::ModalScript;

struct BoxSeen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

ModalScript::Inspect record(BoxSeen& seen) {
    return [&seen](QWidget& window) {
        auto& box = dynamic_cast<QMessageBox&>(window);
        seen.title = box.windowTitle();
        seen.text = box.text();
        seen.icon = box.icon();
        for (QAbstractButton* button : box.buttons())
            seen.buttons << button->text();
    };
}

TEST(MessageBoxes, ShowTheFixedCaptionsIconsAndButtonsWithWindows1252Text) {
    MessageBoxHandler handler;
    ScopedMessageHandler installed(handler);

    BoxSeen error;
    ModalScript script;
    script.press("Error", "OK", record(error));
    show_error("Not a number:Volume \xB5l");  // the micro sign as Windows-1252
    EXPECT_TRUE(script.finished()) << script.failures().join("; ").toStdString();
    EXPECT_EQ(error.text, QString::fromUtf8("Not a number:Volume \xC2\xB5l"));
    EXPECT_EQ(error.icon, QMessageBox::Critical);
    EXPECT_EQ(error.buttons, QStringList{"OK"});

    BoxSeen info;
    script.press("Information", "OK", record(info));
    show_info("No download: all objects are already in the Nimbra");
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(info.icon, QMessageBox::Information);
    EXPECT_EQ(info.buttons, QStringList{"OK"});

    BoxSeen question;
    script.press("Information", "&Yes", record(question));
    EXPECT_TRUE(ask_yes_no("Do you want to download the whole_list?"));
    EXPECT_EQ(question.icon, QMessageBox::Information);
    EXPECT_EQ(question.buttons, (QStringList{"&Yes", "&No"}));
    script.press("Information", "&No");
    EXPECT_FALSE(ask_yes_no("Do you want to download the whole_list?"));
    // Closed any other way (Escape, the close box) is not a Yes.
    script.press("Information", "", [](QWidget& box) { box.close(); });
    EXPECT_FALSE(ask_yes_no("Do you want to download the whole_list?"));
    EXPECT_TRUE(script.finished()) << script.failures().join("; ").toStdString();
}

TEST(WindowOperations, SelectionAndComboTexts) {
    test::MessageRecorder messages;
    QListWidget box;
    box.setSelectionMode(QAbstractItemView::MultiSelection);
    box.addItems({"Tray:Tray1", "Tray:Tray2"});
    EXPECT_TRUE(nothing_selected(box, "No objects selected!"));
    EXPECT_EQ(messages.errors, std::vector<std::string>{"No objects selected!"});
    box.item(1)->setSelected(true);
    EXPECT_FALSE(nothing_selected(box, "No objects selected!"));
    EXPECT_EQ(messages.errors.size(), 1u);

    QComboBox combo;
    EXPECT_EQ(selected_combo_text(combo), "");
    combo.addItems({"COM1", QString::fromUtf8("Z\xC3\xBCrich \xE2\x82\xAC")});
    combo.setCurrentIndex(1);
    EXPECT_EQ(selected_combo_text(combo), "Z\xFCrich \x80");
    EXPECT_EQ(to_text(QString::fromUtf8("\xE4\xB8\xAD")), "?");  // no Windows-1252 form
}

TEST(WindowOperations, CenterOnScreen) {
    QWidget window;
    window.resize(300, 200);
    center_on_screen(window);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window.frameGeometry().left(), screen.left() + (screen.width() - 300) / 2);
    EXPECT_EQ(window.frameGeometry().top(), screen.top() + (screen.height() - 200) / 2);
}

}  // namespace
}  // namespace vexilo
