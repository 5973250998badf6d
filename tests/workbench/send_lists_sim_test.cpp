// The operator's daily send, through the whole window against nimbra-sim on a pseudo-terminal:
// two lists chosen in the folder panel, the configuration asked for first, the statuses as the
// operator reads them, and the instrument holding the lists' objects afterwards.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "config/text_file.h"
#include "platform/qt_serial_port.h"
#include "settings/settings.h"
#include "support/event_wait.h"
#include "support/find_child.h"
#include "support/message_recorder.h"
#include "support/nimbra_sim_process.h"
#include "support/status_time.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace vexilo {
namespace {

using test::SimProcess;
using test::TempDir;

TEST(SendListsSim, TwoListsFromTheOperatorPanelWithTheirStatuses) {
    TempDir dir;
    ::setenv("VEXILO_SETTINGS", dir.file("settings").c_str(), 1);
    const std::string lists = EXAMPLES_DIR "/lists";
    store_text_setting("Root Folder", lists);
    store_text_setting("List Folder", lists);
    test::MessageRecorder messages;

    SimProcess sim(NIMBRA_SIM_PROGRAM,
                   {"--config", EXAMPLES_DIR "/instrument.nol", "--state", dir.file("state.nol")},
                   dir);
    ASSERT_TRUE(sim.started());
    const auto device = sim.port();
    ASSERT_TRUE(device) << sim.log();

    std::vector<std::string> statuses;
    {
        Workbench workbench({},
                            std::make_unique<QtSerialPort>([path = *device](int) { return path; }));
        ASSERT_TRUE(workbench.port_opened());
        TMainForm& form = workbench.main_form();
        workbench.link().set_status_sink([&](const std::string& text) {
            statuses.push_back(text);
            form.show_status(text);
        });
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

        QListWidget& box = test::child<QListWidget>(form, "file_box_1");
        ASSERT_EQ(box.count(), 3);  // assay, calibration, wash
        box.item(0)->setSelected(true);
        box.item(2)->setSelected(true);
        QTest::mouseClick(&test::child<QPushButton>(form, "send_modules_button_1"), Qt::LeftButton);

        test::run_events_while(
            [&] {
                return (statuses.empty() || test::timeless(statuses.back()) !=
                                                "10 objects of assay, wash downloaded in T s") &&
                       messages.errors.empty();
            },
            2 * test::kWaitMs);
        EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
        statuses.back() = test::timeless(statuses.back());
        EXPECT_EQ(statuses,
                  (std::vector<std::string>{
                      "Getting Nimbra configuration to check consistency",
                      "Receiving configuration from Nimbra", "Nimbra configuration recieved",
                      "9 objects received from Nimbra", "Downloading module assay",
                      "Downloading module wash", "Downloading 10 objects", "10 objects downloaded",
                      "10 objects of assay, wash downloaded in T s"}));
        EXPECT_EQ(test::timeless(form.status_text()),
                  "10 objects of assay, wash downloaded in T s");
    }
    ASSERT_EQ(sim.stop(), 0) << sim.log();
    std::vector<std::string> expected = test::object_lines_of(lists + "/assay.nol");
    for (const std::string& line : test::object_lines_of(lists + "/wash.nol"))
        expected.push_back(line);
    // The instrument kept the objects it had and took every object of both lists.
    std::vector<std::string> held = test::object_lines_of(dir.file("state.nol"));
    for (const std::string& line : expected) {
        EXPECT_NE(std::find(held.begin(), held.end(), line), held.end()) << line;
    }
    ::unsetenv("VEXILO_SETTINGS");
}

}  // namespace
}  // namespace vexilo
