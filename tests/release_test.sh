#!/usr/bin/env bash
# The release rebuilds byte for byte, and its source tarball builds on its own. Makes the release
# twice: from this checkout (dated by its last commit) at umask 022, UTC and the C locale; then
# from the first run's tarball, unpacked in another folder outside any git checkout, at umask 002,
# in another time zone and locale, as another user name and home, with its temporary folders on
# another file system where there is one. Every file must be the same (diffoscope shows what
# differs). Both .debs (amd64, arm64) must pass lintian and both .rpms rpmlint, the tarball must
# hold the tracked files alone, and the unpacked tarball must configure, build and pass its tests
# but the ones that make packages; a .deb of that build must install the same bytes as the
# release's amd64 one. The static programs' tarballs are checked with that build's end-to-end
# table (tarball_test.sh). Git is kept out of reach of the second run and of that build: a fake
# one logs every call.
#   tests/release_test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages diffoscope-minimal lintian rpmlint qemu-user libgtest-dev libbenchmark-dev man-db
fail() {
    echo "$*"
    exit 1
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
version=$(sed -n 's/^project(sortdemo VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
name=sortdemo-$version

mkdir -p "$scratch/one/tmp"
(umask 022 && env -u SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C TMPDIR="$scratch/one/tmp" \
    bash scripts/release.sh "$scratch/one/dist")

# The second run's temporary folders go to a tmpfs when the first's were not on one, and to disk
# when they were: directory order and sizes differ between the two.
tmp=$scratch/two/tmp
other=/dev/shm
[ "$(stat -f -c %T "$scratch")" != tmpfs ] || other=/var/tmp
if [ -w "$other" ] && [ "$(stat -f -c %T "$other")" != "$(stat -f -c %T "$scratch")" ]; then
    tmp=$(mktemp -d -p "$other")
    trap 'rm -rf "$scratch" "$tmp"' EXIT
fi
mkdir -p "$tmp" "$scratch/two/home" "$scratch/two/some/where" "$scratch/nogit"
cat >"$scratch/nogit/git" <<EOF
#!/bin/sh
echo "\$*" >>"$scratch/git-calls"
exit 128
EOF
chmod +x "$scratch/nogit/git"
: >"$scratch/git-calls"
tree=$scratch/two/some/where/$name
(
    umask 002
    tar --no-same-permissions -xzf "$scratch/one/dist/$name.tar.gz" -C "${tree%/*}"
    cd "$tree"
    env -u SOURCE_DATE_EPOCH -u LC_ALL TZ=Pacific/Chatham LANG=C.UTF-8 USER=builder \
        LOGNAME=builder HOME="$scratch/two/home" TMPDIR="$tmp" PATH="$scratch/nogit:$PATH" \
        bash scripts/release.sh
)

echo "run 1 (this checkout) and run 2 (its tarball, elsewhere):"
join -j 2 -o 1.1,2.1,0 <(sort -k 2 "$scratch/one/dist/SHA256SUMS") \
    <(sort -k 2 "$tree/dist/SHA256SUMS")
(cd "$tree/dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
[ "$(ls "$scratch/one/dist")" = "$(ls "$tree/dist")" ] || fail "the two runs made different files"
if ! cmp -s "$scratch/one/dist/SHA256SUMS" "$tree/dist/SHA256SUMS"; then
    for file in "$scratch"/one/dist/sortdemo*; do
        cmp -s "$file" "$tree/dist/${file##*/}" ||
            diffoscope --text - --max-report-size 200000 --max-page-size 200000 "$file" \
                "$tree/dist/${file##*/}" || true
    done
    fail "the two runs differ (diffoscope's report above)"
fi
echo "the two runs made the same bytes"

for architecture in amd64 arm64; do
    report=$(lintian --pedantic -I --fail-on error,warning \
        "$tree/dist/sortdemo_${version}_$architecture.deb") || fail "$report"
    echo "lintian --pedantic -I on the $architecture .deb: ${report:-(nothing)}"
done
for rpm in "$tree"/dist/*.rpm; do
    report=$(rpmlint -c doc/rpmlint.toml "$rpm") || fail "$report"
    echo "rpmlint on ${rpm##*/}:"
    grep ': [EW]: ' <<<"$report" || echo "(nothing)"
done
deb=sortdemo_${version}_amd64.deb

# The .zip as a Windows user gets it: one folder with sortdemo.exe, the users' README as
# README.txt and the licence as LICENSE.txt, both with CR LF line ends, which Notepad opens.
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$tree/dist/$name-win64.zip")
listing=$(cd "$scratch/zip" && find . -type f | sort | tr '\n' ' ')
expected="./$name-win64/LICENSE.txt ./$name-win64/README.txt ./$name-win64/sortdemo.exe "
[ "$listing" = "$expected" ] || fail "the .zip holds $listing, not $expected"
for text in README.txt LICENSE.txt; do
    ! grep -qv $'\r$' "$scratch/zip/$name-win64/$text" || fail "$text has a line end without CR"
done
[ "$(sed -n 1p "$scratch/zip/$name-win64/README.txt")" = "sortdemo $version"$'\r' ] ||
    fail "README.txt is not the users' README"
echo "the .zip: $listing(with CR LF)"

listing=$(tar -tzf "$scratch/one/dist/$name.tar.gz" | grep -v '/$' | sort)
expected=$( (git ls-files && echo SOURCE_DATE_EPOCH) | sed "s|^|$name/|" | sort)
[ "$listing" = "$expected" ] || fail "the tarball holds other files than the tracked ones:" \
    "$(diff <(echo "$expected") <(echo "$listing"))"

echo "building the unpacked tarball with its tests"
(
    cd "$tree"
    export PATH="$scratch/nogit:$PATH"
    jobs=$(nproc)
    cmake -S . -B build >/dev/null
    cmake --build build -j "$jobs" >/dev/null
    ctest --test-dir build -j "$jobs" -E '_package$' --output-on-failure \
        >"$scratch/ctest" || fail "$(cat "$scratch/ctest")"
    grep 'tests passed' "$scratch/ctest"
    # That build has the tests and benchmarks the release leaves out: its .deb installs the same.
    SOURCE_DATE_EPOCH=$(<SOURCE_DATE_EPOCH) cpack --config build/CPackConfig.cmake -G DEB \
        -B "$scratch/full" >"$scratch/cpack" 2>&1 || fail "$(cat "$scratch/cpack")"
    cmp <(ar p "$scratch"/full/*.deb data.tar.gz) <(ar p "dist/$deb" data.tar.gz) ||
        fail "the .deb of a build with the tests installs other files than the release's"
    for tarball in "dist/$name"-linux-*.tar.gz; do
        bash tests/tarball_test.sh "$tarball" build/tests/end_to_end_test
    done
)
calls=$(grep -v '^rev-parse --show-toplevel$' "$scratch/git-calls") || true
[ -z "$calls" ] || fail "the build from the tarball ran git: $calls"
