#!/usr/bin/env bash
# Makes the release in dist/ (or the folder given): the source tarball sortdemo-VERSION.tar.gz,
# and built from that tarball's content in fresh folders with the package presets, the .deb and
# the .rpm for x86-64 and for 64-bit ARM (cross-built), a tarball of the static program for each
# of the two (sortdemo-VERSION-linux-ARCH.tar.gz) and the Windows .zip; SHA256SUMS over them. Two
# runs on the same source give the same bytes, whatever the folder, time, user, umask, time zone,
# locale or file system: every date in them is the last commit's (in a git checkout) or the one
# the tarball carries in its file SOURCE_DATE_EPOCH (in an unpacked tarball), and what the tools
# would take from the machine is fixed here.
#   scripts/release.sh [OUTPUT_DIR]
set -euo pipefail
# CPack gives the .deb's members the umask's modes, and cmake -E tar the files it unpacks; the
# .zip stores local times; sort orders by the locale.
umask 022
export TZ=UTC LC_ALL=C
out=$(realpath -m "${1:-$(dirname "$0")/../dist}")
cd "$(dirname "$0")/.."
. scripts/packages.sh
# The arm64 .deb's dependencies come from Debian's arm64 runtime libraries (see packaging.cmake).
ensure_packages cmake make g++ g++-mingw-w64-x86-64 g++-aarch64-linux-gnu dpkg-dev rpm file \
    libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64

fail() {
    echo "error: $*" >&2
    exit 1
}
version=$(sed -n 's/^project(sortdemo VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
name=sortdemo-$version

# The source: the tracked files of this checkout, or every file of an unpacked tarball but the
# folders that builds and releases write (.gitignore's).
if command -v git >/dev/null && [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$PWD" ]; then
    epoch=$(git log -1 --format=%ct)
    [ -z "$(git status --porcelain --untracked-files=no)" ] ||
        echo "note: the release holds uncommitted changes, dated as the last commit" >&2
    mapfile -d '' files < <(git ls-files -z)
elif [ -f SOURCE_DATE_EPOCH ]; then
    epoch=$(<SOURCE_DATE_EPOCH)
    mapfile -d '' files < <(find . -mindepth 1 \( -path './build*' -o -path ./dist -o -path ./out \
        \) -prune -o ! -type d -printf '%P\0')
else
    fail "neither a git checkout nor an unpacked release tarball (no SOURCE_DATE_EPOCH file)"
fi
[[ $epoch =~ ^[0-9]+$ ]] || fail "the source date \"$epoch\" is not a number of seconds"
export SOURCE_DATE_EPOCH=$epoch

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/log
run() {
    "$@" >>"$log" 2>&1 || {
        cat "$log"
        fail "$* failed (the lines above say why)"
    }
}

echo "source tarball $name.tar.gz, dated $(date -u -d "@$epoch" '+%F %T') UTC"
mkdir -p "$work/stage/$name" "$out"
rm -f "$out"/sortdemo[-_]* "$out/SHA256SUMS"
# A .tar.gz of FOLDER in DIR, its entries by name, dated and owned alike on every machine.
tar_gz() {
    tar -cf - -C "$1" --sort=name --format=gnu --mtime="@$epoch" --owner=0 --group=0 \
        --numeric-owner --mode=u+rw,go=rX,a-s "$2" | gzip -9n >"$3"
}
tar -cf - --null --no-recursion -T <(printf '%s\0' "${files[@]}") |
    tar -xf - -C "$work/stage/$name"
printf '%s\n' "$epoch" >"$work/stage/$name/SOURCE_DATE_EPOCH"
tar_gz "$work/stage" "$name" "$out/$name.tar.gz"

# The packages, built from the tarball's own content: nothing outside it goes in.
tar -xzf "$out/$name.tar.gz" -C "$work"
cd "$work/$name"
jobs=$(nproc)
while read -r preset packages; do
    echo "$packages (build and cpack in a fresh folder)"
    run cmake --preset "$preset" -DBUILD_TESTING=OFF -DSORTDEMO_BENCHMARKS=OFF
    run cmake --build --preset "$preset" --target all -j "$jobs"
    run cpack --preset "$preset"
done <<PRESETS
release the .deb and the .rpm
arm64 the arm64 .deb and the aarch64 .rpm (cross-built)
static the static program's x86-64 tarball
static-arm64 the static program's 64-bit ARM tarball (cross-built)
windows the Windows .zip
PRESETS
deb=$out/sortdemo_${version}_amd64.deb deb_arm64=$out/sortdemo_${version}_arm64.deb
zip=$out/$name-win64.zip
cp build*/packages/sortdemo[-_]*.* "$out"

# Two things CPack 3.25 takes from the file system it stages the packages on. A .deb's
# Installed-Size adds up the sizes of the directories too, which are 4 KiB each on ext4 and less
# on tmpfs: it gets dpkg-gencontrol's count instead, a KiB for each directory and each file's size
# in whole KiB. The data member stays as CPack made it.
fix_installed_size() {
    rm -rf "$work/deb"
    mkdir "$work/deb" "$work/deb/control"
    cd "$work/deb"
    ar x "$1"
    local size member bytes
    size=$(tar -tvzf data.tar.gz |
        awk '{ kib += substr($1, 1, 1) == "-" ? int(($3 + 1023) / 1024) : 1 } END { print kib }')
    tar -xzf control.tar.gz -C control
    sed -i "s/^Installed-Size: .*/Installed-Size: $size/" control/control
    tar -cf - -C control --format=ustar --owner=root:0 --group=root:0 --mtime="@$epoch" \
        --mode=u=rw,go=r ./md5sums ./control | gzip -9n >control.tar.gz
    {
        printf '!<arch>\n'
        for member in debian-binary control.tar.gz data.tar.gz; do
            bytes=$(stat -c %s "$member")
            printf '%-16s%-12s%-6s%-6s%-8s%-10s`\n' "$member" "$epoch" 0 0 100644 "$bytes"
            cat "$member"
            [ $((bytes % 2)) -eq 0 ] || printf '\n'
        done
    } >"$1"
}
fix_installed_size "$deb"
fix_installed_size "$deb_arm64"
# The .zip and the static tarballs list their files in the order the directory gives them, which
# is the order of creation on some file systems and of a hash on others: each is made again from
# the same files by name.
mkdir "$work/zip" "$work/static"
cd "$work/zip"
cmake -E tar xf "$zip"
find . -type f -printf '%P\n' | sort >"$work/zip-files"
rm "$zip"
cmake -E tar cf "$zip" --format=zip --files-from="$work/zip-files"
for tarball in "$out/$name"-linux-*.tar.gz; do
    tar -xzf "$tarball" -C "$work/static"
    folder=${tarball##*/}
    tar_gz "$work/static" "${folder%.tar.gz}" "$tarball"
done

cd "$out"
mapfile -t released < <(ls sortdemo[-_]*)
sha256sum "${released[@]}" >SHA256SUMS
echo "in $out:"
cat SHA256SUMS
