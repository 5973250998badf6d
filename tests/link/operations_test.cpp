// The instrument operations over a fake port: what goes out in which order, the status
// texts, and where a send stops.

#include "link/operations.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_file.h"
#include "fake_port.h"
#include "support/link_lines.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

InstrumentOperations::SendOptions changed_only() {
    InstrumentOperations::SendOptions options;
    options.changed_only = true;
    return options;
}

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::FakePort;

const Lines kInstrument = {"[lists]",         "0;2;Off;On", "5;3;Left;Middle;Right",
                           "[classes]",       "!Tray",      "Position;1;120;1;1;mm",
                           "#Side;0;2;0;5",   "&Label",     "!Lamp",
                           "Power;0;9;1;1;E", "[objects]",  "Tray;Held;1;0;x"};

class OperationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("vexilo-ops-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        auto owned = std::make_unique<FakePort>();
        port = owned.get();
        link = std::make_unique<Tnimbra_lib>(std::move(owned));
        ops = std::make_unique<InstrumentOperations>(*link);
        view = std::make_unique<test::LinkLines>(*link);
        link->set_status_sink([this](const std::string& text) { statuses.push_back(text); });
        link->set_timeout_action([this] { ++timeouts; });
        link->set_refusal_action([this] { ++refusals; });
        ASSERT_TRUE(link->FormCreate());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A list file with the instrument's lists and classes and the given objects.
    void list(const std::string& name, const Lines& objects) {
        Lines lines = {"A comment", "[LISTS]", "0;2;Off;On", "5;3;Left;Middle;Right"};
        lines.insert(lines.end(), kInstrument.begin() + 3, kInstrument.begin() + 10);
        lines.push_back("[OBJECTS]");
        lines.insert(lines.end(), objects.begin(), objects.end());
        ASSERT_TRUE(write_text_lines((dir_ / name).string(), lines));
    }

    // The instrument answers the pending command with its configuration.
    void answer_configuration(const Lines& lines = kInstrument) {
        std::string reply;
        for (const std::string& line : lines)
            reply += line + "\r";
        port->deliver(reply + "|END\r");
    }

    // The list files of the test's folder, by name.
    std::vector<std::string> paths(const Lines& names) const {
        std::vector<std::string> result;
        for (const std::string& name : names)
            result.push_back((dir_ / (name + ".nol")).string());
        return result;
    }

    // Every line that went out, without its CR.
    Lines sent_lines() const {
        Lines lines;
        for (const FakePort::Sent& sent : port->sent) {
            std::string text = sent.bytes;
            if (!text.empty() && text.back() == '\r') text.pop_back();
            lines.push_back(text);
        }
        return lines;
    }

    // Keeps each operation's result.
    InstrumentOperations::Completion record() {
        return [this](const OperationResult& result) { results.push_back(result); };
    }
    std::vector<OperationResult::Outcome> outcomes() const {
        std::vector<OperationResult::Outcome> all;
        for (const OperationResult& result : results)
            all.push_back(result.outcome);
        return all;
    }
    void send_files(const Lines& files) { ops->send_lists(files, {}, record()); }

    // Acknowledges what is outstanding, one "@" at a time, until nothing new goes out.
    void acknowledge_all() {
        for (std::size_t before = 0; before != port->sent.size();) {
            before = port->sent.size();
            port->deliver("@\r");
        }
    }

    fs::path dir_;
    test::MessageRecorder messages;
    FakePort* port = nullptr;
    std::unique_ptr<Tnimbra_lib> link;
    std::unique_ptr<InstrumentOperations> ops;
    std::unique_ptr<test::LinkLines> view;
    Lines statuses;
    std::vector<OperationResult> results;
    int timeouts = 0;
    int refusals = 0;
};

