#include "edit_link.h"

#include "config/encoding.h"
#include "config/messages.h"
#include "config/reader.h"
#include "config/text_file.h"

namespace vexilo {

bool read_list_file(Configuration& target, const std::string& path, LineList* config_box) {
    auto lines = read_text_lines(path);
    if (!lines) {
        show_error("Cannot open file " + path_to_program_text(path));
        return false;
    }
    if (config_box != nullptr) {
        config_box->clear();
        for (const std::string& line : *lines)
            config_box->add(line);
    }
    return read_configuration(target, *lines);
}

}  // namespace vexilo
