# Helpers for the end-to-end scenarios. run_e2e.sh sources this file before each scenario
# and sets: WINEPREFIX, DISPLAY, QB_APP_DIR (the folder in drive_c that holds Quillbay.exe),
# QB_DRIVER (qbdriver.exe), QB_DRIVER_LOG (the driver's log), QB_SHOTS (for screenshots).
#
# A scenario is a bash file of checks; each failed check prints a line and is counted, and
# the scenario fails when any did. Control and menu IDs are the window's fixed ones.

# Controls
ID_MAIN=0
ID_LST_CERTIFICATES=1001
ID_LBL_CERT_LIST=1002
ID_CMD_IMPORT=1003
ID_LBL_STATUS=1004
ID_LST_SITES=1005
ID_CMD_DEPLOY=1006
ID_LBL_SITE_LIST=1007
ID_CHK_HTTP_REDIRECT=1008
ID_TXT_HTTPS_PORT=1009
ID_LBL_HTTPS_PORT=1010
# Menu commands and menu-bar entries
ID_MNU_FILE_EXIT=2001
ID_MNU_CHAIN_MANUAL_IMPORT=2002
ID_MNU_CHAIN_VIEW_SYSTEM_STORE=2003
ID_MNU_TOOLS_SET_PORT=2004
ID_MNU_LANGUAGE_ENGLISH=2005
ID_MNU_LANGUAGE_SIMPLIFIED=2006
ID_MNU_LANGUAGE_TRADITIONAL=2007
ID_MNU_HELP_ABOUT=2008
ID_MNU_HELP_CHECK_UPDATE=2009
ID_MNU_FILE=2101
ID_MNU_CHAIN=2102
ID_MNU_TOOLS=2103
ID_MNU_LANGUAGE=2104
ID_MNU_HELP=2105
# Message box buttons
IDOK=1
IDYES=6
IDNO=7

QB_FAILURES=0

source "$(dirname "${BASH_SOURCE[0]}")/texts.sh"

# Runs the driver inside Wine; its output is UTF-8 lines. Every call, its exit code and its
# complaints go to driver.log beside the prefix, for reading after a failure.
drv() {
    local out rc
    out=$(wine "$QB_DRIVER" "$@" </dev/null 2>>"$QB_DRIVER_LOG")
    rc=$?
    printf '[%s] %s\n' "$rc" "$*" >>"$QB_DRIVER_LOG"
    [[ -n $out ]] && printf '%s\n' "$out"
    return $rc
}

fail() {
    echo "    FAIL: $*"
    QB_FAILURES=$((QB_FAILURES + 1))
}

note() {
    echo "    $*"
}

# expect_eq WHAT ACTUAL EXPECTED
expect_eq() {
    if [[ "$2" != "$3" ]]; then
        fail "$1: expected [$3], got [$2]"
    fi
}

# expect_one_of WHAT ACTUAL CHOICE...
expect_one_of() {
    local what=$1 actual=$2 choice
    shift 2
    for choice in "$@"; do
        [[ $actual == "$choice" ]] && return 0
    done
    fail "$what: got [$actual], expected one of:$(printf ' [%s]' "$@")"
}

# expect_ok WHAT COMMAND...: the command must succeed.
expect_ok() {
    local what=$1
    shift
    "$@" >/dev/null || fail "$what (exit $?)"
}

# expect_text ID EXPECTED: caption or text of a control or menu item. Texts with line
# breaks are compared in the driver's escaped form (\r, \n).
expect_text() {
    expect_eq "text of $1" "$(drv text "$1")" "$2"
}

expect_enabled() {
    expect_eq "enabled state of $1" "$(drv enabled "$1")" "$2"
}

expect_checked() {
    expect_eq "check state of $1" "$(drv checked "$1")" "$2"
}

# The language check marks as one word: English, Simplified, Traditional in that order.
language_marks() {
    echo "$(drv checked $ID_MNU_LANGUAGE_ENGLISH)$(drv checked $ID_MNU_LANGUAGE_SIMPLIFIED)$(drv checked $ID_MNU_LANGUAGE_TRADITIONAL)"
}

# expect_box TITLE TEXT BUTTONS: waits for a message box and compares it; BUTTONS is the
# list of button IDs, blank-separated ("1" for OK, "6 7" for Yes and No). TITLE * takes any.
expect_box() {
    local box title text buttons
    if ! box=$(drv wait-box 10000); then
        fail "no message box appeared (expected \"$1\")"
        return 1
    fi
    title=$(sed -n 's/^title=//p' <<<"$box")
    text=$(sed -n 's/^text=//p' <<<"$box")
    buttons=$(sed -n 's/^button=\([0-9]*\) .*/\1/p' <<<"$box" | tr '\n' ' ' | sed 's/ $//')
    [[ $1 == "*" ]] || expect_eq "message box title" "$title" "$1"
    expect_eq "message box text" "$text" "$2"
    expect_eq "message box buttons" "$buttons" "$3"
}

