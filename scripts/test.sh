#!/usr/bin/env bash
# Builds everything and runs every test:
#   build/          the release (as scripts/release.sh makes it: the jar with every
#                   platform's library, pom.xml, sources and Javadoc jars) and the tests of
#                   the Linux library and the jar: unit tests, valgrind's memcheck, the JVM,
#                   jar, load, release and install tests, the jar on Debian 11 (a root
#                   made once, kept in /var/cache/tocmate/), and the jar in a Debian 13
#                   guest under QEMU whose CD drive CDEmu emulates (made once, kept there too)
#   build-asan/     AddressSanitizer and UndefinedBehaviorSanitizer: the unit and concurrency
#                   tests, and each fuzz target for a minute
#   build-tsan/     ThreadSanitizer: the concurrency tests
#   build-windows/  Tocmate.dll, the jar's copy of it and the unit tests under Wine
#   build-aarch64/  libTocmate.so for 64-bit ARM and the unit tests under qemu-aarch64; the
#                   jar in an arm64 Java runtime under qemu (made once by arm64-jre.sh, kept
#                   in /var/cache/tocmate/)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-deps.sh" libgtest-dev valgrind clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix \
  wine wine64 python3 locales debootstrap g++-aarch64-linux-gnu qemu-user qemu-system-x86 \
  libdiscid-dev pkg-config whipper cdparanoia flac
arm64_java=$("$here/arm64-jre.sh")
cd "$here/.."
clang=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOCMATE_JVM_TESTS=OFF
  -DTOCMATE_CROSS_BUILDS=OFF)
# The release's settings; building the tests builds its artifacts (target release) too.
"$here/build.sh" build -DTOCMATE_RELEASE=ON
"$here/build.sh" build-asan "${clang[@]}" -DTOCMATE_SANITIZE=address,undefined -DTOCMATE_FUZZ=ON
"$here/build.sh" build-tsan "${clang[@]}" -DTOCMATE_SANITIZE=thread -- concurrency_tests
version=$("$here/version.sh" build)
"$here/build-windows.sh" -DTOCMATE_JAR="$PWD/build/tocmate-$version.jar"
"$here/build-aarch64.sh" -DTOCMATE_JAR="$PWD/build/tocmate-$version.jar" \
  -DTOCMATE_ARM64_JAVA="$arm64_java"

status=0
run() { (cd "$1" && shift && ctest --output-on-failure "$@") || status=1; }
run build -j "$(nproc)"
run build-asan -j "$(nproc)"
run build-tsan -R '^Concurrency\.'
run build-windows
run build-aarch64 -j "$(nproc)"
exit $status
