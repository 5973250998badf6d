// Speed of the configuration core at the design limits.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "config/conversion.h"
#include "config/messages.h"
#include "config/object_list_file.h"
#include "config/reader.h"
#include "config/text_fields.h"
#include "config/text_file.h"
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

std::unique_ptr<Configuration> design_limit_configuration() {
    std::vector<std::string> lines = bench::design_limit_lines();
    auto config = std::make_unique<Configuration>();
    clear_configuration(*config);
    if (!read_configuration(*config, lines)) return nullptr;
    return config;
}

// Both write benchmarks write to the same folder, and their ratio depends on it: every write
// ends with a flush to disk, which costs nothing in memory (/dev/shm) and milliseconds on a
// disk. In memory the ratio is the cost of checking and formatting the list (about 4x before
// the lines were written in place); on this machine's disk the flush is about 17 ms and the
// ratio near 1; a folder whose flush takes some 40 us gives 2.5x. So the folder is chosen
// the same way every time (VEXILO_BENCH_DIR, else /dev/shm, else the temporary folder) and
// named in each result's label.
std::filesystem::path bench_folder() {
    std::error_code error;
    const char* chosen = std::getenv("VEXILO_BENCH_DIR");
    if (chosen != nullptr && *chosen != 0) return chosen;
    if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
    return std::filesystem::temp_directory_path();
}

std::string bench_file(benchmark::State& state, const char* name) {
    const std::filesystem::path folder = bench_folder();
    state.SetLabel(folder.string());
    return (folder / ("vexilo-bench-" + std::to_string(::getpid()) + "-" + name + ".nol")).string();
}

// Both write benchmarks go through the same safe path (temporary file, flush to disk,
// rename) into the same folder, so that in memory their ratio is the cost of checking and
// formatting the list.
void BM_WriteObjectList(benchmark::State& state) {
    const auto config = design_limit_configuration();
    if (!config) return state.SkipWithError("reading failed");
    const std::vector<std::string> comments = {"Benchmark configuration at the design limits"};
    const std::string path = bench_file(state, "list");
    for (auto _ : state) {
        if (!write_object_list(*config, path, comments)) state.SkipWithError("writing failed");
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<long>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteObjectList)->Unit(benchmark::kMicrosecond);

// Baseline: the same bytes, already formatted, written in one call.
void BM_WriteBytes(benchmark::State& state) {
    const auto config = design_limit_configuration();
    if (!config) return state.SkipWithError("reading failed");
    std::string bytes;
    for (const std::string& line : object_list_lines(*config, {"Benchmark configuration at the "
                                                               "design limits"})) {
        bytes += line;
        bytes += "\r\n";
    }
    const std::string path = bench_file(state, "bytes");
    for (auto _ : state) {
        if (!write_file_atomically(path, bytes)) state.SkipWithError("writing failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(bytes.size()));
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteBytes)->Unit(benchmark::kMicrosecond);

// Every object of the design-limit configuration into an empty list with the same classes.
void BM_AddAllCarefully(benchmark::State& state) {
    const auto source = design_limit_configuration();
    if (!source) return state.SkipWithError("reading failed");
    auto dest = std::make_unique<Configuration>(*source);
    for (auto _ : state) {
        dest->object_count = 0;
        dest->data_used = 0;
        CarefulAdd add(*source, *dest);
        for (int k = 0; k < source->object_count; ++k) {
            if (!add.add_object_carefully(k)) state.SkipWithError("object refused");
        }
        benchmark::DoNotOptimize(dest->object_count);
    }
    state.SetItemsProcessed(state.iterations() * source->object_count);
}
BENCHMARK(BM_AddAllCarefully)->Unit(benchmark::kMicrosecond);

// Every object checked against the instrument's class and turned into its queued line.
void BM_DownloadLines(benchmark::State& state) {
    const auto config = design_limit_configuration();
    if (!config) return state.SkipWithError("reading failed");
    VectorLineList output_box;
    VectorLineList cmd_box;
    for (auto _ : state) {
        output_box.clear();
        cmd_box.clear();
        DownloadConverter converter(*config, *config, output_box, cmd_box);
        for (int k = 0; k < config->object_count; ++k) {
            if (!converter.queue_object(k)) state.SkipWithError("object refused");
        }
        benchmark::DoNotOptimize(cmd_box.lines.data());
    }
    state.SetItemsProcessed(state.iterations() * config->object_count);
}
BENCHMARK(BM_DownloadLines)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vexilo

BENCHMARK_MAIN();