# start_app LANG: starts Quillbay.exe with that locale (Wine takes the user's UI language
# from it) and waits until its load event has finished.
start_app() {
    (cd "$QB_APP_DIR" && LANG=$1 LC_ALL=$1 setsid wine Quillbay.exe </dev/null >/dev/null 2>&1 &)
    if ! drv wait-window 30000 >/dev/null; then
        fail "the window did not appear"
        return 1
    fi
    drv wait-idle 60000 >/dev/null || fail "the window did not finish loading"
}

# stop_app: closes the window through its close box and waits until it is gone.
stop_app() {
    drv wait-window 0 >/dev/null 2>&1 || return 0
    drv close >/dev/null
    drv wait-gone 10000 >/dev/null || fail "the window did not close"
}

# screenshot FILE: the window alone, cut out of the screen.
screenshot() {
    local rect x y w h
    drv wait-idle 10000 >/dev/null
    sleep 0.5  # let the X server finish drawing
    rect=$(drv rect) || { fail "no window for the screenshot"; return 1; }
    read -r x y w h <<<"$rect"
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1" || fail "screenshot $1 failed"
}

# add_chain_files NAME...: files in the program's chain folder (the scan goes by the name's
# extension, not the content). remove_chain_files empties the folder again.
add_chain_files() {
    mkdir -p "$QB_APP_DIR/chain"
    local name
    for name in "$@"; do printf 'placeholder\r\n' >"$QB_APP_DIR/chain/$name"; done
}
remove_chain_files() {
    rm -rf "$QB_APP_DIR/chain"
}

# expect_chain_list NAME...: the chain list holds exactly these files, all selected, in any
# order (the file system decides it), and Import is enabled.
expect_chain_list() {
    local expected actual
    expected=$(printf '[x] %s\n' "$@" | sort)
    actual=$(drv list $ID_LST_CERTIFICATES | sort)
    expect_eq "chain list" "$actual" "$expected"
    expect_enabled $ID_CMD_IMPORT 1
}

# The simulated host, when the harness installed it: sbx ARGS... runs its control tool.
have_sandbox() {
    [[ -f $WINEPREFIX/drive_c/QuillbaySandbox/sbx.exe ]]
}
sbx() {
    wine 'C:\QuillbaySandbox\sbx.exe' "$@" </dev/null 2>>"$QB_DRIVER_LOG" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# The selection of a list as one word per item: x selected, - not ("x--").
selection() {
    drv list "$1" | awk '{ printf "%s", substr($0, 2, 1) == "x" ? "x" : "-" }'
}

# IIS present: the sandbox host answers and the deployment controls are usable.
have_iis() {
    [[ $(drv enabled $ID_MNU_TOOLS_SET_PORT) == 1 ]]
}

# The captions that only the language decides: title, buttons, the two fixed labels, every
# menu caption, and the check mark of the current language.
expect_captions() {
    local l=$1
    expect_text $ID_MAIN "Quillbay"
    expect_text $ID_CMD_IMPORT "$(tx "$l" cmdImport)"
    expect_text $ID_CMD_DEPLOY "$(tx "$l" cmdDeploy)"
    expect_text $ID_LBL_HTTPS_PORT "$(tx "$l" lblHttpsPort)"
    expect_text $ID_LBL_CERT_LIST "$(tx "$l" lblCertList)"
    expect_text $ID_MNU_FILE "$(tx "$l" mnuFile)"
    expect_text $ID_MNU_FILE_EXIT "$(tx "$l" mnuFileExit)"
    expect_text $ID_MNU_CHAIN "$(tx "$l" mnuChain)"
    expect_text $ID_MNU_CHAIN_MANUAL_IMPORT "$(tx "$l" mnuChainManualImport)"
    expect_text $ID_MNU_CHAIN_VIEW_SYSTEM_STORE "$(tx "$l" mnuChainViewSystemStore)"
    expect_text $ID_MNU_TOOLS "$(tx "$l" mnuTools)"
    expect_text $ID_MNU_TOOLS_SET_PORT "$(tx "$l" mnuToolsSetPort)"
    expect_text $ID_MNU_LANGUAGE "$(tx "$l" mnuLanguage)"
    expect_text $ID_MNU_HELP "$(tx "$l" mnuHelp)"
    expect_text $ID_MNU_HELP_ABOUT "$(tx "$l" mnuHelpAbout)"
    expect_text $ID_MNU_HELP_CHECK_UPDATE "$(tx "$l" mnuHelpCheckUpdate)"
    # The language names read the same in every language.
    expect_text $ID_MNU_LANGUAGE_ENGLISH "&English"
    expect_text $ID_MNU_LANGUAGE_SIMPLIFIED "简体中文"
    expect_text $ID_MNU_LANGUAGE_TRADITIONAL "繁體中文"
    case $l in
    en) expect_eq "language check marks" "$(language_marks)" 100 ;;
    zh-hans) expect_eq "language check marks" "$(language_marks)" 010 ;;
    zh-hant) expect_eq "language check marks" "$(language_marks)" 001 ;;
    esac
}

