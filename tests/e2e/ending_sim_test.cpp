// How both programs end on the line's bad days, as separate processes against nimbra-sim:
// a signal in the middle of a send, and output into a pipe whose reader has gone. However the
// program ends, the instrument is left at 9600 baud and says how much it received.

#include <signal.h>

#include <cstdio>
#include <fstream>

#include "e2e_support.h"
#include "settings/settings.h"

namespace vexilo::test {
namespace {

constexpr int kQueued = 400;

// A list of kQueued pumps, in the example instrument's lists and classes.
void write_long_list(const std::string& path) {
    const auto lines = read_text_lines(kExamples + "/lists/wash.nol");
    ASSERT_TRUE(lines);
    std::vector<std::string> out;
    for (const std::string& line : *lines) {
        out.push_back(line);
        if (line == "[OBJECTS]") break;
    }
    for (int k = 0; k < kQueued; ++k)
        out.push_back("Pump;P" + std::to_string(k) + ";" + std::to_string(100 + k) + ";50;1;0");
    ASSERT_TRUE(write_text_lines(path, out));
}

class EndingSim : public ::testing::Test {
  protected:
    void start(const std::string& config, const Lines& extra = {}) {
        setenv("VEXILO_SETTINGS", dir.file("settings.ini").c_str(), 1);
        Lines args = {"--config",        config, "--state", dir.file("state.nol"), "--link",
                      dir.file("nimbra")};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(NIMBRA_SIM_PATH, args, dir);
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(sim->port()) << sim->log();
    }

    // The instrument is at 9600 baud once every switch up was followed by one down.
    void expect_at_rest() {
        const Lines commands = logged_commands(sim->log());
        EXPECT_GE(count_of(commands, "SET_BAUD 38400"), 1);
        EXPECT_EQ(count_of(commands, "SET_BAUD 38400"), count_of(commands, "SET_BAUD 9600"));
    }

