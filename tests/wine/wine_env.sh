# Sourced by the Wine test scripts: the state that setup_wine.sh left in the build tree,
# and small helpers to run the program and winprobe. Usage: source wine_env.sh <build dir>
BUILD_DIR=$(cd "$1" && pwd)
STATE_DIR="$BUILD_DIR/wine-state"
export WINEPREFIX="$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko: the prefix never asks to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ -f "$STATE_DIR/display" ]]; then
    export DISPLAY=":$(cat "$STATE_DIR/display")"
fi
FWUPDATE="$BUILD_DIR/FWUpdate.exe"
PROBE="$BUILD_DIR/winprobe.exe"
# The test still-image driver, its host that answers for the simulated scanner, and helpers.
BRIDGE_DIR="$BUILD_DIR/tests/wine/bridge"
BRIDGE_DRIVER=usbscan_bridge
VELORA_HOST="$BRIDGE_DIR/velora_host.exe"
BARE_CLIENT="$BRIDGE_DIR/bare_client.exe"
MUTEX_TOOL="$BUILD_DIR/tests/wine/mutex_tool.exe"
ARTIFACTS="$BUILD_DIR/artifacts"
# Everything waits by polling against these limits, generous for a loaded machine.
START_TIMEOUT_MS=60000
EXIT_TIMEOUT_S=60
MAIN_CAPTION="Firmware Update Tool"
# The virtual desktop that all programs share (see setup_wine.sh).
DESKTOP_SIZE=900x400

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# winprobe runs in a UTF-8 locale so that captions pass through its command line intact.
# A click that finds no window (1: nothing was posted) is tried again for up to 10 s: on a
# loaded machine the program's window may not answer winprobe's caption query in time.
probe() {
    local code tries=0
    while :; do
        LC_ALL=C.UTF-8 wine "$PROBE" "$@"
        code=$?
        [[ $1 == click && $code == 1 ]] && ((++tries < 20)) || return $code
        echo "winprobe click found no window '$2'; trying again" >&2
        sleep 0.5
    done
}

# The still-image service "stisvc": its state (1 stopped, 2 start pending, 3 stop pending,
# 4 running) and start type (0x2 automatic, 0x3 demand, 0x4 disabled), as Wine prints them.
stisvc_state() {
    wine sc query stisvc 2>/dev/null </dev/null | tr -d '\r' | awk '/STATE/ { print $3; exit }'
}
stisvc_start_type() {
    wine reg query 'HKLM\System\CurrentControlSet\Services\stisvc' /v Start 2>/dev/null </dev/null |
        tr -d '\r' | awk '/Start/ { print $3; exit }'
}
# wait_stisvc <state> [<start type>]: waits up to 90 s for both; false if they never come.
wait_stisvc() {
    local start=$SECONDS
    until [[ "$(stisvc_state)" == "$1" && ( -z "${2:-}" || "$(stisvc_start_type)" == "$2" ) ]]; do
        ((SECONDS - start >= 90)) && return 1
        sleep 0.3
    done
}

# plug_scanner <scenario> <report file> <log file> [stall limit ms]: starts the simulated
# scanner's host in the background (HOST_PID) and waits until a device is on the bus.
plug_scanner() {
    rm -f "$2"
    wine "$VELORA_HOST" "$1" "$(winepath -w "$2" 2>/dev/null)" ${4:+"$4"} >"$3" 2>&1 </dev/null &
    HOST_PID=$!
    STARTED_PIDS+=("$HOST_PID")
    # A minute: the host is a Wine process, slow to start while the machine is loaded.
    for _ in $(seq 600); do
        grep -qE '^present [1-9]' "$2" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "no scanner on the bus: $(cat "$3")"
}

reg_add() {
    wine reg add "$@" /f >>"$STATE_DIR/reg.log" 2>&1 || fail "reg add $*"
}

