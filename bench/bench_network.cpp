// A send of 300 objects at line rate (nimbra-sim --line-rate) by vexilo-cli, on the
// simulator's pty directly and through ser2net's RFC 2217 port in front of the same pty, with
// and without a trace of the line. Each send is a separate vexilo-cli run, as an operator's
// script runs it. The ratios to the pty's median are printed at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

#include "support/ser2net_process.h"

namespace vexilo {
namespace {

using test::SimProcess;
using test::TempDir;

constexpr int kObjects = 300;

struct Setup {
    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<test::Ser2net> server;
    std::string module;
    std::string error;

    Setup() {
        // The instrument's classes, then pumps with a valve every fifteenth object.
        const auto lines = read_text_lines(VEXILO_EXAMPLES "/instrument.nol");
        module = dir.file("bench.nol");
        std::FILE* out = std::fopen(module.c_str(), "wb");
        for (const std::string& line : lines ? *lines : std::vector<std::string>{}) {
            std::fprintf(out, "%s\r\n", line.c_str());
            if (line == "[OBJECTS]") break;
        }
        for (int i = 0; i < kObjects; ++i) {
            if (i % 15 == 14) {
                std::fprintf(out, "Valve;V%04d;%d;%d;None\r\n", i, 1 + i % 12, i % 2);
            } else {
                std::fprintf(out, "Pump;P%04d;%d;%d;%d;%d\r\n", i, (i * 37) % 1001,
                             1 + (i * 13) % 500, i % 3, i % 2);
            }
        }
        std::fclose(out);
        sim = std::make_unique<SimProcess>(
            NIMBRA_SIM_PATH,
            std::vector<std::string>{"--config", VEXILO_EXAMPLES "/instrument.nol", "--link",
                                     dir.file("nimbra"), "--line-rate"},
            dir);
        if (!sim->port()) {
            error = "nimbra-sim did not start";
            return;
        }
        server = std::make_unique<test::Ser2net>(dir.file("nimbra"), dir);
        if (!server->ready()) error = "ser2net did not start";
        // Every measured send then finds the same 300 objects in the configuration reply.
        if (error.empty() && !send(dir.file("nimbra"), false)) error = "the first send failed";
    }

    // One send through `port`; false when it did not end with every object downloaded.
    bool send(const std::string& port, bool traced) {
        std::string command = "VEXILO_SETTINGS=" + dir.file("settings.ini") + " " VEXILO_CLI;
        if (traced) command += " --trace " + dir.file("trace.txt");
        command += " --port " + port + " send " + module + " >/dev/null 2>" + dir.file("err.txt");
        return std::system(command.c_str()) == 0;
    }
};

Setup& setup() {
    static Setup instance;
    return instance;
}

void run_sends(benchmark::State& state, bool network, bool traced) {
    Setup& s = setup();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    const std::string port = network ? s.server->rfc2217_url() : s.dir.file("nimbra");
    for (auto _ : state) {
        if (!s.send(port, traced)) {
            state.SkipWithError("the send failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}

void BM_SendOnPty(benchmark::State& state) {
    run_sends(state, false, false);
}
void BM_SendThroughRfc2217(benchmark::State& state) {
    run_sends(state, true, false);
}
void BM_SendThroughRfc2217Traced(benchmark::State& state) {
    run_sends(state, true, true);
}

#define VEXILO_SEND_BENCHMARK(name)  \
    BENCHMARK(name)                  \
        ->Iterations(1)              \
        ->Repetitions(3)             \
        ->ReportAggregatesOnly(true) \
        ->UseRealTime()              \
        ->Unit(benchmark::kMillisecond)
VEXILO_SEND_BENCHMARK(BM_SendOnPty);
VEXILO_SEND_BENCHMARK(BM_SendThroughRfc2217);
VEXILO_SEND_BENCHMARK(BM_SendThroughRfc2217Traced);

// Keeps each benchmark's median for the ratios.
class MedianReporter final : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

}  // namespace
}  // namespace vexilo

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    vexilo::MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& m = reporter.medians;
    const auto pty = m.find("BM_SendOnPty");
    if (pty != m.end() && pty->second > 0) {
        for (const auto& [name, median] : m) {
            std::printf("%s / BM_SendOnPty (median of 3): %.3f\n", name.c_str(),
                        median / pty->second);
        }
    }
    benchmark::Shutdown();
    return 0;
}
