#pragma once
// vexilo-cli: one command per operator task. Each command takes its own arguments (after the
// command name) and the global options, and returns the exit status: 0 done, 1 the operation
// failed or stopped (a message said why), 2 wrong usage, 128 + N stopped by signal N.

#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.h"

namespace vexilo::cli {

inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;
// Stopped by a signal: this plus the signal's number, as a shell reports a killed program.
inline constexpr int kSignalBase = 128;

struct Options {
    bool yes = false;    // answer Yes to every question
    std::string port;    // --port: COMn, n, a device path or a network address
    std::string trace;   // --trace: the file the trace of the line is added to
    std::string reason;  // --reason: recorded with every operation in the audit trail (UTF-8)
};

using Args = std::vector<std::string>;

// Prints "error: TEXT" for a usage error and returns kUsage.
int usage_error(const std::string& text);

// UTF-8 text for the terminal with its control characters escaped ("\n", "\r", "\x1b"; the
// C1 controls U+0080-U+009F as "\x80"-"\x9f"), so that a name or path from a file, a folder
// or the settings can neither break a line nor steer the terminal. TAB stays: it separates
// columns, and moves nothing but the cursor. Every line vexilo-cli writes passes through it.
std::string terminal_text(std::string_view utf8);

// Writes program text (Windows-1252) to stdout as UTF-8, one line.
void print_line(const std::string& text);

// Prints "status: TEXT" on stderr.
void print_status(const std::string& text);

// Command-line arguments are program text (Windows-1252), converted from UTF-8 once as they
// are taken, so that names match the lists' names and messages show them right. A file is
// opened by system_path of its argument: the bytes the system gave.
std::string program_argument(const std::string& raw);
std::string system_path(const std::string& argument);
std::vector<std::string> system_paths(const std::vector<std::string>& arguments);

// Reads an object list file (or a saved configuration reply) into config; the comment block
// as it stands in the file when comments is given. False after a message.
bool load_list(const std::string& path, Configuration& config, std::vector<std::string>* comments);

int check(const Args& args, const Options& options);
int rewrite(const Args& args, const Options& options);
int comments(const Args& args, const Options& options);
int convert(const Args& args, const Options& options);
int download_lines(const Args& args, const Options& options);
int listing(const Args& args, const Options& options);
bool listing_needs_gui(const Args& args);
int describe(const Args& args, const Options& options);
int ports(const Args& args, const Options& options);

// The instrument commands: --port chooses the port (else the stored "Port" setting).
int get_config(const Args& args, const Options& options);
int send(const Args& args, const Options& options);
int plan(const Args& args, const Options& options);
int send_objects(const Args& args, const Options& options);
int remove_all(const Args& args, const Options& options);
int restart(const Args& args, const Options& options);

// The audit trail: list, show, verify, export.
int audit(const Args& args, const Options& options);
bool audit_needs_gui(const Args& args);

}  // namespace vexilo::cli
