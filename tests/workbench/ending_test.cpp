// How the window starts without a port and how it ends: Cancel in the port dialog opens it
// offline, a bad stored port is reported once, and closing the main window ends the program
// even while the link window (KVX) is open.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "config/text_file.h"
#include "link/fake_port.h"
#include "link/operations.h"
#include "link/ui/nimbra_lib_window.h"
#include "platform/qt_serial_port.h"
#include "settings/settings.h"
#include "settings/settings_backend.h"
#include "support/event_wait.h"
#include "support/find_child.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"
#include "support/nimbra_sim_process.h"
#include "support/status_time.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace vexilo {
namespace {

TEST(WorkbenchEnding, OfflineStartWithABadPortThenClosingEndsTheEventLoop) {
    QTemporaryDir dir;
    ::setenv("VEXILO_SETTINGS", dir.filePath(QStringLiteral("settings")).toLocal8Bit(), 1);
    settings_backend().open_key(main_key_path)->write_text("Port", "COM2");
    test::MessageRecorder messages;

    auto owned = std::make_unique<test::FakePort>();
    test::FakePort& port = *owned;
    port.available.clear();  // no port can be opened
    test::ModalScript script;
    // The dialog says why it is there, and names the port it could not open.
    QString reason, port_line;
    script.press("Choose Serial Port", "Cancel", [&](QWidget& dialog) {
        reason = dialog.findChild<QLabel*>("reason_label")->text();
        port_line = dialog.findChild<QComboBox*>("port_combox")->currentText();
    });
    Workbench workbench({"KVX"}, std::move(owned));
    EXPECT_TRUE(script.finished()) << script.failures().join(", ").toStdString();
    EXPECT_FALSE(workbench.port_opened());
    EXPECT_FALSE(port.is_open());
    TMainForm& form = workbench.main_form();
    EXPECT_EQ(form.status_text(), Workbench::kOfflineStatus);
    EXPECT_EQ(reason, "COM1 does not exist");
    EXPECT_EQ(port_line, "COM1 (not available)");

    form.show();
    for (int i = 0; i < 3; ++i) {
        QEvent activation(QEvent::WindowActivate);
        QApplication::sendEvent(&form, &activation);
    }
    EXPECT_EQ(messages.errors, std::vector<std::string>{"Invalid data type for 'Port'"});
    EXPECT_EQ(workbench.link().port_number(), 1);
    ASSERT_NE(form.dialogs.link_window, nullptr);
    EXPECT_TRUE(form.dialogs.link_window->isVisible());

    // An instrument command asks for the port again; left again, the window stays offline
    // and says that nothing went out.
    script.press("Choose Serial Port", "Cancel");
    test::child<QAction>(form, "RestartNimbra1").trigger();
    std::string status_meanwhile;
    script.press("Choose Serial Port", "", [&](QWidget& dialog) {
        status_meanwhile = form.status_text();
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    workbench.operations().send_lists({EXAMPLES_DIR "/lists/wash.nol"}, {}, {});
    EXPECT_TRUE(script.finished()) << script.failures().join(", ").toStdString();
    EXPECT_EQ(status_meanwhile, "Opening the serial port");
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(form.status_text(), Workbench::kNotSentStatus);
    // Once the port is there, the next command opens it without asking.
    port.available = {1};
    test::child<QAction>(form, "RestartNimbra1").trigger();
    EXPECT_TRUE(port.is_open());
    EXPECT_FALSE(port.sent.empty());

    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QApplication::exit(99); });
    limit.start(test::kWaitMs);
    QTimer::singleShot(0, &form, [&form] { test::child<QAction>(form, "Exit1").trigger(); });
    EXPECT_EQ(QApplication::exec(), 0) << "closing the main window must end the event loop";
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.dialogs.link_window->isVisible());
    ::unsetenv("VEXILO_SETTINGS");
}

