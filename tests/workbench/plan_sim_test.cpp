// The changed-only option and the plan window in one window session against nimbra-sim: the
// copy of the instrument's configuration that the first send brought up to date serves the
// second send and the plan, without asking the instrument again.

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "platform/qt_serial_port.h"
#include "settings/settings.h"
#include "support/event_wait.h"
#include "support/find_child.h"
#include "support/message_recorder.h"
#include "support/nimbra_sim_process.h"
#include "support/status_time.h"
#include "workbench/main_form.h"
#include "workbench/plan_window.h"
#include "workbench/workbench.h"

namespace vexilo {
namespace {

using test::SimProcess;
using test::TempDir;

int occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(PlanSim, SecondChangedOnlySendAndThePlanUseTheCopyTheFirstSendKeptTrue) {
    TempDir dir;
    ::setenv("VEXILO_SETTINGS", dir.file("settings").c_str(), 1);
    const std::string lists = EXAMPLES_DIR "/lists";
    store_text_setting("Root Folder", lists);
    store_text_setting("List Folder", lists);
    store_int_setting(kSendChangedOnlySetting, 1);
    test::MessageRecorder messages;

    SimProcess sim(NIMBRA_SIM_PROGRAM, {"--config", EXAMPLES_DIR "/instrument.nol"}, dir);
    ASSERT_TRUE(sim.started());
    const auto device = sim.port();
    ASSERT_TRUE(device) << sim.log();
    {
        Workbench workbench({},
                            std::make_unique<QtSerialPort>([path = *device](int) { return path; }));
        ASSERT_TRUE(workbench.port_opened());
        TMainForm& form = workbench.main_form();
        std::vector<std::string> statuses;
        workbench.link().set_status_sink([&](const std::string& text) {
            statuses.push_back(text);
            form.show_status(text);
        });
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        EXPECT_TRUE(test::child<QAction>(form, "send_changed_only_action").isChecked());

        QListWidget& box = test::child<QListWidget>(form, "file_box_1");
        box.item(0)->setSelected(true);  // assay: six objects the instrument lacks
        const auto send_until = [&](const std::string& status) {
            QTest::mouseClick(&test::child<QPushButton>(form, "send_modules_button_1"),
                              Qt::LeftButton);
            test::run_events_while(
                [&] {
                    return test::timeless(form.status_text()) != status && messages.errors.empty();
                },
                2 * test::kWaitMs);
        };
        const std::string sent = "6 objects of assay downloaded in T s, 0 already in the Nimbra";
        send_until(sent);
        ASSERT_TRUE(messages.errors.empty()) << messages.errors.front();
        EXPECT_EQ(test::timeless(form.status_text()), sent);

        send_until("0 objects downloaded, 6 already in the Nimbra");
        EXPECT_EQ(messages.infos,
                  std::vector<std::string>{"No download: all objects are already in the Nimbra"});

        test::child<QAction>(form, "compare_action").trigger();
        auto* window = form.findChild<PlanWindow*>();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->counts_label->text(),
                  "0 new, 0 changed, 6 unchanged, 0 misfit, 9 only in the Nimbra");

        const std::string log = sim.log();
        EXPECT_EQ(occurrences(log, "] GET_CONFIG ->"), 1) << log;
        EXPECT_EQ(occurrences(log, "] DLD_OBJ "), 6) << log;

        // The option is the operator's choice across runs.
        test::child<QAction>(form, "send_changed_only_action").trigger();
        EXPECT_EQ(read_int_setting(kSendChangedOnlySetting, 1), 0);
    }
    ::unsetenv("VEXILO_SETTINGS");
}

}  // namespace
}  // namespace vexilo
