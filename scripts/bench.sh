#!/usr/bin/env bash
# The transfer benchmark: builds in Release, runs fwupdate_km37 through whole
# transfers to the simulated analyzer (paced as the real line and unpaced),
# beside a bare system-call floor and a naive script, prints the table of
# medians and writes it into bench/RESULTS.md.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh --native >/dev/null
if ! command -v strace >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends strace >/dev/null
  else
    echo "bench: strace is needed to count write calls" >&2
    exit 1
  fi
fi
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKM37_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
python3 bench/run_bench.py --build "$build" --image variants/km37.bin --results bench/RESULTS.md "$@"
