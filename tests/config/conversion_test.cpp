// The careful add and the download conversion, case by case where the two users differ.

#include "config/conversion.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>

#include "config/object_list_file.h"
#include "config/reader.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

using Lines = std::vector<std::string>;

class RecordingLog final : public LogSink {
  public:
    RecordingLog() : scope_(*this) {}
    void write(const std::string& line) override { lines.push_back(line); }
    Lines lines;

  private:
    ScopedLogSink scope_;
};

std::unique_ptr<Configuration> config_of(Lines lines) {
    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    EXPECT_TRUE(read_configuration(*config, lines));
    return config;
}

// A configuration with the given classes section and objects, over two value lists.
std::unique_ptr<Configuration> with_classes(const Lines& classes, const Lines& objects = {}) {
    Lines lines = {"[lists]", "0;2;Off;On", "1;3;Low;Medium;High", "[classes]"};
    lines.insert(lines.end(), classes.begin(), classes.end());
    lines.push_back("[objects]");
    lines.insert(lines.end(), objects.begin(), objects.end());
    return config_of(lines);
}

std::int32_t int_value(const Configuration& c, std::string_view object, std::string_view field) {
    const ObjectRecord& o = c.objects[find_object(c, object)];
    return get_int_value(c, o, find_field(c.classes[o.class_index], field));
}

std::string text_value(const Configuration& c, std::string_view object, std::string_view field) {
    const ObjectRecord& o = c.objects[find_object(c, object)];
    return std::string(get_text_value(c, o, find_field(c.classes[o.class_index], field)));
}

// Download of every object of the list; the queued commands, or nothing after a misfit.
struct Download {
    VectorLineList output_box;
    VectorLineList cmd_box;
    bool ok = true;
};

Download download(const Configuration& list, const Configuration& instrument) {
    Download d;
    DownloadConverter converter(list, instrument, d.output_box, d.cmd_box);
    for (int k = 0; k < list.object_count && d.ok; ++k)
        d.ok = converter.queue_object(k);
    return d;
}

TEST(CarefulAdd, FieldOrderIsTheDestinationsAndDownloadOrderTheInstruments) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Tray", "Position;1;120;1;1;mm", "#Mode;0;1;0;0", "&Label"},
                               {"Tray;T1;10;1;left"});
    auto dest = with_classes({"!Tray", "&Label", "#Mode;0;1;0;0", "Position;1;120;1;1;mm"});
    ASSERT_TRUE(CarefulAdd(*source, *dest).add_object_carefully(0));
    EXPECT_EQ(dest->object_count, 1);
    EXPECT_EQ(text_value(*dest, "T1", "Label"), "left");
    EXPECT_EQ(int_value(*dest, "T1", "Mode"), 1);
    EXPECT_EQ(int_value(*dest, "T1", "Position"), 10);
    EXPECT_EQ(dest->data_used, dest->classes[0].data_size);

    const Download d = download(*source, *dest);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.cmd_box.lines, Lines{"DLD_OBJ Tray;T1;left;1;10;"});
    EXPECT_EQ(d.output_box.lines, Lines{"adding to download list: Tray;T1;left;1;10;"});
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(messages.errors.empty());
}

TEST(CarefulAdd, ClassMissingOnTheReceivingSide) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Pump", "Volume;0;10;1;1;ml"}, {"Pump;P1;5"});
    auto dest = with_classes({"!Tray", "Position;1;120;1;1;mm"}, {"Tray;T1;3"});
    CarefulAdd add(*source, *dest);
    EXPECT_FALSE(add.add_object_carefully(0));
    EXPECT_EQ(log.lines,
              Lines{"Didnt include P1 because there are no Pumps in the destination list"});
    EXPECT_EQ(add.refusal(), log.lines.back());
    EXPECT_EQ(dest->object_count, 1);
    EXPECT_EQ(dest->data_used, 4);

    const Download d = download(*source, *dest);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(messages.errors, Lines{"Class: Pump is not defined"});
    EXPECT_TRUE(d.cmd_box.lines.empty());
}

