// vexilo-cli's instrument commands against nimbra-sim, each run a separate program as an
// operator's script would run it: exit status, status lines, and what the instrument holds.

#include "e2e_support.h"

namespace vexilo::test {
namespace {

class CliSim : public ::testing::Test {
  protected:
    void start(const Lines& extra = {}) {
        sim = start_simulator(dir, extra);
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(sim->port()) << sim->log();
    }

    CliResult cli(Lines args) {
        args.insert(args.begin(), {"--port", dir.file("nimbra")});
        return run_cli(dir, args);
    }

    // Stops the simulator so that its state file holds what it holds now.
    Lines held_objects() {
        EXPECT_EQ(sim->stop(), 0);
        return object_lines_of(dir.file("state.nol"));
    }

    void TearDown() override {
        if (HasFailure() && sim) std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(CliSim, GetConfigSavesWhatTheInstrumentHoldsAndSendLeavesExactlyTheLists) {
    start();
    const CliResult got = cli({"get-config", "-o", dir.file("x.nol")});
    ASSERT_EQ(got.status, 0) << got.err;
    EXPECT_EQ(got.err,
              "status: Receiving configuration from Nimbra\n"
              "status: Nimbra configuration recieved\n"
              "status: 9 objects received from Nimbra\n");
    const CliResult check = run_cli(dir, {"check", dir.file("x.nol")});
    ASSERT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, run_cli(dir, {"check", kExamples + "/instrument.nol"}).out);
    // Without -o: the display lines.
    EXPECT_EQ(cli({"get-config"}).out, check.out);

    const CliResult removed = cli({"--yes", "remove-all"});
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_NE(removed.err.find("status: All objects removed from Nimbra\n"), std::string::npos);

    const Lines lists = {kExamples + "/lists/assay.nol", kExamples + "/lists/calibration.nol",
                         kExamples + "/lists/wash.nol"};
    Lines args = {"send"};
    args.insert(args.end(), lists.begin(), lists.end());
    const CliResult sent = cli(args);
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(sent.err,
              "status: Getting Nimbra configuration to check consistency\n"
              "status: Receiving configuration from Nimbra\n"
              "status: Nimbra configuration recieved\n"
              "status: 0 objects received from Nimbra\n"
              "status: Downloading module assay\n"
              "status: Downloading module calibration\n"
              "status: Downloading module wash\n"
              "status: Downloading 15 objects\n"
              "status: 15 objects downloaded\n");
    EXPECT_EQ(sent.out, "");

    Lines expected;
    for (const std::string& list : lists) {
        const Lines objects = object_lines_of(list);
        expected.insert(expected.end(), objects.begin(), objects.end());
    }
    EXPECT_EQ(held_objects(), expected);
    // Every run left the instrument at 9600 baud for the next.
    const Lines commands = logged_commands(sim->log());
    EXPECT_EQ(count_of(commands, "SET_BAUD 38400"), count_of(commands, "SET_BAUD 9600"));
}

TEST_F(CliSim, SendObjectsSendsTheNamedOnesAndStopsOnARefusal) {
    start({"--fault", "refuse:DLD_OBJ:Object memory full@1"});
    const std::string wash = kExamples + "/lists/wash.nol";
    const CliResult refused = cli({"send-objects", wash, "--object", "WashA"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("error: Object memory full\n"), std::string::npos) << refused.err;

    const CliResult sent = cli({"send-objects", wash, "--object", "washb", "--object", "WashA"});
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_NE(sent.err.find("status: Downloading 2 objects\nstatus: 2 objects downloaded\n"),
              std::string::npos)
        << sent.err;

    const CliResult unknown = cli({"send-objects", wash, "--object", "Nothing"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "error: Unknown object: \"Nothing\"\n");

    const Lines held = held_objects();
    ASSERT_EQ(held.size(), 11u);
    // In list order, whatever the order on the command line.
    EXPECT_EQ(held[9].rfind("Pump;WashA;", 0), 0u);
    EXPECT_EQ(held[10].rfind("Pump;WashB;", 0), 0u);
}

TEST_F(CliSim, SilentInstrumentEndsTheCommandWithATimeOut) {
    start({"--fault", "silent:GET_CONFIG@1"});
    const CliResult r = cli({"send", kExamples + "/lists/wash.nol"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "status: Getting Nimbra configuration to check consistency\n"
              "status: Receiving configuration from Nimbra\n"
              "error: The nimbra is not responding!\n"
              "status: The nimbra is not responding -- operation stopped\n");
    // The instrument was put back to 9600 baud: the next run talks to it.
    const CliResult next = cli({"restart"});
    EXPECT_EQ(next.status, 0) << next.err;
    EXPECT_EQ(next.err, "status: Restart Nimbra\n");
}

TEST_F(CliSim, OnlyAnObjectThatWouldBreakTheLineIsRefusedAndOnlyWhereItIsSent) {
    // A class whose name holds ":" and an object named like the rest of its display line. The
    // instrument holds an object with TABs and ends its lines with CR LF.
    const std::string classes = "[CLASSES]\r\n!A:B\r\n&Label\r\n!C\r\n&Label\r\n[OBJECTS]\r\n";
    std::ofstream(dir.file("instrument.nol"), std::ios::binary)
        << "[LISTS]\r\n"
        << classes << "C;Flush\tlines;a\tb\r\n";
    std::ofstream(dir.file("colon.nol"), std::ios::binary)
        << "[LISTS]\r\n"
        << classes << "A:B;X;one\r\nC;B:X;two\r\nC;Tab;x\ty\r\n";
    // A value holding a CR and a command after it.
    std::ofstream(dir.file("cr.nol"), std::ios::binary) << "[LISTS]\r\n"
                                                        << classes << "C;Y;ab\rRSTRT\r\n";
    Lines args = {"--config", dir.file("instrument.nol"), "--state", dir.file("state.nol"),
                  "--link",   dir.file("nimbra"),         "--fault", "lf"};
    sim = std::make_unique<SimProcess>(NIMBRA_SIM_PATH, args, dir);
    ASSERT_TRUE(sim->started());
    ASSERT_TRUE(sim->port()) << sim->log();

    const CliResult got = cli({"get-config", "-o", dir.file("got.nol")});
    EXPECT_EQ(got.status, 0) << got.err;
    EXPECT_NE(file_text(dir.file("got.nol")).find("\r\nC;Flush\tlines;a\tb\r\n"),
              std::string::npos);
    const std::string refusal = "Control character 0x0D in Y:Label: Y cannot be sent to the Nimbra";
    const CliResult plan = cli({"plan", dir.file("cr.nol"), dir.file("colon.nol")});
    EXPECT_EQ(plan.status, 1);
    EXPECT_NE(plan.out.find("misfit: C:Y (cr): " + refusal + "\n"), std::string::npos) << plan.out;
    EXPECT_NE(plan.out.find("new: C:Tab (colon)\n"), std::string::npos) << plan.out;

    // A send is all or nothing, as for any misfit; without that list the others go.
    const CliResult both = cli({"send", dir.file("colon.nol"), dir.file("cr.nol")});
    EXPECT_EQ(both.status, 1);
    EXPECT_NE(both.err.find("error: " + refusal + "\nstatus: Download cancelled\n"),
              std::string::npos)
        << both.err;
    const CliResult colon = cli({"send-objects", dir.file("colon.nol"), "--object", "X"});
    EXPECT_EQ(colon.status, 0) << colon.err;
    const CliResult rest = cli({"send", dir.file("colon.nol")});
    EXPECT_EQ(rest.status, 0) << rest.err;

    EXPECT_EQ(held_objects(),
              (Lines{"C;Flush\tlines;a\tb", "A:B;X;one", "C;B:X;two", "C;Tab;x\ty"}));
    const Lines commands = logged_commands(sim->log());
    EXPECT_EQ(count_of(commands, "DLD_OBJ"), 4);
    EXPECT_EQ(count_of(commands, "RSTRT"), 0);
}

}  // namespace
}  // namespace vexilo::test
