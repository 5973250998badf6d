#include "link/operations.h"

#include <chrono>

#include "config/download.h"
#include "config/encoding.h"
#include "config/field_text.h"
#include "config/list_loader.h"
#include "config/messages.h"
#include "config/read_back.h"
#include "config/reader.h"
#include "config/text_fields.h"

namespace vexilo {

// One operation from its call to its completion.
struct InstrumentOperations::Run {
    OperationStart start;
    Completion done;
    SendOptions options;
    int already_there = -1;  // objects a changed-only send left out; -1 for a whole send
    int total = 0;           // lines of its queue, once the queue went out
    // A send that verifies: the configuration before the queue, and the queue.
    std::unique_ptr<Configuration> before;
    std::vector<std::string> sent;
    bool verifying = false;                           // its read-back is on the line
    std::chrono::steady_clock::time_point on_line{};  // its first command went out
    double seconds = 0.0;  // a send's queue: from its first command to its last "@"
};

namespace {

OperationStart start_of(OperationKind kind) {
    OperationStart start;
    start.kind = kind;
    return start;
}

OperationResult done_result() {
    OperationResult result;
    result.outcome = OperationResult::Outcome::Done;
    return result;
}

}  // namespace

const char* operation_name(OperationKind kind) {
    static constexpr const char* kNames[] = {"get configuration", "plan",       "send lists",
                                             "send objects",      "remove all", "restart"};
    return kNames[static_cast<int>(kind)];
}

InstrumentOperations::InstrumentOperations(Tnimbra_lib& link)
    : link_(link), instrument_(std::make_unique<Configuration>()) {
    clear_configuration(*instrument_);
    link_.set_instrument_changed_action([this] { forget_configuration(); });
    link_.set_failure_action([this](Tnimbra_lib::Failure failure, const std::string& text) {
        line_failed(failure, text);
    });
    link_.set_late_answer_action([this] { late_answer(); });
    listener_ = link_.add_listener([this](const LinkEvent& event) {
        if (event.kind == LinkEvent::Kind::Received && collecting_) reply_.push_back(event.text);
    });
}

InstrumentOperations::~InstrumentOperations() {
    link_.remove_listener(listener_);
    link_.set_instrument_changed_action({});
    link_.set_failure_action({});
    link_.set_late_answer_action({});
}

// The operation's life -------------------------------------------------------------------

InstrumentOperations::RunPtr InstrumentOperations::begin(OperationStart start, Completion done) {
    auto run = std::make_shared<Run>();
    start.port = link_.port().describe();
    run->start = std::move(start);
    run->done = std::move(done);
    if (observer_ != nullptr) {
        if (const std::string refusal = observer_->operation_starting(run->start);
            !refusal.empty()) {
            show_error(refusal);
            fail(run, refusal);
            return nullptr;
        }
    }
    return run;
}

void InstrumentOperations::finish(const RunPtr& run, OperationResult result) {
    if (active_ == run) {
        active_ = nullptr;
        // A reply given up is nobody's: later answers must not join it.
        collecting_ = false;
        reply_.clear();
    }
    if (observer_ != nullptr) observer_->operation_ended(run->start, result);
    // The completion may start the next operation.
    const Completion done = std::move(run->done);
    run->done = {};
    if (done) done(result);
}

void InstrumentOperations::fail(const RunPtr& run, const std::string& message) {
    OperationResult result;
    result.message = message;
    finish(run, std::move(result));
}

// The line carries one command at a time: an operation whose first command would meet
// another's answer ends at once.
bool InstrumentOperations::claim_line(const RunPtr& run, const std::string& first_command) {
    if (const std::string busy = link_.busy_message(first_command); !busy.empty()) {
        show_error(busy);
        fail(run, busy);
        return false;
    }
    active_ = run;
    late_run_ = nullptr;
    if (run->on_line == std::chrono::steady_clock::time_point{}) {
        run->on_line = std::chrono::steady_clock::now();
    }
    return true;
}

void InstrumentOperations::line_failed(Tnimbra_lib::Failure failure, const std::string& text) {
    if (!active_) return;
    const RunPtr run = active_;
    if (run->verifying) {
        // Every line was acknowledged; only the read-back failed, and proves nothing.
        OperationResult result;
        result.outcome = OperationResult::Outcome::Stopped;
        result.reason = failure;
        result.accepted = run->total;
        result.total = run->total;
        result.message =
            "Verification failed: the configuration could not be read back (" + text + ")";
        result.verification.state = Verification::State::Failed;
        finish(run, std::move(result));
        return;
    }
    if (run->total == 0) {
        OperationResult result;
        result.outcome = OperationResult::Outcome::Stopped;
        result.reason = failure;
        result.message = text;
        finish(run, std::move(result));
        return;
    }
    // Whatever got through has changed the instrument, and the line in flight may have too:
    // the copy of its configuration is no longer true.
    forget_configuration();
    if (failure == Tnimbra_lib::Failure::NoAnswer && link_.awaiting_late_answer()) {
        late_run_ = run;
    }
    finish(run, stopped_send(*run, failure));
}

// How far a stopped send got, as the operator is told.
OperationResult InstrumentOperations::stopped_send(const Run& run, Tnimbra_lib::Failure failure) {
    OperationResult result;
    result.outcome = OperationResult::Outcome::Stopped;
    result.reason = failure;
    result.accepted = link_.acknowledged_lines();
    result.total = run.total;
    result.message = "Download stopped: " + decimal(result.accepted) + " of " +
                     decimal(result.total) + " objects accepted by the Nimbra" +
                     (link_.answered_late() ? " (the last one answered late)" : "");
    return result;
}

void InstrumentOperations::late_answer() {
    if (!late_run_) return;
    const RunPtr run = std::move(late_run_);
    late_run_ = nullptr;
    const OperationResult result = stopped_send(*run, Tnimbra_lib::Failure::NoAnswer);
    if (observer_ != nullptr) observer_->late_answer(run->start, result);
    if (run->options.late_answer) run->options.late_answer(result);
}

// The instrument's configuration ----------------------------------------------------------

// GET_CONFIG; once the reply has been read into the instrument's configuration, the step
// runs. A reply that does not read ends the operation after the reader's message.
void InstrumentOperations::request_configuration(const RunPtr& run, ProgressSink* bar,
                                                 Tnimbra_lib::Action step) {
    if (!claim_line(run, Tnimbra_lib::kMultiLineCommand)) return;
    // The port may have to be chosen first: nothing is received while its dialog waits.
    if (!link_.port().is_open()) link_.set_status("Opening the serial port");
    receive_progress_ = bar;
    link_.set_receive_progress(bar);
    reply_.clear();
    collecting_ = true;
    if (bar != nullptr) {
        bar->set_range(0, kConfigProgressMax);
        bar->set_position(0);
    }
    link_.run_command(
        Tnimbra_lib::kMultiLineCommand,
        [this, run, step] {
            link_.set_status("Nimbra configuration recieved");
            std::string problem;
            if (take_received_configuration(problem)) {
                step();
                return;
            }
            if (run->verifying) {
                link_.set_status("Verification failed");
                OperationResult result;
                result.accepted = run->total;
                result.total = run->total;
                result.message = "Verification failed: " + problem;
                result.verification.state = Verification::State::Failed;
                finish(run, std::move(result));
                return;
            }
            const OperationKind kind = run->start.kind;
            if (kind == OperationKind::SendLists || kind == OperationKind::SendObjects) {
                link_.set_status("Download cancelled");
            }
            fail(run, problem);
        },
        true);
    if (active_ == run && link_.command_in_flight()) {
        link_.set_status("Receiving configuration from Nimbra");
    }
}

bool InstrumentOperations::take_received_configuration(std::string& problem) {
    if (receive_progress_ != nullptr) receive_progress_->set_position(0);
    std::vector<std::string> lines = std::move(reply_);
    reply_.clear();
    collecting_ = false;
    // Sections the reply lacks would otherwise keep what an earlier reply said.
    clear_configuration(*instrument_);
    known_ = read_configuration(*instrument_, lines, problem);
    if (known_) {
        link_.set_status(decimal(instrument_->object_count) + " objects received from Nimbra");
    } else {
        show_error(problem);
    }
    return known_;
}

// Runs the step at once when the configuration is known, else after reading it: checking
// objects against half a configuration proves nothing.
void InstrumentOperations::after_configuration(const RunPtr& run, ProgressSink* bar,
                                               const std::string& status,
                                               Tnimbra_lib::Action step) {
    if (known_) {
        step();
        return;
    }
    if (!status.empty()) link_.set_status(status);
    request_configuration(run, bar, std::move(step));
}

void InstrumentOperations::get_configuration(ProgressSink* reply_progress, Completion done) {
    const RunPtr run = begin(start_of(OperationKind::GetConfiguration), std::move(done));
    if (!run) return;
    request_configuration(run, reply_progress, [this, run] { finish(run, done_result()); });
}

void InstrumentOperations::plan(const std::vector<std::string>& files, ProgressSink* reply_progress,
                                Completion done) {
    OperationStart start = start_of(OperationKind::Plan);
    start.files = files;
    const RunPtr run = begin(std::move(start), std::move(done));
    if (!run) return;
    after_configuration(run, reply_progress, {}, [this, run] {
        OperationResult result = done_result();
        result.plan = plan_lists(*instrument_, run->start.files);
        if (!result.plan.ok) {
            show_error(result.plan.error);
            fail(run, result.plan.error);
            return;
        }
        finish(run, std::move(result));
    });
}

// Sending ---------------------------------------------------------------------------------

void InstrumentOperations::send_lists(const std::vector<std::string>& files,
                                      const SendOptions& options, Completion done) {
    OperationStart start = start_of(OperationKind::SendLists);
    start.files = files;
    start.changed_only = options.changed_only;
    start.verify = options.verify || verify_always_;
    const RunPtr run = begin(std::move(start), std::move(done));
    if (!run) return;
    run->options = options;
    after_configuration(
        run, options.reply_progress, "Getting Nimbra configuration to check consistency",
        [this, run] {
            // A queue still on its way belongs to another operation, which keeps it.
            if (!link_.command_in_flight()) link_.clear_queue();
            DownloadHooks hooks;
            hooks.set_status = [this](const std::string& text) { link_.set_status(text); };
            hooks.file_read = [this](const std::string& path,
                                     const std::vector<std::string>& lines) {
                link_.show_file(path, lines);
            };
            DownloadQueue queue = module_download_lines(*instrument_, run->start.files, hooks);
            queue_download(run, queue.ok, std::move(queue.commands), queue.notes);
        });
}

void InstrumentOperations::send_objects(const Configuration& list, const std::vector<int>& objects,
                                        const SendOptions& options, Completion done) {
    OperationStart start = start_of(OperationKind::SendObjects);
    for (const int k : objects) {
        if (k >= 0 && k < list.object_count) {
            start.objects.emplace_back(text_of(list.objects[k].name));
        }
    }
    if (!options.list_file.empty()) start.files.push_back(options.list_file);
    start.changed_only = options.changed_only;
    start.verify = options.verify || verify_always_;
    const RunPtr run = begin(std::move(start), std::move(done));
    if (!run) return;
    run->options = options;
    after_configuration(run, options.reply_progress, {}, [this, run, &list, objects] {
        if (!link_.command_in_flight()) link_.clear_queue();
        for (const int k : objects) {
            if (k < 0 || k >= list.object_count) {
                const std::string message = "Unknown object: \"" + decimal(k) + "\"";
                show_error(message);
                fail(run, message);
                return;
            }
        }
        DownloadQueue queue = download_lines_for_objects(list, *instrument_, objects);
        queue_download(run, queue.ok, std::move(queue.commands), queue.notes);
    });
}

void InstrumentOperations::queue_download(const RunPtr& run, bool ok,
                                          std::vector<std::string> commands,
                                          const std::vector<std::string>& notes) {
    for (const std::string& note : notes)
        link_.note(note);
    if (!ok) {
        // The misfit or the unreadable file has said why.
        fail(run, "Download cancelled");
        return;
    }
    if (!run->options.changed_only || commands.empty()) {
        start_download(run, std::move(commands), nullptr);
        return;
    }
    const Plan plan = plan_commands(*instrument_, commands);
    run->already_there = plan.count(PlanKind::Unchanged);
    commands = plan.commands();
    if (commands.empty()) {
        link_.set_status("0 objects downloaded, " + decimal(run->already_there) +
                         " already in the Nimbra");
        show_info("No download: all objects are already in the Nimbra");
        finish(run, done_result());
        return;
    }
    start_download(run, std::move(commands), &plan);
}

// The send's one chain: the queue goes out, each line after the previous one's "@", then
// queue_sent. A refusal, a time-out or a lost line ends it in line_failed instead.
void InstrumentOperations::start_download(const RunPtr& run, std::vector<std::string> commands,
                                          const Plan* plan) {
    if (commands.empty()) {
        const std::string message = "No objects selected for download";
        show_error(message);
        fail(run, message);
        return;
    }
    if (!claim_line(run, commands.front())) return;
    link_.clear_queue();
    for (const std::string& command : commands)
        link_.queue_command(command);
    if (observer_ != nullptr) {
        const Plan comparison = plan != nullptr ? Plan{} : plan_commands(*instrument_, commands);
        observer_->sending(run->start, known_ ? instrument_.get() : nullptr,
                           plan != nullptr ? *plan : comparison);
    }
    if (run->start.verify) {
        run->before = std::make_unique<Configuration>(*instrument_);
        run->sent = commands;
    }
    link_.set_queue_progress(run->options.queue_progress);
    run->total = static_cast<int>(commands.size());
    const std::string count = decimal(run->total);
    const std::string there = run->already_there >= 0
                                  ? ", " + decimal(run->already_there) + " already in the Nimbra"
                                  : "";
    link_.set_status("Downloading " + count + " objects" + there);
    link_.send_queue([this, run, count, there] {
        take_acknowledged_lines();
        link_.set_status(count + " objects downloaded" + there);
        queue_sent(run);
    });
}

// Every queued line was acknowledged; a send that verifies reads the configuration back first.
void InstrumentOperations::queue_sent(const RunPtr& run) {
    run->seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - run->on_line).count();
    if (run->start.verify && run->before) {
        verify_read_back(run);
        return;
    }
    finish(run, sent_result(*run));
}

