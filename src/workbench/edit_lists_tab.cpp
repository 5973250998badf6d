#include "edit_lists_tab.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QUndoCommand>
#include <QUndoStack>
#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

#include "caption_button.h"
#include "config/conversion.h"
#include "config/list_loader.h"
#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_fields.h"
#include "config/value_store.h"
#include "dialogs/comment_form.h"
#include "dialogs/new_object.h"
#include "dialogs/object_description.h"
#include "dialogs/ui_helpers.h"
#include "dialogs/yes_to_all.h"
#include "link/operations.h"
#include "link/ui/progress_bar_sink.h"
#include "workbench/list_folder.h"
#include "workbench/send_panel.h"

namespace vexilo {
namespace {

constexpr int kLabelWidth = 48;  // characters of a name the labels show

// show_objects fills the box through this.
class ListWidgetLines final : public LineList {
  public:
    explicit ListWidgetLines(QListWidget& box) : box_(box) {}
    void clear() override { box_.clear(); }
    void add(std::string line) override { box_.addItem(to_qstring(line)); }

  private:
    QListWidget& box_;
};

// A path as the labels show it, shortened in the middle.
QString shortened_name(const std::string& text) {
    return to_qstring(shorten_middle(to_text(path_to_qstring(text)), kLabelWidth));
}

bool path_exists(const std::string& path) {
    return QFileInfo::exists(path_to_qstring(path));
}

QPushButton* make_button(QWidget* parent, const char* name, const char* caption, int x, int y,
                         int width = 173, int height = 25) {
    auto* button = new CaptionButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(x, y, width, height);
    return button;
}

QListWidget* make_list(QWidget* parent, const char* name, int x, int y, int width, int height) {
    auto* box = new QListWidget(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(x, y, width, height);
    box->setSelectionMode(QAbstractItemView::ExtendedSelection);
    box->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return box;
}

QProgressBar* make_progress(QWidget* parent, const char* name, int x, int y) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setGeometry(x, y, 173, 16);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QLabel* make_label(QWidget* parent, const char* name, const QString& text, int x, int y,
                   int width) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(x, y, width, 17);
    return label;
}

int compare_names(std::string_view a, std::string_view b) {
    return QString::fromLatin1(a.data(), static_cast<qsizetype>(a.size()))
        .compare(QString::fromLatin1(b.data(), static_cast<qsizetype>(b.size())),
                 Qt::CaseInsensitive);
}

// The list's objects by class name, then by name (letter case aside), an equal pair keeping
// its order; then every object that an Atom field of another names is moved up before it, as
// the instrument takes a reference only to an object it holds already. A ring of references
// can never be sent in one order; it keeps the sorted one.
std::vector<int> sorted_order(const Configuration& list) {
    std::vector<int> by_name(static_cast<std::size_t>(list.object_count));
    for (int i = 0; i < list.object_count; ++i)
        by_name[static_cast<std::size_t>(i)] = i;
    const auto class_name = [&list](int object) {
        const int c = list.objects[object].class_index;
        return c >= 0 && c < list.class_count ? text_of(list.classes[c].name) : std::string_view();
    };
    std::stable_sort(by_name.begin(), by_name.end(), [&](int a, int b) {
        if (const int classes = compare_names(class_name(a), class_name(b)); classes != 0)
            return classes < 0;
        return compare_names(text_of(list.objects[a].name), text_of(list.objects[b].name)) < 0;
    });

    enum class Mark { None, Visiting, Done };
    std::vector<Mark> marks(by_name.size(), Mark::None);
    std::vector<int> order;
    order.reserve(by_name.size());
    const std::function<void(int)> place = [&](int object) {
        if (marks[static_cast<std::size_t>(object)] != Mark::None) return;
        marks[static_cast<std::size_t>(object)] = Mark::Visiting;
        const int c = list.objects[object].class_index;
        if (c >= 0 && c < list.class_count) {
            const ClassRecord& cls = list.classes[c];
            for (int f = 0; f < cls.field_count; ++f) {
                if (cls.fields[f].kind != FieldKind::Atom) continue;
                const int target = find_object(list, get_text_value(list, list.objects[object], f));
                if (target >= 0 && target < list.object_count && target != object) place(target);
            }
        }
        marks[static_cast<std::size_t>(object)] = Mark::Done;
        order.push_back(object);
    };
    for (const int object : by_name)
        place(object);
    return order;
}

}  // namespace

// The list as it stood: its objects and values, its classes, its lines' selection.
struct EditListsTab::Snapshot {
    std::unique_ptr<Configuration> destination;
    bool needs_classes = true;
    QString classes_label;
    int current_row = -1;
    std::vector<int> selected;
};

// One change of the list. Pushing it does nothing (the change is made already); undo and redo
// put the list back as it stood before or after.
class EditListsTab::ListChange final : public QUndoCommand {
  public:
    ListChange(EditListsTab& tab, const QString& text, std::unique_ptr<Snapshot> before,
               std::unique_ptr<Snapshot> after)
        : QUndoCommand(text), tab_(tab), before_(std::move(before)), after_(std::move(after)) {}
    void undo() override {
        tab_.restore(*before_);
        tab_.set_status("Undone: " + to_text(text()));
    }
    void redo() override {
        if (std::exchange(pushed_, false)) return;
        tab_.restore(*after_);
        tab_.set_status("Redone: " + to_text(text()));
    }

