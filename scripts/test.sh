#!/usr/bin/env bash
# Builds everything and runs every test:
#   1. the native programs and all tests, against the simulated analyzer;
#   2. the Windows programs, cross-built with mingw-w64, under wine (in step 1);
#   3. the same tests again with AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. the fuzz targets, each for a bounded time, keeping what they find in
#      tests/fuzz/corpus;
#   5. clang-tidy over the program's sources;
#   6. the release archives: reproducible, with exactly their files.
# Installs what a fresh Debian machine lacks when run as root.
#   FUZZ_SECONDS=N   time for each fuzz target (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-20}
status=0
passed_count=0
failed_count=0
step() { echo; echo "=== $*"; }
failed() { echo "=== FAILED: $*" >&2; status=1; }
# Runs ctest and adds its counts to the totals.
run_ctest() {
  local log
  log=$(mktemp)
  local result=0
  ctest "$@" 2>&1 | tee "$log" || result=1
  [ "${PIPESTATUS[0]}" -eq 0 ] || result=1
  local summary
  summary=$(grep -aE '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
  if [ -n "$summary" ]; then
    local failures total
    failures=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
    total=$(sed -E 's/.* tests failed out of ([0-9]+).*/\1/' <<<"$summary")
    passed_count=$((passed_count + total - failures))
    failed_count=$((failed_count + failures))
  else
    failed_count=$((failed_count + 1))
  fi
  return "$result"
}
# Counts one check that is not a ctest run.
count() { if [ "$1" -eq 0 ]; then passed_count=$((passed_count + 1)); else failed_count=$((failed_count + 1)); fi; }

bash scripts/setup.sh

# A fixed build date: the programs then show "Jul  5 2011", reproducibly.
export SOURCE_DATE_EPOCH=1309824000

step "Windows programs (mingw-w64)"
windows_programs=
if command -v x86_64-w64-mingw32-g++ >/dev/null; then
  cmake -S . -B build-test-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
  cmake --build build-test-windows -j"$jobs"
  windows_programs=$top/build-test-windows
else
  echo "test: no mingw-w64 here: the Windows programs are not built or tried" >&2
fi

step "native programs and every test"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DKM37_WINDOWS_PROGRAMS="$windows_programs"
cmake --build build-test -j"$jobs"
run_ctest --test-dir build-test --output-on-failure -j"$jobs" || failed "tests"

step "every native test under AddressSanitizer and UndefinedBehaviorSanitizer"
sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B build-test-sanitized -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build build-test-sanitized -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest --test-dir build-test-sanitized --output-on-failure -j"$jobs" || failed "tests under sanitizers"

step "fuzz targets, ${fuzz_seconds} s each"
CC=clang CXX=clang++ cmake -S . -B build-test-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKM37_FUZZ=ON \
  -DKM37_BUILD_TESTS=OFF
cmake --build build-test-fuzz -j"$jobs" --target fuzz_argument_conversion fuzz_answer_conversion fuzz_answer_reader
for target in argument_conversion answer_conversion answer_reader; do
  mkdir -p "tests/fuzz/corpus/$target"
  if build-test-fuzz/tests/fuzz/fuzz_$target -max_total_time="$fuzz_seconds" -print_final_stats=1 \
      "tests/fuzz/corpus/$target" > "build-test-fuzz/$target.log" 2>&1; then
    echo "fuzz_$target: $(grep -E '^stat::number_of_executed_units' "build-test-fuzz/$target.log" | awk '{print $2}') runs, no failure"
    count 0
  else
    tail -n 30 "build-test-fuzz/$target.log" >&2
    failed "fuzz_$target"
    count 1
  fi
done

step "clang-tidy"
if clang-tidy -p build-test --quiet $(git ls-files 'src/*.cpp' 'tools/*.cpp' 'variants/*.cpp' | grep -v win32) \
    > build-test/clang-tidy.log 2>&1; then
  echo "clang-tidy: clean"
  count 0
else
  count 1
  grep -E 'warning:|error:' build-test/clang-tidy.log >&2 || tail -n 20 build-test/clang-tidy.log >&2
  failed "clang-tidy"
fi

step "release archives"
if [ -n "$windows_programs" ]; then
  if bash scripts/check-release.sh; then count 0; else failed "release archives"; count 1; fi
else
  echo "test: no mingw-w64 here: the release archives are not made" >&2
fi

# No test may leave an updater, a simulated analyzer or a wine server running
# (a wine server takes a moment to go after it is told to).
left_behind() { pgrep -a -f "$top/build-test[a-z-]*/|wineserver" | grep -v pgrep; }
for _ in $(seq 50); do
  left_behind >/dev/null || break
  sleep 0.2
done
if left_behind >&2; then
  failed "the processes above were left behind"
  count 1
fi

echo
echo "total: $passed_count passed, $failed_count failed"
exit "$status"
