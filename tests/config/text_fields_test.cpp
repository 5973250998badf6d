#include "config/text_fields.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/message_recorder.h"

namespace vexilo {
namespace {

std::vector<std::string> split(std::string_view line) {
    std::vector<std::string_view> fields;
    EXPECT_TRUE(split_fields(line, fields));
    return {fields.begin(), fields.end()};
}

TEST(TextFields, NextFieldSplitsAtSeparatorsWithoutQuoting) {
    EXPECT_EQ(split("a;;b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(split("a;"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(split("   "), (std::vector<std::string>{""}));
    // Leading blanks go, trailing blanks stay.
    EXPECT_EQ(split("  x ; y"), (std::vector<std::string>{"x ", "y"}));

    std::string_view cursor = "a;";
    EXPECT_EQ(next_field(cursor, ';'), "a");
    EXPECT_TRUE(cursor.empty());
}

TEST(TextFields, SplitRefusesLinesBeyondTheFieldLimit) {
    std::string line = "0";
    for (int i = 1; i < MAX_LINE_FIELDS; ++i)
        line += ";f";
    std::vector<std::string_view> fields;
    EXPECT_TRUE(split_fields(line, fields));
    EXPECT_EQ(fields.size(), static_cast<std::size_t>(MAX_LINE_FIELDS));
    EXPECT_FALSE(split_fields(line + ";one too many", fields));
    EXPECT_EQ(fields.size(), static_cast<std::size_t>(MAX_LINE_FIELDS));
}

TEST(TextFields, ParseIntAcceptsDecimalAndHex) {
    test::MessageRecorder messages;
    std::int32_t v = 0;
    EXPECT_TRUE(parse_int("   42", "c", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(parse_int("-7", "c", v));
    EXPECT_EQ(v, -7);
    EXPECT_TRUE(parse_int("+7", "c", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(parse_int("$ff", "c", v));
    EXPECT_EQ(v, 255);
    EXPECT_TRUE(parse_int("0x10", "c", v));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(parse_int("X1f", "c", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(parse_int("$FFFFFFFF", "c", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(parse_int("-2147483648", "c", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(parse_int("2147483647", "c", v));
    EXPECT_EQ(v, INT32_MAX);
    EXPECT_TRUE(messages.errors.empty());
}

TEST(TextFields, ParseIntRejectsWithContextAndZero) {
    for (const char* bad : {"42 ", "4 2", "", "-", "-$10", "2147483648", "-2147483649", "1e3", "$",
                            "0x", "$123456789", "$fg"}) {
        test::MessageRecorder messages;
        std::int32_t v = 99;
        EXPECT_FALSE(parse_int(bad, "Tray1:Position", v)) << bad;
        EXPECT_EQ(v, 0) << bad;
        ASSERT_EQ(messages.errors.size(), 1u) << bad;
        EXPECT_EQ(messages.errors[0], "Not a number:Tray1:Position");
    }
}

TEST(TextFields, SameTextFoldsOnlyAsciiLetters) {
    EXPECT_TRUE(same_text("Tray", "tRAY"));
    EXPECT_FALSE(same_text("Tray", "Tray "));
    EXPECT_FALSE(same_text("\xC4", "\xE4"));  // upper and lower A with diaeresis
    EXPECT_FALSE(same_text("[", "{"));        // folding must not touch punctuation
}

TEST(TextFields, ShortenMiddleKeepsFrontAndBack) {
    const std::string t47(47, 'a');
    EXPECT_EQ(shorten_middle(t47, 48), t47);
    std::string t48;
    for (int i = 0; i < 48; ++i)
        t48 += static_cast<char>('A' + i % 26);
    const std::string s = shorten_middle(t48, 48);
    EXPECT_EQ(s.size(), 46u);
    EXPECT_EQ(s, t48.substr(0, 21) + "..." + t48.substr(48 - 22));
}

TEST(TextFields, NameHelpers) {
    EXPECT_EQ(strip_extension("a.b.nol"), "a");
    EXPECT_EQ(strip_extension("abc"), "abc");
#if defined(_WIN32)
    EXPECT_EQ(file_name_part("D:\\lists\\abc.nol"), "abc.nol");
#else
    EXPECT_EQ(file_name_part("/lists/a\\b.nol"), "a\\b.nol");
#endif
    EXPECT_EQ(file_name_part("/home/op/lists/abc.nol"), "abc.nol");
    EXPECT_EQ(file_name_part("abc.nol"), "abc.nol");
    std::string t = "Tray:Tray1:x";
    cut_at_char(t, ':');
    EXPECT_EQ(t, "Tray");
    t = "Tray:Tray1:x";
    cut_through_char(t, ':');
    EXPECT_EQ(t, "Tray1:x");
    t = "none";
    cut_at_char(t, ':');
    cut_through_char(t, ':');
    EXPECT_EQ(t, "none");
    EXPECT_FALSE(file_exists(""));
    EXPECT_FALSE(file_exists("/nonexistent/file"));
    // A folder is not a file to read.
    EXPECT_FALSE(file_exists(std::filesystem::temp_directory_path().string()));
}

}  // namespace
}  // namespace vexilo
