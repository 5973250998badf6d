// The link itself over the real serial port against nimbra-sim: what the instrument receives,
// at which speed, and how the link behaves when the instrument misbehaves. A time-out costs
// the link's real 5.5 s, so each misbehaviour gets one run that shows all it can.

#include <time.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cctype>
#include <cstdlib>
#include <functional>
#include <memory>

#include "e2e_support.h"
#include "link/nimbralib.h"
#include "platform/qt_serial_port.h"
#include "support/event_wait.h"
#include "support/link_lines.h"
#include "support/message_recorder.h"

namespace vexilo::test {
namespace {

// The simulator's log lines for commands, without the reply: "[9600] SET_BAUD 38400".
Lines commands_with_speed(const std::string& log) {
    Lines commands;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        const std::string prefix = "nimbra-sim: [";
        const auto arrow = line.find(" -> ");
        if (line.rfind(prefix, 0) != 0 || arrow == std::string::npos) continue;
        commands.push_back(line.substr(prefix.size() - 1, arrow - prefix.size() + 1));
    }
    return commands;
}

std::string tray_object(int n) {
    return "Tray;T" + std::to_string(n) + ";10;1;x";
}

class LinkSim : public ::testing::Test {
  protected:
    void start(const Lines& faults = {}) {
        setenv("VEXILO_SETTINGS", dir.file("settings.ini").c_str(), 1);
        Lines args = {"--config", kExamples + "/instrument.nol", "--state", dir.file("state.nol")};
        for (const std::string& fault : faults) {
            args.push_back("--fault");
            args.push_back(fault);
        }
        sim = std::make_unique<SimProcess>(NIMBRA_SIM_PATH, args, dir);
        ASSERT_TRUE(sim->started());
        const auto port = sim->port();
        ASSERT_TRUE(port) << sim->log();
        device = *port;
        // The device is looked up at every open, so a test can move the link to a new pty.
        link = std::make_unique<Tnimbra_lib>(
            std::make_unique<QtSerialPort>([this](int) { return device; }));
        view = std::make_unique<LinkLines>(*link);
        link->set_timeout_action([this] {
            ++timeouts;
            ended = "time-out";
        });
        link->set_refusal_action([this] { ended = "refused"; });
        ASSERT_TRUE(link->FormCreate());
    }

    Tnimbra_lib::Action finish(const std::string& what) {
        return [this, what] { ended = what; };
    }

    // Runs the event loop until a command ends; the link's own time-out bounds the wait, the
    // limit here only keeps a broken build from hanging the suite. The loop sleeps between
    // events, so the process's CPU time shows what the link itself spends.
    std::string wait_for_end() {
        run_loop_while([this] { return ended.empty(); }, kWaitMs * 2);
        std::string result;
        result.swap(ended);
        return result;
    }

    // Keeps the event loop going, for checks that nothing more happens.
    void pump(int ms) {
        run_loop_while([] { return true; }, ms);
    }

    void run_loop_while(const std::function<bool()>& going, int limit_ms) {
        run_events_while(going, limit_ms);
    }

    void queue_trays(int count) {
        for (int n = 0; n < count; ++n)
            link->queue_command("DLD_OBJ " + tray_object(n));
    }

    // Ends the program's side, then the simulator, so its state file is final.
    void stop() {
        view.reset();
        link.reset();
        ASSERT_EQ(sim->stop(), 0);
    }

    Lines held_trays() const {
        Lines trays;
        for (const std::string& line : object_lines_of(dir.file("state.nol"))) {
            // T0, T1, ...: the test's own objects, not the configuration's Tray1 and Tray2.
            if (line.rfind("Tray;T", 0) == 0 && std::isdigit(static_cast<unsigned char>(line[6]))) {
                trays.push_back(line);
            }
        }
        return trays;
    }

