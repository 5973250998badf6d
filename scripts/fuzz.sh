#!/usr/bin/env bash
# Builds the fuzzers with clang and runs one of them.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET]   (TARGET: fuzz_reader (default) or fuzz_roundtrip)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
target="${2:-fuzz_reader}"
case "$target" in
  fuzz_reader|fuzz_roundtrip) ;;
  *) echo "unknown fuzz target: $target" >&2; exit 2 ;;
esac
scripts/deps.sh
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DVEXILO_FUZZERS=ON -DVEXILO_CORE_ONLY=ON -DBUILD_TESTING=OFF -DVEXILO_BENCHMARKS=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
cmake --build build/fuzz --target "$target"
corpus="build/fuzz/corpus-$target"
mkdir -p "$corpus"
cp examples/*.nol examples/lists/*.nol "$corpus"/
"build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=65536 "$corpus"
