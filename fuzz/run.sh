#!/bin/sh
# Runs every fuzz harness of a build for SECONDS each, one process each
# (-jobs are left to the caller), two at a time, with low priority. The
# working corpora and anything found stay under fuzz/findings/ (never
# committed); a finding worth keeping is copied by hand to corpus/<harness>/,
# which the regression test replays.
# Usage: fuzz/run.sh BUILD_DIR SECONDS [HARNESS...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$1 seconds=$2
shift 2
[ $# -gt 0 ] || set -- open_package run_sql commit_package generate_transform apply_transform
findings=$here/findings
[ -d "$findings/seeds" ] || MSI_TRANSFORM=${MSI_TRANSFORM:-$build/msi-transform/msi-transform} \
    "$here/make-seeds.sh" "$findings/seeds" >/dev/null

run_one() {
    harness=$1
    dir=$findings/$harness
    mkdir -p "$dir/corpus" "$dir/artifacts"
    if [ "$harness" = run_sql ]; then
        seeds=$findings/seeds/sql extra="-dict=$here/sql.dict -max_len=131072"
    elif [ "$harness" = apply_transform ]; then
        seeds=$findings/seeds/transforms extra="-max_len=16384"
    else
        seeds=$findings/seeds/packages extra="-max_len=16384"
    fi
    saved=
    [ -d "$here/corpus/$harness" ] && saved=$here/corpus/$harness
    # Inputs stay small, so an allocation past 256 MB can only come from a
    # size read from the file and never checked.
    nice -n 10 "$build/fuzz/${harness}_fuzzer" "$dir/corpus" "$seeds" $saved \
        -max_total_time="$seconds" -timeout=20 -report_slow_units=60 -rss_limit_mb=1024 -malloc_limit_mb=256 \
        -artifact_prefix="$dir/artifacts/" -print_final_stats=1 $extra > "$dir/log.txt" 2>&1 || true
    echo "$harness: $(grep -E 'stat::number_of_executed_units' "$dir/log.txt" | tail -1)" \
         "artifacts: $(ls "$dir/artifacts" | wc -l)"
}

while [ $# -gt 0 ]; do
    run_one "$1" &
    if [ $# -gt 1 ]; then run_one "$2" & shift; fi
    shift
    wait
done
