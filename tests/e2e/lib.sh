# Helpers for the end-to-end scenarios, sourced before each one with WINEPREFIX, DISPLAY,
# QB_APP_DIR (C:\Quillbay), QB_DRIVER, QB_DRIVER_LOG and QB_SHOTS set (see host.sh). A scenario
# is a bash file of checks; each failed check prints a line and is counted. Controls and menu
# items go by the program's names (lblStatus, mnuHelpAbout; Main is the window); texts come
# from the program's own tables (str LANGUAGE KEY...).

QB_FAILURES=0
QB_EXE='C:\Quillbay\Quillbay.exe'
QB_DRV_IN=
# The names scripts/bench-startup uses.
ID_LST_SITES=lstSites
tx() { drv string "$@"; }

# drv_open: one driver process answers every drv call until drv_close (starting a Wine process
# costs a hundred times what a command does). Without it, each call starts its own.
drv_open() {
    local fifo
    fifo=$(mktemp -u "$QB_DRIVER_LOG.XXXXXX") && mkfifo "$fifo.in" "$fifo.out" || return 1
    wine "$QB_DRIVER" serve <"$fifo.in" >"$fifo.out" 2>>"$QB_DRIVER_LOG" &
    QB_DRV_PID=$!
    exec {QB_DRV_IN}>"$fifo.in" {QB_DRV_OUT}<"$fifo.out"
    rm -f "$fifo.in" "$fifo.out"
}
drv_close() {
    [[ -n $QB_DRV_IN ]] || return 0
    echo >&"$QB_DRV_IN"
    exec {QB_DRV_IN}>&- {QB_DRV_OUT}<&-
    QB_DRV_IN=
    wait "$QB_DRV_PID"
}

