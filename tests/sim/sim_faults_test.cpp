// The faults nimbra-sim injects, each seen from the program's end of the line.

#include <unistd.h>

#include "sim_fixture.h"

namespace vexilo::test {
namespace {

TEST_F(SimTest, SilentCommandsAreLostWithoutEffect) {
    ASSERT_NO_FATAL_FAILURE(
        start({"--fault", "silent:SET_BAUD@1", "--fault", "silent:GET_CONFIG@1"}));
    ASSERT_TRUE(port->send("SET_BAUD 38400"));
    ASSERT_TRUE(sim->wait_for_log("SET_BAUD 38400 -> no answer (fault silent)"));
    EXPECT_EQ(ask("RSTRT"), "@") << "still at 9600";

    ASSERT_NO_FATAL_FAILURE(go_high());
    ASSERT_TRUE(port->send("GET_CONFIG"));
    ASSERT_TRUE(sim->wait_for_log("GET_CONFIG -> no answer"));
    EXPECT_EQ(ask("RSTRT"), "@");
    const auto reply = config_reply();
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.front(), "[lists]") << "only the first GET_CONFIG was silent";
}

TEST_F(SimTest, RefusedCommandsAnswerTheTextAndDoNothing) {
    ASSERT_NO_FATAL_FAILURE(start(
        {"--fault", "refuse:SET_BAUD 38400:Busy@1", "--fault", "refuse:DLD_OBJ:Memory full@1"}));
    EXPECT_EQ(ask("SET_BAUD 38400"), "@Busy");
    EXPECT_EQ(ask("RSTRT"), "@") << "still at 9600";
    ASSERT_NO_FATAL_FAILURE(go_high());
    EXPECT_EQ(ask("DLD_OBJ Tray;T1;5;1;A;"), "@Memory full");
    EXPECT_EQ(ask("DLD_OBJ Tray;T2;5;1;B;"), "@");
    const auto objects = object_lines(config_reply());
    EXPECT_EQ(objects.back(), "Tray;T2;5;1;B");
    EXPECT_EQ(std::count(objects.begin(), objects.end(), "Tray;T1;5;1;A"), 0);
}

TEST_F(SimTest, AStalledReplyStopsAfterItsLines) {
    ASSERT_NO_FATAL_FAILURE(start({"--fault", "stall:5@1"}));
    ASSERT_NO_FATAL_FAILURE(go_high());
    ASSERT_TRUE(port->send("GET_CONFIG"));
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(port->read_line()) << i;
    ASSERT_TRUE(sim->wait_for_log("stalled after 5 lines"));
    EXPECT_EQ(ask("RSTRT"), "@") << "no further line of the configuration came first";
    EXPECT_EQ(config_reply().back(), "|END");
}

TEST_F(SimTest, LineFeedsFollowTheCarriageReturnsOfTheFirstLines) {
    ASSERT_NO_FATAL_FAILURE(start({"--fault", "lf@2"}));
    EXPECT_EQ(ask("RSTRT"), "@");
    EXPECT_EQ(ask("RSTRT"), "\n@");
    EXPECT_EQ(ask("RSTRT"), "\n@") << "the second line's LF begins the third";
    EXPECT_EQ(ask("RSTRT"), "@");
}

TEST_F(SimTest, NoiseLinesFollowReplies) {
    ASSERT_NO_FATAL_FAILURE(start({"--fault", "noise@2"}));
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(ask("RSTRT"), "@");
        const auto noise = port->read_line();
        ASSERT_TRUE(noise);
        ASSERT_FALSE(noise->empty());
        EXPECT_NE(noise->front(), '@');
        EXPECT_NE(noise->front(), '|');
        EXPECT_EQ(noise->find_first_of("\n\x11\x13"), std::string::npos);
    }
    EXPECT_EQ(ask("RSTRT"), "@");
    EXPECT_EQ(port->read_for(200), "") << "no noise after the limit";
}

TEST_F(SimTest, AHangupClosesTheLineAndANewOneFollows) {
    const std::string link = dir.file("nimbra");
    const std::string state = dir.file("state.nol");
    ASSERT_NO_FATAL_FAILURE(start({"--link", link, "--state", state, "--fault", "hangup:2@1"}));
    ASSERT_NO_FATAL_FAILURE(go_high());
    EXPECT_EQ(ask("DLD_OBJ Tray;T3;5;1;A;"), "@");
    EXPECT_TRUE(port->hung_up());

    const auto next = sim->port();
    ASSERT_TRUE(next) << "a new port line";
    EXPECT_NE(*next, device);
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), *next);
    auto lines = read_text_lines(state);
    ASSERT_TRUE(lines) << "the state is written at the hang-up";
    EXPECT_EQ(object_lines(*lines).back(), "Tray;T3;5;1;A");

    // A new line starts at 9600, and only the first hang-up was asked for.
    port = std::make_unique<PtyClient>(link, B9600);
    ASSERT_TRUE(port->is_open());
    ASSERT_NO_FATAL_FAILURE(go_high());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ask("RSTRT"), "@");
}

TEST_F(SimTest, ARebootDropsTheSpeed) {
    ASSERT_NO_FATAL_FAILURE(start({"--fault", "reboot@1"}));
    ASSERT_NO_FATAL_FAILURE(go_high());
    EXPECT_EQ(ask("RSTRT"), "@");
    ASSERT_TRUE(port->send("GET_CONFIG"));
    ASSERT_TRUE(sim->wait_for_log("GET_CONFIG -> ignored, garbled"));
    port->set_speed(B9600);
    ASSERT_NO_FATAL_FAILURE(go_high());
    EXPECT_EQ(ask("RSTRT"), "@");
    EXPECT_EQ(ask("RSTRT"), "@") << "the second restart kept 38400";
}

}  // namespace
}  // namespace vexilo::test
