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

# thumbprint FILE [FORMAT]: the SHA-1 of a certificate, upper case, as the stores show it.
thumbprint() { openssl x509 -inform "${2:-PEM}" -in "$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g'; }

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
            printf '%s\n' '[ca]' 'basicConstraints = critical, CA:true' 'keyUsage = critical, keyCertSign, cRLSign' \
                'subjectKeyIdentifier = hash' 'authorityKeyIdentifier = keyid' '[leaf]' \
                'basicConstraints = critical, CA:false' 'keyUsage = critical, digitalSignature, keyEncipherment' \
                'extendedKeyUsage = serverAuth' 'subjectAltName = DNS:www.example.test' >ext.cnf
            openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.crt -days 30 \
                -subj "/CN=Quillbay E2E Root" -addext "basicConstraints=critical,CA:true" \
                -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
            for step in "inter1 root ca" "inter2 inter1 ca" "leaf inter2 leaf"; do
                read -r name issuer extensions <<<"$step"
                openssl req -new -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" \
                    -subj "/CN=Quillbay E2E $name" 2>/dev/null
                openssl x509 -req -in "$name.csr" -CA "$issuer.crt" -CAkey "$issuer.key" -CAcreateserial \
                    -out "$name.crt" -days 30 -extfile ext.cnf -extensions "$extensions" 2>/dev/null
            done
            cat inter2.crt inter1.crt root.crt >chain.pem
            for pfx in "fullchain.pfx $QB_PFX_PASSWORD" "awkward.pfx $QB_AWKWARD_PASSWORD"; do
                QB_PASS=${pfx#* } openssl pkcs12 -export -inkey leaf.key -in leaf.crt -certfile chain.pem \
                    -passout env:QB_PASS "${legacy[@]}" -out "${pfx%% *}"
            done
            # Named like certificates, but not certificates.
            printf 'This is not a certificate.\r\nJust notes someone saved in the chain folder.\r\n' >garbage.crt
            printf 'PK\003\004 not a PKCS #12 file at all\r\n' >not-a-pfx.pfx
            touch ./done
        ) || { fail "openssl could not make the test certificates"; return 1; }
    fi
    local name
    for name in root inter1 inter2 leaf; do printf -v "QB_THUMB_${name^^}" %s "$(thumbprint "$QB_PKI/$name.crt")"; done
}

# put_files PFX PASSWORD CHAIN...: a file of $QB_PKI as fullchain.pfx beside the program,
# password.txt holding PASSWORD and a line end as a text editor saves it, and the chain
# folder holding exactly these certificates of $QB_PKI.
put_files() {
    cp "$QB_PKI/$1" "$QB_APP_DIR/fullchain.pfx"
    printf '%s\r\n' "$2" >"$QB_APP_DIR/password.txt"
    shift 2
    rm -rf "$QB_APP_DIR/chain"
    mkdir -p "$QB_APP_DIR/chain"
    local name
    for name; do cp "$QB_PKI/$name" "$QB_APP_DIR/chain/$name"; done
}

# start_app_cp936: the program with the Chinese code page, so that the Chinese parts of the
# log records keep their bytes, switched to English for the texts the checks compare.
start_app_cp936() {
    start_app zh_CN.UTF-8 || return 1
    choose mnuLanguageEnglish
}

# import_and_expect TITLE TEXT STYLE: presses Import, checks the outcome box and closes it.
# The import waits for every certutil and writes 56 registry values, so it takes a while.
import_and_expect() {
    expect_ok "press Import" drv click cmdImport
    expect_box "$1" "$2" 1 "$3" 180000
    close_box
}

# The outcome texts in English, escaped as the driver prints them.
success_text() {  # CHAINS
    printf '%s' "$(str en MsgBox_Import_CertImportSuccess)$1$(str en MsgBox_Import_CertImportSuccessPFX)\\r\\n$(
        str en MsgBox_Import_RestartNote)"
}
partial_text() {  # LINE...
    local text line
    text=$(str en MsgBox_Import_PartialIntro)
    for line; do text+="\\r\\n$line"; done
    printf '%s' "$text"
}
pfx_failed_line() {  # EXIT_CODE
    printf '%s' "$(str en MsgBox_Import_PfxFailed)$1$(str en MsgBox_Import_PfxFailed_CheckPassword)"
}

