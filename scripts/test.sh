#!/usr/bin/env bash
# Builds ZUTA and runs every check of CI, in this order:
#   deps    the Debian packages and the test locale (scripts/install-deps.sh)
#   format  every C++ source as clang-format writes it (scripts/check-format.sh)
#   layers  no include of a higher layer, no Qt outside the windowed code (scripts/check-layers.sh)
#   ci      optimised build with warnings as errors, benchmarks built, all unit tests
#   asan    address + undefined-behaviour sanitizer build, all unit tests
#   tsan    thread sanitizer build of the test programs labelled "threaded" (zuta_test(... LABELS
#           threaded)), their tests only
#   fuzz    every libFuzzer target, each run for a bounded time on a copy of its seed corpus
# A failed stage does not stop the later ones; the summary at the end lists every stage and the
# script exits non-zero when any failed.
#
# Environment:
#   ZUTA_STAGES        stages to run (default "format layers ci asan tsan fuzz"; deps always runs
#                      first)
#   ZUTA_SKIP_DEPS=1   do not check or install packages
#   ZUTA_BUILD_ROOT    folder of the build trees (default build, inside the repository)
#   ZUTA_JOBS          parallel compile jobs (default 2)
#   ZUTA_CTEST_JOBS    tests run at once (default 1, so no two tests compete for ports or files)
#   ZUTA_TSAN_LABEL    CTest label of the test programs run under tsan (default threaded)
#   ZUTA_FUZZ_RUNS     inputs each fuzz target runs (default 500000)
#   ZUTA_FUZZ_SECONDS  longest run time of each fuzz target, whatever it ran by then (default 100)
#   ZUTA_FUZZ_JOBS     fuzz targets run at once (default 2)
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo" || exit 1

stages=${ZUTA_STAGES:-format layers ci asan tsan fuzz}
build_root=${ZUTA_BUILD_ROOT:-build}
jobs=${ZUTA_JOBS:-2}
ctest_jobs=${ZUTA_CTEST_JOBS:-1}
tsan_label=${ZUTA_TSAN_LABEL:-threaded}
fuzz_runs=${ZUTA_FUZZ_RUNS:-500000}
fuzz_seconds=${ZUTA_FUZZ_SECONDS:-100}
fuzz_jobs=${ZUTA_FUZZ_JOBS:-2}

mkdir -p "$build_root"
build_root=$(cd "$build_root" && pwd)
logs="$build_root/logs"
mkdir -p "$logs"

script_start=$SECONDS
summary=()
passed=0
failed=0

say() { printf '\n==== %s ====\n' "$*"; }

# record STAGE STATUS DETAIL: one line of the closing summary.
record() {
    local stage=$1 status=$2 detail=$3
    summary+=("$(printf '%-6s %-7s %s' "$stage" "$status" "$detail")")
    if [[ $status == FAILED ]]; then
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
}

# note TEXT: a line of the summary under the stage recorded last, counted in no total.
note() { summary+=("$(printf '%-6s %-7s %s' '' '' "$1")"); }

# Sanitizer reports: symbolized, with stacks, and fatal.
symbolizer=$(command -v llvm-symbolizer || command -v llvm-symbolizer-14 || true)
if [[ -n $symbolizer ]]; then
    export ASAN_SYMBOLIZER_PATH=$symbolizer
    export TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS:}external_symbolizer_path=$symbolizer"
fi
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$repo/scripts/lsan-suppressions.txt:print_suppressions=0"
export TSAN_OPTIONS="${TSAN_OPTIONS:+$TSAN_OPTIONS:}halt_on_error=1:second_deadlock_stack=1:suppressions=$repo/scripts/tsan-suppressions.txt"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# configure PRESET DIR [cmake args...]; build DIR [targets...]: output goes to a log, whose tail
# is shown when the step fails.
configure() {
    local preset=$1 dir=$2
    shift 2
    local log="$logs/$preset-configure.log"
    if ! cmake --preset "$preset" -B "$dir" "$@" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "configure of $preset failed (full log: $log)"
        return 1
    fi
}

