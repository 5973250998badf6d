#include "link/operations.h"

#include "config/download.h"
#include "config/encoding.h"
#include "config/field_text.h"
#include "config/messages.h"
#include "config/reader.h"
#include "config/text_fields.h"
#include "config/text_file.h"

namespace vexilo {

InstrumentOperations::InstrumentOperations(Tnimbra_lib& link)
    : link_(link), instrument_(std::make_unique<Configuration>()) {
    clear_configuration(*instrument_);
    link_.set_create_action([this] { forget_configuration(); });
    link_.set_queue_stopped_action([this] { queue_stopped(); });
}

void InstrumentOperations::request_configuration(ProgressSink* bar, Action done) {
    link_.set_status("Receiving configuration from Nimbra");
    receive_progress_ = bar;
    link_.set_receive_progress(bar);
    link_.return_box.clear();
    if (bar != nullptr) {
        bar->set_range(0, kConfigProgressMax);
        bar->set_position(0);
    }
    link_.run_command("GET_CONFIG", std::move(done), true);
}

bool InstrumentOperations::take_received_configuration() {
    if (receive_progress_ != nullptr) receive_progress_->set_position(0);
    std::vector<std::string> lines = link_.return_box.lines();
    // Sections the reply lacks would otherwise keep what an earlier reply said.
    clear_configuration(*instrument_);
    known_ = read_configuration(*instrument_, lines);
    if (known_) {
        link_.set_status(decimal(instrument_->object_count) + " objects received from Nimbra");
    }
    return known_;
}

bool InstrumentOperations::get_config(Configuration& target, const std::string& file) {
    auto lines = read_text_lines(file);
    link_.config_box.clear();
    if (!lines) {
        show_error("Cannot open file " + path_to_program_text(file));
        return false;
    }
    for (const std::string& line : *lines)
        link_.config_box.add(line);
    clear_configuration(target);
    return read_configuration(target, *lines);
}

void InstrumentOperations::send_selected_objects() {
    link_.clear_queue();
    // Each row carries its object: a class or object name holding ":" cannot mislead.
    std::vector<int> objects;
    if (selection_ != nullptr && destination_ != nullptr) {
        for (int row = 0; row < selection_->row_count(); ++row) {
            if (!selection_->row_selected(row)) continue;
            const int k = selection_->row_object(row);
            if (k < 0 || k >= destination_->object_count) {
                show_error("Unknown object: \"" + selection_->row_text(row) + "\"");
                download_ended(false);
                return;
            }
            objects.push_back(k);
        }
    }
    if (objects.empty()) {
        start_download();
        return;
    }
    const DownloadQueue queue = download_lines_for_objects(*destination_, *instrument_, objects);
    queue_download(queue.ok, queue.commands, queue.notes);
}

void InstrumentOperations::download_files(const std::vector<std::string>& paths) {
    link_.clear_queue();
    DownloadHooks hooks;
    hooks.set_status = [this](const std::string& text) { link_.set_status(text); };
    hooks.config_box = &link_.config_box;
    const DownloadQueue queue = module_download_lines(*instrument_, paths, hooks);
    queue_download(queue.ok, queue.commands, queue.notes);
}

void InstrumentOperations::queue_download(bool ok, std::vector<std::string> commands,
                                          const std::vector<std::string>& notes) {
    for (const std::string& note : notes)
        link_.output_box.add(note);
    already_there_ = -1;
    if (!ok) {
        download_ended(false);
        return;
    }
    if (changed_only_ && !commands.empty()) {
        const Plan plan = plan_commands(*instrument_, commands);
        already_there_ = plan.count(PlanKind::Unchanged);
        commands = plan.commands();
        if (commands.empty()) {
            link_.set_status("0 objects downloaded, " + decimal(already_there_) +
                             " already in the Nimbra");
            show_info("No download: all objects are already in the Nimbra");
            download_ended(true);
            return;
        }
    }
    for (const std::string& command : commands)
        link_.queue_command(command);
    start_download();
}

void InstrumentOperations::start_download() {
    if (link_.cmd_box.empty()) {
        show_error("No objects selected for download");
        download_ended(false);
        return;
    }
    queued_ = link_.cmd_box.size();
    const std::string count = decimal(static_cast<std::int64_t>(queued_));
    const std::string there =
        already_there_ >= 0 ? ", " + decimal(already_there_) + " already in the Nimbra" : "";
    link_.set_status("Downloading " + count + " objects" + there);
    link_.send_queue([this, count, there] {
        take_acknowledged_lines();
        link_.set_status(count + " objects downloaded" + there);
        download_ended(true);
    });
}

void InstrumentOperations::take_acknowledged_lines() {
    if (!known_) return;
    // The copy now holds each object as the instrument does, so the next comparison in this
    // run needs no GET_CONFIG; a line the copy cannot take makes the next send ask again.
    for (std::size_t i = 0; i < link_.cmd_box.size(); ++i) {
        if (!apply_download_line(*instrument_, link_.cmd_box[i])) {
            forget_configuration();
            return;
        }
    }
}

void InstrumentOperations::queue_stopped() {
    // Whatever got through has changed the instrument, and the line in flight may have too:
    // the copy of its configuration is no longer true.
    forget_configuration();
    const std::string text = "Download stopped: " + decimal(link_.acknowledged_lines()) + " of " +
                             decimal(static_cast<std::int64_t>(queued_)) +
                             " objects accepted by the Nimbra" +
                             (link_.answered_late() ? " (the last one answered late)" : "");
    if (download_stopped_) {
        const DownloadStopped stopped = download_stopped_;
        stopped(text);
    } else {
        link_.set_status(text);
    }
}

void InstrumentOperations::download_ended(bool sent) {
    if (download_end_) {
        const DownloadEnd end = download_end_;
        end(sent);
    }
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

void InstrumentOperations::get_configuration(ProgressSink* bar, ReceivedAction received) {
    request_configuration(bar, [this, received] {
        link_.set_status("Nimbra configuration recieved");
        const bool ok = take_received_configuration();
        if (received) received(ok);
    });
}

void InstrumentOperations::when_configuration_known(ProgressSink* receive_bar,
                                                    const std::string& status, Action step) {
    if (known_) {
        step();
        return;
    }
    if (!status.empty()) link_.set_status(status);
    request_configuration(receive_bar, [this, step] {
        link_.set_status("Nimbra configuration recieved");
        if (!take_received_configuration()) {
            // The reader has said what is wrong with the instrument's text.
            link_.set_status("Download cancelled");
            download_ended(false);
            return;
        }
        step();
    });
}

void InstrumentOperations::send_objects(ProgressSink* receive_bar) {
    when_configuration_known(receive_bar, "", [this] { send_selected_objects(); });
}

void InstrumentOperations::send_files(const std::vector<std::string>& paths,
                                      ProgressSink* receive_bar) {
    when_configuration_known(receive_bar, "Getting Nimbra configuration to check consistency",
                             [this, paths] { download_files(paths); });
}

void InstrumentOperations::remove_all_objects(Action done) {
    link_.set_status("Removing all objects from Nimbra");
    link_.run_command("RES_OBJECTS", [this, done] {
        link_.set_status("All objects removed from Nimbra");
        if (done) done();
    });
    forget_configuration();
}

void InstrumentOperations::restart(Action done) {
    link_.set_status("Restart Nimbra");
    link_.send_command("RSTRT", std::move(done));
    forget_configuration();
}

void InstrumentOperations::plan_files(const std::vector<std::string>& paths,
                                      ProgressSink* receive_bar, PlanAction done) {
    const auto step = [this, paths, done] { done(plan_lists(*instrument_, paths)); };
    if (known_) {
        step();
        return;
    }
    request_configuration(receive_bar, [this, step, done] {
        link_.set_status("Nimbra configuration recieved");
        if (take_received_configuration()) {
            step();
            return;
        }
        // The reader has said what is wrong with the instrument's text.
        Plan failed;
        failed.ok = false;
        done(failed);
    });
}

}  // namespace vexilo
