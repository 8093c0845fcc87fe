#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ and runs each for SECONDS (default 60): first over
# its saved regressions, then fuzzing from its seed corpus. One summary line per target; the exit
# status is non-zero when any target found a crash, leak, timeout, oversized allocation or
# oracle mismatch. See fuzz/README.md.
#
#   fuzz/run-fuzz.sh [SECONDS]
#   CM3D_FUZZ_BUILD_DIR=/path  another build folder
#   CM3D_FUZZ_TARGETS="fuzz_renderer"  only some targets
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="${CM3D_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
DURATION="${1:-60}"
read -r -a TARGETS <<<"${CM3D_FUZZ_TARGETS:-fuzz_recording_json fuzz_renderer fuzz_number_entry}"

SANITIZE="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
# Mesa's software driver, preloaded so that it stays mapped at exit: Debian ships it stripped,
# and the leak suppression for its selection buffers can only name it by module.
MESA_DRIVER=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so

log() { echo "[fuzz] $*" >&2; }

if ! [[ "$DURATION" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: fuzz/run-fuzz.sh [SECONDS]   (SECONDS per target, a positive integer)" >&2
    exit 2
fi

# ./run fuzz installs clang and libclang-rt-dev (libFuzzer) with the build's packages.
if ! command -v clang++ >/dev/null || ! clang++ -print-file-name=libclang_rt.fuzzer-x86_64.a |
    grep -q /; then
    log "clang with libFuzzer is missing: ./run fuzz installs it (Debian: clang libclang-rt-dev)"
    exit 1
fi

if [ ! -f "$BUILD/build.ninja" ]; then
    log "configuring in $BUILD"
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_C_FLAGS="$SANITIZE" -DCMAKE_CXX_FLAGS="$SANITIZE" \
        -DCM3D_BUILD_TESTS=OFF -DCM3D_BUILD_BENCH=OFF -DCM3D_FUZZ=ON >/dev/null
fi
log "building ${TARGETS[*]}"
# Two jobs: the machine has two cores and is shared.
cmake --build "$BUILD" -j 2 --target "${TARGETS[@]}"

export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitizer/lsan.supp:print_suppressions=0"
LIMITS=(-rss_limit_mb=2048 -timeout=10 -malloc_limit_mb=1024)

# Names what went wrong in a libFuzzer log.
verdict() {
    local logfile=$1
    if grep -q 'ERROR: LeakSanitizer' "$logfile"; then echo "LEAK"
    elif grep -q 'ERROR: libFuzzer: timeout' "$logfile"; then echo "TIMEOUT"
    elif grep -q 'ERROR: libFuzzer: out-of-memory' "$logfile"; then echo "OUT-OF-MEMORY"
    elif grep -q 'runtime error:' "$logfile"; then echo "UNDEFINED-BEHAVIOUR"
    elif grep -q 'ERROR: AddressSanitizer' "$logfile"; then echo "MEMORY-ERROR"
    elif grep -qE '^fuzz_[a-z_]+: ' "$logfile"; then echo "CHECK-FAILED"
    else echo "CRASH"
    fi
}

failed=0
summaries=()
for target in "${TARGETS[@]}"; do
    binary="$BUILD/fuzz/$target"
    work="$BUILD/fuzz-work/$target"
    corpus="$work/corpus"
    artifacts="$work/artifacts"
    rm -rf "$work"
    mkdir -p "$corpus" "$artifacts" "$work/tmp"
    cp "$ROOT/fuzz/corpus/$target/"* "$corpus/"
    extra=()
    [ "$target" = fuzz_recording_json ] && extra+=(-dict="$ROOT/fuzz/recording_json.dict")
    preload=""
    [ "$target" = fuzz_renderer ] && preload="$MESA_DRIVER"
    run() {
        TMPDIR="$work/tmp" LD_PRELOAD="$preload" "$binary" "${LIMITS[@]}" \
            -artifact_prefix="$artifacts/" "$@"
    }

    regressions="$ROOT/fuzz/regressions/$target"
    if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
        count=$(find "$regressions" -maxdepth 1 -type f | wc -l)
        if run "$regressions"/* >"$work/regressions.log" 2>&1; then
            summaries+=("$target regressions: $count inputs, ok")
        else
            summaries+=("$target regressions: $count inputs, $(verdict "$work/regressions.log") (log: $work/regressions.log)")
            failed=1
        fi
    fi

    log "fuzzing $target for $DURATION s"
    status=0
    run -max_total_time="$DURATION" -print_final_stats=1 "${extra[@]}" "$corpus" \
        >"$work/fuzz.log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log" | tail -n 1)
    coverage=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$work/fuzz.log" | tail -n 1)
    size=$(find "$corpus" -type f | wc -l)
    if [ "$status" -eq 0 ]; then
        result="ok"
    else
        unit=$(sed -n 's/.*Test unit written to //p' "$work/fuzz.log" | tail -n 1)
        result="$(verdict "$work/fuzz.log") ${unit:-"(no input saved)"} (log: $work/fuzz.log)"
        failed=1
    fi
    summaries+=("$target: ${execs:-?} executions, corpus $size inputs, ${coverage:-cov: ?}, $result")
done

printf '%s\n' "${summaries[@]}"
exit "$failed"
