// vexilo-cli against nimbra-sim behind the real ser2net: the instrument on the lab network,
// reached through RFC 2217 (the speed switch works) and through raw TCP (it is not used).

#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include "e2e_support.h"
#include "support/ser2net_process.h"

namespace vexilo::test {
namespace {

// A client of the device server that holds its serial port: connected to the raw TCP port and
// answered once, so the server has the port open for it. -1 when that fails.
int hold_serial_port(int tcp_port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(tcp_port));
    const timeval limit{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string got;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        write(fd, "RSTRT\r", 6) == 6) {
        char c = 0;
        while (got != "@\r" && got.size() < 64 && read(fd, &c, 1) == 1)
            got += c;
    }
    if (got == "@\r") return fd;
    close(fd);
    return -1;
}

class NetworkSim : public ::testing::Test {
  protected:
    void start(const Lines& extra = {}) {
        sim = start_simulator(dir, extra);
        ASSERT_TRUE(sim->started());
        ASSERT_TRUE(sim->port()) << sim->log();
        server = std::make_unique<Ser2net>(dir.file("nimbra"), dir);
        ASSERT_TRUE(server->ready()) << server->process().log();
    }

    void TearDown() override {
        if (HasFailure() && sim) std::cerr << "--- nimbra-sim log\n" << sim->log();
        if (HasFailure() && server) std::cerr << "--- ser2net log\n" << server->process().log();
    }

