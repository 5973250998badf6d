// The instrument commands: each opens the link on --port, runs one operation of the
// instrument service to its result, and returns the instrument to 9600 baud.

#include <memory>

#include "cli.h"
#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_fields.h"
#include "instrument_session.h"
#include "link/operations.h"
#include "settings/settings.h"

namespace vexilo::cli {
int get_config(const Args& args, const Options& options) {
    std::string out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size()) return usage_error("-o needs a file");
            if (!out.empty()) return usage_error("-o given twice");
            out = args[++i];
        } else {
            return usage_error("get-config takes no argument '" + args[i] + "'");
        }
    }
    InstrumentSession session;
    if (!session.open(options)) return kFailed;
    session.operations().get_configuration(&session.progress(), session.completion());
    if (const int status = session.run(); status != kDone) return status;
    const Configuration& instrument = session.operations().instrument();
    if (!out.empty()) {
        return write_object_list(instrument, system_path(out), {}) ? kDone : kFailed;
    }
    for (const std::string& line : object_display_lines(instrument))
        print_line(line);
    return kDone;
}

int send(const Args& args, const Options& options) {
    bool changed_only = false;
    bool verify = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--changed-only") {
            changed_only = true;
        } else if (arg == "--verify") {
            verify = true;
        } else if (arg.starts_with("-")) {
            return usage_error("send takes no option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) return usage_error("send needs at least one FILE");
    InstrumentSession session;
    if (!session.open(options)) return kFailed;
    InstrumentOperations::SendOptions send = session.send_options(changed_only);
    send.verify = verify;
    session.operations().send_lists(system_paths(files), send, session.completion());
    return session.run();
}

int send_objects(const Args& args, const Options& options) {
    std::string file;
    std::vector<std::string> names;
    bool verify = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--verify") {
            verify = true;
        } else if (args[i] == "--object") {
            if (i + 1 >= args.size()) return usage_error("--object needs a NAME");
            names.push_back(args[++i]);
        } else if (file.empty()) {
            file = args[i];
        } else {
            return usage_error("send-objects takes one FILE");
        }
    }
    if (file.empty()) return usage_error("send-objects needs a FILE");
    auto destination = std::make_unique<Configuration>();
    if (!load_list(file, *destination, nullptr)) return kFailed;

    // Sent in the list's order, as the object list box would send its selected rows.
    std::vector<bool> selected(static_cast<std::size_t>(destination->object_count), names.empty());
    for (const std::string& name : names) {
        const int k = find_object(*destination, name);
        if (k >= destination->object_count) {
            show_error("Unknown object: \"" + name + "\"");
            return kFailed;
        }
        selected[static_cast<std::size_t>(k)] = true;
    }
    std::vector<int> objects;
    for (int k = 0; k < destination->object_count; ++k) {
        if (selected[static_cast<std::size_t>(k)]) objects.push_back(k);
    }

    InstrumentSession session;
    if (!session.open(options)) return kFailed;
    InstrumentOperations::SendOptions send = session.send_options(false);
    send.list_file = system_path(file);
    send.verify = verify;
    session.operations().send_objects(*destination, objects, send, session.completion());
    return session.run();
}

int remove_all(const Args& args, const Options& options) {
    if (!args.empty()) return usage_error("remove-all takes no argument");
    if (!ask_yes_no("Do you really want to remove all objects from the Nimbra?")) return kFailed;
    InstrumentSession session;
    if (!session.open(options)) return kFailed;
    session.operations().remove_all(session.completion());
    return session.run();
}

int restart(const Args& args, const Options& options) {
    if (!args.empty()) return usage_error("restart takes no argument");
    InstrumentSession session;
    if (!session.open(options)) return kFailed;
    session.operations().restart(session.completion());
    return session.run();
}

}  // namespace vexilo::cli
