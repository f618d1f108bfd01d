#!/usr/bin/env bash
# End-to-end tests: the real Quillbay.exe in a fresh Wine prefix, driven through its window
# by qbdriver.exe, one scenario file after the other.
#
#   run_e2e.sh BUILD_DIR [--docs] [SCENARIO...]
#
# BUILD_DIR holds bin/Quillbay.exe and bin/qbdriver.exe. Without a DISPLAY an Xvfb server is
# started for the run. --docs also copies the window screenshots into docs/. SCENARIO names
# (file names without .sh) pick scenarios; the default is all of tests/e2e/scenarios.
# Everything started here is stopped on exit.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

build_dir=${1:?usage: run_e2e.sh BUILD_DIR [--docs] [SCENARIO...]}
build_dir=$(cd "$build_dir" && pwd)
shift
copy_docs=0
if [[ ${1:-} == --docs ]]; then
    copy_docs=1
    shift
fi

app_exe=$build_dir/bin/Quillbay.exe
driver_exe=$build_dir/bin/qbdriver.exe
for f in "$app_exe" "$driver_exe"; do
    [[ -f $f ]] || { echo "missing $f: build the windows configuration first" >&2; exit 1; }
done
for tool in wine wineboot wineserver import; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

# QB_E2E_WORK lets two runs share one build without sharing a prefix.
work=${QB_E2E_WORK:-$build_dir/e2e}
source "$here/host.sh"

scenarios=()
if (($#)); then
    for name in "$@"; do scenarios+=("$here/scenarios/$name.sh"); done
else
    scenarios=("$here"/scenarios/*.sh)
fi

failed=()
run_scenario() {
    rm -rf "$QB_APP_DIR/chain"  # each scenario starts from the program as installed
    (
        source "$here/lib.sh"
        source "$1"
        stop_app
        exit $((QB_FAILURES > 0))
    )
    local rc=$?
    # Whatever a failed scenario left open must not disturb the next one.
    if ((rc != 0)); then
        wine "$QB_DRIVER" close </dev/null >/dev/null 2>&1
        wine "$QB_DRIVER" wait-gone 5000 </dev/null >/dev/null 2>&1 ||
            wine taskkill /f /im Quillbay.exe </dev/null >/dev/null 2>&1
    fi
    return $rc
}

# A scenario that fails is run once more: a machine under heavy load can miss a window's
# timing, while a real fault fails both times. A pass on the second run is reported.
flaky=()
for scenario in "${scenarios[@]}"; do
    name=$(basename "$scenario" .sh)
    echo "e2e: $name"
    run_scenario "$scenario" && continue
    echo "e2e: $name failed; running it once more"
    if run_scenario "$scenario"; then
        flaky+=("$name")
    else
        failed+=("$name")
    fi
done
((${#flaky[@]})) && echo "e2e: passed only on the second run: ${flaky[*]}"

if ((copy_docs)); then
    mkdir -p "$source_dir/docs"
    cp "$shots"/screenshot-*.png "$source_dir/docs/" 2>/dev/null && echo "e2e: screenshots copied to docs/"
fi

if ((${#failed[@]})); then
    echo "e2e: FAILED: ${failed[*]}"
    exit 1
fi
echo "e2e: all ${#scenarios[@]} scenarios passed"
