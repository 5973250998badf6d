// Random configurations within the design limits survive a write and a read unchanged, and
// writing what was read gives the same bytes again.

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_file.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

using Lines = std::vector<std::string>;

// Texts the grammar carries unchanged: no ";", CR, LF or zero byte, no leading blank, and
// none of the instrument codes that reading translates.
class Generator {
  public:
    explicit Generator(unsigned seed) : random_(seed) {}

    int between(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random_);
    }
    bool chance(int percent) { return between(1, 100) <= percent; }

    std::int32_t any_int() {
        switch (between(0, 3)) {
            case 0:
                return INT32_MIN;
            case 1:
                return INT32_MAX;
            case 2:
                return between(-100, 100);
            default:
                return static_cast<std::int32_t>(random_());
        }
    }

    char any_char() {
        static const std::string kChars =
            "abcXYZ019 -_./()[]+*@!#&'\"\xb5\xb0\xe9\xc4\xbb\xab\xb1\x80\xff";
        return kChars[static_cast<std::size_t>(between(0, static_cast<int>(kChars.size()) - 1))];
    }

    // A text of the given length whose first character is a letter, or not a blank.
    std::string text(int length, bool letter_first) {
        std::string t;
        for (int i = 0; i < length; ++i) {
            char c = any_char();
            if (i == 0 && (letter_first || c == ' ')) c = static_cast<char>('a' + between(0, 25));
            t += c;
        }
        return t;
    }

    // Comment lines are free text; only a line that reads "[LISTS]" would end the block.
    std::string comment() {
        std::string t = text(between(0, 30), false);
        if (!t.empty() && chance(30)) t[0] = ' ';
        if (chance(20)) t += ";x";
        return t;
    }

  private:
    std::mt19937 random_;
};

std::unique_ptr<Configuration> random_configuration(Generator& g, bool large) {
    auto config = std::make_unique<Configuration>();
    Configuration& c = *config;
    clear_configuration(c);
    c.list_count = g.between(0, large ? MAX_LISTS : 6);
    for (int n = 0; n < c.list_count; ++n) {
        ValueList& list = c.lists[n];
        list.max = g.chance(10) ? INT32_MAX : g.between(0, 50);
        list.entry_count = g.between(0, large ? MAX_LIST_ENTRIES : 5);
        for (int e = 0; e < list.entry_count; ++e) {
            store_text(list.entries[e], g.text(g.between(1, NAME_LENGTH), false));
        }
    }
    c.class_count = g.between(1, large ? MAX_CLASSES : 4);
    for (int k = 0; k < c.class_count; ++k) {
        ClassRecord& cls = c.classes[k];
        // Distinct, and never a number: a Number line's second field must not name a class.
        std::string name(1, 'K');
        name += std::to_string(k);
        name += g.text(g.between(0, 10), false);
        store_text(cls.name, name);
        cls.field_count = g.between(0, large ? MAX_FIELDS : 5);
        for (int f = 0; f < cls.field_count; ++f) {
            ClassField& field = cls.fields[f];
            field.kind = static_cast<FieldKind>(g.between(0, 3));
            store_text(field.name, g.text(g.between(1, NAME_LENGTH), true));
            if (field.kind == FieldKind::Number || field.kind == FieldKind::ListChoice) {
                field.min = g.any_int();
                field.max = g.any_int();
                field.default_value = g.any_int();
            }
            if (field.kind == FieldKind::Number) {
                field.increment = g.any_int();
                store_text(field.units, g.text(g.between(0, UNITS_LENGTH), false));
            } else if (field.kind == FieldKind::ListChoice) {
                field.list_number = g.between(0, MAX_LISTS - 1);
            } else if (field.kind == FieldKind::Atom) {
                while (field.allowed_classes == 0) {
                    for (int a = 0; a < c.class_count; ++a) {
                        if (g.chance(30)) field.allowed_classes |= std::uint32_t{1} << a;
                    }
                }
            }
        }
        lay_out_class(cls);
    }
    const int wanted = large ? MAX_OBJECTS : g.between(0, 40);
    for (int o = 0; o < wanted; ++o) {
        const int k = g.between(0, c.class_count - 1);
        if (!value_block_fits(c, k)) break;
        ObjectRecord& object = c.objects[c.object_count];
        store_text(object.name,
                   g.text(g.between(1, g.chance(50) ? MAX_TEXT_VALUE_LENGTH : NAME_LENGTH), false));
        object.class_index = k;
        object.data_offset = c.data_used;
        c.data_used += c.classes[k].data_size;
        const ClassRecord& cls = c.classes[k];
        for (int f = 0; f < cls.field_count; ++f) {
            switch (cls.fields[f].kind) {
                case FieldKind::Number:
                case FieldKind::ListChoice:
                    set_int_value(c, object, f, g.any_int());
                    break;
                case FieldKind::Text:
                    set_text_value(c, object, f,
                                   g.text(g.between(0, MAX_TEXT_VALUE_LENGTH), false));
                    break;
                case FieldKind::Atom: {
                    std::string value = g.chance(20) ? "nOnE" : g.text(g.between(0, 15), false);
                    if (c.object_count > 0 && g.chance(60)) {
                        value =
                            std::string(text_of(c.objects[g.between(0, c.object_count - 1)].name));
                    }
                    set_text_value(c, object, f, value);
                    break;
                }
            }
        }
        ++c.object_count;
    }
    return config;
}