  private:
    EditListsTab& tab_;
    std::unique_ptr<Snapshot> before_;
    std::unique_ptr<Snapshot> after_;
    bool pushed_ = true;
};

std::unique_ptr<EditListsTab::Snapshot> EditListsTab::snapshot() const {
    auto taken = std::make_unique<Snapshot>();
    taken->destination = std::make_unique<Configuration>(*state_.destination);
    taken->needs_classes = state_.destination_needs_classes;
    taken->classes_label = module_label->text();
    taken->current_row = new_list_box->currentRow();
    for (int i = 0; i < new_list_box->count(); ++i) {
        if (new_list_box->item(i)->isSelected()) taken->selected.push_back(i);
    }
    return taken;
}

void EditListsTab::restore(const Snapshot& taken) {
    // The new object dialog holds the destination: it is overwritten in place.
    *state_.destination = *taken.destination;
    state_.destination_needs_classes = taken.needs_classes;
    module_label->setText(taken.classes_label);
    ListWidgetLines lines(*new_list_box);
    show_objects(*state_.destination, lines);
    if (taken.current_row < new_list_box->count()) {
        new_list_box->setCurrentRow(taken.current_row, QItemSelectionModel::NoUpdate);
    }
    for (const int row : taken.selected) {
        if (row < new_list_box->count()) new_list_box->item(row)->setSelected(true);
    }
}

void EditListsTab::record(const QString& text, std::unique_ptr<Snapshot> before) {
    undo_->push(new ListChange(*this, text, std::move(before), snapshot()));
}

EditListsTab::EditListsTab(EditState& state, QWidget* parent)
    : QWidget(parent), state_(state), own_files_(std::make_unique<ListFileDialogs>(this)) {
    services_.files = own_files_.get();
    setObjectName(QStringLiteral("edit_tab"));
    setMinimumSize(596, 320);
    // The places and sizes were laid out for an 8 point font.
    QFont small = font();
    if (small.pointSizeF() > 8) small.setPointSizeF(8);
    setFont(small);

    source_list_label =
        make_label(this, "source_list_label", QStringLiteral("Objects"), 12, 4, 285);
    object_box = make_list(this, "object_box", 12, 32, 173, 197);
    get_objects_button =
        make_button(this, "get_objects_button", "Get Object List from F&ile     ", 12, 237);
    get_from_nimbra_button =
        make_button(this, "get_from_nimbra_button", "Get Object List from &Nimbra     ", 12, 268);
    load_progress = make_progress(this, "load_progress", 12, 300);

    add_button = make_button(this, "add_button", "Add selected &Objects", 192, 34, 105, 41);
    add_all_button = make_button(this, "add_all_button", "&Add all objects", 192, 81, 105, 41);
    transfer_classes_button =
        make_button(this, "transfer_classes_button", "&Transfer classes", 192, 128, 105, 41);

    module_label = make_label(this, "module_label", QString(), 305, 4, 276);
    new_list_box = make_list(this, "new_list_box", 305, 32, 173, 137);
    save_button = make_button(this, "save_button", "Save Object &List in File         ", 305, 176);
    send_button = make_button(this, "send_button", "&Send selected Objects to Nimbra", 305, 207);
    new_object_button =
        make_button(this, "new_object_button", "Add a Ne&w Object to the list  ", 305, 237);
    delete_button = make_button(this, "delete_button", "&Remove selected Objects    ", 305, 268);
    send_progress = make_progress(this, "send_progress", 305, 300);

    // Each button has a mnemonic of its own, and none is taken by the menu bar (Alt+F, Alt+H).
    up_button = make_button(this, "up_button", "Move object &Up", 483, 42, 105, 43);
    down_button = make_button(this, "down_button", "Move object &Down", 483, 96, 105, 43);

    undo_ = std::make_unique<QUndoStack>();
    // Each step holds two copies of the list (half a megabyte): enough to take back a slip.
    undo_->setUndoLimit(20);
    undo_action = undo_->createUndoAction(this, QStringLiteral("&Undo"));
    undo_action->setObjectName(QStringLiteral("undo_action"));
    undo_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_action = undo_->createRedoAction(this, QStringLiteral("&Redo"));
    redo_action->setObjectName(QStringLiteral("redo_action"));
    redo_action->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    sort_action = new QAction(QStringLiteral("&Sort list by class and name"), this);
    sort_action->setObjectName(QStringLiteral("sort_action"));
    connect(sort_action, &QAction::triggered, this, &EditListsTab::sort_list);
    for (QAction* action : {undo_action, redo_action}) {
        // Only while the page has the focus: the send page's keys are not the list's.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }

    load_sink_ = std::make_unique<ProgressBarSink>(*load_progress);
    send_sink_ = std::make_unique<ProgressBarSink>(*send_progress);

    const std::pair<QPushButton*, void (EditListsTab::*)()> handlers[] = {
        {get_objects_button, &EditListsTab::get_objects_buttonClick},
        {get_from_nimbra_button, &EditListsTab::get_from_nimbra_buttonClick},
        {add_button, &EditListsTab::add_buttonClick},
        {add_all_button, &EditListsTab::add_all_buttonClick},
        {transfer_classes_button, &EditListsTab::transfer_classes_buttonClick},
        {save_button, &EditListsTab::save_buttonClick},
        {send_button, &EditListsTab::send_buttonClick},
        {new_object_button, &EditListsTab::new_object_buttonClick},
        {delete_button, &EditListsTab::delete_buttonClick},
        {up_button, &EditListsTab::up_buttonClick},
        {down_button, &EditListsTab::down_buttonClick},
    };
    for (const auto& [button, handler] : handlers)
        connect(button, &QPushButton::clicked, this, handler);
    object_box->viewport()->installEventFilter(this);
    new_list_box->viewport()->installEventFilter(this);

    // The lists show whatever the state holds, so line i is object i from the start.
    ListWidgetLines source_lines(*object_box);
    show_objects(*state_.source, source_lines);
    ListWidgetLines dest_lines(*new_list_box);
    show_objects(*state_.destination, dest_lines);
}

EditListsTab::~EditListsTab() = default;

void EditListsTab::set_dialogs(const EditDialogs& dialogs) {
    dialogs_ = dialogs;
}

void EditListsTab::set_services(EditServices services) {
    services_ = std::move(services);
    if (services_.files == nullptr) services_.files = own_files_.get();
}

void EditListsTab::set_file_chooser(ListFileChooser* files) {
    services_.files = files != nullptr ? files : own_files_.get();
}

std::string EditListsTab::list_folder() const {
    return services_.list_folder ? services_.list_folder() : std::string();
}

void EditListsTab::set_status(const std::string& text) {
    if (services_.operations != nullptr) services_.operations->link().set_status(text);
}

Tnew_object& EditListsTab::new_object() {
    if (dialogs_.new_object == nullptr)
        dialogs_.new_object = new Tnew_object(*state_.destination, this);
    return *dialogs_.new_object;
}

Tyes_to_all& EditListsTab::yes_to_all() {
    if (dialogs_.yes_to_all == nullptr) dialogs_.yes_to_all = new Tyes_to_all(this);
    return *dialogs_.yes_to_all;
}

Tcomment_form& EditListsTab::comment_form() {
    if (dialogs_.comment_form == nullptr) dialogs_.comment_form = new Tcomment_form(this);
    return *dialogs_.comment_form;
}

Tobject_description& EditListsTab::object_description() {
    if (dialogs_.object_description == nullptr)
        dialogs_.object_description = new Tobject_description(this);
    return *dialogs_.object_description;
}

void EditListsTab::clear_lists() {
    object_box->clear();
    new_list_box->clear();
    state_.reset();
    source_list_label->setText(QStringLiteral("Objects"));
    module_label->clear();
    undo_->clear();
}

bool EditListsTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        // After the box has taken the click, so the line under the mouse is current.
        if (watched == object_box->viewport()) {
            QMetaObject::invokeMethod(this, &EditListsTab::object_boxDblClick,
                                      Qt::QueuedConnection);
        } else if (watched == new_list_box->viewport()) {
            QMetaObject::invokeMethod(this, &EditListsTab::new_list_boxDblClick,
                                      Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void EditListsTab::show_source_name(const std::string& label_text) {
    source_list_label->setText(shortened_name(label_text));
}

void EditListsTab::get_objects_buttonClick() {
    const auto path = services_.files->open_list(list_folder());
    if (!path) return;
    // A file that does not read leaves the previous source, its name and its lines alone.
    if (!get_and_show_config(*path)) return;
    state_.source_name = *path;
    show_source_name(*path);
    set_status("Loaded " + file_name_part(*path) + ": " + decimal(state_.source->object_count) +
               " objects");
}

bool EditListsTab::get_and_show_config(const std::string& path) {
    auto scratch = std::make_unique<Configuration>();
    clear_configuration(*scratch);
    if (services_.operations != nullptr) {
        if (!services_.operations->get_config(*scratch, path)) return false;
    } else if (const ListLoad load = load_list_file(path, *scratch); !load.ok()) {
        show_error(load.message());
        return false;
    }
    *state_.source = *scratch;
    ListWidgetLines lines(*object_box);
    show_objects(*state_.source, lines);
    state_.no_source_yet = false;
    return true;
}

void EditListsTab::get_from_nimbra_buttonClick() {
    // The loaded source stays until the reply has been read: a reply that times out or does
    // not read must not cost the operator the list loaded before.
    if (services_.operations == nullptr) return;
    services_.operations->get_configuration(load_sink_.get(), [this](const OperationResult& got) {
        if (!got.done()) {
            load_sink_->reset();
            return;
        }
        state_.source_name = "NIMBRA";
        source_list_label->setText(QStringLiteral("Objects in NIMBRA"));
        *state_.source = services_.operations->instrument();
        ListWidgetLines lines(*object_box);
        show_objects(*state_.source, lines);
        // The instrument's classes are a source like a file's: new objects can be made from
        // them at once.
        state_.no_source_yet = false;
    });
}

void EditListsTab::object_boxDblClick() {
    const int row = object_box->currentRow();
    if (row < 0 || row >= state_.source->object_count) return;
    describe_object(*state_.source, row, object_description().grid());
    // Beside the window, so that it covers none of the page's buttons.
    object_description().show_description(display_line(*state_.source, row), this);
}

void EditListsTab::transfer_classes() {
    state_.destination_needs_classes = false;
    Configuration& dest = *state_.destination;
    dest = *state_.source;
    dest.object_count = 0;
    // The source's values are not the list's: the whole value store is free for new objects.
    dest.data_used = 0;
    new_list_box->clear();
    module_label->setText(shortened_name("Classes from " + file_name_part(state_.source_name)));
    set_status("");
}

void EditListsTab::transfer_classes_buttonClick() {
    if (new_list_box->count() > 0 &&
        !ask_yes_no("Transferring the classes removes the objects of the list. Go on?")) {
        return;
    }
    auto before = snapshot();
    transfer_classes();
    record(QStringLiteral("Transfer classes"), std::move(before));
}

void EditListsTab::add_buttonClick() {
    if (nothing_selected(*object_box, "No objects selected!")) return;
    add_objects([this](int line) { return object_box->item(line)->isSelected(); });
}

void EditListsTab::add_all_buttonClick() {
    if (object_box->count() == 0) {
        show_error("No objects to add!");
        return;
    }
    add_objects([](int) { return true; });
}

void EditListsTab::add_objects(const std::function<bool(int line)>& take) {
    OverwriteFlags& flags = yes_to_all().flags;
    flags.ask_before_overwrite = true;
    flags.keep_adding = true;
    auto before = snapshot();
    const bool transfer = state_.destination_needs_classes;
    if (transfer) transfer_classes();
    // Overwritten objects leave their old value blocks behind; without gathering the rest,
    // a list edited for a while would refuse objects long before its store is full.
    compact_object_data(*state_.destination);
    CarefulAdd careful(*state_.source, *state_.destination);
    refused_ = 0;
    added_ = 0;
    overwritten_ = 0;
    first_refusal_.clear();
    const int lines = std::min(object_box->count(), static_cast<int>(state_.source->object_count));
    for (int i = 0; i < lines && flags.keep_adding; ++i) {
        if (take(i)) add_carefully(careful, i);
    }
    // The report lines go to the log, which is usually off: the status line tells the
    // operator that something was left out.
    if (refused_ == 1) set_status(first_refusal_);
    if (refused_ > 1) set_status(decimal(refused_) + " objects not added; " + first_refusal_);
    if (transfer || added_ + overwritten_ > 0) {
        record(QStringLiteral("Add %1 objects").arg(added_ + overwritten_), std::move(before));
    }
    if (refused_ == 0) {
        set_status("Added " + decimal(added_) + " objects" +
                   (overwritten_ > 0 ? ", overwrote " + decimal(overwritten_) : "") + ": " +
                   decimal(state_.destination->object_count) + " in the list");
    }
}

bool EditListsTab::add_carefully(CarefulAdd& careful, int i) {
    const Configuration& dest = *state_.destination;
    const std::string name(text_of(state_.source->objects[i].name));
    const bool exists = find_object(dest, name) < dest.object_count;
    Tyes_to_all& question = yes_to_all();
    if (exists && question.flags.ask_before_overwrite) {
        question.ask_about(name);
        if (!question.flags.overwrite_confirmed) return false;
    }
    if (!careful.add_object_carefully(i)) {
        if (refused_++ == 0) first_refusal_ = careful.refusal();
        return false;
    }
    // An overwritten object keeps its name and its line.
    if (!exists) add_to_dest_list();
    ++(exists ? overwritten_ : added_);
    return true;
}

void EditListsTab::add_to_dest_list() {
    const Configuration& dest = *state_.destination;
    if (dest.object_count > new_list_box->count()) {
        new_list_box->addItem(to_qstring(display_line(dest, dest.object_count - 1)));
    }
}

void EditListsTab::refresh_dest_line(int index) {
    if (index < 0 || index >= new_list_box->count() || index >= state_.destination->object_count)
        return;
    new_list_box->item(index)->setText(to_qstring(display_line(*state_.destination, index)));
}

void EditListsTab::new_object_buttonClick() {
    if (state_.destination_needs_classes) {
        if (state_.no_source_yet) {
            show_info("no classes defined yet!");
            return;
        }
        transfer_classes();
    }
    make_new_object(-1);
}

void EditListsTab::new_list_boxDblClick() {
    const int row = new_list_box->currentRow();
    // Without a line there is nothing to edit: a new object, with the classes it needs.
    if (row < 0) {
        new_object_buttonClick();
        return;
    }
    make_new_object(row);
}

void EditListsTab::make_new_object(int index) {
    Tnew_object& dialog = new_object();
    auto before = snapshot();
    dialog.run(index);
    if (dialog.added) add_to_dest_list();
    if (dialog.changed) refresh_dest_line(index);
    // Overwriting another object may have given it the name in other letters.
    if (dialog.overwritten >= 0) refresh_dest_line(dialog.overwritten);
    if (dialog.added || dialog.changed || dialog.overwritten >= 0) {
        record(dialog.added ? QStringLiteral("New object") : QStringLiteral("Edit object"),
               std::move(before));
        set_status("");
    }
}

void EditListsTab::delete_buttonClick() {
    if (nothing_selected(*new_list_box, "No objects selected, none removed!")) return;
    const qsizetype going = new_list_box->selectedItems().size();
    if (going > 1 && !ask_yes_no("Do you want to remove the " + decimal(going) +
                                 " selected objects from the list?")) {
        return;
    }
    auto before = snapshot();
    Configuration& dest = *state_.destination;
    int removed = 0;
    for (int i = new_list_box->count() - 1; i >= 0; --i) {
        if (!new_list_box->item(i)->isSelected()) continue;
        delete_object(dest, i);
        delete new_list_box->takeItem(i);
        ++removed;
    }
    if (new_list_box->count() == 0) state_.destination_needs_classes = true;
    record(QStringLiteral("Remove %1 objects").arg(removed), std::move(before));
    set_status("Removed " + decimal(removed) + " objects: " + decimal(new_list_box->count()) +
               " in the list");
}

void EditListsTab::up_buttonClick() {
    if (new_list_box->currentRow() > 0) switch_objects(-1);
}

void EditListsTab::down_buttonClick() {
    const int row = new_list_box->currentRow();
    if (row >= 0 && row < new_list_box->count() - 1) switch_objects(+1);
}

void EditListsTab::switch_objects(int offset) {
    const int a = new_list_box->currentRow();
    const int b = a + offset;
    Configuration& dest = *state_.destination;
    if (a < 0 || b < 0 || a >= dest.object_count || b >= dest.object_count) return;
    auto before = snapshot();
    std::swap(dest.objects[a], dest.objects[b]);
    QListWidgetItem* line_a = new_list_box->item(a);
    QListWidgetItem* line_b = new_list_box->item(b);
    const QString text_a = line_a->text();
    line_a->setText(line_b->text());
    line_b->setText(text_a);
    // A selection belongs to its object and moves with it; the moved object is selected.
    line_a->setSelected(line_b->isSelected());
    new_list_box->setCurrentRow(b, QItemSelectionModel::NoUpdate);
    line_b->setSelected(true);
    record(QStringLiteral("Move object"), std::move(before));
    set_status("");
}

void EditListsTab::sort_list() {
    Configuration& dest = *state_.destination;
    if (dest.object_count < 2) return;
    const std::vector<int> order = sorted_order(dest);
    auto before = snapshot();
    // The selection belongs to the objects and goes where they go.
    std::vector<ObjectRecord> objects(dest.objects, dest.objects + dest.object_count);
    std::vector<bool> selected(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        dest.objects[i] = objects[static_cast<std::size_t>(order[i])];
        selected[i] = new_list_box->item(order[i])->isSelected();
    }
    ListWidgetLines lines(*new_list_box);
    show_objects(dest, lines);
    for (std::size_t i = 0; i < selected.size(); ++i)
        new_list_box->item(static_cast<int>(i))->setSelected(selected[i]);
    record(QStringLiteral("Sort by class and name"), std::move(before));
    set_status("Sorted " + decimal(dest.object_count) + " objects by class and name");
}

void EditListsTab::save_buttonClick() {
    if (new_list_box->count() == 0) {
        show_error("There are no objects to save!");
        return;
    }
    const auto chosen = services_.files->save_list(list_folder());
    if (!chosen) return;
    const std::string target = list_save_path(*chosen);
    const std::string name = file_name_part(target);
    // Whatever the operator declines, the status line says that nothing was written.
    const auto not_saved = [this] { set_status("Not saved"); };
    // The dialog asked about the name it was given; the list goes to the .nol file.
    if (path_exists(target)) {
        if (target != *chosen &&
            !ask_yes_no(name + " already exists.\nDo you want to replace it?")) {
            return not_saved();
        }
    } else if (!ask_yes_no_yes_default(name +
                                       "\nThis file does not exist.\nDo you want to create it?")) {
        // Creating a file destroys nothing: Enter says yes.
        return not_saved();
    }
    std::vector<std::string> comments;
    // A list that exists but cannot be read is not replaced: its comments would be lost.
    if (!read_comments(target, comments)) return not_saved();
    // Comments typed for this file at a save the operator declined come back.
    if (const auto kept = unsaved_comments_.find(target); kept != unsaved_comments_.end()) {
        comments = kept->second;
    }
    // "Don't save" cancels the save: an old list keeps its file and its description, and the
    // typed comments wait for the next save to this file.
    const auto edited = comment_form().edit(comments);
    if (!edited) {
        unsaved_comments_[target] = comment_form().comment_lines();
        return not_saved();
    }
    std::vector<std::string> written;
    if (!write_object_list(*state_.destination, target, *edited, &written)) return not_saved();
    unsaved_comments_.erase(target);
    if (services_.operations != nullptr) services_.operations->link().show_file(target, written);
    saved_name_ = to_text(list_name_of(path_to_qstring(target)));
    set_status("Saved " + name + ": " + decimal(state_.destination->object_count) + " objects");
}

void EditListsTab::send_buttonClick() {
    if (new_list_box->selectedItems().isEmpty()) {
        if (!ask_yes_no("Do you want to download the whole_list?")) return;
        new_list_box->selectAll();
    }
    if (services_.operations == nullptr) return;
    // Row i of the box stands for object i of the list; the text is never parsed again.
    std::vector<int> objects;
    for (int i = 0; i < new_list_box->count() && i < state_.destination->object_count; ++i) {
        if (new_list_box->item(i)->isSelected()) objects.push_back(i);
    }
    InstrumentOperations::SendOptions options;
    options.changed_only = services_.changed_only && services_.changed_only();
    options.reply_progress = load_sink_.get();
    options.queue_progress = send_sink_.get();
    const auto stopped = [this](const OperationResult& result) {
        if (!result.done()) {
            load_sink_->reset();
            send_sink_->reset();
        }
        if (result.send_stopped() && services_.send_stopped) services_.send_stopped(result.message);
    };
    options.late_answer = stopped;
    std::vector<std::string> names;
    if (!saved_name_.empty()) names.push_back(saved_name_);
    services_.operations->send_objects(*state_.destination, objects, options,
                                       [this, names, stopped](const OperationResult& result) {
                                           if (result.done() && result.total > 0)
                                               set_status(download_summary(result, names));
                                           stopped(result);
                                       });
}

}  // namespace vexilo
