#include "sections.h"

#include "text_fields.h"

namespace vexilo {

namespace {
constexpr std::array<std::string_view, SectionCount> kHeaders = {"[lists]", "[classes]",
                                                                 "[objects]", "[atoms]"};
}  // namespace

int section_header_of(std::string_view line) {
    if (line.empty() || line[0] != '[') return -1;
    // Only the first ten bytes can matter: a header is at most nine long.
    const std::size_t zero = line.substr(0, 10).find('\0');
    if (zero != std::string_view::npos) line = line.substr(0, zero);
    if (line.size() < 7 || line.size() > 9) return -1;
    for (int h = 0; h < SectionCount; ++h) {
        if (same_text(line, kHeaders[h])) return h;
    }
    return -1;
}

std::array<SectionRange, SectionCount> find_sections(const std::vector<std::string>& lines) {
    std::array<SectionRange, SectionCount> ranges{};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int h = section_header_of(lines[i]);
        if (h < 0) continue;
        ranges[h].header = i;
        ranges[h].present = true;
    }
    bool in_order = true;
    std::size_t previous = 0;
    bool any = false;
    for (const SectionRange& range : ranges) {
        if (!range.present) continue;
        if (any && range.header <= previous) in_order = false;
        previous = range.header;
        any = true;
    }
    for (int h = 0; h < SectionCount; ++h) {
        SectionRange& range = ranges[h];
        if (!range.present) continue;
        range.begin = range.header + 1;
        range.end = lines.size();
        if (in_order) {
            for (int next = h + 1; next < SectionCount; ++next) {
                if (ranges[next].present) {
                    range.end = ranges[next].header;
                    break;
                }
            }
        } else {
            std::size_t end = range.begin;
            while (end < lines.size() && section_header_of(lines[end]) < 0)
                ++end;
            range.end = end;
        }
    }
    return ranges;
}

}  // namespace vexilo
