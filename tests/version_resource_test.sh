#!/usr/bin/env bash
# Reads the version resource back from the built sortdemo.exe and checks it against the project:
# the numeric file and product versions Windows shows, and every string the Properties list;
# then the application manifest: run as the invoker, the Windows versions it supports, the version.
#   version_resource_test.sh SORTDEMO_EXE VERSION COPYRIGHT_LINE COMPANY
set -euo pipefail
exe=$1 version=$2 copyright=$3 company=$4
fail() {
    echo "$*"
    exit 1
}
command -v wrestool >/dev/null || fail "wrestool not found (apt-get install icoutils)"
resource=$(mktemp)
trap 'rm -f "$resource"' EXIT
wrestool -x --raw --type=version "$exe" >"$resource"
[ -s "$resource" ] || fail "$exe has no version resource"

# VS_FIXEDFILEINFO, after its signature: structure version, then file and product version as
# major.minor and patch.build halves.
read -r -a words <<<"$(od -An -v -tx4 -w4 "$resource" | tr -d ' ' | tr '\n' ' ')"
for ((k = 0; k < ${#words[@]}; ++k)); do
    [ "${words[k]}" = feef04bd ] && break
done
[ "$k" -lt "${#words[@]}" ] || fail "no fixed version information"
IFS=. read -r major minor patch <<<"$version"
expected=$(printf '%04x%04x %04x%04x' "$major" "$minor" "$patch" 0)
[ "${words[k + 2]} ${words[k + 3]}" = "$expected" ] || fail "file version is not $version"
[ "${words[k + 4]} ${words[k + 5]}" = "$expected" ] || fail "product version is not $version"

# The strings, UTF-16 each: a key, then its value.
strings=$(strings -el -n 1 "$resource")
value() { awk -v key="$1" 'found { print; exit } $0 == key { found = 1 }' <<<"$strings"; }
for expected in "FileVersion=$version" "ProductVersion=$version" "ProductName=sortdemo" \
    "OriginalFilename=sortdemo.exe" "LegalCopyright=$copyright" "CompanyName=$company" \
    "FileDescription=[A-Z]?*"; do
    key=${expected%%=*}
    # shellcheck disable=SC2053 # the expected value may be a pattern
    [[ "$(value "$key")" == ${expected#*=} ]] || fail "$key is \"$(value "$key")\""
    echo "$key: $(value "$key")"
done

# The manifest, resource type 24 (RT_MANIFEST), id 1: for a program that Windows starts.
manifest=$(wrestool -x --raw --type=24 --name=1 "$exe" | tr -s '[:space:]' ' ')
[ -n "$manifest" ] || fail "$exe has no application manifest"
for expected in 'requestedExecutionLevel level="asInvoker"' \
    'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' "version=\"$version.0\""; do
    [[ $manifest == *"$expected"* ]] || fail "the manifest lacks $expected"
    echo "manifest: $expected"
done
