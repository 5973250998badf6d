#pragma once
// What the "Edit Object Lists" page asks of the instrument operations: loading a list file,
// the instrument's configuration, and the download of selected objects. The main window hands
// the page an adapter over the link; tests hand it a fake.

#include <functional>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "config/line_list.h"
#include "link/progress_sink.h"

namespace vexilo {

class EditLink {
  public:
    using Action = std::function<void()>;

    virtual ~EditLink() = default;

    // The program's status line.
    virtual void set_status(const std::string& text) = 0;

    // Reads the object list file into the configuration; false after the reader's (or the
    // file's) message.
    virtual bool get_config(Configuration& target, const std::string& path) = 0;

    // "instrument configuration known": the instrument's reply was read without error.
    virtual bool configuration_known() const = 0;
    // Sends GET_CONFIG; `done` runs when the reply has ended. The bar follows the reply.
    virtual void request_configuration(ProgressSink* bar, Action done) = 0;
    // Reads the reply into the instrument configuration; its success becomes "known".
    virtual void take_received_configuration() = 0;
    virtual const Configuration& instrument_configuration() const = 0;

    // Checks and downloads the objects of the list given by their indexes, in that order;
    // the bar follows the queue.
    virtual void send_selected_objects(const Configuration& list, const std::vector<int>& objects,
                                       ProgressSink* queue_bar) = 0;

    // Shows the lines of a list file written, in the link's view; nowhere by default.
    virtual void show_file(const std::string&, const std::vector<std::string>&) {}
};

// Reads the list file into the configuration. False after "Cannot open file %s" or the
// reader's message.
bool read_list_file(Configuration& target, const std::string& path);

}  // namespace vexilo
