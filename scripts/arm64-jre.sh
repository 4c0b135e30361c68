#!/usr/bin/env bash
# Makes, once, a Java runtime for 64-bit ARM Linux that runs on this machine under qemu-user
# (qemu-aarch64 -L /usr/aarch64-linux-gnu JAVA), and prints its java. It is Debian's
# openjdk-17-jre-headless for arm64, unpacked with the one library it needs that the aarch64
# cross toolchain's C library lacks (zlib); nothing of it is installed. The arm64 architecture
# is added to dpkg so that apt lists its packages.
# Usage: arm64-jre.sh [FOLDER]   (default /var/cache/tocmate/arm64-jre, or under ~/.cache
#                                 for a user other than root)
set -euo pipefail
if [ "$(id -u)" -eq 0 ]; then
  folder=${1:-/var/cache/tocmate/arm64-jre}
  sudo=()
else
  folder=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/tocmate/arm64-jre}
  sudo=(sudo)
fi
java_home=usr/lib/jvm/java-17-openjdk-arm64
if [ -x "$folder/$java_home/bin/java" ]; then
  echo "$folder/$java_home/bin/java"
  exit 0
fi

if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  "${sudo[@]}" dpkg --add-architecture arm64
  "${sudo[@]}" apt-get update -qq
elif ! apt-cache show openjdk-17-jre-headless:arm64 >/dev/null 2>&1; then
  "${sudo[@]}" apt-get update -qq
fi

# Made beside the folder and moved into place when whole, so that a run cut short leaves
# nothing that looks ready.
mkdir -p "$(dirname "$folder")"
work=$(mktemp -d "$folder.partial.XXXXXX")
trap 'rm -rf "$work"' EXIT
download() {
  (cd "$work" && apt-get download -qq -o APT::Sandbox::User="$(id -un)" \
    openjdk-17-jre-headless:arm64 zlib1g:arm64)
}
# Lists older than the archive name versions it no longer has.
download || { "${sudo[@]}" apt-get update -qq && download; }
for package in "$work"/*.deb; do dpkg-deb -x "$package" "$work/root"; done
# java finds zlib in its own lib/ folder, which its run path names.
cp -P "$work"/root/lib/aarch64-linux-gnu/libz.so.1* "$work/root/$java_home/lib/"
# The package's absolute links (its configuration in /etc) point into the folder instead.
find "$work/root" -type l -lname '/*' -print0 |
  while IFS= read -r -d '' link; do ln -sfn "$folder$(readlink "$link")" "$link"; done
mv -T "$work/root" "$folder"
echo "$folder/$java_home/bin/java"
