#include "audit/audit_trail.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>
#include <atomic>
#include <map>

#include "settings/settings.h"

#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace vexilo::audit {
namespace {

const QString kGenesis = QString(64, QLatin1Char('0'));

// Durability: in WAL mode with synchronous=FULL every commit syncs the write-ahead log
// before it returns, so a record that was committed survives a power loss (NORMAL would
// only keep the database consistent, and could lose the newest records). WAL also lets
// the History window read while a send writes.
const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS events ("
    " id INTEGER PRIMARY KEY,"
    " record INTEGER NOT NULL,"
    " kind TEXT NOT NULL CHECK (kind IN ('start', 'sending', 'end', 'late')),"
    " time TEXT NOT NULL,"
    " content TEXT NOT NULL,"
    " content_hash TEXT NOT NULL,"
    " prev_hash TEXT NOT NULL,"
    " hash TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS events_record ON events (record)",
    "CREATE TRIGGER IF NOT EXISTS events_no_update BEFORE UPDATE ON events"
    " BEGIN SELECT RAISE(ABORT, 'audit events cannot be changed'); END",
    "CREATE TRIGGER IF NOT EXISTS events_no_delete BEFORE DELETE ON events"
    " BEGIN SELECT RAISE(ABORT, 'audit events cannot be deleted'); END",
    // INSERT OR REPLACE would delete the old row without the delete trigger firing.
    "CREATE TRIGGER IF NOT EXISTS events_no_replace BEFORE INSERT ON events"
    " WHEN EXISTS (SELECT 1 FROM events WHERE id = NEW.id)"
    " BEGIN SELECT RAISE(ABORT, 'audit events cannot be replaced'); END",
};

QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// The text an event's own hash is taken over: every column but the hash itself.
QString event_hash(qint64 id, qint64 record, const QString& kind, const QString& time,
                   const QString& content_hash, const QString& prev_hash) {
    const QString canonical = QString::number(id) + u'\n' + QString::number(record) + u'\n' + kind +
                              u'\n' + time + u'\n' + content_hash + u'\n' + prev_hash;
    return sha256(canonical.toUtf8());
}

QString connection_name() {
    static std::atomic<int> next{0};
    return QStringLiteral("vexilo-audit-%1").arg(next++);
}

// SQLite's own words ("file is not a database"), without the driver's "Unable to execute
// statement" that Qt appends.
QString sql_error(const QSqlError& error) {
    const QString database = error.databaseText().trimmed();
    return database.isEmpty() ? error.text() : database;
}

QString sql_error(const QSqlQuery& query) {
    return sql_error(query.lastError());
}

Event event_of(const QSqlQuery& q) {
    Event e;
    e.id = q.value(0).toLongLong();
    e.record = q.value(1).toLongLong();
    e.kind = q.value(2).toString();
    e.time = q.value(3).toString();
    e.content = QJsonDocument::fromJson(q.value(4).toString().toUtf8()).object();
    e.hash = q.value(7).toString();
    return e;
}

// How long a writer waits for another process's transaction.
constexpr int kBusyTimeoutMs = 15000;

// SQLite's "database is locked": another connection holds what this one needs.
bool busy(const QSqlQuery& query) {
    bool ok = false;
    const int code = query.lastError().nativeErrorCode().toInt(&ok);
    return ok && (code & 0xFF) == 5;
}

constexpr const char* kEventColumns =
    "SELECT id, record, kind, time, content, content_hash, prev_hash, hash FROM events";

}  // namespace

QString Record::outcome() const {
    if (end.isEmpty()) return QStringLiteral("unfinished");
    return end.value(QStringLiteral("outcome")).toString();
}

QString Record::outcome_text() const {
    const QString message = end.value(QStringLiteral("message")).toString();
    QString text = outcome();
    if (!message.isEmpty()) text += QStringLiteral(": ") + message.section(u'\n', 0, 0);
    const QString verified = end.value(QStringLiteral("verification"))
                                 .toObject()
                                 .value(QStringLiteral("state"))
                                 .toString();
    if (verified == QLatin1String("passed")) text += QStringLiteral(" (verified)");
    return text;
}

QString AuditTrail::default_path() {
    const QString variable = qEnvironmentVariable("VEXILO_AUDIT");
    if (!variable.isEmpty()) return variable;
    const std::string setting = read_text_setting("Audit Trail", "");
    if (!setting.empty()) return QString::fromStdString(setting);
    // The generic folder, not the application's: the window and vexilo-cli keep one trail.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vexilo/audit.sqlite");
}

