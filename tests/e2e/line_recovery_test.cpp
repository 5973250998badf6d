// vexilo-cli against a misbehaving line: an instrument left at 38400, babbling replies, a
// hang-up, a restart at the other speed, and answers no command asked for.

#include "e2e_support.h"

namespace vexilo::test {
namespace {

class LineRecovery : public ::testing::Test {
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

    static bool has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    void TearDown() override {
        if (HasFailure() && sim) std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    const std::string wash = kExamples + "/lists/wash.nol";
    TempDir dir;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(LineRecovery, InstrumentLeftAt38400IsFoundAndLeftAt9600) {
    // As a session killed mid-send leaves it.
    start({"--speed", "38400"});
    const CliResult sent = cli({"send", wash});
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_TRUE(has(sent.err, "status: 4 objects downloaded\n")) << sent.err;
    ASSERT_TRUE(sim->wait_for_log("speed: 38400 -> 9600"));

    // A restart from 38400 with an instrument that comes back at 9600, then a send.
    sim.reset();
    start({"--speed", "38400", "--fault", "reboot"});
    const CliResult restarted = cli({"restart"});
    ASSERT_EQ(restarted.status, 0) << restarted.err;
    const CliResult again = cli({"send", wash});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(sim->stop(), 0);
    EXPECT_EQ(object_lines_of(dir.file("state.nol")).size(), 13u);
}

TEST_F(LineRecovery, BabblingRepliesEndGetConfigWithAnError) {
    for (const char* fault : {"babble", "endless"}) {
        start({"--fault", fault});
        const CliResult got = cli({"get-config", "-o", dir.file("out.nol")});
        EXPECT_EQ(got.status, 1) << fault;
        EXPECT_TRUE(has(got.err, "error: The nimbra is not responding!\n")) << got.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.nol"))) << fault;
        sim.reset();
    }
}

TEST_F(LineRecovery, HangUpMidSendIsReportedAtOnceAndTheNextSendWorks) {
    start({"--fault", "hangup:4@1"});
    const CliResult cut = cli({"send", wash});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(has(cut.err, "error: The serial line was lost: ")) << cut.err;
    EXPECT_FALSE(has(cut.err, "not responding")) << cut.err;
    // The simulator is back behind the same --link, on a new pty.
    const CliResult sent = cli({"send", wash});
    ASSERT_EQ(sent.status, 0) << sent.err;
    EXPECT_TRUE(has(sent.err, "status: 4 objects downloaded\n")) << sent.err;
}

TEST_F(LineRecovery, StrayAnswersAreNeverTakenForAnotherCommandsAnswer) {
    // An "@" right after the configuration's end line, in the same burst.
    start({"--fault", "stray:GET_CONFIG"});
    const CliResult got = cli({"get-config", "-o", dir.file("out.nol")});
    ASSERT_EQ(got.status, 0) << got.err;
    // The reply was read once.
    EXPECT_EQ(got.err,
              "status: Receiving configuration from Nimbra\n"
              "status: Nimbra configuration recieved\n"
              "status: 9 objects received from Nimbra\n");
    EXPECT_EQ(object_lines_of(dir.file("out.nol")), object_lines_of(kExamples + "/instrument.nol"));

    // The same stray "@" before a download whose last object is refused.
    sim.reset();
    start({"--fault", "stray:GET_CONFIG", "--fault",
           "refuse:DLD_OBJ Method;Wash;3;WashA;None;300;Rinse;:Object memory full"});
    const CliResult sent = cli({"send", wash});
    EXPECT_EQ(sent.status, 1);
    EXPECT_TRUE(has(sent.err, "error: Object memory full\n")) << sent.err;
    EXPECT_FALSE(has(sent.err, "objects downloaded")) << sent.err;

    // An "@" already waiting when the port opens is not the answer to RSTRT.
    sim.reset();
    start({"--fault", "early@1", "--fault", "silent:RSTRT"});
    ASSERT_TRUE(sim->wait_for_log("fault early"));
    const CliResult restarted = cli({"restart"});
    EXPECT_EQ(restarted.status, 1);
    EXPECT_TRUE(has(restarted.err, "error: The nimbra is not responding!\n")) << restarted.err;
}

TEST_F(LineRecovery, RestartGoesOutWhenTheSpeedSwitchIsRefused) {
    start({"--fault", "refuse:SET_BAUD 38400:Busy"});
    const CliResult refused = cli({"restart"});
    EXPECT_EQ(refused.status, 0) << refused.err;
    EXPECT_TRUE(has(refused.err,
                    "status: The Nimbra refused \"SET_BAUD 38400\" at 9600 baud "
                    "(Busy): sending \"RSTRT\" at 9600 baud\n"))
        << refused.err;
    EXPECT_TRUE(sim->wait_for_log("[9600] RSTRT -> @"));
}

TEST_F(LineRecovery, LateAnswerCountsItsObjectAndTheSendStaysStopped) {
    // Answered 2.5 s after its time-out; nothing after it is sent.
    start({"--fault", "slow:DLD_OBJ Pump;WashB;800;400;2;1;:8000@1"});
    const CliResult sent = cli({"send", wash});
    EXPECT_EQ(sent.status, 1);
    EXPECT_TRUE(has(sent.err,
                    "info: Download stopped: 2 of 4 objects accepted by the Nimbra "
                    "(the last one answered late)\n"))
        << sent.err;
    EXPECT_EQ(count_of(logged_commands(sim->log()), "DLD_OBJ"), 2);
}

}  // namespace
}  // namespace vexilo::test
