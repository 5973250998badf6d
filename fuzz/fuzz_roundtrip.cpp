// libFuzzer target: whatever the reader accepts and the writer agrees to write must read back
// to the same configuration and the same comment block, and a second write gives the same
// bytes. Any difference stops the run.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_file.h"

namespace {

using namespace vexilo;

class Quiet final : public MessageHandler {
  public:
    void show_error(const std::string&) override {}
    void show_info(const std::string&) override {}
    bool ask_yes_no(const std::string&) override { return false; }
};

void require(bool condition) {
    if (!condition) std::abort();
}

void require_same_fields(const Configuration& a, const ClassRecord& x, const ClassRecord& y) {
    require(text_of(x.name) == text_of(y.name) && x.field_count == y.field_count &&
            x.data_size == y.data_size);
    for (int f = 0; f < x.field_count; ++f) {
        const ClassField& p = x.fields[f];
        const ClassField& q = y.fields[f];
        require(text_of(p.name) == text_of(q.name) && p.kind == q.kind &&
                p.data_offset == q.data_offset);
        switch (p.kind) {
            case FieldKind::Number:
                require(p.increment == q.increment && text_of(p.units) == text_of(q.units));
                [[fallthrough]];
            case FieldKind::ListChoice:
                require(p.min == q.min && p.max == q.max && p.default_value == q.default_value);
                require(p.kind == FieldKind::Number || p.list_number == q.list_number);
                break;
            case FieldKind::Atom:
                require(p.allowed_classes == q.allowed_classes);
                break;
            case FieldKind::Text:
                break;
        }
    }
    (void)a;
}

void require_same(const Configuration& a, const Configuration& b) {
    require(a.list_count == b.list_count);
    for (int n = 0; n < a.list_count; ++n) {
        require(a.list_unnamed[n] == b.list_unnamed[n]);
        const ValueList& x = a.lists[n];
        const ValueList& y = b.lists[n];
        require(x.max == y.max && x.entry_count == y.entry_count);
        for (int e = 0; e < x.entry_count; ++e)
            require(text_of(x.entries[e]) == text_of(y.entries[e]));
    }
    require(a.class_count == b.class_count);
    for (int c = 0; c < a.class_count; ++c)
        require_same_fields(a, a.classes[c], b.classes[c]);
    require(a.object_count == b.object_count && a.data_used == b.data_used);
    for (int o = 0; o < a.object_count; ++o) {
        const ObjectRecord& x = a.objects[o];
        const ObjectRecord& y = b.objects[o];
        require(text_of(x.name) == text_of(y.name) && x.class_index == y.class_index &&
                x.data_offset == y.data_offset);
        const ClassRecord& cls = a.classes[x.class_index];
        for (int f = 0; f < cls.field_count; ++f) {
            const FieldKind kind = cls.fields[f].kind;
            if (kind == FieldKind::Number || kind == FieldKind::ListChoice) {
                require(get_int_value(a, x, f) == get_int_value(b, y, f));
            } else {
                require(get_text_value(a, x, f) == get_text_value(b, y, f));
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Quiet quiet;
    static ScopedMessageHandler scope(quiet);
    static auto first = std::make_unique<Configuration>();
    static auto second = std::make_unique<Configuration>();

    std::vector<std::string> lines =
        split_text_lines(std::string(reinterpret_cast<const char*>(data), size));
    clear_configuration(*first);
    if (!read_configuration(*first, lines)) return 0;

    // The comment block goes along when it can stand as one; what the writer refuses to
    // write (it would not read back) is not written.
    std::vector<std::string> comments(lines.begin(),
                                      lines.begin() + (last_comment_line(lines) + 1));
    if (!comment_lines_problem(comments).empty()) comments.clear();
    if (!read_back_problem(*first, comments).empty()) return 0;

    std::vector<std::string> written = object_list_lines(*first, comments);
    const std::vector<std::string> written_once = written;
    clear_configuration(*second);
    require(read_configuration(*second, written));
    require_same(*first, *second);
    require(last_comment_line(written) + 1 == static_cast<int>(comments.size()));
    require(std::equal(comments.begin(), comments.end(), written.begin()));
    require(object_list_lines(*second, comments) == written_once);
    return 0;
}
