// The audit trail's cost against the send it records: a send of 1928 objects (design limit)
// writes a start, a sending event (every object's change and the configuration read before,
// 1928 objects) and an end, each committed with a synced write-ahead log. Compared with the
// wire time of that send at 38400 baud (10 bits a byte): the GET_CONFIG reply, every
// "DLD_OBJ " line with its CR and every "@" CR answer. The database lives in
// $VEXILO_BENCH_DIR, else the temporary folder: run it on the disk the trail will use.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "audit/audit_recorder.h"
#include "config/plan.h"
#include "config/reader.h"
#include "design_limit.h"

namespace vexilo {
namespace {

constexpr double kBitsPerByte = 10;
constexpr double kBaud = 38400;

QString bench_folder() {
    const QString chosen = qEnvironmentVariable("VEXILO_BENCH_DIR");
    return chosen.isEmpty() ? QDir::tempPath() : chosen;
}

struct Send {
    std::unique_ptr<Configuration> instrument = std::make_unique<Configuration>();
    std::vector<std::string> commands;
    Plan plan;
    double wire_ms = 0;
};

// Every object of the design-limit configuration sent to an instrument holding them with one
// value changed each: 1928 "changed" entries, and a full configuration before.
Send design_limit_send() {
    Send send;
    std::vector<std::string> lines = bench::design_limit_lines();
    clear_configuration(*send.instrument);
    read_configuration(*send.instrument, lines);
    std::size_t bytes = 0;
    for (const std::string& line : lines)
        bytes += line.size() + 1;
    auto target = std::make_unique<Configuration>(*send.instrument);
    for (int k = 0; k < target->object_count; ++k) {
        const std::string line = object_download_line(*target, k);
        send.commands.push_back("DLD_OBJ " + line);
        bytes += send.commands.back().size() + 1 + 2;
    }
    // The instrument's copy differs in every object's first value.
    for (int k = 0; k < send.instrument->object_count; ++k) {
        ObjectRecord& object = send.instrument->objects[k];
        const FieldKind kind = send.instrument->classes[object.class_index].fields[0].kind;
        if (kind == FieldKind::Number) {
            set_int_value(*send.instrument, object, 0,
                          get_int_value(*send.instrument, object, 0) + 1);
        }
    }
    send.plan = plan_commands(*send.instrument, send.commands);
    send.wire_ms = static_cast<double>(bytes) * kBitsPerByte / kBaud * 1000;
    return send;
}

void BM_AuditSendRecord(benchmark::State& state) {
    QTemporaryDir dir(bench_folder() + QStringLiteral("/vexilo-bench-audit-XXXXXX"));
    ::setenv("VEXILO_SETTINGS", QFile::encodeName(dir.filePath("settings")).constData(), 1);
    const Send send = design_limit_send();
    audit::AuditRecorder recorder(dir.filePath(QStringLiteral("audit.sqlite")));
    OperationStart start;
    start.kind = OperationKind::SendLists;
    start.port = "/dev/ttyUSB0";
    start.files = {"/nonexistent/design-limit.nol"};
    OperationResult result;
    result.outcome = OperationResult::Outcome::Done;
    result.accepted = result.total = static_cast<int>(send.commands.size());
    const auto begin = std::chrono::steady_clock::now();
    for (auto _ : state) {
        benchmark::DoNotOptimize(recorder.operation_starting(start));
        recorder.sending(start, send.instrument.get(), send.plan);
        recorder.operation_ended(start, result);
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
            .count() /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["wire_ms"] = send.wire_ms;
    state.counters["ms_per_event"] = ms / 3;
    // The record's share of the send it records, in percent.
    state.counters["share_pct"] = 100 * ms / send.wire_ms;
    ::unsetenv("VEXILO_SETTINGS");
}
BENCHMARK(BM_AuditSendRecord)->Unit(benchmark::kMillisecond)->UseRealTime();

// One small event (a get-configuration's start or end), committed: the floor of every record.
void BM_AuditEvent(benchmark::State& state) {
    QTemporaryDir dir(bench_folder() + QStringLiteral("/vexilo-bench-audit-XXXXXX"));
    audit::AuditTrail trail(dir.filePath(QStringLiteral("audit.sqlite")));
    const QJsonObject content{{"operation", "get configuration"}, {"port", "/dev/ttyUSB0"}};
    QString error;
    for (auto _ : state) {
        if (!trail.append(0, QStringLiteral("start"), content, error)) {
            state.SkipWithError(error.toStdString().c_str());
            break;
        }
    }
}
BENCHMARK(BM_AuditEvent)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vexilo

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
