#!/bin/bash
# Only one copy runs: a second one says so in a message box and ends after OK, while the
# first goes on. Usage: test_single_instance.sh <build dir> <source dir>
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"

start_program "$FWUPDATE"
first=$LAST_PID
wait_window "$MAIN_CAPTION" "$first"

start_program "$FWUPDATE"
second=$LAST_PID
# The box is the application's own, captioned with the program's name, with the
# exclamation icon.
box=$(probe msgbox FWUpdate "$START_TIMEOUT_MS") || fail "second copy shows no message box"
[[ "$box" == $'The firmware update tool is already open.\nicon\t1' ]] ||
    fail "message box: $(printf '%q' "$box")"
wait_exit "$second" || fail "second copy did not end after OK"

kill -0 "$first" 2>/dev/null || fail "first copy ended too"
probe wait "$MAIN_CAPTION" 1000 || fail "first copy lost its window"

probe click "$MAIN_CAPTION" 2 || fail "cannot click Close"
wait_exit "$first" || fail "first copy did not end after Close"
echo "second copy refused while the first runs"