build() {
    local dir=$1
    shift
    local name
    name=$(basename "$dir")
    local log="$logs/$name-build.log"
    local targets=()
    if (($# > 0)); then
        targets=(--target "$@")
    fi
    echo "building $name${targets:+ (${*})} with $jobs jobs; log: $log"
    if ! cmake --build "$dir" --parallel "$jobs" "${targets[@]}" >"$log" 2>&1; then
        grep -E -B2 -A12 'error|FAILED' "$log" | head -n 120
        echo "build of $name failed (full log: $log)"
        return 1
    fi
}

# run_ctest DIR LOG [ctest args...]: runs the tests, prints their output and ctest's result line.
# Finding no test at all is a failure.
run_ctest() {
    local dir=$1 log=$2
    shift 2
    ctest --test-dir "$dir" --output-on-failure --timeout 300 --parallel "$ctest_jobs" \
        --no-tests=error "$@" 2>&1 | tee "$log"
    return "${PIPESTATUS[0]}"
}

# ctest's result line, with the number of skipped tests when there are any.
ctest_result() {
    local result skipped
    result=$(grep -E 'tests passed|No tests were found' "$1" | tail -n 1)
    skipped=$(grep -c '(Skipped)$' "$1")
    if ((skipped > 0)); then
        result+=", $skipped skipped"
    fi
    echo "${result:-no ctest result}"
}

# stage_check NAME SCRIPT: one of the source checks; its first output line is the summary detail.
stage_check() {
    local name=$1 script=$2
    local log="$logs/$name.log"
    say "$name: $script"
    if bash "$repo/$script" >"$log" 2>&1; then
        cat "$log"
        record "$name" passed "$(head -n 1 "$log")"
    else
        cat "$log"
        record "$name" FAILED "$(head -n 1 "$log") (list: $log)"
    fi
}

stage_tests() {
    local stage=$1
    local dir="$build_root/$stage"
    local start=$SECONDS
    say "$stage: configure, build and run the unit tests"
    if ! configure "$stage" "$dir" || ! build "$dir"; then
        record "$stage" FAILED "build failed ($((SECONDS - start)) s)"
        return
    fi
    local log="$logs/$stage-ctest.log"
    if run_ctest "$dir" "$log"; then
        record "$stage" passed "$(ctest_result "$log") ($((SECONDS - start)) s)"
    else
        record "$stage" FAILED "$(ctest_result "$log") ($((SECONDS - start)) s)"
    fi
}

stage_tsan() {
    local dir="$build_root/tsan"
    local start=$SECONDS
    say "tsan: the test programs labelled '$tsan_label' under ThreadSanitizer"
    configure tsan "$dir" || {
        record tsan FAILED "configure failed"
        return
    }
    # The configure lists the programs carrying the label; only those are built.
    local list="$dir/tests/programs-$tsan_label.txt" targets=()
    if [[ -f $list ]]; then
        mapfile -t targets < <(grep -v '^$' "$list")
    fi
    if ((${#targets[@]} == 0)); then
        echo "no test program carries the label '$tsan_label'"
        record tsan FAILED "no test program labelled '$tsan_label'"
        return
    fi
    if ! build "$dir" "${targets[@]}"; then
        record tsan FAILED "build failed ($((SECONDS - start)) s)"
        return
    fi
    local log="$logs/tsan-ctest.log"
    # Programs that were not built are listed as *_NOT_BUILT without labels, so -L leaves them out.
    if run_ctest "$dir" "$log" -L "$tsan_label"; then
        record tsan passed "$(ctest_result "$log") ($((SECONDS - start)) s)"
    else
        record tsan FAILED "$(ctest_result "$log") ($((SECONDS - start)) s)"
    fi
}

# run_fuzzer NAME EXECUTABLE CORPUS: one bounded run in a scratch folder of its own; the exit code
# goes to NAME.rc beside the log.
run_fuzzer() {
    local name=$1 exe=$2 corpus=$3
    local work="$build_root/fuzz-run/$name"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    for seeds in "$corpus" "$repo/fuzz/corpus/$name"; do
        if [[ -d $seeds ]]; then
            cp -R "$seeds/." "$work/corpus/"
        fi
    done
    local rc=0
    (cd "$work" && "$exe" -runs="$fuzz_runs" -max_total_time="$fuzz_seconds" -timeout=25 -rss_limit_mb=2560 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" \
        >"$logs/fuzz-$name.log" 2>&1) || rc=$?
    echo "$rc" >"$logs/fuzz-$name.rc"
}

stage_fuzz() {
    local dir="$build_root/fuzz"
    local start=$SECONDS
    say "fuzz: every fuzz target for $fuzz_runs inputs or at most $fuzz_seconds s"
    if ! configure fuzz "$dir" || ! build "$dir" fuzzers; then
        record fuzz FAILED "build failed ($((SECONDS - start)) s)"
        return
    fi
    local list="$dir/fuzz/fuzzers.txt"
    local names=() name exe corpus
    while IFS='|' read -r name exe corpus; do
        [[ -n $name ]] || continue
        names+=("$name")
        rm -f "$logs/fuzz-$name.rc"
        while (($(jobs -rp | wc -l) >= fuzz_jobs)); do
            wait -n
        done
        echo "running $name"
        run_fuzzer "$name" "$exe" "$corpus" &
    done <"$list"
    wait

    local bad=0 rc runs lines=()
    for name in "${names[@]}"; do
        rc=$(cat "$logs/fuzz-$name.rc" 2>/dev/null || echo missing)
        # libFuzzer's final statistics (-print_final_stats=1) count the inputs it ran.
        runs=$(sed -n 's/^stat::number_of_executed_units:[[:space:]]*//p' "$logs/fuzz-$name.log" |
            tail -n 1)
        if [[ $rc == 0 && -n $runs ]]; then
            lines+=("$name: passed, $runs executions")
            if ((runs < fuzz_runs)); then
                lines[-1]+=" (stopped at $fuzz_seconds s)"
            fi
            echo "${lines[-1]}"
        else
            bad=$((bad + 1))
            if [[ $rc == 0 ]]; then
                lines+=("$name: FAILED, no final statistics")
            else
                lines+=("$name: FAILED (exit $rc)${runs:+, $runs executions}")
            fi
            echo "${lines[-1]}; end of its log ($logs/fuzz-$name.log):"
            tail -n 80 "$logs/fuzz-$name.log"
            echo "reproducer(s): $(ls "$build_root/fuzz-run/$name/artifacts" 2>/dev/null | tr '\n' ' ')"
        fi
    done
    if ((${#names[@]} == 0)); then
        record fuzz FAILED "no fuzz target was built"
    elif ((bad > 0)); then
        record fuzz FAILED "$bad of ${#names[@]} targets failed ($((SECONDS - start)) s)"
    else
        record fuzz passed "${#names[@]} targets clean, up to $fuzz_runs inputs each ($((SECONDS - start)) s)"
    fi
    local line
    for line in "${lines[@]}"; do
        note "$line"
    done
}

if [[ ${ZUTA_SKIP_DEPS:-0} != 1 ]]; then
    say "deps: Debian packages"
    if ! bash "$repo/scripts/install-deps.sh"; then
        echo "installing the packages failed"
        exit 1
    fi
fi

for stage in $stages; do
    case $stage in
    format) stage_check format scripts/check-format.sh ;;
    layers) stage_check layers scripts/check-layers.sh ;;
    ci | asan) stage_tests "$stage" ;;
    tsan) stage_tsan ;;
    fuzz) stage_fuzz ;;
    *)
        echo "unknown stage '$stage'"
        record "$stage" FAILED "unknown stage"
        ;;
    esac
done

say "summary ($((SECONDS - script_start)) s)"
printf '%s\n' "${summary[@]}"
echo "Stages: $passed passed, $failed failed"
((failed == 0))
