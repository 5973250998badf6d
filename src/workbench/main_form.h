#pragma once
// The main window: the operator presentation (one send panel) or, with "/support", the
// service presentation (a send tab and an edit tab, and two more menu commands). It owns the
// folder panels, the status line and the editing state, and runs the menu commands.

#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/nimbralib.h"
#include "link/operations.h"
#include "workbench/edit_lists_tab.h"
#include "workbench/edit_state.h"

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QStatusBar;
class QTabWidget;

namespace vexilo {

// The option "Send only changed objects" under the main key: 1 on, 0 (the default) off.
inline constexpr const char* kSendChangedOnlySetting = "Send Only Changed";
// Options menu: every send reads the configuration back and compares (off by default).
inline constexpr const char* kVerifyAfterSendingSetting = "Verify After Sending";

// The edit tab's header declares the dialogs it shares.
class HintHook;
class ListFolderWatcher;
class PlanWindow;
class SendPanel;
class Tabout_form;
class Tcopy_dialog;
class Teditcommform;
class Tfolder_form;
class Tnimbra_lib_window;
class Tport_form;

// The windows created after the main window, in the start-up order; any may be missing.
struct WorkbenchDialogs {
    Tobject_description* object_description = nullptr;
    Tnew_object* new_object = nullptr;
    Tport_form* port_form = nullptr;
    Tabout_form* about_form = nullptr;
    Tyes_to_all* yes_to_all = nullptr;
    Tnimbra_lib_window* link_window = nullptr;
    Tcopy_dialog* copy_dialog = nullptr;
    Tcomment_form* comment_form = nullptr;
    Teditcommform* editcommform = nullptr;
    Tfolder_form* folder_form = nullptr;
};

class TMainForm final : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 596;
    static constexpr int kClientHeight = 370;
    static constexpr int kStatusHeight = 20;
    static constexpr int kHintMs = 9000;
    static constexpr int kFolderLabelWidth = 60;
    static constexpr const char* kTitle = "NIMBRA Vexilo";

    // Runs FormCreate with the command-line arguments (without the program's name). The link
    // under the instrument service exists already; it opens its port later, when its window
    // is created.
    TMainForm(const QStringList& arguments, InstrumentOperations& operations,
              QWidget* parent = nullptr);
    ~TMainForm() override;

    // The windows created after this one; dialogs_created hands the edit tab its own.
    WorkbenchDialogs dialogs;
    void dialogs_created();
    Tnimbra_lib& link() { return link_; }

    bool service_mode() const { return service_mode_; }
    bool show_link_window() const { return show_link_window_; }
    bool tree_events_enabled() const { return tree_events_; }
    const std::string& root_folder() const { return root_folder_; }
    const std::string& current_list_folder() const { return current_list_folder_; }

    EditState edit_state;
    int last_hovered_row = -2;
    int last_mouse_row_position = 0;
    std::vector<std::string> temp_box;  // scratch lines of the hint being built

    // The status line's text; every status of the program goes through the link to here.
    // Sets the status line through the link (its status sink writes the panel).
    void set_status(const std::string& text);
    void show_status(const std::string& text);
    std::string status_text() const;

    // Makes the folder current, shows it in both folder captions and refills both file lists;
    // with store, "Root Folder" and "List Folder" are both stored with it.
    void set_list_folder(const std::string& folder, bool store);
    // Reads the current list folder again into both file lists, keeping the selection where
    // the names remain; the folder's changes on disk do this by themselves.
    void refresh_list_folder();
    // Brings both file lists to the names of the current list folder, row by row.
    void show_list_names(const QStringList& names);
    void fill_list_names(const QString& pattern, QListWidget& box);
    // The current list folder, a separator, the name and ".nol"; "*" gives the pattern of
    // every object list file there.
    std::string list_path(const std::string& name) const;
    std::string list_path(const QString& name) const;

