#include "cli_messages.h"

#include <cstdio>

#include "cli.h"
#include "config/encoding.h"

namespace vexilo::cli {
namespace {
// A message of several lines (a failed verification's differences) prints one tagged line
// each, so that no line of it can pass for another kind of line.
void print_err(const char* tag, const std::string& text) {
    std::size_t from = 0;
    for (;;) {
        const std::size_t end = text.find('\n', from);
        const std::string line = text.substr(from, end == std::string::npos ? end : end - from);
        std::fprintf(stderr, "%s: %s\n", tag, terminal_text(windows1252_to_utf8(line)).c_str());
        if (end == std::string::npos) break;
        from = end + 1;
    }
    std::fflush(stderr);
}
}  // namespace

void CliMessages::show_error(const std::string& text) {
    print_err("error", text);
}
void CliMessages::show_info(const std::string& text) {
    print_err("info", text);
}
bool CliMessages::ask_yes_no(const std::string& question) {
    print_err("question", question);
    return yes_;
}

}  // namespace vexilo::cli
