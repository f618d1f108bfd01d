#!/usr/bin/env bash
# The administrators' documentation exists in English (README.md, from "# For administrators" to
# "# For developers") and in Simplified Chinese (README.zh-Hans.md): both must carry the same
# sections, the same table rows and, byte for byte, the same commands and examples.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
english=$(sed -n '/^# For administrators$/,/^# For developers$/p' "$root/README.md" | sed '$d')
# The Chinese file links back to README.md above its first section; the English part has no such link.
chinese=$(grep -vxF '[English](README.md)' "$root/README.zh-Hans.md")
failures=0
same() {  # WHAT COMMAND: the command's output on each text must agree
    local a b
    a=$(eval "$2" <<<"$english") b=$(eval "$2" <<<"$chinese")
    [[ $a == "$b" ]] || { echo "docs: $1 differ:"; diff <(echo "$a") <(echo "$b") | head -20; failures=$((failures + 1)); }
}
same "section levels" "grep -E '^#{2,4} ' | sed -E 's/ .*//'"
same "table rows per table" "awk '/^\\|/ { n++; next } n { print n; n = 0 } END { if (n) print n }'"
same "code blocks" "awk '/^\`\`\`/ { inside = !inside; print; next } inside'"
same "links to files and anchors in code" "grep -oE '\\]\\((docs|README)[^)]*\\)' | sort"
((failures == 0)) && echo "docs: README.zh-Hans.md is in step with README.md"
exit $((failures > 0))
