#include "config/field_text.h"

#include <gtest/gtest.h>

#include <memory>

#include "config/reader.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

std::unique_ptr<Configuration> read_lines(std::vector<std::string> lines,
                                          std::unique_ptr<Configuration> config = nullptr) {
    if (!config) {
        config = std::make_unique<Configuration>();
        clear_configuration(*config);
    }
    test::MessageRecorder messages;
    EXPECT_TRUE(read_configuration(*config, lines));
    EXPECT_TRUE(messages.errors.empty());
    return config;
}

std::vector<std::string> with_objects(std::vector<std::string> lists,
                                      std::vector<std::string> objects) {
    std::vector<std::string> lines = {"[LISTS]"};
    lines.insert(lines.end(), lists.begin(), lists.end());
    lines.insert(lines.end(), {"[CLASSES]", "!Pump", "Volume;0;1000;100;10;ul", "#Speed;0;2;1;1",
                               "&Label", "Partner;Pump", "#Lost;0;1;0;150", "Gain;0;9;1;1;E"});
    lines.push_back("[OBJECTS]");
    lines.insert(lines.end(), objects.begin(), objects.end());
    return lines;
}

std::vector<std::string> values_of(const Configuration& config, int object) {
    std::vector<std::string> values;
    const ClassRecord& cls = config.classes[config.objects[object].class_index];
    for (int f = 0; f < cls.field_count; ++f) {
        values.push_back(field_value_text(config, config.objects[object], f));
    }
    return values;
}

TEST(FieldValueText, ShowsEachKindAsTheOperatorReadsIt) {
    const auto config =
        read_lines(with_objects({"0;0;x", "1;3;Low;Medium;High"},
                                {"Pump;P1;-25;2;fast;P2;0;3", "Pump;P2;1000;0;;None;1;0"}));
    EXPECT_EQ(values_of(*config, 0),
              (std::vector<std::string>{"-25", "High", "fast", "P2", "0", "3"}));
    EXPECT_EQ(values_of(*config, 1),
              (std::vector<std::string>{"1000", "Low", "", "None", "1", "0"}));
}

TEST(FieldValueText, AListChoiceNamingNoEntryShowsTheValueNeverAStaleOrForeignEntry) {
    // A first reading leaves five entries in list 1; the second reading's list has two, so
    // slots 2 to 4 still hold the old names and must not be shown for this list.
    auto config = read_lines(with_objects({"0;0;x", "1;5;a;b;c;d;e"}, {}));
    config = read_lines(with_objects({"0;0;x", "1;2;Low;High"},
                                     {"Pump;P1;0;2;;None;0;0", "Pump;P2;0;-1;;None;0;0",
                                      "Pump;P3;0;40;;None;0;0", "Pump;P4;0;2147483647;;None;0;0"}),
                        std::move(config));
    EXPECT_EQ(field_value_text(*config, config->objects[0], 1), "2");
    EXPECT_EQ(field_value_text(*config, config->objects[1], 1), "-1");
    EXPECT_EQ(field_value_text(*config, config->objects[2], 1), "40");
    EXPECT_EQ(field_value_text(*config, config->objects[3], 1), "2147483647");
    // The field "Lost" names list 150, which cannot exist.
    EXPECT_EQ(field_value_text(*config, config->objects[0], 4), "0");
    // Indexes outside the class give nothing rather than another object's bytes.
    EXPECT_EQ(field_value_text(*config, config->objects[0], 6), "");
    EXPECT_EQ(field_value_text(*config, config->objects[0], -1), "");
}

TEST(FieldUnitsText, TheUnitsEStandForNone) {
    ClassField field{};
    store_text(field.units, "ul");
    EXPECT_EQ(field_units_text(field), "ul");
    store_text(field.units, "E");
    EXPECT_EQ(field_units_text(field), "");
    store_text(field.units, "e");
    EXPECT_EQ(field_units_text(field), "");
    store_text(field.units, "Em");
    EXPECT_EQ(field_units_text(field), "Em");
}

TEST(FindObjectLines, RunsFromTheObjectsMarkerToAtomsOrTheEnd) {
    auto range = [](std::vector<std::string> lines) {
        const ObjectLineRange r = find_object_lines(lines);
        return std::make_pair(r.first, r.end);
    };
    using P = std::pair<std::size_t, std::size_t>;
    EXPECT_EQ(range({"c", "[objects]", "a;1", "b;2", "[Atoms]", "x"}), P(2, 4));
    EXPECT_EQ(range({"[OBJECTS]", "a;1", "b;2"}), P(1, 3));
    // The last marker counts, as for the reader, and only whole lines are markers.
    EXPECT_EQ(range({"[OBJECTS] ", "[OBJECTS]", "a;1", " [ATOMS]", "[OBJECTS]", "b;2", "[ATOMS]"}),
              P(5, 6));
    EXPECT_TRUE(find_object_lines({"[LISTS]", "[CLASSES]"}).empty());
    EXPECT_TRUE(find_object_lines({}).empty());
    EXPECT_TRUE(find_object_lines({"x", "[OBJECTS]"}).empty());
    EXPECT_TRUE(find_object_lines({"[OBJECTS]", "[ATOMS]", "a;1"}).empty());
    EXPECT_EQ(find_object_lines({"[OBJECTS]", "a;1", "b;2"}).size(), 2u);
}

}  // namespace
}  // namespace vexilo
