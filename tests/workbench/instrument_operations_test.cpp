#include "workbench/instrument_operations.h"

#include <gtest/gtest.h>

#include <string>

#include "config/text_file.h"
#include "link/fake_port.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

// Records the bar's calls.
class RecordingBar final : public ProgressSink {
  public:
    void set_range(int minimum, int maximum) override {
        range = std::to_string(minimum) + ".." + std::to_string(maximum);
    }
    void set_position(int value) override { position = value; }
    std::string range;
    int position = -1;
};

TEST(PendingOperations, ReadsTheInstrumentsConfigurationAfterTheSpeedSwitch) {
    test::MessageRecorder messages;
    auto owned = std::make_unique<test::FakePort>();
    test::FakePort& port = *owned;
    Tnimbra_lib link(std::move(owned));
    ASSERT_TRUE(link.FormCreate());
    std::vector<std::string> statuses;
    link.set_status_sink([&statuses](const std::string& text) { statuses.push_back(text); });
    PendingOperations operations(link);
    RecordingBar bar;

    // As every caller does: the reply is read in the completion action, before the end line
    // joins the reply lines.
    bool done = false;
    operations.request_configuration(&bar, [&] {
        done = true;
        operations.take_received_configuration();
    });
    EXPECT_EQ(statuses.back(), "Receiving configuration from Nimbra");
    EXPECT_EQ(bar.range, "0..409");
    EXPECT_EQ(port.sent_text(), "SET_BAUD 38400\r");
    port.deliver("@\r");
    EXPECT_EQ(port.sent.back().bytes, "GET_CONFIG\r");

    const auto lines = read_text_lines(EXAMPLES_DIR "/instrument.nol");
    ASSERT_TRUE(lines);
    std::string reply;
    for (const std::string& line : *lines)
        reply += line + "\r";
    port.deliver(reply);
    EXPECT_FALSE(done);
    port.deliver("|\r");
    ASSERT_TRUE(done);
    EXPECT_TRUE(operations.configuration_known());
    EXPECT_EQ(bar.position, 0);
    EXPECT_EQ(statuses.back(), std::to_string(operations.instrument().object_count) +
                                   " objects received from Nimbra");
    EXPECT_GT(operations.instrument().object_count, 0);

    // A reply that does not read leaves the configuration unknown and the status as it was.
    operations.request_configuration(nullptr, [&] { operations.take_received_configuration(); });
    port.deliver("[LISTS]\rnot a list line\r|\r");
    EXPECT_FALSE(operations.configuration_known());
    EXPECT_FALSE(messages.errors.empty());
    EXPECT_EQ(statuses.back(), "Receiving configuration from Nimbra");
    link.set_status_sink({});
}

}  // namespace
}  // namespace vexilo
