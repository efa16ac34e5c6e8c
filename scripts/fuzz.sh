#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset, clang with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each one in turn, from a copy of
# its seed corpus in build/fuzz/runs/<target> (tests/fuzz/corpus stays as
# committed).
#   fuzz.sh [SECONDS]        each target for SECONDS (default 60)
#   fuzz.sh --runs N         each target for N inputs
#   fuzz.sh ... TARGET...    only these targets (fuzz_strokes, ...)
# Exits non-zero when a target crashes, leaks, trips a sanitizer or a
# property check; the input that did it is saved in build/fuzz/runs/<target>/
# as crash-*, leak-*, oom-* or timeout-*. Prints the inputs each target ran.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."

seconds=60
runs=""
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs="${2:?--runs takes a number}"; shift ;;
        -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
        fuzz_*) targets+=("$1") ;;
        *)
            if [[ "$1" =~ ^[0-9]+$ ]]; then
                seconds="$1"
            else
                echo "fuzz: unknown argument: $1" >&2
                exit 2
            fi
            ;;
    esac
    shift
done
if [ "${#targets[@]}" -eq 0 ]; then
    targets=(fuzz_language_file fuzz_settings_ini fuzz_strokes fuzz_intel_hex fuzz_profile_file
        fuzz_device_replies)
fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset fuzz "${launcher[@]}" >/dev/null
cmake --build --preset fuzz -j "${CMAKE_BUILD_PARALLEL_LEVEL:-2}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# Qt must not look for a display or the user's settings.
export QT_QPA_PLATFORM=offscreen

failed=()
summary=()
for target in "${targets[@]}"; do
    binary="build/fuzz/tests/fuzz/$target"
    if [ ! -x "$binary" ]; then
        echo "fuzz: no such target: $target" >&2
        exit 2
    fi
    work="build/fuzz/runs/$target"
    rm -rf "$work"
    mkdir -p "$work/corpus"
    cp tests/fuzz/corpus/"$target"/* "$work/corpus/"
    limit=(-max_total_time="$seconds")
    [ -n "$runs" ] && limit=(-runs="$runs")
    echo "fuzz: $target (${runs:+$runs runs}${runs:-$seconds s})"
    status=0
    (cd "$work" && HOME="$PWD" "../../tests/fuzz/$target" "${limit[@]}" -max_len=4096 \
        -print_final_stats=1 -artifact_prefix=./ corpus >log.txt 2>&1) || status=$?
    units="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -n 1)"
    if [ "$status" -ne 0 ] || grep -qE '^(==[0-9]+==ERROR|SUMMARY: )' "$work/log.txt"; then
        failed+=("$target")
        summary+=("$target: FAILED after ${units:-?} inputs (exit $status), see $work/log.txt")
        grep -E 'ERROR|SUMMARY|Test unit written' "$work/log.txt" | head -n 5 >&2 || true
    else
        summary+=("$target: ${units:-?} inputs, no finding")
    fi
done

echo
printf '%s\n' "${summary[@]}"
if [ "${#failed[@]}" -ne 0 ]; then
    echo "fuzz: findings in ${failed[*]}" >&2
    exit 1
fi
