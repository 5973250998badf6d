#include "link/nimbralib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fake_port.h"
#include "support/link_lines.h"
#include "support/message_recorder.h"

namespace vexilo {
namespace {

using test::FakePort;
using Lines = std::vector<std::string>;

class RecordingProgress final : public ProgressSink {
  public:
    void set_range(int minimum, int maximum) override {
        calls.push_back("range " + std::to_string(minimum) + " " + std::to_string(maximum));
    }
    void set_position(int position) override { calls.push_back("at " + std::to_string(position)); }
    std::vector<std::string> calls;
};

class LinkTest : public ::testing::Test {
  protected:
    LinkTest() {
        auto owned = std::make_unique<FakePort>();
        port = owned.get();
        link = std::make_unique<Tnimbra_lib>(std::move(owned));
        lines = std::make_unique<test::LinkLines>(*link);
        link->set_timeout_action([this] { ++timeouts; });
        link->set_status_sink([this](const std::string& text) { statuses.push_back(text); });
        EXPECT_TRUE(link->FormCreate());
    }

    // Brings the link to high speed through a first command and forgets what that sent.
    void switch_up() {
        link->run_command("FIRST", [] {});
        port->deliver("@\r");
        port->deliver("@\r");
        ASSERT_TRUE(link->high_speed());
        port->sent.clear();
        port->events.clear();
        lines->log.clear();
        lines->replies.clear();
    }

    test::MessageRecorder messages;
    FakePort* port = nullptr;
    std::unique_ptr<Tnimbra_lib> link;
    std::unique_ptr<test::LinkLines> lines;
    int timeouts = 0;
    std::vector<std::string> statuses;
};

TEST_F(LinkTest, ClassifiesReplyLinesAndRunsTheCompletionOnlyForAcknowledgementsAndEndLines) {
    switch_up();
    int runs = 0;
    std::vector<size_t> seen_lines;
    const auto action = [&] {
        ++runs;
        seen_lines.push_back(lines->replies.size());
    };

    link->send_command("A", action);
    port->deliver("@\r");
    EXPECT_EQ(runs, 1);

    link->send_command("B", action);
    port->deliver("@Unknown command\r");
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(messages.errors, Lines{"Unknown command"});

    link->send_command("C", action);
    port->deliver("|\r");
    link->send_command("D", action);
    port->deliver("|end of reply\r");
    EXPECT_EQ(runs, 3);

    link->send_command("E", action);
    port->deliver("data line\r\r[lists]\r");
    EXPECT_EQ(runs, 3);

    EXPECT_EQ(lines->replies,
              (Lines{"@", "@Unknown command", "|", "|end of reply", "data line", "", "[lists]"}));
    // A completion action sees the lines before its own acknowledgement or end line.
    EXPECT_EQ(seen_lines, (std::vector<size_t>{0, 2, 3}));
    EXPECT_EQ(lines->log, (Lines{"A", "B", "C", "D", "E"}));
    EXPECT_EQ(port->sent_text(), "A\rB\rC\rD\rE\r");
    EXPECT_EQ(timeouts, 0);
}

TEST_F(LinkTest, ReceiveProgressFollowsDataLinesOnlyWhenAsked) {
    switch_up();
    RecordingProgress bar;
    link->set_receive_progress(&bar);

    link->run_command(
        "GET_CONFIG", [] {}, true);
    port->deliver("[lists]\r1;2\r@\r|\r");
    EXPECT_EQ(bar.calls, (Lines{"at 0", "at 1"}));

    bar.calls.clear();
    link->run_command("OTHER", [] {});
    port->deliver("data\r@\r");
    EXPECT_TRUE(bar.calls.empty());
}

TEST_F(LinkTest, FirstCommandSwitchesSpeedInAgreementWithTheInstrument) {
    int runs = 0;
    link->run_command("GET_CONFIG", [&] { ++runs; });
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->sent[0].bytes, "SET_BAUD 38400\r");
    EXPECT_EQ(port->sent[0].baud, 9600);
    EXPECT_FALSE(link->high_speed());

    // The "@" and whatever the speed change garbled after it, in one notification.
    port->events.clear();
    port->deliver("@\r\x85\x13garbage\r");
    EXPECT_EQ(port->events, (Lines{"baud 38400", "pause 200", "discard", "send GET_CONFIG\r"}));
    ASSERT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(port->sent[1].baud, 38400);
    EXPECT_TRUE(link->high_speed());
    EXPECT_EQ(lines->replies, Lines{"@"});
    EXPECT_EQ(runs, 0);

