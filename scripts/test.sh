#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every suite: the native tests (valgrind's
# memcheck among them), all of them again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the whole project built with clang++ and its tests, the 64-bit ARM build's unit tests and
# end-to-end table under qemu, the Windows build's tests and the end-to-end table under Wine, the
# dialogue fuzzer, and the formatting check. Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/packages.sh
ensure_packages cmake make g++ libgtest-dev libbenchmark-dev clang-format \
    g++-mingw-w64-x86-64 wine wine64 valgrind clang libclang-rt-14-dev g++-aarch64-linux-gnu \
    qemu-user

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

step "everything built with clang++, and its unit, end-to-end and terminal tests"
cmake -S . -B build-clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-clang -j "$jobs"
(cd build-clang && ctest --output-on-failure -j "$jobs" -E 'memcheck|debian_package|differential')

step "the 64-bit ARM program, cross-built, its unit tests and the end-to-end table under qemu"
cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake >/dev/null
cmake --build build-arm64 -j "$jobs" --target sortdemo unit_tests end_to_end_test
(cd build-arm64 && ctest --output-on-failure -R '^(unit_tests|end_to_end)$')

step "the Windows build's unit tests under Wine"
(cd build-win && ctest --output-on-failure)

step "the Windows package"
(cd build-win && cpack -G ZIP -B "$root/build-win/packages" >/dev/null)
listing=$(cmake -E tar tf build-win/packages/sortdemo-*-win64.zip)
echo "$listing"
grep -q 'sortdemo.exe' <<<"$listing" && grep -q 'README.md' <<<"$listing"

step "fuzzing the dialogue for ${SORTDEMO_FUZZ_SECONDS:-60} seconds"
bash scripts/fuzz.sh "${SORTDEMO_FUZZ_SECONDS:-60}"

step "formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "formatting clean"
