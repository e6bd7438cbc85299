#!/usr/bin/env bash
# "Clean And Shutdown" end to end. Under Wine a shutdown request ends every program of the
# prefix, so the scenario runs in a copy of the test prefix and is checked from out here:
# the Temp files are gone, the farewell window was seen, and nothing of the prefix is left.
set -euo pipefail
build="$1"
prefix="$build/shutdown-prefix"
rm -rf "$prefix"
cp -a "$build/wineprefix" "$prefix"
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
export WINEPREFIX="$prefix"
temp="$prefix/drive_c/qm-shutdown-temp"
marker="$prefix/drive_c/qm-shutdown-marker.txt"
mkdir -p "$temp/nested"
touch "$temp/a.tmp" "$temp/b.tmp" "$temp/nested/c.tmp"

wine "$build/bin/quillmere_e2e_tests.exe" --gtest_also_run_disabled_tests \
    --gtest_filter='ShutdownPrefix.*' >"$build/shutdown-prefix.log" 2>&1 </dev/null &
inner=$!
# The request ends the inner test and the program; give the clean and the farewell time.
if ! timeout 150 wineserver -w; then
    echo "FAIL: programs of the private prefix still running"; cat "$build/shutdown-prefix.log"; exit 1
fi
wait "$inner" || true

status=0
grep -q "farewell seen" "$marker" 2>/dev/null || { echo "FAIL: farewell window not seen: $(cat "$marker" 2>/dev/null)"; status=1; }
[ -e "$marker.late" ] && { echo "FAIL: $(cat "$marker.late")"; status=1; }
left=$(find "$temp" -type f | wc -l)
[ "$left" -eq 0 ] || { echo "FAIL: $left Temp files left"; status=1; }
[ -d "$temp" ] || { echo "FAIL: the Temp folder itself was removed"; status=1; }
if grep -q "PASSED\|FAILED" "$build/shutdown-prefix.log"; then
    echo "FAIL: the inner test ran to its end instead of being ended by the request"; status=1
fi
[ $status -eq 0 ] && echo "shutdown_prefix: cleaned, farewell shown, prefix ended"
[ $status -ne 0 ] && cat "$build/shutdown-prefix.log"
exit $status