    port->deliver("|\r");
    EXPECT_EQ(runs, 1);

    // The second command goes out at once.
    link->run_command("RSTRT", [] {});
    ASSERT_EQ(port->sent.size(), 3u);
    EXPECT_EQ(port->sent[2].bytes, "RSTRT\r");
    EXPECT_EQ(port->sent[2].baud, 38400);
    EXPECT_EQ(lines->log,
              (Lines{"SET_BAUD 38400",
                     "Discarded 10 received bytes waiting before \"GET_CONFIG\" was sent",
                     "GET_CONFIG", "RSTRT"}));
}

TEST_F(LinkTest, SpeedIsFoundAtEitherRateAndOnlyTheSwitchIsEverRepeated) {
    // An instrument left at 38400 by an earlier session: silent at 9600, answers at 38400.
    int runs = 0;
    link->run_command("GET_CONFIG", [&] { ++runs; });
    port->advance(100 * kTickMs);
    EXPECT_EQ(timeouts, 0);
    ASSERT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(port->sent[1].bytes, "SET_BAUD 38400\r");
    EXPECT_EQ(port->sent[1].baud, 38400);
    port->deliver("@\r");
    EXPECT_EQ(port->sent.back().bytes, "GET_CONFIG\r");
    EXPECT_EQ(port->sent.back().baud, 38400);
    port->deliver("|\r");
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(link->high_speed());

    // A time-out makes the speed unknown: the next command finds it again, 9600 first.
    link->run_command("DLD_OBJ a", [&] { ++runs; });
    port->advance(100 * kTickMs);
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(link->speed(), Tnimbra_lib::Speed::Unknown);
    port->sent.clear();
    link->run_command("DLD_OBJ b", [&] { ++runs; });
    port->advance(200 * kTickMs);
    // Silent at both rates: one time-out, and the command itself never went out.
    EXPECT_EQ(timeouts, 2);
    ASSERT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(port->sent[0].bytes, "SET_BAUD 38400\r");
    EXPECT_EQ(port->sent[0].baud, 9600);
    EXPECT_EQ(port->sent[1].bytes, "SET_BAUD 38400\r");
    EXPECT_EQ(port->sent[1].baud, 38400);
    EXPECT_EQ(runs, 1);

    // Back at 9600 after a restart: found at the first try; "RSTRT" itself is not repeated.
    switch_up();
    link->send_command("RSTRT", [&] { ++runs; });
    port->deliver("@\r");
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(link->speed(), Tnimbra_lib::Speed::Unknown);
    link->run_command("GET_CONFIG", [&] { ++runs; });
    EXPECT_EQ(port->sent.back().baud, 9600);
    port->deliver("@\r");
    EXPECT_EQ(port->sent.back().bytes, "GET_CONFIG\r");
    port->deliver("|\r");
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(port->sent_text(), "RSTRT\rSET_BAUD 38400\rGET_CONFIG\r");

    // Unknown but perhaps at 38400: the orderly end still lowers it.
    link->run_command("DLD_OBJ c", [] {});
    port->advance(100 * kTickMs);
    port->sent.clear();
    link->leave_high_speed();
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->sent[0].bytes, "SET_BAUD 9600\r");
    EXPECT_EQ(port->sent[0].baud, 38400);
}

TEST_F(LinkTest, OnlyTheExactTextResObjectsGetsTheLongTimeOut) {
    switch_up();
    link->run_command("RES_OBJECTS", [] {});
    EXPECT_EQ(port->last_ticks, 1200);
    port->advance(1199 * kTickMs);
    EXPECT_EQ(timeouts, 0);
    port->advance(kTickMs);
    EXPECT_EQ(timeouts, 1);

    // The time-out left the speed unknown.
    switch_up();
    for (const char* text : {"RES_OBJECTS ", "res_objects", "RES_OBJECTS2"}) {
        link->run_command(text, [] {});
        EXPECT_EQ(port->last_ticks, 100) << text;
        port->deliver("@\r");
    }
    link->run_command("RES_OBJECTS2", [] {});
    port->advance(99 * kTickMs);
    EXPECT_EQ(timeouts, 1);
    port->advance(kTickMs);
    EXPECT_EQ(timeouts, 2);
}

