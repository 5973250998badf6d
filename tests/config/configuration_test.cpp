#include "config/configuration.h"

#include <gtest/gtest.h>

#include <memory>

namespace vexilo {
namespace {

std::unique_ptr<Configuration> empty() {
    auto c = std::make_unique<Configuration>();
    clear_configuration(*c);
    return c;
}

void add_class(Configuration& c, std::string_view name, std::initializer_list<FieldKind> kinds) {
    ClassRecord& cls = c.classes[c.class_count++];
    store_text(cls.name, name);
    cls.field_count = 0;
    for (FieldKind k : kinds) {
        ClassField& f = cls.fields[cls.field_count++];
        f.kind = k;
    }
    lay_out_class(cls);
}

TEST(Configuration, LookupsFoldCaseAndTakeTheLastMatch) {
    auto c = empty();
    add_class(*c, "Tray", {});
    add_class(*c, "TRAY", {});
    EXPECT_EQ(find_class(*c, "tray"), 1);
    EXPECT_EQ(class_by_name(*c, "tray"), &c->classes[1]);
    EXPECT_EQ(find_class(*c, "Rack"), 2);
    EXPECT_EQ(class_by_name(*c, "Rack"), nullptr);

    store_text(c->objects[0].name, "abc");
    c->objects[0].class_index = 1;
    c->object_count = 1;
    EXPECT_EQ(find_object(*c, "ABC"), 0);
    EXPECT_EQ(class_of_object(*c, "ABC"), 1);
    EXPECT_EQ(find_object(*c, "nobody"), 1);
    EXPECT_EQ(class_of_object(*c, "nobody"), -1);
}

TEST(Configuration, LongNamesAreCutAndFoundOnlyByTheCutName) {
    auto c = empty();
    const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
    add_class(*c, thirty, {});
    EXPECT_EQ(text_of(c->classes[0].name), thirty.substr(0, 24));
    EXPECT_EQ(find_class(*c, thirty), 1);
    EXPECT_EQ(find_class(*c, thirty.substr(0, 24)), 0);
}

TEST(Configuration, ValueBlocksFollowTheClassLayout) {
    auto c = empty();
    add_class(*c, "Mixed", {FieldKind::Number, FieldKind::Number, FieldKind::Text});
    EXPECT_EQ(c->classes[0].data_size, 24);
    EXPECT_EQ(c->classes[0].fields[2].data_offset, 8);

    ObjectRecord& o = c->objects[0];
    o.class_index = 0;
    o.data_offset = 100;
    set_int_value(*c, o, 0, -5);
    set_int_value(*c, o, 1, 70000);
    set_text_value(*c, o, 2, "hello");
    EXPECT_EQ(get_int_value(*c, o, 0), -5);
    EXPECT_EQ(get_int_value(*c, o, 1), 70000);
    EXPECT_EQ(get_text_value(*c, o, 2), "hello");
    // A text longer than 15 characters must never spill into the next value.
    set_text_value(*c, o, 2, "0123456789abcdefXYZ");
    EXPECT_EQ(get_text_value(*c, o, 2), "0123456789abcde");
    EXPECT_EQ(c->object_data[100 + 24], 0);
}

TEST(Configuration, CopiesAreIndependentValues) {
    auto a = empty();
    add_class(*a, "Tray", {FieldKind::Number});
    auto b = empty();
    *b = *a;
    store_text(b->classes[0].name, "Other");
    EXPECT_EQ(text_of(a->classes[0].name), "Tray");
}

TEST(Configuration, InstrumentCharacterTranslation) {
    std::string t =
        "\x9Dl \x91"
        "C ~\x7F \x9B\x9E abc";
    translate_instrument_chars(t);
    EXPECT_EQ(t,
              "\xB5l \xB0"
              "C \xBB\xAB \xB1x abc");
    std::string again = t;
    translate_instrument_chars(again);
    EXPECT_EQ(again, t);
    for (int c = 0x20; c < 0x7E; ++c) {
        EXPECT_EQ(translate_instrument_char(static_cast<unsigned char>(c)), c);
    }
}

}  // namespace
}  // namespace vexilo
