#!/usr/bin/env bash
# Checks the manual page against the program: man finds nothing to warn about, the title carries
# the project's version, and the rendered page names every error message, each one taken from the
# program itself by running it on an input that causes it.
#   man_page_test.sh PROGRAM PAGE VERSION
set -euo pipefail
program=$1 page=$2 version=$3
fail() {
    echo "$*"
    exit 1
}

warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man warns about $page: $warnings"
grep -q "^\.TH .*\"sortdemo $version\"" "$page" || fail "the page's title does not say $version"

# The page as one line of plain text, so that a message is found wherever the page wraps it.
text=$(MANWIDTH=1000 man -E ascii -l "$page" | tr -s '[:space:]' ' ')

# INPUT (a shell command) [OUTPUT] [MEMORY_KB] [STDIN] [ARGUMENT STATUS]: each row makes the
# program fail with one error line and status 1, or the status given. Three run out of memory on a
# count it cannot hold with ones for ever behind it, write to a full device, and read from a
# directory instead of the input's output; the last two are the command line's.
cases=(
    "printf ''"
    "printf abc"
    "printf 99999999999"
    "printf '5 1 2 3'"
    "printf '5 1 2 3 3.5'"
    "printf '5 1 2 3 99999999999'"
    "printf '\\xff\\xfe1'"
    "printf '\\xff\\xfe1\\0 \\0007'"
    "{ echo 2147483647; yes 1; }|/dev/null|65536"
    "printf '1 7'|/dev/full"
    "true|||/"
    "true|/dev/full|||--help"
    "true||||numbers.txt|2"
)
statuses=()
for row in "${cases[@]}"; do
    IFS='|' read -r input output kilobytes stdin argument expected <<<"$row"
    status=0
    errors=$({ [ -z "$kilobytes" ] || ulimit -v "$kilobytes"; } &&
        eval "$input" | "$program" ${argument:+"$argument"} 2>&1 <"${stdin:-/dev/stdin}" \
            >"${output:-/dev/null}") || status=$?
    message=$(grep '^error: ' <<<"$errors") || true
    [ "$status" -eq "${expected:-1}" ] && [ "$(wc -l <<<"$message")" -eq 1 ] && [ -n "$message" ] ||
        fail "expected one error line and status ${expected:-1} from: $input $argument;" \
            "got status $status: $errors"
    statuses+=("$status")
    # The page writes placeholders where the program writes numbers and quoted input.
    pattern=$(sed -E 's/[][\.*^$(){}+?|]/\\&/g; s/"[^"]*"/"[^"]*"/g; s/-?[0-9]+/[^ ]+/g' \
        <<<"$message")
    grep -Eq -- "$pattern" <<<"$text" || fail "the manual page does not name: $message"
    echo "named in the page: $message"
done

# Every exit status seen above is in EXIT STATUS, and every option --help lists is in OPTIONS.
section() { sed -n "s/.* $1 \(.*\) $2 .*/\1/p" <<<"$text"; }
exits=$(section 'EXIT STATUS' DIAGNOSTICS)
for status in 0 $(printf '%s\n' "${statuses[@]}" | sort -u); do
    [[ " $exits" == *" $status "[A-Z]* ]] || fail "EXIT STATUS does not list status $status"
done
options=$(section OPTIONS INPUT)
for option in $("$program" --help | sed -n 's/^  \(-[^ ]*\) .*/\1/p'); do
    [[ $options == *"$option "* ]] || fail "OPTIONS does not name $option"
    echo "named in OPTIONS: $option"
done
