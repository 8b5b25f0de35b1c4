#!/usr/bin/env bash
# coverage.sh [FUZZBUILD]: the lines of each fuzz target's reader that its
# corpus reaches. Builds the targets again with clang's source coverage in
# FUZZBUILD-cov, runs each once over the corpus run.sh left in FUZZBUILD
# (default build-fuzz) and prints, a target a line, the share of its reader's
# lines run. Installs llvm-14 (llvm-profdata, llvm-cov) when it is missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
fuzzbuild=$(realpath -m "${1:-build-fuzz}")
build=$fuzzbuild-cov

if ! command -v llvm-profdata-14 >/dev/null || ! command -v llvm-cov-14 >/dev/null; then
    root=(); [ "$(id -u)" -eq 0 ] || root=(sudo)
    "${root[@]}" apt-get update -qq
    "${root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends llvm-14
fi
cmake -S . -B "$build" -G Ninja -DFPDESK_WERROR=ON -DFPDESK_FUZZ=ON -DFPDESK_FUZZ_COVERAGE=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=Debug >/dev/null
nice -n 10 cmake --build "$build" --target fpdesk_fuzz -- -j"$(nproc)"

export TMPDIR=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
while read -r target reader; do
    corpus=()
    for dir in "$fuzzbuild/corpus/$target" "$fuzzbuild/fuzz/seeds/$target" \
        "$PWD/tests/fuzz/corpus/$target"; do
        [ -d "$dir" ] && corpus+=("$dir")
    done
    rm -f "$build/$target".prof*
    # -runs=0: every input of the corpus once, nothing new.
    LLVM_PROFILE_FILE="$build/$target.profraw" nice -n 10 "$build/fuzz/fuzz_$target" -runs=0 \
        "${corpus[@]}" >"$build/$target.log" 2>&1
    llvm-profdata-14 merge -sparse "$build/$target.profraw" -o "$build/$target.profdata"
    # shellcheck disable=SC2086 # the reader's files, one word each
    llvm-cov-14 report "$build/fuzz/fuzz_$target" -instr-profile="$build/$target.profdata" \
        $reader >"$build/$target.report"
    # The TOTAL row: lines, missed lines and their share are its 8th to 10th columns.
    awk -v target="$target" -v reader="$reader" '$1 == "TOTAL" {
        printf "coverage %-10s lines %7s (%d of %d) of %s\n", target, $10, $8 - $9, $8, reader }' \
        "$build/$target.report"
done <"$build/fuzz/targets"
