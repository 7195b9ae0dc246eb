#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a tracked C++ file differs from what clang-format makes of it with the root's
# .clang-format, and names each such file with the number of lines that would change.
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format}
if ! command -v "$format" >/dev/null; then
    echo "check-format: $format not found (scripts/deps.sh installs it)" >&2
    exit 2
fi
bad=0
lines=0
while IFS= read -r -d '' file; do
    changed=$("$format" --style=file "$file" | diff "$file" - | grep -c '^<' || true)
    if [ "$changed" -gt 0 ]; then
        echo "$file: $changed lines differ from clang-format"
        bad=$((bad + 1))
        lines=$((lines + changed))
    fi
done < <(git ls-files -z '*.cpp' '*.h')
if [ "$bad" -gt 0 ]; then
    echo "check-format: $bad files, $lines lines to reformat ($format -i --style=file)" >&2
    exit 1
fi
echo "check-format: every file matches .clang-format"
