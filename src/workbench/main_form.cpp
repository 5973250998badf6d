#include "workbench/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolTip>
#include <utility>

#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/text_fields.h"
#include "config/text_file.h"
#include "dialogs/about_form.h"
#include "dialogs/editcomm_form.h"
#include "dialogs/folder_form.h"
#include "dialogs/ui_helpers.h"
#include "link/ui/nimbra_lib_window.h"
#include "link/ui/portform.h"
#include "link/ui/progress_bar_sink.h"
#include "printing/print_listing.h"
#include "settings/settings.h"
#include "workbench/folder_tree.h"
#include "workbench/list_folder.h"
#include "workbench/plan_window.h"
#include "workbench/send_panel.h"

namespace vexilo {
namespace {

constexpr const char* kRootFolder = "Root Folder";
constexpr const char* kListFolder = "List Folder";
constexpr const char* kServiceSwitch = "/support";
constexpr const char* kLinkWindowSwitch = "KVX";
constexpr int kHintBand = 8;
constexpr int kHintReach = 100;

}  // namespace

// The application's hint hook: every hint of the program stays up for the same time. The file
// lists' hints are the window's own (descrip_hint).
class HintHook final : public QObject {
  public:
    HintHook(QWidget* own_1, QWidget* own_2) : own_1_(own_1), own_2_(own_2) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip || !watched->isWidgetType()) return false;
        if (watched == own_1_ || watched == own_2_) return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->toolTip().isEmpty()) return false;
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), widget->toolTip(), widget,
                           {}, TMainForm::kHintMs);
        return true;
    }

  private:
    QWidget* own_1_;
    QWidget* own_2_;
};

namespace {}  // namespace

TMainForm::TMainForm(const QStringList& arguments, InstrumentOperations& operations,
                     QWidget* parent)
    : QMainWindow(parent), operations_(operations), link_(operations.link()) {
    build_window();
    build_menus();
    build_list_keeping();
    FormCreate(arguments);
    edit_tab->set_services({&operations_, nullptr, [this] { return current_list_folder(); },
                            [this] { return send_changed_only_action->isChecked(); },
                            [this](const std::string& text) { send_stopped(text); }});
}

void TMainForm::dialogs_created() {
    edit_tab->set_dialogs(
        {dialogs.new_object, dialogs.yes_to_all, dialogs.comment_form, dialogs.object_description});
}

TMainForm::~TMainForm() = default;

