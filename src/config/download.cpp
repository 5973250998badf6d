#include "download.h"

#include "conversion.h"
#include "list_loader.h"
#include "messages.h"
#include "object_list_file.h"
#include "text_fields.h"

namespace vexilo {
namespace {

// Converts the objects into the queue; false at the first misfit.
bool convert_objects(const Configuration& list, const Configuration& instrument,
                     const std::vector<int>& objects, VectorLineList& notes,
                     VectorLineList& commands) {
    DownloadConverter converter(list, instrument, notes, commands);
    for (const int k : objects) {
        if (!converter.queue_object(k)) return false;
    }
    return true;
}

std::vector<int> all_objects(const Configuration& config) {
    std::vector<int> objects(static_cast<std::size_t>(config.object_count));
    for (int k = 0; k < config.object_count; ++k)
        objects[static_cast<std::size_t>(k)] = k;
    return objects;
}

DownloadQueue finished(bool ok, VectorLineList& notes, VectorLineList& commands) {
    DownloadQueue queue;
    queue.ok = ok;
    queue.notes = std::move(notes.lines);
    if (ok) queue.commands = std::move(commands.lines);
    return queue;
}

}  // namespace

DownloadQueue module_download_lines(const Configuration& instrument,
                                    const std::vector<std::string>& paths,
                                    const DownloadHooks& hooks) {
    const auto status = [&hooks](const std::string& text) {
        if (hooks.set_status) hooks.set_status(text);
    };
    VectorLineList notes;
    VectorLineList commands;
    auto work = std::make_unique<Configuration>();
    for (const std::string& path : paths) {
        status("Downloading module " + list_name(path));
        std::vector<std::string> file_lines;
        // A fresh configuration for each list: lists the text does not name would otherwise
        // keep the previous file's entries.
        const ListLoad load = load_list_file(path, *work, hooks.file_read ? &file_lines : nullptr);
        if (hooks.file_read && load.status != ListLoad::Status::CannotOpen) {
            hooks.file_read(path, file_lines);
        }
        if (!load.ok()) show_error(load.message());
        if (!load.ok() ||
            !convert_objects(*work, instrument, all_objects(*work), notes, commands)) {
            status("Download cancelled");
            return finished(false, notes, commands);
        }
    }
    return finished(true, notes, commands);
}

DownloadQueue object_download_lines(const Configuration& list, const Configuration& instrument,
                                    const std::vector<std::string>& object_names) {
    std::vector<int> objects;
    for (const std::string& name : object_names) {
        const int k = find_object(list, name);
        if (k >= list.object_count) {
            show_error("Unknown object: \"" + name + "\"");
            return DownloadQueue{};
        }
        objects.push_back(k);
    }
    return download_lines_for_objects(list, instrument, objects);
}

DownloadQueue download_lines_for_objects(const Configuration& list, const Configuration& instrument,
                                         const std::vector<int>& objects) {
    VectorLineList notes;
    VectorLineList commands;
    const bool ok = convert_objects(list, instrument, objects, notes, commands);
    return finished(ok, notes, commands);
}

}  // namespace vexilo
