#pragma once
// Options > "Trace the line...": the trace of the line into a file the operator chooses, kept
// on between runs through the "Trace File" setting until it is switched off again.

#include <QObject>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QWidget;

namespace vexilo {

class Tnimbra_lib;
class TracedPort;

inline constexpr const char* kTraceFileSetting = "Trace File";

class LineTraceAction final : public QObject {
    Q_OBJECT
  public:
    // Asks for the file; tests answer without a dialog.
    using FileChooser = std::function<std::string(const std::string& suggested)>;

    // Adds the action to `menu` and resumes a trace the settings name.
    LineTraceAction(QMenu& menu, Tnimbra_lib& link, TracedPort& port, QWidget* dialog_parent);
    void set_file_chooser(FileChooser chooser) { choose_ = std::move(chooser); }
    QAction& action() { return *action_; }

  private:
    void toggled(bool on);
    bool start(const std::string& path);

    Tnimbra_lib& link_;
    TracedPort& port_;
    QAction* action_;
    FileChooser choose_;
};

}  // namespace vexilo
