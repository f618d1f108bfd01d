# Import: the chain certificates and fullchain.pfx go into the stores, the 56 TLS values into
# the registry after a backup, IIS restarts once, and the box says so. Then: nothing selected;
# an awkward password in a program folder nobody may write to.
make_test_pki || return
chains=(inter1.crt inter2.crt root.crt)
put_files fullchain.pfx "$QB_PFX_PASSWORD" "${chains[@]}"
done_status="$(str en lblStatus_ImportCompleteDeployReady) $(str en MsgBox_Import_RestartNote)"
success_text() {  # CHAINS
    echo "$(str en MsgBox_Import_CertImportSuccess)$1$(str en MsgBox_Import_CertImportSuccessPFX)\\r\\n$(
        str en MsgBox_Import_RestartNote)"
}

# "key suffix<TAB>name<TAB>type<TAB>data" lines, the suffix in lower case: the registry ignores
# case, and Wine's prefix spells some keys its own way.
security_values() {
    wine reg query "$QB_SECURITY_KEY" /s </dev/null 2>/dev/null | tr -d '\r' | awk -F '    ' '
        /^HKEY_/ { key = tolower($0); sub(/^.*\\securityproviders/, "", key) }
        /^    [^ ]/ { print key "\t" $2 "\t" $3 "\t" $4 }' | LC_ALL=C sort
}
# The 56 values the hardening writes; ServerMinKeyBitLength is 2048, not 800.
on=0xffffffff
expected=$({
    echo "|SecurityProviders|REG_SZ|credssp.dll"
    echo "\\SCHANNEL|EventLogging|REG_DWORD|0x1"
    printf "\\\\SCHANNEL\\\\Ciphers\\\\%s|Enabled|REG_DWORD|$on\n" "AES 128/128" "AES 256/256" "Triple DES 168"
    printf '\\SCHANNEL\\Ciphers\\%s|Enabled|REG_DWORD|0x0\n' "DES 56/56" NULL "RC2 128/128" "RC2 40/128" \
        "RC2 56/128" "RC4 128/128" "RC4 40/128" "RC4 56/128" "RC4 64/128"
    printf "\\\\SCHANNEL\\\\Hashes\\\\%s|Enabled|REG_DWORD|$on\n" MD5 SHA SHA256 SHA384 SHA512
    printf "\\\\SCHANNEL\\\\KeyExchangeAlgorithms\\\\%s|Enabled|REG_DWORD|$on\n" Diffie-Hellman ECDH PKCS
    echo "\\SCHANNEL\\KeyExchangeAlgorithms\\Diffie-Hellman|ServerMinKeyBitLength|REG_DWORD|0x800"
    while IFS=: read -r name enabled by_default; do
        for side in Client Server; do
            echo "\\SCHANNEL\\Protocols\\$name\\$side|Enabled|REG_DWORD|$enabled"
            echo "\\SCHANNEL\\Protocols\\$name\\$side|DisabledByDefault|REG_DWORD|$by_default"
        done
    done < <(printf '%s:0x0:0x1\n' "Multi-Protocol Unified Hello" "PCT 1.0" "SSL 2.0" "SSL 3.0"
        printf "%s:$on:0x0\n" "TLS 1.0" "TLS 1.1" "TLS 1.2")
    printf '\\WDigest|%s\n' "Debuglevel|REG_DWORD|0x0" "Negotiate|REG_DWORD|0x0" "UTF8HTTP|REG_DWORD|0x1" \
        "UTF8SASL|REG_DWORD|0x1" "DigestEncryptionAlgorithms|REG_SZ|3des,rc4"
} | awk -F'|' '{ print tolower($1) "\t" $2 "\t" $3 "\t" $4 }' | LC_ALL=C sort)

# The administrator's own settings: one of the 56 set otherwise, and one the hardening does
# not know. The backup must hold both; the second must survive.
for value in 'TLS 1.2\Server:0' 'TLS 1.3\Server:1'; do
    wine reg add "$QB_SECURITY_KEY\\SCHANNEL\\Protocols\\${value%:*}" /v Enabled /t REG_DWORD /d "${value#*:}" /f \
        </dev/null >/dev/null 2>&1 || fail "reg add $value"
done
values_before=$(security_values)
wine reg export "$QB_SECURITY_KEY" 'C:\qb-pki\before.reg' /y </dev/null >/dev/null 2>&1 || fail "reg export"

start_app en_US.UTF-8 || return
expect_chain_list "${chains[@]}"
started=$(date +%Y%m%d%H%M%S)
import_and_expect "$(str en MsgBox_Import_CompleteTitle)" "$(success_text 3)" 64
ended=$(date +%Y%m%d%H%M%S)
expect_text lblStatus "$done_status"
expect_state enabled 1 cmdImport cmdDeploy
expect_eq "certutil calls" "$(certutil_calls | sort)" "$({ printf -- '-addstore -f "CA" "C:\\Quillbay\\chain\\%s"\n' \
    "${chains[@]}"; echo '-f -p ******** -importpfx "C:\Quillbay\fullchain.pfx"'; } | sort)"
expect_eq "stores" "$(store_entries)" "$(printf '%s\n' "CA $QB_THUMB_INTER1 no" "CA $QB_THUMB_INTER2 no" \
    "CA $QB_THUMB_ROOT no" "My $QB_THUMB_LEAF yes" | sort)"