TEST_F(LinkTest, QueueSendsEachLineAfterTheAcknowledgementOfThePreviousOne) {
    RecordingProgress bar;
    link->set_queue_progress(&bar);
    for (const char* line : {"DLD_OBJ a", "DLD_OBJ b", "DLD_OBJ c"})
        link->queue_command(line);
    int done = 0;
    link->send_queue([&] { ++done; });

    // The first line waits for the speed switch.
    EXPECT_EQ(port->sent_text(), "SET_BAUD 38400\r");
    port->deliver("@\r");
    EXPECT_EQ(port->sent_text(), "SET_BAUD 38400\rDLD_OBJ a\r");
    port->deliver("@\r");
    EXPECT_EQ(port->sent.back().bytes, "DLD_OBJ b\r");
    EXPECT_EQ(done, 0);

    // A time-out ends the command and stops the queue; a late "@" counts its line and says
    // the stop again, but sends nothing. Only one "@" is late.
    int stopped = 0;
    link->set_failure_action([&](Tnimbra_lib::Failure, const std::string&) { ++stopped; });
    link->set_late_answer_action([&] { ++stopped; });
    port->advance(100 * kTickMs);
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(link->queue_position(), 2);
    EXPECT_EQ(link->acknowledged_lines(), 1);
    EXPECT_FALSE(link->command_in_flight());
    EXPECT_TRUE(link->awaiting_late_answer());
    port->deliver("@\r@\r");
    EXPECT_EQ(port->sent.back().bytes, "DLD_OBJ b\r");
    EXPECT_EQ(link->acknowledged_lines(), 2);
    EXPECT_TRUE(link->answered_late());
    EXPECT_EQ(lines->log.back(), "Ignored \"@\": no command waited for it");
    EXPECT_EQ(done, 0);
    EXPECT_EQ(stopped, 2);
    EXPECT_EQ(bar.calls, (Lines{"range 0 3", "at 0", "at 0", "at 1"}));

    // A whole queue: every line acknowledged, no stop reported.
    switch_up();
    link->send_queue([&] { ++done; });
    for (int i = 0; i < 3; ++i)
        port->deliver("@\r");
    EXPECT_EQ(done, 1);
    EXPECT_EQ(link->acknowledged_lines(), 3);
    EXPECT_FALSE(link->answered_late());
    EXPECT_EQ(stopped, 2);

    // An empty queue is done at once.
    link->clear_queue();
    bar.calls.clear();
    link->send_queue([&] { ++done; });
    EXPECT_EQ(done, 2);
    EXPECT_EQ(bar.calls, (Lines{"range 0 0", "at 0", "at 0"}));
}

TEST_F(LinkTest, RefusalShowsTheInstrumentsTextAndStopsTheQueue) {
    switch_up();
    for (const char* line : {"DLD_OBJ a", "DLD_OBJ b"})
        link->queue_command(line);
    int done = 0;
    link->send_queue([&] { ++done; });
    port->deliver("@Class Pump has no field Rate\r");

    EXPECT_EQ(messages.errors, Lines{"Class Pump has no field Rate"});
    EXPECT_EQ(port->sent_text(), "DLD_OBJ a\r");
    EXPECT_EQ(link->queue_position(), 1);
    EXPECT_EQ(link->queue().size(), 2u);
    EXPECT_EQ(lines->replies, Lines{"@Class Pump has no field Rate"});
    // The refusal ended the reply: no time-out follows.
    port->advance(200 * kTickMs);
    EXPECT_EQ(timeouts, 0);
    EXPECT_EQ(done, 0);
}

TEST_F(LinkTest, AssemblesLinesAcrossNotificationsAndTranslatesInstrumentCharacters) {
    switch_up();
    int runs = 0;
    link->send_command("GET_CONFIG", [&] { ++runs; });
    port->deliver("5\x9d");
    port->deliver("l\r@");
    EXPECT_EQ(runs, 0);
    port->deliver("\r");
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lines->replies, (Lines{"5\xb5l", "@"}));

    // An instrument that ends its lines with CR LF, or with LF alone, is understood alike.
    link->send_command("GET_CONFIG", [&] { ++runs; });
    port->deliver("\n[lists]\r");
    port->deliver("\n0;1\n|\r\n");
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(lines->replies, (Lines{"5\xb5l", "@", "[lists]", "0;1", "|"}));
}

