#pragma once
// The open and save dialogs of the object list files. The page asks through this interface,
// so tests can answer without a file dialog.

#include <optional>
#include <string>

class QWidget;

namespace vexilo {

class ListFileChooser {
  public:
    virtual ~ListFileChooser() = default;
    // The chosen file, or nothing when the operator cancelled. Paths are in the file
    // system's own encoding.
    virtual std::optional<std::string> open_list(const std::string& folder) = 0;
    // The save dialog asks itself before the chosen file is replaced.
    virtual std::optional<std::string> save_list(const std::string& folder) = 0;
};

// QFileDialog with the object list filters.
class ListFileDialogs final : public ListFileChooser {
  public:
    explicit ListFileDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    std::optional<std::string> open_list(const std::string& folder) override;
    std::optional<std::string> save_list(const std::string& folder) override;

  private:
    QWidget* parent_;
};

// Where a list chosen in the save dialog is written: the chosen folder (dots in its name
// left alone) and the file name up to its first "." with ".nol". A name that already ends
// in ".nol", in any letter case, is kept whole, so "x.y.nol" is written where it was chosen.
std::string list_save_path(const std::string& chosen);

}  // namespace vexilo
