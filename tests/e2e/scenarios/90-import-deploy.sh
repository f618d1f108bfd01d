# Import, then Deploy, on IIS 10 with URL Rewrite. Import: the chain certificates and fullchain.pfx
# go into the stores, the 56 TLS values into the registry after a backup that gives back the
# values from before, IIS restarts once. Deploy: Shop (two host names) gets a certificate binding
# and an SNI site binding per host, Intranet (no host name, the wildcard question answered Yes)
# the 0.0.0.0 binding, both the redirect rule. Files named like the tools lie beside the program
# and never run. The console program leaves a fresh host as the window did. Then the same again
# with the redirect off, and IIS 7.5, before and after the certificate is in the store. The TLS
# profiles: the backup undone with tls --undo, Modern from the console.
make_test_pki || return
app_id='{4dc3e181-e14b-4a21-b022-59fc669b0914}' leaf=$QB_THUMB_LEAF system='C:\windows\system32'
QB_SUITE_POLICY_KEY='HKLM\SOFTWARE\Policies\Microsoft\Cryptography\Configuration\SSL\00010002'
summary() { echo "Deployment task completed.\r\nSelected $1 sites, successfully deployed to $2 sites.\r\nIt is recommended \
to restart sites or perform iisreset to ensure changes take effect."; }
# deploy: Deploy with both sites selected, Yes to the wildcard question; both deployed.
deploy() {
    [[ $(selection lstSites) == x- ]] && expect_ok "select Intranet" drv list-click lstSites 1
    expect_ok "press Deploy" drv click cmdDeploy
    expect_box "Wildcard Binding Warning" "Site 'Intranet' has no host name. The certificate will be bound to all host names \
(wildcard) on port 443, which may conflict with other sites on the same port.\r\n\r\nDo you want to continue?" "6 7" 48 60000
    expect_ok "answer Yes to the wildcard question" drv answer-box 6
    expect_box "Deployment Complete" "$(summary 2 2)" 1 64 60000
    close_box
    # Verification follows: the test certificate covers only www.example.test (and whether 443 can
    # be served here or not, no host holds).
    expect_text lblStatus "Verification failed for 3 of 3 host(s); see log-error.txt."
}
https_bindings() { sbx sites | awk -F'\t' '$1 == "binding" && $3 == "https" { print $2, $4, $5 }' | sed 's/ *$//' | sort; }
sslcerts() { sbx sslcerts | awk -F'\t' '{ print $1, $2, $3, $4 }' | sort; }
rules() { sbx rules | awk -F'\t' '$1 == "rule" { print $2, $3, $4, $5, $6, $7, $8 }' | sort; }
# A "key suffix" line per key and a "key suffix<TAB>name<TAB>type<TAB>data" line per value, the
# suffix in lower case: the registry ignores case, and Wine's prefix spells some keys its own way.
security_values() {
    wine reg query "$QB_SECURITY_KEY" /s </dev/null 2>/dev/null | tr -d '\r' | awk -F '    ' '
        /^HKEY_/ { key = tolower($0); sub(/^.*\\securityproviders/, "", key); print key }
        /^    [^ ]/ { print key "\t" $2 "\t" $3 "\t" $4 }' | LC_ALL=C sort
}
# What the tools changed, in order, and the TLS values.
host_state() {
    sbx state | tr -d '\r' | awk -F'\t' '
        /^== / { section = $0; print; next }
        section == "== iisreset.log" { print $2; next }
        section == "== invocations.log" { if ($2 != "appcmd" || $4 !~ / list /) print $2, $3, $4; next }
        { print }'
    security_values
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
fresh_host() {
    wine reg delete "$QB_SECURITY_KEY" /f </dev/null >/dev/null 2>&1
    wine reg import 'C:\qb-pki\before.reg' </dev/null >/dev/null 2>&1 || fail "reg import"
    reset_program_folder && plant_tools "$QB_APP_DIR"
    expect_ok "seed IIS 10 with two sites" seed_shop --iis-major 10
    put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
}

fresh_host
start_app en_US.UTF-8 || return
started=$(date +%Y%m%d%H%M%S)
restart="SCHANNEL changes take full effect after the server restarts."
expect_ok "press Import" drv click cmdImport
box=$(drv wait-box 180000)
ended=$(date +%Y%m%d%H%M%S)
backups=$(ls "$QB_APP_DIR/backup" 2>/dev/null) stamp=$(sed -n 's/^SecurityProviders-\([0-9]*\)\.reg$/\1/p' <<<"$backups")
backup="C:\\Quillbay\\backup\\SecurityProviders-$stamp"
expect_eq "message box" "$box" "title=Import Complete"$'\n'"text=Certificate import and security configuration successful! \
Imported 3 certificate chains and 1 PFX certificate.\r\nYou can now select sites from the right list for deployment.\r\n\
$restart\r\nTLS settings: the Compatible profile. Backup: ${backup//\\/\\\\}.reg and ${backup//\\/\\\\}-undo.reg."$'\n'"buttons=1"$'\n'"icon=64"
close_box
expect_text lblStatus "Import completed. You can now select sites for deployment. $restart TLS: Compatible."
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

deploy
bound=$(printf '%s\n' "hostnameport a.example.test:443 $leaf $app_id" "hostnameport b.example.test:443 $leaf $app_id" \
    "ipport 0.0.0.0:443 $leaf $app_id" | sort)
https=$(printf '%s\n' "1 *:443:a.example.test 1" "1 *:443:b.example.test 1" "2 *:443: 0" | sort)
expect_eq "HTTP.sys bindings" "$(sslcerts)" "$bound"
expect_eq "site bindings" "$(https_bindings)" "$https"
expect_eq "redirect rules" "$(rules)" "$(printf '%s\n' "Shop" "Intranet" |
    awk '{ print $1, "HTTPS Redirect true (.*) Redirect https://{HTTP_HOST}{REQUEST_URI} false" }' | sort)"
