// The comparison of object lists with what the instrument holds, and the instrument copy
// that takes acknowledged download lines.

#include "config/plan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "config/reader.h"
#include "config/text_file.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The instrument speaks its own character codes: 0x9D is its micro sign.
const Lines kClasses = {"!Pump",           "Volume;0;1000;100;10;\x9Dl",
                        "#Speed;0;2;1;1",  "&Label",
                        "Valve;Pump;Rack", "!Rack",
                        "Slots;1;96;24;1;"};
const Lines kInstrumentObjects = {"Pump;PumpA;250;1;Main;None;", "Pump;PumpB;500;0;Spare;PumpA;",
                                  "Rack;Rack1;96;", "Rack;Lonely;12;"};

std::unique_ptr<Configuration> configuration(const Lines& lists, const Lines& objects) {
    Lines lines = {"[lists]"};
    lines.insert(lines.end(), lists.begin(), lists.end());
    lines.push_back("[classes]");
    lines.insert(lines.end(), kClasses.begin(), kClasses.end());
    lines.push_back("[objects]");
    lines.insert(lines.end(), objects.begin(), objects.end());
    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    EXPECT_TRUE(read_configuration(*config, lines));
    return config;
}

class PlanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vexilo-plan-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        instrument_ = configuration({"1;3;Low;Medium;High"}, kInstrumentObjects);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A list file whose classes the list writes with its own spelling of units and lists.
    std::string list(const std::string& name, const Lines& objects,
                     const std::string& volume_units = "\xB5l",
                     const Lines& lists = {"1;3;High;Low;Medium"}) {
        Lines lines = {"[LISTS]"};
        lines.insert(lines.end(), lists.begin(), lists.end());
        lines.push_back("[CLASSES]");
        lines.insert(lines.end(), kClasses.begin(), kClasses.end());
        lines[lists.size() + 3] = "Volume;0;1000;100;10;" + volume_units;
        lines.push_back("[OBJECTS]");
        lines.insert(lines.end(), objects.begin(), objects.end());
        const std::string path = (dir_ / name).string();
        EXPECT_TRUE(write_text_lines(path, lines));
        return path;
    }

    fs::path dir_;
    std::unique_ptr<Configuration> instrument_;
};

TEST_F(PlanTest, NamesEveryKindWithOldAndNewValuesInTheInstrumentsTerms) {
    test::MessageRecorder messages;
    // The list's value list orders the entries differently: its Speed 2 (Medium) is the
    // instrument's entry 1, so PumpA is unchanged; the micro sign is 0xB5 here, 0x9D there.
    const std::string a =
        list("a.nol", {"Pump;PumpA;250;2;Main;None", "Pump;PumpB;750;1;Spare;Rack1",
                       "Rack;Rack1;96", "Pump;PumpC;1;1;x;Ghost", "Rack;Rack2;10"});
    const std::string b = list("b.nol", {"Pump;PumpB;750;2;Backup;None", "Pump;Rack1;1;1;x;None"});
    const Plan plan = plan_lists(*instrument_, {a, b});
    ASSERT_TRUE(plan.ok) << plan.error;
    EXPECT_TRUE(messages.errors.empty());
    ASSERT_EQ(plan.entries.size(), 8u);

    EXPECT_EQ(plan.entries[0].kind, PlanKind::Unchanged);
    EXPECT_TRUE(plan.entries[0].command.empty());
    EXPECT_EQ(plan.entries[2].kind, PlanKind::Unchanged);

    // Number (with the instrument's units) and Atom.
    ASSERT_EQ(plan.entries[1].kind, PlanKind::Changed);
    EXPECT_EQ(plan.entries[1].list, "a");
    ASSERT_EQ(plan.entries[1].fields.size(), 2u);
    EXPECT_EQ(plan.entries[1].fields[0].field, "Volume");
    EXPECT_EQ(plan.entries[1].fields[0].old_value, "500 \xB5l");
    EXPECT_EQ(plan.entries[1].fields[0].new_value, "750 \xB5l");
    EXPECT_EQ(plan.entries[1].fields[1].field, "Valve");
    EXPECT_EQ(plan.entries[1].fields[1].old_value, "PumpA");
    EXPECT_EQ(plan.entries[1].fields[1].new_value, "Rack1");
    EXPECT_EQ(plan.entries[1].command, "DLD_OBJ Pump;PumpB;750;0;Spare;Rack1;");

    ASSERT_EQ(plan.entries[3].kind, PlanKind::Misfit);
    EXPECT_EQ(plan.entries[3].message, "Unknown object: \"Ghost\"");
    EXPECT_EQ(plan.entries[4].kind, PlanKind::New);
    EXPECT_EQ(plan.entries[4].command, "DLD_OBJ Rack;Rack2;10;");

    // The second mention of PumpB is compared with what the first leaves on the instrument:
    // ListChoice by entry name, Text, Atom.
    ASSERT_EQ(plan.entries[5].kind, PlanKind::Changed);
    EXPECT_EQ(plan.entries[5].list, "b");
    ASSERT_EQ(plan.entries[5].fields.size(), 3u);
    EXPECT_EQ(plan.entries[5].fields[0].old_value, "Low");
    EXPECT_EQ(plan.entries[5].fields[0].new_value, "Medium");
    EXPECT_EQ(plan.entries[5].fields[1].old_value, "Spare");
    EXPECT_EQ(plan.entries[5].fields[1].new_value, "Backup");
    EXPECT_EQ(plan.entries[5].fields[2].new_value, "None");

    // A name the instrument holds in another class.
    ASSERT_EQ(plan.entries[6].kind, PlanKind::Changed);
    EXPECT_EQ(plan.entries[6].class_name, "Pump");
    EXPECT_EQ(plan.entries[6].old_class, "Rack");

    EXPECT_EQ(plan.entries[7].kind, PlanKind::OnlyOnInstrument);
    EXPECT_EQ(plan.entries[7].object_name, "Lonely");
    EXPECT_EQ(plan.count(PlanKind::Changed), 3);
    EXPECT_EQ(plan.commands().size(), 4u);
}

