// Read-back verification: what the instrument stored against what the send should have left.

#include "config/read_back.h"

#include <gtest/gtest.h>

#include <memory>

#include "config/reader.h"

namespace vexilo {
namespace {

using Lines = std::vector<std::string>;

std::unique_ptr<Configuration> instrument(const Lines& objects) {
    Lines lines = {"[lists]", "1;3;Low;Medium;High",     "[classes]",
                   "!Pump",   "Volume;0;1000;100;10;ml", "#Speed;0;2;1;1",
                   "!Rack",   "Slots;1;96;24;1;",        "[objects]"};
    lines.insert(lines.end(), objects.begin(), objects.end());
    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    EXPECT_TRUE(read_configuration(*config, lines));
    return config;
}

std::vector<std::string> lines_of(const ReadBack& result) {
    std::vector<std::string> out;
    for (const ReadBackDifference& d : result.differences)
        out.push_back(read_back_line(d));
    return out;
}

TEST(ReadBackTest, NamesEverySentObjectNotStoredAsSentAndEveryOtherChange) {
    const auto before = instrument({"Pump;PumpA;250;1;", "Rack;Rack1;96;", "Rack;Lonely;12;"});
    const Lines sent = {"DLD_OBJ Pump;PumpA;300;2;", "DLD_OBJ Pump;PumpB;10;0;"};

    // Stored as sent, the rest untouched: both sent objects verified.
    const auto good =
        instrument({"Pump;PumpA;300;2;", "Rack;Rack1;96;", "Rack;Lonely;12;", "Pump;PumpB;10;0;"});
    const ReadBack fine = compare_read_back(*before, sent, *good);
    EXPECT_TRUE(fine.ok()) << ::testing::PrintToString(lines_of(fine));
    EXPECT_EQ(fine.sent, 2);
    EXPECT_EQ(fine.verified, 2);

    // PumpA stored with another speed, PumpB lost, Rack1 changed behind the send's back,
    // Lonely gone and a stranger appeared.
    const auto bad = instrument({"Pump;PumpA;300;0;", "Rack;Rack1;48;", "Rack;Stranger;1;"});
    const ReadBack wrong = compare_read_back(*before, sent, *bad);
    EXPECT_FALSE(wrong.ok());
    EXPECT_EQ(wrong.verified, 0);
    EXPECT_EQ(lines_of(wrong), (Lines{"Pump:PumpA: Speed: sent High -> stored Low",
                                      "Rack:Rack1 (not sent): Slots: was 96 -> stored 48",
                                      "Rack:Lonely (not sent): was present -> stored missing",
                                      "Pump:PumpB: sent -> stored missing",
                                      "Rack:Stranger (not sent): was absent -> stored present"}));
}

}  // namespace
}  // namespace vexilo