expect_eq "error records" "$(log_records log-error.txt | cut -f1 | uniq -c | xargs)" "3 VerifyDeployment"
sbx log | grep -qF "$QB_PFX_PASSWORD" && fail "the password is in the sandbox's log"
expect_eq "planted programs that ran" "$(sbx planted)" ""
expect_eq "programs started" "$(sbx log | awk -F'\t' '{ split($4, w, " "); print $2 "\t" w[1] }' | sort -u)" \
    "$(printf '%s\n' "appcmd	$system\\inetsrv\\appcmd.exe" "certutil	$system\\certutil.exe" \
        "iisreset	$system\\inetsrv\\iisreset.exe" "netsh	$system\\netsh.exe" | sort)"
by_window=$(host_state)
expect_eq "host state holds the bindings" "$(grep -c '^sslcert' <<<"$by_window")" 3

# One backup, named after the moment of the import: the values as they were, and the undo of
# what was not there. The audit reads the import's values back as the Compatible profile, exactly;
# tls --undo gives back exactly the keys and values from before.
expect_cli 0 tls --show --json
expect_eq "tls --show after the import" "$(json '[d["matches"], d["differ"]["compatible"], d["differ"]["modern"] > 0]')" "['compatible', 0, True]"
[[ $backups == "SecurityProviders-$stamp-undo.reg"$'\n'"SecurityProviders-$stamp.reg" && ${#stamp} == 14 &&
    ! ($stamp < $started || $stamp > $ended) ]] ||
    fail "backup folder: expected SecurityProviders-<$started..$ended>.reg and its undo, got [$backups]"
cmp -s "$QB_APP_DIR/backup/SecurityProviders-$stamp.reg" "$QB_PKI/before.reg" || fail "the backup differs from the values before"
expect_cli 0 tls --undo "$backup.reg"
expect_eq "tls --undo" "$(tr -d '\r' <"$QB_CLI_OUT" | tail -1)" "The restored settings take effect when the server restarts: \
SCHANNEL reads them at start-up, so an IIS restart (iisreset) is not enough."
expect_eq "values after tls --undo" "$(security_values)" "$values_before"

expect_ok "untick the redirect" drv click chkHttpRedirect
deploy
expect_eq "HTTP.sys bindings deployed again" "$(sslcerts)" "$bound"
expect_eq "site bindings deployed again" "$(https_bindings)" "$https"
expect_eq "redirect rules after the redirect was turned off" "$(rules)" ""
stop_app

# The console's import with the Modern profile, IIS refusing its restart: exactly Modern's values,
# the suite order as policy, a second backup pair, and iisreset's own words in its record;
# tls --undo takes the keys and values it made away again. (Unchanged, which runs nothing, is the
# unit tests'.)
expect_ok "seed an iisreset that fails" seed_shop --iis-major 10 --iisreset-fault 0x80070005
clear_logs
expect_cli 1 import --tls modern --json
expect_eq "import --tls modern" "$(json '[d["problems"], d["security"]["profile"], d["security"]["valuesWritten"] in (36, 40)]')" \
    "[['iis-restart-failed'], 'modern', True]"
expect_eq "iisreset's record" "$(log_records log-error.txt)" "ApplySecurityConfiguration	IIS could not be restarted: iisreset \
ended with an error; the tool said: Restart attempt failed. ($system\\inetsrv\\iisreset.exe)	-2147024891"
modern_backup=$(json 'd["security"]["backup"]')
expect_cli 0 tls --show --json
expect_eq "tls --show after Modern" "$(json '[d["matches"], d["differ"]["modern"]]')" "['modern', 0]"
expect_ok "the suite order as policy" wine reg query "$QB_SUITE_POLICY_KEY" /v Functions
expect_cli 0 tls --undo "$modern_backup"
expect_eq "values after undoing Modern" "$(security_values)" "$values_before"
wine reg query "$QB_SUITE_POLICY_KEY" </dev/null >/dev/null 2>&1 && fail "the suite order's policy key is still there"

# The console program on a fresh host: the same changes, in the same order, the same state.
fresh_host
expect_cli 0 import --json
expect_eq "console import" "$(json '[d["failed"], d["pfx"]["status"], d["security"]["ok"], len(d["chain"])]')" "[0, 'imported', True, 3]"
expect_cli 0 deploy --all --wildcard yes --no-verify
expect_eq "console deploy summary" "$(tr -d '\r' <"$QB_CLI_OUT" | tail -1)" \
    "Deployment finished: 2 sites selected, 2 deployed, 0 skipped, 0 failed."
expect_eq "error records" "$(log_records log-error.txt)" ""
expect_eq "host state after the console's deployment" "$(host_state)" "$by_window"

# status: each endpoint with the certificate the store holds and the sites it serves. The test
# PKI's certificate has 29 days left: within the default 30 days.
runs=$(sbx log | wc -l)
expect_cli 1 status --json
expect_eq "status: its one tool run" "$(sbx log | tail -n +$((runs + 1)) | cut -f2,4)" "netsh	$system\\netsh.exe http show sslcert"
expect_eq "status: endpoints" "$(json '[(e["endpoint"], e["thumbprint"], e["certificate"]["hasPrivateKey"], e["needsAttention"], [(s["name"], s["binding"]) for s in e["sites"]]) for e in sorted(d["endpoints"], key=lambda e: e["endpoint"])]')" \
    "[('0.0.0.0:443', '$leaf', True, True, [('Intranet', '*:443:')]), ('a.example.test:443', '$leaf', True, True, [('Shop', '*:443:a.example.test')]), ('b.example.test:443', '$leaf', True, True, [('Shop', '*:443:b.example.test')])]"

# verify: a handshake by each name with the front, which serves what HTTP.sys has bound. The
# deployed certificate is served everywhere and the redirect answers; it covers only
# www.example.test, and Wine trusts no root but its host's, so the findings do not all hold.
expect_cli 1 verify --json
expect_eq "verify: findings" "$(json '[(h["host"], h["served"], h["chainTrusted"], h["nameCovered"], h["redirect"], h["location"]) for h in d["hosts"]]')" \
    "[('a.example.test', 'expected', False, False, 'redirects', 'https://a.example.test/'), ('b.example.test', 'expected', False, False, 'redirects', 'https://b.example.test/'), ('', 'expected', False, True, 'not-checked', '')]"

# A site deleted after the window listed it is read afresh: it fails with its own warning and
# gets nothing, while Shop is deployed.
start_app en_US.UTF-8 || return
expect_ok "delete Intranet" wine "$system\\inetsrv\\appcmd.exe" delete site Intranet </dev/null
runs=$(sbx log | grep -c Intranet)
[[ $(selection lstSites) == x- ]] && expect_ok "select Intranet" drv list-click lstSites 1
expect_ok "press Deploy" drv click cmdDeploy
expect_box Quillbay "Warning: site 'Intranet' is no longer in IIS, so nothing was changed for it.\r\nPlease check logs for \
more information." 1 48 60000
expect_ok "close the warning" drv answer-box 1
expect_box "Deployment Complete" "$(summary 2 1)" 1 48 60000
close_box
expect_eq "tool runs for the deleted site" "$(sbx log | grep -c Intranet)" "$runs"
stop_app

# IIS 7.5: one site at a time, HTTP.sys by address and port, no SNI flag. Before the certificate
# is in the machine's Personal store, nothing is deleted or bound: netsh would refuse it (error
# 1312) and leave each endpoint without a certificate. Then certutil imports it as Import does.
expect_ok "seed IIS 7.5 with two sites" seed_shop --iis-major 7 --inetmgr-version 7.5.7600.16385
clear_logs
start_app en_US.UTF-8 || return
expect_ok "press Deploy" drv click cmdDeploy
expect_box Quillbay "The certificate $leaf is not in the machine's Personal store with its private key, so no binding \
was changed. Import it first (1. Import Chain and PFX)." 1 16 60000
close_box
expect_eq "netsh runs without the certificate" "$(sbx log | awk -F'\t' '$2 == "netsh"' | grep -vc ' show ')" 0
expect_eq "error records" "$(log_records log-error.txt | cut -f1,3 | sort | uniq -c | xargs)" "1 cmdDeploy_Click 0"
expect_ok "import the PFX" wine "$system\\certutil.exe" -f -p "$QB_PFX_PASSWORD" -importpfx 'C:\Quillbay\fullchain.pfx' </dev/null
expect_ok "press Deploy" drv click cmdDeploy
expect_box "Deployment Complete" "$(summary 1 1)" 1 64 60000
close_box
expect_eq "HTTP.sys binding below IIS 8" "$(sslcerts)" "ipport 0.0.0.0:443 $leaf $app_id"
expect_eq "site bindings below IIS 8" "$(https_bindings)" "$(printf '%s\n' "1 *:443:a.example.test 0" "1 *:443:b.example.test 0")"