TEST(CarefulAdd, FieldMissingInTheSendingClass) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Tray", "&Label"}, {"Tray;T1;left"});
    auto dest =
        with_classes({"!Tray", "Position;1;120;7;1;mm", "#Mode;0;2;2;1", "&Label", "&Note"});
    ASSERT_TRUE(CarefulAdd(*source, *dest).add_object_carefully(0));
    EXPECT_EQ(int_value(*dest, "T1", "Position"), 7);
    EXPECT_EQ(int_value(*dest, "T1", "Mode"), 2);
    EXPECT_EQ(text_value(*dest, "T1", "Label"), "left");
    EXPECT_EQ(text_value(*dest, "T1", "Note"), "Unknown");
    EXPECT_EQ(log.lines, (Lines{
                             "Set Position of T1 to default because Position isnt defined in "
                             "the source",
                             "Set Mode of T1 to default because Mode isnt defined in the source",
                             "Set Note of T1 to default because Note isnt defined in the source",
                         }));

    // An Atom has no default: the object is refused, and a new object's slot and value
    // block are handed back.
    log.lines.clear();
    auto atom_dest = with_classes({"!Tray", "&Label", "Holder;Tray"}, {"Tray;Old;x;Old"});
    const int used = atom_dest->data_used;
    CarefulAdd add(*source, *atom_dest);
    EXPECT_FALSE(add.add_object_carefully(0));
    EXPECT_EQ(log.lines, Lines{"Didnt include T1 because Holder isnt defined in the source and "
                               "there is no default"});
    EXPECT_EQ(add.refusal(), log.lines.back());
    EXPECT_EQ(atom_dest->object_count, 1);
    EXPECT_EQ(atom_dest->data_used, used);

    // The download names the instrument's field that the list's class lacks.
    const Download d = download(*source, *dest);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(messages.errors, Lines{"Class \"Tray\",Field \"Position\" is not defined"});
}

TEST(CarefulAdd, KindDiffers) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Tray", "&Position", "Mode;0;5;1;1;"}, {"Tray;T1;ten;3"});
    auto dest = with_classes({"!Tray", "Position;1;120;9;1;mm", "#Mode;0;1;1;0"});
    ASSERT_TRUE(CarefulAdd(*source, *dest).add_object_carefully(0));
    EXPECT_EQ(int_value(*dest, "T1", "Position"), 9);
    EXPECT_EQ(int_value(*dest, "T1", "Mode"), 1);
    EXPECT_EQ(log.lines,
              (Lines{"Set Position of T1 to default because Position has a different type in "
                     "the source",
                     "Set Mode of T1 to default because Mode has a different type in the "
                     "source"}));

    const Download d = download(*source, *dest);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(messages.errors, Lines{"Class \"Tray\",Field \"Position\":: type: 2 vs 0"});
}

TEST(CarefulAdd, UnitsDiffer) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source =
        with_classes({"!Pump", "Volume;0;100;1;1;ml", "Rate;0;100;2;1;mm"}, {"Pump;P1;50;60"});
    auto dest = with_classes({"!Pump", "Volume;0;100;1;1;ML", "Rate;0;100;2;1;cm"});
    ASSERT_TRUE(CarefulAdd(*source, *dest).add_object_carefully(0));
    EXPECT_EQ(int_value(*dest, "P1", "Volume"), 50);  // letter case does not count here
    EXPECT_EQ(int_value(*dest, "P1", "Rate"), 2);
    EXPECT_EQ(log.lines, Lines{"Set Rate of P1 to default because Rate has different units in "
                               "the source"});

    // The download compares exactly, so the first difference is the case of ml.
    const Download d = download(*source, *dest);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(messages.errors, Lines{"Class \"Pump\",Field \"Volume\":: units: ml vs ML"});

    // Units left in a field of another kind take no part in the careful add.
    log.lines.clear();
    auto choice_source = with_classes({"!Tray", "#Mode;0;1;0;0"}, {"Tray;T1;1"});
    auto choice_dest = with_classes({"!Tray", "#Mode;0;1;0;0"});
    store_text(choice_dest->classes[0].fields[0].units, "old");
    ASSERT_TRUE(CarefulAdd(*choice_source, *choice_dest).add_object_carefully(0));
    EXPECT_EQ(int_value(*choice_dest, "T1", "Mode"), 1);
    EXPECT_TRUE(log.lines.empty());
}

