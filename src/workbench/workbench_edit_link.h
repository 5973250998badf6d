#pragma once
// The edit page's view of the instrument in the workbench: the link and the instrument
// operations.

#include "link/nimbralib.h"
#include "workbench/edit_link.h"
#include "workbench/instrument_operations.h"

namespace vexilo {

class WorkbenchEditLink final : public EditLink {
  public:
    WorkbenchEditLink(Tnimbra_lib& link, PendingOperations& operations)
        : link_(link), operations_(operations) {}

    void set_status(const std::string& text) override { link_.set_status(text); }
    bool get_config(Configuration& target, const std::string& path) override {
        return read_list_file(target, path, &link_.config_box);
    }
    bool configuration_known() const override { return operations_.configuration_known(); }
    void request_configuration(ProgressSink* bar, Action done) override {
        operations_.request_configuration(bar, std::move(done));
    }
    void take_received_configuration() override { operations_.take_received_configuration(); }
    const Configuration& instrument_configuration() const override {
        return operations_.instrument();
    }
    void send_selected_objects(const Configuration& list, const std::vector<std::string>& lines,
                               ProgressSink* queue_bar) override;
    LineList* config_box() override { return &link_.config_box; }

  private:
    Tnimbra_lib& link_;
    PendingOperations& operations_;
};

}  // namespace vexilo
