# Helpers for the certificate scenarios (import, its bad input, the store view). Sourced by
# those scenarios after lib.sh.
#
# Test certificates: a root, two intermediates below it (inter1 signed by the root, inter2 by
# inter1) and a server certificate signed by inter2, made once per prefix with openssl in
# C:\qb-pki. PFX files use SHA-1/3DES encryption and a SHA-1 MAC, which Wine's PKCS #12 code
# reads (OpenSSL 3's AES/PBKDF2 default is not readable by every Windows either).

QB_PKI=$WINEPREFIX/drive_c/qb-pki
QB_PFX_PASSWORD='Secret pass!'
# Characters a command interpreter acts on, quotes and backslashes in every position the
# command-line rules treat differently: before a quote, doubled, before a blank, at the end.
QB_AWKWARD_PASSWORD='a"b\"c\\d e%PATH%f&g|h^i<j>k!l(m)\'
QB_SECURITY_KEY='HKLM\SYSTEM\CurrentControlSet\Control\SecurityProviders'

# thumbprint FILE: the SHA-1 of a PEM certificate, upper case, as the stores show it.
thumbprint() {
    openssl x509 -in "$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr a-f A-F
}

# make_test_pki: the certificates and PFX files in $QB_PKI (kept for the rest of the run),
# and their thumbprints in QB_THUMB_ROOT, _INTER1, _INTER2, _LEAF.
make_test_pki() {
    if [[ ! -f $QB_PKI/done ]]; then
        rm -rf "$QB_PKI"
        mkdir -p "$QB_PKI"
        (
            set -e
            cd "$QB_PKI"
            legacy=(-keypbe PBE-SHA1-3DES -certpbe PBE-SHA1-3DES -macalg sha1)
            cat >ext.cnf <<'EOF'
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[leaf]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:www.example.test
EOF
            openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days 30 \
                -subj "/CN=Quillbay E2E Root" -addext "basicConstraints=critical,CA:true" \
                -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
            sign() {  # NAME ISSUER EXTENSIONS
                openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" \
                    -subj "/CN=Quillbay E2E $1" 2>/dev/null
                openssl x509 -req -in "$1.csr" -CA "$2.crt" -CAkey "$2.key" -CAcreateserial -out "$1.crt" \
                    -days 30 -extfile ext.cnf -extensions "$3" 2>/dev/null
            }
            sign inter1 root ca
            sign inter2 inter1 ca
            sign leaf inter2 leaf
            cat inter2.crt inter1.crt root.crt >chain.pem
            openssl pkcs12 -export -inkey leaf.key -in leaf.crt -certfile chain.pem \
                -passout "pass:$QB_PFX_PASSWORD" "${legacy[@]}" -out fullchain.pfx
            QB_PASS=$QB_AWKWARD_PASSWORD openssl pkcs12 -export -inkey leaf.key -in leaf.crt -certfile chain.pem \
                -passout env:QB_PASS "${legacy[@]}" -out awkward.pfx
            # Named like certificates, but not certificates.
            printf 'This is not a certificate.\r\nJust notes someone saved in the chain folder.\r\n' >garbage.crt
            printf 'PK\003\004 not a PKCS #12 file at all\r\n' >not-a-pfx.pfx
            touch ./done
        ) || { fail "openssl could not make the test certificates"; return 1; }
    fi
    QB_THUMB_ROOT=$(thumbprint "$QB_PKI/root.crt")
    QB_THUMB_INTER1=$(thumbprint "$QB_PKI/inter1.crt")
    QB_THUMB_INTER2=$(thumbprint "$QB_PKI/inter2.crt")
    QB_THUMB_LEAF=$(thumbprint "$QB_PKI/leaf.crt")
}

# reset_program_folder: the program folder as installed (only Quillbay.exe): no chain folder,
# PFX, password, logs or backups left by an earlier scenario.
reset_program_folder() {
    rm -rf "$QB_APP_DIR/chain" "$QB_APP_DIR/backup"
    rm -f "$QB_APP_DIR/fullchain.pfx" "$QB_APP_DIR/password.txt" "$QB_APP_DIR/log.txt" "$QB_APP_DIR/log-error.txt"
}

# put_chain NAME...: certificates of $QB_PKI into the chain folder.
put_chain() {
    mkdir -p "$QB_APP_DIR/chain"
    local name
    for name in "$@"; do cp "$QB_PKI/$name" "$QB_APP_DIR/chain/$name"; done
}

# put_pfx FILE: a file of $QB_PKI as fullchain.pfx beside the program.
put_pfx() {
    cp "$QB_PKI/$1" "$QB_APP_DIR/fullchain.pfx"
}

