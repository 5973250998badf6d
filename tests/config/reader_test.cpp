#include "config/reader.h"

#include <gtest/gtest.h>

#include <memory>

#include "config/object_list_file.h"
#include "config/text_fields.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

std::unique_ptr<Configuration> empty() {
    auto c = std::make_unique<Configuration>();
    clear_configuration(*c);
    return c;
}

const std::vector<std::string> kExample = {"[lists]",
                                           "0;2;Off;On",
                                           "[classes]",
                                           "!Tray",
                                           "Position;1;100;1;1;mm",
                                           "#Mode;0;1;0;0",
                                           "&Label",
                                           "!Rack",
                                           "Holder;Tray",
                                           "[objects]",
                                           "Tray;Tray1;10;1;left",
                                           "Rack;Rack1;Tray1",
                                           "[atoms]",
                                           "whatever;is;here"};

struct Reading {
    std::unique_ptr<Configuration> config = empty();
    bool ok = false;
    std::vector<std::string> errors;
};

Reading read(std::vector<std::string> lines) {
    test::MessageRecorder messages;
    Reading r;
    r.ok = read_configuration(*r.config, lines);
    r.errors = messages.errors;
    return r;
}

// Reads the example with the given lines put in place of the named section's lines.
std::vector<std::string> with_section(const std::string& header, std::vector<std::string> body) {
    std::vector<std::string> out;
    bool skipping = false;
    for (const auto& line : kExample) {
        if (!line.empty() && line[0] == '[') {
            skipping = same_text(line, header);
            out.push_back(line);
            if (skipping) out.insert(out.end(), body.begin(), body.end());
            continue;
        }
        if (!skipping) out.push_back(line);
    }
    return out;
}

std::string only_error(const Reading& r) {
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errors.size(), 1u);
    return r.errors.empty() ? "" : r.errors[0];
}

TEST(Reader, ReadsTheExampleWithEveryKind) {
    Reading r = read(kExample);
    ASSERT_TRUE(r.ok) << (r.errors.empty() ? "" : r.errors[0]);
    const Configuration& c = *r.config;
    EXPECT_EQ(c.list_count, 1);
    EXPECT_EQ(c.lists[0].max, 2);
    ASSERT_EQ(c.lists[0].entry_count, 2);
    EXPECT_EQ(text_of(c.lists[0].entries[1]), "On");

    ASSERT_EQ(c.class_count, 2);
    const ClassRecord& tray = c.classes[0];
    ASSERT_EQ(tray.field_count, 3);
    EXPECT_EQ(tray.fields[0].kind, FieldKind::Number);
    EXPECT_EQ(tray.fields[0].min, 1);
    EXPECT_EQ(tray.fields[0].max, 100);
    EXPECT_EQ(tray.fields[0].default_value, 1);
    EXPECT_EQ(tray.fields[0].increment, 1);
    EXPECT_EQ(text_of(tray.fields[0].units), "mm");
    EXPECT_EQ(tray.fields[1].kind, FieldKind::ListChoice);
    EXPECT_EQ(text_of(tray.fields[1].name), "Mode");
    EXPECT_EQ(tray.fields[1].list_number, 0);
    EXPECT_EQ(tray.fields[2].kind, FieldKind::Text);
    EXPECT_EQ(text_of(tray.fields[2].name), "Label");
    EXPECT_EQ(tray.data_size, 24);
    EXPECT_EQ(c.classes[1].fields[0].kind, FieldKind::Atom);
    EXPECT_EQ(c.classes[1].fields[0].allowed_classes, 1u);

    ASSERT_EQ(c.object_count, 2);
    EXPECT_EQ(get_int_value(c, c.objects[0], 0), 10);
    EXPECT_EQ(get_int_value(c, c.objects[0], 1), 1);
    EXPECT_EQ(get_text_value(c, c.objects[0], 2), "left");
    EXPECT_EQ(get_text_value(c, c.objects[1], 0), "Tray1");
    EXPECT_EQ(c.objects[1].data_offset, 24);
    EXPECT_EQ(c.data_used, 24 + 16);
    EXPECT_EQ(object_display_lines(c), (std::vector<std::string>{"Tray:Tray1", "Rack:Rack1"}));
}

