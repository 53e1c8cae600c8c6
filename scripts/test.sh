#!/usr/bin/env bash
# Installs what the tests need, then builds and runs every suite: the native tests (valgrind's
# memcheck, the manual page, the lintian-checked .deb and rpmlint-checked .rpm, and the unit tests
# and end-to-end table under qemu-x86_64 as four older processors among them), all of them again
# under AddressSanitizer and UndefinedBehaviorSanitizer, the whole project built with clang++ and
# its unit, end-to-end and terminal tests, the 64-bit ARM build's unit tests, end-to-end table,
# .deb and .rpm under qemu, the Windows build's tests and the end-to-end table under Wine, the
# .zip, the release made twice and compared byte for byte with its source tarball built and
# tested outside git and its static programs run alone in an empty root, the dialogue fuzzer,
# the kernels' modelled speed (no spills), the benchmark chart drawn from a short run, the
# Markdown files' relative links, and the formatting check. Every build is a preset of
# CMakePresets.json. Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/packages.sh
ensure_packages cmake make g++ libgtest-dev libbenchmark-dev clang-format \
    g++-mingw-w64-x86-64 wine wine64 valgrind clang libclang-rt-14-dev g++-aarch64-linux-gnu \
    qemu-user dpkg-dev file lintian rpm rpmlint man-db icoutils llvm-14 diffoscope-minimal \
    gnuplot-nox jq libxml2-utils libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64

jobs=$(nproc)
step() { printf '\n=== %s\n' "$*"; }

# Wine keeps its state in a prefix of our own (the one the windows test preset names); its
# server runs for the whole script so that no test's process has to start it.
export WINEPREFIX="$root/build-win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine || command -v wine64)

step "Windows build (MinGW-w64)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
"$wine" wineboot -i >/dev/null 2>&1 || true

step "native build and tests, with the end-to-end table also run under Wine"
cmake --preset release -DSORTDEMO_WINDOWS_EXE="$root/build-win/src/sortdemo.exe" >/dev/null
cmake --build --preset release -j "$jobs"
ctest --preset release -j "$jobs"

step "all tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"

step "everything built with clang++, and its unit, end-to-end and terminal tests"
cmake --preset clang >/dev/null
cmake --build --preset clang -j "$jobs"
ctest --preset clang -j "$jobs"

step "the 64-bit ARM program, cross-built: unit tests, end-to-end table, .deb and .rpm, under qemu"
cmake --preset arm64 >/dev/null
cmake --build --preset arm64 -j "$jobs"
ctest --preset arm64

step "the Windows build's unit tests under Wine and its version resource"
ctest --preset windows

step "the Windows package"
cpack --preset windows >/dev/null
listing=$(cmake -E tar tf build-win/packages/sortdemo-*-win64.zip)
echo "$listing"
for file in sortdemo.exe README.txt LICENSE.txt; do
    grep -q "/$file\$" <<<"$listing"
done

step "the release made twice and compared byte for byte; its source tarball built and tested"
bash tests/release_test.sh

step "fuzzing the dialogue for ${SORTDEMO_FUZZ_SECONDS:-60} seconds"
bash scripts/fuzz.sh "${SORTDEMO_FUZZ_SECONDS:-60}"

step "each kernel's hot loop modelled by llvm-mca, as clang and as GCC compile it"
bash scripts/model.sh
bash scripts/model.sh --gcc

step "the benchmark chart drawn from a short run: a line for every kernel this machine runs"
bash tests/chart_test.sh

step "every relative link and image in the Markdown files resolves"
bash tests/markdown_links_test.sh

step "formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "formatting clean"
