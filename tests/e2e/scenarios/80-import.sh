# Import: the chain certificates and fullchain.pfx go into the stores, the 56 TLS values into
# the registry after a backup, IIS restarts once, and the box says so.
make_test_pki || return
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt

# A "key suffix" line per key and a "key suffix<TAB>name<TAB>type<TAB>data" line per value, the
# suffix in lower case: the registry ignores case, and Wine's prefix spells some keys its own way.
security_values() {
    wine reg query "$QB_SECURITY_KEY" /s </dev/null 2>/dev/null | tr -d '\r' | awk -F '    ' '
        /^HKEY_/ { key = tolower($0); sub(/^.*\\securityproviders/, "", key); print key }
        /^    [^ ]/ { print key "\t" $2 "\t" $3 "\t" $4 }' | LC_ALL=C sort
}

# The key as the prefix came, saved once a run: a second run of this scenario starts from it.
[[ -f $QB_PKI/pristine.reg ]] || wine reg export "$QB_SECURITY_KEY" 'C:\qb-pki\pristine.reg' /y </dev/null >/dev/null 2>&1
wine reg delete "$QB_SECURITY_KEY" /f </dev/null >/dev/null 2>&1
wine reg import 'C:\qb-pki\pristine.reg' </dev/null >/dev/null 2>&1 || fail "reg import pristine.reg"
# The administrator's own settings: one of the 56 set otherwise, and one the hardening does
# not know. The backup must hold both; the second must survive.
for value in 'TLS 1.2\Server:0' 'TLS 1.3\Server:1'; do
    wine reg add "$QB_SECURITY_KEY\\SCHANNEL\\Protocols\\${value%:*}" /v Enabled /t REG_DWORD /d "${value#*:}" /f \
        </dev/null >/dev/null 2>&1 || fail "reg add $value"
done
values_before=$(security_values)
wine reg export "$QB_SECURITY_KEY" 'C:\qb-pki\before.reg' /y </dev/null >/dev/null 2>&1 || fail "reg export"

start_app en_US.UTF-8 || return
started=$(date +%Y%m%d%H%M%S)
restart="SCHANNEL changes take full effect after the server restarts."
import_and_expect "Import Complete" "Certificate import and security configuration successful! Imported 3 certificate chains \
and 1 PFX certificate.\r\nYou can now select sites from the right list for deployment.\r\n$restart" 64
ended=$(date +%Y%m%d%H%M%S)
expect_text lblStatus "Import completed. You can now select sites for deployment. $restart"
expect_state enabled 1 cmdImport cmdDeploy
expect_eq "stores" "$(store_entries)" "$(printf '%s\n' "CA $QB_THUMB_INTER1 no" "CA $QB_THUMB_INTER2 no" \
    "CA $QB_THUMB_ROOT no" "My $QB_THUMB_LEAF yes" | sort)"
expect_eq "IIS restarts" "$(sbx restarts)" 1
# Reg.exe wrote the 56 values as typed data (2048 bits as 0x800, not decimal 800); the TLS 1.3
# value it does not know is still there.
values=$(security_values)
expect_eq "values written" "$(grep $'\t' <<<"$values" | grep -vc 'tls 1\.3')" 56
expect_eq "values as reg.exe stored them" "$(grep -E 'ServerMinKeyBitLength|tls 1\.[23]\\server	Enabled|	(SecurityProviders|DigestEncryptionAlgorithms)	' <<<"$values")" \
    "$(printf '%s\n' $'\tSecurityProviders\tREG_SZ\tcredssp.dll' \
        $'\\schannel\\keyexchangealgorithms\\diffie-hellman\tServerMinKeyBitLength\tREG_DWORD\t0x800' \
        $'\\schannel\\protocols\\tls 1.2\\server\tEnabled\tREG_DWORD\t0xffffffff' \
        $'\\schannel\\protocols\\tls 1.3\\server\tEnabled\tREG_DWORD\t0x1' \
        $'\\wdigest\tDigestEncryptionAlgorithms\tREG_SZ\t3des,rc4' | LC_ALL=C sort)"

# One backup, named after the moment of the import: the values as they were, and the undo of
# what was not there. Imported together they give back exactly the keys and values from before.
backups=$(ls "$QB_APP_DIR/backup" 2>/dev/null) stamp=$(sed -n 's/^SecurityProviders-\([0-9]*\)\.reg$/\1/p' <<<"$backups")
[[ $backups == "SecurityProviders-$stamp-undo.reg"$'\n'"SecurityProviders-$stamp.reg" && ${#stamp} == 14 &&
    ! ($stamp < $started || $stamp > $ended) ]] ||
    fail "backup folder: expected SecurityProviders-<$started..$ended>.reg and its undo, got [$backups]"
cmp -s "$QB_APP_DIR/backup/SecurityProviders-$stamp.reg" "$QB_PKI/before.reg" || fail "the backup differs from the values before"
for file in "SecurityProviders-$stamp.reg" "SecurityProviders-$stamp-undo.reg"; do
    wine reg import "C:\\Quillbay\\backup\\$file" </dev/null >/dev/null 2>&1 || fail "reg import $file"
done
expect_eq "values after restoring the backup" "$(security_values)" "$values_before"

sbx log | grep -qF "$QB_PFX_PASSWORD" && fail "the password is in the sandbox's log"
expect_eq "error records" "$(log_records log-error.txt)" ""