    // Sets the box's hint to the description of the row under the mouse.
    void build_list_hint(QListWidget& box, int x, int y);
    // Shows a file list's hint: at the mouse, kept while the mouse stays in the band (in the
    // widget's coordinates), for at most ms milliseconds. QToolTip, unless a test looks.
    std::function<void(const QPoint& at, const QString& text, QWidget* widget, const QRect& band,
                       int ms)>
        show_hint;
    // Sends the selected lists of the panel, its bar following the progress.
    void send_lists(SendPanel& panel);

    // Event handlers.
    void FormActivate();
    void PageControl1Changing(int leaving_page);
    void About1Click();
    void PortClick();
    void SelectObjectListFolder1Click();
    void Exit1Click();
    void RestartNimbra1Click();
    void RemoveallobjectsfromNimbra1Click();
    void printitemClick();
    // The plan of the selected lists against the instrument, in the plan window.
    void compare_with_nimbra();
    // "Send only changed objects" is the operator's choice across runs.
    void store_send_changed_only();
    void PTShellTree1Change(const QString& path);
    void PTShellTree2Change(const QString& path);
    void file_boxMouseUp(Qt::MouseButton button, const QPoint& position);
    // The description of the list in the row of file_box, in the comment editing dialog.
    void edit_description(int row);
    // The File menu's item and the keyboard's context-menu keys on file_box: the current
    // row when it is selected, else the first selected one.
    void edit_selected_description();
    void send_modules_buttonClick();
    void send_modules_button_1Click();
    void send_tabEnter();
    // The link's time-out action.
    void not_responding();
    // A send stopped before its end; the text says how far it got. It stays the status line's
    // last word, also after the not-responding handler that may follow at once.
    void send_stopped(const std::string& text);

  protected:
    bool event(QEvent* event) override;
    // Closing the main window ends the program, whatever other windows are open.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Controls, named as the window's parts are known.
    QFrame* shape_line;
    QTabWidget* PageControl1;
    SendPanel* send_tab;    // the service presentation's send tab
    SendPanel* send_panel;  // the operator presentation's stand-alone send panel
    EditListsTab* edit_tab;
    QStatusBar* StatusBar1;
    QLabel* status_panel;

    QMenu* File1;
    QAction* printitem;
    QAction* RemoveallobjectsfromNimbra1;
    QAction* RestartNimbra1;
    QAction* compare_action;
    QMenu* Options1;
    QAction* Port;
    QAction* send_changed_only_action;
    QAction* verify_action;  // Options: "Verify after sending"
    QAction* SelectObjectListFolder1;
    QAction* Exit1;
    QMenu* Edit1 = nullptr;  // the edit page's commands (service presentation)
    QMenu* Help1;
    QAction* About1;
    QAction* description_action;  // File menu: edit the description of the selected list
    QAction* refresh_action;      // F5: read the list folder again

    std::vector<SendPanel*> panels() const { return {send_tab, send_panel}; }
    SendPanel* panel_of_viewport(QObject* watched) const;
    // The selected lists' paths, top to bottom, in the folder shown now.
    std::vector<std::string> selected_list_paths(const QListWidget& box) const;
    void build_window();
    void build_menus();
    void build_list_keeping();
    void FormCreate(const QStringList& arguments);
    void set_presentation();
    void descrip_hint(QListWidget& box, QWidget& viewport, const QPoint& global_position);

    InstrumentOperations& operations_;
    Tnimbra_lib& link_;
    PlanWindow* plan_window_ = nullptr;
    bool service_mode_ = false;
    bool show_link_window_ = false;
    bool tree_events_ = false;
    std::unique_ptr<HintHook> hint_hook_;
    std::unique_ptr<ListFolderWatcher> folder_watcher_;
    int current_page_ = 0;
    std::string root_folder_;
    std::string current_list_folder_;
    std::string stopped_send_status_;
};

}  // namespace vexilo