void TMainForm::build_window() {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QLatin1String(kTitle));
    setWindowIcon(QIcon(QStringLiteral(":/vexilo/vexilo.svg")));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight - kStatusHeight);
    setCentralWidget(client);

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, kClientWidth, kClientHeight - kStatusHeight);
    send_tab = new SendPanel(SendPanel::Presentation::SendTab);
    edit_tab = new EditListsTab(edit_state);
    PageControl1->addTab(send_tab, QStringLiteral("Send objects to Nimbra"));
    PageControl1->addTab(edit_tab, QStringLiteral("Edit Object Lists"));

    send_panel = new SendPanel(SendPanel::Presentation::StandAlone, client);
    send_panel->setGeometry(0, 0, kClientWidth, kClientHeight - kStatusHeight);

    shape_line = new QFrame(client);
    shape_line->setObjectName(QStringLiteral("shape_line"));
    shape_line->setGeometry(0, 0, kClientWidth, 2);
    shape_line->setFrameShape(QFrame::HLine);
    shape_line->setFrameShadow(QFrame::Sunken);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(kStatusHeight);
    status_panel = new QLabel(StatusBar1);
    status_panel->setObjectName(QStringLiteral("status_panel"));
    StatusBar1->addWidget(status_panel, 1);
    setStatusBar(StatusBar1);

    for (SendPanel* panel : panels())
        panel->lists().viewport()->installEventFilter(this);
    connect(&send_tab->tree(), &FolderTree::selection_changed, this,
            &TMainForm::PTShellTree1Change);
    connect(&send_panel->tree(), &FolderTree::selection_changed, this,
            &TMainForm::PTShellTree2Change);
    connect(send_tab, &SendPanel::send_clicked, this, &TMainForm::send_modules_buttonClick);
    connect(send_panel, &SendPanel::send_clicked, this, &TMainForm::send_modules_button_1Click);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int page) {
        PageControl1Changing(current_page_);
        current_page_ = page;
        // The Edit menu works on the edit page's list, so only while that page is shown.
        if (Edit1 != nullptr) Edit1->setEnabled(PageControl1->widget(page) == edit_tab);
        if (PageControl1->widget(page) == send_tab) send_tabEnter();
    });

    // The client area is fixed; the window is as large as the menu, the client area and the
    // status line together.
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TMainForm::build_menus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    File1 = bar->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    printitem = File1->addAction(QStringLiteral("Print selected object list"));
    RemoveallobjectsfromNimbra1 =
        File1->addAction(QStringLiteral("Remove all objects from Nimbra"));
    RestartNimbra1 = File1->addAction(QStringLiteral("Restart Nimbra"));
    compare_action = File1->addAction(QStringLiteral("Compare with Nimbra"));
    compare_action->setObjectName(QStringLiteral("compare_action"));
    connect(compare_action, &QAction::triggered, this, &TMainForm::compare_with_nimbra);
    Options1 = File1->addMenu(QStringLiteral("&Options"));
    Options1->setObjectName(QStringLiteral("Options1"));
    Port = Options1->addAction(QStringLiteral("Serial &Port ..."));
    SelectObjectListFolder1 = Options1->addAction(QStringLiteral("Object List Folder ..."));
    send_changed_only_action = Options1->addAction(QStringLiteral("Send only changed objects"));
    send_changed_only_action->setObjectName(QStringLiteral("send_changed_only_action"));
    send_changed_only_action->setCheckable(true);
    send_changed_only_action->setChecked(read_int_setting(kSendChangedOnlySetting, 0) != 0);
    connect(send_changed_only_action, &QAction::triggered, this,
            &TMainForm::store_send_changed_only);
    // Held by the service, so that the edit tab's sends verify as well.
    verify_action = Options1->addAction(QStringLiteral("Verify after sending"));
    verify_action->setObjectName(QStringLiteral("verify_action"));
    verify_action->setCheckable(true);
    verify_action->setChecked(read_int_setting(kVerifyAfterSendingSetting, 0) != 0);
    operations_.set_verify_after_sending(verify_action->isChecked());
    connect(verify_action, &QAction::triggered, this, [this](bool checked) {
        store_int_setting(kVerifyAfterSendingSetting, checked ? 1 : 0);
        operations_.set_verify_after_sending(checked);
    });
    Exit1 = File1->addAction(QStringLiteral("E&xit"));
    Edit1 = bar->addMenu(QStringLiteral("&Edit"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->addActions({edit_tab->undo_action, edit_tab->redo_action});
    Edit1->addSeparator();
    Edit1->addAction(edit_tab->sort_action);
    Help1 = bar->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    About1 = Help1->addAction(QStringLiteral("&About"));

    // None of these keys is taken elsewhere in the window (Ctrl+Z and Ctrl+Y undo and redo on
    // the edit page, F5 reads the folder, the buttons answer to Alt and their letter).
    compare_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    printitem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    RestartNimbra1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R));
    SelectObjectListFolder1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    printitem->setObjectName(QStringLiteral("printitem"));
    RemoveallobjectsfromNimbra1->setObjectName(QStringLiteral("RemoveallobjectsfromNimbra1"));
    RestartNimbra1->setObjectName(QStringLiteral("RestartNimbra1"));
    Port->setObjectName(QStringLiteral("Port"));
    SelectObjectListFolder1->setObjectName(QStringLiteral("SelectObjectListFolder1"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    About1->setObjectName(QStringLiteral("About1"));

    connect(printitem, &QAction::triggered, this, &TMainForm::printitemClick);
    connect(RemoveallobjectsfromNimbra1, &QAction::triggered, this,
            &TMainForm::RemoveallobjectsfromNimbra1Click);
    connect(RestartNimbra1, &QAction::triggered, this, &TMainForm::RestartNimbra1Click);
    connect(Port, &QAction::triggered, this, &TMainForm::PortClick);
    connect(SelectObjectListFolder1, &QAction::triggered, this,
            &TMainForm::SelectObjectListFolder1Click);
    connect(Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
    connect(About1, &QAction::triggered, this, &TMainForm::About1Click);
}

// The file lists follow their folder on disk, F5 reads it again, and the description of a
// list can be edited from the keyboard as well as with the right mouse button.
void TMainForm::build_list_keeping() {
    show_hint = [](const QPoint& at, const QString& text, QWidget* widget, const QRect& band,
                   int ms) { QToolTip::showText(at, text, widget, band, ms); };
    folder_watcher_ = std::make_unique<ListFolderWatcher>(
        [this](const QStringList& names) { show_list_names(names); });
    refresh_action = new QAction(QStringLiteral("Refresh object lists"), this);
    refresh_action->setObjectName(QStringLiteral("refresh_action"));
    refresh_action->setShortcut(QKeySequence(Qt::Key_F5));
    refresh_action->setShortcutContext(Qt::WindowShortcut);
    addAction(refresh_action);
    connect(refresh_action, &QAction::triggered, this, &TMainForm::refresh_list_folder);

    description_action =
        new QAction(QStringLiteral("&Edit description of selected object list"), this);
    description_action->setObjectName(QStringLiteral("description_action"));
    File1->insertAction(RemoveallobjectsfromNimbra1, description_action);
    connect(description_action, &QAction::triggered, this, &TMainForm::edit_selected_description);
    send_tab->lists().installEventFilter(this);
}

void TMainForm::FormCreate(const QStringList& arguments) {
    tree_events_ = false;
    service_mode_ = false;
    show_link_window_ = false;
    printitem->setVisible(false);
    shape_line->setVisible(true);

    for (const QString& argument : arguments) {
        if (argument.compare(QLatin1String(kServiceSwitch), Qt::CaseInsensitive) == 0) {
            shape_line->setVisible(false);
            printitem->setVisible(true);
            service_mode_ = true;
        } else if (argument.compare(QLatin1String(kLinkWindowSwitch), Qt::CaseInsensitive) == 0) {
            show_link_window_ = true;
        }
    }

    if (read_text_setting(kRootFolder, "").empty()) {
        store_text_setting(kRootFolder, default_list_folder());
        store_text_setting(kListFolder, default_list_folder());
    }
    root_folder_ = read_text_setting(kRootFolder, "");
    for (SendPanel* panel : panels())
        panel->tree().set_base_folder(path_to_qstring(root_folder_));
    set_list_folder(read_text_setting(kListFolder, default_list_folder()), true);

    set_presentation();
    PageControl1->setCurrentWidget(send_tab);
    for (SendPanel* panel : panels())
        panel->show_changed_only(send_changed_only_action->isChecked());

    edit_tab->clear_lists();
    edit_state.reset();

    link_.set_status_sink([this](const std::string& text) { show_status(text); });
    link_.set_timeout_action([this] { not_responding(); });

    adjustSize();
    center_on_screen(*this);
}

void TMainForm::set_presentation() {
    shape_line->setVisible(!service_mode_);
    PageControl1->setVisible(service_mode_);
    send_panel->setVisible(!service_mode_);
    printitem->setVisible(service_mode_);
    description_action->setVisible(service_mode_);
    RemoveallobjectsfromNimbra1->setVisible(service_mode_);
    Edit1->menuAction()->setVisible(service_mode_);
    Edit1->setEnabled(PageControl1->currentWidget() == edit_tab);
    PageControl1->setTabVisible(PageControl1->indexOf(edit_tab), service_mode_);
    // The line sits above the panel, not under the hidden tab control.
    shape_line->raise();
}

bool TMainForm::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate) FormActivate();
    return handled;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted()) return;
    // The link window (KVX) and any open description window would otherwise keep the program
    // running, the port held, and the next start handing over to a copy that shows nothing.
    // Closing the link window activates this one once more: that must not show it again.
    show_link_window_ = false;
    if (dialogs.link_window != nullptr) dialogs.link_window->close();
    QCoreApplication::quit();
}

