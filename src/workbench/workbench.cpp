#include "workbench/workbench.h"

#include <QApplication>
#include <QEventLoop>
#include <QInputDialog>
#include <QMenu>

#include "audit/audit_recorder.h"
#include "dialogs/about_form.h"
#include "dialogs/comment_form.h"
#include "dialogs/copy_dialog.h"
#include "dialogs/editcomm_form.h"
#include "dialogs/folder_form.h"
#include "dialogs/new_object.h"
#include "dialogs/object_description.h"
#include "dialogs/yes_to_all.h"
#include "link/line_trace.h"
#include "link/operations.h"
#include "link/ui/nimbra_lib_window.h"
#include "link/ui/portform.h"
#include "settings/settings.h"
#include "workbench/history_window.h"
#include "workbench/line_trace_action.h"
#include "workbench/main_form.h"

namespace vexilo {
namespace {

// The stored port from the start: the first open tries it, not COM1. Wrapped so that the
// line can be traced.
std::unique_ptr<SerialPort> on_stored_port(std::unique_ptr<SerialPort> port) {
    std::string not_open_yet;
    port->set_port_number(read_port(), not_open_yet);
    return std::make_unique<TracedPort>(std::move(port));
}

}  // namespace

Workbench::Workbench(const QStringList& arguments, std::unique_ptr<SerialPort> port)
    : link_(std::make_unique<Tnimbra_lib>(on_stored_port(std::move(port)))),
      recorder_(std::make_unique<audit::AuditRecorder>()),
      operations_(std::make_unique<InstrumentOperations>(*link_)) {
    operations_->set_observer(recorder_.get());
    main_ = std::make_unique<TMainForm>(arguments, *operations_);
    TMainForm& main = *main_;
    // With "Ask For Reason" on, a change to the instrument asks why first; Cancel sends nothing.
    recorder_->set_reason_asker([&main](const OperationStart& start) -> std::optional<QString> {
        const bool required = audit::reason_mode() == audit::ReasonMode::Required;
        bool ok = false;
        const QString reason =
            QInputDialog::getText(&main, QStringLiteral("Reason"),
                                  QStringLiteral("Why %1%2?")
                                      .arg(QLatin1String(operation_name(start.kind)),
                                           required ? QString() : QStringLiteral(" (optional)")),
                                  QLineEdit::Normal, QString(), &ok);
        if (!ok) return std::nullopt;
        return reason;
    });
    // File > "History", above Exit.
    auto* file_menu = main.findChild<QMenu*>(QStringLiteral("File1"));
    auto* history = new QAction(QStringLiteral("History"), file_menu);
    history->setObjectName(QStringLiteral("history_action"));
    file_menu->insertAction(main.findChild<QAction*>(QStringLiteral("Exit1")), history);
    QObject::connect(history, &QAction::triggered, [this] { open_history(); });
    WorkbenchDialogs& d = main.dialogs;
    // The dialogs belong to the main window, so they open over it.
    d.object_description = new Tobject_description(&main);
    d.new_object = new Tnew_object(*main.edit_state.destination, &main);
    d.port_form = new Tport_form(*link_, &main);
    d.about_form = new Tabout_form(&main);
    d.yes_to_all = new Tyes_to_all(&main);

    link_window_ = std::make_unique<Tnimbra_lib_window>(*link_);
    link_window_->setAttribute(Qt::WA_ShowWithoutActivating);
    d.link_window = link_window_.get();
    link_->set_port_problem_handler(ask_with_port_form(*d.port_form));
    if (auto* options = main.findChild<QMenu*>(QStringLiteral("Options1"))) {
        new LineTraceAction(*options, *link_, static_cast<TracedPort&>(link_->port()), &main);
    }
    port_opened_ = link_->FormCreate();
    if (!port_opened_) main.set_status(kOfflineStatus);
    // A command that found no port (the operator left the dialog again) leaves the window
    // offline; the status line must not keep reading as if the command were under way, nor
    // let a send that went nowhere pass unremarked.
    link_->set_refusal_action([this, &main] {
        if (!link_->port().is_open()) main.set_status(kNotSentStatus);
    });

    d.copy_dialog = new Tcopy_dialog(&main);
    d.new_object->set_copy_dialog(d.copy_dialog);
    d.comment_form = new Tcomment_form(&main);
    d.editcommform = new Teditcommform(&main);
    d.folder_form = new Tfolder_form(&main);

    main.dialogs_created();
}

void Workbench::open_history() {
    if (history_ == nullptr) history_ = new HistoryWindow(recorder_->trail().path(), main_.get());
    history_->reload();
    history_->show();
    history_->raise();
}

void Workbench::end_line() {
    bool ended = false;
    QEventLoop loop;
    link_->shutdown([&] {
        ended = true;
        loop.quit();
    });
    if (!ended) loop.exec();
}

Workbench::~Workbench() {
    // The windows go before the link they show; the link itself ends the line's high speed.
    link_window_.reset();
    main_.reset();
    link_->set_status_sink({});
    link_->set_timeout_action({});
    link_->set_port_problem_handler({});
    link_->set_refusal_action({});
}

}  // namespace vexilo
