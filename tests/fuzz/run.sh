#!/usr/bin/env bash
# run.sh BUILD SECONDS [OPTION...]: builds the fuzz targets in BUILD (clang 14,
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) and runs each,
# one at a time, for SECONDS over its corpus: the seeds the build writes,
# tests/fuzz/corpus/<target>/ and what earlier runs kept in BUILD/corpus/<target>/.
# OPTIONs go to every target as they are (-runs=N). One line a target; exits 1
# when any found a crash, a leak or a timeout, whose input is then kept as
# BUILD/fuzz-failures/<target>-crash-<sha1> (or -leak-, -timeout-, -oom-).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(realpath -m "$1")
seconds=$2
shift 2

cmake -S . -B "$build" -G Ninja -DFPDESK_WERROR=ON -DFPDESK_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug >/dev/null
nice -n 10 cmake --build "$build" --target fpdesk_fuzz -- -j"$(nproc)"

# The readers that take a path are given files in a private folder under
# $TMPDIR: in memory they cost a tenth of what a disk's file system asks,
# which flushes a file rewritten in place when it is closed. A target that
# fails leaves its folder behind; this one takes them all away.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    TMPDIR=/dev/shm
fi
TMPDIR=$(mktemp -d "${TMPDIR:-/tmp}/fpdesk-fuzz-run.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT
failures=$build/fuzz-failures
mkdir -p "$failures"
status=0
while read -r target _; do
    corpus=("$build/corpus/$target" "$build/fuzz/seeds/$target")
    mkdir -p "${corpus[0]}"
    [ -d "tests/fuzz/corpus/$target" ] && corpus+=("$PWD/tests/fuzz/corpus/$target")
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$failures/$target-")
    [ -f "tests/fuzz/$target.dict" ] && options+=(-dict="$PWD/tests/fuzz/$target.dict")
    log=$build/fuzz/$target.log
    # The paths are absolute: the control target works in a folder of its own.
    if nice -n 10 "$build/fuzz/fuzz_$target" "${options[@]}" "$@" "${corpus[@]}" </dev/null >"$log" 2>&1; then
        result=passed
    else
        why=$(grep -m1 -o 'ERROR: .*\|broken: .*' "$log" || echo 'see the log')
        kept=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n1 || true)
        result="FAILED: $why; input ${kept:-not kept}; log $log"
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n1 || true)
    printf 'fuzz %-10s %10s runs %8s exec/s  %-20s %s\n' "$target" "${runs:-?}" "${speed:-?}" \
        "${coverage:-cov: ? ft: ?}" "$result"
done <"$build/fuzz/targets"
exit $status