void TMainForm::FormActivate() {
    if (dialogs.link_window != nullptr) dialogs.link_window->setVisible(show_link_window_);
    link_.set_port_number(read_port());
    if (!hint_hook_) {
        hint_hook_ = std::make_unique<HintHook>(send_tab->lists().viewport(),
                                                send_panel->lists().viewport());
        qApp->installEventFilter(hint_hook_.get());
    }
    last_hovered_row = -2;
    tree_events_ = true;
}

void TMainForm::PageControl1Changing(int leaving_page) {
    printitem->setEnabled(leaving_page != 0);
}

// Every status text goes through the link, the program's one status line.
void TMainForm::set_status(const std::string& text) {
    link_.set_status(text);
}

void TMainForm::show_status(const std::string& text) {
    // Any other status means the stopped send is no longer the latest news.
    if (text != stopped_send_status_) stopped_send_status_.clear();
    status_panel->setText(to_qstring(text));
}

std::string TMainForm::status_text() const {
    return to_text(status_panel->text());
}

void TMainForm::not_responding() {
    show_error("The nimbra is not responding!");
    // Taken after the box: a late answer meanwhile said the stop again, with the new count.
    const std::string stopped = std::exchange(stopped_send_status_, {});
    set_status("The nimbra is not responding -- operation stopped");
    if (!stopped.empty()) set_status(stopped);
}

