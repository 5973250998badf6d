// Proof against nimbra-sim through vexilo-cli: the read-back after a send, and the audit trail
// every operation leaves.

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>

#include "e2e_support.h"
#include "settings/settings.h"

namespace vexilo::test {
namespace {

class AuditSim : public ::testing::Test {
  protected:
    void start(const Lines& extra = {}, const std::string& link = "nimbra") {
        Lines args = {"--config", kExamples + "/instrument.nol", "--link", dir.file(link)};
        args.insert(args.end(), extra.begin(), extra.end());
        sims.push_back(std::make_unique<SimProcess>(NIMBRA_SIM_PATH, args, dir));
        ASSERT_TRUE(sims.back()->started());
        ASSERT_TRUE(sims.back()->port()) << sims.back()->log();
    }

    CliResult cli(Lines args, const std::string& link = "nimbra") {
        args.insert(args.begin(), {"--port", dir.file(link)});
        return run_cli(dir, args);
    }

    // vexilo-cli as a shell command line, with this test's settings and trail.
    std::string cli_line(const Lines& args, const std::string& link, const std::string& out,
                         const std::string& audit = "audit.sqlite") {
        std::string line = "VEXILO_SETTINGS=" + shell_quoted(dir.file("settings.ini")) +
                           " VEXILO_AUDIT=" + shell_quoted(dir.file(audit)) + " " +
                           shell_quoted(VEXILO_CLI) + " --port " + shell_quoted(dir.file(link));
        for (const std::string& arg : args)
            line += " " + shell_quoted(arg);
        return line + " >/dev/null 2>" + shell_quoted(dir.file(out)) + " </dev/null";
    }

    // The records, newest first, as audit list --json gives them.
    QJsonArray records() {
        const CliResult list = run_cli(dir, {"audit", "list", "--json"});
        EXPECT_EQ(list.status, 0) << list.err;
        return QJsonDocument::fromJson(QByteArray::fromStdString(list.out)).array();
    }

    static QString operation(const QJsonValue& record) {
        return record["start"]["operation"].toString();
    }

