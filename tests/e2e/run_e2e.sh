#!/usr/bin/env bash
# run_e2e.sh BUILD_DIR [SCENARIO...]: the real Quillbay.exe in a fresh Wine prefix, driven through
# its window by qbdriver.exe, one scenario (name without .sh) after the other, all by default.
# QB_E2E_WORK (default BUILD_DIR/e2e) is the run's folder, so that two runs can share one build.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../sandbox/own_roots.sh" "$0" "$@"
source_dir=$(cd "$here/../.." && pwd)
build_dir=$(cd "${1:?usage: run_e2e.sh BUILD_DIR [SCENARIO...]}" && pwd) || exit 1
shift
app_exe=$build_dir/bin/Quillbay.exe
cli_exe=$build_dir/bin/quillbay-cli.exe
driver_exe=$build_dir/bin/qbdriver.exe
for f in "$app_exe" "$cli_exe" "$driver_exe" wine wineboot wineserver openssl iconv; do
    [[ -f $f ]] || command -v "$f" >/dev/null || { echo "missing $f (build the windows configuration first)" >&2; exit 1; }
done

scenarios=("$here"/scenarios/*.sh)
(($#)) && scenarios=("${@/#/$here/scenarios/}") && scenarios=("${scenarios[@]/%/.sh}")
ls "${scenarios[@]}" >/dev/null || exit 1  # a misspelt name must not pass

since() { awk -v from="$1" -v now="$EPOCHREALTIME" 'BEGIN { printf "%.1f", now - from }'; }  # seconds
started=$EPOCHREALTIME
work=${QB_E2E_WORK:-$build_dir/e2e}
# Wine gives a file without a stored descriptor one made from its Unix mode: files others may
# read would be reported as the program folder's secrets open to other users.
umask 077
source "$source_dir/sandbox/host.sh"
export QB_SOURCE_DIR=$source_dir QB_BUILD_DIR=$build_dir
echo "e2e: host ready in $(since "$started") s"

run_scenario() {
    local begun=$EPOCHREALTIME rc
    (
        source "$here/lib.sh"
        reset_program_folder
        sbx seed >/dev/null || exit 1  # each scenario starts on the default host
        drv_open || exit 1
        source "$1"
        stop_app
        drv_close
        exit $((QB_FAILURES > 0))
    )
    rc=$?
    # Whatever a failed scenario left open must not disturb the next one.
    if ((rc != 0)); then
        wine "$QB_DRIVER" close </dev/null >/dev/null 2>&1
        wine "$QB_DRIVER" wait-gone 5000 </dev/null >/dev/null 2>&1 ||
            wine taskkill /f /im Quillbay.exe </dev/null >/dev/null 2>&1
    fi
    echo "e2e: $(basename "$1" .sh) $( ((rc)) && echo failed || echo passed) in $(since "$begun") s"
    return $rc
}

# A scenario that fails is run once more, and every second run is counted: a pass on the
# second run is a fault of the test or the program to be found, not a pass.
failed=() retried=()
for scenario in "${scenarios[@]}"; do
    run_scenario "$scenario" && continue
    retried+=("$(basename "$scenario" .sh)")
    run_scenario "$scenario" || failed+=("$(basename "$scenario" .sh)")
done

echo "e2e: retried ${#retried[@]}$( ((${#retried[@]})) && echo " (${retried[*]})"); $(since "$started") s in all"
((${#failed[@]} == 0)) || { echo "e2e: FAILED: ${failed[*]}"; exit 1; }
echo "e2e: all ${#scenarios[@]} scenarios passed"