void TMainForm::send_stopped(const std::string& text) {
    set_status(text);
    stopped_send_status_ = text;
}

// Folder lists -------------------------------------------------------------------------

void TMainForm::set_list_folder(const std::string& folder, bool store) {
    current_list_folder_ = folder;
    const QString caption = path_to_qstring(shorten_middle(folder, kFolderLabelWidth));
    const QString pattern = path_to_qstring(list_path(std::string("*")));
    for (SendPanel* panel : panels()) {
        panel->show_folder(caption);
        fill_list_names(pattern, panel->lists());
    }
    folder_watcher_->watch(path_to_qstring(folder), pattern);
    if (store) {
        store_text_setting(kRootFolder, folder);
        store_text_setting(kListFolder, folder);
    }
}

void TMainForm::refresh_list_folder() {
    show_list_names(list_names(path_to_qstring(list_path(std::string("*")))));
}

void TMainForm::show_list_names(const QStringList& names) {
    for (SendPanel* panel : panels())
        update_list_names(names, panel->lists());
    // The row under the mouse may hold another list now.
    last_hovered_row = -2;
}

void TMainForm::fill_list_names(const QString& pattern, QListWidget& box) {
    vexilo::fill_list_names(pattern, box);
}

std::string TMainForm::list_path(const std::string& name) const {
    return list_path(path_to_qstring(name));
}

std::string TMainForm::list_path(const QString& name) const {
    return path_to_text(vexilo::list_path(path_to_qstring(current_list_folder_), name));
}

void TMainForm::PTShellTree1Change(const QString& path) {
    if (tree_events_) set_list_folder(path_to_text(path), false);
}

void TMainForm::PTShellTree2Change(const QString& path) {
    if (tree_events_) set_list_folder(path_to_text(path), false);
}

// Hints and descriptions ------------------------------------------------------------------

void TMainForm::build_list_hint(QListWidget& box, int x, int y) {
    last_mouse_row_position = y;
    const int row = box.indexAt(QPoint(x, y)).row();
    if (row == last_hovered_row) return;
    last_hovered_row = row;
    if (row < 0) {
        box.setToolTip({});
        return;
    }
    const QString name = box.item(row)->text();
    const std::string path = list_path(name);
    if (!file_exists(path)) {
        box.setToolTip({});
        return;
    }
    temp_box = read_text_lines(path).value_or(std::vector<std::string>{});
    box.setToolTip(list_hint_text(name, temp_box));
}

