#!/bin/bash
# The unmodified program under Wine against a simulated scanner on the test still-image
# driver: what the window shows, what the scanner received, the imaging service and the
# busy locks before, during and after, and Close. One case per run; the cases are below.
# Usage: test_scanner.sh <build dir> <source dir> <case>
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"
SOURCE_DIR=$2
CASE=$3
EN="$SOURCE_DIR/resources/strings/en-US.txt"
NAME="Norvik Velora"
VANTOR_LOCK="Global\\NORVIK_VANTOR_SUBSCRIPTION_MUTEX_$NAME"
SCAN_LOCK="Global\\NORVIK_SCAN_EXT_APP_MUTEX_$NAME"
OSTRA_LOCK="{3D1E84A2-7C55-4B09-A1F3-52C9E6D07B48}"
# The scanner's own times shortened; the program's waits (1 s polls, 6 s settle) are its own.
FAST="burn_ms=6000,off_delay_ms=1000,off_ms=3000,boot_ms=1000"

# SCENARIO: the simulated bus. ACTION: update (the button), force (the row ticked and the
# command sent, past a disabled button) or search. BEFORE: the status text once the window
# found the scanner; DEVICE: its device name then. OUTCOME: the text id of the end,
# FAILED=1 when shown as "Update Failed: ...". IMAGE: the image the scanner must have
# received whole, in one write. HOLD: a lock another program holds while the tool runs
# (until the test lets it go, with RELEASE=1).
# LOCKS=1: the update holds the scanning application's lock. DURING: a text the update
# shows on its way. LIMIT: seconds the outcome may take.
SCENARIO="normal:$FAST" ACTION=update BEFORE=249 OUTCOME=253 FAILED=0 IMAGE=507 HOLD=
DEVICE="Norvik Velora (VLR-204718)" LOCKS=1 DURING= LIMIT=150 RELEASE=0
case "$CASE" in
    normal) ;;
    relay-uboot8) SCENARIO="relay-uboot8:$FAST" IMAGE=505 ;;
    relay) SCENARIO="relay:$FAST" IMAGE=506 ;;
    # Another imaging device at usbscan0, the scanner at usbscan1.
    other-device) SCENARIO="other-device:$FAST" ;;
    # At usbscan0 a device whose descriptor request fails: passed over.
    descriptor-fails) SCENARIO="descriptor-fails:$FAST" ;;
    # The scanner leaves the bus for good when the image data starts.
    # Its update fails within a second or two: too soon to look for the lock from outside.
    vanish) SCENARIO="vanish:$FAST" OUTCOME=216 FAILED=1 IMAGE= LOCKS=0 ;;
    # The boot loader is not asked for its identification, so the name has none, and no
    # scanning application can hold a scanner in its boot loader: no locks are taken.
    recovery) SCENARIO="recovery:$FAST" BEFORE=243 DEVICE="Norvik Velora ()" LOCKS=0 ;;
    current) SCENARIO=current ACTION=force BEFORE=252 OUTCOME=252 FAILED=1 IMAGE= ;;
    # Busy at first, so Update is disabled; forced, the update waits it out ("Device is
    # busy... Please wait...") and goes on.
    busy) SCENARIO="normal:$FAST,busy_ms=20000" ACTION=force BEFORE=250 DURING=211 ;;
    # For ever busy: the update gives up after its 600 s limit. Only with
    # FWUPDATE_LONG_WINE_TESTS, to keep a test run short.
    busy-for-ever) SCENARIO=busy ACTION=force BEFORE=250 DURING=211 OUTCOME=213 FAILED=1 IMAGE=
                   LIMIT=700 ;;
    burn-error) SCENARIO="burn-error:$FAST" OUTCOME=220 FAILED=1 ;;
    # Only the burn shortened: the scenario is about the power-off never coming.
    no-power-off) SCENARIO="no-power-off:burn_ms=6000" OUTCOME=235 FAILED=1 LIMIT=300 ;;
    stall) SCENARIO="stall:$FAST" OUTCOME=216 FAILED=1 IMAGE= ;;
    # The status query takes the Vantor lock before it asks who the scanner is.
    vantor-held) HOLD=$VANTOR_LOCK ACTION=search BEFORE=247 OUTCOME=247 IMAGE=
                 DEVICE="Norvik Velora ()" ;;
    # Close while the first status query waits for the Vantor lock, which is let go right
    # after: the query goes on under the Closing window and must offer nothing.
    close-in-query) HOLD=$VANTOR_LOCK RELEASE=1 ACTION=close BEFORE= IMAGE= ;;
    # The other applications' locks are taken when the update starts.
    ostra-held) HOLD=$OSTRA_LOCK OUTCOME=241 FAILED=1 IMAGE= LOCKS=0 ;;
    scan-app-held) HOLD=$SCAN_LOCK OUTCOME=239 FAILED=1 IMAGE= LOCKS=0 ;;
    # Another scanner's lock is no business of this one.
    other-scanner-held) HOLD="Global\\NORVIK_VANTOR_SUBSCRIPTION_MUTEX_$NAME 2" ACTION=search \
                        OUTCOME=249 IMAGE= ;;
    *) fail "unknown case $CASE" ;;
