#include "list_loader.h"

#include "encoding.h"
#include "reader.h"
#include "text_file.h"

namespace vexilo {

std::string ListLoad::message() const {
    return message(path_to_program_text(path));
}

std::string ListLoad::message(const std::string& shown) const {
    return status == Status::CannotOpen ? cannot_open_message(shown, reason) : reason;
}

ListLoad load_list_file(const std::string& path, Configuration& target,
                        std::vector<std::string>* file_lines) {
    ListLoad load;
    load.path = path;
    if (file_lines != nullptr) file_lines->clear();
    auto lines = read_text_lines(path, &load.reason);
    if (!lines) return load;
    if (file_lines != nullptr) *file_lines = *lines;
    load.lines = std::move(*lines);
    clear_configuration(target);
    load.status = read_configuration(target, load.lines, load.reason) ? ListLoad::Status::Loaded
                                                                      : ListLoad::Status::NotRead;
    return load;
}

}  // namespace vexilo
