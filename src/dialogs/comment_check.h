#pragma once
// What a description may hold: object list files are Windows-1252 text, and no line may read
// as a section header (the rule the list writer applies: comment_line_problem), so both
// dialogs refuse such text before they close and the operator can mend it instead of losing
// it.

#include <QString>
#include <string>

class QPlainTextEdit;

namespace vexilo {

struct CommentProblem {
    std::string message;  // empty: the text can be saved
    int position = -1;    // where in the text the problem starts
    int length = 0;
};

CommentProblem comment_problem(const QString& text);

// Shows the problem of the memo's text, if any, with the offending text selected; true
// when the text can be saved.
bool comments_can_be_saved(QPlainTextEdit& memo);

}  // namespace vexilo
