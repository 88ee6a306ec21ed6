#!/usr/bin/env bash
# Captures the programs' screens again into doc/GUIDE.txt, from the programs
# themselves running against the simulated analyzer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --native >/dev/null
cmake -S . -B build-guide -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-guide -j"$(nproc)" --target program_tests >/dev/null
KM37_UPDATE_GUIDE=1 build-guide/tests/program_tests --gtest_filter='Guide.*' >/dev/null
echo "doc/GUIDE.txt: screens captured again"
