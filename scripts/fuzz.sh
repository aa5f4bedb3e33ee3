#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, in build-fuzz/) and runs each for a
# given time, lowest priority, within a memory cap. Each run works on its own
# copy of the committed seed corpus; findings land in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   default 20 seconds, every target
# FUZZ_KEEP_GOING=1 keeps a run going after a finding (libFuzzer fork mode);
# FUZZ_RUNS=N ends each run after N inputs if that comes first.
# Exit status 1 when any run found a crash, leak, timeout or memory blow-up.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${1:-20}
shift || true
BUILD=build-fuzz
RSS_MB=${FUZZ_RSS_MB:-2048}
MALLOC_MB=${FUZZ_MALLOC_MB:-1024}

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DTESSEL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 19 cmake --build "$BUILD" -j 2 --target fuzz_targets >/dev/null

TARGETS=("$@")
if ((${#TARGETS[@]} == 0)); then
    for seeds in tests/fuzz/corpus/*/; do TARGETS+=("$(basename "$seeds")"); done
fi

EXTRA=()
if [[ "${FUZZ_KEEP_GOING:-0}" == 1 ]]; then
    EXTRA+=(-fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1)
fi
if [[ -n "${FUZZ_RUNS:-}" ]]; then EXTRA+=(-runs="$FUZZ_RUNS"); fi

# Longest input tried: text parsers stay quick on short inputs, decoders
# need room for a real stream.
max_len() {
    case "$1" in
        ogg_decode_fuzz) echo 16384 ;;
        image_fuzz) echo 4096 ;;
        track_file_fuzz) echo 1024 ;;
        *) echo 512 ;;
    esac
}

# Leaks inside system libraries that cannot be mended here.
export LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

failed=0
for target in "${TARGETS[@]}"; do
    corpus="$BUILD/corpus/$target"
    artifacts="$BUILD/artifacts/$target"
    log="$BUILD/logs/$target.log"
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    cp -n tests/fuzz/corpus/"$target"/* "$corpus"/
    echo "== $target: ${SECONDS_EACH}s (log: $log)"
    if ! nice -n 19 "$BUILD/tests/fuzz/$target" "$corpus" -max_total_time="$SECONDS_EACH" \
            -rss_limit_mb="$RSS_MB" -malloc_limit_mb="$MALLOC_MB" -timeout=25 -max_len="$(max_len "$target")" -print_final_stats=1 \
            -artifact_prefix="$artifacts/" "${EXTRA[@]}" >"$log" 2>&1; then
        echo "   FOUND something: see $log and $artifacts/"
        grep -E -A 12 "ERROR|runtime error|deadly signal" "$log" | head -n 40 | sed 's/^/   | /' || true
        failed=1
    fi
    grep -E "^#[0-9]+.*(DONE|pulse|NEW)" "$log" | tail -n 1 | sed 's/^/   /' || true
    grep -E "stat::number_of_executed_units" "$log" | sed 's/^/   /' || true
    # A slow unit is only noted (a busy machine makes them); crashes, leaks,
    # out-of-memory and time-outs are findings.
    if find "$artifacts" -maxdepth 1 -type f ! -name 'slow-unit-*' | grep -q .; then
        failed=1; echo "   artifacts: $(ls "$artifacts" | tr '\n' ' ')"
    fi
done
exit $failed
