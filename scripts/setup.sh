#!/usr/bin/env bash
# Installs what building and testing the updater need on a Debian machine,
# as far as it is missing, and makes the locales the language tests use.
# Needs root to install; without root it only says what is missing.
set -euo pipefail

packages=(cmake make g++ libgtest-dev libgmock-dev locales)
locales=(ru_RU.UTF-8 ru_RU.KOI8-R ja_JP.UTF-8 de_DE.UTF-8)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else return 1; fi
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! as_root true; then
    echo "setup: not root; install these first: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# locale -a lists "ru_RU.utf8" for ru_RU.UTF-8 and "ru_RU.koi8r" for ru_RU.KOI8-R.
normalized() { echo "$1" | tr '[:upper:]' '[:lower:]' | sed 's/-//g'; }
have_locales=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]' | sed 's/-//g')
for name in "${locales[@]}"; do
  if ! grep -qx "$(normalized "$name")" <<<"$have_locales"; then
    if as_root true; then
      echo "setup: making locale $name"
      localedef -i "${name%%.*}" -f "${name#*.}" "$name"
    else
      echo "setup: locale $name is missing (make it as root: localedef -i ${name%%.*} -f ${name#*.} $name)" >&2
    fi
  fi
done
