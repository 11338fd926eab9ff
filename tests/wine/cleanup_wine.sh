#!/bin/bash
# Ends what setup_wine.sh started: the wineserver (and with it every Wine process of the
# prefix) and the X server. Usage: cleanup_wine.sh <build dir>
source "$(dirname "$0")/wine_env.sh" "$1"
[[ -d "$WINEPREFIX" ]] && wineserver -k 2>/dev/null
if [[ -f "$STATE_DIR/xvfb.pid" ]]; then
    kill "$(cat "$STATE_DIR/xvfb.pid")" 2>/dev/null
    rm -f "$STATE_DIR/xvfb.pid" "$STATE_DIR/display"
fi
exit 0
