// The operations over the real serial port against nimbra-sim, in one run of the program:
// what the instrument is asked, in which order, and what it holds afterwards.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <memory>

#include "config/text_file.h"
#include "e2e_support.h"
#include "link/operations.h"
#include "platform/qt_serial_port.h"
#include "support/event_wait.h"
#include "support/message_recorder.h"

namespace vexilo::test {
namespace {

class OperationsSim : public ::testing::Test {
  protected:
    void start(const Lines& extra = {}) {
        Lines args = {"--config", kExamples + "/instrument.nol", "--state", dir.file("state.nol")};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(NIMBRA_SIM_PATH, args, dir);
        ASSERT_TRUE(sim->started());
        const auto device = sim->port();
        ASSERT_TRUE(device) << sim->log();
        link = std::make_unique<Tnimbra_lib>(
            std::make_unique<QtSerialPort>([path = *device](int) { return path; }));
        ops = std::make_unique<InstrumentOperations>(*link);
        link->set_status_sink([this](const std::string& text) { statuses.push_back(text); });
        link->set_timeout_action([this] { ended = "time-out"; });
        link->set_refusal_action([this] { ended = "refused"; });
        ASSERT_TRUE(link->FormCreate());
    }

    // A send's end: sent, or stopped before anything went; the link's actions name the rest.
    void send_files(const Lines& files) {
        ops->send_lists(files, {}, [this](const OperationResult& result) {
            if (result.outcome != OperationResult::Outcome::Stopped) {
                ended = result.done() ? "sent" : "stopped";
            }
        });
    }

    void stop() {
        ops.reset();
        link.reset();
        ASSERT_EQ(sim->stop(), 0);
    }

    // Runs the event loop until the operation ends; the link's time-out bounds the wait, the
    // limit here only keeps a broken build from hanging the suite.
    std::string wait_for_end() {
        run_events_while([this] { return ended.empty(); }, kWaitMs * 2);
        std::string result;
        result.swap(ended);
        return result;
    }

    std::string list(const std::string& name) const { return kExamples + "/lists/" + name; }

    void TearDown() override {
        if (HasFailure() && sim) std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    TempDir dir;
    MessageRecorder messages;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<Tnimbra_lib> link;
    std::unique_ptr<InstrumentOperations> ops;
    Lines statuses;
    std::string ended;
};

TEST_F(OperationsSim, FirstSendAsksForTheConfigurationSecondGoesAtOnceRemoveAllAsksAgain) {
    start();
    send_files({list("assay.nol")});
    ASSERT_EQ(wait_for_end(), "sent");
    EXPECT_EQ(statuses,
              (Lines{"Getting Nimbra configuration to check consistency",
                     "Receiving configuration from Nimbra", "Nimbra configuration recieved",
                     "9 objects received from Nimbra", "Downloading module assay",
                     "Downloading 6 objects", "6 objects downloaded"}));
    ASSERT_TRUE(sim->wait_for_log("DLD_OBJ Method;Assay;"));
    Lines commands = logged_commands(sim->log());
    ASSERT_EQ(commands.size(), 8u);
    EXPECT_EQ(commands[0], "SET_BAUD 38400");
    EXPECT_EQ(commands[1], "GET_CONFIG");
    EXPECT_EQ(count_of(commands, "DLD_OBJ "), 6);

    statuses.clear();
    send_files({list("wash.nol")});
    ASSERT_EQ(wait_for_end(), "sent");
    EXPECT_EQ(statuses,
              (Lines{"Downloading module wash", "Downloading 4 objects", "4 objects downloaded"}));

    bool removed = false;
    ops->remove_all([&](const OperationResult& result) { removed = result.done(); });
    run_events_while([&] { return !removed && ended.empty(); }, kWaitMs);
    ASSERT_TRUE(removed) << ended;

    send_files({list("calibration.nol")});
    ASSERT_EQ(wait_for_end(), "sent");
    ASSERT_TRUE(sim->wait_for_log("DLD_OBJ Method;CalRun;"));
    commands = logged_commands(sim->log());
    // Both sends of the first run went without asking again; after RES_OBJECTS it asks.
    EXPECT_EQ(count_of(commands, "SET_BAUD 38400"), 1);
    EXPECT_EQ(count_of(commands, "GET_CONFIG"), 2);
    EXPECT_EQ(commands[12], "RES_OBJECTS");
    EXPECT_EQ(commands[13], "GET_CONFIG");
    EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();

    stop();
    EXPECT_EQ(object_lines_of(dir.file("state.nol")), object_lines_of(list("calibration.nol")));
}

TEST_F(OperationsSim, ThirdListThatDoesNotFitSendsNothing) {
    // The wash list with its pump volumes in ml, where the instrument counts in µl.
    auto lines = read_text_lines(list("wash.nol"));
    ASSERT_TRUE(lines);
    for (std::string& line : *lines) {
        if (line.rfind("Volume;", 0) == 0) line = "Volume;0;1000;100;10;ml";
    }
    ASSERT_TRUE(write_text_lines(dir.file("wash-ml.nol"), *lines));
    start();
    send_files({list("assay.nol"), list("calibration.nol"), dir.file("wash-ml.nol")});
    ASSERT_EQ(wait_for_end(), "stopped");
    EXPECT_EQ(statuses.back(), "Download cancelled");
    EXPECT_EQ(messages.errors.size(), 1u);

    stop();
    EXPECT_EQ(count_of(logged_commands(sim->log()), "DLD_OBJ"), 0);
    EXPECT_EQ(object_lines_of(dir.file("state.nol")),
              object_lines_of(kExamples + "/instrument.nol"));
}

}  // namespace
}  // namespace vexilo::test
