#include "workbench/history_window.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "audit/audit_text.h"

namespace vexilo {

HistoryWindow::HistoryWindow(QString trail_path, QWidget* parent)
    : QDialog(parent), path_(std::move(trail_path)) {
    setObjectName(QStringLiteral("history_window"));
    setWindowTitle(QStringLiteral("History"));
    resize(900, 560);
    table_ = new QTableWidget(0, 6, this);
    table_->setObjectName(QStringLiteral("history_table"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("User"),
                                       QStringLiteral("Port"), QStringLiteral("Operation"),
                                       QStringLiteral("Lists"), QStringLiteral("Outcome")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    details_ = new QPlainTextEdit(this);
    details_->setObjectName(QStringLiteral("history_details"));
    details_->setReadOnly(true);
    details_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(table_);
    splitter->addWidget(details_);

    chain_ = new QLabel(this);
    chain_->setObjectName(QStringLiteral("history_chain"));
    chain_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chain_->setWordWrap(true);
    auto* check = new QPushButton(QStringLiteral("&Check the chain"), this);
    check->setObjectName(QStringLiteral("history_check"));
    auto* refresh = new QPushButton(QStringLiteral("&Refresh"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chain_, 1);
    buttons->addWidget(check);
    buttons->addWidget(refresh);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    connect(check, &QPushButton::clicked, this, &HistoryWindow::check_chain);
    connect(refresh, &QPushButton::clicked, this, &HistoryWindow::reload);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::show_selected);
    reload();
}

void HistoryWindow::reload() {
    QString error;
    audit::AuditTrail trail(path_);
    records_ = trail.records({}, &error);
    table_->setRowCount(0);
    if (!error.isEmpty()) {
        chain_->setText(QStringLiteral("Cannot read the audit trail %1: %2").arg(path_, error));
        return;
    }
    table_->setRowCount(static_cast<int>(records_.size()));
    int row = 0;
    for (const audit::Record& r : records_) {
        const QStringList cells = {
            audit::time_text(r),           audit::who(r),
            audit::field(r.start, "port"), audit::field(r.start, "operation"),
            audit::file_names(r),          r.outcome_text()};
        for (int column = 0; column < cells.size(); ++column)
            table_->setItem(row, column, new QTableWidgetItem(cells[column]));
        ++row;
    }
    table_->resizeColumnsToContents();
    if (!records_.empty()) table_->selectRow(0);
    chain_->setText((records_.size() == 1 ? QStringLiteral("%1 record in %2")
                                          : QStringLiteral("%1 records in %2"))
                        .arg(records_.size())
                        .arg(path_));
}

void HistoryWindow::show_selected() {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(records_.size())) {
        details_->clear();
        return;
    }
    details_->setPlainText(
        audit::record_lines(records_[static_cast<std::size_t>(row)]).join(u'\n'));
}

void HistoryWindow::check_chain() {
    const audit::ChainCheck check = audit::AuditTrail(path_).verify();
    QString text = check.ok
                       ? QStringLiteral("Chain verified: %1 records, %2 events. Newest hash: %3")
                             .arg(check.records)
                             .arg(check.events)
                             .arg(check.newest_hash)
                       : QStringLiteral("The chain does not verify: ") + check.problem;
    if (!check.restored_triggers.isEmpty()) {
        text += QStringLiteral(" (its triggers %1 had been dropped by other tools)")
                    .arg(check.restored_triggers.join(QStringLiteral(", ")));
    }
    chain_->setText(text);
}

}  // namespace vexilo
