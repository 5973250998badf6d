#include "audit/audit_text.h"

#include <QFileInfo>
#include <QJsonArray>

namespace vexilo::audit {

QString field(const QJsonObject& object, const char* name) {
    return object.value(QLatin1String(name)).toString();
}

QString file_names(const Record& r) {
    QStringList names;
    for (const QJsonValue& file : r.start.value(QStringLiteral("files")).toArray())
        names << QFileInfo(field(file.toObject(), "path")).fileName();
    return names.join(QStringLiteral(", "));
}

// "2026-12-09 09:30:00 UTC (+01:00)"
QString time_text(const Record& r) {
    QString time = r.time;
    time.replace(u'T', u' ');
    time.chop(5);  // ".zzzZ"
    return time + QStringLiteral(" UTC (") + field(r.start, "local_offset") + u')';
}

QString who(const Record& r) {
    return field(r.start, "user") + u'@' + field(r.start, "host");
}

// Each changed object and field, as the plan prints it.
QStringList change_lines(const Record& r) {
    QStringList lines;
    // A whole send sends the unchanged objects too; a changed-only send leaves them out.
    const bool changed_only = r.start.value(QStringLiteral("changed_only")).toBool();
    for (const QJsonValue& value : r.sending.value(QStringLiteral("objects")).toArray()) {
        const QJsonObject object = value.toObject();
        QString kind = field(object, "kind");
        if (kind == QLatin1String("unchanged")) {
            kind += changed_only ? QStringLiteral(" (not sent)") : QStringLiteral(" (sent again)");
        }
        QString line =
            kind + QStringLiteral(": ") + field(object, "class") + u':' + field(object, "object");
        if (!field(object, "old_class").isEmpty()) {
            line += QStringLiteral(" (class ") + field(object, "old_class") +
                    QStringLiteral(" -> ") + field(object, "class") + u')';
        }
        lines << line;
        if (!field(object, "line").isEmpty()) {
            lines << QStringLiteral("    values: ") + field(object, "line");
        }
        for (const QJsonValue& change : object.value(QStringLiteral("fields")).toArray()) {
            const QJsonObject c = change.toObject();
            lines << QStringLiteral("    ") + field(c, "field") + QStringLiteral(": ") +
                         field(c, "old") + QStringLiteral(" -> ") + field(c, "new");
        }
    }
    return lines;
}

QStringList verification_lines(const Record& r) {
    const QJsonObject v = r.end.value(QStringLiteral("verification")).toObject();
    if (v.isEmpty()) {
        return {r.start.value(QStringLiteral("verify")).toBool() ? QStringLiteral("not finished")
                                                                 : QStringLiteral("not asked")};
    }
    QStringList lines = {field(v, "state") + QStringLiteral(", ") +
                         QString::number(v.value(QStringLiteral("verified")).toInt()) +
                         QStringLiteral(" objects verified")};
    for (const QJsonValue& d : v.value(QStringLiteral("differences")).toArray())
        lines << QStringLiteral("    ") + d.toString();
    return lines;
}

// Every line of one record, as show prints it and the PDF lists it.
QStringList record_lines(const Record& r) {
    QStringList lines = {
        QStringLiteral("Record %1: %2").arg(r.id).arg(field(r.start, "operation")),
        QStringLiteral("Time: ") + time_text(r), QStringLiteral("User: ") + who(r),
        QStringLiteral("Program: ") + field(r.start, "program") + u' ' + field(r.start, "version"),
        QStringLiteral("Port: ") + field(r.start, "port")};
    for (const QJsonValue& file : r.start.value(QStringLiteral("files")).toArray()) {
        const QJsonObject f = file.toObject();
        const QString sha = field(f, "sha256");
        lines << QStringLiteral("File: ") + field(f, "path") + QStringLiteral("  SHA-256 ") +
                     (sha.isEmpty() ? QStringLiteral("(not readable)") : sha);
    }
    const QJsonArray objects = r.start.value(QStringLiteral("objects")).toArray();
    if (!objects.isEmpty()) {
        QStringList names;
        for (const QJsonValue& name : objects)
            names << name.toString();
        lines << QStringLiteral("Objects: ") + names.join(QStringLiteral(", "));
    }
    if (r.start.value(QStringLiteral("changed_only")).toBool()) {
        lines << QStringLiteral("Changed only: yes");
    }
    if (!field(r.start, "reason").isEmpty())
        lines << QStringLiteral("Reason: ") + field(r.start, "reason");
    const QStringList changes = change_lines(r);
    if (!changes.isEmpty()) {
        lines << QStringLiteral("Changes:");
        for (const QString& line : changes)
            lines << QStringLiteral("  ") + line;
    }
    if (r.sending.contains(QStringLiteral("before"))) {
        lines << QStringLiteral("Configuration before: kept (audit show %1 --before -o FILE)")
                     .arg(r.id);
    }
    lines << QStringLiteral("Outcome: ") + r.outcome();
    const QStringList message = field(r.end, "message").split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : message)
        lines << QStringLiteral("  ") + line;
    if (r.end.contains(QStringLiteral("total"))) {
        lines << QStringLiteral("Accepted: %1 of %2")
                     .arg(r.end.value(QStringLiteral("accepted")).toInt())
                     .arg(r.end.value(QStringLiteral("total")).toInt());
    }
    const QStringList verification = verification_lines(r);
    lines << QStringLiteral("Verification: ") + verification.front();
    for (qsizetype i = 1; i < verification.size(); ++i)
        lines << verification[i];
    return lines;
}

}  // namespace vexilo::audit
