#!/bin/bash
# The program starts, shows its window in the state it has before any device search,
# and ends through its Close button. Keeps a screenshot in <build>/artifacts.
# Usage: test_dialog.sh <build dir> <source dir>
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"

start_program "$FWUPDATE"
main=$LAST_PID
wait_window "$MAIN_CAPTION" "$main"

# id, class, enabled, visible, text; in tab order, once the search that runs at start has
# found no device. The list is never shown.
expect_dump "$MAIN_CAPTION" "$(printf '%s\n' \
    $'1025\tSysListView32\t1\t0\t' \
    $'1000\tButton\t1\t1\tSearch Device' \
    $'1144\tButton\t0\t1\tUpdate' \
    $'2\tButton\t1\t1\tClose' \
    $'1007\tStatic\t1\t1\tFirmware Update Tool [Ver: 0.3.61.0]' \
    $'1012\tStatic\t1\t1\tDevice Name:' \
    $'1013\tStatic\t1\t1\tNo Device' \
    $'1014\tStatic\t1\t1\tInterface:' \
    $'1015\tStatic\t1\t1\t' \
    $'1016\tStatic\t1\t1\tStatus:' \
    $'1017\tStatic\t1\t1\tDevice Not Found!!  Please Check.')"

# The hidden list: one row, the USB destination, without the ready mark.
rows=$(probe list "$MAIN_CAPTION" 1025 | cut -f1-3) || fail "cannot read list 1025"
[[ "$rows" == $'0\t0\tUSB' ]] || fail "list 1025 rows: $(printf '%q' "$rows")"

screenshot "$ARTIFACTS/dialog-en.png" ||
    fail "no screenshot"

probe click "$MAIN_CAPTION" 2 || fail "cannot click Close"
wait_exit "$main"
code=$?
[[ $code -eq 0 ]] || fail "program did not end cleanly after Close (exit $code)"
probe gone "$MAIN_CAPTION" 5000 || fail "window still there after the program ended"
echo "dialog shown as expected; screenshot $ARTIFACTS/dialog-en.png"
