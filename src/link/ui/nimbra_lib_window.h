#pragma once
// The link's diagnostic window for service staff: the command queue, the replies, the list
// file last loaded or written, the log and the trace of the line. It carries no controls. It
// keeps its own lines, fed by the link's events, each list capped at its newest lines so that
// a line that never stops talking cannot fill the memory. The link must outlive the window.

#include <QWidget>

#include "link/nimbralib.h"

class QListWidget;

namespace vexilo {

class Tnimbra_lib_window final : public QWidget {
    Q_OBJECT
  public:
    // Lines each list keeps: a whole configuration reply at the design limits fits.
    static constexpr int kMaxLines = static_cast<int>(Tnimbra_lib::kMaxReplyLines) + 500;

    explicit Tnimbra_lib_window(Tnimbra_lib& link, QWidget* parent = nullptr);
    ~Tnimbra_lib_window() override;

  protected:
    // While shown, debug_box follows the trace of the line (the same lines and time stamps
    // as the trace file); hidden, it costs the line nothing.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void take(const LinkEvent& event);
    QListWidget* add_view(const char* name, int x, int y, int width, int height);
    static void add_line(QListWidget& view, const std::string& line);

    Tnimbra_lib& link_;
    int listener_ = 0;
    QListWidget* cmd_box_;
    QListWidget* return_box_;
    QListWidget* config_box_;
    QListWidget* output_box_;
    QListWidget* debug_box_;
};

}  // namespace vexilo