    void TearDown() override {
        if (HasFailure() && sim) std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
};

class SignalMidSend : public EndingSim, public ::testing::WithParamInterface<int> {};

TEST_P(SignalMidSend, CliStopsAfterTheLineInFlightAndSaysHowManyGotThrough) {
    const int signal_number = GetParam();
    start(kExamples + "/instrument.nol", {"--line-rate"});
    write_long_list(dir.file("long.nol"));
    SimProcess cli(VEXILO_CLI, {"--port", dir.file("nimbra"), "send", dir.file("long.nol")}, dir);
    ASSERT_TRUE(cli.started());
    ASSERT_TRUE(sim->wait_for_log("DLD_OBJ", 20)) << cli.log();
    EXPECT_EQ(cli.stop(signal_number), 128 + signal_number) << cli.log();

    const std::string err = cli.log();
    const std::string name = signal_number == SIGINT    ? "SIGINT"
                             : signal_number == SIGTERM ? "SIGTERM"
                                                        : "SIGHUP";
    EXPECT_NE(err.find("error: Interrupted by " + name + "\n"), std::string::npos) << err;
    expect_at_rest();
    const CliResult next = run_cli(dir, {"--port", dir.file("nimbra"), "restart"});
    EXPECT_EQ(next.status, 0) << next.err;

    // The count the operator was told is what the instrument holds beyond its own nine.
    const Lines held = (sim->stop(), object_lines_of(dir.file("state.nol")));
    const int received = static_cast<int>(held.size()) - 9;
    EXPECT_GE(received, 20);
    EXPECT_LT(received, kQueued);
    EXPECT_NE(err.find("info: Download stopped: " + std::to_string(received) + " of " +
                       std::to_string(kQueued) + " objects accepted by the Nimbra\n"),
              std::string::npos)
        << err;
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalMidSend, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) {
                             return info.param == SIGINT    ? std::string("SIGINT")
                                    : info.param == SIGTERM ? std::string("SIGTERM")
                                                            : std::string("SIGHUP");
                         });

TEST_F(EndingSim, GetConfigIntoAClosedPipeFailsAndLeavesTheLineAtRest) {
    // A configuration with as many objects as the instrument holds at most, so that its
    // display lines overflow the pipe.
    auto lines = read_text_lines(kExamples + "/instrument.nol");
    ASSERT_TRUE(lines);
    for (int k = static_cast<int>(object_lines_of(kExamples + "/instrument.nol").size()); k < 1928;
         ++k) {
        lines->push_back("Pump;LongPumpName_" + std::to_string(100000 + k) + ";10;5;1;0");
    }
    ASSERT_TRUE(write_text_lines(dir.file("big.nol"), *lines));
    start(dir.file("big.nol"));

    const std::string cli = "VEXILO_SETTINGS=" + shell_quoted(dir.file("settings.ini")) + " " +
                            shell_quoted(VEXILO_CLI) + " --port " +
                            shell_quoted(dir.file("nimbra")) + " get-config 2>" +
                            shell_quoted(dir.file("err"));
    // A reader that is gone before the first line: the write fails every time.
    const std::string gone = "bash -c " + shell_quoted(cli + " | true; exit ${PIPESTATUS[0]}");
    const int raw = std::system(gone.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_NE(file_text(dir.file("err")).find("error: Cannot write to standard output: "),
              std::string::npos)
        << file_text(dir.file("err"));
    expect_at_rest();

    // The everyday case: the reader takes one line and leaves.
    const std::string head =
        "bash -c " + shell_quoted(cli + " | head -1 >" + shell_quoted(dir.file("first")) +
                                  "; exit ${PIPESTATUS[0]}");
    const int status = WEXITSTATUS(std::system(head.c_str()));
    EXPECT_TRUE(status == 0 || status == 1) << status;
    EXPECT_EQ(file_text(dir.file("first")), "Tray:Tray1\n");
    expect_at_rest();
}

TEST_F(EndingSim, SignalIgnoredAtStartOrAfterTheWorkWasDoneStopsNothing) {
    // The first object is answered after 2 s: time for a hang-up mid-send.
    start(kExamples + "/instrument.nol",
          {"--fault", "slow:DLD_OBJ Pump;WashA;1000;500;2;0;:2000@1"});
    const Lines send = {VEXILO_CLI, "--port", dir.file("nimbra"), "send",
                        kExamples + "/lists/wash.nol"};
    SimProcess nohup("/usr/bin/nohup", send, dir);
    ASSERT_TRUE(sim->wait_for_log("(fault slow)"));
    EXPECT_EQ(nohup.stop(SIGHUP), 0) << nohup.log();
    EXPECT_NE(nohup.log().find("status: 4 objects downloaded\n"), std::string::npos) << nohup.log();

    // SIGINT in the closing pause after a finished send; the line still goes back to 9600.
    SimProcess done(VEXILO_CLI, Lines(send.begin() + 1, send.end()), dir);
    ASSERT_TRUE(sim->wait_for_log("] SET_BAUD 9600 ->", 2));
    EXPECT_EQ(done.stop(SIGINT), 0) << done.log();
    expect_at_rest();
}

TEST_F(EndingSim, WindowEndedBySigtermMidSendLeavesTheLineAtRest) {
    start(kExamples + "/instrument.nol", {"--line-rate"});
    std::filesystem::create_directory(dir.file("lists"));
    write_long_list(dir.file("lists/long.nol"));
    store_text_setting("Root Folder", dir.file("lists"));
    store_text_setting("List Folder", dir.file("lists"));
    store_port_mapping(1, dir.file("nimbra"));
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("VEXILO_INSTANCE", ("vexilo-ending-" + std::to_string(getpid())).c_str(), 1);

    SimProcess window(WORKBENCH_PROBE, {}, dir);
    ASSERT_TRUE(window.started());
    ASSERT_TRUE(sim->wait_for_log("DLD_OBJ", 20)) << window.log();
    EXPECT_EQ(window.stop(SIGTERM), 128 + SIGTERM) << window.log();
    expect_at_rest();
    const Lines held = (sim->stop(), object_lines_of(dir.file("state.nol")));
    // The twentieth answer may be the last: the signal can come before the next line goes out.
    EXPECT_GE(held.size(), 9u + 20u);
    EXPECT_LT(held.size(), 9u + kQueued);
}

}  // namespace
}  // namespace vexilo::test
