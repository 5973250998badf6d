#!/usr/bin/env bash
# Builds the fuzzers with clang and runs the reader's fuzzer. Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
scripts/deps.sh
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVEXILO_FUZZERS=ON -DVEXILO_CORE_ONLY=ON -DBUILD_TESTING=OFF -DVEXILO_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
cmake --build build/fuzz --target fuzz_reader
mkdir -p build/fuzz/corpus
cp examples/*.nol examples/lists/*.nol build/fuzz/corpus/
build/fuzz/fuzz/fuzz_reader -max_total_time="$seconds" -max_len=65536 build/fuzz/corpus
