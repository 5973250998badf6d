#include "page_layout.h"

#include <algorithm>

namespace vexilo {

PageGeometry PageGeometry::of(int dots_per_inch, int page_height) {
    PageGeometry g;
    // A device too coarse or a page too short for the layout still gets one line a column.
    g.line_height = std::max(1, 10 * dots_per_inch / 72);
    g.lines_per_page = std::max(3, page_height / g.line_height);
    return g;
}

namespace {

class Placer {
  public:
    Placer(int lines_per_page, const std::vector<int>& list_of_line)
        : last_line_(std::max(3, lines_per_page) - 2), list_of_line_(list_of_line) {
        pages_.push_back({1, {}});
    }

    // Lines from begin to end form one block.
    void place_block(std::size_t begin, std::size_t end) {
        open_page_if_closed();
        const int length = static_cast<int>(end - begin);
        if (column_used_ && line_ + length - 1 > last_line_) close_column();
        for (std::size_t i = begin; i < end; ++i) {
            open_page_if_closed();
            while (line_ > last_line_) {
                close_column();
                open_page_if_closed();
            }
            if (!column_used_ && continues_list(i) && line_ + 2 <= last_line_) {
                pages_.back().lines.push_back({i, column_, line_, true});
                line_ += 2;
            }
            pages_.back().lines.push_back({i, column_, line_});
            column_used_ = true;
            ++line_;
        }
    }

    std::vector<PrintedPage> take() { return std::move(pages_); }

  private:
    // Whether line i belongs to a list whose header has gone before it.
    bool continues_list(std::size_t i) const {
        if (i == 0 || i >= list_of_line_.size() || list_of_line_[i] < 0) return false;
        return list_of_line_[i - 1] == list_of_line_[i];
    }

    void close_column() {
        column_used_ = false;
        if (column_ == 0) {
            column_ = 1;
            line_ = pages_.back().number == 1 ? 3 : 1;
        } else {
            page_closed_ = true;
        }
    }

    void open_page_if_closed() {
        if (!page_closed_) return;
        pages_.push_back({pages_.back().number + 1, {}});
        page_closed_ = false;
        column_ = 0;
        line_ = 1;
    }

    const int last_line_;  // the line above the page number
    const std::vector<int>& list_of_line_;
    std::vector<PrintedPage> pages_;
    int column_ = 0;
    int line_ = 1;
    bool column_used_ = false;
    bool page_closed_ = false;
};

}  // namespace

std::vector<PrintedPage> lay_out_pages(const std::vector<std::string>& lines, int lines_per_page,
                                       const std::vector<int>& list_of_line) {
    Placer placer(lines_per_page, list_of_line);
    std::size_t begin = 0;
    while (begin < lines.size()) {
        std::size_t end = begin;
        while (end < lines.size() && !lines[end].empty())
            ++end;
        if (end < lines.size()) ++end;  // the closing empty line
        placer.place_block(begin, end);
        begin = end;
    }
    return placer.take();
}

}  // namespace vexilo
