#!/usr/bin/env bash
# Runs a test program in the sandbox prefix, its output through a file: Wine starts the desktop's
# explorer.exe with the standard error of the first process that needs it, and CTest would wait
# on that pipe until the desktop closes.
#
#   run-in-prefix.sh PREFIX PROGRAM [ARGUMENTS...]
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
output=$(mktemp)
trap 'rm -f "$output"' EXIT
wine "${@:2}" </dev/null >"$output" 2>&1
status=$?
cat "$output"
exit $status
