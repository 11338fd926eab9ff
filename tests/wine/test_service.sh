#!/bin/bash
# The imaging service under Wine, against Wine's own "stisvc": the program stops and
# disables it when its window opens, a search without a scanner says so, and Close sets
# the service to start automatically and starts it again.
# Usage: test_service.sh <build dir> <source dir>
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"

# Running beforehand, so that there is something to stop.
wine sc start stisvc >/dev/null 2>&1
wait_stisvc 4 0x3 || wait_stisvc 4 0x2 || fail "stisvc does not run before the test"

# With -d, so that the trace of the search over all 256 still-image names is kept.
trace="$STATE_DIR/service-trace.txt"
use_dialog_font Tahoma
wine "$FWUPDATE" -d >"$trace" 2>/dev/null </dev/null &
main=$!
STARTED_PIDS+=("$main")
wait_window "$MAIN_CAPTION" "$main"
wait_stisvc 1 0x4 ||
    fail "stisvc not stopped and disabled: state $(stisvc_state), start type $(stisvc_start_type)"

probe click "$MAIN_CAPTION" 1000 || fail "cannot click Search Device"
start=$SECONDS
until probe dump "$MAIN_CAPTION" | grep -qxF $'1017\tStatic\t1\t1\tDevice Not Found!!  Please Check.' &&
      probe dump "$MAIN_CAPTION" | grep -qxF $'1000\tButton\t1\t1\tSearch Device'; do
    ((SECONDS - start >= 60)) && fail "search did not end with 'Device Not Found': $(probe dump "$MAIN_CAPTION")"
    sleep 0.2
done

grep -qxF $'\t[USB Error] 1-1-0-Device No Found!!' "$trace" ||
    fail "no failed device search in the trace: $(cat "$trace")"
grep -qxF "[GetDeviceStatus]: Device not found..." "$trace" || fail "trace lacks the query's line"

probe click "$MAIN_CAPTION" 2 || fail "cannot click Close"
wait_exit "$main" || fail "program did not end after Close"
wait_stisvc 4 0x2 ||
    fail "stisvc not automatic and running after Close: state $(stisvc_state), start type $(stisvc_start_type)"
echo "stisvc stopped and disabled while the window was open, automatic and running after Close"
