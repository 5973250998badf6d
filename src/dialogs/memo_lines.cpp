#include "memo_lines.h"

#include <QPlainTextEdit>

#include "ui_helpers.h"

namespace vexilo {

void set_memo_lines(QPlainTextEdit& memo, const std::vector<std::string>& lines) {
    QStringList texts;
    for (const std::string& line : lines)
        texts << to_qstring(line);
    memo.setPlainText(texts.join(QChar('\n')));
}

std::vector<std::string> memo_lines(const QPlainTextEdit& memo) {
    QString text = memo.toPlainText();
    std::vector<std::string> lines;
    if (text.isEmpty()) return lines;
    if (text.endsWith(QChar('\n'))) text.chop(1);
    for (const QString& line : text.split(QChar('\n')))
        lines.push_back(to_text(line));
    return lines;
}

}  // namespace vexilo
