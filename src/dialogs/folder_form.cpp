#include "folder_form.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <vector>

#include "config/text_fields.h"
#include "settings/settings.h"
#include "ui_helpers.h"

namespace vexilo {

Tfolder_form::Tfolder_form(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("folder_form"));
    setWindowTitle(QStringLiteral("Object List Folder"));
    setModal(true);

    label = new QLabel(QStringLiteral("Please choose 'Object List Folder'"), this);
    folder_combo_box = new QComboBox(this);
    folder_combo_box->setObjectName(QStringLiteral("folder_combo_box"));
    folder_combo_box->setMinimumWidth(360);
    folder_combo_box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    browse_button = new QPushButton(QStringLiteral("&Browse"), this);
    browse_button->setObjectName(QStringLiteral("browse_button"));
    browse_button->setAutoDefault(false);
    ok_button = new QPushButton(QStringLiteral("&OK"), this);
    ok_button->setObjectName(QStringLiteral("ok_button"));
    ok_button->setDefault(true);
    cancel_button = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel_button->setObjectName(QStringLiteral("cancel_button"));
    cancel_button->setAutoDefault(false);

    connect(browse_button, &QPushButton::clicked, this, &Tfolder_form::browse_buttonClick);
    connect(ok_button, &QPushButton::clicked, this, &Tfolder_form::ok_buttonClick);
    connect(cancel_button, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(folder_combo_box, 1, 0);
    layout->addWidget(browse_button, 1, 1);
    layout->addWidget(ok_button, 2, 1);
    layout->addWidget(cancel_button, 3, 1);
    layout->setRowMinimumHeight(0, 24);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    std::vector<std::string> folders;
    read_folder_list(folders);
    for (const std::string& folder : folders)
        folder_combo_box->addItem(path_to_qstring(folder));
    if (folder_combo_box->count() > 0) folder_combo_box->setCurrentIndex(0);
    update_ok_button();

    browser_ = [](QWidget* owner, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, QString(), start);
    };
    adjustSize();
    center_on_screen(*this);
}

void Tfolder_form::set_folder_browser(FolderBrowser browser) {
    browser_ = std::move(browser);
}

bool Tfolder_form::choose() {
    return exec() == QDialog::Accepted;
}

std::string Tfolder_form::folder() const {
    const int index = folder_combo_box->currentIndex();
    return index < 0 ? std::string() : path_to_text(folder_combo_box->itemText(index));
}

void Tfolder_form::browse_buttonClick() {
    const QString chosen = browser_ ? browser_(this, folder_combo_box->currentText()) : QString();
    if (chosen.isEmpty()) return;
    const QString native = QDir::toNativeSeparators(chosen);
    const std::string text = path_to_text(native);
    folder_combo_box->insertItem(0, native);
    for (int i = 1; i < folder_combo_box->count(); ++i) {
        if (same_text(path_to_text(folder_combo_box->itemText(i)), text)) {
            folder_combo_box->removeItem(i);
            break;
        }
    }
    folder_combo_box->setCurrentIndex(0);
    update_ok_button();
}

void Tfolder_form::ok_buttonClick() {
    // An empty list offers no folder to confirm; OK is disabled then, and Enter lands here.
    if (folder_combo_box->currentIndex() < 0) return;
    const std::string chosen = folder();
    store_text_setting("Root Folder", chosen);
    store_text_setting("List Folder", chosen);
    std::vector<std::string> folders;
    for (int i = 0; i < folder_combo_box->count(); ++i) {
        folders.push_back(path_to_text(folder_combo_box->itemText(i)));
    }
    store_folder_list(folders);
    accept();
}

void Tfolder_form::update_ok_button() {
    ok_button->setEnabled(folder_combo_box->count() > 0);
}

}  // namespace vexilo
