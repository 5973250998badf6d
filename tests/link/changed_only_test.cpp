// The changed-only send over a fake port: only what the instrument lacks goes out, the copy of
// its configuration follows each finished send, and a restart makes the next send ask again.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "config/text_file.h"
#include "fake_port.h"
#include "link/operations.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

InstrumentOperations::SendOptions changed_only() {
    InstrumentOperations::SendOptions options;
    options.changed_only = true;
    return options;
}

using Lines = std::vector<std::string>;

const Lines kInstrument = {
    "[lists]",       "0;2;Off;On", "[classes]",    "!Tray", "Position;1;120;1;1;mm",
    "#Side;0;1;0;0", "[objects]",  "Tray;Held;1;0"};

TEST(ChangedOnly, SendsWhatTheInstrumentLacksAndKeepsItsCopyTrueUntilARestart) {
    test::MessageRecorder messages;
    const auto dir =
        std::filesystem::temp_directory_path() / ("vexilo-changed-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "a.nol").string();
    Lines file = {
        "[LISTS]",       "0;2;Off;On", "[CLASSES]",     "!Tray",      "Position;1;120;1;1;mm",
        "#Side;0;1;0;0", "[OBJECTS]",  "Tray;Held;1;0", "Tray;T1;5;1"};
    ASSERT_TRUE(write_text_lines(path, file));

    auto owned = std::make_unique<test::FakePort>();
    test::FakePort& port = *owned;
    Tnimbra_lib link(std::move(owned));
    InstrumentOperations ops(link);
    Lines statuses;
    link.set_status_sink([&](const std::string& text) { statuses.push_back(text); });
    std::vector<bool> ends;
    const auto send = [&] {
        ops.send_lists({path}, changed_only(),
                       [&](const OperationResult& result) { ends.push_back(result.done()); });
    };
    ASSERT_TRUE(link.FormCreate());
    const auto sent = [&] {
        Lines lines;
        for (const auto& s : port.sent)
            lines.push_back(s.bytes.substr(0, s.bytes.size() - 1));
        return lines;
    };

    send();
    port.deliver("@\r");
    std::string reply;
    for (const std::string& line : kInstrument)
        reply += line + "\r";
    port.deliver(reply + "|END\r");
    EXPECT_EQ(sent().back(), "DLD_OBJ Tray;T1;5;1;");
    EXPECT_EQ(statuses.back(), "Downloading 1 objects, 1 already in the Nimbra");
    port.deliver("@\r");
    EXPECT_EQ(statuses.back(), "1 objects downloaded, 1 already in the Nimbra");

    // The copy took T1: nothing goes out, and nothing is asked.
    port.sent.clear();
    send();
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(messages.infos, Lines{"No download: all objects are already in the Nimbra"});
    EXPECT_EQ(ends, (std::vector<bool>{true, true}));

    // A change of one value sends that object only.
    file.back() = "Tray;T1;6;1";
    ASSERT_TRUE(write_text_lines(path, file));
    send();
    EXPECT_EQ(sent(), Lines{"DLD_OBJ Tray;T1;6;1;"});
    port.deliver("@\r");

    ops.restart({});
    EXPECT_FALSE(ops.configuration_known());
    port.deliver("@\r");
    port.sent.clear();
    send();
    // The restarted instrument's speed is found again first.
    EXPECT_EQ(sent(), Lines{"SET_BAUD 38400"});
    port.deliver("@\r");
    EXPECT_EQ(sent().back(), "GET_CONFIG");
    EXPECT_TRUE(messages.errors.empty());
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vexilo
