#!/usr/bin/env bash
# Builds everything and runs every test: the native programs against the
# simulated analyzer, and the Windows programs, cross-built with mingw-w64,
# under wine. Installs what a fresh Debian machine lacks when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

bash scripts/setup.sh

# A fixed build date: the programs then show "Jul  5 2011", reproducibly.
export SOURCE_DATE_EPOCH=1309824000
build=build-test
windows_build=build-test-windows

windows_programs=
if command -v x86_64-w64-mingw32-g++ >/dev/null; then
  cmake -S . -B "$windows_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
  cmake --build "$windows_build" -j"$(nproc)"
  windows_programs=$top/$windows_build
else
  echo "test: no mingw-w64 here: the Windows programs are not built or tried" >&2
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM37_BUILD_TESTS=ON \
  -DKM37_WINDOWS_PROGRAMS="$windows_programs"
cmake --build "$build" -j"$(nproc)"
status=0
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" || status=$?

# No test may leave an updater, a simulated analyzer or a wine server running
# (a wine server takes a moment to go after it is told to).
left_behind() { pgrep -a -f "$top/($build|$windows_build)/|wineserver" | grep -v pgrep; }
for _ in $(seq 50); do
  left_behind >/dev/null || break
  sleep 0.2
done
if left_behind >&2; then
  echo "test: the processes above were left behind" >&2
  status=1
fi
exit "$status"
