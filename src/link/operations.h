#pragma once
// What the program asks of the instrument, built on the link: read its configuration, send
// selected objects of the list being edited, send whole object list files ("modules"),
// remove all objects, restart. Also the link's services that need no instrument: loading a
// file into a configuration and describing an object.
//
// One instance for the program, beside the link. It owns the instrument configuration and
// the flag that says whether it is known. The window registers its selection list and
// progress bars; vexilo-cli registers in-memory ones and runs the same flows.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "config/description_grid.h"
#include "config/plan.h"
#include "link/nimbralib.h"
#include "link/progress_sink.h"
#include "link/selection_list.h"

namespace vexilo {

// Fills the grid with the object's fields, one row each: name, value text, units text
// (columns 100, 60 and 40 pixels wide). An index outside the objects gives an empty grid.
void describe_object(const Configuration& config, int object, DescriptionGrid& grid);

class InstrumentOperations {
  public:
    using Action = std::function<void()>;
    // ok: the instrument's configuration was read without error.
    using ReceivedAction = std::function<void(bool ok)>;
    // The end of a download: true once the instrument acknowledged the last line; false when
    // it stopped before anything was sent (nothing selected, a misfit, an unreadable file or
    // instrument configuration), after its message. A refusal or a time-out while sending
    // comes through the link's refusal and time-out actions instead.
    using DownloadEnd = std::function<void(bool sent)>;
    // A plan, or one with ok false when the instrument's configuration could not be read.
    using PlanAction = std::function<void(const Plan& plan)>;
    // A send that stopped before its end (a refusal, a time-out, a lost line, shutdown), with
    // the text that says how far it got: "Download stopped: 150 of 400 objects accepted by the
    // Nimbra". Said again, with the new count, when the line that timed out is acknowledged
    // late.
    using DownloadStopped = std::function<void(const std::string& text)>;

    static constexpr int kConfigProgressMax = 409;

    // Registers with the link so that creating the link forgets the instrument's configuration.
    explicit InstrumentOperations(Tnimbra_lib& link);
    InstrumentOperations(const InstrumentOperations&) = delete;
    InstrumentOperations& operator=(const InstrumentOperations&) = delete;

    Tnimbra_lib& link() { return link_; }
    const Configuration& instrument() const { return *instrument_; }
    bool configuration_known() const { return known_; }
    // The next send asks the instrument again (remove-all, a new link).
    void forget_configuration() { known_ = false; }

    // Registration by the caller before a send. The selection list holds the "Class:Object"
    // rows for send_selected_objects; the destination is the object list whose objects
    // send_selected_objects sends. Neither is owned.
    void set_selection_list(SelectionList* list) { selection_ = list; }
    void set_destination(const Configuration* list) { destination_ = list; }
    void set_queue_progress(ProgressSink* bar) { link_.set_queue_progress(bar); }
    void set_download_end(DownloadEnd end) { download_end_ = std::move(end); }
    // Sends leave out the objects the instrument already holds as the lists have them.
    void set_changed_only(bool on) { changed_only_ = on; }
    bool changed_only() const { return changed_only_; }
    // Without one, the text goes to the status line.
    void set_download_stopped(DownloadStopped stopped) { download_stopped_ = std::move(stopped); }

    // Sends GET_CONFIG; `done` runs when the reply has ended. The bar follows the lines.
    void request_configuration(ProgressSink* bar, Action done);
    // Reads the reply lines into the instrument configuration; its success becomes
    // "configuration known". On failure the reader's message has been shown.
    bool take_received_configuration();
    // Loads the file's lines into the link's config_box and reads them into target (emptied
    // first). False after a message.
    bool get_config(Configuration& target, const std::string& file);
    // Queues and sends the selected objects of the destination object list.
    void send_selected_objects();
    // Queues and sends every object of each object list file, in order.
    void download_files(const std::vector<std::string>& paths);
    // Sends what cmd_box holds, or says that nothing is selected.
    void start_download();

    // The flows of the window's commands. Each reads the instrument's configuration first
    // when it is not known; a configuration that fails to read stops a send with the status
    // "Download cancelled" (checking objects against half a configuration proves nothing).
    // Get from instrument: `received` runs after the status "Nimbra configuration recieved".
    void get_configuration(ProgressSink* bar, ReceivedAction received);
    // Send selected objects (selection list and destination registered).
    void send_objects(ProgressSink* receive_bar);
    // Send object list files: the window's selected lists (their paths fixed when Send was
    // pressed) and vexilo-cli's named files alike.
    void send_files(const std::vector<std::string>& paths, ProgressSink* receive_bar);
    // RES_OBJECTS through the speed switch; the configuration is forgotten at once, not at
    // the acknowledgement, so a send started meanwhile asks again. `done` may be empty.
    void remove_all_objects(Action done);
    // RSTRT at the current speed, without the speed switch; the configuration is forgotten,
    // since a restarted instrument may hold other objects. `done` may be empty.
    void restart(Action done);
    // The plan of the object list files against the instrument's configuration, read first
    // when it is not known. Sends nothing else.
    void plan_files(const std::vector<std::string>& paths, ProgressSink* receive_bar,
                    PlanAction done);

  private:
    void when_configuration_known(ProgressSink* receive_bar, const std::string& status,
                                  Action step);
    void queue_download(bool ok, std::vector<std::string> commands,
                        const std::vector<std::string>& notes);
    void take_acknowledged_lines();
    void download_ended(bool sent);
    void queue_stopped();

    Tnimbra_lib& link_;
    std::unique_ptr<Configuration> instrument_;
    bool known_ = false;
    ProgressSink* receive_progress_ = nullptr;
    SelectionList* selection_ = nullptr;
    const Configuration* destination_ = nullptr;
    DownloadEnd download_end_;
    bool changed_only_ = false;
    // Objects a changed-only send left out as already there; -1 for a whole send.
    int already_there_ = -1;
    DownloadStopped download_stopped_;
    std::size_t queued_ = 0;  // lines of the send in progress
};

}  // namespace vexilo
