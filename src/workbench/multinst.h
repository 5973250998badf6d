#pragma once
// The single-instance guard: one copy of the workbench runs at a time. The first copy holds a
// lock file and listens on a local socket of the same name; a later copy finds the lock held,
// asks the first copy (through the socket) to bring its window to the front, and ends when it
// answers. A lock left behind by a crashed copy is taken over.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QLocalSocket;
class QTimer;
class QWidget;

namespace vexilo {

class MultInst final : public QObject {
    Q_OBJECT
  public:
    // The fixed name of this program's guard, one per user. VEXILO_INSTANCE replaces it, so
    // that tests and the demo run beside an operator's copy.
    static QString instance_name();

    explicit MultInst(const QString& name = instance_name(), QObject* parent = nullptr);
    ~MultInst() override;

    // True when another copy holds the guard: this copy must not show a window.
    bool another_copy() const { return another_copy_; }

    // The first copy's window that a later copy brings to the front.
    void set_main_window(QWidget* window) { main_window_ = window; }

  signals:
    // A later copy: the first copy answered (or could not be reached); end now.
    void answered();

  private:
    void serve_request();
    void ask_first_copy();
    void bring_to_front();
    void finish();

    QString name_;
    QLockFile lock_;
    bool another_copy_ = false;
    QLocalServer server_;
    QPointer<QWidget> main_window_;
    QLocalSocket* query_ = nullptr;
    QTimer* retry_ = nullptr;
    int tries_left_ = 0;
    bool done_ = false;
};

}  // namespace vexilo