AuditTrail::AuditTrail(QString path) : path_(std::move(path)), connection_(connection_name()) {}

AuditTrail::~AuditTrail() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

QString network_file_system(const QString& folder) {
#ifdef __linux__
    struct statfs info {};
    if (::statfs(QFile::encodeName(folder).constData(), &info) != 0) return {};
    static const std::map<unsigned long, const char*> kNetwork = {
        {0x6969UL, "NFS"},      {0x517BUL, "SMB"},        {0xFF534D42UL, "CIFS"},
        {0xFE534D42UL, "SMB2"}, {0x564CUL, "NCP"},        {0x5346414FUL, "AFS"},
        {0x73757245UL, "Coda"}, {0x00C36400UL, "Ceph"},   {0x01021997UL, "9P"},
        {0x47504653UL, "GPFS"}, {0x0BD00BD0UL, "Lustre"},
    };
    const auto found = kNetwork.find(static_cast<unsigned long>(info.f_type));
    if (found != kNetwork.end()) {
        return QStringLiteral(
                   "the folder %1 is on a network file system (%2), where the "
                   "database's locks do not hold; keep the audit trail on a local disk")
            .arg(folder, QLatin1String(found->second));
    }
#else
    (void)folder;
#endif
    return {};
}

bool AuditTrail::open(QString& error) {
    if (open_) return true;
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create the folder %1").arg(folder);
        return false;
    }
    if (const QString network = network_file_system(folder); !network.isEmpty()) {
        error = network;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::contains(connection_)
                          ? QSqlDatabase::database(connection_, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db.isValid()) {
        error = QStringLiteral("the SQLite driver of Qt is not installed");
        return false;
    }
    db.setDatabaseName(path_);
    // Another process may be writing: wait for its transaction rather than fail.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        error = sql_error(db.lastError());
        return false;
    }
    QSqlQuery q(db);
    // Turning a new trail to WAL needs it alone, and SQLite answers "locked" at once rather
    // than wait when another program opens the same new trail just then: wait here instead.
    const QDeadlineTimer deadline(kBusyTimeoutMs);
    while (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        if (!busy(q) || deadline.hasExpired()) {
            error = sql_error(q);
            db.close();
            return false;
        }
        QThread::msleep(20);
    }
    // One step of setting the trail up; a failed one closes it, saying why.
    const auto step = [&](const QString& statement) {
        if (q.exec(statement)) return true;
        error = sql_error(q);
        q.exec(QStringLiteral("ROLLBACK"));  // nothing half-made stays (harmless outside one)
        db.close();
        return false;
    };
    if (!step(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !step(QStringLiteral("BEGIN IMMEDIATE")))
        return false;
    // A trail whose triggers are gone was opened with other tools: say so when it is checked.
    QStringList tables;
    QStringList triggers;
    if (q.exec(QStringLiteral("SELECT type, name FROM sqlite_master"))) {
        while (q.next()) {
            (q.value(0).toString() == QLatin1String("table") ? tables : triggers)
                << q.value(1).toString();
        }
    }
    if (tables.contains(QLatin1String("events"))) {
        for (const char* trigger : {"events_no_update", "events_no_delete", "events_no_replace"}) {
            if (!triggers.contains(QLatin1String(trigger)))
                restored_triggers_ << QLatin1String(trigger);
        }
    }
    q.finish();
    for (const char* statement : kSchema) {
        if (!step(QLatin1String(statement))) return false;
    }
    if (!step(QStringLiteral("COMMIT"))) return false;
    open_ = true;
    return true;
}

