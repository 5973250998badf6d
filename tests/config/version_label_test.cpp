#include "config/version_label.h"

#include <gtest/gtest.h>

namespace vexilo {
namespace {

TEST(VersionLabel, BuildNumbersChooseAlphaBetaOrRelease) {
    EXPECT_EQ(get_juist_version_info("2.1.0.0"), "");
    EXPECT_EQ(get_juist_version_info("2.1.0.1"), "");
    EXPECT_EQ(get_juist_version_info("2.1.0.2"), "2.1.0 (Alpha 2)");
    EXPECT_EQ(get_juist_version_info("2.1.0.200"), "2.1.0 (Alpha 200)");
    EXPECT_EQ(get_juist_version_info("2.1.0.201"), "2.1.0 (Beta 201)");
    EXPECT_EQ(get_juist_version_info("2.1.0.999"), "2.1.0 (Beta 999)");
    EXPECT_EQ(get_juist_version_info("2.1.0.1000"), "2.1.0");
    EXPECT_EQ(get_juist_version_info("2.0.1.65535"), "2.0.1");
    EXPECT_EQ(get_juist_version_info("2.1.0.99999999999999999999"), "2.1.0");
}

TEST(VersionLabel, PartsOfMoreThanOneDigitAndTextsThatAreNoVersion) {
    EXPECT_EQ(get_juist_version_info("10.2.13.250"), "10.2.13 (Beta 250)");
    // Nothing to label: the text stands as it is rather than a wrong or empty label.
    EXPECT_EQ(get_juist_version_info("2.1.0.rc1"), "2.1.0.rc1");
    EXPECT_EQ(get_juist_version_info("2.1.0.-5"), "2.1.0.-5");
    EXPECT_EQ(get_juist_version_info("2.1.0."), "2.1.0.");
    EXPECT_EQ(get_juist_version_info("2.1"), "2.1");
    EXPECT_EQ(get_juist_version_info(""), "");
}

}  // namespace
}  // namespace vexilo
