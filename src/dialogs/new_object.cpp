#include "new_object.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "config/field_text.h"
#include "config/messages.h"
#include "config/reader.h"
#include "config/text_fields.h"
#include "config/value_store.h"
#include "ui_helpers.h"

namespace vexilo {
namespace {

constexpr int kBoxWidth = 145;
constexpr int kButtonWidth = 141;
// Room for a field name and for units, in average characters; a longer name is shortened in
// its label and shown whole in the hint.
constexpr int kLabelChars = 13;
constexpr int kUnitsChars = 6;
// Grid columns of one half: label, value, units, and the gap to the next half.
constexpr int kHalfColumns = 4;

// A value must survive the object line: ";" would start the next field there, and a line
// break would split the line in the list file.
bool check_value_characters(const std::string& field_name, const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            show_info(field_name + ": line breaks and control characters are not allowed");
            return false;
        }
    }
    if (text.find(';') != std::string::npos) {
        show_info(field_name + ": " + text + " contains \";\", which is not allowed");
        return false;
    }
    return true;
}

bool check_text_value(const std::string& field_name, const std::string& text) {
    if (!check_value_characters(field_name, text)) return false;
    if (text.size() > static_cast<std::size_t>(MAX_TEXT_VALUE_LENGTH)) {
        show_info(field_name + ": " + text + " is longer than " + decimal(MAX_TEXT_VALUE_LENGTH) +
                  " characters");
        return false;
    }
    return true;
}

// A scroll area that asks for room for all of its contents (a plain one asks for a fixed
// most); the window bounds that by the screen, and the area scrolls what is left over.
class FieldsArea final : public QScrollArea {
  public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        if (widget() == nullptr) return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
        return widget()->sizeHint() + QSize(frame + bar, frame);
    }
};

}  // namespace

Tnew_object::Tnew_object(Configuration& destination, QWidget* parent)
    : QDialog(parent), destination_(destination) {
    setObjectName(QStringLiteral("new_object"));
    setWindowTitle(QStringLiteral("Create New Object"));
    setModal(true);

    name_label = new QLabel(QStringLiteral("Choose name of object"), this);
    name_label->setObjectName(QStringLiteral("name_label"));
    object_name = new QLineEdit(this);
    object_name->setObjectName(QStringLiteral("object_name"));
    object_name->setFixedWidth(kBoxWidth);
    object_name->setMaxLength(NAME_LENGTH);  // what the list can hold of a name
    class_label = new QLabel(QStringLiteral("Choose class of object"), this);
    class_label->setObjectName(QStringLiteral("class_label"));
    // A list to choose from, never a typed class name that names no class.
    object_class = new QComboBox(this);
    object_class->setObjectName(QStringLiteral("object_class"));
    object_class->setFixedWidth(kBoxWidth);
    add_button = new QPushButton(QStringLiteral("Add object to list"), this);
    add_button->setObjectName(QStringLiteral("add_button"));
    add_button->setMinimumWidth(kButtonWidth);
    add_button->setDefault(true);
    cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_button->setObjectName(QStringLiteral("cancel_button"));
    cancel_button->setMinimumWidth(kButtonWidth);
    cancel_button->setAutoDefault(false);

    // The fields scroll when the screen has no room for them all (a large scale factor).
    slots_area_ = new FieldsArea(this);
    slots_area_->setObjectName(QStringLiteral("slots_area"));
    slots_area_->setFrameShape(QFrame::NoFrame);
    slots_area_->setWidgetResizable(true);
    auto* fields = new QWidget(slots_area_);
    slots_grid_ = new QGridLayout(fields);
    slots_grid_->setContentsMargins(0, 0, 0, 0);
    slots_grid_->setColumnMinimumWidth(kHalfColumns - 1, 16);
    slots_area_->setWidget(fields);

    const int label_width = fontMetrics().averageCharWidth() * kLabelChars;
    for (int k = 0; k < SLOT_COUNT; ++k) {
        const QString number = QString::number(k + 1);
        field_label[k] = new QLabel(fields);
        field_label[k]->setObjectName(QStringLiteral("field_") + number);
        field_label[k]->setFixedWidth(label_width);
        value_box[k] = new QLineEdit(fields);
        value_box[k]->setObjectName(QStringLiteral("value_") + number);
        value_box[k]->setFixedWidth(kBoxWidth);
        obj_box[k] = new QComboBox(fields);
        obj_box[k]->setObjectName(QStringLiteral("obj_") + number);
        obj_box[k]->setFixedWidth(kBoxWidth);
        obj_box[k]->setInsertPolicy(QComboBox::NoInsert);
        obj_box[k]->setMaxVisibleItems(20);
        units_label[k] = new QLabel(fields);
        units_label[k]->setObjectName(QStringLiteral("units_") + number);
        units_label[k]->setMinimumWidth(fontMetrics().averageCharWidth() * kUnitsChars);
        field_label[k]->hide();
        value_box[k]->hide();
        obj_box[k]->hide();
        units_label[k]->hide();
    }

    auto* top = new QGridLayout;
    top->addWidget(name_label, 0, 0);
    top->addWidget(object_name, 0, 1);
    top->addWidget(add_button, 0, 3);
    top->addWidget(class_label, 1, 0);
    top->addWidget(object_class, 1, 1);
    top->addWidget(cancel_button, 1, 3);
    top->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(slots_area_, 1);
    place_slots(0, 2);
    fit_on_screen(screen_room(*this));

    connect(object_class, &QComboBox::currentIndexChanged, this, &Tnew_object::object_classChange);
    connect(add_button, &QPushButton::clicked, this, &Tnew_object::add_buttonClick);
    connect(cancel_button, &QPushButton::clicked, this, &Tnew_object::cancel_buttonClick);
    center_on_screen(*this);
}

