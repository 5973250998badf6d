// audit: the trail of instrument operations, read back: list, show, verify, export.

#include <QAbstractTextDocumentLayout>
#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <cstdio>

#include "audit/audit_text.h"
#include "audit/audit_trail.h"
#include "cli.h"
#include "config/encoding.h"
#include "config/messages.h"
#include "config/text_file.h"

namespace vexilo::cli {
namespace {

using audit::AuditTrail;
using audit::change_lines;
using audit::field;
using audit::file_names;
using audit::Record;
using audit::record_lines;
using audit::time_text;
using audit::verification_lines;
using audit::who;

// Prints UTF-8 text as one line (control characters escaped, as every line).
void print_utf8(const QString& text) {
    print_line(utf8_to_windows1252(text.toStdString()));
}

void error_utf8(const QString& text) {
    show_error(utf8_to_windows1252(text.toStdString()));
}

QJsonObject record_json(const Record& r) {
    QJsonObject start = r.start;
    QJsonObject json{{"id", r.id},
                     {"time", r.time},
                     {"outcome", r.outcome()},
                     {"start", start},
                     {"changes", r.sending.value(QStringLiteral("objects"))},
                     {"end", r.end}};
    return json;
}

// --since DATE: a date (local midnight) or a date and time, as UTC text for comparing.
bool since_text(const std::string& value, QString& since) {
    const QString text = QString::fromStdString(value);
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid()) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (!date.isValid()) return false;
        time = date.startOfDay();
    }
    since = time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    return true;
}

int list(const Args& args, AuditTrail& trail) {
    bool json = false;
    QString since;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--since" && i + 1 < args.size()) {
            if (!since_text(args[++i], since)) {
                return usage_error("--since takes a date (YYYY-MM-DD) or an ISO date and time");
            }
        } else {
            return usage_error("audit list takes --since DATE and --json, not '" + args[i] + "'");
        }
    }
    QString error;
    const std::vector<Record> records = trail.records(since, &error);
    if (!error.isEmpty()) {
        error_utf8(QStringLiteral("Cannot read the audit trail %1: %2").arg(trail.path(), error));
        return kFailed;
    }
    if (json) {
        QJsonArray array;
        for (const Record& r : records)
            array.append(record_json(r));
        const QByteArray out = QJsonDocument(array).toJson();
        std::fwrite(out.constData(), 1, static_cast<std::size_t>(out.size()), stdout);
        return kDone;
    }
    for (const Record& r : records) {
        print_utf8(QStringList{QString::number(r.id), time_text(r), who(r), field(r.start, "port"),
                               field(r.start, "operation"), file_names(r), r.outcome_text()}
                       .join(u'\t'));
    }
    return kDone;
}

int show(const Args& args, AuditTrail& trail) {
    qint64 id = 0;
    bool before = false;
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--before") {
            before = true;
        } else if (args[i] == "-o" && i + 1 < args.size()) {
            out = args[++i];
        } else if (id == 0 && !args[i].empty() &&
                   args[i].find_first_not_of("0123456789") == std::string::npos) {
            id = std::stoll(args[i]);
        } else {
            return usage_error("audit show takes ID [--before -o FILE], not '" + args[i] + "'");
        }
    }
    if (id == 0) return usage_error("audit show needs a record ID");
    if (before != !out.empty()) return usage_error("--before and -o FILE go together");
    QString error;
    const std::optional<Record> r = trail.record(id, &error);
    if (!r) {
        error_utf8(error.isEmpty() ? QStringLiteral("No record %1 in the audit trail").arg(id)
                                   : error);
        return kFailed;
    }
    if (before) {
        const QString lines = r->sending.value(QStringLiteral("before")).toString();
        if (lines.isEmpty()) {
            error_utf8(
                QStringLiteral("Record %1 kept no configuration from before a send").arg(id));
            return kFailed;
        }
        std::vector<std::string> text;
        for (const QString& line : lines.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            text.push_back(utf8_to_windows1252(line.toStdString()));
        return write_text_lines(system_path(out), text) ? kDone : kFailed;
    }
    for (const QString& line : record_lines(*r))
        print_utf8(line);
    return kDone;
}

