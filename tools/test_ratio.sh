#!/usr/bin/env bash
# Test lines over code lines: the non-blank, non-comment lines of the C, C++, Python and shell
# files git knows by their ending (.c .cc .cpp .h .hpp .py .sh), tests/ against everything else.
# With --files, each test file's count too.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { grep -v -E '^\s*$|^\s*(//|#|\*|/\*)' | wc -l; }
files=$(git ls-files | grep -E '\.(c|cc|cpp|h|hpp|py|sh)$')
tests=$(echo "$files" | grep '^tests/' | xargs cat | count)
code=$(echo "$files" | grep -v '^tests/' | xargs cat | count)
if [ "${1:-}" = --files ]; then
    for f in $(echo "$files" | grep '^tests/'); do echo "$(count <"$f") $f"; done | sort -n -r
fi
echo "tests $tests code $code ratio $(echo "scale=3; $tests / $code" | bc)"