TEST_F(OperationsTest, FirstSendReadsTheConfigurationSecondGoesAtOnceRemoveAllAsksAgain) {
    list("a.nol", {"Tray;T1;5;1;first"});
    list("b.nol", {"Lamp;L1;3"});
    send_files(paths({"a", "b"}));
    EXPECT_EQ(sent_lines(), Lines{"SET_BAUD 38400"});
    port->deliver("@\r");
    EXPECT_EQ(sent_lines(), (Lines{"SET_BAUD 38400", "GET_CONFIG"}));
    answer_configuration();
    EXPECT_TRUE(ops->configuration_known());
    EXPECT_EQ(ops->instrument().object_count, 1);
    // Converted, queued and the first line out; the second waits for its "@".
    EXPECT_EQ(sent_lines().back(), "DLD_OBJ Tray;T1;5;1;first;");
    EXPECT_EQ(link->queue(), (Lines{"DLD_OBJ Tray;T1;5;1;first;", "DLD_OBJ Lamp;L1;3;"}));
    port->deliver("@\r");
    EXPECT_EQ(sent_lines().back(), "DLD_OBJ Lamp;L1;3;");
    EXPECT_TRUE(results.empty());
    port->deliver("@\r");
    EXPECT_EQ(outcomes(), std::vector{OperationResult::Outcome::Done});
    EXPECT_EQ(statuses,
              (Lines{"Getting Nimbra configuration to check consistency",
                     "Receiving configuration from Nimbra", "Nimbra configuration recieved",
                     "1 objects received from Nimbra", "Downloading module a",
                     "Downloading module b", "Downloading 2 objects", "2 objects downloaded"}));
    // The last list loaded stands in the configuration view; the conversion's notes in the log.
    EXPECT_EQ(view->file.back(), "Lamp;L1;3");
    EXPECT_NE(std::find(view->log.begin(), view->log.end(), "DLD_OBJ Lamp;L1;3;"), view->log.end());

    // Known now: the objects go at once.
    port->sent.clear();
    statuses.clear();
    send_files(paths({"a", "b"}));
    EXPECT_EQ(sent_lines(), Lines{"DLD_OBJ Tray;T1;5;1;first;"});
    acknowledge_all();
    EXPECT_EQ(statuses.back(), "2 objects downloaded");

    // Forgotten as soon as RES_OBJECTS goes out, before its answer.
    ops->remove_all({});
    EXPECT_FALSE(ops->configuration_known());
    EXPECT_EQ(port->last_ticks, Tnimbra_lib::kLongReplyTicks);
    port->deliver("@\r");
    EXPECT_EQ(statuses.back(), "All objects removed from Nimbra");
    port->sent.clear();
    send_files(paths({"a", "b"}));
    EXPECT_EQ(sent_lines(), Lines{"GET_CONFIG"});
    EXPECT_TRUE(messages.errors.empty()) << messages.errors.front();
}

TEST_F(OperationsTest, MisfitInTheThirdListSendsNothingOfAnyList) {
    list("a.nol", {"Tray;T1;5;1;first"});
    list("b.nol", {"Lamp;L1;3"});
    // The instrument has no class Pump; the list file declares one.
    Lines lines = *read_text_lines((dir_ / "b.nol").string());
    lines.insert(lines.begin() + 11, {"!Pump", "Volume;0;9;1;1;ml"});
    lines.push_back("Pump;P1;4");
    ASSERT_TRUE(write_text_lines((dir_ / "c.nol").string(), lines));
    send_files(paths({"a", "b", "c"}));
    port->deliver("@\r");
    port->sent.clear();
    answer_configuration();
    EXPECT_TRUE(port->sent.empty());
    EXPECT_TRUE(link->queue().empty());
    EXPECT_EQ(statuses.back(), "Download cancelled");
    EXPECT_EQ(outcomes(), std::vector{OperationResult::Outcome::Failed});
    ASSERT_EQ(messages.errors.size(), 1u);
}

