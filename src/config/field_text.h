#pragma once
// Display texts of an object's fields, and where the object lines of an object list file
// stand. The description window, printing and the module download share them.

#include <cstddef>
#include <string>
#include <vector>

#include "configuration.h"

namespace vexilo {

// The value of one field as the operator reads it: a Number in decimal, a ListChoice as the
// name of the chosen entry of its value list, a Text or Atom as stored. A ListChoice value
// that names no entry of its list (or a list number outside the lists) shows the value in
// decimal, so the operator still sees what the object holds. A field index or object class
// outside the configuration gives the empty text.
std::string field_value_text(const Configuration& config, const ObjectRecord& object, int field);

// The field's units; the units "E" (any case) stand for none and give the empty text.
std::string field_units_text(const ClassField& field);

// The object lines of a file's lines: the objects section as the reader finds it
// (find_sections). The range is half-open; it is empty when there is no "[OBJECTS]" line,
// when that is the last line, or when the next section's header follows it directly. Line
// first + n stands for object n of the configuration read from the same lines.
struct ObjectLineRange {
    std::size_t first = 0;
    std::size_t end = 0;  // one past the last object line
    std::size_t size() const { return end - first; }
    bool empty() const { return end == first; }
};
ObjectLineRange find_object_lines(const std::vector<std::string>& lines);

}  // namespace vexilo
