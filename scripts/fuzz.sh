#!/usr/bin/env bash
# Builds the parsers natively with clang, libFuzzer and the address and undefined-behaviour
# sanitizers (fuzz/CMakeLists.txt) and runs every fuzz target.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#                          fuzz each target (or those named) that long (default 60),
#                          keeping what it learns in build/fuzz/corpus/<target>
#   scripts/fuzz.sh --runs N [target...]
#                          each target N executions from its seeds and regression inputs
#                          only (what the tests run)
#
# Every input in fuzz/regressions/<target>/ is replayed first. A crash, leak, undefined
# behaviour or broken property stops with the input saved in build/fuzz/crashes/<target>/;
# once fixed, keep that input in fuzz/regressions/<target>/.
set -euo pipefail
source "$(dirname "$0")/common.sh"

mode=time
amount=60
case "${1:-}" in
    --runs) mode=runs; amount="${2:?--runs needs a number}"; shift 2 ;;
    "") ;;
    *) amount="$1"; shift ;;
esac
chosen=("$@")

qm_install_fuzzing
FUZZ_BUILD="$QM_BUILD/fuzz"
qm_log "building the fuzz targets in $FUZZ_BUILD"
CC=clang-14 CXX=clang++-14 cmake -S "$QM_ROOT/fuzz" -B "$FUZZ_BUILD" -G Ninja >/dev/null
cmake --build "$FUZZ_BUILD" >/dev/null

rm -rf "$FUZZ_BUILD/seeds"
"$FUZZ_BUILD/seed_writer" "$FUZZ_BUILD/seeds"

failed=()
while read -r target; do
    if [ ${#chosen[@]} -gt 0 ] && [[ " ${chosen[*]} " != *" $target "* ]]; then continue; fi
    regressions="$QM_ROOT/fuzz/regressions/$target"
    crashes="$FUZZ_BUILD/crashes/$target"
    mkdir -p "$regressions" "$crashes"
    if [ "$mode" = runs ]; then
        corpus="$FUZZ_BUILD/scratch/$target"   # thrown away: the tests learn nothing across runs
        rm -rf "$corpus"
        limits=(-runs="$amount")
    else
        corpus="$FUZZ_BUILD/corpus/$target"
        limits=(-max_total_time="$amount")
    fi
    mkdir -p "$corpus"
    log="$FUZZ_BUILD/$target.log"
    qm_log "fuzz_$target: ${limits[*]}"
    # One process on one core (no -jobs/-workers): the machine's cores are shared.
    if "$FUZZ_BUILD/fuzz_$target" "${limits[@]}" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$crashes/" -print_final_stats=1 \
        "$corpus" "$FUZZ_BUILD/seeds/$target" "$regressions" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^Done' "$log" | tr '\n' ' ' >&2 || true
        echo >&2
    else
        failed+=("$target")
        tail -n 40 "$log" >&2
    fi
done <"$FUZZ_BUILD/targets.txt"

if [ ${#failed[@]} -gt 0 ]; then
    qm_log "failed: ${failed[*]} (inputs in $FUZZ_BUILD/crashes/)"
    exit 1
fi
qm_log "every fuzz target passed"
