#!/usr/bin/env bash
# Gets the sandbox tests' own Wine prefix ready: creates it on first use, keeps its wineserver
# running for the test processes that follow, makes the certificate fixtures in it and installs
# the sandbox host.
#
#   prepare-prefix.sh PREFIX SANDBOX_BIN_DIR
set -euo pipefail

prefix=${1:?usage: prepare-prefix.sh PREFIX SANDBOX_BIN_DIR}
bin=${2:?usage: prepare-prefix.sh PREFIX SANDBOX_BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$prefix"
export WINEPREFIX=$(cd "$prefix" && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=

# Wine's server and background services inherit the standard handles of whatever starts them;
# started here with /dev/null they hold no pipe of the test runner. The server persists so that
# each test process finds it warm.
wineserver -p </dev/null >/dev/null 2>&1 || true
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot -i </dev/null >/dev/null 2>&1
fi
wine cmd /c exit </dev/null >/dev/null 2>&1

"$here/fixtures/make-fixtures.sh" "$WINEPREFIX/drive_c/Sandbox Fixtures"
"$here/../install.sh" "$WINEPREFIX" "$bin"
