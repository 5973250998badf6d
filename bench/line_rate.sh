#!/usr/bin/env bash
# A whole-module download through nimbra-sim --line-rate, timed against the wire and against
# a plain stop-and-wait sender doing the same exchange. "total" runs from the start to the
# last "@" (speed switch, GET_CONFIG and the download); "download" from the first DLD_OBJ line.
# Then, for the first COUNT, the re-send case: the list sent whole in one window session and
# re-sent unchanged with "Send only changed objects" there and in a new vexilo-cli run, each
# against the wire time of the whole send (needs bench_resend_session; skipped without it).
#
#   bench/line_rate.sh [--rounds N] [COUNT...]   (default: 3 rounds of 1928, then of 500;
#   BUILD_DIR picks the build, default build/release when built, else build/dev)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-}
if [ -z "$build" ]; then
  build=$root/build/dev
  [ -x "$root/build/release/src/cli/vexilo-cli" ] && build=$root/build/release
fi
for program in "$build/tools/nimbra-sim/nimbra-sim" "$build/src/cli/vexilo-cli"; do
  [ -x "$program" ] || { echo "line_rate: $program is not built" >&2; exit 1; }
done
/usr/bin/python3 -c "import serial" 2>/dev/null ||
  { echo "line_rate: Debian's python3-serial is missing (scripts/deps.sh installs it)" >&2; exit 1; }
echo "build: $build"
session=()
if [ -x "$build/bench/bench_resend_session" ]; then
  session=(--session "$build/bench/bench_resend_session")
else
  echo "line_rate: $build/bench/bench_resend_session is not built: no re-send case" >&2
fi
exec /usr/bin/python3 "$root/bench/line_rate.py" --sim "$build/tools/nimbra-sim/nimbra-sim" \
  --cli "$build/src/cli/vexilo-cli" --instrument "$root/examples/instrument.nol" \
  "${session[@]}" "$@"
