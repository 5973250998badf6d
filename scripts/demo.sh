#!/usr/bin/env bash
# Set-up, build, and the workbench at work: the instrument simulator on a pseudo-terminal with
# the bundled example configuration, and `vexilo /support` talking to it, with its settings in
# a private file under build/demo (your own settings stay untouched).
#
# With a display the window opens and the demo ends when you close it. Without one it runs
# under xvfb-run, saves a screenshot of the window, prints the PNG's path and exits 0.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

started=$SECONDS
# Only what the demo needs (scripts/deps.sh without names installs the rest: test, benchmark
# and fuzzing tools), so that a fresh machine gets to the window soon.
packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
  qt6-serialport-dev libgl-dev qt6-qpa-plugins libqt6svg6 fonts-liberation
  xvfb xauth imagemagick)
scripts/deps.sh "${packages[@]}"
# The demo preset builds the two programs and nothing else: no tests, no benchmarks.
cmake --preset demo
cmake --build --preset demo -j "$(nproc)"
echo "demo: ready in $((SECONDS - started)) s"

demo="$root/build/demo"
mkdir -p "$demo"
sim="$root/build/demo-build/tools/nimbra-sim/nimbra-sim"
vexilo="$root/build/demo-build/src/app/vexilo"
port="$demo/nimbra-port"
export VEXILO_SETTINGS="$demo/settings"
# The demo's operations leave their records in a trail of their own, not the operator's.
export VEXILO_AUDIT="$demo/audit.sqlite"
# A guard of its own, so the demo starts even beside an operator's copy.
export VEXILO_INSTANCE="vexilo-demo-$(id -u)"

rm -f "$port"
"$sim" --config "$root/examples/instrument.nol" --link "$port" \
  --state "$demo/instrument-state.nol" >"$demo/nimbra-sim.out" 2>"$demo/nimbra-sim.log" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "$port" ] && break
  sleep 0.1
done
[ -e "$port" ] || { echo "demo: nimbra-sim did not start; see $demo/nimbra-sim.log" >&2; exit 1; }

# The settings file: COM1 is the simulator's pty, the list folder the example lists.
escape() { printf '%s' "$1" | sed 's/%/%25/g'; }
lists="$(escape "$root/examples/lists")"
cat >"$VEXILO_SETTINGS" <<SETTINGS
[SOFTWARE\\Orvane\\Nimbra\\Vexilo]
Root Folder=text:$lists
List Folder=text:$lists
Port=int:1

[SOFTWARE\\Orvane\\Nimbra\\Vexilo\\Folder List]
$lists=int:0

[SOFTWARE\\Orvane\\Nimbra\\Vexilo\\Ports]
COM1=text:$(escape "$port")
SETTINGS

echo "demo: nimbra-sim on $(cat "$demo/nimbra-sim.out" | sed -n 's/^port: //p'), settings in $VEXILO_SETTINGS"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "demo: starting the workbench in the service presentation; close it to end the demo"
  "$vexilo" /support
  echo "demo: the instrument's objects are written to $demo/instrument-state.nol"
  exit 0
fi

shot="$demo/vexilo-demo.png"
rm -f "$shot"
# No display: a virtual one, the window for a few seconds, then a picture of it.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" /support &
  app=$!
  sleep 4
  import -window root "$2"
  kill "$app"
  wait "$app" 2>/dev/null || true
' demo "$vexilo" "$shot"
[ -s "$shot" ] || { echo "demo: no screenshot was taken" >&2; exit 1; }
echo "$shot"
