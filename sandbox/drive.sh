# Driving the simulated host of host.sh, for scripts/try and the end-to-end tests: the driver's
# session with the window, starting and stopping the program, the sandbox's own command, and a
# PKI of a test CA with its files put beside the program. Failures are counted by fail, which
# the caller defines (tests/e2e/lib.sh).

QB_PKI=$WINEPREFIX/drive_c/qb-pki
QB_PFX_PASSWORD='Secret pass!'

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

sbx() { wine 'C:\QuillbaySandbox\sbx.exe' "$@" </dev/null 2>>"$QB_DRIVER_LOG" | tr -d '\r'; }  # its status (pipefail)
# seed_sites [OPTION...] < "NAME<TAB>BINDINGS" lines: in a file, which no command line mangles.
seed_sites() { cat >"$WINEPREFIX/drive_c/qb-sites.tsv" && sbx seed --sites-file 'C:\qb-sites.tsv' "$@" >/dev/null; }

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
