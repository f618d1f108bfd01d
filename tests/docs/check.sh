#!/usr/bin/env bash
# The administrators' documentation exists in English (README.md, from "# For administrators" to
# "# For developers"), in Simplified Chinese (README.zh-Hans.md) and in Traditional Chinese
# (README.zh-Hant.md), each from its first section on: all must carry the same sections, the same
# table rows and, byte for byte, the same commands and examples.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
english=$(sed -n '/^# For administrators$/,/^# For developers$/p' "$root/README.md" | sed '$d')
failures=0
for translation in README.zh-Hans.md README.zh-Hant.md; do
    [[ -f $root/$translation ]] || { echo "docs: $translation is missing"; failures=$((failures + 1)); continue; }
    # Above its first section a translation has its title, the links to the other languages and its screenshots.
    chinese=$(sed -n '/^## /,$p' "$root/$translation")
    same() {  # WHAT COMMAND: the command's output on each text must agree
        local a b
        a=$(eval "$2" <<<"$english") b=$(eval "$2" <<<"$chinese")
        [[ $a == "$b" ]] || { echo "docs: $translation: $1 differ:"; diff <(echo "$a") <(echo "$b") | head -20; failures=$((failures + 1)); }
    }
    same "section levels" "grep -E '^#{2,4} ' | sed -E 's/ .*//'"
    same "table rows per table" "awk '/^\\|/ { n++; next } n { print n; n = 0 } END { if (n) print n }'"
    same "code blocks" "awk '/^\`\`\`/ { inside = !inside; print; next } inside'"
    same "links to files and anchors in code" "grep -oE '\\]\\((docs|README)[^)]*\\)' | sort"
done

# Every warning and error the window can show has a troubleshooting row: the start of its English
# text (its first piece between the parts filled in at run time, or its longest) appears there.
# Texts that continue another (they start with punctuation) are checked with the one they follow.
missing=$(python3 - "$root" <<'PY'
import re, sys
root = sys.argv[1]
source = open(f"{root}/src/lang/strings_en.cpp", encoding="utf-8").read()
readme = open(f"{root}/README.md", encoding="utf-8").read()
table = readme[readme.index("## Troubleshooting"):readme.index("## Updates")]
for key, literals in re.findall(r'\{"([A-Za-z_]+)",\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\}', source):
    if not key.startswith(("MsgBox_", "lblStatus_")) or key.endswith("_Title"):
        continue
    text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literals))
    text = text.replace("\\r\\n", " ").replace('\\"', '"').replace("\\\\", "\\")
    if not re.search(r"Warning|[Ff]ailed|could not|[Ee]rror|cannot|Invalid|is missing|not installed|no longer|not detected|damaged|junction", text):
        continue
    if not text[:1].isalpha() and not text.startswith("{"):
        continue
    pieces = [p.strip() for p in re.split(r"\{\d\}|'", text)]
    piece = (pieces[0] if len(pieces[0]) >= 12 else max(pieces, key=len))[:24]
    if len(piece) >= 12 and piece not in table:
        print(f"{key}: {piece}")
PY
)
[[ -z $missing ]] || { echo "docs: messages without a troubleshooting row:"; echo "$missing"; failures=$((failures + 1)); }
((failures == 0)) && echo "docs: README.zh-Hans.md and README.zh-Hant.md are in step with README.md"
exit $((failures > 0))
