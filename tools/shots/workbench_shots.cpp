// Photographs the workbench as the operator meets it: both presentations, a description hint,
// and every window its menus and buttons open, each as a picture of the whole screen (hints
// and message boxes included): workbench_shots OUT_FOLDER LIST_FOLDER [SOURCE.nol]. Run it under
// a display (xvfb-run, also with QT_SCALE_FACTOR=2); the serial port is a stand-in, so nothing
// needs an instrument. With a source, the edit tab is shown with it loaded and an object
// described, and the new object dialog with each of its classes' fields.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

#include "config/messages.h"
#include "dialogs/message_boxes.h"
#include "dialogs/ui_helpers.h"
#include "link/fake_port.h"
#include "settings/settings.h"
#include "support/find_child.h"
#include "workbench/edit_lists_tab.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace {

QString out_folder;

void shoot_screen(const QString& name) {
    QApplication::processEvents();
    QTest::qWait(300);
    const QString path = QDir(out_folder).filePath(name + ".png");
    QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s\n", qPrintable(path));
}

// Runs the action, which opens a modal window; photographs that window and closes it.
void shoot_modal(const QString& name, const std::function<void()>& open) {
    QTimer::singleShot(600, [name] {
        shoot_screen(name);
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    open();
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir settings_folder;
    qputenv("VEXILO_SETTINGS", settings_folder.filePath("settings").toLocal8Bit());
    qputenv("VEXILO_AUDIT", settings_folder.filePath("audit.sqlite").toLocal8Bit());
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: workbench_shots OUT_FOLDER LIST_FOLDER [SOURCE.nol]\n");
        return 2;
    }
    out_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out_folder);
    using namespace vexilo;
    store_text_setting("Root Folder", argv[2]);
    store_text_setting("List Folder", argv[2]);
    store_folder_list({argv[2], path_to_text(QDir::homePath())});
    // VEXILO_SHOTS_CHANGED_ONLY=1 shows the panels with "Send only changed objects" on.
    store_int_setting("Send Only Changed",
                      qEnvironmentVariableIntValue("VEXILO_SHOTS_CHANGED_ONLY"));

    MessageBoxHandler boxes;
    ScopedMessageHandler messages(boxes);

    for (const bool service : {false, true}) {
        const QStringList arguments =
            service ? QStringList{QStringLiteral("/support")} : QStringList{};
        Workbench workbench(arguments, std::make_unique<test::FakePort>());
        TMainForm& form = workbench.main_form();
        form.show();
        form.activateWindow();
        (void)QTest::qWaitForWindowExposed(&form);
        if (!form.isActiveWindow()) {
            std::printf("(the window was not activated; activating it by hand)\n");
            QEvent activation(QEvent::WindowActivate);
            QApplication::sendEvent(&form, &activation);
        }
        const QString presentation =
            service ? QStringLiteral("service") : QStringLiteral("operator");
        shoot_screen(presentation);

        const auto action = [&form](const char* name) { return &test::child<QAction>(form, name); };
        QListWidget& box = test::child<QListWidget>(form, service ? "file_box" : "file_box_1");
        if (box.count() > 0) {
            const QPoint row = box.visualItemRect(box.item(0)).center();
            QTest::mouseMove(box.viewport(), row);
            QMouseEvent move(QEvent::MouseMove, row, box.viewport()->mapToGlobal(row), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(box.viewport(), &move);
            QHelpEvent tip(QEvent::ToolTip, row, box.viewport()->mapToGlobal(row));
            QApplication::sendEvent(box.viewport(), &tip);
            shoot_screen(presentation + "-hint");
        }
        if (box.count() > 0) box.item(0)->setSelected(false);
        shoot_modal(presentation + "-no-modules", [&] {
            test::child<QPushButton>(form,
                                     service ? "send_modules_button" : "send_modules_button_1")
                .click();
        });
        if (service) {
            shoot_modal("question-remove-all",
                        [&] { action("RemoveallobjectsfromNimbra1")->trigger(); });
            shoot_modal("about", [&] { action("About1")->trigger(); });
            shoot_modal("serial-port", [&] { action("Port")->trigger(); });
            shoot_modal("folder", [&] { action("SelectObjectListFolder1")->trigger(); });
            if (box.count() > 0) {
                const QPoint row = box.visualItemRect(box.item(0)).center();
                shoot_modal("edit-comments",
                            [&] { QTest::mouseClick(box.viewport(), Qt::RightButton, {}, row); });
            }
            test::child<QTabWidget>(form, "PageControl1").setCurrentIndex(1);
            shoot_screen("service-edit-tab");
            EditListsTab& tab = test::child<EditListsTab>(form, "edit_tab");
            if (argc > 3 && tab.get_and_show_config(argv[3])) {
                tab.add_all_buttonClick();
                tab.object_box->setCurrentRow(0);
                tab.object_boxDblClick();
                shoot_screen("service-edit-description");
                shoot_modal("new-object", [&] { tab.make_new_object(-1); });
            }
        }
        form.close();
    }
    {
        QStringList arguments{QStringLiteral("KVX")};
        Workbench workbench(arguments, std::make_unique<test::FakePort>());
        workbench.main_form().show();
        (void)QTest::qWaitForWindowExposed(&workbench.main_form());
        workbench.main_form().activateWindow();
        shoot_screen("link-window");
    }
    return 0;
}
