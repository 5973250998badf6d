// Commands on object list files: rewrite, comments, and the shared loading of a list.

#include <filesystem>
#include <memory>

#include "cli.h"
#include "config/encoding.h"
#include "config/list_loader.h"
#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_file.h"

namespace vexilo::cli {

bool load_list(const std::string& path, Configuration& config, std::vector<std::string>* comments) {
    std::vector<std::string> file_lines;
    const ListLoad load =
        load_list_file(system_path(path), config, comments != nullptr ? &file_lines : nullptr);
    if (comments != nullptr) {
        comments->assign(file_lines.begin(),
                         file_lines.begin() + (last_comment_line(file_lines) + 1));
    }
    if (!load.ok()) show_error(load.message(path));
    return load.ok();
}

int rewrite(const Args& args, const Options&) {
    if (args.size() != 2) return usage_error("rewrite takes IN and OUT");
    auto config = std::make_unique<Configuration>();
    std::vector<std::string> comments;
    if (!load_list(args[0], *config, &comments)) return kFailed;
    return write_object_list(*config, system_path(args[1]), comments) ? kDone : kFailed;
}

int comments(const Args& args, const Options&) {
    std::string file;
    std::string text_file;
    bool set = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--set") {
            if (i + 1 >= args.size()) return usage_error("--set needs a TEXTFILE");
            if (set) return usage_error("--set given twice");
            set = true;
            text_file = args[++i];
        } else if (file.empty()) {
            file = args[i];
        } else {
            return usage_error("comments takes one FILE");
        }
    }
    if (file.empty()) return usage_error("comments needs a FILE");
    // The list operations pass over a missing file in silence; on a command line that would
    // hide a mistyped name.
    std::error_code error;
    if (!std::filesystem::exists(system_path(file), error) && !error) {
        show_error("Cannot open file " + path_to_program_text(system_path(file)));
        return kFailed;
    }
    if (!set) {
        std::vector<std::string> block;
        if (!read_comments(system_path(file), block)) return kFailed;
        for (const std::string& line : block)
            print_line(line);
        return kDone;
    }
    std::string problem;
    auto lines = read_text_lines(system_path(text_file), &problem);
    if (!lines) {
        show_error(cannot_open_message(text_file, problem));
        return kFailed;
    }
    return replace_comments(*lines, system_path(file)) ? kDone : kFailed;
}

}  // namespace vexilo::cli
