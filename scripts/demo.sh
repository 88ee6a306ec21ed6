#!/usr/bin/env bash
# Builds the updater and runs fwupdate_km37 through a whole update of the
# simulated analyzer on a pseudo-terminal, as a technician would see it.
#   scripts/demo.sh          paced as the real 38,400-baud line (about 18 s)
#   scripts/demo.sh --fast   as fast as the pseudo-terminal goes
set -euo pipefail
cd "$(dirname "$0")/.."

pace=--pace
[ "${1:-}" = "--fast" ] && pace=

bash scripts/setup.sh --native >/dev/null
build=build-demo
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKM37_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

work=$(mktemp -d)
simulator_pid=
cleanup() {
  [ -n "$simulator_pid" ] && kill "$simulator_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$build/tools/simulated_analyzer" $pace --save "$work/received.bin" >"$work/analyzer.out" &
simulator_pid=$!
for _ in $(seq 100); do
  [ -s "$work/analyzer.out" ] && break
  sleep 0.05
done
device=$(head -n 1 "$work/analyzer.out")
echo "== simulated analyzer on $device; running: $build/fwupdate_km37 $device"

"$build/fwupdate_km37" "$device"
echo "== exit status $?"

wait "$simulator_pid" || true
simulator_pid=
echo "== the analyzer: $(grep '^summary:' "$work/analyzer.out" | sed 's/^summary: //')"
if cmp -s "$work/received.bin" variants/km37.bin; then
  echo "== the image it received equals variants/km37.bin"
else
  echo "== the image it received differs from variants/km37.bin" >&2
  exit 1
fi