// A time-out in the middle of a send: after the not-responding box the status line says how
// many objects got through, not "Downloading 4 objects".
TEST(WorkbenchEnding, StoppedSendSaysHowFarItGot) {
    QTemporaryDir dir;
    ::setenv("VEXILO_SETTINGS", dir.filePath(QStringLiteral("settings")).toLocal8Bit(), 1);
    store_text_setting("Root Folder", EXAMPLES_DIR "/lists");
    store_text_setting("List Folder", EXAMPLES_DIR "/lists");
    test::MessageRecorder messages;
    auto owned = std::make_unique<test::FakePort>();
    test::FakePort& port = *owned;
    Workbench workbench({}, std::move(owned));
    ASSERT_TRUE(workbench.port_opened());

    TMainForm& form = workbench.main_form();
    auto* lists = form.findChild<QListWidget*>(QStringLiteral("file_box_1"));
    ASSERT_NE(lists, nullptr);
    const QList<QListWidgetItem*> wash = lists->findItems(QStringLiteral("wash"), Qt::MatchExactly);
    ASSERT_EQ(wash.size(), 1);
    wash.front()->setSelected(true);
    form.findChild<QPushButton*>(QStringLiteral("send_modules_button_1"))->click();
    port.deliver("@\r");  // the switch to 38400 baud
    const auto config = read_text_lines(EXAMPLES_DIR "/instrument.nol");
    ASSERT_TRUE(config);
    std::string reply;
    for (const std::string& line : *config)
        reply += line + "\r";
    port.deliver(reply + "|\r");
    EXPECT_EQ(workbench.main_form().status_text(), "Downloading 4 objects");
    port.deliver("@\r");
    port.advance(Tnimbra_lib::kReplyTicks * kTickMs);
    EXPECT_EQ(messages.errors, std::vector<std::string>{"The nimbra is not responding!"});
    EXPECT_EQ(workbench.main_form().status_text(),
              "Download stopped: 1 of 4 objects accepted by the Nimbra");
    EXPECT_FALSE(workbench.operations().configuration_known());
    ::unsetenv("VEXILO_SETTINGS");
}

std::int64_t cpu_ms() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (std::int64_t{usage.ru_utime.tv_sec} + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// The simulator goes away (an adapter pulled) and comes back on the same link: the idle
// window does not spin on the dead line, and the next send works without a restart.
TEST(WorkbenchEnding, AfterAHangUpTheWindowRestsAndTheNextSendWorks) {
    test::TempDir dir;
    ::setenv("VEXILO_SETTINGS", dir.file("settings").c_str(), 1);
    store_text_setting("Root Folder", EXAMPLES_DIR "/lists");
    store_text_setting("List Folder", EXAMPLES_DIR "/lists");
    test::MessageRecorder messages;
    const std::string link_path = dir.file("nimbra");
    const auto start_sim = [&] {
        auto sim = std::make_unique<test::SimProcess>(
            NIMBRA_SIM_PROGRAM,
            std::vector<std::string>{"--config", EXAMPLES_DIR "/instrument.nol", "--link",
                                     link_path},
            dir);
        EXPECT_TRUE(sim->port()) << sim->log();
        return sim;
    };
    auto sim = start_sim();

    Workbench workbench({}, std::make_unique<QtSerialPort>([&](int) { return link_path; }));
    ASSERT_TRUE(workbench.port_opened());
    TMainForm& form = workbench.main_form();
    form.show();
    const auto send_wash = [&] {
        static const std::string kSent = "4 objects of wash downloaded in T s";
        test::child<QListWidget>(form, "file_box_1").clearSelection();
        test::child<QListWidget>(form, "file_box_1")
            .item(2)
            ->setSelected(true);  // assay, calibration, wash
        QTest::mouseClick(&test::child<QPushButton>(form, "send_modules_button_1"), Qt::LeftButton);
        test::run_events_while(
            [&] { return test::timeless(form.status_text()) != kSent && messages.errors.empty(); },
            2 * test::kWaitMs);
        EXPECT_EQ(test::timeless(form.status_text()), kSent);
    };
    send_wash();

    sim.reset();
    test::run_events_while(
        [&] { return form.status_text().rfind("The serial line was lost", 0) != 0; },
        test::kWaitMs);
    EXPECT_EQ(form.status_text().rfind("The serial line was lost", 0), 0u) << form.status_text();
    const std::int64_t before = cpu_ms();
    QTest::qWait(2000);
    // Polling a dead descriptor would take most of the two seconds.
    EXPECT_LT(cpu_ms() - before, 300);

    sim = start_sim();
    send_wash();
    EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
    ::unsetenv("VEXILO_SETTINGS");
}

}  // namespace
}  // namespace vexilo
