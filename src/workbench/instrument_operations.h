#pragma once
// What the window asks of the instrument operations: whether the instrument's configuration
// is known, reading it, and downloading whole object lists. The window's own flow (statuses,
// asking for the configuration first) runs over this small interface so that its tests can
// record the calls; LinkOperations carries them to the link's instrument operations.

#include <functional>
#include <string>
#include <vector>

#include "link/operations.h"
#include "link/progress_sink.h"

namespace vexilo {

// One selected object list: its name as listed and the file it stands for.
struct ListFile {
    std::string name;
    std::string path;
};

class WindowOperations {
  public:
    using Action = std::function<void()>;

    virtual ~WindowOperations() = default;

    // "instrument configuration known": true after the instrument's reply was read without
    // error; forgotten by the remove-all command so that the next send asks again.
    virtual bool configuration_known() const = 0;
    virtual void forget_configuration() = 0;

    // Sends GET_CONFIG; `done` runs when the reply has ended. The bar, when given, follows
    // the reply lines.
    virtual void request_configuration(ProgressSink* bar, Action done) = 0;
    // Reads the reply into the instrument configuration; its success becomes "known".
    virtual void take_received_configuration() = 0;
    // Downloads every object of the lists, in order; the bar follows the queue.
    virtual void download_modules(const std::vector<ListFile>& lists, ProgressSink* bar) = 0;
};

class LinkOperations final : public WindowOperations {
  public:
    explicit LinkOperations(InstrumentOperations& operations) : operations_(operations) {}

    bool configuration_known() const override { return operations_.configuration_known(); }
    void forget_configuration() override { operations_.forget_configuration(); }
    void request_configuration(ProgressSink* bar, Action done) override {
        operations_.request_configuration(bar, std::move(done));
    }
    void take_received_configuration() override { operations_.take_received_configuration(); }
    // A configuration that failed to read stops the download: checking the lists against half
    // a configuration would prove nothing (the reader has said what is wrong).
    void download_modules(const std::vector<ListFile>& lists, ProgressSink* bar) override;

  private:
    InstrumentOperations& operations_;
};

}  // namespace vexilo
