#include "read_back.h"

#include <memory>
#include <set>

#include "plan.h"
#include "text_fields.h"

namespace vexilo {
namespace {

constexpr std::string_view kCommand = "DLD_OBJ ";

std::string upper(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

std::string name_of_line(std::string_view line) {
    if (line.substr(0, kCommand.size()) == kCommand) line.remove_prefix(kCommand.size());
    std::string_view cursor = line;
    next_field(cursor, ';');
    return std::string(next_field(cursor, ';'));
}

std::string class_of(const Configuration& config, int k) {
    return std::string(text_of(config.classes[config.objects[k].class_index].name));
}

// The fields in which the stored object differs from the expected one, by the plan's own
// comparison (values in the instrument's terms, units included).
void field_differences(const Configuration& expected, int e, const Configuration& after, int k,
                       bool sent, std::vector<ReadBackDifference>& out) {
    const std::string expected_line = object_download_line(expected, e);
    const Plan plan = plan_commands(after, {std::string(kCommand) + expected_line});
    ReadBackDifference base;
    base.class_name = class_of(expected, e);
    base.object_name = std::string(text_of(expected.objects[e].name));
    base.sent = sent;
    const std::size_t first = out.size();
    if (!plan.entries.empty()) {
        const PlanEntry& entry = plan.entries.front();
        if (!entry.old_class.empty()) {
            ReadBackDifference d = base;
            d.field = "class";
            d.expected = entry.class_name;
            d.stored = entry.old_class;
            out.push_back(d);
        }
        for (const FieldChange& change : entry.fields) {
            ReadBackDifference d = base;
            d.field = change.field;
            d.expected = change.new_value;
            d.stored = change.old_value;
            out.push_back(d);
        }
    }
    if (out.size() == first) {
        // No field names the difference: the lines themselves are the evidence.
        ReadBackDifference d = base;
        d.field = "line";
        d.expected = expected_line;
        d.stored = object_download_line(after, k);
        out.push_back(d);
    }
}

}  // namespace

ReadBack compare_read_back(const Configuration& before, const std::vector<std::string>& sent,
                           const Configuration& after) {
    ReadBack result;
    auto expected = std::make_unique<Configuration>(before);
    std::set<std::string> sent_names;
    std::vector<std::string> order;
    for (const std::string& command : sent) {
        const std::string name = name_of_line(command);
        if (sent_names.insert(upper(name)).second) order.push_back(name);
        // A line the copy cannot take still counts as sent; its object then reads as missing
        // or different below.
        apply_download_line(*expected, command);
    }
    result.sent = static_cast<int>(order.size());

    for (int e = 0; e < expected->object_count; ++e) {
        const std::string_view name = text_of(expected->objects[e].name);
        const bool was_sent = sent_names.count(upper(name)) != 0;
        const int k = find_object(after, name);
        if (k >= after.object_count) {
            ReadBackDifference d;
            d.class_name = class_of(*expected, e);
            d.object_name = std::string(name);
            d.sent = was_sent;
            d.expected = was_sent ? "sent" : "present";
            d.stored = "missing";
            result.differences.push_back(std::move(d));
            continue;
        }
        if (object_download_line(*expected, e) == object_download_line(after, k)) {
            result.verified += was_sent ? 1 : 0;
            continue;
        }
        field_differences(*expected, e, after, k, was_sent, result.differences);
    }
    for (int k = 0; k < after.object_count; ++k) {
        const std::string_view name = text_of(after.objects[k].name);
        if (find_object(*expected, name) < expected->object_count) continue;
        ReadBackDifference d;
        d.class_name = class_of(after, k);
        d.object_name = std::string(name);
        d.expected = "absent";
        d.stored = "present";
        result.differences.push_back(std::move(d));
    }
    return result;
}

std::string read_back_line(const ReadBackDifference& d) {
    std::string line = d.class_name + ":" + d.object_name + (d.sent ? "" : " (not sent)") + ": ";
    if (!d.field.empty()) line += d.field + ": ";
    // A whole object sent and missing reads "sent -> stored missing".
    const std::string expected =
        d.field.empty() && d.sent ? "sent" : (d.sent ? "sent " : "was ") + d.expected;
    line += expected + " -> stored " + d.stored;
    return line;
}

}  // namespace vexilo