# The sandbox's record of the certutil calls, one command line a line, without the program.
certutil_calls() {
    sbx log | awk -F'\t' '$2 == "certutil" { print $4 }' | sed -E 's/^("[^"]*"|[^ ]*) //'
}

# The stores of the sandbox as "store thumbprint key" lines, CA and My only. (Wine drops a
# PFX's self-signed root, so Root stays empty here.)
store_entries() {
    sbx stores | awk -F'\t' '$1 == "CA" || $1 == "My" { print $1, $2, $3 }' | sort
}

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

# hardening_values: the 56 values of the TLS hardening as security_values shows them once
# written. ServerMinKeyBitLength is 2048 (0x800), not 800.
hardening_values() {
    local on=0xffffffff name case enabled by_default side
    {
        echo "|SecurityProviders|REG_SZ|credssp.dll"
        echo "\\SCHANNEL|EventLogging|REG_DWORD|0x1"
        for name in "AES 128/128" "AES 256/256" "Triple DES 168"; do echo "\\SCHANNEL\\Ciphers\\$name|Enabled|REG_DWORD|$on"; done
        for name in "DES 56/56" NULL "RC2 128/128" "RC2 40/128" "RC2 56/128" "RC4 128/128" "RC4 40/128" \
            "RC4 56/128" "RC4 64/128"; do
            echo "\\SCHANNEL\\Ciphers\\$name|Enabled|REG_DWORD|0x0"
        done
        for name in MD5 SHA SHA256 SHA384 SHA512; do echo "\\SCHANNEL\\Hashes\\$name|Enabled|REG_DWORD|$on"; done
        for name in Diffie-Hellman ECDH PKCS; do echo "\\SCHANNEL\\KeyExchangeAlgorithms\\$name|Enabled|REG_DWORD|$on"; done
        echo "\\SCHANNEL\\KeyExchangeAlgorithms\\Diffie-Hellman|ServerMinKeyBitLength|REG_DWORD|0x800"
        for case in "Multi-Protocol Unified Hello:0x0:0x1" "PCT 1.0:0x0:0x1" "SSL 2.0:0x0:0x1" "SSL 3.0:0x0:0x1" \
            "TLS 1.0:$on:0x0" "TLS 1.1:$on:0x0" "TLS 1.2:$on:0x0"; do
            IFS=: read -r name enabled by_default <<<"$case"
            for side in Client Server; do
                echo "\\SCHANNEL\\Protocols\\$name\\$side|Enabled|REG_DWORD|$enabled"
                echo "\\SCHANNEL\\Protocols\\$name\\$side|DisabledByDefault|REG_DWORD|$by_default"
            done
        done
        printf '\\WDigest|%s\n' "Debuglevel|REG_DWORD|0x0" "Negotiate|REG_DWORD|0x0" "UTF8HTTP|REG_DWORD|0x1" \
            "UTF8SASL|REG_DWORD|0x1" "DigestEncryptionAlgorithms|REG_SZ|3des,rc4"
    } | awk -F'|' '{ print tolower($1) "\t" $2 "\t" $3 "\t" $4 }' | LC_ALL=C sort
}

# expect_hardened BEFORE: the 56 values read back as written, the values that were there before
# (BEFORE, from security_values) and that the hardening does not set stay as they were, and
# there is nothing else.
expect_hardened() {
    local expected
    expected=$(hardening_values)
    expect_eq "rows of the hardening table" "$(wc -l <<<"$expected")" 56
    expected=$({ echo "$expected"; awk -F'\t' 'NR == FNR { ours[$1 FS $2]; next } !(($1 FS $2) in ours)' \
        <(echo "$expected") <(echo "$1"); } | LC_ALL=C sort)
    expect_eq "values below SecurityProviders" "$(security_values)" "$expected"
}
