#pragma once
// The "Edit Object Lists" page of the service presentation: build a new object list from a
// source (an object list file or the instrument's configuration), edit it and save or send it.
//
// Line i of new_list_box always shows destination object i, and line i of object_box source
// object i; every command keeps the lines and the objects in step.

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "edit_state.h"
#include "list_file_chooser.h"

class QAction;
class QLabel;
class QListWidget;
class QUndoStack;
class QProgressBar;
class QPushButton;

namespace vexilo {

class CarefulAdd;
class InstrumentOperations;
class ProgressBarSink;
class Tcomment_form;
class Tnew_object;
class Tobject_description;
class Tyes_to_all;

// The windows the page opens; each one missing is made by the page when first needed. The
// new object dialog must work on the page's destination.
struct EditDialogs {
    Tnew_object* new_object = nullptr;
    Tyes_to_all* yes_to_all = nullptr;
    Tcomment_form* comment_form = nullptr;
    Tobject_description* object_description = nullptr;
};

// What the page needs of the rest of the program. Without the instrument service the page
// reads list files itself and the instrument's commands do nothing; without a chooser it
// shows the file dialogs itself.
struct EditServices {
    InstrumentOperations* operations = nullptr;
    ListFileChooser* files = nullptr;
    std::function<std::string()> list_folder;  // where the file dialogs start
    std::function<bool()> changed_only;        // sends leave out what the instrument holds
    // A send stopped part-way; the text says how far it got.
    std::function<void(const std::string& text)> send_stopped;
};

class EditListsTab final : public QWidget {
    Q_OBJECT
  public:
    // The main window makes the page before the dialogs and the link exist; they are handed
    // over with set_dialogs and set_services once they do.
    explicit EditListsTab(EditState& state, QWidget* parent = nullptr);
    ~EditListsTab() override;

    void set_dialogs(const EditDialogs& dialogs);
    void set_services(EditServices services);
    // Another chooser of list files (nullptr: the file dialogs again).
    void set_file_chooser(ListFileChooser* files);

    // Empties both object lists and the state (the window's creation does this once).
    void clear_lists();

    EditState& state() { return state_; }

    QLabel* source_list_label;
    QListWidget* object_box;
    QPushButton* get_objects_button;
    QPushButton* get_from_nimbra_button;
    QProgressBar* load_progress;
    QPushButton* add_button;
    QPushButton* add_all_button;
    QPushButton* transfer_classes_button;
    QLabel* module_label;
    QListWidget* new_list_box;
    QPushButton* save_button;
    QPushButton* send_button;
    QPushButton* new_object_button;
    QPushButton* delete_button;
    QProgressBar* send_progress;
    QPushButton* up_button;
    QPushButton* down_button;

    // The Edit menu's commands; their shortcuts work while the page has the focus. Undo and
    // Redo step through the changes of the list (add, remove, move, new or edited object,
    // transferred classes, sorting), each restoring the list, its values and its lines.
    QAction* undo_action;
    QAction* redo_action;
    // Sorts the list by class, then name; an object that another refers to (an Atom field)
    // goes before it, so the sorted list can be sent in its order.
    QAction* sort_action;
    QUndoStack& undo_stack() { return *undo_; }

    void get_objects_buttonClick();
    void get_from_nimbra_buttonClick();
    void object_boxDblClick();
    void add_buttonClick();
    void add_all_buttonClick();
    void transfer_classes_buttonClick();
    void new_object_buttonClick();
    void new_list_boxDblClick();
    void delete_buttonClick();
    void up_buttonClick();
    void down_buttonClick();
    void save_buttonClick();
    void send_buttonClick();
    void sort_list();

    // Reads the file into the source; on success object_box shows its objects.
    bool get_and_show_config(const std::string& path);
    void make_new_object(int index);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Snapshot;
    class ListChange;
    std::unique_ptr<Snapshot> snapshot() const;
    void restore(const Snapshot& snapshot);
    // Puts the change from `before` to the list as it is now on the undo stack.
    void record(const QString& text, std::unique_ptr<Snapshot> before);

    void transfer_classes();
    // Runs the careful add over the lines of object_box that `take` accepts.
    void add_objects(const std::function<bool(int line)>& take);
    bool add_carefully(CarefulAdd& careful, int source_index);
    void add_to_dest_list();
    void refresh_dest_line(int index);
    void switch_objects(int offset);
    void show_source_name(const std::string& label_text);
    std::string list_folder() const;
    void set_status(const std::string& text);
    Tnew_object& new_object();
    Tyes_to_all& yes_to_all();
    Tcomment_form& comment_form();
    Tobject_description& object_description();

    EditState& state_;
    EditDialogs dialogs_;
    EditServices services_;
    std::unique_ptr<ListFileChooser> own_files_;
    std::unique_ptr<ProgressBarSink> load_sink_;
    std::unique_ptr<ProgressBarSink> send_sink_;
    std::unique_ptr<QUndoStack> undo_;
    int refused_ = 0;
    int added_ = 0;
    int overwritten_ = 0;
    std::string first_refusal_;
    // Comments typed at a declined save, by the file they were meant for (this run only).
    std::map<std::string, std::vector<std::string>> unsaved_comments_;
    // The list name of the file the list was last saved to; sends name it.
    std::string saved_name_;
};

}  // namespace vexilo