void Tnew_object::set_copy_dialog(Tcopy_dialog* dialog) {
    copy_dialog_ = dialog;
}

void Tnew_object::run(int index) {
    target_index = index;
    exec();
}

bool Tnew_object::editing() const {
    if (target_index < 0 || target_index >= destination_.object_count) return false;
    const int c = destination_.objects[target_index].class_index;
    return c >= 0 && c < destination_.class_count;
}

int Tnew_object::selected_class() const {
    const int index = object_class->currentIndex();
    if (index < 0 || index >= destination_.class_count) return -1;
    // The object line names its class, and the reader takes the last class of that name;
    // the slots follow the same class, so what is checked is what is stored.
    const int c = find_class(destination_, text_of(destination_.classes[index].name));
    return c < destination_.class_count ? c : -1;
}

void Tnew_object::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormActivate();
    QDialog::showEvent(event);
}

void Tnew_object::FormActivate() {
    {
        const QSignalBlocker block(object_class);
        object_class->clear();
        for (int c = 0; c < destination_.class_count; ++c) {
            object_class->addItem(to_qstring(text_of(destination_.classes[c].name)));
        }
    }
    copy_answer = CopyAnswer::None;
    added = false;
    changed = false;
    overwritten = -1;
    if (!editing()) {
        target_index = -1;
        setWindowTitle(QStringLiteral("Add new object"));
        add_button->setText(QStringLiteral("Add object to list"));
        object_name->clear();
        {
            const QSignalBlocker block(object_class);
            object_class->setCurrentIndex(destination_.class_count > 0 ? 0 : -1);
        }
        object_class->setEnabled(true);
        class_label->show();
    } else {
        const ObjectRecord& object = destination_.objects[target_index];
        object_class->setEnabled(false);
        class_label->hide();
        add_button->setText(QStringLiteral("OK"));
        old_name = std::string(text_of(object.name));
        object_name->setText(to_qstring(old_name));
        {
            const QSignalBlocker block(object_class);
            object_class->setCurrentIndex(object.class_index);
        }
        const std::string class_name(text_of(destination_.classes[object.class_index].name));
        setWindowTitle(to_qstring("Edit " + class_name + " " + old_name));
    }
    show_fields();
    object_name->setFocus();
}

void Tnew_object::object_classChange() {
    show_fields();
}

void Tnew_object::place_slots(int field_count, int columns) {
    // Ten rows a column (twelve for more than 20 fields), down the left column first. Empty
    // rows keep their room, so the window keeps its size from class to class.
    const int rows =
        columns == 2 ? (field_count > 20 ? (SLOT_COUNT + 1) / 2 : 10) : std::max(field_count, 10);
    for (int k = 0; k < SLOT_COUNT; ++k) {
        const int row = k % rows;
        const int column = std::min(k / rows, columns - 1) * kHalfColumns;
        for (QWidget* w :
             {static_cast<QWidget*>(field_label[k]), static_cast<QWidget*>(value_box[k]),
              static_cast<QWidget*>(obj_box[k]), static_cast<QWidget*>(units_label[k])})
            slots_grid_->removeWidget(w);
        slots_grid_->addWidget(field_label[k], row, column);
        slots_grid_->addWidget(value_box[k], row, column + 1);
        slots_grid_->addWidget(obj_box[k], row, column + 1);
        slots_grid_->addWidget(units_label[k], row, column + 2);
    }
    const int row_height =
        std::max(value_box[0]->sizeHint().height(), obj_box[0]->sizeHint().height());
    for (int r = 0; r < SLOT_COUNT; ++r)
        slots_grid_->setRowMinimumHeight(r, r < rows ? row_height : 0);
    // The right half keeps its room too, so that a short class does not narrow the window.
    const int widths[] = {field_label[0]->minimumWidth(), kBoxWidth,
                          units_label[0]->minimumWidth()};
    for (int c = 0; c < 3; ++c)
        slots_grid_->setColumnMinimumWidth(kHalfColumns + c, columns == 2 ? widths[c] : 0);
    slots_grid_->invalidate();
    slots_area_->updateGeometry();
    layout()->invalidate();
}

