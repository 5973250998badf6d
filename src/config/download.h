#pragma once
// The download of objects to the instrument up to the moment of sending: every object is
// checked against the instrument's class of the same name and turned into its "DLD_OBJ "
// command. The link sends what this queues; nothing here talks to the instrument.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "configuration.h"

namespace vexilo {

struct DownloadQueue {
    // False when a list could not be read or an object did not fit: the message has been
    // shown and nothing of this download may be sent (commands is then empty).
    bool ok = false;
    std::vector<std::string> commands;  // "DLD_OBJ " and the download line, in sending order
    // "adding to download list: " lines for output_box, for every object converted, also
    // those converted before a stop.
    std::vector<std::string> notes;

    int object_count() const { return static_cast<int>(commands.size()); }
};

struct DownloadHooks {
    // Receives "Downloading module " and the list name as each list begins, and
    // "Download cancelled" when the download stops.
    std::function<void(const std::string&)> set_status;
    // Receives each list file's path and its lines as they stand in the file, once it opened.
    std::function<void(const std::string& path, const std::vector<std::string>& lines)> file_read;
};

// Reads each object list file into a working configuration of its own (so the list being
// edited is never touched), converts all its objects in order, and queues their commands
// together: a file that cannot be read, or any object that does not fit, stops the whole
// download with nothing queued.
DownloadQueue module_download_lines(const Configuration& instrument,
                                    const std::vector<std::string>& paths,
                                    const DownloadHooks& hooks = {});

// The named objects of one list configuration (as the selected "Class:Object" rows name
// them, after the ":"), in the given order. A name the list lacks ('Unknown object: "NAME"')
// or the first misfit stops the download with nothing queued.
DownloadQueue object_download_lines(const Configuration& list, const Configuration& instrument,
                                    const std::vector<std::string>& object_names);
// The same for objects given by their index in the list (all below its object_count).
DownloadQueue download_lines_for_objects(const Configuration& list, const Configuration& instrument,
                                         const std::vector<int>& objects);

}  // namespace vexilo
