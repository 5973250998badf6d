// Speed of the configuration core at the design limits.

#include <benchmark/benchmark.h>

#include <memory>

#include "config/messages.h"
#include "config/reader.h"
#include "config/text_fields.h"
#include "design_limit.h"

namespace vexilo {
namespace {

void BM_ReadConfiguration(benchmark::State& state) {
    const std::vector<std::string> text = bench::design_limit_lines();
    auto config = std::make_unique<Configuration>();
    for (auto _ : state) {
        std::vector<std::string> lines = text;
        if (!read_configuration(*config, lines)) state.SkipWithError("reading failed");
        benchmark::DoNotOptimize(config->object_count);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(text.size()));
}
BENCHMARK(BM_ReadConfiguration)->Unit(benchmark::kMicrosecond);

// Baseline: copy the same text and split it into lines and fields, nothing more.
void BM_SplitFields(benchmark::State& state) {
    const std::vector<std::string> text = bench::design_limit_lines();
    std::vector<std::string_view> fields;
    for (auto _ : state) {
        std::vector<std::string> lines = text;
        std::size_t count = 0;
        for (const std::string& line : lines) {
            split_fields(line, fields);
            count += fields.size();
        }
        benchmark::DoNotOptimize(count);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(text.size()));
}
BENCHMARK(BM_SplitFields)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vexilo

BENCHMARK_MAIN();
