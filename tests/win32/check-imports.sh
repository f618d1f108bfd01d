#!/usr/bin/env bash
# The program's static import table may name only DLLs the system maps from its own folder
# whatever lies beside the program (the known DLLs), and comctl32, which the manifest binds.
# Any other DLL would be looked for beside Quillbay.exe first, and loaded elevated. Each function
# must be one Windows 7 SP1 has (windows7-sp1-functions.txt): a missing one keeps the program from
# starting at all.
#
#   check-imports.sh OBJDUMP PROGRAM
set -euo pipefail
allowed=' advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll '
dlls=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[[ -n $dlls ]] || { echo "no import table read from $2"; exit 1; }
status=0
for dll in $dlls; do
    [[ $allowed == *" $dll "* ]] || { echo "imports $dll, which is not a known DLL"; status=1; }
done
known=$(grep -v '^#' "$(dirname "$0")/windows7-sp1-functions.txt")
functions=$("$1" -p "$2" | awk '/DLL Name:/ { dll = tolower($3); next } /^[ \t]*$/ { dll = "" }
    dll && /^\t[0-9a-f]+\t *[0-9]+ +[A-Za-z_]/ { n = split($0, p, /[ \t]+/); print dll "!" p[n] }')
[[ -n $functions ]] || { echo "no imported function read from $2"; exit 1; }
for f in $functions; do
    grep -qxF "$f" <<<"$known" || { echo "imports $f, which is not known to be in Windows 7 SP1"; status=1; }
done
exit $status