TEST(Reader, SectionBoundaries) {
    // Capital headers and comment lines before them, as object list files have them.
    std::vector<std::string> file = {"A comment", "[objects] in a comment is not a header "};
    for (const auto& line : kExample) {
        file.push_back(line == "[atoms]" ? "[ATOMS]" : line);
        if (file.back() == "[lists]") file.back() = "[LISTS]";
    }
    EXPECT_TRUE(read(file).ok);

    // Without [atoms] the objects run to the last line.
    std::vector<std::string> no_atoms(kExample.begin(), kExample.end() - 2);
    no_atoms.push_back("Tray;Tray2;3;0;x");
    Reading r = read(no_atoms);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.config->object_count, 3);

    // A header with a blank around it is not a header: here it lands in the lists section.
    EXPECT_EQ(only_error(read(with_section("[lists]", {" [classes]"}))), "Not a number:list 1");

    // Nothing after [atoms] is read.
    EXPECT_EQ(read(kExample).config->object_count, 2);
}

TEST(Reader, HeadersMissingOrOutOfOrderNeverMixSections) {
    // No [lists]: the lists are empty, the rest reads.
    std::vector<std::string> no_lists(kExample.begin() + 2, kExample.end());
    Reading r = read(no_lists);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.config->list_count, 0);

    // Sections in another order are each read from their own header.
    std::vector<std::string> shuffled = {"[objects]",  "Tray;T;1;0;x", "[lists]",
                                         "0;1;a",      "[classes]",    "!Tray",
                                         "P;0;9;0;1;", "#M;0;1;0;0",   "&L"};
    r = read(shuffled);
    ASSERT_TRUE(r.ok) << r.errors[0];
    EXPECT_EQ(r.config->list_count, 1);
    EXPECT_EQ(r.config->classes[0].field_count, 3);
    EXPECT_EQ(r.config->object_count, 1);

    // A text with no headers at all has no classes.
    EXPECT_EQ(only_error(read({"hello", "world"})),
              "No classes are defined! How then, shall I define objects?!");

    // A later duplicate header wins; the earlier one's lines are not taken for lists.
    std::vector<std::string> twice = {"[lists]",   "junk", "[lists]",  "0;1;a",
                                      "[classes]", "!T",   "[objects]"};
    EXPECT_TRUE(read(twice).ok);
}

