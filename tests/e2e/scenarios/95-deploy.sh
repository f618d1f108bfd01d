# Deploy after an import, on IIS 10 with URL Rewrite: Shop (two host names) gets a certificate
# binding and an SNI site binding per host, Intranet (no host name, the wildcard question
# answered Yes) the 0.0.0.0 binding, both the redirect rule; the summary counts 2 of 2. Files
# named like the tools lie beside the program and never run: each tool is started by its full
# path. The console program's import and deployment leave a fresh host as the window's did.
# Then the same again with the redirect off (the bindings replaced, never duplicated; the rules
# removed), a deployment before any import (netsh refuses the unknown certificate), and IIS 7.5.
make_test_pki || return
app_id='{4dc3e181-e14b-4a21-b022-59fc669b0914}' leaf=$QB_THUMB_LEAF system='C:\windows\system32'
summary() { echo "Deployment task completed.\r\nSelected $1 sites, successfully deployed to $2 sites.\r\nIt is recommended \
to restart sites or perform iisreset to ensure changes take effect."; }
# deploy PORT ANSWER SELECTED SUCCEEDED [BOX...]: Deploy with both sites selected; the wildcard
# question answered (6 Yes, 7 No); the warnings expected before the summary, whose icon is the
# run's verdict (information, warning, error when nothing succeeded).
deploy() {
    [[ $(selection lstSites) == x- ]] && expect_ok "select Intranet" drv list-click lstSites 1
    expect_ok "press Deploy" drv click cmdDeploy
    local box
    # The run goes on after each of these boxes: answered without waiting for the window to idle.
    for box in "${@:5}"; do expect_box Quillbay "$box" 1 48 60000; expect_ok "close the warning" drv answer-box 1; done
    expect_box "Wildcard Binding Warning" "Site 'Intranet' has no host name. The certificate will be bound to all host names \
(wildcard) on port $1, which may conflict with other sites on the same port.\r\n\r\nDo you want to continue?" "6 7" 48 60000
    expect_ok "answer the wildcard question" drv answer-box "$2"
    local icon=64
    (($# > 4)) && icon=48
    (($4 == 0)) && icon=16
    expect_box "Deployment Complete" "$(summary "$3" "$4")" 1 $icon 60000
    close_box
    expect_text lblStatus "Deployment completed."
    expect_state enabled 1 cmdImport cmdDeploy
}
https_bindings() { sbx sites | awk -F'\t' '$1 == "binding" && $3 == "https" { print $2, $4, $5 }' | sed 's/ *$//' | sort; }
sslcerts() { sbx sslcerts | awk -F'\t' '{ print $1, $2, $3, $4 }' | sort; }
rules() { sbx rules | awk -F'\t' '$1 == "rule" { print $2, $3, $4, $5, $6, $7, $8 }' | sort; }
# What the tools changed, in order, and the TLS values.
host_state() {
    sbx state | tr -d '\r' | awk -F'\t' '
        /^== / { section = $0; print; next }
        section == "== iisreset.log" { print $2; next }
        section == "== invocations.log" { if ($2 != "appcmd" || $4 !~ / list /) print $2, $3, $4; next }
        { print }'
    wine reg query "$QB_SECURITY_KEY" /s </dev/null 2>/dev/null | tr -d '\r' | LC_ALL=C sort
}
wine reg export "$QB_SECURITY_KEY" 'C:\qb-pki\deploy-before.reg' /y </dev/null >/dev/null 2>&1 || fail "reg export"
fresh_host() {
    wine reg delete "$QB_SECURITY_KEY" /f </dev/null >/dev/null 2>&1
    wine reg import 'C:\qb-pki\deploy-before.reg' </dev/null >/dev/null 2>&1 || fail "reg import"
    reset_program_folder && plant_tools "$QB_APP_DIR"
    expect_ok "seed IIS 10 with two sites" seed_shop --iis-major 10
    put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
}

fresh_host
start_app en_US.UTF-8 || return
import_and_expect "Import Complete" "Certificate import and security configuration successful! Imported 3 certificate chains \
and 1 PFX certificate.\r\nYou can now select sites from the right list for deployment.\r\nSCHANNEL changes take full effect \
after the server restarts." 64
deploy 443 6 2 2
bound=$(printf '%s\n' "hostnameport a.example.test:443 $leaf $app_id" "hostnameport b.example.test:443 $leaf $app_id" \
    "ipport 0.0.0.0:443 $leaf $app_id" | sort)
https=$(printf '%s\n' "1 *:443:a.example.test 1" "1 *:443:b.example.test 1" "2 *:443: 0" | sort)
expect_eq "HTTP.sys bindings" "$(sslcerts)" "$bound"
expect_eq "site bindings" "$(https_bindings)" "$https"
expect_eq "redirect rules" "$(rules)" "$(printf '%s\n' "Shop" "Intranet" |
    awk '{ print $1, "HTTPS Redirect true (.*) Redirect https://{HTTP_HOST}{REQUEST_URI} false" }' | sort)"
expect_eq "error records" "$(log_records log-error.txt)" ""
expect_eq "planted programs that ran" "$(sbx planted)" ""
expect_eq "programs started" "$(sbx log | awk -F'\t' '{ split($4, w, " "); print $2 "\t" w[1] }' | sort -u)" \
    "$(printf '%s\n' "appcmd	$system\\inetsrv\\appcmd.exe" "certutil	$system\\certutil.exe" \
        "iisreset	$system\\inetsrv\\iisreset.exe" "netsh	$system\\netsh.exe" | sort)"
by_window=$(host_state)

expect_ok "untick the redirect" drv click chkHttpRedirect
deploy 443 6 2 2
expect_eq "HTTP.sys bindings deployed again" "$(sslcerts)" "$bound"
expect_eq "site bindings deployed again" "$(https_bindings)" "$https"
expect_eq "redirect rules after the redirect was turned off" "$(rules)" ""
stop_app

# The console program on a fresh host: the same changes, in the same order, the same state.
fresh_host
expect_cli 0 import --json
expect_eq "console import" "$(json '[d["failed"], d["pfx"]["status"], d["security"]["ok"], len(d["chain"])]')" "[0, 'imported', True, 3]"
expect_cli 0 deploy --all --wildcard yes
expect_eq "console deploy summary" "$(tr -d '\r' <"$QB_CLI_OUT" | tail -1)" \
    "Deployment finished: 2 sites selected, 2 deployed, 0 skipped, 0 failed."
expect_eq "error records" "$(log_records log-error.txt)" ""
expect_eq "host state after the console's deployment" "$(host_state)" "$by_window"

# Before any import: netsh refuses the unknown certificate for each host (exit code 1, its
# error 1312 in its output); nothing counts.
expect_ok "seed IIS 10 with two sites" seed_shop --iis-major 10
clear_logs
start_app en_US.UTF-8 || return
refused() { echo "Warning: Failed to add SSL binding for site '$1'. Error code: $2\r\nPlease check logs for more information."; }
deploy 443 7 2 0 "$(refused Shop a.example.test)" "$(refused Shop b.example.test)"
expect_eq "HTTP.sys bindings without the certificate" "$(sslcerts)" ""
expect_eq "error records" "$(log_records log-error.txt | cut -f1,3 | sort | uniq -c | xargs)" "2 cmdDeploy_Click 1"
stop_app

# IIS 7.5, the certificate imported as Import leaves it: one site at a time, HTTP.sys by address
# and port, no SNI flag.
expect_ok "seed IIS 7.5 with two sites" seed_shop --iis-major 7 --inetmgr-version 7.5.7600.16385
expect_ok "import the PFX" wine "$system\\certutil.exe" -f -p "$QB_PFX_PASSWORD" -importpfx 'C:\Quillbay\fullchain.pfx' </dev/null
start_app en_US.UTF-8 || return
expect_ok "press Deploy" drv click cmdDeploy
expect_box "Deployment Complete" "$(summary 1 1)" 1 64 60000
close_box
expect_eq "HTTP.sys binding below IIS 8" "$(sslcerts)" "ipport 0.0.0.0:443 $leaf $app_id"
expect_eq "site bindings below IIS 8" "$(https_bindings)" "$(printf '%s\n' "1 *:443:a.example.test 0" "1 *:443:b.example.test 0")"
stop_app
