#pragma once
// What the window asks of the instrument operations: whether the instrument's configuration
// is known, and sending whole object lists. A small interface so that the window's tests can
// record the calls; LinkOperations carries them to the link's instrument operations, which
// run the whole flow (statuses, asking for the configuration first, checking every object).

#include <string>
#include <vector>

#include "link/operations.h"
#include "link/progress_sink.h"

namespace vexilo {

// The option "Send only changed objects" under the main key: 1 on, 0 (the default) off.
inline constexpr const char* kSendChangedOnlySetting = "Send Only Changed";

// One selected object list: its name as listed and the file it stands for.
struct ListFile {
    std::string name;
    std::string path;
};

class WindowOperations {
  public:
    virtual ~WindowOperations() = default;

    // "instrument configuration known": true after the instrument's reply was read without
    // error; forgotten by the remove-all command so that the next send asks again.
    virtual bool configuration_known() const = 0;
    virtual void forget_configuration() = 0;

    // Sends every object of the lists, in order, asking the instrument for its configuration
    // first while it is not known. The bar follows the reply and then the queue.
    virtual void send_lists(const std::vector<ListFile>& lists, ProgressSink* bar) = 0;

    // Both sends leave out what the instrument already holds.
    virtual void set_changed_only(bool) {}
    // The plan of the lists against the instrument, its configuration asked for first while
    // it is not known.
    virtual void plan_lists(const std::vector<ListFile>&, ProgressSink*,
                            InstrumentOperations::PlanAction) {}
};

class LinkOperations final : public WindowOperations {
  public:
    explicit LinkOperations(InstrumentOperations& operations) : operations_(operations) {}

    bool configuration_known() const override { return operations_.configuration_known(); }
    void forget_configuration() override { operations_.forget_configuration(); }
    void send_lists(const std::vector<ListFile>& lists, ProgressSink* bar) override;
    void set_changed_only(bool on) override { operations_.set_changed_only(on); }
    void plan_lists(const std::vector<ListFile>& lists, ProgressSink* bar,
                    InstrumentOperations::PlanAction done) override;

  private:
    InstrumentOperations& operations_;
};

}  // namespace vexilo
