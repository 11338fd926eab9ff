#!/bin/bash
# Figures, not a pass mark: the wall time of the 26,214,400-byte image write through the
# test still-image driver, by a bare Win32 writer and by the tool's own link, each against a
# freshly plugged scanner, three rounds. Fails only when a transfer fails.
# Usage: bench_transfer.sh <build dir>; the figures also go to artifacts/transfer-bench.txt.
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"
BENCH="$BRIDGE_DIR/transfer_bench.exe"
IMAGE="$BUILD_DIR/images/image507.bin"
OUT="$ARTIFACTS/transfer-bench.txt"
REPORT="$STATE_DIR/bench.report"

unplug() {
    kill "$HOST_PID" 2>/dev/null
    wait "$HOST_PID" 2>/dev/null
    # The driver drops the links once the host's handles are closed.
    for _ in $(seq 100); do
        [[ "$(wine "$BARE_CLIENT" status 2>/dev/null)" == "open failed"* ]] && return 0
        sleep 0.1
    done
}

declare -A times
for round in 1 2 3; do
    for way in bare tool; do
        plug_scanner normal "$REPORT" "$STATE_DIR/host-bench.log"
        line=$(wine "$BENCH" "$way" "$(winepath -w "$IMAGE" 2>/dev/null)" 0x0004 | tr -d '\r')
        unplug
        read -r name bytes ms <<<"$line"
        [[ $name == "$way" ]] || fail "$way transfer failed: $line"
        times[$way]+="$ms "
        grep -q "^image 0x0004 $bytes $bytes 1 1 " "$REPORT" ||
            fail "$way: the scanner did not get the image whole: $(grep '^image' "$REPORT")"
    done
done
{
    echo "image write of $(stat -c %s "$IMAGE") bytes through the test driver (ms, 3 rounds):"
    for way in bare tool; do
        median=$(tr ' ' '\n' <<<"${times[$way]}" | grep . | sort -n | sed -n 2p)
        printf '  %-4s %s  median %s\n' "$way" "${times[$way]}" "$median"
    done
} | tee "$OUT"
