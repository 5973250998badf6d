#include "cli_messages.h"

#include <cstdio>

#include "cli.h"
#include "config/encoding.h"

namespace vexilo::cli {
namespace {
void print_err(const char* tag, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", tag, terminal_text(windows1252_to_utf8(text)).c_str());
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
