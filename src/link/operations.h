#pragma once
// The instrument service: everything the program asks of the instrument, built on the link.
// The main window, the edit tab and vexilo-cli all call it; nothing else talks to the Nimbra.
//
// Each operation takes its arguments with the call and ends in exactly one completion with
// one result: done, stopped (the instrument refused, did not answer, the line went, the port
// changed; a send also says how many objects the instrument accepted of how many) or failed
// (it never reached the instrument: nothing selected, a list that does not fit or read, a
// configuration that does not read, a command still waiting, refused by the observer; also a
// send whose read-back found the instrument holding something else than was sent). The
// status texts and messages of an operation are set here, once; the result repeats its
// message for whoever records it, and a caller shows only a stopped send's text (the window
// as its status, vexilo-cli at its end).
//
// The service keeps a copy of the instrument's configuration and whether it is known; a send
// or a plan reads it first when it is not. It is forgotten when the instrument may have
// changed: remove-all, restart, a send that stopped, a new link, another port or device, a
// lost line.
//
// An observer (optional) hears each operation start and end, and a send's comparison just
// before its queue goes out; it may refuse an operation before anything is sent. That is
// where an audit trail records what the service did.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "config/description_grid.h"
#include "config/plan.h"
#include "link/nimbralib.h"
#include "link/progress_sink.h"

namespace vexilo {

// Fills the grid with the object's fields, one row each: name, value text, units text
// (columns 100, 60 and 40 pixels wide). An index outside the objects gives an empty grid.
void describe_object(const Configuration& config, int object, DescriptionGrid& grid);

enum class OperationKind { GetConfiguration, Plan, SendLists, SendObjects, RemoveAll, Restart };

// "get configuration", "plan", "send lists", "send objects", "remove all", "restart".
const char* operation_name(OperationKind kind);

// What an operation was asked to do, as the observer hears it.
struct OperationStart {
    OperationKind kind = OperationKind::GetConfiguration;
    std::string port;                  // the port as it describes itself (a device path, ...)
    std::vector<std::string> files;    // plan, send lists: the list files; send objects: the
                                       // file the list came from, when the caller knows it
    std::vector<std::string> objects;  // send objects: the objects' names, in sending order
    bool changed_only = false;
    bool verify = false;  // a send: the configuration is read back and compared after it
};

// A send's read-back, when it was asked for.
struct Verification {
    enum class State { NotAsked, Passed, Failed };
    State state = State::NotAsked;
    int verified = 0;                      // objects read back exactly as sent
    std::vector<std::string> differences;  // "Class:Object: field: sent X -> stored Y", ...
};

struct OperationResult {
    enum class Outcome { Done, Stopped, Failed };

    Outcome outcome = Outcome::Failed;
    // Done: empty. Stopped: a send whose queue went out says how far it got ("Download
    // stopped: 150 of 400 objects accepted by the Nimbra"), any other operation why it
    // stopped. Failed: the message shown.
    std::string message;
    Tnimbra_lib::Failure reason = Tnimbra_lib::Failure::NotSent;  // Stopped only
    int accepted = 0;  // a send: objects the instrument acknowledged
    int total = 0;     // a send: objects its queue held; 0 until a queue went out
    Plan plan;         // a plan that is done
    Verification verification;
    // A changed-only send: the objects it left out as already there (-1: a whole send).
    int unchanged = -1;
    // A send that is done: the seconds from its first command to the last "@".
    double seconds = 0.0;

    bool done() const { return outcome == Outcome::Done; }
    // A send that stopped part-way: its message is the operator's news.
    bool send_stopped() const { return outcome == Outcome::Stopped && total > 0; }
};

class OperationObserver {
  public:
    virtual ~OperationObserver() = default;
    // Before anything goes to the instrument. A text refuses the operation: it is shown as an
    // error and the operation ends at once, failed with that message, nothing sent.
    virtual std::string operation_starting(const OperationStart&) { return {}; }
    // A send's queue is about to go out: the instrument's configuration as read before the
    // send (nullptr when not known) and the comparison of the queued objects with it (a
    // changed-only send's also names the unchanged objects it leaves out).
    virtual void sending(const OperationStart&, const Configuration* /*before*/,
                         const Plan& /*comparison*/) {}
    // Once for every operation_starting, a refused one too, before the caller's completion.
    virtual void operation_ended(const OperationStart&, const OperationResult&) {}
    // A send that ended stopped on a time-out had that line acknowledged late after all: the
    // result again, its count taking the line in.
    virtual void late_answer(const OperationStart&, const OperationResult&) {}
};

class InstrumentOperations {
  public:
    using Completion = std::function<void(const OperationResult& result)>;