TEST(CarefulAdd, ListNumberDiffersAndEntryMissing) {
    test::MessageRecorder messages;
    RecordingLog log;
    // The source's Level uses list 1 (Low, Medium, High), the destination's a list 2 that
    // spells the entries differently and lacks High.
    Lines dest_text = {"[lists]",        "0;2;Off;On",    "1;3;Low;Medium;High",
                       "2;2;MEDIUM;low", "[classes]",     "!Tray",
                       "#Level;0;2;1;2", "#Mode;0;1;0;0", "[objects]"};
    auto dest = config_of(dest_text);
    auto source =
        with_classes({"!Tray", "#Level;0;2;0;1", "#Mode;0;1;0;0"}, {"Tray;T1;1;1", "Tray;T2;2;0"});
    CarefulAdd add(*source, *dest);
    ASSERT_TRUE(add.add_object_carefully(0));
    ASSERT_TRUE(add.add_object_carefully(1));
    EXPECT_EQ(int_value(*dest, "T1", "Level"), 0);  // Medium is entry 0 of list 2
    EXPECT_EQ(int_value(*dest, "T2", "Level"), 1);  // High is missing: the default
    EXPECT_EQ(log.lines, Lines{"Set Level of T2 to default because High is not an option"});

    // The download stops at the differing list number.
    const Download d = download(*source, *dest);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(messages.errors, Lines{"Class \"Tray\",Field \"Level\":: list number: 1 vs 2"});

    // With the same list number, a missing entry gives the default and a report line.
    messages.errors.clear();
    log.lines.clear();
    auto instrument = config_of({"[lists]", "0;2;Off;On", "1;2;LOW;medium", "[classes]", "!Tray",
                                 "#Level;0;2;1;1", "#Mode;0;1;0;0", "[objects]", "Tray;T2;0;0"});
    auto list =
        with_classes({"!Tray", "#Level;0;2;0;1", "#Mode;0;1;0;0"}, {"Tray;t2;2;1", "Tray;T3;1;0"});
    const Download ok = download(*list, *instrument);
    ASSERT_TRUE(ok.ok);
    EXPECT_EQ(ok.cmd_box.lines, (Lines{"DLD_OBJ Tray;t2;1;1;", "DLD_OBJ Tray;T3;1;0;"}));
    // The report names the object as the instrument spells it.
    EXPECT_EQ(log.lines, Lines{"Set Level of T2 to default because High is not an option"});
    EXPECT_TRUE(messages.errors.empty());
}

TEST(CarefulAdd, NumbersAreClampedInBothUsers) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Tray", "Position;-1000;1000;1;1;mm"},
                               {"Tray;Low;0", "Tray;High;121", "Tray;Min;1", "Tray;Max;120"});
    auto dest = with_classes({"!Tray", "Position;1;120;1;1;mm"});
    CarefulAdd add(*source, *dest);
    for (int k = 0; k < 4; ++k)
        ASSERT_TRUE(add.add_object_carefully(k));
    EXPECT_EQ(int_value(*dest, "Low", "Position"), 1);
    EXPECT_EQ(int_value(*dest, "High", "Position"), 120);
    EXPECT_EQ(int_value(*dest, "Min", "Position"), 1);
    EXPECT_EQ(int_value(*dest, "Max", "Position"), 120);
    const Lines reports = {
        "Set Position of Low to 1 because the corresponding field in the source was too small",
        "Set Position of High to 120 because the corresponding field in the source was too big"};
    EXPECT_EQ(log.lines, reports);

    log.lines.clear();
    const Download d = download(*source, *dest);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.cmd_box.lines, (Lines{"DLD_OBJ Tray;Low;1;", "DLD_OBJ Tray;High;120;",
                                      "DLD_OBJ Tray;Min;1;", "DLD_OBJ Tray;Max;120;"}));
    EXPECT_EQ(log.lines, reports);

    // With min above max a value below min still becomes min.
    log.lines.clear();
    auto odd = with_classes({"!Tray", "Position;50;10;1;1;mm"});
    ASSERT_TRUE(CarefulAdd(*source, *odd).add_object_carefully(0));
    EXPECT_EQ(int_value(*odd, "Low", "Position"), 50);
}

