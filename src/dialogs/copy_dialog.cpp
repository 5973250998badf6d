#include "copy_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui_helpers.h"

namespace vexilo {
namespace {

// The modal results of the three buttons.
constexpr int kNo = 10;   // change the name
constexpr int kYes = 11;  // create a new object

}  // namespace

Tcopy_dialog::Tcopy_dialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("copy_dialog"));
    setWindowTitle(QStringLiteral("copy_dialog"));
    setModal(true);

    StaticText1 = new QLabel(this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText2 = new QLabel(this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    for (QLabel* label : {StaticText1, StaticText2}) {
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
    }
    change_button = new QPushButton(QStringLiteral("Change name"), this);
    change_button->setObjectName(QStringLiteral("change_button"));
    copy_button = new QPushButton(QStringLiteral("Create new object"), this);
    copy_button->setObjectName(QStringLiteral("copy_button"));
    cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_button->setObjectName(QStringLiteral("cancel_button"));
    // Nothing happens by a stray Enter; the operator picks one of the three.
    for (QPushButton* button : {change_button, copy_button, cancel_button}) {
        button->setAutoDefault(false);
        button->setMinimumWidth(120);
    }
    connect(change_button, &QPushButton::clicked, this, [this] { done(kNo); });
    connect(copy_button, &QPushButton::clicked, this, [this] { done(kYes); });
    connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(change_button);
    buttons->addStretch();
    buttons->addWidget(copy_button);
    buttons->addStretch();
    buttons->addWidget(cancel_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StaticText1);
    layout->addWidget(StaticText2);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

CopyAnswer Tcopy_dialog::ask(const std::string& old, const std::string& typed) {
    old_name = old;
    new_name = typed;
    switch (exec()) {
        case kYes:
            return CopyAnswer::CreateNew;
        case kNo:
            return CopyAnswer::ChangeName;
        default:
            return CopyAnswer::Cancel;
    }
}

void Tcopy_dialog::showEvent(QShowEvent* event) {
    StaticText1->setText(
        to_qstring("Do you wish to change the name of " + old_name + " to " + new_name));
    StaticText2->setText(to_qstring(" or create a new object called " + new_name + "?"));
    adjustSize();
    center_on_screen(*this);
    QDialog::showEvent(event);
}

}  // namespace vexilo
