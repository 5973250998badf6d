#include "workbench/line_trace_action.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>

#include "config/messages.h"
#include "link/line_trace.h"
#include "link/nimbralib.h"
#include "settings/settings.h"

namespace vexilo {

LineTraceAction::LineTraceAction(QMenu& menu, Tnimbra_lib& link, TracedPort& port,
                                 QWidget* dialog_parent)
    : QObject(&menu), link_(link), port_(port) {
    action_ = menu.addAction(QStringLiteral("Trace the line..."));
    action_->setObjectName(QStringLiteral("trace_action"));
    action_->setCheckable(true);
    choose_ = [dialog_parent](const std::string& suggested) {
        return QFileDialog::getSaveFileName(
                   dialog_parent, QStringLiteral("Trace the line"),
                   QString::fromStdString(suggested),
                   QStringLiteral("Trace files (*.txt *.log);;All files (*)"), nullptr,
                   QFileDialog::DontConfirmOverwrite)
            .toStdString();
    };
    const std::string stored = read_text_setting(kTraceFileSetting, "");
    if (!stored.empty()) action_->setChecked(start(stored));
    connect(action_, &QAction::triggered, this, &LineTraceAction::toggled);
}

bool LineTraceAction::start(const std::string& path) {
    std::string error;
    if (!port_.start_file(path, error)) {
        show_error(error);
        return false;
    }
    link_.set_status("Tracing the line to " + path);
    return true;
}

void LineTraceAction::toggled(bool on) {
    if (!on) {
        port_.stop_file();
        store_text_setting(kTraceFileSetting, "");
        link_.set_status("The line is no longer traced");
        return;
    }
    const std::string path = choose_(read_text_setting(kTraceFileSetting, "vexilo-trace.txt"));
    const bool started = !path.empty() && start(path);
    action_->setChecked(started);
    if (started) store_text_setting(kTraceFileSetting, path);
}

}  // namespace vexilo
