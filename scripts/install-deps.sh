#!/usr/bin/env bash
# Installs with apt-get the Debian packages that building the library and the jar need,
# and those given, where this machine lacks them. Usage: install-deps.sh [EXTRA-PACKAGE...]
set -euo pipefail
# (dpkg-dev: apt-get source unpacks the flac sources that libFLAC is built from with it.)
packages=(cmake make g++ binutils openjdk-17-jdk-headless dpkg-dev "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing ${missing[*]}" >&2
"${sudo[@]}" apt-get update -qq
# (Its report goes to standard error: standard output is the caller's.)
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
