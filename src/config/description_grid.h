#pragma once
// The three-column grid that describes one object (field name, value text, units). The
// instrument operations fill it; the description window shows it, tests and vexilo-cli keep
// it as text.

#include <string>
#include <vector>

namespace vexilo {

class DescriptionGrid {
  public:
    virtual ~DescriptionGrid() = default;
    // Empties every cell and sets the size; a grid has no fixed rows or columns.
    virtual void set_grid_size(int rows, int columns) = 0;
    virtual void set_column_width(int column, int pixels) = 0;
    // Cells outside the size are ignored.
    virtual void set_cell(int column, int row, const std::string& text) = 0;
};

class TextDescriptionGrid final : public DescriptionGrid {
  public:
    void set_grid_size(int rows, int columns) override {
        cells.assign(rows > 0 ? static_cast<std::size_t>(rows) : 0,
                     std::vector<std::string>(columns > 0 ? static_cast<std::size_t>(columns) : 0));
        widths.assign(columns > 0 ? static_cast<std::size_t>(columns) : 0, 0);
    }
    void set_column_width(int column, int pixels) override {
        if (column >= 0 && static_cast<std::size_t>(column) < widths.size()) {
            widths[static_cast<std::size_t>(column)] = pixels;
        }
    }
    void set_cell(int column, int row, const std::string& text) override {
        if (row < 0 || static_cast<std::size_t>(row) >= cells.size()) return;
        auto& cells_of_row = cells[static_cast<std::size_t>(row)];
        if (column < 0 || static_cast<std::size_t>(column) >= cells_of_row.size()) return;
        cells_of_row[static_cast<std::size_t>(column)] = text;
    }

    std::vector<std::vector<std::string>> cells;  // [row][column]
    std::vector<int> widths;
};

}  // namespace vexilo