# drv COMMAND ARG...: the driver's output, UTF-8 lines; its exit code. Every call goes to
# driver.log with its code, beside the driver's complaints, for reading after a failure.
drv() {
    local IFS=$'\t' out= line rc=3
    if [[ -n $QB_DRV_IN ]]; then
        printf '%s\n' "$*" >&"$QB_DRV_IN"
        while IFS= read -r line <&"$QB_DRV_OUT"; do
            [[ $line == $'\x01'* ]] && { rc=${line#?}; break; }
            out+=$line$'\n'
        done
    else
        out=$(wine "$QB_DRIVER" "$@" </dev/null 2>>"$QB_DRIVER_LOG") && rc=0 || rc=$?
        out=${out//$'\r'/}${out:+$'\n'}
    fi
    printf '[%s] %s\n' "$rc" "$*" >>"$QB_DRIVER_LOG"
    printf '%s' "$out"
    return "$rc"
}

fail() { echo "    FAIL: $*"; QB_FAILURES=$((QB_FAILURES + 1)); }
# expect_eq WHAT ACTUAL EXPECTED; expect_ok WHAT COMMAND...
expect_eq() { [[ $2 == "$3" ]] || fail "$1: expected [$3], got [$2]"; }
expect_ok() { "${@:2}" >/dev/null || fail "$1 (exit $?)"; }
# str LANGUAGE KEY...: the keys' texts in en, zh-hans or zh-hant, joined, escaped (\r, \n).
str() { drv string "$@" || printf '<no text for %s>' "$*"; }
# expect_text NAME EXPECTED: caption or text of a control or menu item (escaped form).
expect_text() { expect_eq "text of $1" "$(drv text "$1")" "$2"; }

# expect_state enabled|checked VALUE NAME...
expect_state() {
    local property=$1 value=$2 name
    shift 2
    for name; do expect_eq "$property $name" "$(drv "$property" "$name")" "$value"; done
}

# expect_captions LANGUAGE: every caption the window shows is that language's, with its mark.
expect_captions() {
    local differences
    differences=$(drv expect-captions "$1") || fail "captions are not those of $1: $differences"
}

# The deployment controls: all enabled (1) or all locked (0).
QB_DEPLOYMENT=(lstSites cmdDeploy TxtHttpsPort lblHttpsPort mnuToolsSetPort)

# expect_box TITLE TEXT BUTTONS [STYLE [TIMEOUT_MS]]: waits for a dialog and compares its title,
# text (escaped form), button IDs ("1" OK, "6 7" Yes and No) and icon style (16, 48, 64). The
# box stays open.
expect_box() {
    local box
    box=$(drv wait-box "${5:-30000}") || { fail "no message box appeared (expected \"$2\")"; return 1; }
    expect_eq "message box title" "$(sed -n 's/^title=//p' <<<"$box")" "$1"
    expect_eq "message box text" "$(sed -n 's/^text=//p' <<<"$box")" "$2"
    expect_eq "message box buttons" "$(sed -n 's/^buttons=//p' <<<"$box")" "$3"
    [[ -z ${4:-} ]] || expect_eq "icon of \"$1\"" "$(drv box-icon 30000)" "$4"
}

# choose NAME: a menu command that opens no box, and wait until its handler has finished.
choose() {
    expect_ok "choose $1" drv menu "$1"
    drv wait-idle >/dev/null || fail "the window stayed busy after $1"
}

# close_box [BUTTON_ID]: presses OK (or that button), waits until the handler has finished.
close_box() {
    expect_ok "press button ${1:-1}" drv answer-box "${1:-1}"
    drv wait-idle 60000 >/dev/null || fail "the window stayed busy after the box"
}

# launch LOCALE [NAME=VALUE...]: starts Quillbay.exe with that locale (Wine takes the user's
# UI language from it) and these environment changes, holding none of the driver's pipes.
launch() {
    LANG=$1 LC_ALL=$1 wine "$QB_DRIVER" launch "$QB_EXE" "${@:2}" </dev/null >/dev/null 2>>"$QB_DRIVER_LOG" \
        {QB_DRV_IN}>&- {QB_DRV_OUT}<&- || fail "the program could not be started"
}
# start_app LOCALE [NAME=VALUE...]: launch, and wait until the load event has finished.
start_app() {
    launch "$@" || return 1
    drv wait-window 30000 >/dev/null || { fail "the window did not appear"; return 1; }
    drv wait-idle 60000 >/dev/null || fail "the window did not finish loading"
}

# stop_app: closes the window through its close box and waits until it is gone.
stop_app() {
    drv wait-window 0 >/dev/null 2>&1 || return 0
    drv close >/dev/null
    drv wait-gone 30000 >/dev/null || fail "the window did not close"
}

# expect_responsive: the window takes a command (the About box opens and closes).
expect_responsive() {
    expect_ok "choose About" drv menu mnuHelpAbout
    drv wait-box 30000 >/dev/null || { fail "no About box: the window does not respond"; return 1; }
    close_box
}

# screenshot FILE: the window alone, cut out of the screen once two pictures in a row agree
# (Wine hands the drawing on to the X server a moment after the window has painted).
screenshot() {
    local x y w h previous= current _
    drv wait-idle >/dev/null || fail "the window stayed busy"
    read -r x y w h <<<"$(drv rect)"
    for _ in $(seq 20); do
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1" || break
        current=$(identify -format '%#' "$1") && [[ $current == "$previous" ]] && return 0
        previous=$current
    done
    fail "screenshot $1 failed"
}

# reset_program_folder: the program folder as installed, only Quillbay.exe in it.
reset_program_folder() { find "$QB_APP_DIR" -mindepth 1 ! -name Quillbay.exe -delete; }

# add_chain_files NAME...: files in the chain folder (the scan goes by extension, not content).
add_chain_files() {
    mkdir -p "$QB_APP_DIR/chain" && printf 'placeholder\r\n' | tee "${@/#/$QB_APP_DIR/chain/}" >/dev/null
}

# expect_chain_list NAME...: the chain list holds exactly these files, all selected, in any
# order (the file system decides it), and Import is enabled.
expect_chain_list() {
    expect_eq "chain list" "$(drv list lstCertificates | sort)" "$(printf '[x] %s\n' "$@" | sort)"
    expect_state enabled 1 cmdImport
}

# The selection of a list as one word: x selected, - not ("x--").
selection() { drv list "$1" | cut -c2 | tr -d '\n' | tr ' ' -; }
# sbx ARGS...: the simulated host's control tool.
sbx() {
    wine 'C:\QuillbaySandbox\sbx.exe' "$@" </dev/null 2>>"$QB_DRIVER_LOG" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# seed_sites [OPTION...] < LINES: seeds the host with the sites read from standard input, one
# "NAME<TAB>BINDINGS" a line (names that a command line would mangle travel in a file).
seed_sites() {
    cat >"$WINEPREFIX/drive_c/qb-sites.tsv"
    sbx seed --sites-file 'C:\qb-sites.tsv' "$@" >/dev/null
}

# The appcmd command lines the host received since it was seeded, one a line, without the
# blank that the command interpreter leaves before a redirection.
appcmd_calls() {
    sbx log | awk -F'\t' '$2 == "appcmd" { sub(/ +$/, "", $4); print $4 }'
}

# The program's logs beside it: clear_logs removes them; log_records FILE [CODEPAGE] prints
# one record a line: procedure<TAB>message (log.txt), procedure<TAB>description<TAB>number
# (log-error.txt), converted from the code page the program ran with (default 1252).
clear_logs() { rm -f "$QB_APP_DIR/log.txt" "$QB_APP_DIR/log-error.txt"; }
log_records() {
    [[ -f $QB_APP_DIR/$1 ]] || return 0
    iconv -f "${2:-CP1252}" -t UTF-8 "$QB_APP_DIR/$1" | tr -d '\r' |
        sed -nE "s/^\[[^]]*\] [^']*'([^']*)'[^:]*: (.*)$/\1\t\2/p" |
        if [[ $1 == log-error.txt ]]; then sed -E 's/ \([^()]*: (-?[0-9]+)\)$/\t\1/'; else cat; fi
}
