#!/usr/bin/env bash
# Checks that every .h/.cpp file under src, sim, tests and bench is formatted
# as .clang-format says, with clang-format 14 (Debian 12's clang-format-14;
# other major versions format differently, so they are refused).
#   (no option)  print the files that differ; exit 1 if there are any
#   --fix        format those files in place and print them
# CLANG_FORMAT=/path/to/clang-format picks the program; otherwise
# clang-format-14, else clang-format, is used.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
export LC_ALL=C

readonly required_major=14
readonly dirs=(src sim tests bench)

fix=0
for arg in "$@"; do
    case "$arg" in
        --fix) fix=1 ;;
        -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
        *) echo "check-format: unknown option: $arg" >&2; exit 2 ;;
    esac
done

clang_format="${CLANG_FORMAT:-}"
if [ -z "$clang_format" ]; then
    for candidate in "clang-format-$required_major" clang-format; do
        if command -v "$candidate" >/dev/null 2>&1; then
            clang_format="$candidate"
            break
        fi
    done
fi
if [ -z "$clang_format" ] || ! command -v "$clang_format" >/dev/null 2>&1; then
    echo "check-format: clang-format $required_major not found; install it with scripts/install-deps.sh" \
        "(Debian package clang-format-$required_major)" >&2
    exit 2
fi
version_text="$("$clang_format" --version 2>/dev/null || true)"
major="$(sed -n 's/.*clang-format version \([0-9][0-9]*\)\..*/\1/p' <<<"$version_text" | head -n 1)"
if [ "$major" != "$required_major" ]; then
    echo "check-format: $clang_format is '${version_text:-not runnable}'," \
        "but the format is pinned to clang-format $required_major;" \
        "install clang-format-$required_major or set CLANG_FORMAT to it" >&2
    exit 2
fi
# A broken .clang-format would make every file look different.
if ! "$clang_format" --assume-filename=check.cpp </dev/null >/dev/null; then
    echo "check-format: $clang_format cannot use .clang-format (see above)" >&2
    exit 2
fi

files=()
while IFS= read -r -d '' file; do
    files+=("$file")
done < <(find "${dirs[@]}" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 2>/dev/null | sort -z)
if [ "${#files[@]}" -eq 0 ]; then
    echo "check-format: no .h/.cpp files under ${dirs[*]}" >&2
    exit 2
fi

# clang-format names each file it would change, as
#   FILE:LINE:COLUMN: error: code should be clang-formatted [-Wclang-format-violations]
# (one line per change); its output is collected whole and then read.
set +e
report="$(printf '%s\0' "${files[@]}" | xargs -0 "$clang_format" --dry-run -Werror 2>&1 >/dev/null)"
status=$?
set -e
differ="$(sed -n 's/^\(.*\):[0-9][0-9]*:[0-9][0-9]*: error: code should be clang-formatted.*/\1/p' \
    <<<"$report" | sort -u)"
if [ "$status" -ne 0 ] && [ -z "$differ" ]; then
    printf '%s\n' "$report" >&2
    echo "check-format: $clang_format failed (see above)" >&2
    exit 2
fi

if [ -z "$differ" ]; then
    echo "check-format: all ${#files[@]} files formatted ($clang_format, version $major)"
    exit 0
fi
count="$(wc -l <<<"$differ")"
count="${count//[[:space:]]/}"

if [ "$fix" -eq 1 ]; then
    printf '%s\n' "$differ" | tr '\n' '\0' | xargs -0 "$clang_format" -i
    printf '%s\n' "$differ"
    echo "check-format: formatted $count of ${#files[@]} files"
    exit 0
fi

printf '%s\n' "$differ"
echo "check-format: $count of ${#files[@]} files are not formatted;" \
    "scripts/check-format.sh --fix (or make format) formats them," \
    "'$clang_format FILE | diff FILE -' shows what changes" >&2
exit 1
