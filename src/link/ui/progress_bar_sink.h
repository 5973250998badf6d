#pragma once
// Lets the link drive a progress bar of a window.

#include <QProgressBar>

#include "link/progress_sink.h"

namespace vexilo {

// A reply may run past the maximum the bar was given (the configuration's 409 lines are only
// what a usual instrument sends): the bar then turns busy rather than sitting full while data
// still comes, and a return to the start brings the range back.
class ProgressBarSink final : public ProgressSink {
  public:
    explicit ProgressBarSink(QProgressBar& bar) : bar_(bar) {}
    void set_range(int minimum, int maximum) override {
        busy_ = false;
        bar_.setRange(minimum, maximum);
    }
    void set_position(int position) override {
        if (busy_) {
            if (position > minimum_) return;
            set_range(minimum_, maximum_);
        } else if (bar_.maximum() > bar_.minimum() && position > bar_.maximum()) {
            minimum_ = bar_.minimum();
            maximum_ = bar_.maximum();
            busy_ = true;
            bar_.setRange(0, 0);
            return;
        }
        bar_.setValue(position);
    }
    // Back to the start, as after a stop: nothing is under way any more.
    void reset() { set_position(busy_ ? minimum_ : bar_.minimum()); }
    bool busy() const { return busy_; }

  private:
    QProgressBar& bar_;
    bool busy_ = false;
    int minimum_ = 0;
    int maximum_ = 0;
};

}  // namespace vexilo
