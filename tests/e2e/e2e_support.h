#pragma once
// Helpers shared by the end-to-end tests: the simulator's log as a list of commands, object
// lines of list files, and vexilo-cli run as a child process.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/nimbra_sim_process.h"

namespace vexilo::test {

using Lines = std::vector<std::string>;

inline const std::string kExamples = VEXILO_EXAMPLES;

// The simulator on the example configuration, linked as DIR/nimbra, writing DIR/state.nol when
// it ends; the caller checks that it started.
inline std::unique_ptr<SimProcess> start_simulator(const TempDir& dir, const Lines& extra = {}) {
    Lines args = {"--config", kExamples + "/instrument.nol",
                  "--state",  dir.file("state.nol"),
                  "--link",   dir.file("nimbra")};
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<SimProcess>(NIMBRA_SIM_PATH, args, dir);
}

// The command lines the simulator logged ("[38400] GET_CONFIG -> ..."), in order.
inline Lines logged_commands(const std::string& log) {
    Lines commands;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        const auto open = line.find("] ");
        const auto arrow = line.find(" -> ");
        if (line.rfind("nimbra-sim: [", 0) != 0 || open == std::string::npos ||
            arrow == std::string::npos || arrow < open) {
            continue;
        }
        commands.push_back(line.substr(open + 2, arrow - open - 2));
    }
    return commands;
}

inline int count_of(const Lines& lines, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : lines)
        n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

inline std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string shell_quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs vexilo-cli with the arguments; its settings and its audit trail stay in dir.
inline CliResult run_cli(const TempDir& dir, const Lines& args) {
    std::string command = "VEXILO_SETTINGS=" + shell_quoted(dir.file("settings.ini")) +
                          " VEXILO_AUDIT=" + shell_quoted(dir.file("audit.sqlite")) + " " +
                          shell_quoted(VEXILO_CLI);
    for (const std::string& arg : args)
        command += " " + shell_quoted(arg);
    command += " >" + shell_quoted(dir.file("cli.out")) + " 2>" + shell_quoted(dir.file("cli.err"));
    command += " </dev/null";
    const int raw = std::system(command.c_str());
    CliResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = file_text(dir.file("cli.out"));
    r.err = file_text(dir.file("cli.err"));
    return r;
}

}  // namespace vexilo::test
