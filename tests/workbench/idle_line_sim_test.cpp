// An instrument that keeps talking after its reply was given up: the lines nobody waits for
// are counted and dropped, so the idle window keeps no more of them however long it goes on.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>
#include <fstream>

#include "link/ui/nimbra_lib_window.h"
#include "platform/qt_serial_port.h"
#include "settings/settings.h"
#include "support/event_wait.h"
#include "support/find_child.h"
#include "support/message_recorder.h"
#include "support/nimbra_sim_process.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace vexilo {
namespace {

// Resident memory of this process, in kB.
long resident_kb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

TEST(IdleLineSim, LinesAfterAStoppedReplyAreDroppedAndTheWindowStaysFlat) {
    test::TempDir dir;
    ::setenv("VEXILO_SETTINGS", dir.file("settings").c_str(), 1);
    store_text_setting("Root Folder", EXAMPLES_DIR "/lists");
    store_text_setting("List Folder", EXAMPLES_DIR "/lists");
    test::MessageRecorder messages;
    test::SimProcess sim(NIMBRA_SIM_PROGRAM,
                         {"--config", EXAMPLES_DIR "/instrument.nol", "--fault", "endless"}, dir);
    const auto device = sim.port();
    ASSERT_TRUE(device) << sim.log();

    Workbench workbench({}, std::make_unique<QtSerialPort>([&](int) { return *device; }));
    ASSERT_TRUE(workbench.port_opened());
    long dropped = 0;
    workbench.link().add_listener([&dropped](const LinkEvent& event) {
        if (event.kind == LinkEvent::Kind::Dropped) ++dropped;
    });
    TMainForm& form = workbench.main_form();
    test::child<QListWidget>(form, "file_box_1").item(0)->setSelected(true);
    test::child<QPushButton>(form, "send_modules_button_1").click();
    test::run_events_while([&] { return messages.errors.empty(); }, 4 * test::kWaitMs);
    ASSERT_EQ(messages.errors, std::vector<std::string>{"The nimbra is not responding!"});

    // The reply was given up at its bound; what keeps coming is nobody's.
    const auto& replies = test::child<QListWidget>(*form.dialogs.link_window, "return_box");
    const int kept = replies.count();
    EXPECT_LE(kept, Tnimbra_lib_window::kMaxLines);
    const long before = resident_kb();
    test::run_events_while([&] { return dropped < 8000; }, 4 * test::kWaitMs);
    ASSERT_GE(dropped, 8000);
    EXPECT_EQ(replies.count(), kept);
#if !defined(__SANITIZE_ADDRESS__)
    // Kept in the window alone, the lines would take about 2 MB. (The address sanitizer holds
    // freed memory back for a while, so there the resident size says nothing.)
    EXPECT_LT(resident_kb() - before, 1024);
#else
    (void)before;
#endif
    ::unsetenv("VEXILO_SETTINGS");
}

}  // namespace
}  // namespace vexilo