    const Lines lists = {kExamples + "/lists/assay.nol", kExamples + "/lists/calibration.nol",
                         kExamples + "/lists/wash.nol"};
    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<Ser2net> server;
};

TEST_F(NetworkSim, SendGetConfigAndPlanThroughRfc2217SwitchSpeedAndRawTcpDoesNot) {
    start();
    const std::string url = server->rfc2217_url();
    Lines send = {"--port", url, "send"};
    send.insert(send.end(), lists.begin(), lists.end());
    const CliResult sent = run_cli(dir, send);
    ASSERT_EQ(sent.status, 0) << sent.err;

    const CliResult got = run_cli(dir, {"--trace", dir.file("trace.txt"), "--port", url,
                                        "get-config", "-o", dir.file("got.nol")});
    ASSERT_EQ(got.status, 0) << got.err;
    // The trace: each line with its time, in the order it crossed the port, bytes as on the
    // wire (the instrument's 0x9D for the micro sign), the switch back to 9600 last.
    const std::string trace = file_text(dir.file("trace.txt"));
    std::istringstream trace_lines(trace);
    std::string first;
    std::getline(trace_lines, first);
    EXPECT_EQ(first.find(" -- trace of the line on " + url + " at 9600 baud"), 23u) << first;
    for (std::string line; std::getline(trace_lines, line);) {
        EXPECT_TRUE(line.size() > 24 && line[4] == '-' && line[10] == ' ' && line[13] == ':' &&
                    line[19] == '.' && std::isdigit(static_cast<unsigned char>(line[22])) &&
                    line[23] == ' ')
            << line;
    }
    const auto at = [&](const std::string& text) { return trace.find(text); };
    EXPECT_LT(at("> SET_BAUD 38400<0D>\n"), at("< @<0D>\n")) << trace;
    EXPECT_LT(at("< @<0D>\n"), at("-- speed 38400 baud\n")) << trace;
    EXPECT_LT(at("-- speed 38400 baud\n"), at("> GET_CONFIG<0D>\n")) << trace;
    EXPECT_LT(at("> GET_CONFIG<0D>\n"), at("<9D>")) << trace;
    EXPECT_LT(at("< |"), at("> SET_BAUD 9600<0D>\n")) << trace;
    const CliResult untraced =
        run_cli(dir, {"--trace", dir.file("no/such/folder/t.txt"), "--port", url, "restart"});
    EXPECT_EQ(untraced.status, 1);
    EXPECT_EQ(untraced.err, "error: Cannot write the trace of the line to " +
                                dir.file("no/such/folder/t.txt") + ": No such file or directory\n");
    Lines plan = {"--port", url, "plan"};
    plan.insert(plan.end(), lists.begin(), lists.end());
    const CliResult planned = run_cli(dir, plan);
    ASSERT_EQ(planned.status, 0) << planned.err;
    EXPECT_NE(planned.out.find("\n0 new, 0 changed, 15 unchanged, 0 misfit"), std::string::npos)
        << planned.out;

    // Every command at 38400 between a switch up and a switch back down, per run.
    const std::string log = sim->log();
    EXPECT_EQ(count_of(logged_commands(log), "SET_BAUD 38400"), 3) << log;
    EXPECT_EQ(count_of(logged_commands(log), "SET_BAUD 9600"), 3) << log;
    EXPECT_NE(log.find("speed: 9600 -> 38400"), std::string::npos);
    EXPECT_NE(log.find("speed: 38400 -> 9600"), std::string::npos);
    EXPECT_EQ(log.find("[9600] GET_CONFIG"), std::string::npos) << log;

    // Raw TCP: the same work at 9600 with no switch, and the operator is told why.
    const CliResult again = run_cli(
        dir, {"--port", server->raw_url(), "send-objects", lists[0], "--object", "AssayTray"});
    const std::string after = sim->log().substr(log.size());
    EXPECT_NE(again.err.find("status: Speed switch not used on a raw TCP line"), std::string::npos)
        << again.err;
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(after.find("SET_BAUD"), std::string::npos) << after;
    EXPECT_NE(after.find("[9600] DLD_OBJ"), std::string::npos) << after;

    // While another client holds the serial port, both kinds of port keep being closed at once,
    // and the operator is told why. Once it lets go, commands through either port follow each
    // other straight away, though the server may still be releasing the port for the last.
    const int holder = hold_serial_port(server->raw_port);
    ASSERT_GE(holder, 0);
    for (const std::string& busy_url : {url, server->raw_url()}) {
        const CliResult busy = run_cli(dir, {"--port", busy_url, "restart"});
        EXPECT_EQ(busy.status, 1);
        EXPECT_NE(busy.err.find("closed the connection at once, "), std::string::npos) << busy.err;
        EXPECT_NE(busy.err.find(" times (another client connected, or the port still in use)"),
                  std::string::npos)
            << busy.err;
    }
    close(holder);
    for (int round = 0; round < 3; ++round) {
        for (const std::string& next : {url, server->raw_url()}) {
            const CliResult restarted = run_cli(dir, {"--port", next, "restart"});
            EXPECT_EQ(restarted.status, 0) << next << "\n" << restarted.err;
        }
    }

    const Lines held = object_lines_of(dir.file("got.nol"));
    EXPECT_EQ(sim->stop(), 0);
    EXPECT_EQ(object_lines_of(dir.file("state.nol")), held);
}

TEST_F(NetworkSim, ServerKilledMidSendEndsTheCommandWithAnError) {
    start({"--line-rate"});
    setenv("VEXILO_SETTINGS", dir.file("settings.ini").c_str(), 1);
    Lines args = {"--port", server->rfc2217_url(), "send"};
    args.insert(args.end(), lists.begin(), lists.end());
    SimProcess cli(VEXILO_CLI, args, dir);
    ASSERT_TRUE(sim->wait_for_log("DLD_OBJ", 2)) << cli.log();
    EXPECT_EQ(server->process().stop(SIGKILL), 128 + SIGKILL);
    EXPECT_EQ(cli.wait(), 1) << cli.log();
    EXPECT_NE(cli.log().find("error: The serial line was lost: the device server at 127.0.0.1:" +
                             std::to_string(server->rfc2217_port) + " closed the connection"),
              std::string::npos)
        << cli.log();
}

TEST_F(NetworkSim, NobodyListeningOrABadAddressFailsAtOnceWithAClearMessage) {
    const int port = free_tcp_port();
    const std::string url = "rfc2217://127.0.0.1:" + std::to_string(port);
    const CliResult refused = run_cli(dir, {"--port", url, "restart"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "error: Cannot open " + url +
                               ": the connection was refused: nothing listens on 127.0.0.1:" +
                               std::to_string(port) + "\n");

    const CliResult v6 =
        run_cli(dir, {"--port", "socket://[::1]:" + std::to_string(port), "restart"});
    EXPECT_EQ(v6.status, 1);
    EXPECT_NE(v6.err.find("nothing listens on [::1]:" + std::to_string(port)), std::string::npos)
        << v6.err;

    // A name that does not resolve (at once, or after the connect limit without a resolver).
    const CliResult unknown =
        run_cli(dir, {"--port", "rfc2217://no-such-host.invalid:2217", "restart"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err.rfind("error: Cannot open rfc2217://no-such-host.invalid:2217: the ", 0),
              0u)
        << unknown.err;
    EXPECT_NE(unknown.err.find("no-such-host.invalid"), std::string::npos);

    for (const auto& [bad, why] :
         {std::pair{"rfc2217://lab-server", "the port number is missing"},
          std::pair{"telnet://lab-server:2217", "the scheme is rfc2217:// or socket://"},
          std::pair{"rfc2217://::1:2217", "an IPv6 address goes in brackets"},
          std::pair{"socket://lab server:2217", "'lab server' is no host name"},
          std::pair{"rfc2217://lab-server:99999", "the port number is 1 to 65535"}}) {
        const CliResult r = run_cli(dir, {"--port", bad, "restart"});
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.err.find(why), std::string::npos) << bad << ": " << r.err;
        const CliResult mapped = run_cli(dir, {"ports", "COM2", bad});
        EXPECT_EQ(mapped.status, 2) << bad;
    }
    // The map holds a good address as written; a command on COM2 goes there.
    ASSERT_EQ(run_cli(dir, {"ports", "COM2", url}).status, 0);
    EXPECT_NE(run_cli(dir, {"ports"}).out.find("COM2\t" + url + "\t(mapped)\n"), std::string::npos);
    const CliResult via_map = run_cli(dir, {"--port", "COM2", "restart"});
    EXPECT_EQ(via_map.err, "error: Cannot open COM2 (" + url +
                               "): the connection was refused: nothing listens on 127.0.0.1:" +
                               std::to_string(port) + "\n");
}

}  // namespace
}  // namespace vexilo::test
