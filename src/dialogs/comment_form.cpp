#include "comment_form.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "comment_check.h"
#include "memo_lines.h"
#include "ui_helpers.h"

namespace vexilo {

Tcomment_form::Tcomment_form(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("comment_form"));
    setWindowTitle(QStringLiteral("Saving object list"));
    setModal(true);

    label = new QLabel(
        QStringLiteral("If you wish to add comments to your object list, please write them in "
                       "the box below and press \"Save list\"."),
        this);
    label->setWordWrap(true);
    comments_memo = new QPlainTextEdit(this);
    comments_memo->setObjectName(QStringLiteral("comments_memo"));
    comments_memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    comments_memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    comments_memo->setFixedSize(440, 200);
    add_button = new QPushButton(QStringLiteral("&Save list"), this);
    add_button->setObjectName(QStringLiteral("add_button"));
    cancel_button = new QPushButton(QStringLiteral("&Don't save"), this);
    cancel_button->setObjectName(QStringLiteral("cancel_button"));
    // Enter starts a new comment line, it does not close the dialog.
    add_button->setAutoDefault(false);
    cancel_button->setAutoDefault(false);
    connect(add_button, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add_button);
    buttons->addWidget(cancel_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(comments_memo);
    layout->addLayout(buttons);
    label->setFixedWidth(440);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<std::vector<std::string>> Tcomment_form::edit(
    const std::vector<std::string>& old_lines) {
    set_memo_lines(*comments_memo, old_lines);
    if (exec() != QDialog::Accepted) return std::nullopt;
    return comment_lines();
}

std::vector<std::string> Tcomment_form::comment_lines() const {
    return memo_lines(*comments_memo);
}

void Tcomment_form::accept() {
    if (comments_can_be_saved(*comments_memo)) QDialog::accept();
}

void Tcomment_form::showEvent(QShowEvent* event) {
    center_on_screen(*this);
    comments_memo->setFocus();
    QDialog::showEvent(event);
}

}  // namespace vexilo
