#!/usr/bin/env bash
# Runs the program under valgrind's memcheck with the given standard input and expects the given
# exit status: memcheck's own (99) means a memory error or a definite leak.
#   memcheck.sh PROGRAM EXPECTED_STATUS INPUT
set -u
status=0
printf '%b' "$3" | valgrind -q --error-exitcode=99 --leak-check=full \
    --errors-for-leak-kinds=definite "$1" >/dev/null || status=$?
if [ "$status" -ne "$2" ]; then
    echo "expected exit status $2, got $status"
    exit 1
fi
