// The workbench program: one copy runs at a time; a later start brings the running copy's
// window to the front and ends.
//
// However it ends (the window closed, SIGINT, SIGTERM or SIGHUP) the line is put to rest
// first: the command in flight is answered or times out, and the instrument goes back to
// 9600 baud. A signal ends the program with 128 + its number; a second signal ends it at once.

#include "app/workbench_main.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "config/messages.h"
#include "dialogs/message_boxes.h"
#include "link/ending_signals.h"
#include "link/ui/portform.h"
#include "platform/qt_serial_port.h"
#include "platform/serial_devices.h"
#include "workbench/main_form.h"
#include "workbench/multinst.h"
#include "workbench/workbench.h"

namespace vexilo {
namespace {
constexpr int kSignalBase = 128;
}

int workbench_main(int argc, char** argv, const std::function<void(Workbench&)>& shown) {
    ignore_write_signals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vexilo"));
    QApplication::setDesktopFileName(QStringLiteral("vexilo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vexilo/vexilo.svg")));

    MultInst guard;
    if (guard.another_copy()) {
        QObject::connect(&guard, &MultInst::answered, &app, &QApplication::quit,
                         Qt::QueuedConnection);
        return QApplication::exec();
    }

    MessageBoxHandler message_boxes;
    ScopedMessageHandler messages(message_boxes);

    // Caught from here on: the port dialog at start-up may already be waiting for the operator.
    EndingSignals endings([](int signal_number) {
        std::fprintf(stderr, "vexilo: %s: ending\n", EndingSignals::name(signal_number).c_str());
        QApplication::exit(kSignalBase + signal_number);
    });

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    Tport_form::set_default_device_lister([] { return list_serial_devices(); });
    Workbench workbench(arguments, std::make_unique<QtSerialPort>());
    TMainForm& main_form = workbench.main_form();
    guard.set_main_window(&main_form);
    int status = 0;
    if (EndingSignals::caught() == 0) {
        main_form.show();
        if (shown) QTimer::singleShot(0, &main_form, [&workbench, &shown] { shown(workbench); });
        status = QApplication::exec();
    }
    workbench.end_line();
    if (const int signal_number = EndingSignals::caught(); signal_number != 0) {
        status = kSignalBase + signal_number;
    }
    return status;
}

}  // namespace vexilo
