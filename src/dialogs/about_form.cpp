#include "about_form.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QVBoxLayout>

#include "config/messages.h"
#include "config/version_label.h"
#include "ui_helpers.h"
#include "ver_info.h"

namespace vexilo {

Tabout_form::Tabout_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("about_form"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    about_text = new QLabel(this);
    about_text->setObjectName(QStringLiteral("about_text"));
    QFont bold = about_text->font();
    bold.setBold(true);
    about_text->setFont(bold);
    about_text->setTextFormat(Qt::PlainText);
    about_text->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->addWidget(about_text);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Without a version the box still opens and says why, instead of ending the program.
    try {
        version_info_ = std::make_unique<TVerInfoRes>(
            QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
    } catch (const EVerInfoError& error) {
        version_error_ = error.what();
    }
}

Tabout_form::~Tabout_form() = default;

void Tabout_form::show_about() {
    exec();
}

void Tabout_form::showEvent(QShowEvent* event) {
    std::string text = "Vexilo Version ";
    if (version_info_) text += get_juist_version_info(version_info_->file_version_text());
    about_text->setText(to_qstring(text));
    adjustSize();
    center_on_screen(*this);
    QDialog::showEvent(event);
    // After the box is up, so the message stands in front of it.
    if (!version_info_) {
        QMetaObject::invokeMethod(
            this, [this] { show_error(version_error_); }, Qt::QueuedConnection);
    }
}

}  // namespace vexilo
