#!/usr/bin/env bash
# Prints the project's version as the build in FOLDER configured it (the jar is
# tocmate-<version>.jar). Usage: version.sh FOLDER
set -euo pipefail
sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