TEST(LinkShutdown, SendsSetBaud9600RawAndUnloggedOnlyAtHighSpeed) {
    test::MessageRecorder messages;
    {
        auto owned = std::make_unique<FakePort>();
        FakePort* port = owned.get();
        Tnimbra_lib link(std::move(owned));
        ASSERT_TRUE(link.FormCreate());
        port->events.clear();
        link.leave_high_speed();
        EXPECT_TRUE(port->sent.empty());
        EXPECT_TRUE(port->events.empty());
    }
    auto owned = std::make_unique<FakePort>();
    FakePort* port = owned.get();
    Tnimbra_lib link(std::move(owned));
    test::LinkLines lines(link);
    ASSERT_TRUE(link.FormCreate());
    int runs = 0;
    link.run_command("GET_CONFIG", [&] { ++runs; });
    port->deliver("@\r");
    port->events.clear();
    port->sent.clear();
    const Lines logged = lines.log;

    link.leave_high_speed();
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->sent[0].bytes, "SET_BAUD 9600\r");
    EXPECT_EQ(port->sent[0].baud, 38400);
    EXPECT_EQ(port->events, (Lines{"send SET_BAUD 9600\r", "pause 1000"}));
    EXPECT_EQ(lines.log, logged);

    // The pending command neither completes nor times out, and nothing more is stored.
    const size_t stored = lines.replies.size();
    port->deliver("|\r");
    port->advance(2000 * kTickMs);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(lines.replies.size(), stored);
    EXPECT_TRUE(messages.errors.empty());
}

TEST(LinkShutdown, DestroyingTheLinkAtHighSpeedLowersItOnce) {
    std::vector<FakePort::Sent> sent;
    {
        auto owned = std::make_unique<FakePort>();
        FakePort* port = owned.get();
        port->also_sent = &sent;
        Tnimbra_lib link(std::move(owned));
        ASSERT_TRUE(link.FormCreate());
        link.run_command("RSTRT", [] {});
        port->deliver("@\r");
    }
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].bytes, "SET_BAUD 9600\r");
}

TEST_F(LinkTest, SamePortKeepsHighSpeedAnotherPortDropsIt) {
    port->available = {1, 3};
    switch_up();
    link->set_port_number(1);
    EXPECT_TRUE(link->high_speed());
    EXPECT_TRUE(port->events.empty());

    link->set_port_number(3);
    EXPECT_FALSE(link->high_speed());
    EXPECT_EQ(port->port_number(), 3);
    EXPECT_TRUE(port->is_open());
    EXPECT_EQ(port->baud_rate(), 9600);

    link->run_command("RSTRT", [] {});
    EXPECT_EQ(port->sent_text(), "SET_BAUD 38400\r");
    EXPECT_EQ(port->sent.back().baud, 9600);
}

TEST_F(LinkTest, PortThatCannotBeOpenedIsReportedAndAnotherCanBeChosenLater) {
    port->available = {1, 2};
    link->set_port_number(5);
    EXPECT_EQ(messages.errors, Lines{"COM5 does not exist"});
    EXPECT_FALSE(port->is_open());

    // Choosing a good port again opens it, although the port was closed.
    link->set_port_number(2);
    EXPECT_TRUE(port->is_open());
    EXPECT_EQ(port->port_number(), 2);
}

TEST(LinkCreation, AsksForAnotherPortUntilOneOpensOrTheHandlerGivesUp) {
    test::MessageRecorder messages;
    auto owned = std::make_unique<FakePort>();
    FakePort* port = owned.get();
    port->available = {4};
    Tnimbra_lib link(std::move(owned));
    test::LinkLines lines(link);
    lines.log.push_back("old");
    std::vector<std::string> reasons;
    link.set_port_problem_handler([&](const std::string& error) {
        reasons.push_back(error);
        if (reasons.size() == 2) link.set_port_number(4);
        return true;
    });
    EXPECT_TRUE(link.FormCreate());
    EXPECT_EQ(reasons, (Lines{"COM1 does not exist", "COM1 does not exist"}));
    EXPECT_TRUE(port->is_open());
    EXPECT_EQ(port->port_number(), 4);
    EXPECT_TRUE(lines.log.empty());
    EXPECT_TRUE(messages.errors.empty());

    port->available.clear();
    link.set_port_problem_handler([](const std::string&) { return false; });
    EXPECT_FALSE(link.FormCreate());
    EXPECT_FALSE(port->is_open());
}