TEST(CarefulAdd, TextAndAtomValues) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Tray", "&Label", "!Rack", "Holder;Tray;Rack"},
                               {"Tray;T1;a b;c", "Rack;R1;Gone", "Rack;R2;nONE", "Rack;R3;t1"});
    auto dest = with_classes({"!Tray", "&Label", "!Rack", "Holder;Tray"});
    CarefulAdd add(*source, *dest);
    for (int k = 0; k < 4; ++k)
        ASSERT_TRUE(add.add_object_carefully(k));
    EXPECT_EQ(text_value(*dest, "T1", "Label"), "a b");
    EXPECT_EQ(text_value(*dest, "R1", "Holder"), "Gone");  // copied as it stood
    EXPECT_TRUE(log.lines.empty());

    // Download: "None" passes as stored; a name must stand in the list, with a class the
    // instrument knows and the field allows.
    auto instrument = with_classes({"!Tray", "&Label", "!Rack", "Holder;Rack"});
    Download d;
    DownloadConverter converter(*source, *instrument, d.output_box, d.cmd_box);
    EXPECT_TRUE(converter.queue_object(0));
    EXPECT_FALSE(converter.queue_object(1));
    EXPECT_TRUE(converter.queue_object(2));
    EXPECT_FALSE(converter.queue_object(3));
    EXPECT_EQ(d.cmd_box.lines, (Lines{"DLD_OBJ Tray;T1;a b;", "DLD_OBJ Rack;R2;nONE;"}));
    EXPECT_EQ(messages.errors, (Lines{"Unknown object: \"Gone\"",
                                      "Tray referenced by R3:Holder as t1: Wrong class!"}));

    messages.errors.clear();
    auto no_tray = with_classes({"!Rack", "Holder;Rack", "!Other", "&Label"});
    Download n;
    DownloadConverter other(*source, *no_tray, n.output_box, n.cmd_box);
    EXPECT_FALSE(other.queue_object(3));
    EXPECT_EQ(messages.errors, Lines{"Tray referenced by R3:Holder as t1: No such class!"});
    EXPECT_TRUE(n.cmd_box.lines.empty());
    EXPECT_TRUE(n.output_box.lines.empty());
}

TEST(CarefulAdd, OverwritesInPlaceOrRefusesAnotherClass) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Tray", "Position;1;120;1;1;mm", "!Rack", "Slots;1;9;1;1;"},
                               {"Tray;tray2;44", "Rack;T1;5"});
    auto dest = with_classes({"!Tray", "Position;1;120;1;1;mm", "!Rack", "Slots;1;9;1;1;"},
                             {"Tray;T1;3", "Tray;TRAY2;4", "Tray;T3;5"});
    const ObjectRecord before = dest->objects[1];
    const int used = dest->data_used;
    CarefulAdd add(*source, *dest);
    ASSERT_TRUE(add.add_object_carefully(0));
    EXPECT_EQ(dest->object_count, 3);
    EXPECT_EQ(text_of(dest->objects[1].name), "TRAY2");
    EXPECT_EQ(dest->objects[1].data_offset, before.data_offset);
    EXPECT_EQ(dest->data_used, used);
    EXPECT_EQ(int_value(*dest, "TRAY2", "Position"), 44);

    EXPECT_FALSE(add.add_object_carefully(1));
    EXPECT_EQ(log.lines, Lines{"Didnt include T1 because theres a Tray' with that name in the "
                               "destination list"});
    EXPECT_EQ(int_value(*dest, "T1", "Position"), 3);
}

