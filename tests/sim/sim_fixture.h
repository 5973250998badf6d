#pragma once
// A simulator on examples/instrument.nol with the test's end of its line open at 9600 baud.

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_file.h"
#include "support/message_recorder.h"
#include "support/nimbra_sim_process.h"

namespace vexilo::test {

class SimTest : public ::testing::Test {
  protected:
    void start(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--config", EXAMPLE_CONFIG});
        sim = std::make_unique<SimProcess>(NIMBRA_SIM_PATH, args, dir);
        ASSERT_TRUE(sim->started());
        const auto name = sim->port();
        ASSERT_TRUE(name) << sim->log();
        device = *name;
        port = std::make_unique<PtyClient>(device);
        ASSERT_TRUE(port->is_open()) << device;
    }

    // The speed switch as the link does it: "@" at 9600, then the port follows.
    void go_high() {
        ASSERT_TRUE(port->send("SET_BAUD 38400"));
        ASSERT_EQ(port->read_line(), "@");
        port->set_speed(B38400);
    }

    std::optional<std::string> ask(const std::string& command) {
        if (!port->send(command)) return std::nullopt;
        return port->read_line();
    }

    // The configuration the simulator sends for GET_CONFIG, read back by the program's reader.
    std::vector<std::string> config_reply() {
        EXPECT_TRUE(port->send("GET_CONFIG"));
        return port->read_reply();
    }

    static std::vector<std::string> object_lines(std::vector<std::string> lines) {
        MessageRecorder messages;
        auto config = std::make_unique<Configuration>();
        clear_configuration(*config);
        EXPECT_TRUE(read_configuration(*config, lines))
            << ::testing::PrintToString(messages.errors);
        const auto all = object_list_lines(*config, {});
        const auto objects = std::find(all.begin(), all.end(), "[OBJECTS]");
        return {objects == all.end() ? all.end() : objects + 1, all.end()};
    }

    void TearDown() override {
        if (HasFailure() && sim) std::cerr << "--- nimbra-sim log\n" << sim->log();
    }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    std::string device;
    std::unique_ptr<PtyClient> port;
};

}  // namespace vexilo::test