# put_password TEXT: password.txt holding TEXT and a line end, as a text editor saves it.
put_password() {
    printf '%s\r\n' "$1" >"$QB_APP_DIR/password.txt"
}

# start_app_cp936: the program with the Chinese code page, so that the Chinese parts of the
# log records keep their bytes, switched to English for the texts the checks compare.
start_app_cp936() {
    start_app zh_CN.UTF-8 || return 1
    expect_ok "switch to English" drv menu $ID_MNU_LANGUAGE_ENGLISH
    drv wait-idle >/dev/null
}

# error_records [CODEPAGE]: log-error.txt as "procedure<TAB>description<TAB>number" lines,
# converted from the code page the program ran with (default 1252).
error_records() {
    local file=$QB_APP_DIR/log-error.txt
    [[ -f $file ]] || return 0
    iconv -f "${1:-CP1252}" -t UTF-8 "$file" | tr -d '\r' |
        sed -nE "s/^\[[^]]*\] [^']*'([^']*)'[^:]*: (.*) \([^()]*: (-?[0-9]+)\)$/\1\t\2\t\3/p"
}

# The sandbox's record of the certutil calls, one command line a line, without the program.
certutil_calls() {
    sbx log | awk -F'\t' '$2 == "certutil" { print $4 }' | sed -E 's/^("[^"]*"|[^ ]*) //'
}

# The stores of the sandbox as "store thumbprint key" lines.
store_entries() {
    sbx stores | awk -F'\t' '{ print $1, $2, $3 }' | sort
}

# program_running: a Quillbay.exe of this prefix still exists (whether or not it has a window).
program_running() {
    local environ
    for environ in /proc/[0-9]*/environ; do
        tr '\0' '\n' 2>/dev/null <"$environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        tr '\0' ' ' 2>/dev/null <"${environ%/environ}/cmdline" | grep -qi 'quillbay\.exe' && return 0
    done
    return 1
}

# box_style: the icon of the open message box as its style number: 16 (critical, red), 48
# (exclamation, yellow), 64 (information, blue); "none" without a coloured icon. The box
# carries no readable trace of its icon across processes, so its pixels are judged: the icon
# sits left of the text, and nothing else below the title bar is coloured.
box_style() {
    command -v xwininfo >/dev/null || { echo "unknown"; return; }
    local main_geometry line id shot=$QB_SHOTS/box-style.png w h counts attempt red yellow blue
    main_geometry=$(drv rect | awk '{ printf "%sx%s+%s+%s", $3, $4, $1, $2 }')
    for attempt in 1 2 3 4 5; do
        # Top-level windows come topmost first; the box is the program's topmost window that
        # is not the main window.
        line=$(xwininfo -root -tree | grep -F '("quillbay.exe" "quillbay.exe")' | grep -vF '"Default IME"' |
            grep -vF " $main_geometry " | head -1)
        id=$(awk '{ print $1 }' <<<"$line")
        if [[ -n $id ]] && import -window "$id" "$shot" 2>/dev/null; then
            read -r w h < <(identify -format '%w %h' "$shot")
            counts=$(convert "$shot" -crop "$((w / 4))x$((h - 60))+0+30" +repage -format %c histogram:info:- |
                sed -nE 's/^ *([0-9]+): \( *([0-9]+), *([0-9]+), *([0-9]+).*/\1 \2 \3 \4/p' |
                awk '{ n = $1; r = $2; g = $3; b = $4
                       if (r > g + 60 && r > b + 60 && g < b + 40) red += n
                       else if (r > 140 && g > 110 && b + 60 < g) yellow += n
                       else if (b > r + 40 && b > g + 20) blue += n }
                     END { print red + 0, yellow + 0, blue + 0 }')
            read -r red yellow blue <<<"$counts"
            if ((red > 150 && red > 3 * (yellow + blue))); then echo 16; return; fi
            if ((yellow > 150 && yellow > 3 * (red + blue))); then echo 48; return; fi
            if ((blue > 150 && blue > 3 * (red + yellow))); then echo 64; return; fi
        fi
        sleep 0.3  # not drawn yet
    done
    echo none
}

# expect_box_style TITLE STYLE: the open box's icon is that of STYLE.
expect_box_style() {
    local style
    style=$(box_style)
    if [[ $style == unknown ]]; then
        note "xwininfo missing: icon of \"$1\" not checked"
    else
        expect_eq "icon style of \"$1\"" "$style" "$2"
    fi
}

