// The window's side of the proof, against nimbra-sim: a send that asks for a reason, verifies
// what the instrument stored, and leaves its record, which File > History shows and checks.

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "platform/qt_serial_port.h"
#include "settings/settings.h"
#include "support/event_wait.h"
#include "support/find_child.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"
#include "support/nimbra_sim_process.h"
#include "support/status_time.h"
#include "workbench/history_window.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace vexilo {
namespace {

using test::SimProcess;
using test::TempDir;

TEST(HistorySim, ASendAsksWhyVerifiesAndShowsInTheHistory) {
    TempDir dir;
    const QByteArray audit = qgetenv("VEXILO_AUDIT");
    ::setenv("VEXILO_SETTINGS", dir.file("settings").c_str(), 1);
    ::setenv("VEXILO_AUDIT", dir.file("audit.sqlite").c_str(), 1);
    const std::string lists = EXAMPLES_DIR "/lists";
    store_text_setting("Root Folder", lists);
    store_text_setting("List Folder", lists);
    store_int_setting(kVerifyAfterSendingSetting, 1);
    store_int_setting("Ask For Reason", 1);
    test::MessageRecorder messages;

    SimProcess sim(NIMBRA_SIM_PROGRAM, {"--config", EXAMPLES_DIR "/instrument.nol"}, dir);
    ASSERT_TRUE(sim.started());
    const auto device = sim.port();
    ASSERT_TRUE(device) << sim.log();
    {
        Workbench workbench({},
                            std::make_unique<QtSerialPort>([path = *device](int) { return path; }));
        TMainForm& form = workbench.main_form();
        std::string status;
        workbench.link().set_status_sink([&](const std::string& text) { status = text; });
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        test::child<QListWidget>(form, "file_box_1").item(0)->setSelected(true);  // assay
        QPushButton& send = test::child<QPushButton>(form, "send_modules_button_1");

        // Cancel in the reason dialog: nothing goes out, nothing is recorded.
        test::ModalScript cancel;
        cancel.press("Reason", "Cancel");
        QTest::mouseClick(&send, Qt::LeftButton);
        test::run_events_while([&] { return messages.errors.empty(); }, test::kWaitMs);
        ASSERT_EQ(messages.errors,
                  std::vector<std::string>{"Not sent: cancelled, no reason given"});
        messages.errors.clear();

        test::ModalScript reason;
        reason.press("Reason", "OK", [](QWidget& dialog) {
            dialog.findChild<QLineEdit*>()->setText(QStringLiteral("shift handover check"));
        });
        QTest::mouseClick(&send, Qt::LeftButton);
        const std::string verified = "6 objects of assay downloaded in T s, 6 objects verified";
        test::run_events_while(
            [&] { return test::timeless(status) != verified && messages.errors.empty(); },
            2 * test::kWaitMs);
        EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
        ASSERT_EQ(test::timeless(status), verified);

        test::child<QAction>(form, "history_action").trigger();
        HistoryWindow* history = workbench.history_window();
        ASSERT_NE(history, nullptr);
        QTableWidget* table = history->table();
        ASSERT_EQ(table->rowCount(), 1);
        EXPECT_EQ(table->item(0, 3)->text(), "send lists");
        EXPECT_EQ(table->item(0, 4)->text(), "assay.nol");
        EXPECT_EQ(table->item(0, 5)->text(), "done (verified)");
        const QString details = history->details()->toPlainText();
        EXPECT_TRUE(details.contains("Reason: shift handover check")) << details.toStdString();
        EXPECT_TRUE(details.contains("Verification: passed, 6 objects verified"));
        EXPECT_TRUE(details.contains("new: Tray:AssayTray"));
        history->check_chain();
        EXPECT_TRUE(
            history->chain_label()->text().startsWith("Chain verified: 1 records, 3 events"))
            << history->chain_label()->text().toStdString();
    }
    ::unsetenv("VEXILO_SETTINGS");
    ::setenv("VEXILO_AUDIT", audit.constData(), 1);
}

}  // namespace
}  // namespace vexilo