esac

REPORT="$STATE_DIR/scanner-$CASE.report"
TRACE="$STATE_DIR/scanner-$CASE.trace"
rm -f "$TRACE"

# expect_service <state> <start type> <when>
expect_service() {
    wait_stisvc "$1" "$2" ||
        fail "stisvc $3: state $(stisvc_state), start type $(stisvc_start_type); want $1 $2"
}
# lock_free <name>: whether nobody holds the named mutex. A tool that answers neither way
# (Wine could not start it) fails the test with what it said, never passes for "held".
lock_free() {
    local answer attempt
    for attempt in 1 2 3; do
        answer=$(wine "$MUTEX_TOOL" free "$1" 2>"$STATE_DIR/mutex_tool.err" </dev/null |
            tr -d '\r')
        case "$answer" in
            free) return 0 ;;
            held) return 1 ;;
        esac
        echo "mutex_tool gave no answer for $1: '$answer' $(cat "$STATE_DIR/mutex_tool.err")" >&2
    done
    fail "mutex_tool gave no answer for $1 three times"
}
# wait_lock_free <name>: once the program has ended, only another process can keep its lock
# alive (one that inherited the handle). The name goes when the last handle closes, which
# Wine's server does a little after the program's Unix process is gone: a few looks are
# allowed, and a look that still finds it held is reported.
wait_lock_free() {
    local start=$SECONDS
    until lock_free "$1"; do
        echo "$1 held $((SECONDS - start)) s after the program ended: $(windows_processes)" >&2
        ((SECONDS - start >= 10)) && return 1
        sleep 0.5
    done
}
# The Windows processes still running, for a lock found held when it should not be.
windows_processes() { ps -eo pid,etimes,args | grep -F '.exe' | grep -v grep; }
status_text() { probe dump "$MAIN_CAPTION" | awk -F'\t' '$1 == 1017 { print $5 }'; }
# enabled <control id>: whether the window's control is enabled (dump: id class enabled ...).
enabled() { probe dump "$MAIN_CAPTION" | awk -F'\t' -v id="$1" '$1 == id { print $3 }'; }
# wait_status <text>: waits until the status label shows the text, up to <limit> seconds.
wait_status() {
    local start=$SECONDS
    until [[ "$(status_text)" == "$1" ]]; do
        if ((SECONDS - start >= $2)); then
            screenshot "$ARTIFACTS/scanner-$CASE-failed.png"
            fail "status '$(status_text)' after $2 s, want '$1'; trace: $(tail -20 "$TRACE")"
        fi
        sleep 0.5
    done
}
text() { text_of "$EN" "$1"; }
outcome_text() {
    local message
    message=$(text "$OUTCOME")
    if ((FAILED)); then
        # "Update Failed: %s" with the message in place of the %s.
        local format
        format=$(text 254)
        echo "${format/\%s/$message}"
    else
        echo "$message"
    fi
}

# The scanner on the bus, its device node in the registry.
plug_scanner "$SCENARIO" "$REPORT" "$STATE_DIR/host-$CASE.log" 3000

if [[ -n "$HOLD" ]]; then
    rm -f "$STATE_DIR/release"
    release_file=
    ((RELEASE)) && release_file=$(winepath -w "$STATE_DIR/release" 2>/dev/null)
    wine "$MUTEX_TOOL" hold "$HOLD" "$(winepath -w "$STATE_DIR/held" 2>/dev/null)" \
        $release_file >/dev/null 2>&1 </dev/null &
    STARTED_PIDS+=("$!")
    rm -f "$STATE_DIR/held"
    for _ in $(seq 300); do
        [[ -e "$STATE_DIR/held" ]] && break
        sleep 0.1
    done
    [[ -e "$STATE_DIR/held" ]] || fail "the helper does not hold $HOLD"
