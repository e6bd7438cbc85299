#!/usr/bin/env bash
# "Clean And Shutdown" end to end. A shutdown request ends the session of every program of the
# prefix, so the scenario runs in a copy of the test prefix and is checked from out here: the
# Temp files are gone, the farewell window was seen, the program ended, and Wine was asked to
# end the session and shut down without forcing (its wineboot command line, from the trace).
set -euo pipefail
build="$1"
prefix="$build/shutdown-prefix"
log="$build/shutdown-prefix.log"
rm -rf "$prefix"
cp -a "$build/wineprefix" "$prefix"
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix"
temp="$prefix/drive_c/qm-shutdown-temp"
marker="$prefix/drive_c/qm-shutdown-marker.txt"
mkdir -p "$temp/nested"
touch "$temp/a.tmp" "$temp/b.tmp" "$temp/nested/c.tmp"

WINEDEBUG=trace+process timeout 200 wine "$build/bin/quillmere_e2e_tests.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='ShutdownPrefix.*' >"$log" 2>&1 </dev/null || true

status=0
fail() { echo "FAIL: $*"; status=1; }
grep -q "farewell seen" "$marker" 2>/dev/null || fail "farewell window not seen: $(cat "$marker" 2>/dev/null)"
grep -q "program ended" "$marker" 2>/dev/null || fail "the program did not end after the request"
request=$(grep -o 'cmdline L"[^"]*wineboot.exe --end-session[^"]*"' "$log" | head -1 || true)
[ -n "$request" ] || fail "no shutdown request reached the system"
case "$request" in *--shutdown*) ;; *) fail "the request was not a shutdown: $request" ;; esac
case "$request" in *--force* | *--kill*) fail "the request forced programs to end: $request" ;; esac
left=$(find "$temp" -type f | wc -l)
[ "$left" -eq 0 ] || fail "$left Temp files left"
[ -d "$temp" ] || fail "the Temp folder itself was removed"
if [ $status -eq 0 ]; then
    echo "shutdown_prefix: cleaned, farewell shown, shutdown requested without forcing: $request"
else
    grep -v ':trace:' "$log" | tail -40
fi
exit $status
