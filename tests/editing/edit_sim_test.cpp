// A list built on the edit page of the whole window and sent to nimbra-sim on a pseudo-terminal:
// the instrument ends up holding exactly the objects of the saved list.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "config/text_file.h"
#include "edit_fixture.h"
#include "platform/qt_serial_port.h"
#include "support/event_wait.h"
#include "support/find_child.h"
#include "support/nimbra_sim_process.h"
#include "support/status_time.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace vexilo::test {
namespace {

TEST(EditSim, ABuiltListIsSavedAndSentAndTheInstrumentHoldsExactlyIt) {
    TempDir dir;
    MessageRecorder messages;
    SimProcess sim(NIMBRA_SIM_PROGRAM,
                   {"--config", EXAMPLES_DIR "/instrument.nol", "--state", dir.file("state.nol")},
                   dir);
    ASSERT_TRUE(sim.started());
    const auto device = sim.port();
    ASSERT_TRUE(device) << sim.log();

    const std::string saved = dir.file("built.nol");
    {
        Workbench workbench({"/support"},
                            std::make_unique<QtSerialPort>([path = *device](int) { return path; }));
        ASSERT_TRUE(workbench.port_opened());
        TMainForm& form = workbench.main_form();
        Lines statuses;
        workbench.link().set_status_sink([&](const std::string& text) {
            statuses.push_back(text);
            form.show_status(text);
        });
        const auto wait_for_status = [&](const std::string& text) {
            test::run_events_while(
                [&] {
                    return (statuses.empty() || test::timeless(statuses.back()) != text) &&
                           messages.errors.empty();
                },
                2 * kWaitMs);
            return !statuses.empty() && test::timeless(statuses.back()) == text;
        };
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        EditListsTab& tab = test::child<EditListsTab>(form, "edit_tab");
        FakeFiles files;
        tab.set_file_chooser(&files);
        ModalScript script;

        files.opens.push_back(EXAMPLES_DIR "/instrument.nol");
        tab.get_objects_button->click();
        tab.add_all_button->click();
        ASSERT_EQ(tab.new_list_box->count(), 9);

        // PumpA gets another volume; editing under the same name asks before overwriting.
        tab.new_list_box->setCurrentRow(4);
        script.press("Edit Pump PumpA", "OK",
                     [&](QWidget&) { form.dialogs.new_object->value_box[0]->setText("300"); });
        messages.answers = {true};
        tab.new_list_boxDblClick();
        EXPECT_EQ(messages.questions.back(), "Do you really want to overwrite PumpA");

        tab.new_list_box->clearSelection();
        tab.new_list_box->item(6)->setSelected(true);  // Valve:Valve1
        tab.delete_button->click();
        ASSERT_EQ(tab.new_list_box->count(), 8);

        files.saves.push_back(saved);
        messages.answers = {true};  // create the new file
        script.press("Saving object list", "Save list", [](QWidget& window) {
            static_cast<Tcomment_form&>(window).comments_memo->setPlainText("Built in a test");
        });
        tab.save_button->click();
        EXPECT_TRUE(script.finished()) << script.failures().join("; ").toStdString();

        messages.answers = {true};
        form.RemoveallobjectsfromNimbra1Click();
        ASSERT_TRUE(wait_for_status("All objects removed from Nimbra")) << sim.log();

        tab.new_list_box->clearSelection();
        messages.answers = {true};  // the whole list
        tab.send_button->click();
        EXPECT_TRUE(wait_for_status("8 objects of built downloaded in T s")) << sim.log();
        EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
    }
    ASSERT_EQ(sim.stop(), 0) << sim.log();

    const auto lines = read_text_lines(saved);
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->front(), "Built in a test");
    const Lines expected = object_lines_of(saved);
    ASSERT_EQ(expected.size(), 8u);
    EXPECT_NE(std::find(expected.begin(), expected.end(), "Pump;PumpA;300;100;2;0"),
              expected.end());
    EXPECT_EQ(object_lines_of(dir.file("state.nol")), expected);
}

}  // namespace
}  // namespace vexilo::test
