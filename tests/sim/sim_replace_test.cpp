// A download of a name the simulator already holds replaces that object in place.

#include "sim_fixture.h"

namespace vexilo::test {
namespace {

TEST_F(SimTest, DownloadOfAHeldNameReplacesItInTheReplyAndTheStateFile) {
    start({"--state", dir.file("state.nol")});
    go_high();
    const std::vector<std::string> before = object_lines(config_reply());
    ASSERT_EQ(before.size(), 9u);
    EXPECT_EQ(before[4], "Pump;PumpA;250;100;2;0");

    ASSERT_EQ(ask("DLD_OBJ Pump;pumpa;300;90;1;1;"), "@");
    std::vector<std::string> expected = before;
    expected[4] = "Pump;pumpa;300;90;1;1";
    EXPECT_EQ(object_lines(config_reply()), expected);

    port.reset();
    ASSERT_EQ(sim->stop(), 0);
    EXPECT_EQ(object_lines_of(dir.file("state.nol")), expected);
}

}  // namespace
}  // namespace vexilo::test
