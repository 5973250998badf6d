#pragma once
// What the window asks of the instrument operations: whether the instrument's configuration
// is known, reading it, and downloading whole object lists.
//
// SEAM: the instrument operations are being built in the link library. Until they land,
// PendingOperations stands in: it reads the configuration through the link for real, but
// cannot download lists yet and says so. Replace it with an adapter over the link's
// operations when they are merged.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/configuration.h"
#include "link/nimbralib.h"
#include "link/progress_sink.h"

namespace vexilo {

// One selected object list: its name as listed and the file it stands for.
struct ListFile {
    std::string name;
    std::string path;
};

class InstrumentOperations {
  public:
    using Action = std::function<void()>;

    virtual ~InstrumentOperations() = default;

    // "instrument configuration known": true after the instrument's reply was read without
    // error; cleared by the remove-all command so that the next send asks again.
    virtual bool configuration_known() const = 0;
    virtual void set_configuration_known(bool known) = 0;

    // Sends GET_CONFIG; `done` runs when the reply has ended. The bar, when given, follows
    // the reply lines.
    virtual void request_configuration(ProgressSink* bar, Action done) = 0;
    // Reads the reply into the instrument configuration; its success becomes "known".
    virtual void take_received_configuration() = 0;
    // Downloads every object of the lists, in order; the bar follows the queue.
    virtual void download_modules(const std::vector<ListFile>& lists, ProgressSink* bar) = 0;
};

class PendingOperations final : public InstrumentOperations {
  public:
    explicit PendingOperations(Tnimbra_lib& link);

    bool configuration_known() const override { return known_; }
    void set_configuration_known(bool known) override { known_ = known; }
    void request_configuration(ProgressSink* bar, Action done) override;
    void take_received_configuration() override;
    void download_modules(const std::vector<ListFile>& lists, ProgressSink* bar) override;

    const Configuration& instrument() const { return *instrument_; }

  private:
    Tnimbra_lib& link_;
    std::unique_ptr<Configuration> instrument_;
    ProgressSink* receive_bar_ = nullptr;
    bool known_ = false;
};

}  // namespace vexilo