TEST(CarefulAdd, FindsWhatItAddedAndFollowsAListChangedUnderIt) {
    test::MessageRecorder messages;
    const Lines tray = {"!Tray", "Position;1;120;1;1;mm"};
    auto source = with_classes(tray, {"Tray;a;1", "Tray;A;2", "Tray;b;3"});
    auto dest = with_classes(tray);
    CarefulAdd add(*source, *dest);
    // An object this add appended is overwritten by a later one of the same name in any case.
    ASSERT_TRUE(add.add_object_carefully(0));
    ASSERT_TRUE(add.add_object_carefully(1));
    EXPECT_EQ(dest->object_count, 1);
    EXPECT_EQ(int_value(*dest, "a", "Position"), 2);
    // Removed, and renamed in place: neither leaves a name behind that is no longer there.
    delete_object(*dest, 0);
    ASSERT_TRUE(add.add_object_carefully(2));
    store_text(dest->objects[0].name, "z");
    ASSERT_TRUE(add.add_object_carefully(2));
    ASSERT_EQ(dest->object_count, 2);
    EXPECT_EQ(text_of(dest->objects[0].name), "z");
    EXPECT_EQ(text_of(dest->objects[1].name), "b");
}

TEST(CarefulAdd, RefusesWhatDoesNotFitTheDestination) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Big", "&A", "&B", "&C", "&D", "!Small"},
                               {"Big;B1;a;b;c;d", "Small;S1", "Big;B2;a;b;c;d"});
    auto dest = with_classes({"!Big", "&A", "&B", "&C", "&D", "!Small"});
    dest->data_used = OBJECT_DATA_SIZE - 64 + 1;  // one byte short of a Big object
    CarefulAdd add(*source, *dest);
    EXPECT_FALSE(add.add_object_carefully(0));
    EXPECT_TRUE(add.add_object_carefully(1));  // no values: still fits
    EXPECT_FALSE(add.add_object_carefully(2));
    EXPECT_EQ(dest->object_count, 1);
    EXPECT_EQ(dest->data_used, OBJECT_DATA_SIZE - 63);
    EXPECT_EQ(log.lines, (Lines{"Didnt include B1 because the destination list is full",
                                "Didnt include B2 because the destination list is full"}));
    // One message box for the whole Add, not one per object.
    EXPECT_EQ(messages.errors, Lines{"The destination list is full: it holds at most 1928 "
                                     "objects and 40000 bytes of object values"});

    dest->data_used = 0;
    dest->object_count = MAX_OBJECTS;
    store_text(dest->objects[0].name, "Renamed");
    EXPECT_FALSE(CarefulAdd(*source, *dest).add_object_carefully(1));
    EXPECT_EQ(dest->object_count, MAX_OBJECTS);
}

TEST(CarefulAdd, ChoicesThatNameNoEntryGiveTheDefault) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source =
        with_classes({"!Tray", "#Mode;0;1;0;0", "#Far;0;1;0;0"}, {"Tray;T1;7;-1", "Tray;T2;1;1"});
    source->classes[0].fields[1].list_number = 150;  // no such list slot
    auto dest = with_classes({"!Tray", "#Mode;0;1;1;0", "#Far;0;1;1;0"});
    CarefulAdd add(*source, *dest);
    ASSERT_TRUE(add.add_object_carefully(0));
    dest->classes[0].fields[0].list_number = -4;
    ASSERT_TRUE(add.add_object_carefully(1));
    EXPECT_EQ(int_value(*dest, "T1", "Mode"), 1);
    EXPECT_EQ(int_value(*dest, "T1", "Far"), 1);
    EXPECT_EQ(int_value(*dest, "T2", "Mode"), 1);
    EXPECT_EQ(log.lines, (Lines{"Set Mode of T1 to default because value 7 is not an option",
                                "Set Far of T1 to default because value -1 is not an option",
                                "Set Mode of T2 to default because On is not an option",
                                "Set Far of T2 to default because value 1 is not an option"}));
}

