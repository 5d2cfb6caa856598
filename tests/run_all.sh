#!/bin/bash
# The whole test run in one command, from a bare Debian 12 machine:
#   1. installs the build and test tools that are missing (as root, with apt-get);
#   2. builds four variants, each in its own build directory:
#        build-i686      TARVOFTP.DLL for 32-bit Windows (layout checks, export table)
#        build-x64       TARVOFTP.DLL and the smoke program for 64-bit Windows
#        build-native    the module and its tests on the POSIX platform layer
#        build-sanitize  the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   3. makes the i386 Debian root with 32-bit Wine in which the i686 build runs
#      (tests/wine/i386_root.sh; where it cannot be made, the i686 runs are skipped with
#      the reason);
#   4. runs the native tests (with the export checks of both DLLs, the smoke program and
#      the ftpsh scenarios under Wine for both builds) and the sanitizer tests, and prints
#      their summaries.
# Exits non-zero when a build or a test fails.
#
# Settings (environment): TVFTP_BUILD_ROOT (where the build directories go; default the
# source tree), TVFTP_JOBS (parallel compile jobs, default 2), TVFTP_CTEST_JOBS (parallel
# tests, default 1).
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root=${TVFTP_BUILD_ROOT:-$source_dir}
jobs=${TVFTP_JOBS:-2}
ctest_jobs=${TVFTP_CTEST_JOBS:-1}

packages=(
    cmake make g++ python3
    libgtest-dev libgmock-dev googletest libbenchmark-dev curl
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
    wine64 wine debootstrap bubblewrap
    xvfb xauth libedit-dev
)

source "$source_dir/tests/install_packages.sh"

configure_and_build() {
    local name=$1
    shift
    local dir=$build_root/$name
    echo "== building $name"
    mkdir -p "$dir"
    cmake -S "$source_dir" -B "$dir" -G "Unix Makefiles" "$@" >"$dir/configure.log" 2>&1 || {
        cat "$dir/configure.log"
        echo "configuring $name failed" >&2
        return 1
    }
    cmake --build "$dir" -j "$jobs" || {
        echo "building $name failed" >&2
        return 1
    }
}

failed=()

run_tests() {
    local name=$1
    echo "== testing $name"
    (cd "$build_root/$name" && ctest --output-on-failure -j "$ctest_jobs") \
        2>&1 | tee "$build_root/$name/ctest.log" || failed+=("tests of $name")
}

install_missing_packages "${packages[@]}"
# The real FTP servers that the interoperability tests start on loopback, and their
# local account; with them in place a missing server fails the run instead of skipping.
if [ "$(id -u)" = 0 ]; then
    sh "$source_dir/servers/install-servers.sh"
    export TVFTP_REQUIRE_SERVERS=1
fi

configure_and_build build-i686 -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-i686-w64-mingw32.cmake"
configure_and_build build-x64 -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-x86_64-w64-mingw32.cmake"
bash "$source_dir/tests/wine/i386_root.sh" "$build_root/i386-root" || true
# The native build also compiles the benchmarks (bench/), so that they keep building; they
# are run by hand, never by ctest.
configure_and_build build-native -DTVFTP_BENCH=ON \
    -DTVFTP_WINDOWS_DLLS="$build_root/build-i686/TARVOFTP.DLL;$build_root/build-x64/TARVOFTP.DLL" \
    -DTVFTP_WINE_SMOKE="$build_root/build-x64/tests/wine/smoke.exe" \
    -DTVFTP_WINE_SMOKE32="$build_root/build-i686/tests/wine/smoke.exe" \
    -DTVFTP_WINE32_ROOT="$build_root/i386-root"
configure_and_build build-sanitize -DTVFTP_SANITIZE=ON

run_tests build-native
run_tests build-sanitize

echo
for name in build-native build-sanitize; do
    echo "== $name"
    grep -E 'tests passed|tests failed|Total Test time' "$build_root/$name/ctest.log" || true
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