TEST_F(OperationsTest, ConfigurationThatFailsToReadStopsTheSend) {
    list("a.nol", {"Tray;T1;5;1;first"});
    send_files(paths({"a"}));
    port->deliver("@\r");
    port->sent.clear();
    Lines broken = kInstrument;
    broken[5] = "Position;1;x;1;1;mm";
    answer_configuration(broken);

    EXPECT_FALSE(ops->configuration_known());
    EXPECT_TRUE(port->sent.empty());
    EXPECT_EQ(messages.errors.size(), 1u);
    EXPECT_EQ(statuses.back(), "Download cancelled");
    EXPECT_EQ(outcomes(), std::vector{OperationResult::Outcome::Failed});
    EXPECT_EQ(results.front().message, messages.errors.front());
}

TEST_F(OperationsTest, SelectedObjectsOfTheDestinationGoOneAfterTheOther) {
    auto destination = std::make_unique<Configuration>();
    clear_configuration(*destination);
    Lines lines = kInstrument;
    lines.insert(lines.end(), {"Tray;Second;7;2;y", "Lamp;L;9"});
    ASSERT_TRUE(read_configuration(*destination, lines));
    const std::vector<int> chosen = {find_object(*destination, "Second"),
                                     find_object(*destination, "L")};

    ops->send_objects(*destination, chosen, {}, record());
    port->deliver("@\r");
    answer_configuration();
    EXPECT_EQ(sent_lines().back(), "DLD_OBJ Tray;Second;7;2;y;");
    port->deliver("@\r");
    EXPECT_EQ(sent_lines().back(), "DLD_OBJ Lamp;L;9;");
    port->deliver("@\r");
    EXPECT_EQ(statuses[statuses.size() - 2], "Downloading 2 objects");
    EXPECT_EQ(statuses.back(), "2 objects downloaded");

    // A refusal stops the queue: the refusal action, and the send says how far it got.
    results.clear();
    ops->send_objects(*destination, chosen, {}, record());
    port->deliver("@Object memory full\r");
    EXPECT_EQ(refusals, 1);
    EXPECT_EQ(messages.errors, Lines{"Object memory full"});
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].send_stopped());
    EXPECT_EQ(results[0].reason, Tnimbra_lib::Failure::Refused);
    EXPECT_EQ(results[0].message, "Download stopped: 0 of 2 objects accepted by the Nimbra");
    // What got through changed the instrument: the next send reads its configuration again.
    EXPECT_FALSE(ops->configuration_known());

    // Nothing selected.
    results.clear();
    port->sent.clear();
    ops->send_objects(*destination, {}, {}, record());
    EXPECT_EQ(sent_lines(), Lines{"GET_CONFIG"});
    answer_configuration();
    EXPECT_EQ(sent_lines(), Lines{"GET_CONFIG"});
    EXPECT_EQ(messages.errors.back(), "No objects selected for download");
    EXPECT_EQ(outcomes(), std::vector{OperationResult::Outcome::Failed});
}

TEST_F(OperationsTest, ListSelectionEdges) {
    // Lists without object lines add nothing; the configuration is read before the first.
    list("a.nol", {"Tray;Wrong;1;0;a"});
    list("a.b.nol", {"Tray;Right;1;0;ab"});
    list("empty.nol", {});
    Lines atoms_first = *read_text_lines((dir_ / "empty.nol").string());
    atoms_first.push_back("[ATOMS]");
    atoms_first.push_back("Tray;Ghost;1;0;g");
    ASSERT_TRUE(write_text_lines((dir_ / "atoms.nol").string(), atoms_first));
    send_files(paths({"empty", "a.b", "atoms"}));
    port->deliver("@\r");
    answer_configuration();
    EXPECT_EQ(sent_lines().back(), "DLD_OBJ Tray;Right;1;0;ab;");
    acknowledge_all();

    // Only empty lists: nothing to send.
    messages.errors.clear();
    send_files(paths({"empty"}));
    EXPECT_EQ(messages.errors, Lines{"No objects selected for download"});

    // A selected list whose file is missing stops everything.
    port->sent.clear();
    send_files(paths({"a.b", "gone"}));
    EXPECT_TRUE(port->sent.empty());
    EXPECT_EQ(messages.errors.back(), "Cannot open file " + (dir_ / "gone.nol").string());
}

