#include "object_description.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui_helpers.h"

namespace vexilo {
namespace {

constexpr int kCellPadding = 10;  // the cell's margins around its text

class TableGrid final : public DescriptionGrid {
  public:
    explicit TableGrid(QTableWidget& table) : table_(table) {}

    void set_grid_size(int rows, int columns) override {
        table_.clearContents();
        table_.setRowCount(rows > 0 ? rows : 0);
        table_.setColumnCount(columns > 0 ? columns : 0);
    }
    void set_column_width(int column, int pixels) override {
        if (column >= 0 && column < table_.columnCount()) table_.setColumnWidth(column, pixels);
    }
    void set_cell(int column, int row, const std::string& text) override {
        if (column < 0 || column >= table_.columnCount() || row < 0 || row >= table_.rowCount()) {
            return;
        }
        auto* item = new QTableWidgetItem(to_qstring(text));
        item->setFlags(Qt::ItemIsEnabled);
        table_.setItem(row, column, item);
    }

  private:
    QTableWidget& table_;
};

}  // namespace

Tobject_description::Tobject_description(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("object_description"));
    object_grid = new QTableWidget(this);
    object_grid->setObjectName(QStringLiteral("object_grid"));
    object_grid->setShowGrid(false);
    object_grid->horizontalHeader()->hide();
    object_grid->verticalHeader()->hide();
    object_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    object_grid->setSelectionMode(QAbstractItemView::NoSelection);
    object_grid->setFocusPolicy(Qt::NoFocus);
    object_grid->setFrameShape(QFrame::NoFrame);
    object_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    object_grid->setWordWrap(false);
    object_grid->setColumnCount(3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(object_grid);
    grid_ = std::make_unique<TableGrid>(*object_grid);
    resize(200, 100);
    center_on_screen(*this);
}

Tobject_description::~Tobject_description() = default;

DescriptionGrid& Tobject_description::grid() {
    return *grid_;
}

void Tobject_description::show_description(const std::string& display_line) {
    setWindowTitle(to_qstring(display_line));
    // The given widths are the least a column gets: a column grows to its longest text
    // rather than cut a value short.
    int width = 0;
    for (int c = 0; c < object_grid->columnCount(); ++c) {
        int needed = 0;
        for (int r = 0; r < object_grid->rowCount(); ++r) {
            if (const QTableWidgetItem* item = object_grid->item(r, c)) {
                needed =
                    std::max(needed, object_grid->fontMetrics().horizontalAdvance(item->text()) +
                                         kCellPadding);
            }
        }
        if (needed > object_grid->columnWidth(c)) object_grid->setColumnWidth(c, needed);
        width += object_grid->columnWidth(c);
    }
    const int row_height = object_grid->verticalHeader()->defaultSectionSize();
    setFixedSize(width, (object_grid->rowCount() + 1) * row_height);
    show();
    raise();
}

}  // namespace vexilo
