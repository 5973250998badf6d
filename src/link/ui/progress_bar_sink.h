#pragma once
// Lets the link drive a progress bar of a window.

#include <QProgressBar>

#include "link/progress_sink.h"

namespace vexilo {

class ProgressBarSink final : public ProgressSink {
  public:
    explicit ProgressBarSink(QProgressBar& bar) : bar_(bar) {}
    void set_range(int minimum, int maximum) override { bar_.setRange(minimum, maximum); }
    void set_position(int position) override { bar_.setValue(position); }

  private:
    QProgressBar& bar_;
};

}  // namespace vexilo