    struct SendOptions {
        bool changed_only = false;               // leave out what the instrument already holds
        ProgressSink* reply_progress = nullptr;  // the configuration's reply, when read first
        ProgressSink* queue_progress = nullptr;  // the queue
        std::string list_file;  // send_objects: where the list came from, for the observer
        // After the queue is acknowledged: GET_CONFIG again, and every sent object must read
        // back as sent and every other one as it was (else the send fails, naming each).
        bool verify = false;
        // After a send stopped on a time-out, the instrument may still acknowledge the line
        // that timed out, until the next command goes out. Then this runs, once, after the
        // completion: the result again, its count taking that line in.
        Completion late_answer;
    };

    static constexpr int kConfigProgressMax = 409;

    // Registers with the link: its failures end the operation in progress, and a new link,
    // port or device, or a lost line, forgets the instrument's configuration.
    explicit InstrumentOperations(Tnimbra_lib& link);
    ~InstrumentOperations();
    InstrumentOperations(const InstrumentOperations&) = delete;
    InstrumentOperations& operator=(const InstrumentOperations&) = delete;

    Tnimbra_lib& link() { return link_; }
    void set_observer(OperationObserver* observer) { observer_ = observer; }
    const Configuration& instrument() const { return *instrument_; }
    bool configuration_known() const { return known_; }
    void forget_configuration() { known_ = false; }
    // Verifies every send, whatever its options say (the window's "Verify after sending").
    void set_verify_after_sending(bool verify) { verify_always_ = verify; }
    bool verify_after_sending() const { return verify_always_; }

    // GET_CONFIG; done when the reply was read into the instrument's configuration.
    void get_configuration(ProgressSink* reply_progress, Completion done);
    // The comparison of the list files with the instrument's configuration (result.plan);
    // nothing is sent but GET_CONFIG.
    void plan(const std::vector<std::string>& files, ProgressSink* reply_progress, Completion done);
    // Every object of each list file, in order, converted and checked together first: a file
    // that does not read or an object that does not fit sends nothing at all.
    void send_lists(const std::vector<std::string>& files, const SendOptions& options,
                    Completion done);
    // The list's objects of the given indexes, in that order. The list must live until the
    // completion.
    void send_objects(const Configuration& list, const std::vector<int>& objects,
                      const SendOptions& options, Completion done);
    // RES_OBJECTS; the configuration is forgotten as it goes out, not at the answer, so that
    // a send started meanwhile asks again.
    void remove_all(Completion done);
    // RSTRT at the speed the instrument is known to be at (found first when it is not, and
    // sent all the same when no speed answers); the configuration is forgotten.
    void restart(Completion done);

    // Reads a list file into the target (emptied first) and shows its lines in the link's
    // view; false after the message.
    bool get_config(Configuration& target, const std::string& path);

  private:
    struct Run;
    using RunPtr = std::shared_ptr<Run>;

    RunPtr begin(OperationStart start, Completion done);
    void finish(const RunPtr& run, OperationResult result);
    void fail(const RunPtr& run, const std::string& message);
    bool claim_line(const RunPtr& run, const std::string& first_command);
    void request_configuration(const RunPtr& run, ProgressSink* bar, Tnimbra_lib::Action step);
    bool take_received_configuration(std::string& problem);
    void after_configuration(const RunPtr& run, ProgressSink* bar, const std::string& status,
                             Tnimbra_lib::Action step);
    void queue_download(const RunPtr& run, bool ok, std::vector<std::string> commands,
                        const std::vector<std::string>& notes);
    void start_download(const RunPtr& run, std::vector<std::string> commands, const Plan* plan);
    void queue_sent(const RunPtr& run);
    static OperationResult sent_result(const Run& run);
    void verify_read_back(const RunPtr& run);
    void take_acknowledged_lines();
    void line_failed(Tnimbra_lib::Failure failure, const std::string& text);
    OperationResult stopped_send(const Run& run, Tnimbra_lib::Failure failure);
    void late_answer();

    Tnimbra_lib& link_;
    std::unique_ptr<Configuration> instrument_;
    bool known_ = false;
    bool verify_always_ = false;
    OperationObserver* observer_ = nullptr;
    // The operation whose command is on the line: the link's failures end it.
    RunPtr active_;
    // The send that stopped on a time-out while its last line may still be acknowledged.
    RunPtr late_run_;
    ProgressSink* receive_progress_ = nullptr;
    int listener_ = 0;
    // The configuration reply, line by line, since GET_CONFIG was asked for.
    std::vector<std::string> reply_;
    bool collecting_ = false;
};

}  // namespace vexilo
