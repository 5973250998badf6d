#pragma once
// The list whose selected rows a download works through: the object rows ("Class:Object") of
// the list being edited, or the list names of a folder. The window implements it over its
// list box; vexilo-cli and tests keep the rows in memory.

#include <string>
#include <utility>
#include <vector>

namespace vexilo {

class SelectionList {
  public:
    virtual ~SelectionList() = default;
    virtual int row_count() const = 0;
    virtual std::string row_text(int row) const = 0;
    virtual bool row_selected(int row) const = 0;
    // The object of the list being edited that the row stands for (its index), or -1 for a
    // row that stands for no object (a list name). Downloads go by this, never by the text.
    virtual int row_object(int) const { return -1; }
};

class VectorSelectionList final : public SelectionList {
  public:
    struct Row {
        std::string text;
        bool selected = false;
        int object = -1;
    };

    VectorSelectionList() = default;
    explicit VectorSelectionList(std::vector<Row> rows) : rows(std::move(rows)) {}

    int row_count() const override { return static_cast<int>(rows.size()); }
    std::string row_text(int row) const override { return in(row) ? rows[at(row)].text : ""; }
    bool row_selected(int row) const override { return in(row) && rows[at(row)].selected; }
    int row_object(int row) const override { return in(row) ? rows[at(row)].object : -1; }

    std::vector<Row> rows;

  private:
    bool in(int row) const { return row >= 0 && at(row) < rows.size(); }
    static std::size_t at(int row) { return static_cast<std::size_t>(row); }
};

// The texts of the selected rows, top to bottom.
inline std::vector<std::string> selected_rows(const SelectionList& list) {
    std::vector<std::string> texts;
    for (int row = 0; row < list.row_count(); ++row) {
        if (list.row_selected(row)) texts.push_back(list.row_text(row));
    }
    return texts;
}

}  // namespace vexilo
