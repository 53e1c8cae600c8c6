#!/usr/bin/env bash
# Checks a static program's tarball (sortdemo-VERSION-linux-ARCH.tar.gz): one folder of its own
# name holding the program, its manual page, the users' README (every link in it a full address)
# and the licence; the program for ARCH,
# static, position-independent, with read-only relocations bound at start-up, and stripped. Then
# copies the program alone into an empty folder and runs the end-to-end table against it there:
# natively with that folder as the root directory (chroot as root, a user namespace otherwise),
# under qemu-aarch64 with no library prefix for ARM.
#   tarball_test.sh TARBALL END_TO_END_TEST
set -euo pipefail
tarball=$1 end_to_end=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "$*"
    exit 1
}
folder=$(basename "$tarball" .tar.gz)
listing=$(tar -tzf "$tarball" | grep -v '/$' | sort | tr '\n' ' ')
expected="$folder/LICENSE $folder/README.md $folder/sortdemo $folder/sortdemo.1 "
[ "$listing" = "$expected" ] || fail "the tarball holds $listing, not $expected"
tar -xzf "$tarball" -C "$scratch"
program=$scratch/$folder/sortdemo
version=${folder#sortdemo-}
[ "$(sed -n 1p "$scratch/$folder/README.md")" = "sortdemo ${version%%-*}" ] ||
    fail "the README is not the users' README of ${version%%-*}"
! links=$(grep -oP '\]\(\K[^)]*' "$scratch/$folder/README.md" | grep -v '^[a-z]*:') ||
    fail "the README links to what the tarball lacks: $links"

description=$(file -b "$program")
echo "$description"
case $description in
*", x86-64, "*) machine=x86_64 runner=$scratch/in-root ;;
*", ARM aarch64, "*) machine=aarch64 runner=$(command -v qemu-aarch64) ;;
*) machine=unknown ;;
esac
[ "${folder##*-}" = "$machine" ] || fail "a tarball for ${folder##*-} holds a program for $machine"
[[ $description == *"static-pie linked"*", stripped" ]] || fail "not a stripped static PIE"
headers=$(readelf -hld "$program")
for header in 'Type: *DYN' GNU_RELRO '(FLAGS) *BIND_NOW'; do
    grep -q "$header" <<<"$headers" || fail "the program lacks $header"
done
for header in INTERP '(NEEDED)'; do
    ! grep -q "$header" <<<"$headers" || fail "the program asks for $header"
done

cat >"$scratch/in-root" <<'EOF'
#!/bin/sh
# Runs PROGRAM with its own folder as the root directory.
root=${1%/*} program=/${1##*/}
shift
[ "$(id -u)" -eq 0 ] || exec unshare --map-root-user --root="$root" "$program" "$@"
exec chroot "$root" "$program" "$@"
EOF
chmod +x "$scratch/in-root"
mkdir "$scratch/empty"
cp "$program" "$scratch/empty/"
SORTDEMO_PROGRAM=$scratch/empty/sortdemo SORTDEMO_RUNNER=$runner env -u QEMU_LD_PREFIX \
    "$end_to_end" --gtest_brief=1 >"$scratch/end_to_end" 2>&1 || fail "$(cat "$scratch/end_to_end")"
passed=$(grep '^\[  PASSED  \]' "$scratch/end_to_end")
echo "$folder/sortdemo alone in an empty folder, run by ${runner##*/}: the end-to-end table" \
    "passed ${passed#*] }"
