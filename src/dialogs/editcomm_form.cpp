#include "editcomm_form.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "comment_check.h"
#include "memo_lines.h"
#include "ui_helpers.h"

namespace vexilo {

Teditcommform::Teditcommform(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("editcommform"));
    setWindowTitle(QStringLiteral("Edit comments in object list"));
    setModal(true);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setFixedSize(440, 220);
    ok_button = new QPushButton(QStringLiteral("OK"), this);
    ok_button->setObjectName(QStringLiteral("ok_button"));
    cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_button->setObjectName(QStringLiteral("cancel_button"));
    // Enter starts a new comment line, it does not close the dialog.
    ok_button->setAutoDefault(false);
    cancel_button->setAutoDefault(false);
    connect(ok_button, &QPushButton::clicked, this, [this] {
        if (!comments_can_be_saved(*Memo1)) return;
        comments_accepted = true;
        accept();
    });
    connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_button);
    buttons->addWidget(cancel_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool Teditcommform::edit(const std::vector<std::string>& lines) {
    set_memo_lines(*Memo1, lines);
    exec();
    return comments_accepted;
}

std::vector<std::string> Teditcommform::comment_lines() const {
    return memo_lines(*Memo1);
}

void Teditcommform::showEvent(QShowEvent* event) {
    comments_accepted = false;
    center_on_screen(*this);
    Memo1->setFocus();
    QDialog::showEvent(event);
}

}  // namespace vexilo
