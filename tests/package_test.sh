#!/usr/bin/env bash
# Makes the .deb from a build folder, unpacks it into a scratch root and runs the installed
# program once.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$build" && cpack -G DEB -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/*.deb)
info=$(dpkg-deb -I "$deb")
grep -q 'Package: sortdemo' <<<"$info"
dpkg -x "$deb" "$scratch/root"
output=$(printf '3 2 1 3' | "$scratch/root/usr/bin/sortdemo")
expected=$'Enter how many numbers to sort: Enter 3 numbers:\n\nSorted using Bubble Sort: 1 2 3 \nSorted using std::sort: 1 2 3 '
if [ "$output" != "$expected" ]; then
    echo "unexpected output from the installed program:"
    printf '%s\n' "$output"
    exit 1
fi
echo "installed $(basename "$deb") into a scratch root and ran /usr/bin/sortdemo"