TEST(Reader, ListsSection) {
    Reading r = read(with_section("[lists]", {"3;0;red;;blue", "$a;7"}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.config->list_count, 11);  // one past the highest number
    EXPECT_EQ(r.config->lists[3].entry_count, 1);
    EXPECT_EQ(text_of(r.config->lists[3].entries[0]), "red");
    EXPECT_EQ(r.config->lists[10].max, 7);

    EXPECT_EQ(only_error(read(with_section("[lists]", {"0;2;a", ""}))), "Not a number:list 2");
    EXPECT_EQ(only_error(read(with_section("[lists]", {"0;x"}))), "Not a number:list 1");
    EXPECT_EQ(only_error(read(with_section("[lists]", {"100;0;a"}))), "bad list id 100");
    EXPECT_EQ(only_error(read(with_section("[lists]", {"-3;0;a"}))), "bad list id -3");
    EXPECT_EQ(only_error(read(with_section("[lists]", {"5;-1;a"}))), "bad list max 5");

    // 40 entries fit; a 41st is refused by name of the limit.
    std::string line = "7;0";
    for (int i = 0; i < MAX_LIST_ENTRIES; ++i)
        line += ";e" + std::to_string(i);
    r = read(with_section("[lists]", {line}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.config->lists[7].entry_count, MAX_LIST_ENTRIES);
    EXPECT_EQ(only_error(read(with_section("[lists]", {line + ";extra"}))),
              "Too many fields (at most 42) in list 1");
}

TEST(Reader, ClassesSection) {
    // Atoms may name classes defined further down; extra fields of a class line are ignored.
    Reading r = read(with_section(
        "[classes]", {"!Rack;anything", "Holder;Rack;Tray", "!Tray", "Units;0;9;0;1;millilitre"}));
    ASSERT_TRUE(r.ok) << r.errors[0];
    EXPECT_EQ(text_of(r.config->classes[0].name), "Rack");
    EXPECT_EQ(r.config->classes[0].fields[0].allowed_classes, 3u);
    EXPECT_EQ(text_of(r.config->classes[1].fields[0].units), "mill");

    EXPECT_EQ(only_error(read(with_section("[classes]", {"!Rack", "Holder;Rack;7"}))),
              "7 in atom Holder is not a class!");
    EXPECT_EQ(only_error(read(with_section("[classes]", {"!Tray", "Position;1;x;1;1;mm"}))),
              "Not a number:Tray:Position max");
    EXPECT_EQ(only_error(read(with_section("[classes]", {"!Tray", "#Mode;0;1;0;q"}))),
              "Not a number:Tray:#Mode list number");
    EXPECT_EQ(only_error(read(with_section("[classes]", {"!Tray", "P;1;2;3;z;mm"}))),
              "Not a number:Tray:P increment");
    EXPECT_EQ(only_error(read(with_section("[classes]", {"!Tray", "P;1;2;z"}))),
              "Not a number:Tray:P default");
    EXPECT_EQ(only_error(read(with_section("[classes]", {"!Tray", ""}))), "Not a number:Tray: min");
    EXPECT_EQ(only_error(read(with_section("[classes]", {"Loose;1;2;3;4;", "!Tray"}))),
              "Field line before any class: Loose");
    EXPECT_EQ(only_error(read(with_section("[classes]", {}))),
              "No classes are defined! How then, shall I define objects?!");

    std::vector<std::string> many;
    for (int i = 0; i <= MAX_CLASSES; ++i)
        many.push_back("!C" + std::to_string(i));
    EXPECT_EQ(only_error(read(with_section("[classes]", many))),
              "Too many classes (at most 32): C32");
    std::vector<std::string> wide = {"!Wide"};
    for (int i = 0; i <= MAX_FIELDS; ++i)
        wide.push_back("&F" + std::to_string(i));
    EXPECT_EQ(only_error(read(with_section("[classes]", wide))),
              "Too many fields (at most 24) in class Wide");
}

TEST(Reader, ObjectsSection) {
    // Missing Text and Atom values are empty; values beyond the class's fields are ignored.
    Reading r =
        read(with_section("[objects]", {"Tray;T;5;0", "Rack;R", "Tray;U;1;1;x;extra;more"}));
    ASSERT_TRUE(r.ok) << r.errors[0];
    EXPECT_EQ(get_text_value(*r.config, r.config->objects[0], 2), "");
    EXPECT_EQ(get_text_value(*r.config, r.config->objects[1], 0), "");
    EXPECT_EQ(get_text_value(*r.config, r.config->objects[2], 2), "x");

    EXPECT_EQ(only_error(read(with_section("[objects]", {"Tray;T;5;0;a", ""}))),
              " is not a known class!");
    EXPECT_EQ(only_error(read(with_section("[objects]", {"Shelf;S"}))),
              "Shelf is not a known class!");
    EXPECT_EQ(only_error(read(with_section("[objects]", {"Tray;"}))),
              "an object of class Tray must have a name to be defined");
    EXPECT_EQ(only_error(read(with_section("[objects]", {"Tray;T1;12 ;0;a"}))),
              "Not a number:T1:Position");
    EXPECT_EQ(only_error(read(with_section("[objects]", {"Tray;T1;5"}))), "Not a number:T1:Mode");
    EXPECT_EQ(only_error(read(with_section("[objects]", {"Tray;T1;5;0;0123456789abcdef"}))),
              "Value too long (at most 15 characters): T1:Label");
}

TEST(Reader, NumbersInEveryFormReadAndWriteBackInDecimal) {
    const std::vector<std::string> forms = {
        "0",          "-0",         "+7",         "007",     "$1F",       "0x10",
        "x10",        "9",          "10",         "-10",     "99999999",  "100000000",
        "-99999999",  "-100000000", "12345678",   "1000000", "999999999", "-999999999",
        "1234567890", "2147483647", "-2147483648"};
    std::vector<std::string> lines = {"[lists]", "[classes]", "!Many"};
    std::string object = "Many;M";
    for (std::size_t f = 0; f < forms.size(); ++f) {
        lines.push_back("F" + std::to_string(f) + ";-5;5;0;1;");
        object += ";" + forms[f];
    }
    lines.push_back("[objects]");
    lines.push_back(object);
    Reading r = read(lines);
    ASSERT_TRUE(r.ok) << r.errors[0];
    std::string written = "Many;M";
    for (std::size_t f = 0; f < forms.size(); ++f) {
        const std::int32_t value =
            get_int_value(*r.config, r.config->objects[0], static_cast<int>(f));
        EXPECT_EQ(value, to_int(forms[f]).value_or(-1)) << forms[f];
        written += ";" + std::to_string(value);
    }
    EXPECT_EQ(object_list_lines(*r.config, {}).back(), written);
    for (const char* bad : {"2147483648", "-2147483649", "12a", "--1", "-", "1-"}) {
        EXPECT_EQ(
            only_error(read(with_section("[objects]", {std::string("Tray;T1;") + bad + ";0"}))),
            "Not a number:T1:Position")
            << bad;
    }
}

TEST(Reader, ObjectLimits) {
    std::vector<std::string> body;
    for (int i = 0; i <= MAX_OBJECTS; ++i)
        body.push_back("Rack;R" + std::to_string(i) + ";None");
    EXPECT_EQ(only_error(read(with_section("[objects]", body))),
              "Too many objects (at most 1928): R1928");

    // 24 Text fields make 384 bytes an object: the 105th object no longer fits in 40000.
    std::vector<std::string> lines = {"[classes]", "!Big"};
    for (int i = 0; i < MAX_FIELDS; ++i)
        lines.push_back("&F" + std::to_string(i));
    lines.push_back("[objects]");
    for (int i = 0; i < 105; ++i)
        lines.push_back("Big;B" + std::to_string(i));
    EXPECT_EQ(only_error(read(lines)), "Too many object values (at most 40000 bytes): B104");
    lines.pop_back();
    EXPECT_TRUE(read(lines).ok);
}

TEST(Reader, ReadObjectLineOutsideAReading) {
    Reading r = read(kExample);
    ASSERT_TRUE(r.ok);
    Configuration& c = *r.config;
    test::MessageRecorder messages;
    const int used = c.data_used;
    // Overwriting gives the object a fresh block; appending counts it.
    EXPECT_TRUE(read_object_line(c, "Tray;Tray1;77;0;new", 0));
    EXPECT_EQ(c.objects[0].data_offset, used);
    EXPECT_EQ(get_int_value(c, c.objects[0], 0), 77);
    EXPECT_EQ(c.object_count, 2);
    EXPECT_TRUE(read_object_line(c, "Rack;Rack2;None", 2));
    EXPECT_EQ(c.object_count, 3);

    EXPECT_FALSE(read_object_line(c, "Shelf;S", 3));
    EXPECT_FALSE(read_object_line(c, "Tray;;1;1;x", 3));
    EXPECT_FALSE(read_object_line(c, "Tray;T9;1;1;x", 7));  // beyond the end of the list
    ASSERT_EQ(messages.errors.size(), 3u);
    EXPECT_EQ(messages.errors[0], "Shelf is not a class!");
    EXPECT_EQ(messages.errors[1], "an object of class Tray has no name");
    EXPECT_EQ(c.object_count, 3);
}

TEST(Reader, TranslatesInstrumentCharactersInPlace) {
    std::vector<std::string> lines = kExample;
    lines[4] = "Volume;0;9;0;1;\x9Dl";
    Reading r = read(lines);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(text_of(r.config->classes[0].fields[0].units), "\xB5l");
}

TEST(Reader, FailedSectionLeavesLaterSectionsAlone) {
    Reading r = read(kExample);
    ASSERT_TRUE(r.ok);
    std::vector<std::string> bad = with_section("[lists]", {"x"});
    test::MessageRecorder messages;
    EXPECT_FALSE(read_configuration(*r.config, bad));
    EXPECT_EQ(r.config->class_count, 2);
    EXPECT_EQ(r.config->object_count, 2);
}

TEST(Reader, ControlCharactersAreReadAsTheyAre) {
    // A TAB, XON or XOFF in an entry, a class, units, a name or a value is stored as it
    // stands (only a command line refuses what would break it); the instrument's 0x7F is its
    // display character; nothing after a zero byte counts.
    Reading r = read({"[lists]", "0;2;Off\t;On", "[classes]", "!Tray\x11", "Volume;0;9;0;1;\tml",
                      "&La\tbel", "[objects]", "Tray\x11;Flush\tlines;5;a\x13\x7F",
                      std::string("Tray\x11;T2;6;b\0c", 14)});
    ASSERT_TRUE(r.ok) << r.errors.front();
    EXPECT_EQ(text_of(r.config->lists[0].entries[0]), "Off\t");
    EXPECT_EQ(text_of(r.config->classes[0].fields[0].units), "\tml");
    EXPECT_EQ(object_display_lines(*r.config),
              (std::vector<std::string>{"Tray\x11:Flush\tlines", "Tray\x11:T2"}));
    EXPECT_EQ(get_text_value(*r.config, r.config->objects[0], 1), "a\x13\xAB");
    EXPECT_EQ(get_text_value(*r.config, r.config->objects[1], 1), "b");
}

TEST(Reader, RepeatedHeadersInOrderTakeTheLastAndReportStrayOnes) {
    // A stray "[objects]" among the classes is read as a line of the classes, not skipped.
    std::vector<std::string> stray = kExample;
    stray.insert(stray.begin() + 7, "[objects]");
    EXPECT_EQ(only_error(read(stray)), "Not a number:Tray:[objects] min");
    // Out of order ("[OBJECTS]" again after "[ATOMS]"): the last one's lines, for the reader
    // and the object lines alike.
    std::vector<std::string> late = kExample;
    late.insert(late.end(), {"[OBJECTS]", "Tray;Late;1;0;z"});
    Reading r = read(late);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(object_display_lines(*r.config), (std::vector<std::string>{"Tray:Late"}));
}

}  // namespace
}  // namespace vexilo