TEST_F(LinkTest, ReplyThatStallsHalfWayTimesOutLikeASilentOne) {
    switch_up();
    int runs = 0;
    link->run_command(
        "GET_CONFIG", [&] { ++runs; }, true);
    // A slow but steady reply is never cut off...
    for (int i = 0; i < 5; ++i) {
        port->advance(90 * kTickMs);
        port->deliver("line\r");
    }
    EXPECT_EQ(timeouts, 0);
    // ...but one that stops half-way is reported once, and not again for later stragglers.
    port->deliver("half a li");
    port->advance(99 * kTickMs);
    EXPECT_EQ(timeouts, 0);
    port->advance(kTickMs);
    EXPECT_EQ(timeouts, 1);
    port->deliver("ne\r");
    port->advance(200 * kTickMs);
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(runs, 0);

    // A complete reply leaves no timer behind (the speed is found again first).
    link->run_command("RSTRT", [&] { ++runs; });
    port->deliver("@\r");
    port->deliver("@\r");
    port->advance(2000 * kTickMs);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(timeouts, 1);
}

TEST_F(LinkTest, OverLongReplyLineIsCappedAndNoted) {
    switch_up();
    link->send_command("GET_CONFIG", [] {});
    port->deliver(std::string(Tnimbra_lib::kMaxReplyLine + 1000, 'x'));
    port->deliver(std::string(500, 'y') + "\rnext\r");
    ASSERT_EQ(lines->replies.size(), 2u);
    EXPECT_EQ(lines->replies[0], std::string(Tnimbra_lib::kMaxReplyLine, 'x'));
    EXPECT_EQ(lines->replies[1], "next");
    EXPECT_EQ(
        lines->log,
        (Lines{"GET_CONFIG",
               "Reply line longer than 4096 characters: the rest of the line was discarded"}));
}

TEST_F(LinkTest, ShutdownLetsTheLineInFlightFinishThenLowersTheSpeed) {
    switch_up();
    for (const char* line : {"DLD_OBJ a", "DLD_OBJ b", "DLD_OBJ c"})
        link->queue_command(line);
    int done = 0;
    int stopped = 0;
    int ended = 0;
    link->set_failure_action([&](Tnimbra_lib::Failure, const std::string&) { ++stopped; });
    link->send_queue([&] { ++done; });
    port->deliver("@\r");
    ASSERT_TRUE(link->command_in_flight());

    link->shutdown([&] { ++ended; });
    EXPECT_EQ(ended, 0);
    EXPECT_EQ(port->sent_text(), "DLD_OBJ a\rDLD_OBJ b\r");
    port->deliver("@\r");
    // The line in flight counted, nothing after it went out, the speed went back down.
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(link->acknowledged_lines(), 2);
    EXPECT_EQ(port->sent_text(), "DLD_OBJ a\rDLD_OBJ b\rSET_BAUD 9600\r");

    // Later commands are refused; a shutdown with nothing in flight ends at once.
    link->run_command("RSTRT", [] {});
    EXPECT_EQ(port->sent_text(), "DLD_OBJ a\rDLD_OBJ b\rSET_BAUD 9600\r");
    link->shutdown([&] { ++ended; });
    EXPECT_EQ(ended, 2);
}

TEST_F(LinkTest, ShutdownWaitsNoLongerThanTheTimeOut) {
    switch_up();
    int ended = 0;
    link->run_command("DLD_OBJ a", [] {});
    link->shutdown([&] { ++ended; });
    port->advance(99 * kTickMs);
    EXPECT_EQ(ended, 0);
    port->advance(kTickMs);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(port->sent.back().bytes, "SET_BAUD 9600\r");
}

TEST_F(LinkTest, ArrivalsNeverHoldAWaitOpenForEver) {
    switch_up();
    // A one-line answer: data lines arriving meanwhile do not extend its time.
    link->run_command("DLD_OBJ a", [] {});
    for (int i = 0; i < 3; ++i) {
        port->advance(40 * kTickMs);
        port->deliver("noise\r");
    }
    EXPECT_EQ(timeouts, 1);

    // A multi-line reply: bytes without CR are no progress.
    switch_up();
    link->run_command("GET_CONFIG", [] {});
    for (int i = 0; i < 3; ++i) {
        port->advance(40 * kTickMs);
        port->deliver(std::string(3000, 'z'));
    }
    EXPECT_EQ(timeouts, 2);

    // Lines that never end, and lines too long for any configuration, at once.
    switch_up();
    link->run_command("GET_CONFIG", [] {});
    std::string flood;
    for (std::size_t i = 0; i <= Tnimbra_lib::kMaxReplyLines; ++i)
        flood += "Tray;T;1;0;x\r";
    port->deliver(flood);
    EXPECT_EQ(timeouts, 3);
    EXPECT_EQ(lines->log.back().find("The reply to \"GET_CONFIG\" grew past"), 0u);
    switch_up();
    link->run_command("GET_CONFIG", [] {});
    const std::string wide = std::string(4000, 'w') + "\r";
    for (std::size_t sent = 0; sent <= Tnimbra_lib::kMaxReplyBytes; sent += wide.size())
        port->deliver(wide);
    EXPECT_EQ(timeouts, 4);
    EXPECT_FALSE(link->command_in_flight());
}

