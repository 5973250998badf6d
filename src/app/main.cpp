// vexilo: the workbench window. One copy runs at a time; a later start brings the running
// copy's window to the front and ends.

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <memory>

#include "config/messages.h"
#include "dialogs/message_boxes.h"
#include "link/ui/portform.h"
#include "platform/qt_serial_port.h"
#include "platform/serial_devices.h"
#include "workbench/main_form.h"
#include "workbench/multinst.h"
#include "workbench/workbench.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vexilo"));
    QApplication::setDesktopFileName(QStringLiteral("vexilo"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vexilo/vexilo.svg")));

    vexilo::MultInst guard;
    if (guard.another_copy()) {
        QObject::connect(&guard, &vexilo::MultInst::answered, &app, &QApplication::quit,
                         Qt::QueuedConnection);
        return QApplication::exec();
    }

    vexilo::MessageBoxHandler message_boxes;
    vexilo::ScopedMessageHandler messages(message_boxes);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    vexilo::Tport_form::set_default_device_lister([] { return vexilo::list_serial_devices(); });
    vexilo::Workbench workbench(arguments, std::make_unique<vexilo::QtSerialPort>());
    vexilo::TMainForm& main_form = workbench.main_form();
    guard.set_main_window(&main_form);
    main_form.show();
    return QApplication::exec();
}
