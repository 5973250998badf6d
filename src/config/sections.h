#pragma once
// Where the sections of configuration text stand. Every reader of a list (the reader, the
// listing, the comment block, the object lines of a module download) takes them from here,
// so none of them can disagree about which line belongs where.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexilo {

enum Section { SectionLists, SectionClasses, SectionObjects, SectionAtoms, SectionCount };

// The header a line stands for (its text up to a zero byte, ASCII letters without case), or
// -1. The instrument ends a text at a zero byte, so "[LISTS]" followed by one is a header.
int section_header_of(std::string_view line);

struct SectionRange {
    std::size_t header = 0;  // index of the header line that counts
    std::size_t begin = 0;   // first line of the section
    std::size_t end = 0;     // one past its last line
    bool present = false;
    std::size_t size() const { return end - begin; }
};

// When the last occurrences of the headers present stand in the order lists, classes,
// objects, atoms, each of them counts and a section ends before the next section's header
// in that order (so a stray repeated header inside a section is read as a line of it and
// reported, not skipped). Otherwise a section runs from its header's last occurrence to the
// next header line of any kind, so no line of one section is ever read as one of another.
// A missing header gives an empty section.
std::array<SectionRange, SectionCount> find_sections(const std::vector<std::string>& lines);

}  // namespace vexilo
