#!/usr/bin/env bash
# Gets the sandbox tests' own Wine prefix ready: creates it on first use, starts its wineserver for
# the test processes that follow, copies the certificate fixtures into it and installs the host.
set -euo pipefail
prefix=${1:?usage: prepare-prefix.sh PREFIX SANDBOX_BIN_DIR}
bin=${2:?usage: prepare-prefix.sh PREFIX SANDBOX_BIN_DIR}
mkdir -p "$prefix"
export WINEPREFIX=$(cd "$prefix" && pwd) WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

# A new prefix's first boot restarts services.exe while the services it started live on; under a
# server that stays, every later explorer.exe /desktop then waits out Wine's 10 s start-up limit.
# So the first boot gets a server of its own, which ends when it is done.
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
fi
# The server and the services inherit the standard handles of whatever starts them: /dev/null
# here, so that they hold no pipe of the test runner. The server stays for the tests.
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1

here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$WINEPREFIX/drive_c/Sandbox Fixtures"
cp "$here"/../../tests/fixtures/*.{b64,crt,der,p7b,pfx,txt} "$WINEPREFIX/drive_c/Sandbox Fixtures/"
"$here/../install.sh" "$WINEPREFIX" "$bin"
