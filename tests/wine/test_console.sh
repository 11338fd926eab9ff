#!/bin/bash
# With -d the program traces to standard output; a redirect made by whoever started it
# still receives the lines after the program has opened its console.
# Usage: test_console.sh <build dir> <source dir>
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"

trace="$STATE_DIR/console.txt"
wine "$FWUPDATE" -d >"$trace" 2>/dev/null </dev/null &
main=$!
STARTED_PIDS+=("$main")
wait_window "$MAIN_CAPTION" "$main"
probe click "$MAIN_CAPTION" 2 || fail "cannot click Close"
wait_exit "$main" || fail "program did not end after Close"
grep -qxF "[Cancel Button] Create Cancel Thread..." "$trace" ||
    fail "trace lacks the Close line: $(cat "$trace")"
echo "trace reached the redirect"
