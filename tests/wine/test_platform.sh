#!/bin/bash
# Runs win32_platform_test.exe on the fixture's display; its text output must reach this
# redirect as UTF-8. Usage: test_platform.sh <build dir> <win32_platform_test.exe>
set -uo pipefail
source "$(dirname "$0")/wine_env.sh" "$1"

output=$(wine "$2" </dev/null 2>/dev/null)
code=$?
echo "$output"
[[ $code -eq 0 ]] || fail "platform checks failed (exit $code)"
grep -qxF "done: Łódź 中文" <<<"$output" || fail "console text did not arrive as UTF-8"
