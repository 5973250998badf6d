// convert: the careful add of a source list's objects into a destination list.

#include <algorithm>
#include <memory>
#include <set>

#include "cli.h"
#include "config/conversion.h"
#include "config/messages.h"
#include "config/object_list_file.h"

namespace vexilo::cli {
namespace {

// --log prints the plain report lines: stdout then carries nothing else, and the lines
// compare equal from one run to the next.
class StdoutLog final : public LogSink {
  public:
    void write(const std::string& line) override { print_line(line); }
};

}  // namespace

int convert(const Args& args, const Options&) {
    std::vector<std::string> files;
    std::vector<std::string> names;
    std::string out;
    bool log = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-o" || arg == "--object") {
            if (i + 1 >= args.size()) return usage_error(arg + " needs a value");
            if (arg == "-o") {
                if (!out.empty()) return usage_error("-o given twice");
                out = args[++i];
            } else {
                names.push_back(args[++i]);
            }
        } else if (arg == "--log") {
            log = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usage_error("unknown option '" + arg + "' for convert");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) return usage_error("convert takes SOURCE and DEST");
    if (out.empty()) return usage_error("convert needs -o OUT");

    auto source = std::make_unique<Configuration>();
    auto dest = std::make_unique<Configuration>();
    std::vector<std::string> dest_comments;
    if (!load_list(files[0], *source, nullptr) || !load_list(files[1], *dest, &dest_comments)) {
        return kFailed;
    }

    std::vector<int> chosen;
    if (names.empty()) {
        for (int k = 0; k < source->object_count; ++k)
            chosen.push_back(k);
    } else {
        std::set<int> unique;
        for (const std::string& name : names) {
            const int k = find_object(*source, name);
            if (k >= source->object_count) {
                show_error("No object " + name + " in " + files[0]);
                return kFailed;
            }
            unique.insert(k);
        }
        chosen.assign(unique.begin(), unique.end());  // in the source's order, as rows are
    }

    StdoutLog stdout_log;
    std::unique_ptr<ScopedLogSink> scope;
    if (log) scope = std::make_unique<ScopedLogSink>(stdout_log);
    CarefulAdd add(*source, *dest);
    for (const int k : chosen) {
        if (!add.add_object_carefully(k)) show_info(add.refusal());
    }
    scope.reset();
    return write_object_list(*dest, system_path(out), dest_comments) ? kDone : kFailed;
}

}  // namespace vexilo::cli
