#include "workbench/plan_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "dialogs/ui_helpers.h"

namespace vexilo {
namespace {

constexpr PlanKind kGroups[] = {PlanKind::New, PlanKind::Changed, PlanKind::Unchanged,
                                PlanKind::Misfit, PlanKind::OnlyOnInstrument};

QString group_title(PlanKind kind) {
    switch (kind) {
        case PlanKind::New:
            return QStringLiteral("New");
        case PlanKind::Changed:
            return QStringLiteral("Changed");
        case PlanKind::Unchanged:
            return QStringLiteral("Unchanged");
        case PlanKind::Misfit:
            return QStringLiteral("Does not fit");
        case PlanKind::OnlyOnInstrument:
            return QStringLiteral("Only in the Nimbra");
    }
    return {};
}

QString object_text(const PlanEntry& entry) {
    QString text = to_qstring(entry.class_name) + QLatin1Char(':') + to_qstring(entry.object_name);
    if (!entry.list.empty()) text += QStringLiteral("  (") + to_qstring(entry.list) + ')';
    if (!entry.message.empty()) text += QStringLiteral(": ") + to_qstring(entry.message);
    return text;
}

}  // namespace

PlanWindow::PlanWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("plan_window"));
    setWindowTitle(QStringLiteral("Compare with Nimbra"));
    resize(520, 420);
    auto* layout = new QVBoxLayout(this);
    counts_label = new QLabel(this);
    counts_label->setObjectName(QStringLiteral("counts_label"));
    entries = new QTreeWidget(this);
    entries->setObjectName(QStringLiteral("entries"));
    entries->setHeaderHidden(true);
    entries->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(counts_label);
    layout->addWidget(entries);
    layout->addWidget(buttons);
}

void PlanWindow::show_plan(const Plan& plan) {
    entries->clear();
    QStringList counts;
    std::vector<QTreeWidgetItem*> long_groups;
    for (const PlanKind kind : kGroups) {
        const int n = plan.count(kind);
        counts << QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(plan_kind_name(kind)));
        if (n == 0) continue;
        auto* group =
            new QTreeWidgetItem(entries, {group_title(kind) + QStringLiteral(" (%1)").arg(n)});
        for (const PlanEntry& entry : plan.entries) {
            if (entry.kind != kind) continue;
            auto* item = new QTreeWidgetItem(group, {object_text(entry)});
            if (!entry.old_class.empty()) {
                new QTreeWidgetItem(item,
                                    {QStringLiteral("class: ") + to_qstring(entry.old_class) +
                                     QStringLiteral(" \u2192 ") + to_qstring(entry.class_name)});
            }
            for (const FieldChange& change : entry.fields) {
                new QTreeWidgetItem(item,
                                    {to_qstring(change.field) + QStringLiteral(": ") +
                                     to_qstring(change.old_value) + QStringLiteral(" \u2192 ") +
                                     to_qstring(change.new_value)});
            }
        }
        if (kind == PlanKind::Unchanged || kind == PlanKind::OnlyOnInstrument) {
            long_groups.push_back(group);
        }
    }
    entries->expandAll();
    // The unchanged and the instrument's own can be many hundreds: shown closed, so the
    // changes stand out.
    for (QTreeWidgetItem* group : long_groups)
        group->setExpanded(false);
    counts_label->setText(counts.join(QStringLiteral(", ")));
}

}  // namespace vexilo
