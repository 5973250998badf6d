// nimbra-sim as the program meets it: through a real pseudo-terminal.

#include <sys/stat.h>

#include "sim_fixture.h"

namespace vexilo::test {
namespace {

std::string exit_and_log(const std::vector<std::string>& args, const TempDir& dir, int& status) {
    SimProcess sim(NIMBRA_SIM_PATH, args, dir);
    status = sim.wait();
    return sim.log();
}

TEST(SimCommandLine, WrongUsageAndUnreadableConfigurationsAreReported) {
    TempDir dir;
    int status = 0;

    exit_and_log({"--help"}, dir, status);
    EXPECT_EQ(status, 0);

    std::string log = exit_and_log({"--baud", "9600"}, dir, status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(log.find("unknown option --baud"), std::string::npos) << log;
    log = exit_and_log({"--speed", "19200"}, dir, status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(log.find("--speed takes 9600 or 38400"), std::string::npos) << log;

    log = exit_and_log({"--fault", "silent"}, dir, status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(log.find("bad fault \"silent\""), std::string::npos) << log;
    for (const char* fault_text :
         {"stall:x", "hangup:0", "refuse:GET_CONFIG", "lf:1", "reboot@0", "wobble", "babble:1",
          "stray:", "early:GET_CONFIG", "slow:GET_CONFIG"}) {
        exit_and_log({"--fault", fault_text}, dir, status);
        EXPECT_EQ(status, 2) << fault_text;
    }
    exit_and_log({"--delay-ms", "-5"}, dir, status);
    EXPECT_EQ(status, 2);
    exit_and_log({"--config"}, dir, status);
    EXPECT_EQ(status, 2);
    exit_and_log({"instrument.nol"}, dir, status);
    EXPECT_EQ(status, 2);

    log = exit_and_log({"--config", dir.file("missing.nol")}, dir, status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(log.find("cannot read the configuration"), std::string::npos) << log;

    const std::string bad = dir.file("bad.nol");
    ASSERT_TRUE(write_text_lines(bad, {"[LISTS]", "x;1;a", "[CLASSES]", "[OBJECTS]"}));
    log = exit_and_log({"--config", bad}, dir, status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(log.find("Not a number:list 1"), std::string::npos) << log;

    log = exit_and_log({"--config", EXAMPLE_CONFIG, "--state", dir.file("no/state.nol")}, dir,
                       status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(log.find("does not exist"), std::string::npos) << log;

    // A file where the link should go is not replaced by the link.
    const std::string taken = dir.file("taken");
    ASSERT_TRUE(write_text_lines(taken, {"keep me"}));
    log = exit_and_log({"--config", EXAMPLE_CONFIG, "--link", taken}, dir, status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(read_text_lines(taken), std::vector<std::string>{"keep me"});
}

TEST_F(SimTest, ACommandAtTheOtherSpeedGetsNoAnswer) {
    ASSERT_NO_FATAL_FAILURE(start({"--link", dir.file("nimbra")}));
    struct stat link {};
    ASSERT_EQ(lstat(dir.file("nimbra").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));

    EXPECT_EQ(ask("RSTRT"), "@");
    EXPECT_EQ(ask("SET_BAUD 19200"), "@Unsupported speed");
    ASSERT_NO_FATAL_FAILURE(go_high());

    // Still at 9600 on our side: garbled. Once the simulator has dropped it, the answer that
    // comes is for the next command, not for the garbled one.
    port->set_speed(B9600);
    ASSERT_TRUE(port->send("FOO"));
    ASSERT_TRUE(sim->wait_for_log("FOO -> ignored, garbled"));
    port->set_speed(B38400);
    EXPECT_EQ(ask("RSTRT"), "@");

    // Back to 9600: the "@" still comes at 38400.
    EXPECT_EQ(ask("SET_BAUD 9600"), "@");
    ASSERT_TRUE(port->send("BAR"));
    ASSERT_TRUE(sim->wait_for_log("BAR -> ignored, garbled"));
    port->set_speed(B9600);
    EXPECT_EQ(ask("RSTRT"), "@");

    EXPECT_EQ(sim->stop(), 0);
    EXPECT_NE(lstat(dir.file("nimbra").c_str(), &link), 0) << "the link is removed at the end";
}

TEST_F(SimTest, GetConfigSendsTheConfigurationInInstrumentCodes) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(go_high());
    const std::vector<std::string> reply = config_reply();
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.front(), "[lists]");
    EXPECT_EQ(reply.back().front(), '|');
    EXPECT_NE(std::find(reply.begin(), reply.end(), "[classes]"), reply.end());
    EXPECT_NE(std::find(reply.begin(), reply.end(), "[objects]"), reply.end());
    EXPECT_NE(std::find(reply.begin(), reply.end(), "[atoms]"), reply.end());

    std::string all;
    for (const auto& line : reply)
        all += line;
    EXPECT_NE(all.find("\x9Dl/s"), std::string::npos) << "micro sign as the instrument's code";
    EXPECT_NE(all.find("\x91"
                       "C"),
              std::string::npos)
        << "degree sign as the instrument's code";
    EXPECT_EQ(all.find('\xB5'), std::string::npos);

    auto file = read_text_lines(EXAMPLE_CONFIG);
    ASSERT_TRUE(file);
    EXPECT_EQ(object_lines(reply), object_lines(*file));

    // A second request gets the same again.
    EXPECT_EQ(config_reply(), reply);
}

TEST_F(SimTest, DownloadedObjectsAreCheckedAndStored) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(go_high());
    EXPECT_EQ(ask("DLD_OBJ Tray;Tray9;15;1;N\xB5"
                  "1;"),
              "@");
    EXPECT_EQ(ask("DLD_OBJ Rack;Rack9;Tray9;12;;"), "@") << "an empty last Text value";
    EXPECT_EQ(ask("DLD_OBJ Valve;Valve9;2;0;None;"), "@");
    EXPECT_EQ(ask("DLD_OBJ tray;tray1;11;0;Moved;"), "@") << "replaces Tray1";

    EXPECT_EQ(ask("DLD_OBJ Lamp;Lamp1;3;"), "@Unknown class: Lamp");
    EXPECT_EQ(ask("DLD_OBJ Tray;;1;0;x;"), "@Missing object name");
    EXPECT_EQ(ask("DLD_OBJ Tray;Tray8;1;0;"), "@Missing value for Tray8:Label");
    EXPECT_EQ(ask("DLD_OBJ Tray;Tray8;1;0;x;y;"), "@Too many values for Tray8");
    EXPECT_EQ(ask("DLD_OBJ Tray;Tray8;1x;0;x;"), "@Not a number: Tray8:Position");
    EXPECT_EQ(ask("DLD_OBJ Tray;Tray8;1;2;x;"), "@No such entry: Tray8:Cooling = 2");
    EXPECT_EQ(ask("DLD_OBJ Tray;Tray8;1;-1;x;"), "@No such entry: Tray8:Cooling = -1");
    EXPECT_EQ(ask("DLD_OBJ Tray;Tray8;1;0;sixteen letters!;"), "@Text too long: Tray8:Label");
    EXPECT_EQ(ask("DLD_OBJ Rack;Rack8;Tray8;1;x;"), "@Unknown object: Rack8:Holder = Tray8");
    EXPECT_EQ(ask("DLD_OBJ"), "@Missing object line");
    EXPECT_EQ(ask("GET_OBJECTS"), "@Unknown command");
    EXPECT_EQ(ask("rstrt"), "@Unknown command");
    EXPECT_EQ(ask("DLD_OBJ Tray;" + std::string(2000, 'x')), "@Command too long");

    const auto objects = object_lines(config_reply());
    const std::vector<std::string> expected_tail = {
        "Tray;Tray9;15;1;N\xB5"
        "1",
        "Rack;Rack9;Tray9;12;", "Valve;Valve9;2;0;None"};
    ASSERT_EQ(objects.size(), 12u);
    EXPECT_EQ(objects.front(), "Tray;tray1;11;0;Moved");
    EXPECT_EQ(std::vector<std::string>(objects.end() - 3, objects.end()), expected_tail);
}

TEST_F(SimTest, TheStateFileHoldsExactlyTheObjectsHeldAtTheEnd) {
    const std::string state = dir.file("state.nol");
    ASSERT_NO_FATAL_FAILURE(start({"--state", state, "--delay-ms", "50"}));
    ASSERT_NO_FATAL_FAILURE(go_high());
    EXPECT_EQ(ask("RES_OBJECTS"), "@");
    EXPECT_EQ(object_lines(config_reply()), std::vector<std::string>{});
    EXPECT_EQ(ask("DLD_OBJ Tray;T1;5;1;A;"), "@");
    EXPECT_EQ(ask("DLD_OBJ Rack;R1;T1;9;B;"), "@");
    // Many replacements of one object outgrow the value store unless old blocks are reused.
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(ask("DLD_OBJ Detector;D1;" + std::to_string(200 + i % 100) + ";1;4;x;"), "@");
    }
    EXPECT_EQ(ask("DLD_OBJ Detector;D1;254;1;4;last;"), "@");

    EXPECT_EQ(sim->stop(), 0);
    auto lines = read_text_lines(state);
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->front(), "Nimbra lab instrument, bench 2") << "the comment block is kept";
    const std::vector<std::string> expected = {"Tray;T1;5;1;A", "Rack;R1;T1;9;B",
                                               "Detector;D1;254;1;4;last"};
    EXPECT_EQ(object_lines(*lines), expected);
}

TEST_F(SimTest, XonXoffPauseTheRepliesAndStayOutOfCommands) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_NO_FATAL_FAILURE(go_high());
    ASSERT_TRUE(port->send_bytes("\x13RST\x11RT\r"));
    EXPECT_EQ(port->read_line(), "@") << "XON and XOFF are not part of the command";

    ASSERT_TRUE(port->send_bytes("\x13GET_CONFIG\r"));
    ASSERT_TRUE(sim->wait_for_log("GET_CONFIG -> configuration"));
    EXPECT_EQ(port->read_for(300), "") << "nothing goes out after XOFF";
    ASSERT_TRUE(port->send_bytes("\x11"));
    const auto reply = port->read_reply();
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.front(), "[lists]");
    EXPECT_EQ(reply.back(), "|END");
}

TEST_F(SimTest, TheNextSessionGetsNothingThatWasMeantForTheLast) {
    const std::string state = dir.file("state.nol");
    ASSERT_NO_FATAL_FAILURE(start({"--state", state}));
    ASSERT_NO_FATAL_FAILURE(go_high());
    EXPECT_EQ(ask("DLD_OBJ Tray;T5;5;1;A;"), "@");
    ASSERT_TRUE(port->send("FOO"));
    ASSERT_TRUE(sim->wait_for_log("FOO -> @Unknown command"));
    port->close_port();
    ASSERT_TRUE(sim->wait_for_log("state written to"));
    auto lines = read_text_lines(state);
    ASSERT_TRUE(lines);
    EXPECT_EQ(object_lines(*lines).back(), "Tray;T5;5;1;A") << "written when the port closed";

    // The simulator stays at 38400, as an instrument does when the program just goes away,
    // and the reply nobody took is gone.
    port = std::make_unique<PtyClient>(device, B38400);
    EXPECT_EQ(ask("RSTRT"), "@");
    EXPECT_EQ(ask("SET_BAUD 9600"), "@");
    port->close_port();
    ASSERT_TRUE(sim->wait_for_log("port closed", 2));

    // The next session finds it at 9600 again, as the last one left it.
    port = std::make_unique<PtyClient>(device, B9600);
    ASSERT_NO_FATAL_FAILURE(go_high());
    EXPECT_EQ(ask("RSTRT"), "@");
}

TEST_F(SimTest, LineRatePacingKeepsTheReplyWhole) {
    ASSERT_NO_FATAL_FAILURE(start({"--line-rate"}));
    ASSERT_NO_FATAL_FAILURE(go_high());
    const auto reply = config_reply();
    auto file = read_text_lines(EXAMPLE_CONFIG);
    ASSERT_TRUE(file);
    EXPECT_EQ(object_lines(reply), object_lines(*file));
    EXPECT_EQ(ask("DLD_OBJ Tray;T7;1;0;x;"), "@");
}

}  // namespace
}  // namespace vexilo::test
