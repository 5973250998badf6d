#pragma once
// The new object dialog: create one object in the destination object list, or change one
// that is there, field by field with a control that suits each field's kind.

#include <QDialog>
#include <array>
#include <string>

#include "config/configuration.h"
#include "copy_dialog.h"

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace vexilo {

class Tnew_object : public QDialog {
    Q_OBJECT
  public:
    // Ten rows of two columns show up to 20 fields; a class with 21 to 24 fields gets twelve
    // rows a column and a taller window, so every field has a slot.
    static constexpr int SLOT_COUNT = MAX_FIELDS;

    // The destination object list lives as long as the dialog.
    explicit Tnew_object(Configuration& destination, QWidget* parent = nullptr);

    // The rename-or-copy question to ask; without one the dialog makes its own.
    void set_copy_dialog(Tcopy_dialog* dialog);

    // Shows the dialog modally for a new object (-1) or the destination object at the index
    // (an index outside the list also means a new object). Afterwards read added, changed
    // and overwritten.
    void run(int index);

    // Inputs and outputs of one showing.
    int target_index = -1;
    bool added = false;    // a new object was appended to the destination
    bool changed = false;  // the object at target_index got new values, maybe a new name
    int overwritten = -1;  // index of an existing object the operator chose to overwrite
    std::string old_name;  // the edited object's name when the dialog opened
    std::string new_name;  // the name box at the last press of add_button
    CopyAnswer copy_answer = CopyAnswer::None;

    QLabel* name_label;
    QLineEdit* object_name;
    QLabel* class_label;
    QComboBox* object_class;
    QPushButton* add_button;
    QPushButton* cancel_button;
    // Slot k (0-based) shows field k; the widgets are named field_{k+1}, value_{k+1},
    // obj_{k+1} and units_{k+1}.
    std::array<QLabel*, SLOT_COUNT> field_label{};
    std::array<QLineEdit*, SLOT_COUNT> value_box{};
    std::array<QComboBox*, SLOT_COUNT> obj_box{};
    std::array<QLabel*, SLOT_COUNT> units_label{};

    void FormActivate();
    void object_classChange();
    void show_fields();
    void add_buttonClick();
    void cancel_buttonClick();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    bool editing() const;
    int selected_class() const;  // -1 when the class box names no class
    void place_slots(int field_count, int columns);
    // The layout's size, within the screen's room; the window moved inside it.
    void fit_on_screen(const QRect& room);
    void fill_slot(int slot, const ClassField& field, const ObjectRecord* object);
    // The value text of each field in order, joined into an object line; false (after a
    // message) when a value cannot be stored.
    bool build_object_line(int class_index, std::string& line);
    // Stores the line at object index k on a copy of the destination, so a refused line
    // leaves the destination as it was.
    bool store_line(const std::string& line, int class_index, int k);

    Configuration& destination_;
    Tcopy_dialog* copy_dialog_ = nullptr;
    QScrollArea* slots_area_ = nullptr;
    QGridLayout* slots_grid_ = nullptr;
    std::array<std::int32_t, SLOT_COUNT> opening_choice_{};  // ListChoice value when opened
};

}  // namespace vexilo
