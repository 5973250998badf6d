#pragma once
// File > "History": the audit trail's records, newest first (time, user, port, operation,
// lists, outcome), the selected record's changes field by field, and the chain's check (the
// same as vexilo-cli audit verify).

#include <QDialog>
#include <vector>

#include "audit/audit_trail.h"

class QLabel;
class QPlainTextEdit;
class QTableWidget;

namespace vexilo {

class HistoryWindow final : public QDialog {
  public:
    explicit HistoryWindow(QString trail_path, QWidget* parent = nullptr);

    // Reads the records again (the window may stay open while operations go on).
    void reload();
    // Checks every record and the chain; the result shows below the list.
    void check_chain();

    QTableWidget* table() const { return table_; }
    QPlainTextEdit* details() const { return details_; }
    QLabel* chain_label() const { return chain_; }

  private:
    void show_selected();

    QString path_;
    std::vector<audit::Record> records_;
    QTableWidget* table_;
    QPlainTextEdit* details_;
    QLabel* chain_;
};

}  // namespace vexilo
