#pragma once
// Where the listing's lines go on the printed pages: two columns a page, whole blocks per
// column, a page number at the bottom. Works in line numbers only, so it needs no printer.

#include <cstddef>
#include <string>
#include <vector>

namespace vexilo {

// The page in printer device pixels, from the printer's vertical resolution and the height
// of its printable area.
struct PageGeometry {
    int line_height = 1;     // 10 points in device pixels
    int lines_per_page = 3;  // N

    static PageGeometry of(int dots_per_inch, int page_height);

    int page_number_line() const { return lines_per_page - 1; }  // L
    int column_x(int column) const { return column == 0 ? 600 - line_height : 2800; }
    int page_number_x() const { return 600 - line_height + 2000; }
    int y_of(int line) const { return line * line_height; }
};

struct PlacedLine {
    std::size_t index;  // into the listing's lines
    int column;         // 0 left, 1 right
    int line;           // line number on the page, from 1
    // Not line index itself but the title of the list it belongs to, repeated at the top of a
    // column where that list goes on.
    bool continued = false;
};

struct PrintedPage {
    int number;  // from 1
    std::vector<PlacedLine> lines;
};

// Lays the lines out as blocks (runs of lines ending with an empty line). A column takes
// blocks down to the line above the page number: a block that would run into it moves to the
// next column; one longer than a whole column fills columns to that line and goes on at the
// top of the next. The first page's right column starts at line 3, every other column at
// line 1. No page is started for nothing, so there is always at least page 1.
//
// list_of_line, when given, names the list each line belongs to (-1: none); a list's first
// line is its header. A column where a list goes on starts with a continued title and an
// empty line, when the column has room for them and a line more.
std::vector<PrintedPage> lay_out_pages(const std::vector<std::string>& lines, int lines_per_page,
                                       const std::vector<int>& list_of_line = {});

}  // namespace vexilo