std::optional<qint64> AuditTrail::append(qint64 record, const QString& kind,
                                         const QJsonObject& content, QString& error) {
    if (!open(error)) return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    // The newest event and the new one in one write transaction: no other writer can put an
    // event between them, so the chain stays one.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        error = sql_error(q);
        return std::nullopt;
    }
    const auto rollback = [&q, &error] {
        error = sql_error(q);
        q.exec(QStringLiteral("ROLLBACK"));
        return std::nullopt;
    };
    if (!q.exec(QStringLiteral("SELECT id, hash FROM events ORDER BY id DESC LIMIT 1"))) {
        return rollback();
    }
    qint64 id = 1;
    QString prev_hash = kGenesis;
    if (q.next()) {
        id = q.value(0).toLongLong() + 1;
        prev_hash = q.value(1).toString();
    }
    q.finish();
    if (record == 0) record = id;
    const QString time =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    const QString text = QString::fromUtf8(QJsonDocument(content).toJson(QJsonDocument::Compact));
    const QString content_hash = sha256(text.toUtf8());
    q.prepare(
        QStringLiteral("INSERT INTO events (id, record, kind, time, content, content_hash, "
                       "prev_hash, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(id);
    q.addBindValue(record);
    q.addBindValue(kind);
    q.addBindValue(time);
    q.addBindValue(text);
    q.addBindValue(content_hash);
    q.addBindValue(prev_hash);
    q.addBindValue(event_hash(id, record, kind, time, content_hash, prev_hash));
    if (!q.exec()) return rollback();
    if (!q.exec(QStringLiteral("COMMIT"))) return rollback();
    return id;
}

std::vector<Record> AuditTrail::records(const QString& since, QString* error) {
    std::vector<Record> out;
    QString problem;
    if (!open(problem)) {
        if (error) *error = problem;
        return out;
    }
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (!q.exec(QLatin1String(kEventColumns) + QStringLiteral(" ORDER BY id"))) {
        if (error) *error = sql_error(q);
        return out;
    }
    std::map<qint64, std::size_t> index;
    while (q.next()) {
        const Event e = event_of(q);
        if (e.kind == QLatin1String("start")) {
            index[e.id] = out.size();
            Record r;
            r.id = e.id;
            r.time = e.time;
            r.start = e.content;
            out.push_back(std::move(r));
            continue;
        }
        const auto found = index.find(e.record);
        if (found == index.end()) continue;
        Record& r = out[found->second];
        if (e.kind == QLatin1String("sending")) r.sending = e.content;
        // A late answer replaces the end: its count takes the line that timed out in.
        if (e.kind == QLatin1String("end") || e.kind == QLatin1String("late")) r.end = e.content;
    }
    std::vector<Record> newest_first;
    for (auto it = out.rbegin(); it != out.rend(); ++it) {
        if (!since.isEmpty() && it->time < since) continue;
        newest_first.push_back(std::move(*it));
    }
    return newest_first;
}

std::optional<Record> AuditTrail::record(qint64 id, QString* error) {
    for (Record& r : records({}, error)) {
        if (r.id == id) return std::move(r);
    }
    return std::nullopt;
}

ChainCheck AuditTrail::verify() {
    ChainCheck check;
    QString error;
    if (!open(error)) {
        check.problem = error;
        return check;
    }
    check.restored_triggers = restored_triggers_;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (!q.exec(QLatin1String(kEventColumns) + QStringLiteral(" ORDER BY id"))) {
        check.problem = sql_error(q);
        return check;
    }
    qint64 expected_id = 1;
    QString prev_hash = kGenesis;
    while (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        const qint64 record = q.value(1).toLongLong();
        const QString kind = q.value(2).toString();
        const QString time = q.value(3).toString();
        const QString content = q.value(4).toString();
        const QString content_hash = q.value(5).toString();
        const QString stored_prev = q.value(6).toString();
        const QString hash = q.value(7).toString();
        const QString where = QStringLiteral("record %1 (event %2)").arg(record).arg(id);
        if (id != expected_id) {
            check.problem = QStringLiteral("gap in the chain: event %1 to %2 missing, before %3")
                                .arg(expected_id)
                                .arg(id - 1)
                                .arg(where);
            if (id == expected_id + 1) {
                check.problem = QStringLiteral("gap in the chain: event %1 missing, before %2")
                                    .arg(expected_id)
                                    .arg(where);
            }
            return check;
        }
        if (sha256(content.toUtf8()) != content_hash) {
            check.problem = where + QStringLiteral(": its content does not match its hash");
            return check;
        }
        if (event_hash(id, record, kind, time, content_hash, stored_prev) != hash) {
            check.problem = where + QStringLiteral(": it does not match its hash");
            return check;
        }
        if (stored_prev != prev_hash) {
            check.problem = where + QStringLiteral(": it does not follow the event before it");
            return check;
        }
        check.records += kind == QLatin1String("start") ? 1 : 0;
        ++check.events;
        ++expected_id;
        prev_hash = hash;
    }
    check.ok = true;
    check.newest_hash = check.events > 0 ? prev_hash : QString();
    return check;
}

QString file_sha256(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) return {};
    return QString::fromLatin1(hash.result().toHex());
}

}  // namespace vexilo::audit
