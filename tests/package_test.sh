#!/usr/bin/env bash
# Makes the .deb or the .rpm from a build folder (into BUILD_DIR/packages) and checks it: lintian
# (any error, warning or hardening tag fails) or rpmlint (any error fails), its architecture
# against its program's, its versioned dependencies on the C and C++ runtimes and its changelog.
# Then installs it into a scratch root (dpkg -x; rpm into an rpm database of its own), checks the
# installed tree and runs the end-to-end table against the installed program. A cross build's
# table runs under the emulator named by SORTDEMO_RUNNER (qemu-aarch64), with the runtime
# libraries of Debian's packages for that architecture where dpkg installs them, as on a machine
# of its own.
#   package_test.sh BUILD_DIR END_TO_END_TEST [DEB|RPM]
set -euo pipefail
build=$1 end_to_end=$2 generator=${3:-DEB}
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
    echo "$*"
    exit 1
}
extension=$(tr '[:upper:]' '[:lower:]' <<<"$generator")
homepage=$(sed -n 's/^ *HOMEPAGE_URL "\(.*\)")$/\1/p' "$root/CMakeLists.txt")
rm -f "$build"/packages/*."$extension"
(cd "$build" && cpack -G "$generator" -B "$build/packages" >/dev/null)
package=$(ls "$build"/packages/*."$extension")
installed=$scratch/root

if [ "$generator" = DEB ]; then
    echo "lintian --pedantic -I $(basename "$package"):"
    report=$(lintian --pedantic -I --fail-on error,warning "$package") || fail "$report"
    echo "${report:-(nothing)}"
    ! grep -q ': hardening-' <<<"$report" || fail "lintian reports missing hardening"

    # dpkg must refuse the package where the C and C++ runtimes are too old for the binary. The
    # names are those of the package's own architecture, unqualified, as in Debian's packages.
    architecture=$(dpkg-deb -f "$package" Architecture)
    depends=$(dpkg-deb -f "$package" Depends)
    echo "Architecture: $architecture"
    echo "Depends: $depends"
    for library in libc6 libgcc-s1 libstdc++6; do
        [[ ", $depends" == *", $library (>= "* ]] || fail "no versioned dependency on $library"
    done
    [[ $depends != *:* ]] || fail "a dependency names an architecture: $depends"
    architecture=$(dpkg-architecture -a "$architecture" -q DEB_HOST_GNU_CPU 2>/dev/null)

    dpkg -x "$package" "$installed"
    files=(usr/share/doc/sortdemo/{copyright,changelog.gz,README.md.gz}
        usr/share/lintian/overrides/sortdemo)
    version=$(dpkg-deb -f "$package" Version)
    readme=$(gzip -dc "$installed/usr/share/doc/sortdemo/README.md.gz")
    [ "$(dpkg-deb -f "$package" Homepage)" = "$homepage" ] ||
        fail "the Homepage is not $homepage: $(dpkg-deb -f "$package" Homepage)"
    latest=$(gzip -dc "$installed/usr/share/doc/sortdemo/changelog.gz" | sed -n 1p)
    [[ $latest == "sortdemo ($version) "* ]] || fail "changelog's latest entry is not $version: $latest"
else
    echo "rpmlint $(basename "$package"):"
    report=$(rpmlint -c "$root/doc/rpmlint.toml" "$package") || fail "$report"
    grep ': [EW]: ' <<<"$report" || echo "(nothing)"

    # The dependencies rpm's generator read from the program: each runtime by its soname and
    # with the symbol versions the program uses.
    architecture=$(rpm -qp --qf '%{ARCH}' "$package")
    requires=$(rpm -qp --requires "$package" | grep -v '^rpmlib(' | sort)
    echo "Architecture: $architecture"
    echo "Requires: ${requires//$'\n'/, }"
    for version in 'libc\.so\.6(GLIBC_' 'libgcc_s\.so\.1(GCC_' 'libstdc++\.so\.6(GLIBCXX_'; do
        grep -q "^$version" <<<"$requires" || fail "no versioned dependency on ${version%%\\*}"
    done

    # A scratch root has no C library package: rpm must refuse the package for the libraries it
    # requires, and for nothing else. It is installed without that check, and the program then
    # runs on this machine's libraries, as the .deb's does.
    # Debian's rpm asks for --force-debian to install at all, and an ARM package needs
    # --ignorearch on this machine.
    rpm=(rpm --root "$installed" --dbpath /var/lib/rpm)
    "${rpm[@]}" --initdb
    ! refusal=$("${rpm[@]}" -i --force-debian --ignorearch "$package" 2>&1) ||
        fail "rpm installed the package with no C library"
    unmet=$(sed -n 's/^\t\(.*\) is needed by .*/\1/p' <<<"$refusal" | sort)
    [ "$unmet" = "$requires" ] || fail "rpm refused the package for other reasons: $refusal"
    "${rpm[@]}" -i --force-debian --ignorearch --nodeps "$package"
    "${rpm[@]}" -V --nodeps sortdemo || fail "the installed files differ from the package's"
    files=(usr/share/doc/sortdemo/README.md usr/share/licenses/sortdemo/LICENSE)
    version=$(rpm -qp --qf '%{VERSION}-%{RELEASE}' "$package")
    readme=$(<"$installed/usr/share/doc/sortdemo/README.md")
    # Installed where it was built for, with the project's address.
    fields=$(rpm -qp --qf '%{PREFIXES} %{URL}' "$package")
    [ "$fields" = "(none) $homepage" ] || fail "relocations and URL: $fields"
    latest=$(rpm -qp --changelog "$package" | sed -n 1p)
    [[ $latest == "* "*" - $version" ]] || fail "changelog's latest entry is not $version: $latest"
fi

# The users' README, whose every link is a full address.
[ "$(sed -n 1p <<<"$readme")" = "sortdemo ${version%%-*}" ] ||
    fail "the package's README is not the users' README of ${version%%-*}"
! links=$(grep -oP '\]\(\K[^)]*' <<<"$readme" | grep -v '^[a-z]*:') ||
    fail "the README links to what the package lacks: $links"

case $(file -b "$installed/usr/bin/sortdemo") in
*", x86-64, "*) machine=x86_64 ;;
*", ARM aarch64, "*) machine=aarch64 ;;
*) machine=unknown ;;
esac
[ "$architecture" = "$machine" ] || fail "a package for $architecture holds a program for $machine"
for file in usr/bin/sortdemo usr/share/man/man1/sortdemo.1.gz "${files[@]}"; do
    [ -f "$installed/$file" ] || fail "the package lacks /$file"
done

# Without QEMU_LD_PREFIX the emulator takes the libraries from / rather than the cross
# toolchain's folder: those of the packages the dependencies name.
runner=()
[ -z "${SORTDEMO_RUNNER:-}" ] || runner=("$SORTDEMO_RUNNER")
SORTDEMO_PROGRAM=$installed/usr/bin/sortdemo env -u QEMU_LD_PREFIX "${runner[@]}" \
    "$end_to_end" --gtest_brief=1 >"$scratch/end_to_end" 2>&1 || fail "$(cat "$scratch/end_to_end")"
passed=$(grep '^\[  PASSED  \]' "$scratch/end_to_end")
echo "installed $(basename "$package") into a scratch root; the end-to-end table against" \
    "/usr/bin/sortdemo${runner:+ under ${runner##*/}} passed ${passed#*] }"
