#pragma once
// The object description window: one object's fields, values and units in a grid, beside the
// main window.

#include <QWidget>
#include <memory>
#include <string>

#include "config/description_grid.h"

class QTableWidget;

namespace vexilo {

class Tobject_description : public QWidget {
    Q_OBJECT
  public:
    explicit Tobject_description(QWidget* parent = nullptr);
    ~Tobject_description() override;

    // What describe_object fills: object_grid itself.
    DescriptionGrid& grid();

    // Shows the filled grid without blocking: the title is the object's display line, the
    // height (rows + 1) grid rows, the width enough for the whole title. Showing it again
    // refills it in place. With a window to keep clear of, it opens beside that window (right,
    // left, below or above it, where the screen has room), else over it but off its buttons,
    // menu and tabs. Escape closes it.
    void show_description(const std::string& display_line, const QWidget* beside = nullptr);

    QTableWidget* object_grid;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void place_beside(const QWidget& window);

    std::unique_ptr<DescriptionGrid> grid_;
};

}  // namespace vexilo
