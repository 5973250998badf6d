#include "link/ui/portform.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/messages.h"
#include "link/network_address.h"
#include "link/ui/center_on_screen.h"
#include "settings/settings.h"

namespace vexilo {
namespace {

Tport_form::DeviceLister& default_device_lister() {
    static Tport_form::DeviceLister lister;
    return lister;
}

// What the operator knows the adapter by first, the system's name for it last.
QString device_label_text(const SerialDevice& d) {
    QStringList known;
    for (const std::string* part : {&d.description, &d.manufacturer, &d.serial_number}) {
        if (!part->empty()) known << QString::fromStdString(*part);
    }
    const QString device = QString::fromStdString(d.device);
    return known.isEmpty() ? device : known.join(' ') + " (" + device + ")";
}

}  // namespace

void Tport_form::set_default_device_lister(DeviceLister lister) {
    default_device_lister() = std::move(lister);
}

Tport_form::Tport_form(Tnimbra_lib& link, QWidget* parent)
    : QDialog(parent),
      link_(link),
      available_([&link](int port) { return link.port_available(port); }),
      list_devices_(default_device_lister()) {
    setObjectName("port_form");
    setWindowTitle("Choose Serial Port");
    setModal(true);

    reason_label = new QLabel(this);
    reason_label->setObjectName("reason_label");
    reason_label->setTextFormat(Qt::PlainText);
    reason_label->setWordWrap(true);
    reason_label->hide();
    StaticText1 = new QLabel("Please choose the proper serial port:", this);
    StaticText1->setObjectName("StaticText1");
    port_combox = new QComboBox(this);
    port_combox->setObjectName("port_combox");
    port_combox->setEditable(false);
    device_label = new QLabel("Device:", this);
    device_label->setObjectName("device_label");
    device_edit = new QLineEdit(this);
    device_edit->setObjectName("device_edit");
    device_edit->setToolTip(
        "A device such as /dev/ttyUSB0, or a device server on the network: "
        "rfc2217://HOST:PORT or socket://HOST:PORT");
    device_combox = new QComboBox(this);
    device_combox->setObjectName("device_combox");
    device_combox->setEditable(false);
    device_combox->setPlaceholderText("Serial devices found on this computer");
    ok_button = new QPushButton("&OK", this);
    ok_button->setObjectName("ok_button");
    ok_button->setDefault(true);
    cancel_button = new QPushButton("&Cancel", this);
    cancel_button->setObjectName("cancel_button");

    auto* device_row = new QHBoxLayout;
    device_row->addWidget(device_label);
    device_row->addWidget(device_edit, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_button);
    buttons->addWidget(cancel_button);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(reason_label);
    layout->addWidget(StaticText1);
    layout->addWidget(port_combox);
    layout->addLayout(device_row);
    layout->addWidget(device_combox);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
#ifdef _WIN32
    // COM names say it all there.
    device_label->hide();
    device_edit->hide();
    device_combox->hide();
#endif

    connect(port_combox, qOverload<int>(&QComboBox::activated), this,
            &Tport_form::port_comboxChange);
    connect(device_combox, qOverload<int>(&QComboBox::activated), this,
            &Tport_form::device_comboxChange);
    connect(ok_button, &QPushButton::clicked, this, &Tport_form::ok_buttonClick);
    connect(cancel_button, &QPushButton::clicked, this, &Tport_form::cancel_buttonClick);

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void Tport_form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

void Tport_form::FormActivate() {
    center_on_screen(*this);
    remembered_port_ = link_.port_number();
    port_combox->clear();
    // Single-digit numbers: in number order the lines are also sorted.
    for (int port = 1; port <= kHighestPort; ++port) {
        if (available_(port)) {
            port_combox->addItem("COM" + QString::number(port), port);
        } else if (port == remembered_port_) {
            port_combox->addItem("COM" + QString::number(port) + " (not available)", port);
        }
    }
    select_port(remembered_port_);
    fill_devices();
    show_device(remembered_port_);
    // Not the button pressed last time: Enter means OK until the operator moves to another.
    port_combox->setFocus();
}

void Tport_form::set_reason(const std::string& reason) {
    reason_label->setText(QString::fromStdString(reason));
    reason_label->setVisible(!reason.empty());
}

void Tport_form::fill_devices() {
    device_combox->clear();
#ifndef _WIN32
    const std::vector<SerialDevice> devices =
        list_devices_ ? list_devices_() : std::vector<SerialDevice>{};
    device_combox->setEnabled(!devices.empty());
    device_combox->setPlaceholderText(devices.empty() ? "No serial devices found on this computer"
                                                      : "Serial devices found on this computer");
    for (const SerialDevice& d : devices) {
        device_combox->addItem(device_label_text(d), QString::fromStdString(d.preferred_name()));
        // Also found by the plain name, for a map entry made by hand.
        device_combox->setItemData(device_combox->count() - 1, QString::fromStdString(d.device),
                                   Qt::UserRole + 1);
    }
#endif
}

void Tport_form::device_comboxChange(int index) {
    if (index >= 0) device_edit->setText(device_combox->itemData(index).toString());
}

bool Tport_form::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        (watched == this ||
         (watched->isWidgetType() && isAncestorOf(static_cast<QWidget*>(watched))))) {
        if (FormKeyDown(static_cast<QKeyEvent*>(event)->key())) return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool Tport_form::FormKeyDown(int key) {
    // Enter goes on to the dialog's buttons.
    if (key != Qt::Key_Escape) return false;
    set_port(remembered_port_);
    done(QDialog::Rejected);
    return true;
}

void Tport_form::port_comboxChange(int index) {
    const int picked = port_combox->itemData(index).toInt();
    if (available_(picked)) {
        remembered_port_ = picked;
    } else {
        select_port(remembered_port_);
    }
    show_device(remembered_port_);
}

void Tport_form::ok_buttonClick() {
    // With no line selected (the link's port is not among the available ones) the list names no
    // port; the remembered one is the port in use or the last one picked.
    const int selected = selected_port();
    const int port = selected > 0 ? selected : remembered_port_;
#ifndef _WIN32
    std::string device = device_edit->text().trimmed().toStdString();
    if (looks_like_network_address(device)) {
        // A mistyped address is said now, not at the next command; the field keeps the text.
        NetworkAddress address;
        std::string why;
        if (!parse_network_address(device, address, why)) {
            show_error(why);
            device_edit->setFocus();
            return;
        }
        device = address.url();
    }
    // An emptied field drops the port's entry from the map, back to the default device.
    const bool device_changed =
        device.empty() ? !read_port_mapping(port).empty() : device != port_device_name(port);
    if (device_changed) store_port_mapping(port, device);
    const bool same_port = port == link_.port_number();
    set_port(port);
    if (device_changed && same_port) link_.reconnect(port);
#else
    set_port(port);
#endif
    done(QDialog::Accepted);
}

void Tport_form::cancel_buttonClick() {
    set_port(remembered_port_);
    done(QDialog::Rejected);
}

void Tport_form::set_port(int port) {
    link_.set_port_number(port);
    store_port(port);
}

int Tport_form::selected_port() const {
    const int index = port_combox->currentIndex();
    return index < 0 ? 0 : port_combox->itemData(index).toInt();
}

void Tport_form::select_port(int port) {
    port_combox->setCurrentIndex(port_combox->findData(port));
}

void Tport_form::show_device(int port) {
    const QString device = QString::fromStdString(port_device_name(port));
    device_edit->setText(device);
    int index = device_combox->findData(device);
    if (index < 0) index = device_combox->findData(device, Qt::UserRole + 1);
    device_combox->setCurrentIndex(index);
}

Tnimbra_lib::PortProblemHandler ask_with_port_form(Tport_form& form) {
    // Only OK tries again: Cancel, Escape and the close box give up, so that the window can
    // open without a port and the program can always be left.
    return [&form](const std::string& reason) {
        form.set_reason(reason);
        const bool again = form.exec() == QDialog::Accepted;
        form.set_reason({});
        return again;
    };
}

}  // namespace vexilo