    void TearDown() override {
        if (HasFailure() && sim) std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    TempDir dir;
    MessageRecorder messages;
    std::unique_ptr<SimProcess> sim;
    std::string device;
    std::unique_ptr<Tnimbra_lib> link;
    std::unique_ptr<LinkLines> view;
    std::string ended;
    int timeouts = 0;
};

TEST_F(LinkSim, FirstCommandSwitchesTheSpeedTheNextGoesAtOnceShutdownSwitchesBack) {
    start();
    link->run_command("GET_CONFIG", finish("config"));
    ASSERT_EQ(wait_for_end(), "config");
    EXPECT_TRUE(link->high_speed());
    ASSERT_GT(view->replies.size(), 3u);
    EXPECT_EQ(view->replies[0], "@");
    EXPECT_EQ(view->replies.back().substr(0, 1), "|");
    // The reply came through at the high speed, special characters translated back.
    bool micro = false;
    for (std::size_t i = 0; i < view->replies.size(); ++i)
        micro = micro || view->replies[i] == "Volume;0;1000;100;10;\xB5l";
    EXPECT_TRUE(micro);

    link->run_command("RSTRT", finish("restart"));
    ASSERT_EQ(wait_for_end(), "restart");
    EXPECT_EQ(view->replies.back(), "@");
    link->leave_high_speed();
    EXPECT_EQ(view->log, (Lines{"SET_BAUD 38400", "GET_CONFIG", "RSTRT"}));
    ASSERT_TRUE(sim->wait_for_log("SET_BAUD 9600 ->"));
    EXPECT_TRUE(messages.errors.empty());
    EXPECT_EQ(timeouts, 0);

    stop();
    const Lines commands = commands_with_speed(sim->log());
    EXPECT_EQ(commands, (Lines{"[9600] SET_BAUD 38400", "[38400] GET_CONFIG", "[38400] RSTRT",
                               "[38400] SET_BAUD 9600"}));
}

TEST_F(LinkSim, TwoHundredQueuedObjectsArriveInOrderAndTheDoneActionRunsOnce) {
    start();
    queue_trays(200);
    int done = 0;
    link->send_queue([&] {
        ++done;
        ended = "done";
    });
    ASSERT_EQ(wait_for_end(), "done");
    pump(200);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(link->queue_position(), 200);
    EXPECT_EQ(view->replies.size(), 201u);
    EXPECT_TRUE(messages.errors.empty());
    EXPECT_EQ(timeouts, 0);

    stop();
    Lines expected{"SET_BAUD 38400"};
    Lines trays;
    for (int n = 0; n < 200; ++n) {
        expected.push_back("DLD_OBJ " + tray_object(n));
        trays.push_back(tray_object(n));
    }
    expected.push_back("SET_BAUD 9600");
    EXPECT_EQ(logged_commands(sim->log()), expected);
    EXPECT_EQ(held_trays(), trays);
}

TEST_F(LinkSim, RefusedObjectShowsTheInstrumentsTextAndNothingAfterItIsSent) {
    start({"refuse:DLD_OBJ " + tray_object(2) + ":Object memory full"});
    queue_trays(5);
    bool done = false;
    link->send_queue([&] { done = true; });
    ASSERT_EQ(wait_for_end(), "refused");
    pump(300);
    EXPECT_FALSE(done);
    EXPECT_EQ(messages.errors, (Lines{"Object memory full"}));
    EXPECT_EQ(view->replies.back(), "@Object memory full");
    EXPECT_EQ(link->queue_position(), 3);
    EXPECT_EQ(link->queue().size(), 5u);
    EXPECT_EQ(timeouts, 0);

    stop();
    const Lines commands = logged_commands(sim->log());
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(Lines(commands.begin(), commands.begin() + 4),
              (Lines{"SET_BAUD 38400", "DLD_OBJ " + tray_object(0), "DLD_OBJ " + tray_object(1),
                     "DLD_OBJ " + tray_object(2)}));
    EXPECT_EQ(count_of(commands, "DLD_OBJ"), 3);
    EXPECT_EQ(held_trays(), (Lines{tray_object(0), tray_object(1)}));
}

TEST_F(LinkSim, SilentAndStalledConfigurationRequestsEndInTheTimeOutAction) {
    start({"silent:GET_CONFIG@1", "stall:3@1"});
    link->run_command("GET_CONFIG", finish("config"), true);
    ASSERT_EQ(wait_for_end(), "time-out");
    EXPECT_EQ(view->replies, (Lines{"@"}));

    // Three lines and then nothing: the reply is owed, so it times out like a silent one. The
    // speed was unknown after the first time-out: found again at 38400, after 9600 failed.
    view->replies.clear();
    link->run_command("GET_CONFIG", finish("config"), true);
    ASSERT_EQ(wait_for_end(), "time-out");
    ASSERT_EQ(view->replies.size(), 4u);
    EXPECT_EQ(view->replies[1], "[lists]");

    // Neither time-out left the line unusable.
    view->replies.clear();
    link->run_command("GET_CONFIG", finish("config"), true);
    ASSERT_EQ(wait_for_end(), "config");
    EXPECT_EQ(view->replies.back().substr(0, 1), "|");
    EXPECT_EQ(timeouts, 2);
    EXPECT_TRUE(messages.errors.empty());

    stop();
    EXPECT_EQ(commands_with_speed(sim->log()),
              (Lines{"[9600] SET_BAUD 38400", "[38400] GET_CONFIG", "[38400] SET_BAUD 38400",
                     "[38400] GET_CONFIG", "[38400] SET_BAUD 38400", "[38400] GET_CONFIG",
                     "[38400] SET_BAUD 9600"}));
}

TEST_F(LinkSim, LineFeedsAndNoiseWaitingBeforeACommandAreDroppedNotTakenForItsAnswer) {
    start({"lf", "noise"});
    queue_trays(20);
    link->send_queue(finish("done"));
    ASSERT_EQ(wait_for_end(), "done");
    EXPECT_EQ(link->acknowledged_lines(), 20);
    EXPECT_TRUE(messages.errors.empty());
    EXPECT_EQ(timeouts, 0);

    stop();
    EXPECT_EQ(held_trays().size(), 20u);
}

TEST_F(LinkSim, LostLineClosesThePortIdlesWithoutSpinningAndTheNextCommandReopensIt) {
    start({"hangup:2@1"});
    std::vector<std::string> statuses;
    link->set_status_sink([&](const std::string& text) { statuses.push_back(text); });
    link->run_command("RSTRT", finish("restart"));
    ASSERT_EQ(wait_for_end(), "restart");
    ASSERT_TRUE(sim->wait_for_log("fault hangup"));
    const auto new_port = sim->port();
    ASSERT_TRUE(new_port);
    run_loop_while([&] { return link->port().is_open(); }, kWaitMs);
    EXPECT_FALSE(link->port().is_open());
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].rfind("The serial line was lost: ", 0), 0u) << statuses[0];