fi

wine sc start stisvc >/dev/null 2>&1
use_dialog_font Tahoma
wine "$FWUPDATE" -d >"$TRACE" 2>/dev/null </dev/null &
main=$!
STARTED_PIDS+=("$main")
wait_window "$MAIN_CAPTION" "$main"
expect_service 1 0x4 "while the window is open"
# What the window shows of the scanner once its first look at it is done.
if [[ -n "$BEFORE" ]]; then
    wait_status "$(text "$BEFORE")" 60
    probe dump "$MAIN_CAPTION" | grep -qxF $'1013\tStatic\t1\t1\t'"$DEVICE" ||
        fail "device name not shown: $(probe dump "$MAIN_CAPTION")"
    probe dump "$MAIN_CAPTION" | grep -qxF $'1015\tStatic\t1\t1\tUSB' || fail "interface not shown"
fi

case "$ACTION" in
    close)
        # The service is stopped: the first query has begun and waits for the lock.
        probe click "$MAIN_CAPTION" 2 || fail "cannot click Close"
        touch "$STATE_DIR/release"
        while kill -0 "$main" 2>/dev/null; do
            [[ "$(enabled 1144 2>/dev/null)" == 1 ]] &&
                fail "Update enabled after Close: $(probe dump "$MAIN_CAPTION")"
            sleep 0.1
        done
        wait_exit "$main" || fail "program did not end after Close"
        expect_service 4 0x2 "after Close"
        # Close came while the query ran, and the query went on: as a rule it got the lock
        # (READY, and it would have offered Update). On a loaded machine the lock may be let
        # go only after the query's last attempt, which then ends it without the lock.
        closed=$(grep -nF '[Cancel Button] Create Cancel Thread...' "$TRACE" | cut -d: -f1)
        ended=$(grep -nE '\[GetDeviceStatus\]: (Check device status READY|Vantor Mutex lock fail)' \
            "$TRACE" | head -1)
        [[ -n "$closed" && -n "$ended" && $closed -lt ${ended%%:*} ]] ||
            fail "Close did not come during the query (Close at line '$closed', the query's" \
                 "end '$ended'): $(cat "$TRACE")"
        grep -q '^image ' "$REPORT" && fail "an image was sent: $(grep '^image ' "$REPORT")"
        for lock in "$SCAN_LOCK" "$OSTRA_LOCK" "$VANTOR_LOCK"; do
            wait_lock_free "$lock" || fail "$lock still held 10 s after the program ended"
        done
        echo "$CASE: Close during the query, which ended with '${ended#*: }'; Update never" \
             "offered, no image, stisvc automatic and running"
        exit 0
        ;;
    update)
        [[ "$(enabled 1144)" == 1 ]] || fail "Update is disabled: $(probe dump "$MAIN_CAPTION")"
        probe click "$MAIN_CAPTION" 1144 || fail "cannot click Update"
        # While it works, the scanning applications are locked out and the service is off.
        # A look counts only when the update had not reached its end after it: from "Start
        # WIA service..." on, the program restarts the service, and a quickly failing
        # update gets there within a second or two.
        start=$SECONDS
        until [[ "$(enabled 1000)" == 0 ]]; do
            ((SECONDS - start >= 10)) && fail "Update did not start: $(probe dump "$MAIN_CAPTION")"
            sleep 0.1
        done
        seen_lock=0
        while :; do
            held=0
            lock_free "$SCAN_LOCK" || held=1
            service="$(stisvc_state) $(stisvc_start_type)"
            shown=$(status_text)
            [[ $shown == "$(text 231)" || $shown == "$(outcome_text)" ||
               "$(enabled 1000)" == 1 ]] && break  # the update is ending
            [[ $service == "1 0x4" ]] ||
                fail "stisvc not stopped and disabled during the update: $service"
            ((held)) && seen_lock=1
            ((seen_lock || !LOCKS)) && break
            ((SECONDS - start >= 60)) && break
            sleep 0.3
        done
        ((LOCKS && !seen_lock)) && fail "the scanning application's lock was never seen held"
        ;;
    force)
        [[ "$(enabled 1144)" == 0 ]] || fail "Update is enabled for '$(status_text)'"
        # As if the scanner's row were ticked and Update clicked in the same moment.
        probe tick "$MAIN_CAPTION" 1025 || fail "cannot tick the scanner's row"
        probe command "$MAIN_CAPTION" 1144 || fail "cannot send the Update command"
        ;;
    search)
        sleep 1
        probe click "$MAIN_CAPTION" 1000 || fail "cannot click Search Device"
        ;;
