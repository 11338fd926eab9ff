#!/bin/bash
# Fixture of the Wine tests: a fresh Wine prefix in the build tree, an X display of our
# own, and one wineserver kept alive for the whole run. Usage: setup_wine.sh <build dir>
set -euo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"

# Leftovers of an earlier run that did not clean up.
bash "$(dirname "$0")/cleanup_wine.sh" "$BUILD_DIR"
rm -rf "$WINEPREFIX" "$STATE_DIR"
mkdir -p "$STATE_DIR" "$ARTIFACTS"

# Xvfb picks a free display and writes its number to fd 3. It must not hold the test's
# output pipes, or CTest waits for it.
setsid Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
    3>"$STATE_DIR/display" >"$STATE_DIR/xvfb.log" 2>&1 </dev/null &
echo $! >"$STATE_DIR/xvfb.pid"
for _ in $(seq 300); do
    [[ -s "$STATE_DIR/display" ]] && break
    sleep 0.1
done
[[ -s "$STATE_DIR/display" ]] || fail "Xvfb did not start: $(cat "$STATE_DIR/xvfb.log")"
export DISPLAY=":$(cat "$STATE_DIR/display")"

wine wineboot --init >"$STATE_DIR/wineboot.log" 2>&1

# A crashing program ends instead of waiting for someone to close the crash dialog.
reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
# One virtual desktop for all programs: windows get their title bars, and winprobe sees
# them on the same desktop.
reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$DESKTOP_SIZE"
# Debian's Wine does not load the Tahoma that fonts-wine installs; a copy in the prefix's
# font folder is found.
cp /usr/share/wine/fonts/tahoma*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" ||
    fail "no Tahoma from fonts-wine"

# The desktop process that wineboot started knows nothing of the virtual desktop: let it
# end with the first server, then keep one server alive for the whole run (without it
# every program start pays for a new server).
wineserver -w
wineserver -p >"$STATE_DIR/wineserver.log" 2>&1 </dev/null

# The test still-image driver, started with the service manager like a real one (a
# demand-started driver would end with the server between programs). Its devices stay off
# the bus until a test's host plugs a simulated scanner.
cp "$BRIDGE_DIR/$BRIDGE_DRIVER.sys" "$WINEPREFIX/drive_c/windows/system32/drivers/" ||
    fail "no driver $BRIDGE_DIR/$BRIDGE_DRIVER.sys"
wine sc create "$BRIDGE_DRIVER" type= kernel start= auto \
    binPath= "C:\\windows\\system32\\drivers\\$BRIDGE_DRIVER.sys" >>"$STATE_DIR/sc.log" 2>&1 ||
    fail "cannot register the driver: $(cat "$STATE_DIR/sc.log")"
timeout 60 wine sc start "$BRIDGE_DRIVER" >>"$STATE_DIR/sc.log" 2>&1
wine sc query "$BRIDGE_DRIVER" 2>&1 | tr -d '\r' | grep -q 'STATE *: 4' ||
    fail "the driver does not run: $(cat "$STATE_DIR/sc.log")"
echo "Wine prefix $WINEPREFIX ready on display $DISPLAY"
