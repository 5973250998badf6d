#pragma once
// The plan of the selected lists against the instrument, read-only: what a send would add,
// change (each field with its old and new value) and leave as it is, with the counts.

#include <QDialog>

#include "config/plan.h"

class QLabel;
class QTreeWidget;

namespace vexilo {

class PlanWindow final : public QDialog {
    Q_OBJECT
  public:
    explicit PlanWindow(QWidget* parent = nullptr);

    // Replaces what the window shows with the plan.
    void show_plan(const Plan& plan);

    QLabel* counts_label;
    QTreeWidget* entries;
};

}  // namespace vexilo