esac
[[ -n "$DURING" ]] && wait_status "$(text "$DURING")" 60
wait_status "$(outcome_text)" "$LIMIT"
screenshot "$ARTIFACTS/scanner-$CASE.png"

if [[ $ACTION != search ]]; then
    # After an update, good or bad, the imaging service runs again and the locks are free.
    expect_service 4 0x2 "after the update"
    start=$SECONDS
    until [[ "$(enabled 1000)" == 1 ]]; do
        ((SECONDS - start >= 30)) && fail "Search Device not given back after the update"
        sleep 0.5
    done
    for lock in "$SCAN_LOCK" "$OSTRA_LOCK" "$VANTOR_LOCK"; do
        [[ $lock == "$HOLD" ]] && continue  # the other program's
        lock_free "$lock" ||
            fail "$lock still held after the update; processes: $(windows_processes)"
    done
elif [[ $OUTCOME != 249 ]]; then
    [[ "$(enabled 1144)" == 0 ]] || fail "Update enabled while another program holds $HOLD"
else
    [[ "$(enabled 1144)" == 1 ]] || fail "Update disabled by another scanner's lock"
fi

# What the scanner received.
images=$(grep '^image ' "$REPORT")
if [[ -n "$IMAGE" ]]; then
    file="$BUILD_DIR/images/image$IMAGE.bin"
    expected=$(wine "$VELORA_HOST" --checksum "$(winepath -w "$file" 2>/dev/null)" | tr -d '\r')
    size=$(stat -c %s "$file")
    # image <parameter> <length> <received> <writes> <complete> <accepted> <checksum>
    read -r _ parameter length received writes complete accepted checksum <<<"$images"
    [[ $(wc -l <<<"$images") == 1 && $length == "$size" && $received == "$size" &&
       $writes == 1 && $complete == 1 && $accepted == 1 && $checksum == "$expected" ]] ||
        fail "scanner did not get image $IMAGE ($size bytes, $expected) whole in one write: $images"
    echo "scanner received image $IMAGE: parameter $parameter, $size bytes in one write"
else
    # A stalled or vanished transfer leaves an image record, never complete or accepted.
    awk '$6 == 1 || $7 == 1 { found = 1 } END { exit !found }' <<<"$images" &&
        fail "an image was taken: $images"
fi
case "$CASE" in
    recovery)
        # A scanner in its boot loader is not asked who it is or what it runs.
        grep -qE '^command 0x28 0x(10|01) ' "$REPORT" &&
            fail "identification or version asked in recovery: $(cat "$REPORT")"
        grep -qF '(100%)' "$TRACE" || fail "percentages do not reach 100: $(cat "$TRACE")"
        ;;
    stall)
        # The link's numbered detail of the write the driver failed.
        grep -qE $'^\t\\[USB Error\\] [0-9]+-[0-9]+-' "$TRACE" ||
            fail "no link error in the trace: $(cat "$TRACE")"
        ;;
esac

probe click "$MAIN_CAPTION" 2 || fail "cannot click Close"
wait_exit "$main" || fail "program did not end after Close"
expect_service 4 0x2 "after Close"
for lock in "$SCAN_LOCK" "$OSTRA_LOCK"; do
    [[ $lock == "$HOLD" ]] && continue
    wait_lock_free "$lock" ||
        fail "$lock still held 10 s after the program ended; processes: $(windows_processes)"
done
# The driver holds no request of the program any more.
state=$(wine "$BARE_CLIENT" state 2>/dev/null | tr -d '\r')
[[ "$state" == "queued 0 taken 0 "* ]] || fail "driver still holds requests: $state"
echo "$CASE: '$(outcome_text)'; service automatic and running; program ended"
