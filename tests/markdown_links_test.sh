#!/usr/bin/env bash
# Every relative link and image in the tracked Markdown files resolves: the file or folder it
# names is tracked (a fresh clone has it), and a #fragment into a Markdown file names one of its
# headings, made into an anchor as GitHub does (lower case, punctuation dropped, spaces as
# hyphens). Links with a scheme (https:, mailto:) are left alone, and so are code blocks and
# code spans.
#   tests/markdown_links_test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C

declare -A tracked=()
while IFS= read -r path; do
    tracked[$path]=1
    while [[ $path == */* ]]; do
        path=${path%/*}
        tracked[$path]=1
    done
done < <(git ls-files)

# The lines outside fenced code blocks.
prose() { awk '/^ {0,3}(```|~~~)/ { fenced = !fenced; next } !fenced' "$1"; }
anchors() {
    prose "$1" | sed -n 's/^#\{1,6\} \{1,\}//p' | tr -d '`' | tr '[:upper:]' '[:lower:]' |
        sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

checked=0 broken=0
while IFS= read -r page; do
    while IFS= read -r target; do
        [[ $target =~ ^[A-Za-z][A-Za-z0-9+.-]*: ]] && continue
        path=${target%%#*} fragment=
        [[ $target != *#* ]] || fragment=${target#*#}
        resolved=$page
        [ -z "$path" ] || resolved=$(realpath -m --relative-to=. "$(dirname "$page")/$path")
        checked=$((checked + 1))
        if [ -z "${tracked[$resolved]:-}" ]; then
            echo "$page: $target: no tracked file $resolved"
            broken=$((broken + 1))
        elif [ -n "$fragment" ] && [[ $resolved == *.md ]] &&
            ! anchors "$resolved" | grep -qxF -- "$fragment"; then
            echo "$page: $target: no heading of $resolved gives #$fragment"
            broken=$((broken + 1))
        fi
    done < <(prose "$page" | sed "s/\`[^\`]*\`//g" | grep -oE '\]\([^)[:space:]]+' | cut -c3-)
done < <(git ls-files '*.md')

if [ "$broken" -ne 0 ]; then
    echo "$broken of $checked relative links do not resolve"
    exit 1
fi
echo "$checked relative links and images in $(git ls-files '*.md' | wc -l) Markdown files resolve"
