#pragma once
// The serial port dialog: the operator picks the port the instrument hangs on. The dialog
// applies the choice to the link and stores it itself; callers do not look at how it closed.
//
// Escape applies the remembered port and closes; Enter presses the focused button, else OK, so
// that a typed device or a picked port is taken, never dropped. The remembered port starts as
// the link's port and follows each available port the operator picks, so Cancel and Escape
// apply the last pick. The drop-down always holds the link's port, marked when it cannot be
// opened, so it is never empty; when the link asks because the port would not open, the
// dialog says why.
//
// Where ports have no COM names, the dialog also shows the device behind the port and lets the
// operator change it (for a USB adapter); OK stores the change in the port map. The serial
// devices found on the system are offered by what they are (maker, serial number); picking one
// takes its stable name, so the map still holds when the adapter is plugged in elsewhere.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "link/nimbralib.h"
#include "link/serial_device.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vexilo {

class Tport_form final : public QDialog {
    Q_OBJECT
  public:
    using Availability = std::function<bool(int port)>;
    using DeviceLister = std::function<std::vector<SerialDevice>()>;

    static constexpr int kHighestPort = 9;

    explicit Tport_form(Tnimbra_lib& link, QWidget* parent = nullptr);

    // Whether a port can be opened; the link's test by default.
    void set_availability(Availability availability) { available_ = std::move(availability); }
    // The serial devices to offer, asked each time the dialog opens. Forms made later start
    // with the default lister; the program sets it once before making its windows.
    void set_device_lister(DeviceLister lister) { list_devices_ = std::move(lister); }
    static void set_default_device_lister(DeviceLister lister);

    // The link takes the port, and it is stored as the "Port" setting even when unchanged.
    void set_port(int port);
    // Why the dialog is shown (the link's open error), or empty when the operator asked for it.
    void set_reason(const std::string& reason);
    int remembered_port() const { return remembered_port_; }

    QLabel* reason_label;
    QLabel* StaticText1;
    QComboBox* port_combox;
    QLabel* device_label;
    QLineEdit* device_edit;
    QComboBox* device_combox;
    QPushButton* ok_button;
    QPushButton* cancel_button;

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormActivate();
    bool FormKeyDown(int key);
    void port_comboxChange(int index);
    void ok_buttonClick();
    void cancel_buttonClick();
    int selected_port() const;
    void select_port(int port);
    void show_device(int port);
    void fill_devices();
    void device_comboxChange(int index);

    Tnimbra_lib& link_;
    Availability available_;
    DeviceLister list_devices_;
    int remembered_port_ = 1;
};

// A port problem handler for the link: shows the dialog modally; after OK the link tries again,
// after anything else it gives up (the program goes on without a port).
Tnimbra_lib::PortProblemHandler ask_with_port_form(Tport_form& form);

}  // namespace vexilo
