#pragma once
// The program's windows, created in their fixed order: the main window first, then the object
// description, the new object dialog, the serial port dialog, the about box, the overwrite
// question, the link (which opens the serial port, asking for another one while that fails),
// the rename-or-copy question, the comment dialogs and the folder chooser. All live until the
// program ends; the link goes last, returning the instrument to 9600 baud.
//
// The link starts on the stored "Port". When it cannot be opened and the operator leaves the
// port dialog without OK, the window opens without a port (offline work: editing, saving and
// printing lists); the status line says so.

#include <QStringList>
#include <memory>

#include "link/nimbralib.h"
#include "link/serial_port.h"

namespace vexilo {

class InstrumentOperations;
class HistoryWindow;
class TMainForm;
namespace audit {
class AuditRecorder;
}
class Tnimbra_lib_window;

class Workbench {
  public:
    Workbench(const QStringList& arguments, std::unique_ptr<SerialPort> port);
    ~Workbench();
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    TMainForm& main_form() { return *main_; }
    Tnimbra_lib& link() { return *link_; }
    // The instrument service, which the windows call.
    InstrumentOperations& operations() { return *operations_; }
    // Records every operation of the service in the audit trail.
    audit::AuditRecorder& recorder() { return *recorder_; }
    // File > "History"; created when first opened.
    HistoryWindow* history_window() const { return history_; }
    void open_history();
    // False when the operator gave up opening the port (the link then has no port).
    bool port_opened() const { return port_opened_; }
    // The orderly end of the line before the program ends: nothing after the command in
    // flight, its answer awaited within its time-out, then back to 9600 baud. Runs the event
    // loop until then.
    void end_line();

    static constexpr const char* kOfflineStatus = "Working offline: no serial port is open";
    // A command (a send, a restart, ...) that found no port after the dialog was left.
    static constexpr const char* kNotSentStatus = "Not sent: no serial port is open";

  private:
    std::unique_ptr<Tnimbra_lib> link_;
    // Before the service, so that it outlives every operation that may still end.
    std::unique_ptr<audit::AuditRecorder> recorder_;
    std::unique_ptr<InstrumentOperations> operations_;
    HistoryWindow* history_ = nullptr;
    std::unique_ptr<TMainForm> main_;
    std::unique_ptr<Tnimbra_lib_window> link_window_;
    bool port_opened_ = false;
};

}  // namespace vexilo