int verify(const Args& args, AuditTrail& trail) {
    if (!args.empty()) return usage_error("audit verify takes no argument");
    const audit::ChainCheck check = trail.verify();
    if (!check.restored_triggers.isEmpty()) {
        show_info(
            utf8_to_windows1252(QStringLiteral("The trail's triggers %1 were missing (dropped "
                                               "by other tools) and are back")
                                    .arg(check.restored_triggers.join(QStringLiteral(", ")))
                                    .toStdString()));
    }
    if (!check.ok) {
        error_utf8(
            QStringLiteral("Audit trail %1 does not verify: %2").arg(trail.path(), check.problem));
        return kFailed;
    }
    print_utf8(QStringLiteral("Audit trail verified: %1 records, %2 events")
                   .arg(check.records)
                   .arg(check.events));
    print_utf8(QStringLiteral("Newest hash: ") +
               (check.newest_hash.isEmpty() ? QStringLiteral("(no events)") : check.newest_hash));
    return kDone;
}

QString csv_cell(QString text) {
    // A cell a spreadsheet would take for a formula (a name or reason from elsewhere starting
    // with "=", "+", "-" or "@") is kept as text.
    bool number = false;
    text.toDouble(&number);
    // The local offset ("+01:00") is no formula either.
    const bool offset = text.size() == 6 && text[3] == u':' && text[1].isDigit();
    if (!number && !offset && !text.isEmpty() && QStringLiteral("=+-@").contains(text.front())) {
        text.prepend(u'\'');
    }
    if (text.contains(u'"') || text.contains(u',') || text.contains(u'\n')) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return u'"' + text + u'"';
    }
    return text;
}

QString chain_text(const audit::ChainCheck& check) {
    return check.ok ? QStringLiteral("chain verified, %1 records, newest hash %2")
                          .arg(check.records)
                          .arg(check.newest_hash)
                    : QStringLiteral("CHAIN DOES NOT VERIFY: ") + check.problem;
}

