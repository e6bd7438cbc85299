#!/usr/bin/env bash
# Sets up what is missing, builds (as scripts/test.sh does), and runs every benchmark
# executable (bin/quillmere_*bench*.exe) under Wine in the private prefix; each builds
# its own fixtures in the prefix and prints its times and the ratios against its peers.
#
#   scripts/bench.sh [benchmark arguments...]
#
# The arguments go to every benchmark. Those of quillmere_delete_bench.exe:
#   --files N    files per tree (default 20000)
#   --folders N  cache folders per tree (default 50)
#   --large      also run the 100,000-file variant (takes a few minutes)
# Then bench/cookie_txt_bench.py times the whole cookies.txt clean through "Quillmere.exe auto"
# (start-up subtracted) of a 200,000- and a 1,000,000-line file against awk (run natively),
# with its parts against Python's http.cookiejar and the floor.
# Release build by default (QM_BUILD_TYPE overrides); QM_BUILD chooses the build folder.
set -euo pipefail
source "$(dirname "$0")/common.sh"
qm_install_missing
qm_build
qm_wine_env persistent
qm_display  # "auto" loads its (hidden) main window

shopt -s nullglob
benchmarks=("$QM_BUILD"/bin/quillmere_*bench*.exe)
if [ ${#benchmarks[@]} -eq 0 ]; then
    qm_log "no benchmark executables in $QM_BUILD/bin"
    exit 1
fi
status=0
for benchmark in "${benchmarks[@]}"; do
    qm_log "$(basename "$benchmark")"
    wine "$benchmark" "$@" || status=1
done
# The resident program idle, against Notepad started the same way: resident memory (VmRSS of
# the Wine process) 10 s after start, and the clock ticks of CPU it uses in the next 10 s.
idle_sample() {  # name, Windows command...; prints "VmRSS-kB ticks"
    local name="$1"; shift
    wine "$@" >/dev/null 2>&1 &
    local pid="" tries
    for tries in $(seq 1 100); do
        # The program itself, whose command line starts with its path (Windows or Unix): not
        # start.exe, whose command line names it further on.
        pid=$(pgrep -n -f "(^|[\\\\/])$name( |\$)" || true)
        [ -n "$pid" ] && break
        sleep 0.1
    done
    sleep 10
    local rss ticks_before ticks_after
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
    ticks_before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep 10
    ticks_after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    kill "$pid" 2>/dev/null || true
    wait 2>/dev/null || true
    echo "$rss $((ticks_after - ticks_before))"
}
qm_log "resident program idle against Notepad"
wine reg add 'HKCU\Software\Dorvik Software\Quillmere' /v FirstRun /d No /f >/dev/null 2>&1
read -r ours_rss ours_ticks < <(idle_sample "Quillmere.exe" "$QM_BUILD/bin/Quillmere.exe")
read -r notepad_rss notepad_ticks < <(idle_sample "notepad.exe" notepad.exe)
wine reg delete 'HKCU\Software\Dorvik Software' /f >/dev/null 2>&1 || true
awk -v o="$ours_rss" -v n="$notepad_rss" -v ot="$ours_ticks" -v nt="$notepad_ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN {
    printf "idle resident program: VmRSS %d kB, Notepad %d kB, ratio %.2f (target at most 1.00)\n", o, n, o / n
    printf "idle CPU in 10 s: %d clock ticks (1/%d s; target at most 1), Notepad %d\n", ot, hz, nt
    if (o > n || ot > 1) exit 1
}' || status=1

qm_log "cookies.txt clean against Python and awk"
python3 "$QM_ROOT/bench/cookie_txt_bench.py" --timer "$QM_BUILD/bin/quillmere_cookie_txt_timing.exe" \
    --program "$QM_BUILD/bin/Quillmere.exe" || status=1
exit $status
