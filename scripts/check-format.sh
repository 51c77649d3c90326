#!/usr/bin/env bash
# Fails when a C++ source (*.cpp, *.h under src app agent tools tests bench fuzz) differs from what
# clang-format makes of it with the repository's .clang-format, and lists those files.
# `scripts/check-format.sh --fix` formats them in place instead.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo"

clang_format=${CLANG_FORMAT:-clang-format}
if ! command -v "$clang_format" >/dev/null; then
    echo "check-format: $clang_format is not installed (scripts/install-deps.sh)" >&2
    exit 2
fi

mapfile -d '' files < <(find src app agent tools tests bench fuzz -type f \
    \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if ((${#files[@]} == 0)); then
    echo "check-format: no C++ sources found" >&2
    exit 2
fi

if [[ ${1:-} == --fix ]]; then
    "$clang_format" -i "${files[@]}"
    exit 0
fi

unformatted=()
for file in "${files[@]}"; do
    if ! "$clang_format" --dry-run --Werror "$file" >/dev/null 2>&1; then
        unformatted+=("$file")
    fi
done

if ((${#unformatted[@]} > 0)); then
    echo "check-format: ${#unformatted[@]} of ${#files[@]} files are not formatted:"
    printf '  %s\n' "${unformatted[@]}"
    echo "Format them with scripts/check-format.sh --fix (or clang-format -i FILE)."
    exit 1
fi
echo "check-format: all ${#files[@]} files are formatted"