    void TearDown() override {
        if (!HasFailure()) return;
        for (const auto& sim : sims)
            std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    TempDir dir;
    std::vector<std::unique_ptr<SimProcess>> sims;
};

TEST_F(AuditSim, VerifyPassesOnASoundInstrumentAndNamesTheObjectMisstored) {
    start({"--fault", "misstore@1"});
    const std::string assay = kExamples + "/lists/assay.nol";
    // The first object is stored wrong: the send is acknowledged, the read-back is not.
    const CliResult bad = cli({"send", "--verify", assay});
    EXPECT_EQ(bad.status, 1) << bad.err;
    EXPECT_NE(bad.err.find("error: Verification failed: 1 of 6 objects not stored as sent"),
              std::string::npos)
        << bad.err;
    EXPECT_NE(bad.err.find("error: Tray:AssayTray: Position: sent 60 mm -> stored 61 mm"),
              std::string::npos)
        << bad.err;
    // The fault is used up: the same send now stores what it sends, and says how many.
    const CliResult good = cli({"send-objects", "--verify", assay});
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_NE(good.err.find("status: 6 objects verified"), std::string::npos) << good.err;
}

TEST_F(AuditSim, EveryOperationLeavesItsRecordAndTheTrailVerifies) {
    start();
    const std::string assay = kExamples + "/lists/assay.nol";
    ASSERT_EQ(cli({"get-config"}).status, 0);
    ASSERT_EQ(cli({"plan", assay}).status, 0);
    ASSERT_EQ(cli({"--reason", "new assay for batch 7", "send", assay}).status, 0);
    ASSERT_EQ(cli({"send-objects", "--changed-only", assay}).status, 2);  // not an option
    ASSERT_EQ(cli({"send-objects", assay, "--object", "AssayPump"}).status, 0);
    ASSERT_EQ(cli({"restart"}).status, 0);
    ASSERT_EQ(cli({"remove-all", "--yes"}).status, 0);

    const QJsonArray all = records();
    ASSERT_EQ(all.size(), 6);
    const QStringList expected = {"remove all", "restart", "send objects",
                                  "send lists", "plan",    "get configuration"};
    for (int i = 0; i < all.size(); ++i) {
        EXPECT_EQ(operation(all.at(i)), expected[i]);
        EXPECT_EQ(all.at(i)["outcome"].toString(), "done");
        EXPECT_EQ(all.at(i)["start"]["port"].toString().toStdString(), dir.file("nimbra"));
    }
    const QJsonValue send = all.at(3);
    EXPECT_EQ(send["start"]["reason"].toString(), "new assay for batch 7");
    QFile list(QString::fromStdString(assay));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(send["start"]["files"][0]["sha256"].toString(),
              QCryptographicHash::hash(list.readAll(), QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(send["changes"].toArray().size(), 6);
    EXPECT_EQ(send["end"]["accepted"].toInt(), 6);
    // The pump sent again is unchanged; the configuration before it held the whole assay.
    EXPECT_EQ(all.at(2)["changes"][0]["kind"].toString(), "unchanged");
    const std::string id = std::to_string(all.at(2)["id"].toInt());
    ASSERT_EQ(run_cli(dir, {"audit", "show", id, "--before", "-o", dir.file("before.nol")}).status,
              0);
    const Lines before = object_lines_of(dir.file("before.nol"));
    EXPECT_EQ(before.size(), object_lines_of(kExamples + "/instrument.nol").size() + 6);

    const CliResult verify = run_cli(dir, {"audit", "verify"});
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find("Audit trail verified: 6 records, 14 events"), std::string::npos)
        << verify.out;

    // Exports anchor the chain: the newest hash closes the CSV and heads every PDF page.
    const std::string newest = verify.out.substr(verify.out.find("Newest hash: ") + 13, 64);
    ASSERT_EQ(run_cli(dir, {"audit", "export", "--csv", dir.file("trail.csv")}).status, 0);
    const std::string csv = file_text(dir.file("trail.csv"));
    EXPECT_NE(csv.find("# chain verified, 6 records, newest hash " + newest + "\r\n"),
              std::string::npos);
    EXPECT_EQ(csv.find("\n7,"), std::string::npos);  // a record's later events are no rows
    ASSERT_EQ(run_cli(dir, {"audit", "export", "--pdf", dir.file("trail.pdf")}).status, 0);
    ASSERT_EQ(std::system(("pdftotext " + shell_quoted(dir.file("trail.pdf"))).c_str()), 0);
    const std::string pdf = file_text(dir.file("trail.txt"));
    EXPECT_NE(pdf.find("newest hash " + newest), std::string::npos);
    EXPECT_NE(pdf.find("Reason: new assay for batch 7"), std::string::npos);

    // Reasons required: a change without one is refused before anything is sent.
    ::setenv("VEXILO_SETTINGS", dir.file("settings.ini").c_str(), 1);
    store_int_setting("Ask For Reason", 2);
    ::unsetenv("VEXILO_SETTINGS");
    const int sent = count_of(logged_commands(sims[0]->log()), "DLD_OBJ");
    const CliResult refused = cli({"send", assay});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("error: Not sent: a reason is required"), std::string::npos)
        << refused.err;
    EXPECT_EQ(count_of(logged_commands(sims[0]->log()), "DLD_OBJ"), sent);
    EXPECT_EQ(cli({"--reason", "again", "restart"}).status, 0);

    // A trail that cannot be written refuses the operation before the port hears anything.
    const std::string commands = sims[0]->log();
    // (A folder that is a file: nothing can be created there.)
    const std::string blocked =
        cli_line({"get-config"}, "nimbra", "blocked.err", "before.nol/audit");
    EXPECT_NE(std::system(blocked.c_str()), 0);
    EXPECT_NE(file_text(dir.file("blocked.err")).find("error: Not sent: the audit trail "),
              std::string::npos)
        << file_text(dir.file("blocked.err"));
    EXPECT_EQ(logged_commands(sims[0]->log()), logged_commands(commands));
}

TEST_F(AuditSim, AKilledSendIsUnfinishedAndTwoSendsAtOnceKeepOneChain) {
    // Each object is answered late, so the sends overlap and the kill finds one under way.
    start({"--fault", "slow:DLD_OBJ:150"}, "one");
    start({"--fault", "slow:DLD_OBJ:150"}, "two");
    const std::string assay = kExamples + "/lists/assay.nol";
    const std::string wash = kExamples + "/lists/wash.nol";
    const std::string both = cli_line({"send", assay}, "one", "one.err") + " & " +
                             cli_line({"send", wash}, "two", "two.err") + " & wait";
    ASSERT_EQ(std::system(("sh -c " + shell_quoted(both)).c_str()), 0);
    QJsonArray all = records();
    ASSERT_EQ(all.size(), 2);
    QStringList ports;
    for (const QJsonValue& record : all) {
        EXPECT_EQ(record["outcome"].toString(), "done") << file_text(dir.file("one.err"));
        ports << record["start"]["port"].toString();
    }
    ports.sort();
    EXPECT_EQ(ports, (QStringList{QString::fromStdString(dir.file("one")),
                                  QString::fromStdString(dir.file("two"))}));

    const int logged = static_cast<int>(sims[0]->log().size());
    const std::string background = cli_line({"send", assay}, "one", "killed.err") + " & echo $! >" +
                                   shell_quoted(dir.file("pid"));
    ASSERT_EQ(std::system(("sh -c " + shell_quoted(background)).c_str()), 0);
    // Two objects of the new send acknowledged: it is under way.
    for (int i = 0;
         i < 1000 && count_of(logged_commands(sims[0]->log().substr(logged)), "DLD_OBJ") < 2; ++i)
        ::usleep(10'000);
    ASSERT_GE(count_of(logged_commands(sims[0]->log().substr(logged)), "DLD_OBJ"), 2);
    const pid_t pid = std::stoi(file_text(dir.file("pid")));
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    for (int i = 0; i < 200 && ::kill(pid, 0) == 0; ++i)
        ::usleep(10'000);  // gone; its parent shell has already left

    all = records();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all.at(0)["outcome"].toString(), "unfinished");
    const CliResult listed = run_cli(dir, {"audit", "list"});
    EXPECT_NE(listed.out.find("\tunfinished\n"), std::string::npos) << listed.out;
    const CliResult verify = run_cli(dir, {"audit", "verify"});
    EXPECT_EQ(verify.status, 0) << verify.err;
}

TEST_F(AuditSim, ARecordEditedBehindVexilosBackFailsTheCheckAndIsNamed) {
    start();
    ASSERT_EQ(cli({"get-config"}).status, 0);
    ASSERT_EQ(cli({"send", kExamples + "/lists/wash.nol"}).status, 0);
    const std::string sql =
        "DROP TRIGGER events_no_update; "
        "UPDATE events SET content = replace(content, '\"done\"', '\"failed\"') WHERE id = 5;";
    ASSERT_EQ(
        std::system(("sqlite3 " + shell_quoted(dir.file("audit.sqlite")) + " " + shell_quoted(sql))
                        .c_str()),
        0);
    const CliResult verify = run_cli(dir, {"audit", "verify"});
    EXPECT_EQ(verify.status, 1);
    EXPECT_NE(verify.err.find("record 3 (event 5): its content does not match its hash"),
              std::string::npos)
        << verify.err;
    EXPECT_NE(verify.err.find("info: The trail's triggers events_no_update were missing"),
              std::string::npos)
        << verify.err;
}

}  // namespace
}  // namespace vexilo::test
