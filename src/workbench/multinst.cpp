#include "workbench/multinst.h"

#include <QDir>
#include <QLocalSocket>
#include <QTimer>
#include <QWidget>

namespace vexilo {
namespace {

constexpr char kQuery = '1';
constexpr char kAnswer = '2';
// The first copy may still be starting (lock taken, socket not yet listening).
constexpr int kRetryMs = 100;
constexpr int kTries = 50;

QString user_name() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
    return user;
}

}  // namespace

QString MultInst::instance_name() {
    const QString chosen = qEnvironmentVariable("VEXILO_INSTANCE");
    if (!chosen.isEmpty()) return chosen;
    return QStringLiteral("NIMBRA-Vexilo-7c41e2-") + user_name();
}

MultInst::MultInst(const QString& name, QObject* parent)
    : QObject(parent), name_(name), lock_(QDir(QDir::tempPath()).filePath(name + ".lock")) {
    // A lock whose owner is gone counts as stale at once; a live owner keeps it however old.
    lock_.setStaleLockTime(0);
    if (!lock_.tryLock(0) && lock_.error() == QLockFile::LockFailedError) {
        another_copy_ = true;
        tries_left_ = kTries;
        ask_first_copy();
        return;
    }
    // Other failures (an unwritable folder) are not reported: this copy goes on as the first.
    // A socket file left by a crashed copy would block listening.
    QLocalServer::removeServer(name_);
    connect(&server_, &QLocalServer::newConnection, this, &MultInst::serve_request);
    server_.listen(name_);
}

MultInst::~MultInst() {
    server_.close();
    if (lock_.isLocked()) lock_.unlock();
}

void MultInst::serve_request() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            const QByteArray request = socket->readAll();
            if (!request.contains(kQuery)) return;
            bring_to_front();
            socket->write(QByteArray(1, kAnswer));
            socket->flush();
        });
    }
}

void MultInst::bring_to_front() {
    if (!main_window_) return;
    if (main_window_->isMinimized()) main_window_->showNormal();
    main_window_->raise();
    main_window_->activateWindow();
}

void MultInst::finish() {
    if (done_) return;
    done_ = true;
    emit answered();
}

void MultInst::ask_first_copy() {
    if (done_) return;
    if (query_ == nullptr) {
        query_ = new QLocalSocket(this);
        connect(query_, &QLocalSocket::connected, this,
                [this] { query_->write(QByteArray(1, kQuery)); });
        connect(query_, &QLocalSocket::readyRead, this, [this] {
            if (query_->readAll().contains(kAnswer)) finish();
        });
        connect(query_, &QLocalSocket::errorOccurred, this, [this] {
            // Not listening yet, or gone: try again for a while, then end all the same, so a
            // copy that cannot reach the first one never lingers without a window.
            if (done_) return;
            if (--tries_left_ <= 0) {
                finish();
                return;
            }
            query_->abort();
            QTimer::singleShot(kRetryMs, this, &MultInst::ask_first_copy);
        });
    }
    query_->connectToServer(name_);
}

}  // namespace vexilo
