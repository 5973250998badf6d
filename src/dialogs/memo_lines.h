#pragma once
// Lines of a multi-line text box as the program's Windows-1252 lines.

#include <string>
#include <vector>

class QPlainTextEdit;

namespace vexilo {

void set_memo_lines(QPlainTextEdit& memo, const std::vector<std::string>& lines);
// One line per text line; an empty box has no lines, and a final line break adds none.
std::vector<std::string> memo_lines(const QPlainTextEdit& memo);

}  // namespace vexilo
