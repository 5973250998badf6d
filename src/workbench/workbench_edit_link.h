#pragma once
// The edit page's view of the instrument in the workbench: the link's instrument operations.

#include "link/operations.h"
#include "link/selection_list.h"
#include "workbench/edit_link.h"

namespace vexilo {

class WorkbenchEditLink final : public EditLink {
  public:
    explicit WorkbenchEditLink(InstrumentOperations& operations) : operations_(operations) {}

    void set_status(const std::string& text) override { operations_.link().set_status(text); }
    bool get_config(Configuration& target, const std::string& path) override {
        return operations_.get_config(target, path);
    }
    bool configuration_known() const override { return operations_.configuration_known(); }
    void request_configuration(ProgressSink* bar, Action done) override {
        operations_.request_configuration(bar, std::move(done));
    }
    void take_received_configuration() override { operations_.take_received_configuration(); }
    const Configuration& instrument_configuration() const override {
        return operations_.instrument();
    }
    void send_selected_objects(const Configuration& list, const std::vector<int>& objects,
                               ProgressSink* queue_bar) override;
    void show_file(const std::string& path, const std::vector<std::string>& lines) override {
        operations_.link().show_file(path, lines);
    }

  private:
    InstrumentOperations& operations_;
    VectorSelectionList selection_;
};

}  // namespace vexilo
