#pragma once
// One of the link's five line lists. The lists are the link's working storage; the
// diagnostic window watches them through an observer.

#include <cstddef>
#include <string>
#include <vector>

#include "config/line_list.h"

namespace vexilo {

class LineBox final : public LineList {
  public:
    class Observer {
      public:
        virtual ~Observer() = default;
        virtual void line_added(const LineBox& box, const std::string& line) = 0;
        virtual void box_cleared(const LineBox& box) = 0;
    };

    LineBox() = default;
    LineBox(const LineBox&) = delete;
    LineBox& operator=(const LineBox&) = delete;

    void clear() override;
    void add(std::string line) override;

    std::size_t size() const { return lines_.size(); }
    bool empty() const { return lines_.empty(); }
    const std::string& operator[](std::size_t index) const { return lines_[index]; }
    const std::vector<std::string>& lines() const { return lines_; }

    void add_observer(Observer* observer);
    void remove_observer(Observer* observer);

  private:
    std::vector<std::string> lines_;
    std::vector<Observer*> observers_;
};

}  // namespace vexilo
