#pragma once
// The audit trail: one SQLite database of events, a start and an end for every operation of
// the instrument service (a send also records what it is about to change, before the queue
// goes out). A record is one operation; its id is the id of its start event. A start with no
// end is a run that was killed: "unfinished".
//
// Tamper evidence: each event stores the SHA-256 of its content, the hash of the event
// before it and its own hash over both (with its id, record, kind and time): a hash chain.
// Triggers refuse UPDATE and DELETE, and an INSERT of an id that exists (INSERT OR REPLACE).
// Writers from several processes serialise with BEGIN IMMEDIATE, so there is one chain.
// What it cannot show by itself: a whole database replaced, or its newest events cut off;
// those are caught only against a newest hash kept elsewhere (printed, exported).

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vexilo::audit {

struct Event {
    qint64 id = 0;
    qint64 record = 0;
    QString kind;  // "start", "sending", "end", "late"
    QString time;  // UTC, ISO 8601 with milliseconds and "Z"
    QJsonObject content;
    QString hash;
};

// One operation, as its events tell it.
struct Record {
    qint64 id = 0;
    QString time;  // the start's, UTC
    QJsonObject start;
    QJsonObject sending;      // empty unless a queue went out
    QJsonObject end;          // empty: unfinished
    QString outcome() const;  // "done", "stopped", "failed" or "unfinished"
    // "done", "stopped: Download stopped: 3 of 6 ...", ... as one line for lists.
    QString outcome_text() const;
};

struct ChainCheck {
    bool ok = false;
    qint64 events = 0;
    qint64 records = 0;
    QString newest_hash;  // of the newest event
    QString problem;      // the first event that does not match, or a gap
    // Triggers found missing when the trail was opened (and put back): someone dropped them.
    QStringList restored_triggers;
};

class AuditTrail {
  public:
    // $VEXILO_AUDIT when set; else the "Audit Trail" setting when set; else audit.sqlite in
    // the user's data folder (shared by the window and vexilo-cli).
    static QString default_path();

    explicit AuditTrail(QString path = default_path());
    ~AuditTrail();
    AuditTrail(const AuditTrail&) = delete;
    AuditTrail& operator=(const AuditTrail&) = delete;

    const QString& path() const { return path_; }
    // Opens (creating on first use) the database; false with the error. A folder on a
    // network file system is refused: its locks do not hold between machines.
    bool open(QString& error);
    bool is_open() const { return open_; }

    // Appends an event to the chain; record 0 starts a new record. The event's id, or nothing
    // with the error.
    std::optional<qint64> append(qint64 record, const QString& kind, const QJsonObject& content,
                                 QString& error);

    // Records newest first; with since, only those started at or after it (UTC ISO text).
    std::vector<Record> records(const QString& since = {}, QString* error = nullptr);
    std::optional<Record> record(qint64 id, QString* error = nullptr);
    // Checks every event and the chain from the first.
    ChainCheck verify();

  private:
    QString path_;
    QString connection_;
    bool open_ = false;
    QStringList restored_triggers_;
};

// SHA-256 of a file's bytes in hex, or empty when it cannot be read.
QString file_sha256(const QString& path);

// Empty when the folder's file system keeps SQLite's locks; else why not.
QString network_file_system(const QString& folder);

}  // namespace vexilo::audit
