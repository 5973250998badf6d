#pragma once
// Loading an object list file (or a saved configuration reply) into a configuration: the one
// way every part of the program reads a list. It shows nothing; the result says why a file
// did not load, and the caller decides what to show and where.

#include <string>
#include <vector>

#include "configuration.h"

namespace vexilo {

struct ListLoad {
    enum class Status { Loaded, CannotOpen, NotRead };

    Status status = Status::CannotOpen;
    std::string path;
    // CannotOpen: what kept the file closed ("not a regular file", "larger than 16 MiB"), empty
    // for a file that simply would not open. NotRead: the reader's message about the text.
    std::string reason;
    // The lines as the reader took them (instrument codes translated); empty when the file
    // could not be opened.
    std::vector<std::string> lines;

    bool ok() const { return status == Status::Loaded; }
    // What the operator reads: "Cannot open file PATH (reason)" or the reader's message; the
    // path as program text.
    std::string message() const;
    // The same with the file named as `shown` (a command line names it as it was typed).
    std::string message(const std::string& shown) const;
};

// Empties the target and reads the file into it. file_lines, when given, receives the lines as
// they stand in the file, before the reader translated them: a comment block is free text
// that must stay as it was.
ListLoad load_list_file(const std::string& path, Configuration& target,
                        std::vector<std::string>* file_lines = nullptr);

}  // namespace vexilo
