#!/usr/bin/env bash
# Makes the .deb from a build folder (into BUILD_DIR/packages), checks it with lintian (any error,
# warning or hardening tag fails), checks its versioned dependencies, unpacks it into a scratch
# root, checks the installed tree and runs the installed program once.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "$*"
    exit 1
}
rm -f "$build"/packages/*.deb
(cd "$build" && cpack -G DEB -B "$build/packages" >/dev/null)
deb=$(ls "$build"/packages/*.deb)

echo "lintian --pedantic -I $(basename "$deb"):"
report=$(lintian --pedantic -I --fail-on error,warning "$deb") || fail "$report"
echo "${report:-(nothing)}"
! grep -q ': hardening-' <<<"$report" || fail "lintian reports missing hardening"

# dpkg must refuse the package where the C and C++ runtimes are too old for the binary.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6; do
    [[ ", $depends" == *", $library (>= "* ]] || fail "no versioned dependency on $library"
done

dpkg -x "$deb" "$scratch/root"
for file in usr/bin/sortdemo usr/share/man/man1/sortdemo.1.gz \
    usr/share/doc/sortdemo/{copyright,changelog.gz,README.md.gz}; do
    [ -f "$scratch/root/$file" ] || fail "the package lacks /$file"
done
version=$(dpkg-deb -f "$deb" Version)
latest=$(gzip -dc "$scratch/root/usr/share/doc/sortdemo/changelog.gz" | sed -n 1p)
[[ $latest == "sortdemo ($version) "* ]] || fail "changelog's latest entry is not $version: $latest"

output=$(printf '3 2 1 3' | "$scratch/root/usr/bin/sortdemo")
expected=$'Enter how many numbers to sort: Enter 3 numbers:\n\nSorted using Bubble Sort: 1 2 3 \nSorted using std::sort: 1 2 3 '
[ "$output" = "$expected" ] || fail "unexpected output from the installed program: $output"
echo "installed $(basename "$deb") into a scratch root and ran /usr/bin/sortdemo"
