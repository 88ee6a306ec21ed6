#!/usr/bin/env bash
# Makes the release archives from the sources, with CPack:
#   dist/fwupdate-km37-<version>-windows-x64.zip      the two .exe files and the guide
#   dist/fwupdate-km37-<version>-linux-x86_64.tar.gz  the two native programs and the guide
# The same sources and SOURCE_DATE_EPOCH give the same archives byte for byte;
# SOURCE_DATE_EPOCH defaults to the time of the last commit.
#   scripts/release.sh [--out DIR] [--build-prefix PREFIX]
set -euo pipefail
cd "$(dirname "$0")/.."

out=dist
prefix=build-release
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out=$2; shift 2 ;;
    --build-prefix) prefix=$2; shift 2 ;;
    *) echo "usage: scripts/release.sh [--out DIR] [--build-prefix PREFIX]" >&2; exit 2 ;;
  esac
done

bash scripts/setup.sh >/dev/null
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
fi
export SOURCE_DATE_EPOCH

mkdir -p "$out"
cmake -S . -B "$prefix-native" -DCMAKE_BUILD_TYPE=Release -DKM37_BUILD_TESTS=OFF >/dev/null
cmake --build "$prefix-native" -j"$(nproc)" >/dev/null
cmake -S . -B "$prefix-windows" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$prefix-windows" -j"$(nproc)" >/dev/null 2>&1
for build in "$prefix-native" "$prefix-windows"; do
  rm -rf "$build/release"
  (cd "$build" && cpack >/dev/null)
  cp "$build"/release/fwupdate-km37-* "$out"/
done
ls -1 "$out"/fwupdate-km37-*
