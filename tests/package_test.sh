#!/usr/bin/env bash
# Makes the .deb from a build folder (into BUILD_DIR/packages), checks it with lintian (any error,
# warning or hardening tag fails), its architecture against its program's and its versioned
# dependencies, unpacks it into a scratch root, checks the installed tree and runs the end-to-end
# table against the installed program. A cross build's table runs under the emulator named by
# SORTDEMO_RUNNER (qemu-aarch64), with the runtime libraries of Debian's packages for that
# architecture where dpkg installs them, as on a machine of its own.
#   package_test.sh BUILD_DIR END_TO_END_TEST
set -euo pipefail
build=$1 end_to_end=$2
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

# dpkg must refuse the package where the C and C++ runtimes are too old for the binary. The
# names are those of the package's own architecture, unqualified, as in Debian's packages.
architecture=$(dpkg-deb -f "$deb" Architecture)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Architecture: $architecture"
echo "Depends: $depends"
for library in libc6 libgcc-s1 libstdc++6; do
    [[ ", $depends" == *", $library (>= "* ]] || fail "no versioned dependency on $library"
done
[[ $depends != *:* ]] || fail "a dependency names an architecture: $depends"

dpkg -x "$deb" "$scratch/root"
case $(file -b "$scratch/root/usr/bin/sortdemo") in
*", x86-64, "*) machine=amd64 ;;
*", ARM aarch64, "*) machine=arm64 ;;
*) machine=unknown ;;
esac
[ "$architecture" = "$machine" ] || fail "a package for $architecture holds a program for $machine"
for file in usr/bin/sortdemo usr/share/man/man1/sortdemo.1.gz \
    usr/share/doc/sortdemo/{copyright,changelog.gz,README.md.gz}; do
    [ -f "$scratch/root/$file" ] || fail "the package lacks /$file"
done
version=$(dpkg-deb -f "$deb" Version)
latest=$(gzip -dc "$scratch/root/usr/share/doc/sortdemo/changelog.gz" | sed -n 1p)
[[ $latest == "sortdemo ($version) "* ]] || fail "changelog's latest entry is not $version: $latest"

# Without QEMU_LD_PREFIX the emulator takes the libraries from / rather than the cross
# toolchain's folder: those of the packages the Depends line names.
runner=()
[ -z "${SORTDEMO_RUNNER:-}" ] || runner=("$SORTDEMO_RUNNER")
SORTDEMO_PROGRAM=$scratch/root/usr/bin/sortdemo env -u QEMU_LD_PREFIX "${runner[@]}" \
    "$end_to_end" --gtest_brief=1 >"$scratch/end_to_end" 2>&1 || fail "$(cat "$scratch/end_to_end")"
passed=$(grep '^\[  PASSED  \]' "$scratch/end_to_end")
echo "installed $(basename "$deb") into a scratch root; the end-to-end table against" \
    "/usr/bin/sortdemo${runner:+ under ${runner##*/}} passed ${passed#*] }"