OperationResult InstrumentOperations::sent_result(const Run& run) {
    OperationResult result = done_result();
    result.accepted = run.total;
    result.total = run.total;
    result.unchanged = run.already_there;
    result.seconds = run.seconds;
    return result;
}

void InstrumentOperations::verify_read_back(const RunPtr& run) {
    run->verifying = true;
    // The copy took the acknowledged lines, which is what is to be proved: read it anew.
    known_ = false;
    link_.set_status("Reading the configuration back from Nimbra");
    request_configuration(run, run->options.reply_progress, [this, run] {
        run->verifying = false;
        const ReadBack read_back = compare_read_back(*run->before, run->sent, *instrument_);
        OperationResult result = sent_result(*run);
        result.verification.verified = read_back.verified;
        for (const ReadBackDifference& difference : read_back.differences)
            result.verification.differences.push_back(read_back_line(difference));
        if (read_back.ok()) {
            result.verification.state = Verification::State::Passed;
            link_.set_status(decimal(read_back.verified) + " objects verified");
            finish(run, std::move(result));
            return;
        }
        result.verification.state = Verification::State::Failed;
        result.outcome = OperationResult::Outcome::Failed;
        result.message = "Verification failed: " + decimal(read_back.sent - read_back.verified) +
                         " of " + decimal(read_back.sent) + " objects not stored as sent";
        for (const std::string& line : result.verification.differences)
            result.message += "\n" + line;
        link_.set_status("Verification failed");
        show_error(result.message);
        finish(run, std::move(result));
    });
}

