#include "workbench/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <map>
#include <memory>

#include "config/object_list_file.h"
#include "config/text_file.h"
#include "dialogs/editcomm_form.h"
#include "dialogs/ui_helpers.h"
#include "link/fake_port.h"
#include "link/ui/portform.h"
#include "settings/settings.h"
#include "support/event_wait.h"
#include "support/find_child.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"
#include "workbench/folder_tree.h"

namespace vexilo {
namespace {

using test::child;
using test::FakePort;
using test::MessageRecorder;
using test::ModalScript;

// Records which operations the window asks of the instrument service, with their lists.
class RecordingObserver final : public OperationObserver {
  public:
    std::string operation_starting(const OperationStart& start) override {
        std::string call = operation_name(start.kind);
        for (const std::string& path : start.files)
            call += " " + list_name(path) + "=" + file_name_of(path);
        calls.push_back(call);
        return {};
    }

    static std::string file_name_of(const std::string& path) {
        return QFileInfo(QString::fromStdString(path)).fileName().toStdString();
    }

    std::vector<std::string> calls;
};

class MainFormTest : public ::testing::Test {
  protected:
    MainFormTest() {
        ::setenv("VEXILO_SETTINGS", dir.filePath(QStringLiteral("settings")).toLocal8Bit(), 1);
        lists = dir.filePath(QStringLiteral("lists"));
        QDir(dir.path()).mkdir(QStringLiteral("lists"));
    }
    ~MainFormTest() override {
        form.reset();
        operations.reset();
        link.reset();
        ::unsetenv("VEXILO_SETTINGS");
    }

    void write_list(const QString& file_name, const std::vector<std::string>& lines) {
        ASSERT_TRUE(write_text_lines(path_to_text(lists + "/" + file_name), lines));
    }

    void use_list_folder() {
        store_text_setting("Root Folder", path_to_text(lists));
        store_text_setting("List Folder", path_to_text(lists));
    }

    void start(const QStringList& arguments = {}) {
        auto owned = std::make_unique<FakePort>();
        port = owned.get();
        port->available = {1, 2};
        form.reset();
        operations.reset();
        link = std::make_unique<Tnimbra_lib>(std::move(owned));
        operations = std::make_unique<InstrumentOperations>(*link);
        operations->set_observer(&observer);
        form = std::make_unique<TMainForm>(arguments, *operations);
        ASSERT_TRUE(link->FormCreate());
    }

    void activate() {
        QEvent activation(QEvent::WindowActivate);
        QApplication::sendEvent(form.get(), &activation);
    }

    void show() {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        activate();
    }

    // The window's controls, by the names it gives them.
    QListWidget& list(const char* name) { return child<QListWidget>(*form, name); }
    QAction& action(const char* name) { return child<QAction>(*form, name); }
    QTabWidget& pages() { return child<QTabWidget>(*form, "PageControl1"); }

    QPoint row_centre(QListWidget& box, int row) {
        return box.visualItemRect(box.item(row)).center();
    }

