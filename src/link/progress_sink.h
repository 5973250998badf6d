#pragma once
// A progress bar as the link sees it: the window shows a real one, vexilo-cli draws one on
// its terminal, tests record the calls.

namespace vexilo {

class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    virtual void set_range(int minimum, int maximum) = 0;
    virtual void set_position(int position) = 0;
};

}  // namespace vexilo
