#include "audit/audit_recorder.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSysInfo>

#include "config/encoding.h"
#include "config/messages.h"
#include "config/object_list_file.h"
#include "settings/settings.h"

namespace vexilo::audit {
namespace {

// Names and messages are program text (Windows-1252); the trail keeps UTF-8.
QString text(const std::string& program_text) {
    return QString::fromStdString(windows1252_to_utf8(program_text));
}

// Paths and ports are the system's bytes.
QString system_text(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// The account the process runs as, not what the environment claims.
QString os_user() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return QString::number(::geteuid());
}

QString local_offset() {
    const int seconds = QDateTime::currentDateTime().offsetFromUtc();
    const int minutes = (seconds < 0 ? -seconds : seconds) / 60;
    return QString(seconds < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

const char* outcome_name(OperationResult::Outcome outcome) {
    switch (outcome) {
        case OperationResult::Outcome::Done:
            return "done";
        case OperationResult::Outcome::Stopped:
            return "stopped";
        case OperationResult::Outcome::Failed:
            return "failed";
    }
    return "failed";
}

const char* failure_name(Tnimbra_lib::Failure failure) {
    switch (failure) {
        case Tnimbra_lib::Failure::Refused:
            return "refused";
        case Tnimbra_lib::Failure::NoAnswer:
            return "no answer";
        case Tnimbra_lib::Failure::LineLost:
            return "line lost";
        case Tnimbra_lib::Failure::PortChanged:
            return "port changed";
        case Tnimbra_lib::Failure::NotSent:
            return "not sent";
    }
    return "";
}

QJsonObject end_content(const OperationResult& result) {
    QJsonObject end{{"outcome", QLatin1String(outcome_name(result.outcome))},
                    {"message", text(result.message)}};
    if (result.outcome == OperationResult::Outcome::Stopped) {
        end["failure"] = QLatin1String(failure_name(result.reason));
    }
    if (result.total > 0) {
        end["accepted"] = result.accepted;
        end["total"] = result.total;
    }
    const Verification& v = result.verification;
    if (v.state != Verification::State::NotAsked) {
        QJsonArray differences;
        for (const std::string& line : v.differences)
            differences.append(text(line));
        end["verification"] = QJsonObject{
            {"state", v.state == Verification::State::Passed ? QStringLiteral("passed")
                                                             : QStringLiteral("failed")},
            {"verified", v.verified},
            {"differences", differences}};
    }
    return end;
}

}  // namespace

ReasonMode reason_mode() {
    const int value = read_int_setting(kReasonSetting, 0);
    return value == 2 ? ReasonMode::Required : value == 1 ? ReasonMode::Optional : ReasonMode::Off;
}

void store_reason_mode(ReasonMode mode) {
    store_int_setting(kReasonSetting, static_cast<int>(mode));
}

bool changes_instrument(OperationKind kind) {
    return kind == OperationKind::SendLists || kind == OperationKind::SendObjects ||
           kind == OperationKind::RemoveAll || kind == OperationKind::Restart;
}

AuditRecorder::AuditRecorder(QString path) : trail_(std::move(path)) {}

std::string AuditRecorder::operation_starting(const OperationStart& start) {
    QString reason = reason_;
    const ReasonMode mode = reason_mode();
    if (changes_instrument(start.kind) && mode != ReasonMode::Off && reason.isEmpty() && asker_) {
        const std::optional<QString> typed = asker_(start);
        if (!typed) return "Not sent: cancelled, no reason given";
        reason = typed->trimmed();
    }
    if (changes_instrument(start.kind) && mode == ReasonMode::Required && reason.isEmpty()) {
        return "Not sent: a reason is required for every change to the Nimbra";
    }
    QJsonArray files;
    for (const std::string& file : start.files) {
        const QString path = QFileInfo(system_text(file)).absoluteFilePath();
        files.append(QJsonObject{{"path", path}, {"sha256", file_sha256(path)}});
    }
    QJsonArray objects;
    for (const std::string& name : start.objects)
        objects.append(text(name));
    QJsonObject content{{"operation", QLatin1String(operation_name(start.kind))},
                        {"port", system_text(start.port)},
                        {"files", files},
                        {"user", os_user()},
                        {"host", QSysInfo::machineHostName()},
                        {"program", QCoreApplication::applicationName()},
                        {"version", QStringLiteral(VEXILO_VERSION_TEXT)},
                        {"pid", static_cast<qint64>(::getpid())},
                        {"local_offset", local_offset()}};
    if (!objects.isEmpty()) content["objects"] = objects;
    if (start.changed_only) content["changed_only"] = true;
    if (start.verify) content["verify"] = true;
    if (!reason.isEmpty()) content["reason"] = reason;
    QString error;
    const std::optional<qint64> id = trail_.append(0, QStringLiteral("start"), content, error);
    if (!id) {
        return "Not sent: the audit trail " + trail_.path().toLocal8Bit().toStdString() +
               " cannot be written: " + utf8_to_windows1252(error.toStdString());
    }
    records_[&start] = *id;
    return {};
}

void AuditRecorder::sending(const OperationStart& start, const Configuration* before,
                            const Plan& comparison) {
    QJsonArray objects;
    for (const PlanEntry& entry : comparison.entries) {
        QJsonObject object{{"kind", QLatin1String(plan_kind_name(entry.kind))},
                           {"class", text(entry.class_name)},
                           {"object", text(entry.object_name)}};
        if (!entry.list.empty()) object["list"] = text(entry.list);
        if (!entry.old_class.empty()) object["old_class"] = text(entry.old_class);
        // A new object has no old values: its line gives every new one.
        if (entry.kind == PlanKind::New && entry.command.size() > 8) {
            object["line"] = text(entry.command.substr(8));
        }
        QJsonArray fields;
        for (const FieldChange& change : entry.fields) {
            fields.append(QJsonObject{{"field", text(change.field)},
                                      {"old", text(change.old_value)},
                                      {"new", text(change.new_value)}});
        }
        if (!fields.isEmpty()) object["fields"] = fields;
        objects.append(object);
    }
    QJsonObject content{{"objects", objects}};
    if (before != nullptr) {
        // One text (CR LF between lines, as the file has them): a 1928-object configuration
        // costs a fraction of what as many JSON strings would.
        std::string lines;
        for (const std::string& line : object_list_lines(*before, {}))
            lines += line + "\r\n";
        content["before"] = text(lines);
    }
    write(start, QStringLiteral("sending"), content);
}

void AuditRecorder::operation_ended(const OperationStart& start, const OperationResult& result) {
    const auto found = records_.find(&start);
    // A send that stopped may still hear its last line acknowledged: the late answer then
    // belongs to this record.
    late_record_ = found != records_.end() && result.send_stopped() ? found->second : 0;
    write(start, QStringLiteral("end"), end_content(result));
    records_.erase(&start);
}

void AuditRecorder::late_answer(const OperationStart&, const OperationResult& result) {
    if (late_record_ == 0) return;
    QString error;
    if (!trail_.append(late_record_, QStringLiteral("late"), end_content(result), error)) {
        show_error("The audit trail could not record the late answer of record " +
                   std::to_string(late_record_) + ": " + utf8_to_windows1252(error.toStdString()));
    }
    late_record_ = 0;
}

void AuditRecorder::write(const OperationStart& start, const QString& kind,
                          const QJsonObject& content) {
    const auto found = records_.find(&start);
    if (found == records_.end()) return;  // refused before its start was written
    QString error;
    if (!trail_.append(found->second, kind, content, error)) {
        show_error("The audit trail could not record the " + kind.toStdString() + " of record " +
                   std::to_string(found->second) + ": " + utf8_to_windows1252(error.toStdString()));
    }
}

}  // namespace vexilo::audit