# expect_box_closed TITLE TEXT STYLE [TIMEOUT_MS]: waits for a message box with an OK button,
# compares title, text (escaped form) and icon style, presses OK and waits until the handler
# that showed it has finished.
expect_box_closed() {
    local box title text buttons
    if ! box=$(drv wait-box "${4:-10000}"); then
        fail "no message box appeared (expected \"$2\")"
        return 1
    fi
    title=$(sed -n 's/^title=//p' <<<"$box")
    text=$(sed -n 's/^text=//p' <<<"$box")
    buttons=$(sed -n 's/^button=\([0-9]*\) .*/\1/p' <<<"$box" | tr '\n' ' ' | sed 's/ $//')
    expect_eq "message box title" "$title" "$1"
    expect_eq "message box text" "$text" "$2"
    expect_eq "message box buttons" "$buttons" "$IDOK"
    expect_box_style "$1" "$3"
    expect_ok "press OK" drv answer-box $IDOK
    drv wait-idle 60000 >/dev/null || fail "the window stayed busy after the box"
}

# import_and_expect TITLE TEXT STYLE: presses Import and checks the outcome box. The import
# waits for every certutil and writes 56 registry values, so it takes a while.
import_and_expect() {
    expect_ok "press Import" drv click $ID_CMD_IMPORT
    expect_box_closed "$1" "$2" "$3" 180000
}

# Import's outcome texts (English), escaped as the driver prints them.
partial_box_text() {  # LINE...
    local text="The import finished, but not everything succeeded:" line
    for line in "$@"; do text+="\\r\\n$line"; done
    printf '%s' "$text"
}
QB_PFX_MISSING_LINE="The PFX was not imported because fullchain.pfx or password.txt is missing."
pfx_failed_line() {  # EXIT_CODE
    printf 'certutil could not import fullchain.pfx (exit code %s): check the password in password.txt.' "$1"
}
QB_RESTART_NOTE="SCHANNEL changes take full effect after the server restarts."
success_box_text() {  # CHAINS
    printf '%s' "Certificate import and security configuration successful! Imported $1 certificate chains and 1 PFX certificate.\\r\\nYou can now select sites from the right list for deployment.\\r\\n$QB_RESTART_NOTE"
}
QB_DEPLOY_READY_STATUS="Import completed. You can now select sites for deployment. $QB_RESTART_NOTE"

# security_values: every value below the SecurityProviders key as read back with reg query,
# "key suffix<TAB>name<TAB>type<TAB>data" a line, the key suffix in lower case (the registry
# ignores case, and Wine's prefix already spells some keys its own way).
security_values() {
    local base='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\SecurityProviders'
    wine reg query "$QB_SECURITY_KEY" /s </dev/null 2>/dev/null | tr -d '\r' |
        awk -v skip="${#base}" '
            /^HKEY_/ { key = tolower(substr($0, skip + 1)); next }
            /^    [^ ]/ {
                line = substr($0, 5)
                n = index(line, "    "); name = substr(line, 1, n - 1); rest = substr(line, n + 4)
                m = index(rest, "    ")
                if (m) { type = substr(rest, 1, m - 1); data = substr(rest, m + 4) } else { type = rest; data = "" }
                print key "\t" name "\t" type "\t" data
            }' | LC_ALL=C sort
}