    QTemporaryDir dir;
    QString lists;
    MessageRecorder messages;
    RecordingObserver observer;
    FakePort* port = nullptr;
    std::unique_ptr<Tnimbra_lib> link;
    std::unique_ptr<InstrumentOperations> operations;
    std::unique_ptr<TMainForm> form;
};

bool service_presentation(const TMainForm& form) {
    const bool service = !child<QTabWidget>(form, "PageControl1").isHidden();
    // The two presentations never mix.
    EXPECT_EQ(child<QWidget>(form, "send_panel").isHidden(), service);
    EXPECT_EQ(child<QFrame>(form, "shape_line").isHidden(), service);
    EXPECT_EQ(child<QAction>(form, "printitem").isVisible(), service);
    EXPECT_EQ(child<QAction>(form, "RemoveallobjectsfromNimbra1").isVisible(), service);
    EXPECT_EQ(form.service_mode(), service);
    return service;
}

TEST_F(MainFormTest, CommandLineChoosesThePresentation) {
    struct Case {
        QStringList arguments;
        bool service;
        bool link_window;
    };
    const Case cases[] = {
        {{}, false, false},
        {{"/support"}, true, false},
        {{"/SUPPORT"}, true, false},
        {{"/Support"}, true, false},
        {{"support"}, false, false},
        {{"-support"}, false, false},
        {{"\\support"}, false, false},
        {{"/supports"}, false, false},
        {{"/support "}, false, false},
        {{"kvx"}, false, true},
        {{"KVX", "/support"}, true, true},
        {{"/support", "Kvx", "other"}, true, true},
        {{"KVX2"}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        form.reset();
        start(c.arguments);
        EXPECT_EQ(service_presentation(*form), c.service);
        EXPECT_EQ(form->show_link_window(), c.link_window);
        EXPECT_EQ(pages().currentWidget(), &child<QWidget>(*form, "send_tab"));
        EXPECT_EQ(form->windowTitle(), QStringLiteral("NIMBRA Vexilo"));
    }
}

TEST_F(MainFormTest, ServicePresentationHasBothTabsAndTheFixedClientArea) {
    start({"/support"});
    ASSERT_EQ(pages().count(), 2);
    EXPECT_EQ(pages().tabText(0), QStringLiteral("Send objects to Nimbra"));
    EXPECT_EQ(pages().tabText(1), QStringLiteral("Edit Object Lists"));
    EXPECT_TRUE(pages().isTabVisible(1));
    EXPECT_EQ(list("file_box").geometry(), QRect(280, 40, 289, 217));
    EXPECT_EQ(list("file_box_1").geometry(), QRect(284, 44, 289, 241));
    EXPECT_EQ(child<QPushButton>(*form, "send_modules_button").text(),
              QStringLiteral("&Send selected Object Lists to Nimbra"));
    EXPECT_EQ(form->centralWidget()->height() + child<QStatusBar>(*form, "StatusBar1").height(),
              370);
    EXPECT_EQ(form->centralWidget()->width(), 596);
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the window does not resize";
}

TEST_F(MainFormTest, FirstStartStoresBothFoldersAndEveryStartStoresTheListFolder) {
    start();
    const std::string home = path_to_text(QDir::homePath());
    EXPECT_EQ(read_text_setting("Root Folder", "?"), home);
    EXPECT_EQ(read_text_setting("List Folder", "?"), home);
    EXPECT_EQ(form->current_list_folder(), home);

    form.reset();
    store_text_setting("Root Folder", path_to_text(dir.path()));
    store_text_setting("List Folder", path_to_text(lists));
    start();
    EXPECT_EQ(form->root_folder(), path_to_text(dir.path()));
    EXPECT_EQ(child<FolderTree>(*form, "PTShellTree1").base_folder(), dir.path());
    EXPECT_EQ(form->current_list_folder(), path_to_text(lists));
    EXPECT_EQ(read_text_setting("Root Folder", "?"), path_to_text(lists));
    EXPECT_EQ(child<QLabel>(*form, "directory_label").text(), lists);

    // A long folder is shortened in the middle in both captions.
    const QString deep = lists + "/" + QString(70, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    form->set_list_folder(path_to_text(deep), false);
    for (QLabel* label :
         {&child<QLabel>(*form, "directory_label"), &child<QLabel>(*form, "directory_label_1")}) {
        EXPECT_EQ(label->text().size(), 58);
        EXPECT_TRUE(label->text().startsWith(deep.left(27)));
        EXPECT_TRUE(label->text().contains(QStringLiteral("...")));
    }
}

TEST_F(MainFormTest, BothFileListsShowTheListFolderAndFollowTheTreesAfterActivation) {
    write_list("beta.nol", {"[LISTS]"});
    write_list("Alpha.nol", {"[LISTS]"});
    QDir(lists).mkdir(QStringLiteral("sub"));
    ASSERT_TRUE(write_text_lines(path_to_text(lists + "/sub/GAMMA.NOL"), {"[LISTS]"}));
    store_text_setting("Root Folder", path_to_text(lists));
    store_text_setting("List Folder", path_to_text(lists));
    start({"/support"});
    for (QListWidget* box : {&list("file_box"), &list("file_box_1")}) {
        ASSERT_EQ(box->count(), 2);
        EXPECT_EQ(box->item(0)->text(), QStringLiteral("Alpha"));
        EXPECT_EQ(box->item(1)->text(), QStringLiteral("beta"));
    }

    // Trees report nothing before the first activation.
    const QString sub = QDir::toNativeSeparators(lists + "/sub");
    EXPECT_FALSE(form->tree_events_enabled());
    child<FolderTree>(*form, "PTShellTree1").select_path(sub);
    EXPECT_EQ(form->current_list_folder(), path_to_text(lists));

    activate();
    EXPECT_TRUE(form->tree_events_enabled());
    child<FolderTree>(*form, "PTShellTree2").select_path(lists);
    child<FolderTree>(*form, "PTShellTree2").select_path(sub);
    EXPECT_EQ(form->current_list_folder(), path_to_text(sub));
    EXPECT_EQ(list("file_box").count(), 1);
    EXPECT_EQ(list("file_box_1").item(0)->text(), QStringLiteral("GAMMA"));
    // Browsing changes the folder for this run only.
    EXPECT_EQ(read_text_setting("List Folder", "?"), path_to_text(lists));
}

TEST_F(MainFormTest, ActivationGivesTheLinkTheStoredPort) {
    start();
    store_port(2);
    activate();
    EXPECT_EQ(link->port_number(), 2);
}

TEST_F(MainFormTest, HintDescribesTheRowUnderTheMouse) {
    write_list("Alpha.nol", {"Flush the lines", "  with buffer B", "[LISTS]", "[CLASSES]"});
    write_list("beta.nol", {"no sections at all"});
    write_list("gone.nol", {"[LISTS]"});
    use_list_folder();
    start();
    show();
    QListWidget& box = list("file_box_1");
    ASSERT_EQ(box.count(), 3);

    const QPoint alpha = row_centre(box, 0);
    form->build_list_hint(box, alpha.x(), alpha.y());
    EXPECT_EQ(box.toolTip(),
              QStringLiteral("Object list Alpha:\nFlush the lines\n  with buffer B"));
    EXPECT_EQ(form->last_hovered_row, 0);
    EXPECT_EQ(form->last_mouse_row_position, alpha.y());

    const QPoint beta = row_centre(box, 1);
    form->build_list_hint(box, beta.x(), beta.y());
    EXPECT_EQ(box.toolTip(), QStringLiteral("Object list beta"));

    // Along the same row the hint is kept, even when the file changed meanwhile.
    write_list("beta.nol", {"changed", "[LISTS]"});
    form->build_list_hint(box, beta.x() + 5, beta.y() + 1);
    EXPECT_EQ(box.toolTip(), QStringLiteral("Object list beta"));
    EXPECT_EQ(form->last_mouse_row_position, beta.y() + 1);

    // A file that disappeared gives an empty hint; below the rows there is none either.
    ASSERT_TRUE(QFile::remove(lists + "/gone.nol"));
    const QPoint gone = row_centre(box, 2);
    form->build_list_hint(box, gone.x(), gone.y());
    EXPECT_TRUE(box.toolTip().isEmpty());
    form->build_list_hint(box, 5, box.viewport()->height() - 2);
    EXPECT_EQ(form->last_hovered_row, -1);
    EXPECT_TRUE(box.toolTip().isEmpty());

    // Activation forgets the row, so the next move builds the hint again.
    activate();
    EXPECT_EQ(form->last_hovered_row, -2);
    form->build_list_hint(box, beta.x(), beta.y());
    EXPECT_EQ(box.toolTip(), QStringLiteral("Object list beta:\nchanged"));
}

TEST_F(MainFormTest, TheHintStaysWithinEightPixelsOfTheMouseForNineSeconds) {
    write_list("Alpha.nol", {"Flush", "[LISTS]"});
    write_list("beta.nol", {"[LISTS]"});
    use_list_folder();
    start();
    show();
    QListWidget& box = list("file_box_1");
    const QPoint at = row_centre(box, 0);
    QRect band;
    int ms = 0;
    const auto real_hint = form->show_hint;
    form->show_hint = [&](const QPoint& global, const QString& text, QWidget* widget,
                          const QRect& area, int time) {
        band = area;
        ms = time;
        real_hint(global, text, widget, area, time);
    };
    form->build_list_hint(box, at.x(), at.y());
    QHelpEvent help(QEvent::ToolTip, at, box.viewport()->mapToGlobal(at));
    QApplication::sendEvent(box.viewport(), &help);
    EXPECT_EQ(ms, 9000);
    for (const int dy : {-8, 8})
        EXPECT_TRUE(band.contains(at.x(), at.y() + dy)) << dy;
    for (const int dy : {-9, 9})
        EXPECT_FALSE(band.contains(at.x(), at.y() + dy)) << dy;
    EXPECT_TRUE(band.contains(0, at.y()) && band.contains(box.viewport()->width(), at.y()));

    // Leaving the band withdraws the hint.
    ASSERT_TRUE(QToolTip::isVisible());
    QMouseEvent away(QEvent::MouseMove, QPointF(at.x(), at.y() + 9),
                     box.viewport()->mapToGlobal(QPointF(at.x(), at.y() + 9)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &away);
    test::run_events_while([] { return QToolTip::isVisible(); }, 10000);
    EXPECT_FALSE(QToolTip::isVisible());
}

TEST_F(MainFormTest, TheListsFollowTheirFolderOnDiskAndF5KeepingTheSelection) {
    for (const char* name : {"Alpha.nol", "beta.nol", "gamma.nol"})
        write_list(name, {"[LISTS]"});
    use_list_folder();
    start({"/support"});
    show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QListWidget& box = list("file_box");
    const auto names = [](const QListWidget& list) {
        QStringList shown;
        for (int row = 0; row < list.count(); ++row)
            shown << list.item(row)->text() + (list.item(row)->isSelected() ? "*" : "");
        return shown;
    };
    box.item(1)->setSelected(true);
    box.setCurrentRow(2, QItemSelectionModel::Select);

    // F5 reads the folder at once, before any notice of the change has come in.
    ASSERT_TRUE(QFile::remove(lists + "/Alpha.nol"));
    QTest::keyClick(form.get(), Qt::Key_F5);
    EXPECT_EQ(names(box), (QStringList{"beta*", "gamma*"}));
    EXPECT_EQ(box.currentItem()->text(), "gamma");

    // Lists added and renamed by others show up by themselves, in both panels.
    write_list("delta.nol", {"[LISTS]"});
    ASSERT_TRUE(QFile::rename(lists + "/gamma.nol", lists + "/Epsilon.nol"));
    const QStringList expected{"beta*", "delta", "Epsilon"};
    test::run_events_while([&] { return names(box) != expected; }, 10000);
    EXPECT_EQ(names(box), expected);
    EXPECT_EQ(names(list("file_box_1")).join(',').remove('*'), "beta,delta,Epsilon");
}

TEST_F(MainFormTest, TheDescriptionOpensFromTheKeyboardAndTheFileMenu) {
    write_list("wash.nol", {"old", "[LISTS]"});
    write_list("rinse.nol", {"[LISTS]"});
    use_list_folder();
    start({"/support"});
    Teditcommform editor(form.get());
    form->dialogs.editcommform = &editor;
    show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QListWidget& box = list("file_box");
    box.setFocus();
    box.setCurrentRow(1);  // wash, selected
    const std::string wash = form->list_path(std::string("wash"));

    ModalScript script;
    QStringList shown;
    const auto write = [&](const char* text) {
        return [&shown, text](QWidget& window) {
            auto* memo = window.findChild<QPlainTextEdit*>("Memo1");
            shown << memo->toPlainText();
            memo->setPlainText(text);
        };
    };
    script.press("Edit comments in object list", "OK", write("by Shift+F10"));
    QTest::keyClick(&box, Qt::Key_F10, Qt::ShiftModifier);
    script.press("Edit comments in object list", "OK", write("by the menu key"));
    QTest::keyClick(&box, Qt::Key_Menu);
    EXPECT_TRUE(action("description_action").isVisible());
    script.press("Edit comments in object list", "OK", write("by the File menu"));
    action("description_action").trigger();
    EXPECT_TRUE(script.finished()) << script.failures().join(", ").toStdString();
    EXPECT_EQ(shown, (QStringList{"old", "by Shift+F10", "by the menu key"}));
    EXPECT_EQ(read_text_lines(wash), (std::vector<std::string>{"by the File menu", "[LISTS]"}));
    EXPECT_EQ(form->status_text(), "Saved the description of wash");

    box.clearSelection();
    box.setCurrentRow(-1);
    action("description_action").trigger();
    EXPECT_EQ(messages.errors, (std::vector<std::string>{"No object list selected!"}));
}

TEST_F(MainFormTest, EveryMnemonicOfTheEditTabIsItsOwn) {
    start({"/support"});
    pages().setCurrentWidget(&child<EditListsTab>(*form, "edit_tab"));
    show();
    std::map<QChar, QStringList> owners;
    const auto take = [&](const QString& caption) {
        const qsizetype mark = caption.indexOf('&');
        if (mark >= 0 && mark + 1 < caption.size()) owners[caption[mark + 1].toLower()] << caption;
    };
    for (const QAction* menu : form->menuBar()->actions())
        take(menu->text());
    for (const QAbstractButton* button :
         child<EditListsTab>(*form, "edit_tab").findChildren<QAbstractButton*>()) {
        if (button->isVisible()) take(button->text());
    }
    EXPECT_GE(owners.size(), 12u);
    for (const auto& [letter, captions] : owners)
        EXPECT_EQ(captions.size(), 1) << captions.join(" | ").toStdString();
}

TEST_F(MainFormTest, RightClickEditsTheDescriptionAndKeepsTheList) {
    const std::vector<std::string> body = {"[LISTS]",   "1;Volumes;2", "1;small;1", "[CLASSES]",
                                           "[OBJECTS]", "Wash;W1;3",   "[ATOMS]"};
    std::vector<std::string> file = {"old comment"};
    file.insert(file.end(), body.begin(), body.end());
    write_list("wash.nol", file);
    use_list_folder();
    start({"/support"});
    Teditcommform editor(form.get());
    form->dialogs.editcommform = &editor;
    show();
    const QPoint row = row_centre(list("file_box"), 0);
    const std::string path = form->list_path(std::string("wash"));

    ModalScript cancel;
    cancel.press("Edit comments in object list", "Cancel", [](QWidget& window) {
        window.findChild<QPlainTextEdit*>("Memo1")->setPlainText("thrown away");
    });
    QTest::mouseClick(list("file_box").viewport(), Qt::RightButton, {}, row);
    EXPECT_TRUE(cancel.finished()) << cancel.failures().join(", ").toStdString();
    EXPECT_EQ(read_text_lines(path), file);

    QString shown;
    ModalScript accept;
    accept.press("Edit comments in object list", "OK", [&shown](QWidget& window) {
        auto* memo = window.findChild<QPlainTextEdit*>("Memo1");
        shown = memo->toPlainText();
        memo->setPlainText("Wash program\nfor the small volumes");
    });
    QTest::mouseClick(list("file_box").viewport(), Qt::RightButton, {}, row);
    EXPECT_TRUE(accept.finished()) << accept.failures().join(", ").toStdString();
    EXPECT_EQ(shown, QStringLiteral("old comment"));
    std::vector<std::string> expected = {"Wash program", "for the small volumes"};
    expected.insert(expected.end(), body.begin(), body.end());
    EXPECT_EQ(read_text_lines(path), expected);

    // The right button leaves the lists chosen for sending alone; the left one edits nothing.
    EXPECT_TRUE(list("file_box").selectedItems().isEmpty());
    QTest::mouseClick(list("file_box").viewport(), Qt::LeftButton, {}, row);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(messages.errors.empty());
}

// The flow behind a send (asking for the configuration first, the statuses) is the
// service's own; the window hands it the selected lists and its panel's bar.
TEST_F(MainFormTest, SendingListsHandsTheSelectedListsToTheOperations) {
    write_list("a.b.nol", {"[LISTS]"});
    write_list("Alpha.nol", {"[LISTS]"});
    write_list("beta.nol", {"[LISTS]"});
    use_list_folder();
    start();
    QListWidget& box = list("file_box_1");

    child<QPushButton>(*form, "send_modules_button_1").click();
    EXPECT_EQ(messages.errors, std::vector<std::string>{"No modules selected!"});
    EXPECT_TRUE(observer.calls.empty());

    box.item(2)->setSelected(true);
    box.item(0)->setSelected(true);
    child<QPushButton>(*form, "send_modules_button_1").click();
    EXPECT_EQ(observer.calls, std::vector<std::string>{"send lists a.b=a.b.nol beta=beta.nol"});
    // The panel's own bar follows the configuration's reply.
    EXPECT_EQ(child<QProgressBar>(*form, "send_mod_progress_1").maximum(),
              InstrumentOperations::kConfigProgressMax);
    EXPECT_NE(child<QProgressBar>(*form, "send_mod_progress").maximum(),
              InstrumentOperations::kConfigProgressMax);
    port->advance(200 * kTickMs);  // no answer: the line is free again

    list("file_box").item(1)->setSelected(true);
    child<QPushButton>(*form, "send_modules_button").click();
    EXPECT_EQ(observer.calls.back(), "send lists Alpha=Alpha.nol");
    EXPECT_EQ(child<QProgressBar>(*form, "send_mod_progress").maximum(),
              InstrumentOperations::kConfigProgressMax);
}

TEST_F(MainFormTest, RemoveAllAsksAndForgetsTheConfigurationAtOnce) {
    start({"/support"});
    // The configuration is known, and a time-out left the speed to be found again.
    operations->get_configuration(nullptr, {});
    port->deliver("@\r");
    port->deliver("[lists]\r[classes]\r!Tray\r[objects]\r|\r");
    ASSERT_TRUE(operations->configuration_known());
    link->run_command("SILENT", {});
    port->advance(Tnimbra_lib::kReplyTicks * kTickMs);
    ASSERT_TRUE(operations->configuration_known());
    port->sent.clear();
    messages.errors.clear();
    form->set_status("before");

    action("RemoveallobjectsfromNimbra1").trigger();
    EXPECT_EQ(messages.questions, std::vector<std::string>{
                                      "Do you really want to remove all objects from the Nimbra?"});
    EXPECT_EQ(form->status_text(), "before");
    EXPECT_TRUE(port->sent.empty());
    EXPECT_TRUE(operations->configuration_known());

    messages.answers.push_back(true);
    action("RemoveallobjectsfromNimbra1").trigger();
    EXPECT_EQ(form->status_text(), "Removing all objects from Nimbra");
    EXPECT_FALSE(operations->configuration_known()) << "cleared before the instrument answers";
    EXPECT_EQ(port->sent_text(), "SET_BAUD 38400\r");
    port->deliver("@\r");
    EXPECT_EQ(port->sent_text(), "SET_BAUD 38400\rRES_OBJECTS\r");
    EXPECT_EQ(port->last_ticks, Tnimbra_lib::kLongReplyTicks);
    port->deliver("@\r");
    EXPECT_EQ(form->status_text(), "All objects removed from Nimbra");
}

TEST_F(MainFormTest, RestartFindsTheUnknownSpeedFirstAndGoesOutEvenWhenNoSpeedAnswers) {
    start();
    action("RestartNimbra1").trigger();
    EXPECT_EQ(form->status_text(), "Restart Nimbra");
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->sent[0].bytes, "SET_BAUD 38400\r");
    EXPECT_EQ(port->sent[0].baud, 9600);

    // Silent at 9600 and at 38400: RSTRT goes once at 9600 all the same, then its own time-out.
    port->advance(200 * 55);
    ASSERT_EQ(port->sent.size(), 3u);
    EXPECT_EQ(port->sent[2].bytes, "RSTRT\r");
    EXPECT_EQ(port->sent[2].baud, 9600);
    EXPECT_EQ(form->status_text(),
              "No answer to \"SET_BAUD 38400\" at 9600 or 38400 baud: "
              "sending \"RSTRT\" at 9600 baud all the same");
    EXPECT_TRUE(messages.errors.empty());
    port->advance(100 * 55);
    EXPECT_EQ(port->sent.size(), 3u);
    EXPECT_EQ(messages.errors, std::vector<std::string>{"The nimbra is not responding!"});
    EXPECT_EQ(form->status_text(), "The nimbra is not responding -- operation stopped");
}

TEST_F(MainFormTest, PrintItemIsEnabledOnlyWhileTheSendTabIsShown) {
    start({"/support"});
    EXPECT_TRUE(action("printitem").isEnabled());
    pages().setCurrentIndex(1);
    EXPECT_FALSE(action("printitem").isEnabled());
    pages().setCurrentIndex(0);
    EXPECT_TRUE(action("printitem").isEnabled());

    // Nothing selected: the printing module says so, and nothing is printed.
    action("printitem").trigger();
    EXPECT_EQ(messages.errors,
              std::vector<std::string>{"No modules selected -- no descriptions printed!"});
}

TEST_F(MainFormTest, MenuOpensTheSerialPortDialog) {
    start();
    Tport_form port_form(*link, form.get());
    form->dialogs.port_form = &port_form;
    std::string status_meanwhile;
    ModalScript script;
    script.press("Choose Serial Port", "Cancel",
                 [&](QWidget&) { status_meanwhile = form->status_text(); });
    action("Port").trigger();
    EXPECT_TRUE(script.finished()) << script.failures().join(", ").toStdString();
    EXPECT_EQ(status_meanwhile, "Changing serial port");
    EXPECT_EQ(form->status_text(), "");

    // The menu holds the commands in their order.
    QStringList file_menu;
    for (QAction* action : child<QMenu>(*form, "File1").actions())
        file_menu << action->text();
    EXPECT_EQ(file_menu, (QStringList{"Print selected object list",
                                      "&Edit description of selected object list",
                                      "Remove all objects from Nimbra", "Restart Nimbra",
                                      "Compare with Nimbra", "&Options", "E&xit"}));
}

// The send panels say when "Send only changed objects" is on, and the commands' keys are
// each taken once in the whole window.
TEST_F(MainFormTest, TheChangedOnlyOptionShowsAndEveryShortcutIsItsOwn) {
    start({"/support"});
    show();
    auto& option = action("send_changed_only_action");
    const auto label_shown = [&] { return child<QLabel>(*form, "changed_only_label").isVisible(); };
    EXPECT_EQ(label_shown(), option.isChecked());
    option.trigger();
    EXPECT_EQ(label_shown(), option.isChecked());
    EXPECT_EQ(child<QLabel>(*form, "changed_only_label_1").isVisibleTo(form.get()), false)
        << "the operator panel is hidden in the service presentation";
    option.trigger();
    EXPECT_EQ(label_shown(), option.isChecked());

    std::map<QString, QStringList> keys;
    for (const QAction* command : form->findChildren<QAction*>()) {
        for (const QKeySequence& key : command->shortcuts())
            keys[key.toString()] << command->objectName();
    }
    for (const auto& [key, owners] : keys)
        EXPECT_EQ(owners.size(), 1) << key.toStdString() << ": " << owners.join(", ").toStdString();
    EXPECT_EQ(keys["Ctrl+D"], QStringList{"compare_action"});
    EXPECT_EQ(keys["Ctrl+P"], QStringList{"printitem"});
    EXPECT_EQ(keys["Ctrl+Shift+R"], QStringList{"RestartNimbra1"});
    EXPECT_EQ(keys["Ctrl+L"], QStringList{"SelectObjectListFolder1"});
}

}  // namespace
}  // namespace vexilo