# The site-list heading as the language sets it: the list title and the selection rule.
expect_site_heading() {
    local l=$1
    expect_one_of "site-list heading" "$(drv text $ID_LBL_SITE_LIST)" \
        "$(tx "$l" lblSiteList)$(tx "$l" lblSiteList_One)" "$(tx "$l" lblSiteList)$(tx "$l" lblSiteList_Multi)"
}

# The window right after start-up in language l.
expect_startup() {
    local l=$1
    expect_captions "$l"
    expect_text $ID_TXT_HTTPS_PORT 443
    if [[ $(drv enabled $ID_LBL_HTTPS_PORT) == 1 ]]; then
        expect_site_heading "$l"
    else
        # No IIS, or IIS without a site: the heading says so when IIS is missing.
        expect_one_of "site-list heading" "$(drv text $ID_LBL_SITE_LIST)" "$(tx "$l" lblSiteList_NoIIS)" \
            "$(tx "$l" lblSiteList)$(tx "$l" lblSiteList_One)" "$(tx "$l" lblSiteList)$(tx "$l" lblSiteList_Multi)"
    fi
    # The redirect box: usable and checked with the rewrite module, else disabled, unchecked
    # and saying why.
    if [[ $(drv enabled $ID_CHK_HTTP_REDIRECT) == 1 ]]; then
        expect_text $ID_CHK_HTTP_REDIRECT "$(tx "$l" chkHttpRedirect)"
        expect_checked $ID_CHK_HTTP_REDIRECT 1
    else
        expect_text $ID_CHK_HTTP_REDIRECT "$(tx "$l" chkHttpRedirect_no_module)"
        expect_checked $ID_CHK_HTTP_REDIRECT 0
    fi
}

# start_app_env LANG NAME=VALUE...: start_app with environment changes that a shell cannot hand
# over (Wine takes TEMP and TMP from the registry for a program started from outside); the
# driver starts the program, which inherits its changed environment.
start_app_env() {
    local l=$1 exe
    shift
    exe='C:\'${QB_APP_DIR#"$WINEPREFIX/drive_c/"}'\Quillbay.exe'
    exe=${exe//\//\\}
    # Standard error to a file: Wine hands it on to the program, which would hold a pipe open.
    if ! LANG=$l LC_ALL=$l wine "$QB_DRIVER" launch "$exe" "$@" \
        </dev/null >/dev/null 2>>"$QB_DRIVER_LOG"; then
        fail "the program could not be started"
        return 1
    fi
    if ! drv wait-window 30000 >/dev/null; then
        fail "the window did not appear"
        return 1
    fi
    drv wait-idle 60000 >/dev/null || fail "the window did not finish loading"
}

# The program's log files beside it: clear_logs removes them; log_records FILE prints one
# record a line, tab-separated: procedure and message (log.txt), or procedure, description
# and error number (log-error.txt). The fixed Chinese words around them depend on the code
# page and are left out.
clear_logs() {
    rm -f "$QB_APP_DIR/log.txt" "$QB_APP_DIR/log-error.txt"
}
log_records() {
    [[ -f $QB_APP_DIR/$1 ]] || return 0
    tr -d '\r' <"$QB_APP_DIR/$1" | LC_ALL=C sed -n "s/^\[[^]]*\] [^']*'\([^']*\)'[^:]*: \(.*\)$/\1\t\2/p" |
        if [[ $1 == log-error.txt ]]; then LC_ALL=C sed 's/ ([^()]*: \(-\{0,1\}[0-9]*\))$/\t\1/'; else cat; fi
}

# expect_responsive: the window is up and takes a command (the About box opens and closes).
expect_responsive() {
    drv wait-idle 10000 >/dev/null || { fail "the window does not respond"; return 1; }
    expect_ok "choose About" drv menu $ID_MNU_HELP_ABOUT
    drv wait-box 10000 >/dev/null || { fail "no About box: the window does not respond"; return 1; }
    expect_ok "close the About box" drv answer-box $IDOK
}

# seed_sites [OPTION...] < LINES: seeds the host with the sites read from standard input, one
# "NAME<TAB>BINDINGS" a line (names that a command line would mangle travel in a file).
seed_sites() {
    local file=$WINEPREFIX/drive_c/qb-sites.tsv
    cat >"$file"
    sbx seed --sites-file 'C:\qb-sites.tsv' "$@" >/dev/null
}

# The appcmd command lines the sandbox host received since it was seeded, one a line, without
# the blank that the command interpreter leaves before a redirection.
appcmd_calls() {
    sbx log | awk -F'\t' '$2 == "appcmd" { sub(/ +$/, "", $4); print $4 }'
}