TEST(CarefulAdd, MapsOfOneRunAreNotDisturbedByAnother) {
    test::MessageRecorder messages;
    RecordingLog log;
    auto source = with_classes({"!Tray", "Position;1;120;1;1;mm", "&Label"}, {"Tray;T1;5;a"});
    auto dest = with_classes({"!Tray", "&Label", "Position;1;120;1;1;mm"});
    CarefulAdd add(*source, *dest);
    // A download over a differently shaped pair builds its tables meanwhile.
    auto other = with_classes({"!X", "!Tray", "&Label"});
    Download d;
    DownloadConverter converter(*other, *source, d.output_box, d.cmd_box);
    ASSERT_TRUE(add.add_object_carefully(0));
    EXPECT_EQ(text_value(*dest, "T1", "Label"), "a");
    EXPECT_EQ(int_value(*dest, "T1", "Position"), 5);
}

TEST(ConversionLog, OffByDefaultAndStampedWhenSwitchedOn) {
    EXPECT_FALSE(log_enabled());
    write_to_log("dropped");

    Lines out;
    StampedLog stamped([&out](const std::string& line) { out.push_back(line); },
                       [] { return std::string("2024-05-06 07:08:09"); });
    {
        ScopedLogSink scope(stamped);
        EXPECT_TRUE(log_enabled());
        write_to_log("Set A of B to default because C");
    }
    EXPECT_FALSE(log_enabled());
    write_to_log("dropped again");
    EXPECT_EQ(out, Lines{"2024-05-06 07:08:09 : Set A of B to default because C"});
    EXPECT_TRUE(
        std::regex_match(current_date_time(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
}

TEST(ClassMaps, LastSameNamedClassAndFirstSameNamedField) {
    auto from = with_classes({"!Tray", "A;1;2;1;1;", "!tray", "B;1;2;1;1;", "b;1;2;1;1;"});
    auto to = with_classes({"!TRAY", "x;1;2;1;1;", "B;1;2;1;1;", "!Other", "B;1;2;1;1;"});
    ClassMaps maps(*from, *to);
    EXPECT_EQ(maps.class_map(0), -1);
    EXPECT_EQ(maps.class_map(1), 0);
    EXPECT_EQ(maps.field_map(0, 0), -1);
    EXPECT_EQ(maps.field_map(0, 1), 0);
    EXPECT_EQ(maps.field_map(1, 0), -1);
    EXPECT_EQ(maps.class_map(-1), -1);
    EXPECT_EQ(maps.field_map(MAX_CLASSES, 0), -1);

    ValueList list{};
    store_text(list.entries[0], "On");
    store_text(list.entries[1], "on");
    list.entry_count = 2;
    EXPECT_EQ(find_list_entry(list, "ON"), 1);
    EXPECT_EQ(find_list_entry(list, "Off"), -1);
    list.entry_count = 1000;  // never read beyond the entries
    EXPECT_EQ(find_list_entry(list, "ON"), 1);
}

TEST(DownloadLine, ClassWithoutFieldsAndReportNumbers) {
    test::MessageRecorder messages;
    auto list = with_classes({"!Empty"}, {"Empty;E1"});
    const Download d = download(*list, *list);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.cmd_box.lines, Lines{"DLD_OBJ Empty;E1;"});

    EXPECT_FALSE(report_number_difference("t: ", 3, 3));
    EXPECT_TRUE(report_number_difference("t: ", -2147483648LL, 7));
    EXPECT_TRUE(report_text_difference("u: ", "a", "A"));
    EXPECT_EQ(messages.errors, (Lines{"t: -2147483648 vs 7", "u: a vs A"}));
}

}  // namespace
}  // namespace vexilo
