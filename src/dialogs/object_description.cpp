#include "object_description.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "ui_helpers.h"

namespace vexilo {
namespace {

constexpr int kCellPadding = 10;  // the cell's margins around its text
// What a title bar needs beside its text: its close button and margins.
constexpr int kTitleButtons = 96;
constexpr int kGap = 8;
constexpr int kSearchStep = 8;  // pixels between the places tried over the window

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

void Tobject_description::show_description(const std::string& display_line, const QWidget* beside) {
    const QString title = to_qstring(display_line);
    setWindowTitle(title);
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
    // The title names the object: it must not be cut short.
    const QFont title_font = QApplication::font("QMdiSubWindowTitleBar");
    QFont bold = title_font;
    bold.setBold(true);
    width = std::max(width, QFontMetrics(bold).horizontalAdvance(title) + kTitleButtons);
    const int row_height = object_grid->verticalHeader()->defaultSectionSize();
    setFixedSize(width, (object_grid->rowCount() + 1) * row_height);
    if (beside != nullptr) place_beside(*beside->window());
    show();
    raise();
    // Active, so that Escape closes it straight away.
    activateWindow();
}

void Tobject_description::place_beside(const QWidget& window) {
    const QRect keep_clear = window.frameGeometry();
    const QRect room = screen_room(window);
    const QSize frame = size() + frame_extra(*this);
    const QPoint candidates[] = {
        {keep_clear.right() + 1 + kGap, keep_clear.top()},
        {keep_clear.left() - kGap - frame.width(), keep_clear.top()},
        {keep_clear.right() + 1 - frame.width(), keep_clear.bottom() + 1 + kGap},
        {keep_clear.right() + 1 - frame.width(), keep_clear.top() - kGap - frame.height()},
    };
    for (const QPoint& at : candidates) {
        if (room.contains(QRect(at, frame))) {
            move(at);
            return;
        }
    }
    // No room beside the window (a small screen, a large scale factor): over it, but off the
    // buttons, menu and tabs the operator goes on using. The right edge first, as beside it.
    std::vector<QRect> in_use;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        const bool used = qobject_cast<const QAbstractButton*>(w) != nullptr ||
                          qobject_cast<const QMenuBar*>(w) != nullptr ||
                          qobject_cast<const QTabBar*>(w) != nullptr;
        if (used && w->isVisible()) in_use.emplace_back(w->mapToGlobal(QPoint(0, 0)), w->size());
    }
    for (int x = room.right() + 1 - frame.width(); x >= room.left(); x -= kSearchStep) {
        for (int y = room.top(); y + frame.height() <= room.bottom() + 1; y += kSearchStep) {
            const QRect at(QPoint(x, y), frame);
            if (std::none_of(in_use.begin(), in_use.end(),
                             [&at](const QRect& r) { return r.intersects(at); })) {
                move(at.topLeft());
                return;
            }
        }
    }
    move(room.right() + 1 - frame.width(),
         std::clamp(keep_clear.top(), room.top(),
                    std::max(room.top(), room.bottom() + 1 - frame.height())));
}

void Tobject_description::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        // Back to the window it describes for, so the keyboard goes on working there.
        if (parentWidget() != nullptr) parentWidget()->window()->activateWindow();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace vexilo
