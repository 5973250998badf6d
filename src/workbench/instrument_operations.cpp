#include "workbench/instrument_operations.h"

#include "config/messages.h"
#include "config/reader.h"
#include "config/text_fields.h"

namespace vexilo {
namespace {

constexpr int kReplyLinesExpected = 409;

}  // namespace

PendingOperations::PendingOperations(Tnimbra_lib& link)
    : link_(link), instrument_(std::make_unique<Configuration>()) {
    clear_configuration(*instrument_);
}

void PendingOperations::request_configuration(ProgressSink* bar, Action done) {
    link_.set_status("Receiving configuration from Nimbra");
    receive_bar_ = bar;
    link_.set_receive_progress(bar);
    link_.return_box.clear();
    if (bar != nullptr) {
        bar->set_range(0, kReplyLinesExpected);
        bar->set_position(0);
    }
    link_.run_command("GET_CONFIG", std::move(done), true);
}

void PendingOperations::take_received_configuration() {
    if (receive_bar_ != nullptr) receive_bar_->set_position(0);
    std::vector<std::string> lines = link_.return_box.lines();
    known_ = read_configuration(*instrument_, lines);
    if (known_) {
        link_.set_status(decimal(instrument_->object_count) + " objects received from Nimbra");
    }
}

void PendingOperations::download_modules(const std::vector<ListFile>&, ProgressSink*) {
    show_error("Downloading object lists is not available in this build");
}

}  // namespace vexilo
