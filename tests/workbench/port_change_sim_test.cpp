// "Send only changed objects" never trusts the copy of another instrument's configuration: a
// change of port in the port dialog, a new device behind the port and a lost line each make
// the next send read the instrument again, so every object goes to the instrument now there.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "link/ui/portform.h"
#include "platform/qt_serial_port.h"
#include "settings/settings.h"
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

int downloads(const std::string& log) {
    int n = 0;
    for (auto at = log.find("] DLD_OBJ "); at != std::string::npos;
         at = log.find("] DLD_OBJ ", at + 1))
        ++n;
    return n;
}

TEST(PortChangeSim, ChangedOnlySendsEverythingToTheInstrumentBehindANewPortDeviceOrLine) {
    test::TempDir dir;
    ::setenv("VEXILO_SETTINGS", dir.file("settings").c_str(), 1);
    store_text_setting("Root Folder", EXAMPLES_DIR "/lists");
    store_text_setting("List Folder", EXAMPLES_DIR "/lists");
    store_int_setting(kSendChangedOnlySetting, 1);
    store_port_mapping(1, dir.file("first"));
    store_port_mapping(2, dir.file("second"));
    test::MessageRecorder messages;
    const auto start_sim = [&](const std::string& link) {
        auto sim = std::make_unique<test::SimProcess>(
            NIMBRA_SIM_PROGRAM,
            std::vector<std::string>{"--config", EXAMPLES_DIR "/instrument.nol", "--link",
                                     dir.file(link)},
            dir);
        EXPECT_TRUE(sim->port()) << sim->log();
        return sim;
    };
    auto first = start_sim("first");
    auto second = start_sim("second");

    Workbench workbench({}, std::make_unique<QtSerialPort>());
    ASSERT_TRUE(workbench.port_opened());
    TMainForm& form = workbench.main_form();
    form.show();
    std::string sent_status;
    const auto send_wash = [&] {
        auto& lists = test::child<QListWidget>(form, "file_box_1");
        lists.clearSelection();
        lists.findItems(QStringLiteral("wash"), Qt::MatchExactly).front()->setSelected(true);
        form.set_status({});
        test::child<QPushButton>(form, "send_modules_button_1").click();
        test::run_events_while(
            [&] {
                return form.status_text().find(" downloaded in ") == std::string::npos &&
                       messages.errors.empty();
            },
            2 * test::kWaitMs);
        return form.status_text();
    };
    const auto in_port_dialog = [&](const std::function<void(Tport_form&)>& choose) {
        test::ModalScript script;
        script.press("Choose Serial Port", "OK",
                     [&](QWidget& window) { choose(static_cast<Tport_form&>(window)); });
        test::child<QAction>(form, "Port").trigger();
        EXPECT_TRUE(script.finished()) << script.failures().join(", ").toStdString();
    };

    const std::string whole = send_wash();
    ASSERT_EQ(test::timeless(whole).rfind("4 objects of wash downloaded in T s", 0), 0u) << whole;
    EXPECT_EQ(downloads(first->log()), 4);

    // Another port: another instrument, which holds none of the list.
    in_port_dialog([](Tport_form& dialog) {
        const int com2 = dialog.port_combox->findText(QStringLiteral("COM2"));
        dialog.port_combox->setCurrentIndex(com2);
        emit dialog.port_combox->activated(com2);
    });
    EXPECT_EQ(test::timeless(send_wash()), test::timeless(whole));
    EXPECT_EQ(downloads(second->log()), 4);

    // Another device behind the same port.
    auto third = start_sim("third");
    in_port_dialog([&](Tport_form& dialog) {
        dialog.device_edit->setText(QString::fromStdString(dir.file("third")));
    });
    EXPECT_EQ(test::timeless(send_wash()), test::timeless(whole));
    EXPECT_EQ(downloads(third->log()), 4);

    // The line is lost, and another instrument comes back on it.
    third.reset();
    test::run_events_while(
        [&] { return form.status_text().rfind("The serial line was lost", 0) != 0; },
        test::kWaitMs);
    auto fourth = start_sim("third");
    EXPECT_EQ(test::timeless(send_wash()), test::timeless(whole));
    EXPECT_EQ(downloads(fourth->log()), 4);
    EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
    ::unsetenv("VEXILO_SETTINGS");
}

}  // namespace
}  // namespace vexilo