void InstrumentOperations::take_acknowledged_lines() {
    if (!known_) return;
    // The copy now holds each object as the instrument does, so the next comparison in this
    // run needs no GET_CONFIG; a line the copy cannot take makes the next send ask again.
    for (const std::string& command : link_.queue()) {
        if (!apply_download_line(*instrument_, command)) {
            forget_configuration();
            return;
        }
    }
}

// Remove-all and restart -------------------------------------------------------------------

void InstrumentOperations::remove_all(Completion done) {
    const RunPtr run = begin(start_of(OperationKind::RemoveAll), std::move(done));
    if (!run || !claim_line(run, Tnimbra_lib::kLongCommand)) return;
    link_.set_status("Removing all objects from Nimbra");
    link_.run_command(Tnimbra_lib::kLongCommand, [this, run] {
        link_.set_status("All objects removed from Nimbra");
        finish(run, done_result());
    });
    forget_configuration();
}

void InstrumentOperations::restart(Completion done) {
    const RunPtr run = begin(start_of(OperationKind::Restart), std::move(done));
    if (!run || !claim_line(run, Tnimbra_lib::kRestartCommand)) return;
    link_.set_status("Restart Nimbra");
    link_.send_command(Tnimbra_lib::kRestartCommand, [this, run] { finish(run, done_result()); });
    // A restarted instrument may hold other objects: the next send or plan asks again.
    forget_configuration();
}

// Without the instrument ---------------------------------------------------------------------

bool InstrumentOperations::get_config(Configuration& target, const std::string& path) {
    std::vector<std::string> lines;
    const ListLoad load = load_list_file(path, target, &lines);
    link_.show_file(path, lines);
    if (!load.ok()) show_error(load.message());
    return load.ok();
}

void describe_object(const Configuration& config, int object, DescriptionGrid& grid) {
    int rows = 0;
    const ClassRecord* cls = nullptr;
    if (object >= 0 && object < config.object_count) {
        const int c = config.objects[object].class_index;
        if (c >= 0 && c < config.class_count) {
            cls = &config.classes[c];
            rows = cls->field_count;
        }
    }
    grid.set_grid_size(rows, 3);
    grid.set_column_width(0, 100);
    grid.set_column_width(1, 60);
    grid.set_column_width(2, 40);
    for (int r = 0; r < rows; ++r) {
        grid.set_cell(0, r, std::string(text_of(cls->fields[r].name)));
        grid.set_cell(1, r, field_value_text(config, config.objects[object], r));
        grid.set_cell(2, r, field_units_text(cls->fields[r]));
    }
}

}  // namespace vexilo
