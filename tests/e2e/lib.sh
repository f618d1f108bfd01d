# Helpers for the end-to-end scenarios, sourced before each one in the host of sandbox/host.sh;
# they bring in sandbox/drive.sh, which scripts/try shares. A failed check prints a line and is
# counted. Expected texts are written out; str gives one key's text.

source "$(dirname "${BASH_SOURCE[0]}")/../../sandbox/drive.sh"
QB_FAILURES=0
QB_SECURITY_KEY='HKLM\SYSTEM\CurrentControlSet\Control\SecurityProviders'
QB_DEPLOYMENT=(lstSites cmdDeploy TxtHttpsPort lblHttpsPort mnuToolsSetPort mnuToolsVerify mnuToolsRenew)

fail() { echo "    FAIL: $*"; QB_FAILURES=$((QB_FAILURES + 1)); }
expect_eq() { [[ $2 == "$3" ]] || fail "$1: expected [$3], got [$2]"; }  # WHAT ACTUAL EXPECTED
expect_ok() { "${@:2}" >/dev/null || fail "$1 (exit $?)"; }             # WHAT COMMAND...
# str en|zh-hans|zh-hant KEY: the key's text in the program's table, escaped as drv prints it.
str() { drv string "$@" || printf '<no text for %s>' "$*"; }
expect_text() { expect_eq "text of $1" "$(drv text "$1")" "$2"; }  # NAME TEXT
# expect_state enabled|checked VALUE NAME...
expect_state() { local n; for n in "${@:3}"; do expect_eq "$1 $n" "$(drv "$1" "$n")" "$2"; done; }
# expect_captions en|zh-hans|zh-hant: each control and menu item whose caption is fixed shows its
# key's text in that language, and the language's menu item alone is checked.
expect_captions() {
    local n
    for n in Main lblCertList cmdImport cmdDeploy lblHttpsPort mnuFile mnuFileExit mnuChain mnuChainManualImport \
        mnuChainViewSystemStore mnuChainTls mnuChainTlsCompatible mnuChainTlsModern mnuChainTlsUnchanged mnuTools mnuToolsSetPort mnuToolsVerify mnuToolsRenew mnuLanguage mnuLanguageEnglish mnuLanguageSimplifiedChinese \
        mnuLanguageTraditionalChinese mnuHelp mnuHelpAbout mnuHelpCheckUpdate; do
        expect_text "$n" "$(str "$1" "${n}_Caption")"
    done
    for n in en:English zh-hans:SimplifiedChinese zh-hant:TraditionalChinese; do
        expect_state checked "$([[ ${n%:*} == "$1" ]] && echo 1 || echo 0)" "mnuLanguage${n#*:}"
    done
}

# expect_box TITLE TEXT BUTTONS ICON_STYLE [TIMEOUT_MS]: the message box that opens; it stays open.
expect_box() { expect_eq "message box" "$(drv wait-box "${5:-}")" "title=$1"$'\n'"text=$2"$'\n'"buttons=$3"$'\n'"icon=$4"; }
# choose MENU_ITEM (that opens no box), close_box [BUTTON_ID]: then the handler has finished.
choose() {
    expect_ok "choose $1" drv menu "$1"
    drv wait-idle >/dev/null || fail "the window stayed busy after $1"
}
close_box() {
    expect_ok "press button ${1:-1}" drv answer-box "${1:-1}"
    drv wait-idle 60000 >/dev/null || fail "the window stayed busy after the box"
}

reset_program_folder() { find "$QB_APP_DIR" -mindepth 1 ! -name Quillbay.exe ! -name quillbay-cli.exe -delete; }
# Placeholder chain files: the scan goes by extension, not content.
add_chain_files() { mkdir -p "$QB_APP_DIR/chain" && printf 'placeholder\r\n' | tee "${@/#/$QB_APP_DIR/chain/}" >/dev/null; }
# expect_chain_list NAME...: exactly these, all selected, in any order (the file system's).
expect_chain_list() {
    expect_eq "chain list" "$(drv list lstCertificates | sort)" "$(printf '[x] %s\n' "$@" | sort)"
    expect_state enabled 1 cmdImport
}
# The selection of a list as one word: x selected, - not ("x--").
selection() { drv list "$1" | cut -c2 | tr -d '\n' | tr ' ' -; }

appcmd_calls() { sbx log | awk -F'\t' '$2 == "appcmd"'; }  # appcmd's runs since the seed, a line each
# The stores as "store thumbprint key" lines, CA and My (Wine drops a PFX's self-signed root).
store_entries() { sbx stores | awk -F'\t' '$1 == "CA" || $1 == "My" { print $1, $2, $3 }' | sort; }

# plant_tools FOLDER: files named like the tools, each a recording stand-in (planted.exe) or a
# batch file that calls one, and a console file; "sbx planted" lists any that ran.
plant_tools() {
    local name
    for name in cmd certutil reg appcmd iisreset mmc netsh; do cp "$WINEPREFIX/drive_c/QuillbaySandbox/bin/planted.exe" "$1/$name.exe"; done
    for name in cmd certutil reg iisreset; do printf '@"C:\\QuillbaySandbox\\bin\\planted.exe" %%0 %%*\r\n' >"$1/$name.bat"; done
    printf '<?xml version="1.0"?>\r\n<MMC_ConsoleFile/>\r\n' >"$1/certlm.msc"
}
# free_ports: two ports of 127.0.0.1 that nothing listens on, for the front's http and https.
free_ports() { python3 -c 'import socket; s = [socket.create_server(("127.0.0.1", 0)) for _ in range(2)]; print(*(x.getsockname()[1] for x in s))'; }
# seed_shop [OPTION...]: Shop with two host names and Intranet with none.
seed_shop() { printf '%s\t%s\n' Shop 'http/*:80:a.example.test,http/*:80:b.example.test' Intranet 'http/*:80:' | seed_sites "$@"; }

# cli ARG...: the console program, its standard output and error in files; returns its exit code.
QB_CLI_OUT=$WINEPREFIX/drive_c/qb-cli.out QB_CLI_ERR=$WINEPREFIX/drive_c/qb-cli.err
cli() { wine 'C:\Quillbay\quillbay-cli.exe' "$@" </dev/null >"$QB_CLI_OUT" 2>"$QB_CLI_ERR"; }
expect_cli() { cli "${@:2}"; local rc=$?; expect_eq "exit code of quillbay-cli ${*:2}" "$rc" "$1"; }  # EXIT_CODE ARG...
# json EXPRESSION: a Python expression over the document d that the last run printed.
json() { python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$QB_CLI_OUT" "$1" ||
    fail "no JSON document: $(head -c 300 "$QB_CLI_OUT")"; }

# log_records FILE [CODEPAGE]: procedure<TAB>message (log.txt) or procedure<TAB>description<TAB>
# number (log-error.txt) a line, from the code page the program ran with.
clear_logs() { rm -f "$QB_APP_DIR/log.txt" "$QB_APP_DIR/log-error.txt"; }
log_records() {
    iconv -f "${2:-CP1252}" -t UTF-8 "$QB_APP_DIR/$1" 2>/dev/null | tr -d '\r' |
        sed -nE "s/^\[[^]]*\] [^']*'([^']*)'[^:]*: (.*)$/\1\t\2/p" |
        if [[ $1 == log-error.txt ]]; then sed -E 's/ \([^()]*: (-?[0-9]+)\)$/\t\1/'; else cat; fi
}
