#pragma once
// The link's diagnostic window: a view of its five line lists for service staff. It carries
// no controls. The link must outlive the window.

#include <QWidget>
#include <map>

#include "link/nimbralib.h"

class QListWidget;

namespace vexilo {

class Tnimbra_lib_window final : public QWidget, private LineBox::Observer {
    Q_OBJECT
  public:
    explicit Tnimbra_lib_window(Tnimbra_lib& link, QWidget* parent = nullptr);
    ~Tnimbra_lib_window() override;

    QListWidget* cmd_box;
    QListWidget* return_box;
    QListWidget* config_box;
    QListWidget* output_box;
    QListWidget* debug_box;

  private:
    void line_added(const LineBox& box, const std::string& line) override;
    void box_cleared(const LineBox& box) override;
    QListWidget* add_view(const char* name, LineBox& box, int x, int y, int width, int height);

    Tnimbra_lib& link_;
    std::map<const LineBox*, QListWidget*> views_;
};

}  // namespace vexilo
