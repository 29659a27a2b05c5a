#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) and runs each for a while, starting from
# the committed seed corpus; prints one line of figures per target. New inputs stay in
# build/fuzz/corpus/<target>; anything that crashed, leaked or hung is saved in
# build/fuzz/findings/<target>/ and the script fails.
#
#   bash scripts/fuzz.sh [-t SECONDS] [-j PARALLEL] [TARGET...]   (default: 60 s, 1 at a time, all)
#   bash scripts/fuzz.sh --seeds      rewrites the generated seeds in tests/fuzz/corpus
#
# Targets: frame_reader reply_decoder identification session command_line decimal_text
#          discovery_replies profile_reader
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(frame_reader reply_decoder identification session command_line decimal_text
    discovery_replies profile_reader)
seconds=60
parallel=1
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        -t) seconds=$2; shift 2 ;;
        -j) parallel=$2; shift 2 ;;
        --seeds)
            bash scripts/setup.sh
            cmake --preset default >/dev/null
            cmake --build --preset default --target mervane-fuzz-seeds
            # Rewrites the seeds it makes; seeds kept by hand (findings, search replies) stay.
            build/default/tests/fuzz/mervane-fuzz-seeds tests/fuzz/corpus
            find tests/fuzz/corpus -type f | wc -l | xargs printf 'the corpus holds %s seeds\n'
            exit 0 ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) targets+=("$1"); shift ;;
    esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")

bash scripts/setup.sh clang-14 libclang-rt-14-dev
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

out=build/fuzz
# Memory must stay bounded by the input, which is a few kilobytes: no single allocation may pass
# 64 MiB (-malloc_limit_mb), and the process may not grow past 1 GiB (-rss_limit_mb). The RSS
# limit sits well above what AddressSanitizer holds on its own: it keeps freed memory in a
# quarantine (256 MiB by default, here 32 MiB) and caches in its allocator, so a healthy target
# levels off at a few hundred MiB whatever it is fed.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32}
run_one() {
    local t=$1 work=$out/corpus/$1 findings=$out/findings/$1
    mkdir -p "$work" "$findings"
    # -timeout: one input may take a second at most.
    "$out/tests/fuzz/fuzz_$t" "$work" tests/fuzz/corpus/"$t" \
        -max_total_time="$seconds" -timeout=1 -malloc_limit_mb=64 -rss_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$findings/" >"$out/logs/$t.log" 2>&1
}

mkdir -p "$out/logs"
failed=0
pids=()
names=()
for t in "${targets[@]}"; do
    run_one "$t" &
    pids+=($!)
    names+=("$t")
    if [ ${#pids[@]} -ge "$parallel" ]; then
        wait "${pids[0]}" || failed=1
        pids=("${pids[@]:1}")
    fi
done
for p in "${pids[@]}"; do wait "$p" || failed=1; done

printf '%-16s %8s %12s %9s %6s %7s %7s %9s %8s\n' target seconds executions exec/s cov features \
    corpus "peak MiB" findings
for t in "${names[@]}"; do
    log=$out/logs/$t.log
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
    found=$(find "$out/findings/$t" -type f | wc -l)
    printf '%-16s %8s %12s %9s %6s %7s %7s %9s %8s\n' "$t" "$seconds" "${execs:-?}" "${rate:-?}" \
        "${cov:-?}" "${ft:-?}" "${corp:-?}" "${peak:-?}" "$found"
    [ "$found" -eq 0 ] || failed=1
done
[ "$failed" -eq 0 ] || { echo "fuzz: findings or failures, see $out/logs and $out/findings" >&2; exit 1; }