void expect_same(const Configuration& a, const Configuration& b) {
    ASSERT_EQ(a.list_count, b.list_count);
    for (int n = 0; n < a.list_count; ++n) {
        SCOPED_TRACE("list " + std::to_string(n));
        EXPECT_EQ(a.lists[n].max, b.lists[n].max);
        ASSERT_EQ(a.lists[n].entry_count, b.lists[n].entry_count);
        for (int e = 0; e < a.lists[n].entry_count; ++e) {
            EXPECT_EQ(text_of(a.lists[n].entries[e]), text_of(b.lists[n].entries[e]));
        }
    }
    ASSERT_EQ(a.class_count, b.class_count);
    for (int k = 0; k < a.class_count; ++k) {
        const ClassRecord& x = a.classes[k];
        const ClassRecord& y = b.classes[k];
        SCOPED_TRACE("class " + std::string(text_of(x.name)));
        EXPECT_EQ(text_of(x.name), text_of(y.name));
        ASSERT_EQ(x.field_count, y.field_count);
        EXPECT_EQ(x.data_size, y.data_size);
        for (int f = 0; f < x.field_count; ++f) {
            const ClassField& p = x.fields[f];
            const ClassField& q = y.fields[f];
            EXPECT_EQ(text_of(p.name), text_of(q.name));
            ASSERT_EQ(p.kind, q.kind);
            if (p.kind == FieldKind::Number || p.kind == FieldKind::ListChoice) {
                EXPECT_EQ(p.min, q.min);
                EXPECT_EQ(p.max, q.max);
                EXPECT_EQ(p.default_value, q.default_value);
            }
            if (p.kind == FieldKind::Number) {
                EXPECT_EQ(p.increment, q.increment);
                EXPECT_EQ(text_of(p.units), text_of(q.units));
            }
            if (p.kind == FieldKind::ListChoice) {
                EXPECT_EQ(p.list_number, q.list_number);
            }
            if (p.kind == FieldKind::Atom) {
                EXPECT_EQ(p.allowed_classes, q.allowed_classes);
            }
        }
    }
    ASSERT_EQ(a.object_count, b.object_count);
    for (int o = 0; o < a.object_count; ++o) {
        const ObjectRecord& x = a.objects[o];
        const ObjectRecord& y = b.objects[o];
        EXPECT_EQ(text_of(x.name), text_of(y.name));
        ASSERT_EQ(x.class_index, y.class_index);
        const ClassRecord& cls = a.classes[x.class_index];
        for (int f = 0; f < cls.field_count; ++f) {
            if (cls.fields[f].kind == FieldKind::Number ||
                cls.fields[f].kind == FieldKind::ListChoice) {
                EXPECT_EQ(get_int_value(a, x, f), get_int_value(b, y, f));
            } else {
                EXPECT_EQ(get_text_value(a, x, f), get_text_value(b, y, f));
            }
        }
    }
}

std::string bytes_of(const Lines& lines) {
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    return bytes;
}

TEST(ObjectListRoundTrip, RandomConfigurationsReadBackAndRewriteByteForByte) {
    test::MessageRecorder messages;  // dangling references only warn
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexilo-roundtrip-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Generator g(seed);
        const bool large = seed % 10 == 0;
        const auto written = random_configuration(g, large);
        Lines comments;
        for (int i = g.between(0, 4); i > 0; --i)
            comments.push_back(g.comment());

        // Every few seeds through the file itself, the others through the same lines in memory.
        std::string first;
        Lines read_back;
        if (seed % 5 == 0) {
            const std::string path = (dir / ("list" + std::to_string(seed) + ".nol")).string();
            ASSERT_TRUE(write_object_list(*written, path, comments));
            std::ifstream in(path, std::ios::binary);
            first.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            read_back = *read_text_lines(path);
        } else {
            first = bytes_of(object_list_lines(*written, comments));
            read_back = split_text_lines(first);
        }
        const int last = last_comment_line(read_back);
        const Lines comments_back(read_back.begin(), read_back.begin() + (last + 1));
        EXPECT_EQ(comments_back, comments);

        auto read = std::make_unique<Configuration>();
        clear_configuration(*read);
        const std::size_t errors_before = messages.errors.size();
        ASSERT_TRUE(read_configuration(*read, read_back))
            << (messages.errors.size() > errors_before ? messages.errors.back() : "");
        expect_same(*written, *read);
        EXPECT_EQ(bytes_of(object_list_lines(*read, comments_back)), first);
        if (large) {
            EXPECT_TRUE(read->object_count == MAX_OBJECTS ||
                        read->data_used > OBJECT_DATA_SIZE - MAX_FIELDS * TEXT_VALUE_SIZE);
        }
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vexilo
