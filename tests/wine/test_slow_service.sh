#!/bin/bash
# The imaging service when it takes its wait hints to stop, against a service of our own in
# place of Wine's "stisvc": it stays STOP_PENDING for 3.5 s with 1 s wait hints. The program
# must not search for the scanner before the service has stopped, and Close must make the
# service automatic and start it again. A prefix of its own, so that the other tests keep
# Wine's service. Usage: test_slow_service.sh <build dir> <source dir>
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"
export WINEPREFIX="$BUILD_DIR/wineprefix-service"
LOG_DIR="$STATE_DIR/slow-service"
SERVICE_LOG="$LOG_DIR/service.log"
TRACE="$LOG_DIR/trace.txt"
rm -rf "$WINEPREFIX" "$LOG_DIR"
mkdir -p "$LOG_DIR"
# Every Wine process here writes to files: a service or server holding the test's output
# would keep CTest waiting after the test.
end_prefix() {
    stop_started
    wineserver -k >/dev/null 2>&1
}
trap end_prefix EXIT

wine wineboot --init >"$LOG_DIR/wineboot.log" 2>&1 </dev/null || fail "wineboot failed"
wineserver -w
wineserver -p >"$LOG_DIR/wineserver.log" 2>&1 </dev/null
reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0

sc() { wine sc "$@" >>"$LOG_DIR/sc.log" 2>&1 </dev/null; }
wait_running() {
    wait_stisvc 4 || fail "stisvc state $(stisvc_state), want 4: $(cat "$SERVICE_LOG")"
}
events() { grep -c "^$1 " "$SERVICE_LOG" 2>/dev/null; }

sc stop stisvc
sc delete stisvc
sc create stisvc start= demand \
    binPath= "$(winepath -w "$BUILD_DIR/tests/wine/slow_service.exe") $(winepath -w "$SERVICE_LOG") 1000 3500"
sc start stisvc
wait_running

wine "$FWUPDATE" -d >"$TRACE" 2>/dev/null </dev/null &
main=$!
STARTED_PIDS+=("$main")
# Until the service has stopped, the program must not have looked for the scanner.
start=$SECONDS
searched() { grep -qF '[GetDeviceStatus]: Device not found...' "$TRACE"; }
until [[ "$(events stopped)" == 1 ]]; do
    searched && fail "searched before the service stopped: $(cat "$SERVICE_LOG")"
    ((SECONDS - start >= 90)) && fail "service never stopped: $(cat "$SERVICE_LOG")"
    sleep 0.05
done
[[ "$(events stop-control)" == 1 ]] || fail "stop controls: $(cat "$SERVICE_LOG")"
until searched; do
    ((SECONDS - start >= 90)) && fail "no search after the stop: $(cat "$TRACE")"
    sleep 0.2
done
stop_control=$(awk '/^stop-control/ { print $2 }' "$SERVICE_LOG")
stopped=$(awk '/^stopped/ { print $2 }' "$SERVICE_LOG")
((stopped - stop_control >= 3000)) || fail "the stop did not take its time: $(cat "$SERVICE_LOG")"
[[ "$(stisvc_start_type)" == 0x4 ]] || fail "stisvc not disabled while the program works: $(stisvc_start_type)"

wait_window "$MAIN_CAPTION" "$main"
probe click "$MAIN_CAPTION" 2 || fail "cannot click Close"
wait_exit "$main" || fail "program did not end after Close"
wait_running
[[ "$(events start)" == 2 ]] || fail "service not started again: $(cat "$SERVICE_LOG")"
[[ "$(stisvc_start_type)" == 0x2 ]] || fail "stisvc not automatic after Close: $(stisvc_start_type)"
echo "stop took $((stopped - stop_control)) ms with 1 s wait hints; the search waited for it;" \
    "Close made the service automatic and started it"
end_prefix
trap - EXIT
rm -rf "$WINEPREFIX"