# The 56 values of the TLS hardening as reg query shows them once written: key suffix, name,
# type, data. ServerMinKeyBitLength is 2048 (0x800), not 800.
QB_HARDENING_TABLE='
|SecurityProviders|REG_SZ|credssp.dll
\SCHANNEL|EventLogging|REG_DWORD|0x1
\SCHANNEL\Ciphers\AES 128/128|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Ciphers\AES 256/256|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Ciphers\DES 56/56|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\NULL|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\RC2 128/128|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\RC2 40/128|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\RC2 56/128|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\RC4 128/128|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\RC4 40/128|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\RC4 56/128|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\RC4 64/128|Enabled|REG_DWORD|0x0
\SCHANNEL\Ciphers\Triple DES 168|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Hashes\MD5|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Hashes\SHA|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Hashes\SHA256|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Hashes\SHA384|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Hashes\SHA512|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\KeyExchangeAlgorithms\Diffie-Hellman|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\KeyExchangeAlgorithms\Diffie-Hellman|ServerMinKeyBitLength|REG_DWORD|0x800
\SCHANNEL\KeyExchangeAlgorithms\ECDH|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\KeyExchangeAlgorithms\PKCS|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Protocols\Multi-Protocol Unified Hello\Client|Enabled|REG_DWORD|0x0
\SCHANNEL\Protocols\Multi-Protocol Unified Hello\Client|DisabledByDefault|REG_DWORD|0x1
\SCHANNEL\Protocols\Multi-Protocol Unified Hello\Server|Enabled|REG_DWORD|0x0
\SCHANNEL\Protocols\Multi-Protocol Unified Hello\Server|DisabledByDefault|REG_DWORD|0x1
\SCHANNEL\Protocols\PCT 1.0\Client|Enabled|REG_DWORD|0x0
\SCHANNEL\Protocols\PCT 1.0\Client|DisabledByDefault|REG_DWORD|0x1
\SCHANNEL\Protocols\PCT 1.0\Server|Enabled|REG_DWORD|0x0
\SCHANNEL\Protocols\PCT 1.0\Server|DisabledByDefault|REG_DWORD|0x1
\SCHANNEL\Protocols\SSL 2.0\Client|Enabled|REG_DWORD|0x0
\SCHANNEL\Protocols\SSL 2.0\Client|DisabledByDefault|REG_DWORD|0x1
\SCHANNEL\Protocols\SSL 2.0\Server|Enabled|REG_DWORD|0x0
\SCHANNEL\Protocols\SSL 2.0\Server|DisabledByDefault|REG_DWORD|0x1
\SCHANNEL\Protocols\SSL 3.0\Client|Enabled|REG_DWORD|0x0
\SCHANNEL\Protocols\SSL 3.0\Client|DisabledByDefault|REG_DWORD|0x1
\SCHANNEL\Protocols\SSL 3.0\Server|Enabled|REG_DWORD|0x0
\SCHANNEL\Protocols\SSL 3.0\Server|DisabledByDefault|REG_DWORD|0x1
\SCHANNEL\Protocols\TLS 1.0\Client|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Protocols\TLS 1.0\Client|DisabledByDefault|REG_DWORD|0x0
\SCHANNEL\Protocols\TLS 1.0\Server|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Protocols\TLS 1.0\Server|DisabledByDefault|REG_DWORD|0x0
\SCHANNEL\Protocols\TLS 1.1\Client|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Protocols\TLS 1.1\Client|DisabledByDefault|REG_DWORD|0x0
\SCHANNEL\Protocols\TLS 1.1\Server|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Protocols\TLS 1.1\Server|DisabledByDefault|REG_DWORD|0x0
\SCHANNEL\Protocols\TLS 1.2\Client|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Protocols\TLS 1.2\Client|DisabledByDefault|REG_DWORD|0x0
\SCHANNEL\Protocols\TLS 1.2\Server|Enabled|REG_DWORD|0xffffffff
\SCHANNEL\Protocols\TLS 1.2\Server|DisabledByDefault|REG_DWORD|0x0
\WDigest|Debuglevel|REG_DWORD|0x0
\WDigest|Negotiate|REG_DWORD|0x0
\WDigest|UTF8HTTP|REG_DWORD|0x1
\WDigest|UTF8SASL|REG_DWORD|0x1
\WDigest|DigestEncryptionAlgorithms|REG_SZ|3des,rc4
'

# hardening_values: the table in the form of security_values.
hardening_values() {
    sed '/^$/d' <<<"$QB_HARDENING_TABLE" |
        awk -F'|' '{ print tolower($1) "\t" $2 "\t" $3 "\t" $4 }' | LC_ALL=C sort
}

# expect_hardened BEFORE: every one of the 56 values reads back as written, the other values
# that were there before (BEFORE, from security_values) are unchanged, and there is nothing else.
expect_hardened() {
    local before=$1 after expected missing others extra
    after=$(security_values)
    expected=$(hardening_values)
    expect_eq "rows of the hardening table" "$(grep -c . <<<"$expected")" 56
    missing=$(LC_ALL=C comm -23 <(printf '%s\n' "$expected") <(printf '%s\n' "$after"))
    [[ -z $missing ]] || fail "$(grep -c . <<<"$missing") of the 56 values not read back as written: $missing"
    # The administrator's own values beside the 56 stay as they were.
    others=$(awk -F'\t' 'NR == FNR { ours[$1 FS $2]; next } !(($1 FS $2) in ours)' \
        <(printf '%s\n' "$expected") <(printf '%s\n' "$before"))
    missing=$(LC_ALL=C comm -23 <(printf '%s\n' "$others" | sed '/^$/d') <(printf '%s\n' "$after"))
    [[ -z $missing ]] || fail "earlier values changed or gone: $missing"
    extra=$(LC_ALL=C comm -13 <(printf '%s\n%s\n' "$expected" "$others" | sed '/^$/d' | LC_ALL=C sort) <(printf '%s\n' "$after"))
    [[ -z $extra ]] || fail "values nobody asked for: $extra"
}