bool export_csv(const std::vector<Record>& records, const audit::ChainCheck& check,
                const QString& path) {
    QStringList rows = {QStringLiteral(
        "record,time_utc,local_offset,user,host,program,version,port,operation,files,reason,"
        "outcome,message,accepted,total,verification,changes")};
    for (const Record& r : records) {
        QStringList files;
        for (const QJsonValue& file : r.start.value(QStringLiteral("files")).toArray()) {
            files << field(file.toObject(), "path") + u' ' + field(file.toObject(), "sha256");
        }
        QStringList changes = change_lines(r);
        for (QString& line : changes)
            line = line.trimmed();
        const QStringList cells = {
            QString::number(r.id),
            r.time,
            field(r.start, "local_offset"),
            field(r.start, "user"),
            field(r.start, "host"),
            field(r.start, "program"),
            field(r.start, "version"),
            field(r.start, "port"),
            field(r.start, "operation"),
            files.join(QStringLiteral("; ")),
            field(r.start, "reason"),
            r.outcome(),
            field(r.end, "message"),
            r.end.contains(QStringLiteral("total"))
                ? QString::number(r.end.value(QStringLiteral("accepted")).toInt())
                : QString(),
            r.end.contains(QStringLiteral("total"))
                ? QString::number(r.end.value(QStringLiteral("total")).toInt())
                : QString(),
            verification_lines(r).join(u'\n'),
            changes.join(u'\n')};
        QStringList quoted;
        for (const QString& cell : cells)
            quoted << csv_cell(cell);
        rows << quoted.join(u',');
    }
    // The anchor: whoever keeps this file can later tell a cut or replaced trail.
    rows << QStringLiteral("# ") + chain_text(check);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write((rows.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    return file.commit();
}

QString html_escaped(const QString& text) {
    return text.toHtmlEscaped();
}

// Printable: one block per record, and on every page a header with the newest hash, so that
// a printed page anchors the chain.
bool export_pdf(const std::vector<Record>& records, const audit::ChainCheck& check,
                const QString& path, const QString& trail_path) {
    // Fixed pitch throughout: a proportional font sets "ff" and "fi" of a hash as ligatures,
    // and a hash copied from the PDF or read off paper must be the hash.
    QString html = QStringLiteral("<html><body style='font-family: monospace; font-size: 8pt'>");
    for (const Record& r : records) {
        const QStringList lines = record_lines(r);
        html += QStringLiteral("<p style='margin-top: 8px'><b>") + html_escaped(lines.front()) +
                QStringLiteral("</b> &mdash; ") + html_escaped(r.outcome_text()) +
                QStringLiteral("<br/>");
        for (qsizetype i = 1; i < lines.size(); ++i) {
            QString line = html_escaped(lines[i]);
            line.replace(QStringLiteral("  "), QStringLiteral("&nbsp;&nbsp;"));
            html += line + QStringLiteral("<br/>");
        }
        html += QStringLiteral("</p>");
    }
    if (records.empty()) html += QStringLiteral("<p>No records.</p>");
    html += QStringLiteral("</body></html>");

    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("Vexilo audit trail"));
    writer.setCreator(QStringLiteral("vexilo-cli ") + QStringLiteral(VEXILO_VERSION_TEXT));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    const QRectF page = writer.pageLayout().paintRectPixels(writer.resolution());
    QFont header_font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    header_font.setPointSizeF(7.5);
    const qreal header_height = QFontMetricsF(header_font, &writer).height() * 3.6;
    const QRectF body(0, 0, page.width(), page.height() - header_height);

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setPageSize(body.size());
    document.setHtml(html);
    const int pages = document.pageCount();
    const QString exported =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
    for (int p = 0; p < pages; ++p) {
        if (p > 0) writer.newPage();
        painter.setFont(header_font);
        painter.setPen(Qt::black);
        const QString header = QStringLiteral("Vexilo audit trail %1, exported %2, page %3 of %4\n")
                                   .arg(trail_path, exported)
                                   .arg(p + 1)
                                   .arg(pages) +
                               chain_text(check);
        painter.drawText(QRectF(0, 0, page.width(), header_height),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, header);
        painter.drawLine(QPointF(0, header_height * 0.9),
                         QPointF(page.width(), header_height * 0.9));
        painter.save();
        painter.translate(0, header_height - p * body.height());
        document.drawContents(&painter, QRectF(0, p * body.height(), body.width(), body.height()));
        painter.restore();
    }
    return painter.end();
}

int export_trail(const Args& args, AuditTrail& trail) {
    std::string csv;
    std::string pdf;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--csv" || args[i] == "--pdf") && i + 1 < args.size() &&
            !args[i + 1].empty()) {
            (args[i] == "--csv" ? csv : pdf) = args[i + 1];
            ++i;
        } else {
            return usage_error("audit export takes --csv FILE or --pdf FILE, not '" + args[i] +
                               "'");
        }
    }
    if (csv.empty() == pdf.empty())
        return usage_error("audit export needs --csv FILE or --pdf FILE");
    QString error;
    const std::vector<Record> records = trail.records({}, &error);
    if (!error.isEmpty()) {
        error_utf8(QStringLiteral("Cannot read the audit trail %1: %2").arg(trail.path(), error));
        return kFailed;
    }
    const audit::ChainCheck check = trail.verify();
    const std::string target = system_path(csv.empty() ? pdf : csv);
    const QString path = QFile::decodeName(QByteArray::fromStdString(target));
    const bool written = csv.empty() ? export_pdf(records, check, path, trail.path())
                                     : export_csv(records, check, path);
    if (!written) {
        show_error("Cannot create file " + (csv.empty() ? pdf : csv));
        return kFailed;
    }
    if (!check.ok) {
        error_utf8(
            QStringLiteral("Audit trail %1 does not verify: %2").arg(trail.path(), check.problem));
        return kFailed;
    }
    print_utf8(QStringLiteral("Newest hash: ") + check.newest_hash);
    return kDone;
}

}  // namespace

bool audit_needs_gui(const Args& args) {
    for (const std::string& arg : args) {
        if (arg == "--pdf") return true;
    }
    return false;
}

int audit(const Args& args, const Options&) {
    if (args.empty()) return usage_error("audit needs list, show, verify or export");
    const std::string& what = args.front();
    const Args rest(args.begin() + 1, args.end());
    AuditTrail trail;
    if (what == "list") return list(rest, trail);
    if (what == "show") return show(rest, trail);
    if (what == "verify") return verify(rest, trail);
    if (what == "export") return export_trail(rest, trail);
    return usage_error("audit has no command '" + what + "' (list, show, verify, export)");
}

}  // namespace vexilo::cli