void Tnew_object::fit_on_screen(const QRect& room) {
    resize(sizeHint().boundedTo(room.size() - frame_extra(*this)));
    const QRect at = frameGeometry();
    move(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - at.width())),
         std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - at.height())));
}

void Tnew_object::show_fields() {
    const int c = selected_class();
    const int field_count = c < 0 ? 0 : destination_.classes[c].field_count;
    place_slots(field_count, 2);
    const ObjectRecord* object = editing() ? &destination_.objects[target_index] : nullptr;
    for (int k = 0; k < SLOT_COUNT; ++k) {
        if (k >= field_count) {
            field_label[k]->hide();
            value_box[k]->hide();
            obj_box[k]->hide();
            units_label[k]->hide();
            continue;
        }
        fill_slot(k, destination_.classes[c].fields[k], object);
    }
    // One column where two would run past the screen (a large scale factor).
    const QRect room = screen_room(*this);
    if (sizeHint().width() + frame_extra(*this).width() > room.width()) place_slots(field_count, 1);
    fit_on_screen(room);
}

namespace {

// The drop-down list opens wide enough for its longest line, though the box is narrow.
void fit_popup(QComboBox& box) {
    int widest = 0;
    for (int i = 0; i < box.count(); ++i) {
        widest = std::max(widest, box.fontMetrics().horizontalAdvance(box.itemText(i)));
    }
    box.view()->setMinimumWidth(widest + 2 * box.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

}  // namespace

void Tnew_object::fill_slot(int k, const ClassField& field, const ObjectRecord* object) {
    // A long field name is shortened to its label's room; the hint keeps it whole.
    const QString name = to_qstring(text_of(field.name));
    field_label[k]->setText(
        field_label[k]->fontMetrics().elidedText(name, Qt::ElideRight, field_label[k]->width()));
    field_label[k]->setToolTip(name);
    field_label[k]->show();
    units_label[k]->hide();
    switch (field.kind) {
        case FieldKind::Number: {
            const std::int32_t value =
                object ? get_int_value(destination_, *object, k) : field.default_value;
            value_box[k]->setText(QString::number(value));
            value_box[k]->setToolTip(to_qstring("Range: " + decimal(field.min) + " to " +
                                                decimal(field.max) +
                                                "\nDefault: " + decimal(field.default_value)));
            units_label[k]->setText(to_qstring(field_units_text(field)));
            value_box[k]->show();
            units_label[k]->show();
            obj_box[k]->hide();
            break;
        }
        case FieldKind::Text:
            value_box[k]->setText(object ? to_qstring(get_text_value(destination_, *object, k))
                                         : QString());
            value_box[k]->setToolTip(QString());
            value_box[k]->show();
            obj_box[k]->hide();
            break;
        case FieldKind::ListChoice: {
            QComboBox& box = *obj_box[k];
            value_box[k]->hide();
            box.setEditable(false);
            box.clear();
            const bool list_known = field.list_number >= 0 && field.list_number < MAX_LISTS;
            const ValueList* list = list_known ? &destination_.lists[field.list_number] : nullptr;
            const int entries = list == nullptr                        ? 0
                                : list->entry_count < 0                ? 0
                                : list->entry_count > MAX_LIST_ENTRIES ? MAX_LIST_ENTRIES
                                                                       : list->entry_count;
            for (int e = 0; e < entries; ++e)
                box.addItem(to_qstring(text_of(list->entries[e])));
            const std::int32_t value =
                object ? get_int_value(destination_, *object, k) : field.default_value;
            opening_choice_[k] = value;
            box.setCurrentIndex(value >= 0 && value < entries ? value : -1);
            fit_popup(box);
            box.show();
            break;
        }
        case FieldKind::Atom: {
            QComboBox& box = *obj_box[k];
            value_box[k]->hide();
            box.setEditable(true);
            box.setInsertPolicy(QComboBox::NoInsert);
            box.clear();
            box.addItem(QStringLiteral("None"));
            const std::string stored =
                object ? std::string(get_text_value(destination_, *object, k)) : std::string();
            int selected = -1;
            for (int o = 0; o < destination_.object_count; ++o) {
                const ObjectRecord& candidate = destination_.objects[o];
                const int cls = candidate.class_index;
                if (cls < 0 || cls >= MAX_CLASSES ||
                    (field.allowed_classes & (std::uint32_t{1} << cls)) == 0) {
                    continue;
                }
                box.addItem(to_qstring(text_of(candidate.name)));
                if (object && same_text(text_of(candidate.name), stored))
                    selected = box.count() - 1;
            }
            // A reference to an object outside this list (one already in the instrument, or
            // one removed since) is kept as typed text, so that editing another field does
            // not silently drop it. Nothing stored, or "None", selects "None".
            if (selected < 0 && !stored.empty() && !same_text(stored, "None")) {
                box.setCurrentIndex(-1);
                box.setEditText(to_qstring(stored));
            } else {
                box.setCurrentIndex(selected < 0 ? 0 : selected);
            }
            fit_popup(box);
            box.show();
            break;
        }
    }
}

bool Tnew_object::build_object_line(int c, std::string& line) {
    const ClassRecord& cls = destination_.classes[c];
    line = std::string(text_of(cls.name)) + ";" + new_name;
    for (int k = 0; k < cls.field_count && k < SLOT_COUNT; ++k) {
        const ClassField& field = cls.fields[k];
        const std::string field_name(text_of(field.name));
        std::string value;
        switch (field.kind) {
            case FieldKind::Number: {
                value = to_text(value_box[k]->text());
                std::int32_t number = 0;
                if (!parse_int(value, field_name, number)) return false;
                if (number < field.min) {
                    show_info(field_name + ": " + value + " < " + decimal(field.min));
                    return false;
                }
                if (number > field.max) {
                    show_info(field_name + ": " + value + " > " + decimal(field.max));
                    return false;
                }
                break;
            }
            case FieldKind::ListChoice: {
                // Nothing chosen (the stored value names no entry) keeps what the object had.
                const int index = obj_box[k]->currentIndex();
                value = decimal(index >= 0 ? index : opening_choice_[k]);
                break;
            }
            case FieldKind::Text:
                value = to_text(value_box[k]->text());
                if (!check_text_value(field_name, value)) return false;
                break;
            case FieldKind::Atom:
                value = to_text(obj_box[k]->currentText());
                cut_at_char(value, '(');
                if (!check_text_value(field_name, value)) return false;
                break;
        }
        line += ";";
        line += value;
    }
    return true;
}

bool Tnew_object::store_line(const std::string& line, int c, int k) {
    auto scratch = std::make_unique<Configuration>(destination_);
    if (!value_block_fits(*scratch, c)) compact_object_data(*scratch);
    if (!read_object_line(*scratch, line, k)) return false;
    destination_ = *scratch;
    return true;
}

void Tnew_object::add_buttonClick() {
    new_name = to_text(object_name->text());
    added = false;
    changed = false;
    overwritten = -1;
    if (new_name.empty()) {
        show_info("Please provide a name for the new object");
        return;
    }
    if (!check_value_characters("Name of object", new_name)) return;
    const int c = selected_class();
    if (c < 0) {
        show_info("No classes are defined! How then, shall I define objects?!");
        return;
    }
    if (editing() && !same_text(new_name, old_name)) {
        if (copy_dialog_ == nullptr) copy_dialog_ = new Tcopy_dialog(this);
        copy_answer = copy_dialog_->ask(old_name, new_name);
        if (copy_answer == CopyAnswer::Cancel) return;
    }
    std::string line;
    if (!build_object_line(c, line)) return;

    if (editing() && copy_answer == CopyAnswer::ChangeName) {
        changed = store_line(line, c, target_index);
    } else {
        const int k = find_object(destination_, new_name);
        if (k < destination_.object_count) {
            if (ask_yes_no("Do you really want to overwrite " +
                           std::string(text_of(destination_.objects[k].name))) &&
                store_line(line, c, k)) {
                overwritten = k;
                // Overwriting the edited object itself (maybe with its name in another
                // letter case) changes its row too.
                if (editing() && k == target_index) changed = true;
            }
        } else {
            added = store_line(line, c, destination_.object_count);
        }
    }
    accept();
}

void Tnew_object::cancel_buttonClick() {
    reject();
}

}  // namespace vexilo
