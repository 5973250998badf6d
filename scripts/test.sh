#!/usr/bin/env bash
# Set-up, build and every test. Usage: scripts/test.sh [preset]   (default: dev)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"

scripts/deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j "$(nproc)"