TEST_F(LinkTest, AnswersBelongToTheWaitingCommandAlone) {
    switch_up();
    int configs = 0;
    int objects = 0;
    int refusals = 0;
    link->set_refusal_action([&] { ++refusals; });
    link->run_command("GET_CONFIG", [&] {
        ++configs;
        link->run_command("DLD_OBJ a", [&] { ++objects; });
    });
    // A duplicate "@" in the same burst as the end line: not the next command's answer.
    port->deliver("[lists]\r|\r@\r");
    EXPECT_EQ(configs, 1);
    EXPECT_EQ(objects, 0);
    ASSERT_TRUE(link->command_in_flight());
    // A second command while one waits is not sent.
    link->run_command("RSTRT", [] {});
    EXPECT_EQ(port->sent.back().bytes, "DLD_OBJ a\r");
    port->deliver("@Object memory full\r");
    EXPECT_EQ(objects, 0);
    EXPECT_EQ(refusals, 1);
    ASSERT_EQ(messages.errors.size(), 2u);
    EXPECT_EQ(messages.errors[1], "Object memory full");

    // Answers while nothing waits run nothing and are dropped: the first noted, the count
    // when the next command goes out.
    port->deliver("@\r|END\r");
    EXPECT_EQ(configs, 1);
    EXPECT_EQ(objects, 0);
    const Lines& notes = lines->log;
    EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                            [](const std::string& n) { return n.rfind("Ignored", 0) == 0; }),
              1);
    EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                            [](const std::string& n) { return n.rfind("Discarded 2", 0) == 0; }),
              1);

    // An answer already waiting when the port opens is not the next command's either.
    link->port().close();
    port->arrive_unnoticed("@\r");
    link->set_port_number(1);
    ASSERT_TRUE(port->is_open());
    EXPECT_EQ(lines->log.back(), "Discarded 2 received bytes waiting when the port opened");
    link->run_command("RSTRT", [] {});
    EXPECT_EQ(lines->log.back(), "RSTRT");
    EXPECT_EQ(lines->log[lines->log.size() - 2],
              "Ignored 2 lines in all that no command waited for");
    EXPECT_TRUE(lines->replies.empty() || lines->replies.back() != "|END");
}

TEST_F(LinkTest, LostLineIsSaidOnceAndTheNextCommandOpensThePortAgain) {
    switch_up();
    int refusals = 0;
    int stopped = 0;
    link->set_refusal_action([&] { ++refusals; });
    link->set_failure_action([&](Tnimbra_lib::Failure, const std::string&) { ++stopped; });
    link->queue_command("DLD_OBJ a");
    link->queue_command("DLD_OBJ b");
    link->send_queue([] {});
    port->lose("Input/output error");
    const std::string note = "The serial line was lost: Input/output error";
    EXPECT_EQ(statuses, Lines{note});
    EXPECT_EQ(messages.errors, Lines{note});
    EXPECT_EQ(lines->log.back(), note);
    EXPECT_EQ(refusals, 1);
    EXPECT_EQ(stopped, 1);
    EXPECT_FALSE(link->command_in_flight());
    port->advance(200 * kTickMs);
    EXPECT_EQ(timeouts, 0);

    // The device is still gone: the handler is asked, gives up, the command stops.
    port->available.clear();
    std::vector<std::string> problems;
    link->set_port_problem_handler([&](const std::string& error) {
        problems.push_back(error);
        return false;
    });
    port->sent.clear();
    link->run_command("RSTRT", [] {});
    EXPECT_EQ(problems, Lines{"COM1 does not exist"});
    EXPECT_EQ(refusals, 2);
    EXPECT_TRUE(port->sent.empty());

    // Back: OK on the same port opens it, and the next command finds the speed again.
    port->available = {1};
    link->set_port_number(1);
    EXPECT_TRUE(port->is_open());
    link->run_command("RSTRT", [] {});
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->sent[0].bytes, "SET_BAUD 38400\r");
    EXPECT_EQ(port->sent[0].baud, 9600);
    EXPECT_EQ(statuses.size(), 1u);
}

}  // namespace
}  // namespace vexilo
