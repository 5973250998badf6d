#include "printing/page_layout.h"

#include <gtest/gtest.h>

#include <random>

namespace vexilo {
namespace {

// A listing of blocks of the given lengths; each block ends with its empty line.
std::vector<std::string> blocks(const std::vector<int>& lengths) {
    std::vector<std::string> lines;
    for (int length : lengths) {
        for (int i = 1; i < length; ++i)
            lines.push_back("line " + std::to_string(lines.size()));
        lines.emplace_back();
    }
    return lines;
}

// Where each line went: page, column, line number.
struct Spot {
    int page, column, line;
    bool operator==(const Spot&) const = default;
};

std::vector<Spot> spots(const std::vector<PrintedPage>& pages) {
    std::vector<Spot> out;
    for (const auto& page : pages) {
        for (const auto& placed : page.lines) {
            EXPECT_EQ(placed.index, out.size()) << "lines keep their order";
            out.push_back({page.number, placed.column, placed.line});
        }
    }
    return out;
}

// N = 30: the page number on line 29, the last usable line 28.
constexpr int kLines = 30;

TEST(PageLayout, GeometryInDevicePixels) {
    const PageGeometry g = PageGeometry::of(600, 6851);
    EXPECT_EQ(g.line_height, 83);
    EXPECT_EQ(g.lines_per_page, 82);
    EXPECT_EQ(g.page_number_line(), 81);
    EXPECT_EQ(g.column_x(0), 517);
    EXPECT_EQ(g.column_x(1), 2800);
    EXPECT_EQ(g.page_number_x(), 2517);
    EXPECT_EQ(g.y_of(81), 81 * 83);
    // A resolution too coarse for a line height still divides safely.
    EXPECT_GE(PageGeometry::of(0, 100).line_height, 1);
}

TEST(PageLayout, AShortListingFillsTheLeftColumnOfPageOne) {
    const auto pages = lay_out_pages(blocks({2, 5}), kLines);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].number, 1);
    const auto s = spots(pages);
    ASSERT_EQ(s.size(), 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(s[i], (Spot{1, 0, i + 1}));
    EXPECT_EQ(lay_out_pages({}, kLines).size(), 1u);
}

TEST(PageLayout, ColumnsFillDownToTheLineAboveThePageNumber) {
    auto s = spots(lay_out_pages(blocks({10, 10, 8, 2}), kLines));
    EXPECT_EQ(s[27], (Spot{1, 0, 28}));
    EXPECT_EQ(s[28], (Spot{1, 1, 3})) << "the right column of page one starts at line 3";
    // A block that would run into line 29 moves to the next column whole.
    s = spots(lay_out_pages(blocks({10, 10, 9}), kLines));
    EXPECT_EQ(s[19], (Spot{1, 0, 20}));
    EXPECT_EQ(s[20], (Spot{1, 1, 3}));
}

TEST(PageLayout, AListingEndingWithARightColumnStartsNoFurtherPage) {
    auto pages = lay_out_pages(blocks({14, 14, 13, 13}), kLines);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(spots(pages).back(), (Spot{1, 1, 28}));
    // One more line starts page 2, where both columns begin at line 1 again.
    pages = lay_out_pages(blocks({14, 14, 13, 13, 28, 2}), kLines);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[1].number, 2);
    const auto s = spots(pages);
    EXPECT_EQ(s[54], (Spot{2, 0, 1}));
    EXPECT_EQ(s[82], (Spot{2, 1, 1}));
}

TEST(PageLayout, LongBlocksNeverReachThePageNumberLine) {
    // 25 lines do not fit below line 8: the block moves to the right column whole.
    auto s = spots(lay_out_pages(blocks({2, 5, 25}), kLines));
    EXPECT_EQ(s[7], (Spot{1, 1, 3}));
    EXPECT_EQ(s[31], (Spot{1, 1, 27}));
    // 40 lines fit in no column: they fill the next column to line 28 and go on at the top
    // of the one after.
    s = spots(lay_out_pages(blocks({2, 40}), kLines));
    EXPECT_EQ(s[2], (Spot{1, 1, 3}));
    EXPECT_EQ(s[27], (Spot{1, 1, 28}));
    EXPECT_EQ(s[28], (Spot{2, 0, 1}));
    EXPECT_EQ(s[41], (Spot{2, 0, 14}));
}

TEST(PageLayout, EveryLineIsPlacedOnceInsideItsColumn) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const int n = 3 + static_cast<int>(random() % 60);
        std::vector<int> lengths(1 + random() % 30);
        for (int& length : lengths)
            length = 1 + static_cast<int>(random() % 45);
        const auto lines = blocks(lengths);
        const auto pages = lay_out_pages(lines, n);
        const auto s = spots(pages);
        ASSERT_EQ(s.size(), lines.size()) << "N = " << n;
        for (std::size_t p = 0; p < pages.size(); ++p) {
            EXPECT_EQ(pages[p].number, static_cast<int>(p) + 1);
            EXPECT_FALSE(p > 0 && pages[p].lines.empty()) << "no empty page after page one";
        }
        for (const Spot& spot : s) {
            EXPECT_GE(spot.line, spot.page == 1 && spot.column == 1 ? 3 : 1);
            EXPECT_LE(spot.line, n - 2) << "N = " << n;
        }
    }
}

}  // namespace
}  // namespace vexilo