    // A dead descriptor polled in a loop would eat a core; closed, the idle link costs nothing.
    timespec before{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    pump(2000);
    timespec after{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    const std::int64_t cpu =
        (after.tv_sec - before.tv_sec) * 1000 + (after.tv_nsec - before.tv_nsec) / 1'000'000;
    EXPECT_LT(cpu, 200);

    // No device there: the command stops with the reason, at once. (The old pty's name may
    // already belong to another terminal.)
    device = dir.file("unplugged");
    int problems = 0;
    link->set_port_problem_handler([&](const std::string&) {
        ++problems;
        return false;
    });
    link->run_command("RSTRT", finish("restart"));
    EXPECT_EQ(ended, "refused");
    ended.clear();
    EXPECT_EQ(problems, 1);

    // The device is back (here: behind the same number, on the simulator's new pty).
    device = *new_port;
    link->run_command("RSTRT", finish("again"));
    ASSERT_EQ(wait_for_end(), "again");
    EXPECT_EQ(timeouts, 0);
    EXPECT_EQ(statuses.size(), 1u);

    stop();
    EXPECT_EQ(logged_commands(sim->log()),
              (Lines{"SET_BAUD 38400", "RSTRT", "SET_BAUD 38400", "RSTRT", "SET_BAUD 9600"}));
}

TEST_F(LinkSim, InstrumentBackAtLowSpeedAfterRestartIsFoundThere) {
    start({"reboot"});
    link->run_command("RSTRT", finish("restart"));
    ASSERT_EQ(wait_for_end(), "restart");
    link->run_command("GET_CONFIG", finish("config"));
    ASSERT_EQ(wait_for_end(), "config");
    EXPECT_EQ(timeouts, 0);
    EXPECT_TRUE(messages.errors.empty());

    stop();
    EXPECT_EQ(commands_with_speed(sim->log()),
              (Lines{"[9600] SET_BAUD 38400", "[38400] RSTRT", "[9600] SET_BAUD 38400",
                     "[38400] GET_CONFIG", "[38400] SET_BAUD 9600"}));
}

}  // namespace
}  // namespace vexilo::test
