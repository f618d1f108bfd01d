#!/usr/bin/env bash
# Installs the sandbox host into an existing Wine prefix. Safe to run again: it refreshes the
# tools and the registry settings, and seeds a default host only when the prefix has no sandbox
# state yet (run "sbx seed" inside the prefix to reset it).
#
#   sandbox/install.sh PREFIX SANDBOX_BIN_DIR
#
# PREFIX is the Wine prefix (a folder with drive_c), SANDBOX_BIN_DIR the build's sandbox output
# folder (it holds appcmd.exe, certutil.exe, iisreset.exe, mmc.exe, netsh.exe, schtasks.exe, wscript.exe,
# sbx.exe, inetmgr_stub.exe, planted.exe).
set -euo pipefail

if [[ $# -ne 2 ]]; then
    echo "usage: $0 PREFIX SANDBOX_BIN_DIR" >&2
    exit 2
fi
prefix=$(cd "$1" 2>/dev/null && pwd) || { echo "install.sh: no such prefix: $1" >&2; exit 1; }
bin=$(cd "$2" 2>/dev/null && pwd) || { echo "install.sh: no such folder: $2" >&2; exit 1; }
if [[ ! -d $prefix/drive_c/windows/system32 ]]; then
    echo "install.sh: $prefix is not an initialised Wine prefix (run wineboot first)" >&2
    exit 1
fi

tools=(appcmd.exe certutil.exe iisreset.exe mmc.exe netsh.exe schtasks.exe wscript.exe inetmgr_stub.exe planted.exe)
for file in sbx.exe "${tools[@]}"; do
    [[ -f $bin/$file ]] || { echo "install.sh: $bin/$file is missing (build the sandbox_tools target)" >&2; exit 1; }
done

kit=$prefix/drive_c/QuillbaySandbox
mkdir -p "$kit/bin"
cp -f "$bin/sbx.exe" "$kit/sbx.exe"
for file in "${tools[@]}"; do cp -f "$bin/$file" "$kit/bin/$file"; done

# sbx does the rest from inside the prefix: DllOverrides, certutil/netsh/mmc/schtasks/wscript in system32, first seed.
# Wine's output goes to a file, not a pipe: background Wine services started here would keep a
# pipe of the caller open long after this script ends.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=} \
    "${WINE:-wine}" 'C:\QuillbaySandbox\sbx.exe' install </dev/null >"$log" 2>&1 || status=$?
if [[ $status -ne 0 ]]; then
    cat "$log" >&2
    echo "install.sh: sbx install failed with exit code $status" >&2
    exit 1
fi
echo "Sandbox host installed in $prefix (state: C:\\ProgramData\\QuillbaySandbox, tool: C:\\QuillbaySandbox\\sbx.exe)"
