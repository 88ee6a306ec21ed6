#!/usr/bin/env bash
# Installs what building and testing the updater need on a Debian machine,
# as far as it is missing, and makes the locales the language tests use.
# Needs root to install; without root it says what is missing, and goes on
# without the Windows tools (the Windows programs are then neither built nor
# tried).
#   scripts/setup.sh            everything
#   scripts/setup.sh --native   only what the native programs and tests need
set -euo pipefail

native_packages=(cmake make g++ libgtest-dev libgmock-dev locales clang libclang-rt-14-dev clang-tidy python3)
windows_packages=(g++-mingw-w64-x86-64 wine wine64)
locales=(ru_RU.UTF-8 ru_RU.KOI8-R ja_JP.UTF-8 de_DE.UTF-8)

packages=("${native_packages[@]}")
[ "${1:-}" = "--native" ] || packages+=("${windows_packages[@]}")

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
is_root() { [ "$(id -u)" -eq 0 ]; }

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ]; then
  if is_root; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  else
    for package in "${native_packages[@]}"; do
      if ! installed "$package"; then
        echo "setup: not root; install these first: ${missing[*]}" >&2
        exit 1
      fi
    done
    echo "setup: not root, so the Windows programs are not built or tried; to have them, install: ${missing[*]}" >&2
  fi
fi

# locale -a lists "ru_RU.utf8" for ru_RU.UTF-8 and "ru_RU.koi8r" for ru_RU.KOI8-R.
normalized() { echo "$1" | tr '[:upper:]' '[:lower:]' | sed 's/-//g'; }
have_locales=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | sed 's/-//g')
for name in "${locales[@]}"; do
  if ! grep -qx "$(normalized "$name")" <<<"$have_locales"; then
    if is_root; then
      echo "setup: making locale $name"
      localedef -i "${name%%.*}" -f "${name#*.}" "$name"
    else
      echo "setup: locale $name is missing (make it as root: localedef -i ${name%%.*} -f ${name#*.} $name)" >&2
    fi
  fi
done
