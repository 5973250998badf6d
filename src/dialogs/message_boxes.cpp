#include "message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "ui_helpers.h"

namespace vexilo {
namespace {

void prepare(QMessageBox& box, const char* caption, QMessageBox::Icon icon,
             const std::string& text) {
    box.setWindowTitle(QString::fromLatin1(caption));
    box.setIcon(icon);
    box.setText(to_qstring(text));
    box.setTextFormat(Qt::PlainText);
}

bool ask(const std::string& question, bool yes_by_default) {
    QMessageBox box(QApplication::activeWindow());
    prepare(box, "Information", QMessageBox::Information, question);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes_by_default ? yes : no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace

void MessageBoxHandler::show_error(const std::string& text) {
    QMessageBox box(QApplication::activeWindow());
    prepare(box, "Error", QMessageBox::Critical, text);
    // The box reports; there is nothing to cancel.
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

void MessageBoxHandler::show_info(const std::string& text) {
    QMessageBox box(QApplication::activeWindow());
    prepare(box, "Information", QMessageBox::Information, text);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool MessageBoxHandler::ask_yes_no(const std::string& question) {
    // Almost every question asks before something that cannot be undone (removing,
    // overwriting, replacing, sending): Enter must not say yes to it.
    return ask(question, false);
}

bool MessageBoxHandler::ask_yes_no_yes_default(const std::string& question) {
    return ask(question, true);
}

}  // namespace vexilo