expect_eq "IIS restarts" "$(sbx restarts)" 1
# The 56 values, those there before that the hardening does not set, nothing else.
expect_eq "values below SecurityProviders" "$(security_values)" "$({ echo "$expected"
    awk -F'\t' 'NR == FNR { ours[$1 FS $2]; next } !(($1 FS $2) in ours)' <(echo "$expected") <(echo "$values_before")
} | LC_ALL=C sort)"

# One backup, named after the moment of the import: the values as they were, and the undo of
# what was not there. Imported together they give back exactly the settings from before.
backups=$(ls "$QB_APP_DIR/backup" 2>/dev/null) stamp=$(sed -n 's/^SecurityProviders-\([0-9]*\)\.reg$/\1/p' <<<"$backups")
[[ $backups == "SecurityProviders-$stamp-undo.reg"$'\n'"SecurityProviders-$stamp.reg" && ${#stamp} == 14 &&
    ! ($stamp < $started || $stamp > $ended) ]] ||
    fail "backup folder: expected SecurityProviders-<$started..$ended>.reg and its undo, got [$backups]"
cmp -s "$QB_APP_DIR/backup/SecurityProviders-$stamp.reg" "$QB_PKI/before.reg" || fail "the backup differs from the values before"
values_hardened=$(security_values)
for file in "SecurityProviders-$stamp.reg" "SecurityProviders-$stamp-undo.reg"; do
    wine reg import "C:\\Quillbay\\backup\\$file" </dev/null >/dev/null 2>&1 || fail "reg import $file"
done
expect_eq "values after restoring the backup" "$(security_values)" "$values_before"

cat "$QB_APP_DIR"/log*.txt 2>/dev/null | grep -qF "$QB_PFX_PASSWORD" && fail "the password is in a log"
sbx log | grep -qF "$QB_PFX_PASSWORD" && fail "the password is in the sandbox's log"
expect_eq "error records" "$(log_records log-error.txt)" ""
cmp -s "$QB_APP_DIR/fullchain.pfx" "$QB_PKI/fullchain.pfx" || fail "fullchain.pfx was changed"
expect_eq "password.txt" "$(cat "$QB_APP_DIR/password.txt")" "$QB_PFX_PASSWORD"$'\r'

# Nothing selected: only the box.
before="$(sbx log)|$(security_values)|$(ls "$QB_APP_DIR/backup")"
[[ $values_hardened != "$values_before" ]] || fail "the hardening changed nothing"
for i in 0 1 2; do expect_ok "deselect chain $i" drv list-click lstCertificates $i; done
expect_eq "chain selection" "$(selection lstCertificates)" "---"
import_and_expect Quillbay "$(str en MsgBox_Import_SelectCert)" 48
expect_text lblStatus "$(str en lblStatus_Importing)"
expect_state enabled 1 cmdImport cmdDeploy
expect_eq "tool calls, registry and backups after Import with nothing selected" \
    "$(sbx log)|$(security_values)|$(ls "$QB_APP_DIR/backup")" "$before"
stop_app

# The awkward password reaches certutil unchanged: the PFX made with it opens. The program
# folder is immutable (root writes anywhere else): logs and backup are lost, so the TLS
# settings are left alone and the box says why; the certificates are imported all the same.
reset_program_folder
expect_ok "seed the default host" sbx seed
put_files awkward.pfx "$QB_AWKWARD_PASSWORD" inter1.crt
immutable=0
if chattr +i "$QB_APP_DIR" 2>/dev/null && ! touch "$QB_APP_DIR/probe" 2>/dev/null; then
    trap 'chattr -i "$QB_APP_DIR" 2>/dev/null' EXIT
    immutable=1
else
    chattr -i "$QB_APP_DIR" 2>/dev/null
    rm -f "$QB_APP_DIR/probe"
    echo "    the program folder cannot be made read-only here: importing into a writable one"
fi
values_before=$(security_values)
start_app en_US.UTF-8 || return
if ((immutable)); then
    unchanged="$(str en MsgBox_Import_SecurityUnchanged)5$(str en MsgBox_Import_CodeEnd)"
    import_and_expect "$(str en MsgBox_Import_PartialCompleteTitle)" "$(str en MsgBox_Import_PartialIntro)\\r\\n$unchanged" 48
    expect_text lblStatus "$(str en lblStatus_ImportCompleteSecurityFailed)"
    expect_eq "values when no backup could be made" "$(security_values)" "$values_before"
    expect_eq "IIS restarts" "$(sbx restarts)" 0
    expect_eq "files written beside the program" "$(cd "$QB_APP_DIR" && ls | xargs)" \
        "Quillbay.exe chain fullchain.pfx password.txt quillbay-cli.exe"
else
    import_and_expect "$(str en MsgBox_Import_CompleteTitle)" "$(success_text 1)" 64
fi
expect_eq "My store" "$(store_entries | grep '^My ')" "My $QB_THUMB_LEAF yes"
sbx log | grep -qF "$QB_AWKWARD_PASSWORD" && fail "the password is in the sandbox's log"
stop_app
chattr -i "$QB_APP_DIR" 2>/dev/null
trap - EXIT
