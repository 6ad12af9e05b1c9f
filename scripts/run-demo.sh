#!/bin/sh
# The program's main job, end to end: an unattended download of the example
# firmware to the bundled reader simulator, as a production line runs it.
#   scripts/run-demo.sh [BUILD_DIR]      default build/default
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/default}
firmware=$root/examples/reader_v1.00.hex
work=$(mktemp -d)
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT

"$build/tools/reader-sim/corvant-reader-sim" --tcp 0 --once --dump "$work/reader.hex" \
    >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
for _ in $(seq 50); do
    grep -q 'listening on' "$work/sim.out" 2>/dev/null && break
    sleep 0.1
done
port=$(sed -n 's/^listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/sim.out")
[ -n "$port" ] || { echo "the simulator did not start" >&2; exit 1; }
echo "reader simulator listening on 127.0.0.1:$port"

# Its own settings folder, so the technician's settings stay untouched; no
# display needed.
export XDG_CONFIG_HOME="$work/config"
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
set +e
"$build/src/app/corvant-fwupdate" "port=127.0.0.1:$port" mode=auto "$firmware"
code=$?
set -e
wait "$sim_pid" || true

echo "corvant-fwupdate exit code: $code (1 = unattended download completed)"
echo "reader received $(grep -c '^message' "$work/sim.log") messages; its memory now:"
"$build/tools/hextool/corvant-hextool" info "$work/reader.hex" | sed 's/^/    /'
[ "$code" -eq 1 ]