void TMainForm::descrip_hint(QListWidget& box, QWidget& viewport, const QPoint& global_position) {
    const QString text = box.toolTip();
    if (text.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    // The hint stays while the mouse stays near the row it describes; leaving the band
    // withdraws it, and resting over another row builds that row's hint. The band runs across
    // the whole row and beyond: a hint shown over the right half of a name must not vanish at
    // the first move.
    const QRect band(QPoint(-kHintReach, last_mouse_row_position - kHintBand),
                     QPoint(viewport.width() + kHintReach, last_mouse_row_position + kHintBand));
    const QString shown = QStringLiteral("<p style='white-space:pre'>") +
                          text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>")) +
                          QStringLiteral("</p>");
    show_hint(global_position, shown, &viewport, band, kHintMs);
}

SendPanel* TMainForm::panel_of_viewport(QObject* watched) const {
    for (SendPanel* panel : panels()) {
        if (watched == panel->lists().viewport()) return panel;
    }
    return nullptr;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
            if (SendPanel* panel = panel_of_viewport(watched)) {
                const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
                build_list_hint(panel->lists(), at.x(), at.y());
            }
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            // The right button opens a description; it must not change the lists selected
            // for sending.
            if (panel_of_viewport(watched) != nullptr &&
                static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
                return true;
            break;
        case QEvent::MouseButtonRelease:
            // Only the send tab's list edits descriptions.
            if (watched == send_tab->lists().viewport()) {
                auto* mouse = static_cast<QMouseEvent*>(event);
                file_boxMouseUp(mouse->button(), mouse->position().toPoint());
            }
            break;
        case QEvent::KeyPress:
            // The keyboard's ways to a context menu open the description of the list.
            if (watched == &send_tab->lists()) {
                const auto* key = static_cast<QKeyEvent*>(event);
                const bool menu_key =
                    key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
                const bool shift_f10 =
                    key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
                if (menu_key || shift_f10) {
                    edit_selected_description();
                    return true;
                }
            }
            break;
        case QEvent::ContextMenu:
            // Already answered by the key press or the right button's release.
            if (watched == &send_tab->lists() || watched == send_tab->lists().viewport()) {
                return true;
            }
            break;
        case QEvent::ToolTip:
            if (SendPanel* panel = panel_of_viewport(watched); panel && hint_hook_) {
                QListWidget& box = panel->lists();
                descrip_hint(box, *box.viewport(), static_cast<QHelpEvent*>(event)->globalPos());
                return true;
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::file_boxMouseUp(Qt::MouseButton button, const QPoint& position) {
    if (button != Qt::RightButton) return;
    edit_description(send_tab->lists().indexAt(position).row());
}

void TMainForm::edit_selected_description() {
    const QListWidget& file_box = send_tab->lists();
    int row = file_box.currentRow();
    if (row < 0 || !file_box.item(row)->isSelected()) {
        const QList<QListWidgetItem*> selected = file_box.selectedItems();
        if (!selected.isEmpty()) row = file_box.row(selected.front());
    }
    if (row < 0) {
        show_error("No object list selected!");
        return;
    }
    edit_description(row);
}

void TMainForm::edit_description(int row) {
    const QListWidget& file_box = send_tab->lists();
    if (row < 0 || row >= file_box.count() || dialogs.editcommform == nullptr) return;
    const std::string path = list_path(file_box.item(row)->text());
    std::vector<std::string> comments;
    // A file that exists but cannot be read is not offered for editing: accepting an empty
    // memo would replace a description nobody saw.
    if (file_exists(path) && !read_comments(path, comments)) return;
    if (dialogs.editcommform->edit(comments) && file_exists(path) &&
        replace_comments(dialogs.editcommform->comment_lines(), path)) {
        set_status("Saved the description of " + to_text(file_box.item(row)->text()));
    }
}

// Sending -------------------------------------------------------------------------------

void TMainForm::send_modules_buttonClick() {
    send_lists(*send_tab);
}

void TMainForm::send_modules_button_1Click() {
    send_lists(*send_panel);
}

void TMainForm::send_lists(SendPanel& panel) {
    if (nothing_selected(panel.lists(), "No modules selected!")) return;
    ProgressBarSink* sink = &panel.progress();
    // The lists are the ones the operator sent, in the folder shown then, even when the
    // selection or the folder changes while the instrument's configuration is on its way.
    InstrumentOperations::SendOptions options;
    options.changed_only = send_changed_only_action->isChecked();
    options.reply_progress = sink;
    options.queue_progress = sink;
    const auto stopped = [this, sink](const OperationResult& result) {
        if (!result.done()) sink->reset();
        if (result.send_stopped()) send_stopped(result.message);
    };
    options.late_answer = stopped;
    // The lists by name, in the order they go out.
    std::vector<std::string> names;
    for (int row = 0; row < panel.lists().count(); ++row) {
        if (panel.lists().item(row)->isSelected())
            names.push_back(to_text(panel.lists().item(row)->text()));
    }
    operations_.send_lists(selected_list_paths(panel.lists()), options,
                           [this, names, stopped](const OperationResult& result) {
                               if (result.done() && result.total > 0)
                                   set_status(download_summary(result, names));
                               stopped(result);
                           });
}

void TMainForm::send_tabEnter() {
    send_tab->lists().update();
}

// Menu commands ---------------------------------------------------------------------------

void TMainForm::About1Click() {
    if (dialogs.about_form != nullptr) dialogs.about_form->show_about();
}

void TMainForm::PortClick() {
    set_status("Changing serial port");
    if (dialogs.port_form != nullptr) dialogs.port_form->exec();
    set_status("");
}

void TMainForm::SelectObjectListFolder1Click() {
    set_status("Select object list folder");
    if (dialogs.folder_form != nullptr && dialogs.folder_form->choose()) {
        const QString folder = path_to_qstring(dialogs.folder_form->folder());
        for (SendPanel* panel : panels())
            panel->tree().set_base_folder(folder);
    }
    set_status("");
}

void TMainForm::Exit1Click() {
    set_status("Exit application");
    close();
}

void TMainForm::RestartNimbra1Click() {
    // Nothing waits for the restart's "@".
    operations_.restart({});
}

void TMainForm::RemoveallobjectsfromNimbra1Click() {
    if (!ask_yes_no("Do you really want to remove all objects from the Nimbra?")) return;
    operations_.remove_all({});
}

std::vector<std::string> TMainForm::selected_list_paths(const QListWidget& box) const {
    std::vector<std::string> paths;
    for (int row = 0; row < box.count(); ++row) {
        if (box.item(row)->isSelected()) paths.push_back(list_path(box.item(row)->text()));
    }
    return paths;
}

void TMainForm::printitemClick() {
    print_selected_lists(selected_list_paths(send_tab->lists()), this,
                         [this](const std::string& text) { link_.set_status(text); });
}

// Plan and changed-only send ---------------------------------------------------------------

void TMainForm::compare_with_nimbra() {
    SendPanel& panel = service_mode_ ? *send_tab : *send_panel;
    if (nothing_selected(panel.lists(), "No modules selected!")) return;
    operations_.plan(selected_list_paths(panel.lists()), &panel.progress(),
                     [this, &panel](const OperationResult& result) {
                         if (!result.done()) {
                             panel.progress().reset();
                             return;
                         }
                         if (plan_window_ == nullptr) plan_window_ = new PlanWindow(this);
                         plan_window_->show_plan(result.plan);
                         plan_window_->show();
                         plan_window_->raise();
                     });
}

void TMainForm::store_send_changed_only() {
    store_int_setting(kSendChangedOnlySetting, send_changed_only_action->isChecked() ? 1 : 0);
    for (SendPanel* panel : panels())
        panel->show_changed_only(send_changed_only_action->isChecked());
}

}  // namespace vexilo
