#include "comment_check.h"

#include <QPlainTextEdit>
#include <QTextCursor>

#include "config/messages.h"
#include "config/object_list_file.h"
#include "ui_helpers.h"

namespace vexilo {

CommentProblem comment_problem(const QString& text) {
    qsizetype line_start = 0;
    int line_number = 1;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t code =
            pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : char32_t(text[i].unicode());
        const int units = pair ? 2 : 1;
        const QString character = text.mid(i, units);
        if (code == U'\n') {
            ++line_number;
            line_start = i + 1;
        } else if (to_qstring(to_text(character)) != character) {
            return {"The character U+" +
                        QString::number(code, 16).toUpper().rightJustified(4, '0').toStdString() +
                        " in comment line " + std::to_string(line_number) +
                        " cannot be saved in an object list. Please replace it.",
                    static_cast<int>(i), units};
        }
        i += units;
        if (i == text.size() || text[i] == QLatin1Char('\n')) {
            const QString line = text.mid(line_start, i - line_start);
            if (std::string problem = comment_line_problem(to_text(line), line_number);
                !problem.empty()) {
                return {std::move(problem), static_cast<int>(line_start),
                        static_cast<int>(line.size())};
            }
        }
    }
    return {};
}

bool comments_can_be_saved(QPlainTextEdit& memo) {
    const CommentProblem problem = comment_problem(memo.toPlainText());
    if (problem.message.empty()) return true;
    QTextCursor cursor(memo.document());
    cursor.setPosition(problem.position);
    cursor.setPosition(problem.position + problem.length, QTextCursor::KeepAnchor);
    memo.setTextCursor(cursor);
    memo.setFocus();
    show_error(problem.message);
    return false;
}

}  // namespace vexilo
