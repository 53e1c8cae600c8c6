#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every suite: the native tests (valgrind's
# memcheck among them), all of them again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the Windows build's tests and the end-to-end table under Wine, the dialogue fuzzer, and the
# formatting check. Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/packages.sh
ensure_packages cmake make g++ libgtest-dev libbenchmark-dev clang-format \
    g++-mingw-w64-x86-64 wine wine64 valgrind dpkg-dev lintian man-db icoutils

jobs=$(nproc)
step() { printf '\n=== %s\n' "$*"; }

# Wine keeps its state in a prefix of our own; its server runs for the whole script so that no
# test's process has to start it.
export WINEPREFIX="$root/build-win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine || command -v wine64)

step "Windows build (MinGW-w64)"
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build-win -j "$jobs"
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
"$wine" wineboot -i >/dev/null 2>&1 || true

step "native build and tests, with the end-to-end table also run under Wine"
cmake -S . -B build -DSORTDEMO_WINDOWS_EXE="$root/build-win/src/sortdemo.exe" >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

step "all tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORTDEMO_SANITIZE=ON \
    -DSORTDEMO_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure -j "$jobs")

step "the Windows build's unit tests under Wine and its version resource"
(cd build-win && ctest --output-on-failure)

step "the Windows package"
(cd build-win && cpack -G ZIP -B "$root/build-win/packages" >/dev/null)
listing=$(cmake -E tar tf build-win/packages/sortdemo-*-win64.zip)
echo "$listing"
grep -q 'sortdemo.exe' <<<"$listing" && grep -q 'README.md' <<<"$listing" &&
    grep -q 'LICENSE' <<<"$listing"

step "fuzzing the dialogue for ${SORTDEMO_FUZZ_SECONDS:-60} seconds"
bash scripts/fuzz.sh "${SORTDEMO_FUZZ_SECONDS:-60}"

step "formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "formatting clean"
