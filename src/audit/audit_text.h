#pragma once
// A record as people read it: the lines `vexilo-cli audit show` prints, the PDF export lists
// and the History window shows.

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "audit/audit_trail.h"

namespace vexilo::audit {

QString field(const QJsonObject& object, const char* name);
// The list files' names, "assay.nol, wash.nol".
QString file_names(const Record& r);
// "2026-12-09 09:30:00 UTC (+01:00)": the start's time and the local offset then.
QString time_text(const Record& r);
// "user@host"
QString who(const Record& r);
// Each object of a send ("changed: Pump:PumpA") and, indented, its fields old -> new.
QStringList change_lines(const Record& r);
// "passed, 6 objects verified" and the differences, or "not asked".
QStringList verification_lines(const Record& r);
// Everything of one record.
QStringList record_lines(const Record& r);

}  // namespace vexilo::audit