# use_dialog_font <face>: the dialog's font, "Microsoft Sans Serif", is not part of Wine;
# it is drawn with <face>, which gets Chinese and Korean glyphs from WenQuanYi. Wine's
# Tahoma has no Thai, and Wine does not look in linked fonts for Thai, so Thai needs a
# face with Thai glyphs of its own (Loma). Wine also rewrites Tahoma's links whenever a
# program starts with another OEM code page (LC_ALL=fr_CA.UTF-8 does that), which is why
# every start sets them again.
use_dialog_font() {
    local fonts='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
    reg_add "$fonts\\FontSubstitutes" /v 'Microsoft Sans Serif' /d "$1"
    reg_add "$fonts\\FontLink\\SystemLink" /v "$1" /t REG_MULTI_SZ \
        /d 'wqy-microhei.ttc,WenQuanYi Micro Hei'
}

# Programs started by this test; the exit trap ends those still running after a failure.
STARTED_PIDS=()
stop_started() {
    local pid
    for pid in "${STARTED_PIDS[@]}"; do
        kill -0 "$pid" 2>/dev/null && kill "$pid" 2>/dev/null
    done
    return 0
}
trap stop_started EXIT

# start_program [NAME=value...] <exe> [args...]: starts a Windows program in the background
# with those variables (LC_ALL=fr_CA.UTF-8 picks the user's language) and the dialog font
# DIALOG_FONT (Tahoma unless set); sets LAST_PID.
start_program() {
    local assignments=()
    while [[ $1 == *=* ]]; do
        assignments+=("$1")
        shift
    done
    use_dialog_font "${DIALOG_FONT:-Tahoma}"
    env "${assignments[@]}" wine "$@" >/dev/null 2>&1 </dev/null &
    LAST_PID=$!
    STARTED_PIDS+=("$LAST_PID")
}

# wait_exit <pid>: waits up to EXIT_TIMEOUT_S for the process to end; returns its exit code
# (124 on time-out).
wait_exit() {
    local pid=$1 waited=0
    while kill -0 "$pid" 2>/dev/null; do
        ((waited >= EXIT_TIMEOUT_S * 10)) && return 124
        sleep 0.1
        ((waited += 1))
    done
    wait "$pid"
}

# wait_window <caption> <pid>: waits for the program's window; on time-out says whether the
# program still runs and keeps a screenshot of what the desktop showed instead.
wait_window() {
    probe wait "$1" "$START_TIMEOUT_MS" && return 0
    local shot="$ARTIFACTS/$(basename "$0" .sh)-no-window.png"
    screenshot "$shot"
    if kill -0 "$2" 2>/dev/null; then
        fail "no window '$1' while the program runs; desktop in $shot"
    fi
    wait "$2"
    fail "no window '$1'; the program ended with exit code $?; desktop in $shot"
}

# screenshot <png>: the virtual desktop once it has stopped changing (painting may still
# be under way when a window has just appeared).
screenshot() {
    local previous="$1.previous.png"
    import -display "$DISPLAY" -window root -crop "$DESKTOP_SIZE+0+0" +repage "$1" || return 1
    for _ in $(seq 25); do
        sleep 0.2
        mv "$1" "$previous"
        import -display "$DISPLAY" -window root -crop "$DESKTOP_SIZE+0+0" +repage "$1" || return 1
        compare -metric AE "$1" "$previous" null: 2>/dev/null && break
    done
    rm -f "$previous"
}

# text_of <strings file> <id>: one message of a language source, escapes kept as written
# (winprobe escapes line feeds and backslashes the same way).
text_of() {
    awk -F'\t' -v id="$2" '$1 == id { print $2; exit }' "$1"
}

# expect_dump <caption> <expected lines>: waits until the window's controls are exactly as
# listed (the program's background work may still be changing them), up to
# SETTLE_TIMEOUT_S; shows the difference when they never are. A look that finds no window
# is looked again (on a loaded machine a winprobe start can fail), until the same limit.
SETTLE_TIMEOUT_S=60
expect_dump() {
    local actual start=$SECONDS found
    while :; do
        found=1
        actual=$(probe dump "$1") || found=0
        ((found)) && [[ "$actual" == "$2" ]] && return 0
        ((!found)) && echo "no window '$1' to dump at $((SECONDS - start)) s; looking again" >&2
        ((SECONDS - start >= SETTLE_TIMEOUT_S)) && break
        sleep 0.2
    done
    ((found)) || fail "no window '$1' to dump"
    diff <(echo "$2") <(echo "$actual") >&2
    fail "controls of '$1' differ from the expected ones (- expected, + shown)"
}
