#include "link/ui/progress_bar_sink.h"

#include <gtest/gtest.h>

namespace vexilo {
namespace {

// A reply longer than the bar's maximum turns it busy instead of full; the return to the start
// (the reply read, or a stop) brings the range back, and the next range starts afresh.
TEST(ProgressBarSink, PastTheMaximumTheBarIsBusyUntilItReturnsToTheStart) {
    QProgressBar bar;
    ProgressBarSink sink(bar);
    sink.set_range(0, 409);
    sink.set_position(409);
    EXPECT_EQ(bar.value(), 409);
    EXPECT_FALSE(sink.busy());
    sink.set_position(410);
    EXPECT_TRUE(sink.busy());
    EXPECT_EQ(bar.maximum(), 0);
    sink.set_position(3000);
    EXPECT_EQ(bar.maximum(), 0);
    sink.reset();
    EXPECT_FALSE(sink.busy());
    EXPECT_EQ(bar.maximum(), 409);
    EXPECT_EQ(bar.value(), 0);

    sink.set_position(500);
    sink.set_range(0, 7);
    EXPECT_FALSE(sink.busy());
    sink.set_position(5);
    sink.reset();
    EXPECT_EQ(bar.value(), 0);
    EXPECT_EQ(bar.maximum(), 7);
}

}  // namespace
}  // namespace vexilo
