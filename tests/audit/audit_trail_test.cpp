// The audit trail's chain: what it records, what it refuses, and what a check finds when the
// database was changed behind its back.

#include "audit/audit_trail.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <future>
#include <thread>

namespace vexilo::audit {
namespace {

class AuditTrailTest : public ::testing::Test {
  protected:
    // Three operations: two ended, the last one unfinished.
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("audit.sqlite"));
        AuditTrail trail(path);
        QString error;
        for (int op = 1; op <= 3; ++op) {
            const auto start = trail.append(
                0, QStringLiteral("start"),
                QJsonObject{{"operation", "send lists"}, {"user", QString::number(op)}}, error);
            ASSERT_TRUE(start) << error.toStdString();
            starts.push_back(*start);
            if (op < 3) {
                ASSERT_TRUE(trail.append(*start, QStringLiteral("end"),
                                         QJsonObject{{"outcome", "done"}}, error));
            }
        }
    }

    // SQL behind the trail's back, as someone with the sqlite3 shell would run it.
    std::string tamper(const QStringList& statements) {
        QString problem;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tamper");
            db.setDatabaseName(path);
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            for (const QString& statement : statements) {
                if (!q.exec(statement)) {
                    problem = q.lastError().text();
                    break;
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("tamper"));
        return problem.toStdString();
    }

    ChainCheck check() { return AuditTrail(path).verify(); }

    QTemporaryDir dir;
    QString path;
    std::vector<qint64> starts;
};

TEST_F(AuditTrailTest, RecordsOperationsInOneChainAndAnUnendedOneReadsUnfinished) {
    AuditTrail trail(path);
    const std::vector<Record> records = trail.records();
    ASSERT_EQ(records.size(), 3u);
    // Newest first; a record's id is its start event's.
    EXPECT_EQ(records[0].id, starts[2]);
    EXPECT_EQ(records[0].outcome(), "unfinished");
    EXPECT_EQ(records[1].outcome(), "done");
    EXPECT_EQ(records[2].start.value("user").toString(), "1");

    const ChainCheck good = trail.verify();
    EXPECT_TRUE(good.ok) << good.problem.toStdString();
    EXPECT_EQ(good.events, 5);
    EXPECT_EQ(good.records, 3);
    EXPECT_EQ(good.newest_hash.size(), 64);
    // A second writer (another process would be the same) continues the same chain.
    QString error;
    ASSERT_TRUE(
        AuditTrail(path).append(starts[2], "end", QJsonObject{{"outcome", "failed"}}, error));
    const ChainCheck longer = check();
    EXPECT_TRUE(longer.ok);
    EXPECT_EQ(longer.events, 6);
    EXPECT_NE(longer.newest_hash, good.newest_hash);
}

TEST_F(AuditTrailTest, RefusesUpdateDeleteAndReplace) {
    EXPECT_TRUE(
        tamper({"UPDATE events SET content = '{}' WHERE id = 2"}).find("cannot be changed") !=
        std::string::npos);
    EXPECT_TRUE(tamper({"DELETE FROM events WHERE id = 5"}).find("cannot be deleted") !=
                std::string::npos);
    EXPECT_TRUE(tamper({"INSERT OR REPLACE INTO events SELECT * FROM events WHERE id = 1"})
                    .find("cannot be replaced") != std::string::npos);
    EXPECT_TRUE(check().ok);
}

TEST_F(AuditTrailTest, NamesTheFirstEventThatDoesNotMatch) {
    // The content edited with its triggers dropped: the event's own hash gives it away.
    ASSERT_EQ(
        tamper({"DROP TRIGGER events_no_update",
                "UPDATE events SET content = replace(content, 'done', 'failed') WHERE id = 4"}),
        "");
    ChainCheck damaged = check();
    EXPECT_FALSE(damaged.ok);
    EXPECT_EQ(damaged.problem.toStdString(),
              "record 3 (event 4): its content does not match its hash");

    // Content and content hash made to agree: the event's hash over both still does not.
    // (Opening the trail re-created the trigger.)
    ASSERT_EQ(tamper({"DROP TRIGGER events_no_update",
                      "UPDATE events SET content_hash = '" + QString(64, u'a') + "' WHERE id = 4"}),
              "");
    EXPECT_TRUE(check().problem.startsWith("record 3 (event 4)"));
}

TEST_F(AuditTrailTest, ARemovedEventIsAGapAndARewrittenChainDoesNotFollow) {
    ASSERT_EQ(tamper({"DROP TRIGGER events_no_delete", "DELETE FROM events WHERE id = 2"}), "");
    EXPECT_EQ(check().problem.toStdString(),
              "gap in the chain: event 2 missing, before record 3 (event 3)");
    // Renumbered to hide the gap: the chain's link to the event before breaks.
    ASSERT_EQ(
        tamper({"DROP TRIGGER events_no_update", "UPDATE events SET id = id - 1 WHERE id > 2"}),
        "");
    EXPECT_FALSE(check().ok);
    EXPECT_TRUE(check().problem.contains("event 2")) << check().problem.toStdString();
}

// Another program creating the same new trail at that moment holds it for a write: opening
// waits for it rather than fail with "database is locked".
TEST(AuditTrailOpen, ANewTrailBeingCreatedElsewhereIsWaitedFor) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("audit.sqlite"));
    std::promise<bool> holding;
    std::thread other([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
            db.setDatabaseName(path);
            QSqlQuery q(db);
            const bool held = db.open() && q.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
                              q.exec(QStringLiteral("CREATE TABLE early (x)"));
            holding.set_value(held);
            QThread::msleep(300);
            q.exec(QStringLiteral("COMMIT"));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    });
    ASSERT_TRUE(holding.get_future().get());
    AuditTrail trail(path);
    QString error;
    EXPECT_TRUE(trail.open(error)) << error.toStdString();
    other.join();
    EXPECT_TRUE(trail.append(0, QStringLiteral("start"), QJsonObject{{"operation", "get"}}, error))
        << error.toStdString();
}

}  // namespace
}  // namespace vexilo::audit

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
