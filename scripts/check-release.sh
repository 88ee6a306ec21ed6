#!/usr/bin/env bash
# Checks the release archives: made twice from the same sources in separate
# build folders they are byte-identical, each holds exactly its files, and the
# Windows programs import only Windows' own DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-1309824000}
version=$(sed -nE 's/^project\(km37_firmware_updater VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
zip=fwupdate-km37-$version-windows-x64.zip
tgz=fwupdate-km37-$version-linux-x86_64.tar.gz
status=0
problem() { echo "release: $*" >&2; status=1; }

bash scripts/release.sh --out "$work/first" --build-prefix "$work/first-build" >/dev/null
bash scripts/release.sh --out "$work/second" --build-prefix "$work/second-build" >/dev/null

for archive in "$zip" "$tgz"; do
  if [ ! -f "$work/first/$archive" ]; then problem "$archive was not made"; continue; fi
  cmp -s "$work/first/$archive" "$work/second/$archive" || problem "$archive differs between two builds"
done

listing() { (cd "$work" && cmake -E tar tf "first/$1") | grep -v '/$' | sort; }
expected_zip="fwupdate-km37-$version-windows-x64/GUIDE.txt
fwupdate-km37-$version-windows-x64/fwupdate_km37.exe
fwupdate-km37-$version-windows-x64/fwupdate_km37b.exe"
expected_tgz="fwupdate-km37-$version-linux-x86_64/bin/fwupdate_km37
fwupdate-km37-$version-linux-x86_64/bin/fwupdate_km37b
fwupdate-km37-$version-linux-x86_64/share/doc/fwupdate-km37/GUIDE.txt"
[ "$(listing "$zip")" = "$expected_zip" ] || problem "$zip holds: $(listing "$zip" | tr '\n' ' ')"
[ "$(listing "$tgz")" = "$expected_tgz" ] || problem "$tgz holds: $(listing "$tgz" | tr '\n' ' ')"

mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "../first/$zip" && cmake -E tar xf "../first/$tgz")
for exe in "$work"/unpacked/fwupdate-km37-*-windows-x64/*.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -nE 's/.*DLL Name: (.*)/\1/p' | sort | tr '\n' ' ')
  for dll in $dlls; do
    case "$dll" in
      KERNEL32.dll|USER32.dll|msvcrt.dll|ADVAPI32.dll|ntdll.dll) ;;
      *) problem "$(basename "$exe") imports $dll" ;;
    esac
  done
done
guide=$work/unpacked/fwupdate-km37-$version-windows-x64/GUIDE.txt
[ "$(head -c 200 "$guide" | grep -c $'\r')" -gt 0 ] || problem "the Windows guide lacks Windows line ends"
cmp -s "$work/unpacked/fwupdate-km37-$version-linux-x86_64/share/doc/fwupdate-km37/GUIDE.txt" doc/GUIDE.txt \
  || problem "the native archive's guide is not doc/GUIDE.txt"
for program in fwupdate_km37 fwupdate_km37b; do
  [ -x "$work/unpacked/fwupdate-km37-$version-linux-x86_64/bin/$program" ] || problem "$program is not executable"
done

if [ "$status" -eq 0 ]; then echo "release: both archives reproducible, with exactly their files"; fi
exit "$status"
