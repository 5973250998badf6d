#include "yes_to_all.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui_helpers.h"

namespace vexilo {

std::string overwrite_question_text(std::string_view object_name) {
    std::string text = "Do you really want to overwrite " + std::string(object_name);
    if (text.size() > 56) text.resize(56);
    return text;
}

Tyes_to_all::Tyes_to_all(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("yes_to_all"));
    setWindowTitle(QStringLiteral("Overwrite object?"));
    setModal(true);

    Question = new QLabel(this);
    Question->setObjectName(QStringLiteral("Question"));
    Question->setTextFormat(Qt::PlainText);
    Question->setAlignment(Qt::AlignCenter);
    // Room for the longest question, so the window keeps one size.
    Question->setMinimumWidth(Question->fontMetrics().averageCharWidth() * 56);

    yes_button = new QPushButton(QStringLiteral("&Yes"), this);
    yes_button->setObjectName(QStringLiteral("yes_button"));
    all_button = new QPushButton(QStringLiteral("Yes to &All"), this);
    all_button->setObjectName(QStringLiteral("all_button"));
    no_button = new QPushButton(QStringLiteral("&No"), this);
    no_button->setObjectName(QStringLiteral("no_button"));
    stop_button = new QPushButton(QStringLiteral("&Stop Adding"), this);
    stop_button->setObjectName(QStringLiteral("stop_button"));
    // Enter keeps the object: overwriting it cannot be undone.
    no_button->setDefault(true);

    connect(yes_button, &QPushButton::clicked, this, [this] {
        flags.overwrite_confirmed = true;
        accept();
    });
    connect(all_button, &QPushButton::clicked, this, [this] {
        flags.overwrite_confirmed = true;
        flags.ask_before_overwrite = false;
        accept();
    });
    connect(no_button, &QPushButton::clicked, this, [this] {
        flags.overwrite_confirmed = false;
        accept();
    });
    connect(stop_button, &QPushButton::clicked, this, [this] {
        flags.overwrite_confirmed = false;
        flags.keep_adding = false;
        accept();
    });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {yes_button, all_button, no_button, stop_button}) {
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Question);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void Tyes_to_all::ask_about(std::string_view object_name) {
    Question->setText(to_qstring(overwrite_question_text(object_name)));
    exec();
}

void Tyes_to_all::reject() {
    // Escape or the close box: the operator wants out of the whole add, not to be asked
    // about each of the objects that remain.
    flags.overwrite_confirmed = false;
    flags.keep_adding = false;
    QDialog::reject();
}

void Tyes_to_all::showEvent(QShowEvent* event) {
    no_button->setFocus();
    adjustSize();
    center_on_screen(*this);
    QDialog::showEvent(event);
}

}  // namespace vexilo
