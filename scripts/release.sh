#!/usr/bin/env bash
# Builds the release into build-release/ (or FOLDER): tocmate-<version>.jar with every
# platform's library, and beside it pom.xml, the sources jar and the Javadoc jar. Installs
# the cross compilers first.
# Usage: release.sh [FOLDER [CMAKE-ARGUMENT...]]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
folder=${1:-build-release}
shift || true
"$here/install-deps.sh" g++-mingw-w64-x86-64-posix g++-aarch64-linux-gnu
cd "$here/.."
"$here/build.sh" "$folder" -DTOCMATE_RELEASE=ON -DBUILD_TESTING=OFF "$@" -- release >/dev/null
version=$("$here/version.sh" "$folder")
ls -1 "$folder/tocmate-$version.jar" "$folder/tocmate-$version-sources.jar" \
  "$folder/tocmate-$version-javadoc.jar" "$folder/pom.xml"
