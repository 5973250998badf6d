#pragma once
// vexilo-cli: one command per operator task. Each command takes its own arguments (after the
// command name) and the global options, and returns the exit status: 0 done, 1 the operation
// failed or stopped (a message said why), 2 wrong usage.

#include <string>
#include <vector>

namespace vexilo::cli {

inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

struct Options {
    bool yes = false;  // answer Yes to every question
    std::string port;  // --port: COMn, n or a device path
};

using Args = std::vector<std::string>;

// Prints "error: TEXT" for a usage error and returns kUsage.
int usage_error(const std::string& text);

// Writes program text (Windows-1252) to stdout as UTF-8, one line.
void print_line(const std::string& text);

int check(const Args& args, const Options& options);
int listing(const Args& args, const Options& options);
bool listing_needs_gui(const Args& args);

}  // namespace vexilo::cli