TEST_F(OperationsTest, GetConfigurationAndLinkCreation) {
    class Bar final : public ProgressSink {
      public:
        void set_range(int minimum, int maximum) override {
            calls.push_back("range " + std::to_string(minimum) + " " + std::to_string(maximum));
        }
        void set_position(int position) override { calls.push_back(std::to_string(position)); }
        Lines calls;
    } bar;
    int received = 0;
    ops->get_configuration(&bar, [&](const OperationResult& result) {
        EXPECT_TRUE(result.done());
        ++received;
    });
    port->deliver("@\r");
    answer_configuration();
    EXPECT_EQ(received, 1);
    // The "@" of the speed switch stands first and moves the bar past it.
    EXPECT_EQ(bar.calls.front(), "range 0 409");
    EXPECT_EQ(bar.calls.back(), "0");
    EXPECT_EQ(bar.calls[bar.calls.size() - 2], std::to_string(kInstrument.size()));
    EXPECT_EQ(statuses.back(), "1 objects received from Nimbra");
    EXPECT_TRUE(ops->configuration_known());

    // A new link forgets what the old one read.
    ASSERT_TRUE(link->FormCreate());
    EXPECT_FALSE(ops->configuration_known());

    // get_config fills the configuration view and reads the file.
    list("l.nol", {"Tray;T;1;0;t"});
    auto target = std::make_unique<Configuration>();
    EXPECT_TRUE(ops->get_config(*target, (dir_ / "l.nol").string()));
    EXPECT_EQ(target->object_count, 1);
    EXPECT_EQ(view->file.front(), "A comment");
    EXPECT_FALSE(ops->get_config(*target, (dir_ / "none.nol").string()));
    EXPECT_TRUE(view->file.empty());
    EXPECT_EQ(messages.errors, Lines{"Cannot open file " + (dir_ / "none.nol").string()});
}

TEST_F(OperationsTest, RestartGoesOutAtTheKnownSpeedAndLeavesTheSpeedUnknown) {
    int done = 0;
    // Nothing is known at start: the speed is found first.
    ops->restart([&](const OperationResult&) { ++done; });
    EXPECT_EQ(sent_lines(), Lines{"SET_BAUD 38400"});
    port->deliver("@\r");
    port->deliver("@\r");
    EXPECT_EQ(sent_lines(), (Lines{"SET_BAUD 38400", "RSTRT"}));
    EXPECT_EQ(port->sent[1].baud, 38400);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(statuses, Lines{"Restart Nimbra"});
    EXPECT_EQ(link->speed(), Tnimbra_lib::Speed::Unknown);
}

