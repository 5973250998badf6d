#include "link/line_box.h"

#include <algorithm>

namespace vexilo {

void LineBox::clear() {
    lines_.clear();
    for (Observer* observer : observers_)
        observer->box_cleared(*this);
}

void LineBox::add(std::string line) {
    lines_.push_back(std::move(line));
    for (Observer* observer : observers_)
        observer->line_added(*this, lines_.back());
}

void LineBox::add_observer(Observer* observer) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) {
        observers_.push_back(observer);
    }
}

void LineBox::remove_observer(Observer* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

}  // namespace vexilo