TEST_F(PlanTest, UnitsThatDifferAreAMisfitAsForTheSendAndAnUnreadableListStopsThePlan) {
    test::MessageRecorder messages;
    // ml against µl: the send refuses it, so the plan cannot call it unchanged.
    const Plan plan =
        plan_lists(*instrument_, {list("ml.nol", {"Pump;PumpA;250;2;Main;None"}, "ml")});
    ASSERT_TRUE(plan.ok);
    ASSERT_EQ(plan.entries[0].kind, PlanKind::Misfit);
    EXPECT_NE(plan.entries[0].message.find(": units: ml vs \xB5l"), std::string::npos);
    EXPECT_TRUE(plan.commands().empty());

    const Plan missing = plan_lists(*instrument_, {(dir_ / "none.nol").string()});
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "Cannot open file " + (dir_ / "none.nol").string());
    EXPECT_TRUE(messages.errors.empty());
}

TEST_F(PlanTest, AcknowledgedLinesKeepTheCopyExactWithoutFillingItsValueStore) {
    test::MessageRecorder messages;
    ASSERT_TRUE(apply_download_line(*instrument_, "DLD_OBJ Rack;PumpA;7;"));
    ASSERT_TRUE(apply_download_line(*instrument_, "DLD_OBJ Rack;Rack9;8;"));
    EXPECT_EQ(instrument_->object_count, 5);
    const Plan plan =
        plan_commands(*instrument_, {"DLD_OBJ Rack;PumpA;7;", "DLD_OBJ Rack;Rack9;9;"});
    EXPECT_EQ(plan.entries[0].kind, PlanKind::Unchanged);
    EXPECT_EQ(plan.entries[1].kind, PlanKind::Changed);

    // Far more replacements than the value store holds blocks.
    for (int i = 0; i < 3000; ++i) {
        ASSERT_TRUE(apply_download_line(
            *instrument_, "DLD_OBJ Pump;PumpB;" + std::to_string(i % 1000) + ";2;Spare;None;"));
    }
    EXPECT_EQ(object_download_line(*instrument_, 1), "Pump;PumpB;999;2;Spare;None;");
    EXPECT_EQ(object_download_line(*instrument_, 2), "Rack;Rack1;96;");
    // A change of letter case alone is a change: the instrument keeps what it is sent.
    EXPECT_EQ(plan_commands(*instrument_, {"DLD_OBJ Pump;PumpB;999;2;SPARE;None;"}).entries[0].kind,
              PlanKind::Changed);
    EXPECT_FALSE(apply_download_line(*instrument_, "DLD_OBJ Tray;T1;1;"));
    EXPECT_TRUE(messages.errors.empty());
}

}  // namespace
}  // namespace vexilo
