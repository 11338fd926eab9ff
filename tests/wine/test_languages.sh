#!/bin/bash
# The window's texts follow LANG_ID in the Settings.ini beside the program, and the user's
# language when LANG_ID is 0. The program is started from another working directory, so
# it has to find the file beside itself. Chinese (Hong Kong), 3076, has no table of its own
# and is written in traditional characters. Korean and Thai show that their fonts are linked;
# a screenshot of each language goes to <build>/artifacts.
# Usage: test_languages.sh <build dir> <source dir>
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"
STRINGS="$2/resources/strings"

# LANG_ID, the user's locale, the language source whose texts the window must show, and
# the face that draws the dialog font (see use_dialog_font).
cases=(
    "1028 C.UTF-8     zh-TW.txt Tahoma"
    "3076 C.UTF-8     zh-TW.txt Tahoma"
    "0    fr_CA.UTF-8 fr.txt    Tahoma"
    "1033 fr_CA.UTF-8 en-US.txt Tahoma"
    "1042 C.UTF-8     ko.txt    Tahoma"
    "1054 C.UTF-8     th.txt    Loma"
)

# The window's labels and buttons as the language source gives them.
expected_dump() {
    local texts=$1
    local title
    title=$(text_of "$texts" 258)
    printf '%s\n' \
        $'1025\tSysListView32\t1\t0\t' \
        $'1000\tButton\t1\t1\t'"$(text_of "$texts" 262)" \
        $'1144\tButton\t0\t1\t'"$(text_of "$texts" 263)" \
        $'2\tButton\t1\t1\t'"$(text_of "$texts" 264)" \
        $'1007\tStatic\t1\t1\t'"${title/\%s/0.3.61.0}" \
        $'1012\tStatic\t1\t1\t'"$(text_of "$texts" 259)" \
        $'1013\tStatic\t1\t1\t'"$(text_of "$texts" 246)" \
        $'1014\tStatic\t1\t1\t'"$(text_of "$texts" 260)" \
        $'1015\tStatic\t1\t1\t' \
        $'1016\tStatic\t1\t1\t'"$(text_of "$texts" 261)" \
        $'1017\tStatic\t1\t1\t'"$(text_of "$texts" 248)"
}

for case in "${cases[@]}"; do
    read -r lang_id locale source DIALOG_FONT <<<"$case"
    dir="$STATE_DIR/lang-$lang_id"
    rm -rf "$dir" && mkdir -p "$dir/elsewhere"
    cp "$FWUPDATE" "$dir/"
    printf '[Development]\r\nLANG_ID=%s\r\n' "$lang_id" >"$dir/Settings.ini"

    caption=$(text_of "$STRINGS/$source" 257)
    cd "$dir/elsewhere" || fail "no $dir/elsewhere"
    start_program LC_ALL="$locale" "$dir/FWUpdate.exe"
    pid=$LAST_PID
    echo "LANG_ID=$lang_id with $locale: expecting $source"
    wait_window "$caption" "$pid"
    expect_dump "$caption" "$(expected_dump "$STRINGS/$source")"
    screenshot "$ARTIFACTS/dialog-${source%.txt}.png" || fail "no screenshot"
    probe click "$caption" 2 || fail "cannot click Close"
    wait_exit "$pid" || fail "LANG_ID=$lang_id: program did not end after Close"
done
