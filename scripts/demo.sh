#!/usr/bin/env bash
# Set-up, build, and show Vexilo at work on the bundled examples.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset dev
cmake --build --preset dev -j "$(nproc)"

cli=build/dev/src/cli/vexilo-cli
echo "== Objects of the example instrument configuration"
"$cli" check examples/instrument.nol
for list in examples/lists/*.nol; do
  echo "== Objects of $list"
  "$cli" check "$list"
done
echo "(The workbench window is not built yet; vexilo-cli shows the same core at work.)"
