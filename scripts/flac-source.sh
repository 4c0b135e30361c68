#!/usr/bin/env bash
# Fetches, once, the sources of Debian's flac package (libFLAC, which the library links
# statically) for the Debian release of this machine, unpacked with Debian's patches, and
# prints their folder. apt-get source reads a list of source packages of its own, kept beside
# them: nothing of apt's configuration here is changed. Our build compiles libFLAC from them
# (cmake/Flac.cmake); nothing of them is kept in the repository.
# Usage: flac-source.sh [FOLDER]   (default /var/cache/tocmate/flac-source, or under ~/.cache
#                                   for a user other than root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "$(id -u)" -eq 0 ]; then
  folder=${1:-/var/cache/tocmate/flac-source}
else
  folder=${1:-${XDG_CACHE_HOME:-$HOME/.cache}/tocmate/flac-source}
fi
mkdir -p "$(dirname "$folder")"
# Builds configured at the same time (each platform's) wait for the one fetching.
exec 9>"$folder.lock"
flock 9
if [ -f "$folder/made" ]; then
  echo "$folder/$(cat "$folder/made")"
  exit 0
fi

source "$here/../tests/debian_archive.sh"
read -r archive keyring < <(debian_archive)
[ -n "${archive:-}" ] || { echo "flac-source.sh: no Debian archive in apt's sources" >&2; exit 1; }
release=$(. /etc/os-release && echo "$VERSION_CODENAME")

# Made beside the folder and moved into place when whole, so that a run cut short leaves
# nothing that looks ready.
work=$(mktemp -d "$folder.partial.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/source"
echo "deb-src ${keyring:+[signed-by=$keyring] }$archive $release main" >"$work/sources.list"
apt=(-qq -o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
  -o "APT::Sandbox::User=$(id -un)")
# (Their reports go to standard error: standard output is the folder's name.)
apt-get "${apt[@]}" update >&2
(cd "$work/source" && apt-get "${apt[@]}" source flac >&2)
unpacked=$(cd "$work/source" && echo flac-*/)
unpacked=${unpacked%/}
[ -f "$work/source/$unpacked/src/libFLAC/stream_encoder.c" ] ||
  { echo "flac-source.sh: no libFLAC in Debian's flac sources" >&2; exit 1; }
echo "$unpacked" >"$work/source/made"
rm -rf "$folder"
mv -T "$work/source" "$folder"
echo "$folder/$unpacked"
