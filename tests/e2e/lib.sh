# Helpers for the end-to-end scenarios, sourced before each one in the host of sandbox/host.sh. A failed
# check prints a line and is counted. Expected texts are written out; str gives one key's text.

QB_FAILURES=0
QB_PKI=$WINEPREFIX/drive_c/qb-pki
QB_PFX_PASSWORD='Secret pass!'
QB_SECURITY_KEY='HKLM\SYSTEM\CurrentControlSet\Control\SecurityProviders'
QB_DEPLOYMENT=(lstSites cmdDeploy TxtHttpsPort lblHttpsPort mnuToolsSetPort mnuToolsVerify mnuToolsRenew)

# One driver process answers every drv call between drv_open and drv_close: starting a Wine
# process costs a hundred times what a command does.
drv_open() {
    local fifo
    fifo=$(mktemp -u "$QB_DRIVER_LOG.XXXXXX") && mkfifo "$fifo.in" "$fifo.out" || return 1
    wine "$QB_DRIVER" serve <"$fifo.in" >"$fifo.out" 2>>"$QB_DRIVER_LOG" &
    QB_DRV_PID=$!
    exec {QB_DRV_IN}>"$fifo.in" {QB_DRV_OUT}<"$fifo.out"
    rm -f "$fifo.in" "$fifo.out"
}
drv_close() {
    echo >&"$QB_DRV_IN"
    exec {QB_DRV_IN}>&- {QB_DRV_OUT}<&-
    wait "$QB_DRV_PID"
}

# drv COMMAND ARG...: the driver's output and exit code; each call goes to driver.log.
drv() {
    local IFS=$'\t' out= line rc=3
    printf '%s\n' "$*" >&"$QB_DRV_IN"
    while IFS= read -r line <&"$QB_DRV_OUT"; do
        [[ $line == $'\x01'* ]] && { rc=${line#?}; break; }
        out+=$line$'\n'
    done
    printf '[%s] %s\n' "$rc" "$*" >>"$QB_DRIVER_LOG"
    printf '%s' "$out"
    return "$rc"
}

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

# launch LOCALE [NAME=VALUE...]: Quillbay.exe in that locale (Wine takes the UI language from
# LC_ALL) with these environment changes, holding none of the driver's pipes.
launch() {
    LANG=$1 LC_ALL=$1 wine "$QB_DRIVER" launch 'C:\Quillbay\Quillbay.exe' "${@:2}" </dev/null >/dev/null \
        2>>"$QB_DRIVER_LOG" {QB_DRV_IN}>&- {QB_DRV_OUT}<&- || fail "the program could not be started"
}
start_app() {
    launch "$@" || return 1
    drv wait-window 30000 >/dev/null || { fail "the window did not appear"; return 1; }
    drv wait-idle 60000 >/dev/null || fail "the window did not finish loading"
}
stop_app() {
    drv wait-window 0 >/dev/null 2>&1 || return 0
    drv close >/dev/null
    drv wait-gone 30000 >/dev/null || fail "the window did not close"
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

sbx() { wine 'C:\QuillbaySandbox\sbx.exe' "$@" </dev/null 2>>"$QB_DRIVER_LOG" | tr -d '\r'; }  # its status (pipefail)
# seed_sites [OPTION...] < "NAME<TAB>BINDINGS" lines: in a file, which no command line mangles.
seed_sites() { cat >"$WINEPREFIX/drive_c/qb-sites.tsv" && sbx seed --sites-file 'C:\qb-sites.tsv' "$@" >/dev/null; }
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

thumbprint() { openssl x509 -inform "${2:-PEM}" -in "$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g'; }

# make_test_pki: once a run, root > inter1 > inter2 > leaf and fullchain.pfx of the leaf with its
# chain, and QB_THUMB_ROOT, _INTER1, _INTER2, _LEAF. QB_INTERMEDIATES, QB_LEAF_SAN and
# QB_PKI_LABEL change the intermediates, the leaf's names and the subjects. The PFX uses
# SHA-1/3DES and a SHA-1 MAC, which Wine reads (OpenSSL 3's AES default is not readable by
# every Windows either).
make_test_pki() {
    local intermediates=(${QB_INTERMEDIATES:-inter1 inter2}) label=${QB_PKI_LABEL:-Quillbay E2E} name
    [[ -f $QB_PKI/done ]] || (
        set -e
        rm -rf "$QB_PKI" && mkdir -p "$QB_PKI" && cd "$QB_PKI"
        printf '%s\n' '[ca]' 'basicConstraints = critical, CA:true' 'keyUsage = critical, keyCertSign, cRLSign' \
            'subjectKeyIdentifier = hash' 'authorityKeyIdentifier = keyid' '[leaf]' \
            'basicConstraints = critical, CA:false' 'keyUsage = critical, digitalSignature, keyEncipherment' \
            'extendedKeyUsage = serverAuth' "subjectAltName = ${QB_LEAF_SAN:-DNS:www.example.test}" >ext.cnf
        openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days "${QB_PKI_DAYS:-30}" -subj "/CN=$label Root" \
            -addext "basicConstraints=critical,CA:true" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
        issuer=root chain=root.crt
        for name in "${intermediates[@]}" leaf; do
            openssl req -new -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" \
                -subj "/CN=$label $name" 2>/dev/null
            openssl x509 -req -in "$name.csr" -CA "$issuer.crt" -CAkey "$issuer.key" -CAcreateserial \
                -out "$name.crt" -days "${QB_PKI_DAYS:-30}" -extfile ext.cnf -extensions "$([[ $name == leaf ]] && echo leaf || echo ca)" 2>/dev/null
            [[ $name == leaf ]] || chain="$name.crt $chain" issuer=$name
        done
        cat $chain >chain.pem
        QB_PASS=$QB_PFX_PASSWORD openssl pkcs12 -export -inkey leaf.key -in leaf.crt -certfile chain.pem \
            -passout env:QB_PASS -keypbe PBE-SHA1-3DES -certpbe PBE-SHA1-3DES -macalg sha1 -out fullchain.pfx
        touch done
    ) || { fail "openssl could not make the test certificates"; return 1; }
    for name in root "${intermediates[@]}" leaf; do printf -v "QB_THUMB_${name^^}" %s "$(thumbprint "$QB_PKI/$name.crt")"; done
}

# put_files PFX PASSWORD CHAIN...: files of $QB_PKI as fullchain.pfx and the chain folder.
put_files() {
    cp "$QB_PKI/$1" "$QB_APP_DIR/fullchain.pfx"
    printf '%s\r\n' "$2" >"$QB_APP_DIR/password.txt"
    shift 2
    rm -rf "$QB_APP_DIR/chain" && mkdir -p "$QB_APP_DIR/chain" && cp "${@/#/$QB_PKI/}" "$QB_APP_DIR/chain/"
}
