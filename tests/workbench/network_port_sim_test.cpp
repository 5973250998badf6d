// The window on an instrument behind a device server: the port dialog, shown because the
// mapped address does not answer, takes an rfc2217:// address, and the window sends through
// it with the speed switch; the trace named in the settings records the line.

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <fstream>

#include "link/ui/nimbra_lib_window.h"
#include "link/ui/portform.h"
#include "platform/qt_serial_port.h"
#include "settings/settings.h"
#include "support/event_wait.h"
#include "support/find_child.h"
#include "support/message_recorder.h"
#include "support/modal_script.h"
#include "support/ser2net_process.h"
#include "support/status_time.h"
#include "workbench/line_trace_action.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace vexilo {
namespace {

TEST(NetworkPortSim, PortDialogTakesAnAddressAndTheWindowSendsThroughIt) {
    test::TempDir dir;
    ::setenv("VEXILO_SETTINGS", dir.file("settings").c_str(), 1);
    store_text_setting("Root Folder", EXAMPLES_DIR "/lists");
    store_text_setting("List Folder", EXAMPLES_DIR "/lists");
    store_text_setting(kTraceFileSetting, dir.file("trace.txt"));
    const std::string nobody = "rfc2217://127.0.0.1:" + std::to_string(test::free_tcp_port());
    store_port_mapping(1, nobody);
    test::SimProcess sim(NIMBRA_SIM_PROGRAM,
                         {"--config", EXAMPLES_DIR "/instrument.nol", "--link", dir.file("nimbra")},
                         dir);
    ASSERT_TRUE(sim.port()) << sim.log();
    test::Ser2net server(dir.file("nimbra"), dir);
    ASSERT_TRUE(server.ready()) << server.process().log();
    test::MessageRecorder messages;

    std::string reason;
    test::ModalScript script;
    script.press("Choose Serial Port", "OK", [&](QWidget& window) {
        auto& dialog = static_cast<Tport_form&>(window);
        reason = dialog.reason_label->text().toStdString();
        dialog.device_edit->setText(QString::fromStdString(server.rfc2217_url()));
    });
    // KVX: with the link's diagnostic window.
    Workbench workbench({"KVX"}, std::make_unique<QtSerialPort>());
    EXPECT_TRUE(script.finished()) << script.failures().join(", ").toStdString();
    EXPECT_EQ(reason, "Cannot open COM1 (" + nobody + "): the connection was refused: " +
                          "nothing listens on " + nobody.substr(10));
    ASSERT_TRUE(workbench.port_opened());
    EXPECT_EQ(read_port_mapping(1), server.rfc2217_url());

    TMainForm& form = workbench.main_form();
    form.show();
    auto& lists = test::child<QListWidget>(form, "file_box_1");
    lists.findItems(QStringLiteral("wash"), Qt::MatchExactly).front()->setSelected(true);
    test::child<QPushButton>(form, "send_modules_button_1").click();
    test::run_events_while(
        [&] {
            return form.status_text().find(" downloaded in ") == std::string::npos &&
                   messages.errors.empty();
        },
        2 * test::kWaitMs);
    EXPECT_EQ(test::timeless(form.status_text()), "4 objects of wash downloaded in T s");
    EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
    const std::string log = sim.log();
    EXPECT_NE(log.find("[9600] SET_BAUD 38400 -> @, then 38400 baud"), std::string::npos) << log;
    EXPECT_NE(log.find("[38400] DLD_OBJ"), std::string::npos) << log;

    EXPECT_TRUE(test::child<QAction>(form, "trace_action").isChecked());
    std::ifstream in(dir.file("trace.txt"), std::ios::binary);
    const std::string trace{std::istreambuf_iterator<char>(in), {}};
    const auto at = [&](const std::string& text) { return trace.find(text); };
    EXPECT_NE(at("-- opened COM1 (" + server.rfc2217_url() + ")"), std::string::npos) << trace;
    EXPECT_LT(at("> SET_BAUD 38400<0D>\n"), at("< @<0D>\n")) << trace;
    EXPECT_LT(at("< @<0D>\n"), at("-- speed 38400 baud\n")) << trace;
    EXPECT_LT(at("-- speed 38400 baud\n"), at("> GET_CONFIG<0D>\n")) << trace;
    EXPECT_NE(at("<9D>"), std::string::npos) << trace;
    // The diagnostic window's debug list follows the same lines, time stamps and all.
    const auto& debug = test::child<QListWidget>(*form.dialogs.link_window, "debug_box");
    EXPECT_GT(debug.count(), 10);
    for (int i = 0; i < debug.count(); ++i)
        EXPECT_NE(at(debug.item(i)->text().toStdString() + "\n"), std::string::npos)
            << debug.item(i)->text().toStdString();
    ::unsetenv("VEXILO_SETTINGS");
}

}  // namespace
}  // namespace vexilo
