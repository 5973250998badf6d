// One window session against an instrument: the operator's whole send of a list, then the
// same list sent again with "Send only changed objects". Prints the seconds of each, from the
// click to the last status, as "whole_s=… resend_s=…" for line_rate.py.
//
//   bench_resend_session DEVICE LIST_FOLDER LIST_NAME COUNT

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>

#include "config/messages.h"
#include "platform/qt_serial_port.h"
#include "settings/settings.h"
#include "workbench/main_form.h"
#include "workbench/workbench.h"

namespace {

// Messages on stderr instead of boxes: nobody is there to close them.
class PrintedMessages final : public vexilo::MessageHandler {
  public:
    void show_error(const std::string& text) override {
        std::fprintf(stderr, "error: %s\n", text.c_str());
        failed = true;
    }
    void show_info(const std::string& text) override {
        std::fprintf(stderr, "info: %s\n", text.c_str());
    }
    bool ask_yes_no(const std::string&) override { return false; }
    bool failed = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_resend_session DEVICE LIST_FOLDER LIST_NAME COUNT\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string device = argv[1];
    const std::string count = argv[4];
    vexilo::store_text_setting("Root Folder", argv[2]);
    vexilo::store_text_setting("List Folder", argv[2]);
    vexilo::store_int_setting("Send Only Changed", 0);
    PrintedMessages messages;
    vexilo::ScopedMessageHandler scope(messages);

    vexilo::Workbench workbench(
        {}, std::make_unique<vexilo::QtSerialPort>([device](int) { return device; }));
    if (!workbench.port_opened()) return 1;
    vexilo::TMainForm& form = workbench.main_form();
    std::string status;
    workbench.link().set_status_sink([&status](const std::string& text) { status = text; });
    auto* lists = form.findChild<QListWidget*>(QStringLiteral("file_box_1"));
    const auto items = lists->findItems(QString::fromUtf8(argv[3]), Qt::MatchExactly);
    if (items.size() != 1) {
        std::fprintf(stderr, "bench_resend_session: no list %s\n", argv[3]);
        return 1;
    }
    items.front()->setSelected(true);

    // Clicks Send and runs events until the status reads `done` (or a message fails it).
    const auto send = [&](const std::string& done) {
        QElapsedTimer clock;
        clock.start();
        form.findChild<QPushButton*>(QStringLiteral("send_modules_button_1"))->click();
        while (status != done && !messages.failed && clock.elapsed() < 600000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return status == done ? clock.nsecsElapsed() / 1e9 : -1.0;
    };
    const double whole = send(count + " objects downloaded");
    form.findChild<QAction*>(QStringLiteral("send_changed_only_action"))->trigger();
    const double resend = send("0 objects downloaded, " + count + " already in the Nimbra");
    if (whole < 0 || resend < 0) {
        std::fprintf(stderr, "bench_resend_session: the sends did not end as expected (%s)\n",
                     status.c_str());
        return 1;
    }
    std::printf("whole_s=%.6f resend_s=%.6f\n", whole, resend);
    return 0;
}