// What an audit trail hears: each operation's start (port, files, options), a send's state
// before and its comparison, and the end with the one result; a refusal sends nothing.
TEST_F(OperationsTest, TheObserverHearsEveryOperationAndMayRefuseOne) {
    class Recorder final : public OperationObserver {
      public:
        std::string operation_starting(const OperationStart& start) override {
            std::string line = std::string(operation_name(start.kind)) + " on " + start.port;
            for (const std::string& file : start.files)
                line += " " + list_name(file);
            calls.push_back(line + (start.changed_only ? " changed-only" : ""));
            return refuse;
        }
        void sending(const OperationStart&, const Configuration* before,
                     const Plan& comparison) override {
            std::string line =
                "sending, before " + std::to_string(before ? before->object_count : -1);
            for (const PlanEntry& entry : comparison.entries)
                line += ", " + entry.object_name + " " + plan_kind_name(entry.kind);
            calls.push_back(line);
        }
        void operation_ended(const OperationStart& start, const OperationResult& result) override {
            calls.push_back(std::string(operation_name(start.kind)) + " ended " +
                            std::to_string(static_cast<int>(result.outcome)) + " " +
                            result.message);
        }
        Lines calls;
        std::string refuse;
    } observer;
    ops->set_observer(&observer);
    list("a.nol", {"Tray;Held;2;0;x", "Lamp;L1;3"});

    ops->send_lists(paths({"a"}), changed_only(), record());
    port->deliver("@\r");
    answer_configuration();
    acknowledge_all();
    ops->get_configuration(nullptr, record());
    port->advance(Tnimbra_lib::kReplyTicks * kTickMs);
    EXPECT_EQ(observer.calls,
              (Lines{"send lists on COM1 a changed-only", "sending, before 1, Held changed, L1 new",
                     "send lists ended 0 ", "get configuration on COM1",
                     "get configuration ended 1 No answer to \"GET_CONFIG\""}));
    EXPECT_EQ(results[1].reason, Tnimbra_lib::Failure::NoAnswer);
    EXPECT_EQ(results[0].accepted, 2);

    // Refused before anything goes out; the message is shown and is the result's.
    observer.calls.clear();
    observer.refuse = "A reason is required";
    port->sent.clear();
    ops->remove_all(record());
    EXPECT_TRUE(port->sent.empty());
    EXPECT_EQ(messages.errors.back(), "A reason is required");
    EXPECT_EQ(observer.calls,
              (Lines{"remove all on COM1", "remove all ended 2 A reason is required"}));
    EXPECT_EQ(results.back().message, "A reason is required");

    // A command still waiting for its answer: the next operation ends at once, the first
    // goes on to its own end.
    observer.refuse.clear();
    ops->restart(record());
    ops->plan(paths({"a"}), nullptr, record());
    EXPECT_EQ(results.back().outcome, OperationResult::Outcome::Failed);
    EXPECT_EQ(results.back().message,
              "The Nimbra has not yet answered \"SET_BAUD 38400\"; \"GET_CONFIG\" was not sent");
    acknowledge_all();
    EXPECT_EQ(outcomes().back(), OperationResult::Outcome::Done);
    EXPECT_EQ(observer.calls.back(), "restart ended 0 ");
}

TEST_F(OperationsTest, ALateAnswerCountsTheLineThatTimedOutOnceAfterTheCompletion) {
    list("a.nol", {"Tray;T1;5;1;first", "Lamp;L1;3"});
    std::vector<OperationResult> late;
    InstrumentOperations::SendOptions options;
    options.late_answer = [&](const OperationResult& result) { late.push_back(result); };
    ops->send_lists(paths({"a"}), options, record());
    port->deliver("@\r");
    answer_configuration();
    port->advance(Tnimbra_lib::kReplyTicks * kTickMs);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].message, "Download stopped: 0 of 2 objects accepted by the Nimbra");
    EXPECT_TRUE(late.empty());
    port->deliver("@\r@\r");
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].accepted, 1);
    EXPECT_EQ(
        late[0].message,
        "Download stopped: 1 of 2 objects accepted by the Nimbra (the last one answered late)");
    EXPECT_EQ(sent_lines().back(), "DLD_OBJ Tray;T1;5;1;first;");
}

TEST(DescribeObject, FillsNameValueAndUnitsOfEveryField) {
    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    Lines lines = kInstrument;
    lines.push_back("Tray;Two;9;2;z");
    lines.push_back("Lamp;L;4");
    ASSERT_TRUE(read_configuration(*config, lines));
    TextDescriptionGrid grid;
    describe_object(*config, 1, grid);
    EXPECT_EQ(grid.widths, (std::vector<int>{100, 60, 40}));
    EXPECT_EQ(grid.cells, (std::vector<Lines>{
                              {"Position", "9", "mm"}, {"Side", "Right", ""}, {"Label", "z", ""}}));
    describe_object(*config, 2, grid);
    EXPECT_EQ(grid.cells, (std::vector<Lines>{{"Power", "4", ""}}));
    describe_object(*config, 7, grid);
    EXPECT_TRUE(grid.cells.empty());
}

}  // namespace
}  // namespace vexilo
