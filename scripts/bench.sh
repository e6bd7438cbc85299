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
qm_log "cookies.txt clean against Python and awk"
python3 "$QM_ROOT/bench/cookie_txt_bench.py" --timer "$QM_BUILD/bin/quillmere_cookie_txt_timing.exe" \
    --program "$QM_BUILD/bin/Quillmere.exe" || status=1
exit $status
