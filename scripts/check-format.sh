#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted as .clang-format says; lists the ones that are
# not. Changes nothing: `clang-format -i <file>` fixes one.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed" >&2; exit 2; }

mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
[ ${#files[@]} -gt 0 ] || { echo "No C++ files found." >&2; exit 2; }
# One diagnostic per file is enough to name it.
report=$(clang-format --dry-run -Werror --ferror-limit=1 "${files[@]}" 2>&1) && status=0 || status=$?
if [ "$status" -ne 0 ]; then
    offenders=$(grep -oE '^[^:]+:[0-9]+:[0-9]+: error' <<<"$report" | cut -d: -f1 | sort -u)
    if [ -z "$offenders" ]; then
        echo "$report" >&2
        exit "$status"
    fi
    echo "Not formatted with clang-format ($(wc -l <<<"$offenders") files; fix with clang-format -i):"
    sed 's/^/  /' <<<"$offenders"
    exit 1
fi
echo "All ${#files[@]} C++ files are formatted."
