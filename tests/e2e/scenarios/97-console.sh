# The console program on the simulated host: status and check report and change nothing, import
# and deploy do the window's work without a window, --json parses, the exit codes are those the
# README gives, and the same deployment through the window and through the console program leaves
# the host in the same state.
make_test_pki || return
cli_out=$WINEPREFIX/drive_c/qb-cli.out cli_err=$WINEPREFIX/drive_c/qb-cli.err
# cli ARG...: the console program, its standard output and error in files; returns its exit code.
cli() { wine 'C:\Quillbay\quillbay-cli.exe' "$@" </dev/null >"$cli_out" 2>"$cli_err"; }
# expect_cli EXIT_CODE ARG...: runs it and checks its exit code.
expect_cli() { cli "${@:2}"; local rc=$?; expect_eq "exit code of quillbay-cli ${*:2}" "$rc" "$1"; }
# json EXPRESSION: a Python expression over the document d that the last run printed.
json() { python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$cli_out" "$1" ||
    fail "no JSON document: $(head -c 300 "$cli_out")"; }
findings() { json '"\n".join(sorted(f["level"] + " " + f["code"] + " " + f.get("host", "") for f in d["findings"]))' | sed 's/ *$//'; }
sites() { printf '%s\t%s\n' Shop 'http/*:80:a.example.test,http/*:80:b.example.test' Intranet 'http/*:80:' | seed_sites "$@"; }

# Two more server certificates under the same intermediates: one for a.example.test only, valid
# 90 days, and one that expired in 2020.
if [[ ! -f $QB_PKI/partial.pfx || ! -f $QB_PKI/expired.pfx ]]; then
    (
        set -e
        cd "$QB_PKI"
        printf '%s\n' '[ca]' 'default_ca = c' '[c]' 'unique_subject = no' 'database = index.txt' 'new_certs_dir = .' 'serial = serial.txt' \
            'policy = p' 'default_md = sha256' '[p]' 'commonName = supplied' '[x]' 'basicConstraints = CA:false' \
            'subjectAltName = DNS:a.example.test' >ca.cnf
        : >index.txt && echo 1000 >serial.txt
        for pfx in "partial 20260101000000Z $(date -u -d '+90 days' +%Y%m%d%H%M%SZ)" "expired 20200101000000Z 20200201000000Z"; do
            read -r name from to <<<"$pfx"
            openssl req -new -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/CN=a.example.test" 2>/dev/null
            openssl ca -batch -config ca.cnf -cert inter2.crt -keyfile inter2.key -in "$name.csr" -out "$name.crt" \
                -startdate "$from" -enddate "$to" -extfile ca.cnf -extensions x -notext 2>/dev/null
            QB_PASS=$QB_PFX_PASSWORD openssl pkcs12 -export -inkey "$name.key" -in "$name.crt" -certfile chain.pem \
                -passout env:QB_PASS -keypbe PBE-SHA1-3DES -certpbe PBE-SHA1-3DES -macalg sha1 -out "$name.pfx"
        done
    ) || { fail "openssl could not make the partial and expired certificates"; return; }
fi

# status --json: what the host has, parsed.
expect_ok "seed IIS 10 with two sites" sites --iis-major 10
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
expect_cli 0 status --json
expect_eq "status: IIS" "$(json 'd["iis"]')" "{'installed': True, 'version': 10, 'versionSource': 'registry', 'urlRewrite': True}"
expect_eq "status: sites" "$(json '[(s["name"], s["hostNames"]) for s in d["sites"]]')" \
    "[('Shop', ['a.example.test', 'b.example.test']), ('Intranet', [])]"
expect_eq "status: server certificate" "$(json '[d["pfx"]["serverCertificate"][k] for k in ("thumbprint", "dnsNames")]')" \
    "['$QB_THUMB_LEAF', ['www.example.test']]"

# check: the test PKI's certificate lasts 30 days (a warning), covers neither host (errors), and
# its root is in no trusted store of the machine (a warning: the import adds no root).
expect_cli 2 check --json
expect_eq "check findings" "$(findings)" "$(printf '%s\n' 'error host-not-covered a.example.test' \
    'error host-not-covered b.example.test' 'info no-host-names' 'ok chain-complete' 'ok pfx-opened' 'warning expires-soon' \
    'warning root-untrusted' | sort)"
# One that covers one of the two hosts: the other is an error; text lines with their levels.
cp "$QB_PKI/partial.pfx" "$QB_APP_DIR/fullchain.pfx"
expect_cli 2 check --site shop
expect_eq "check of the partial certificate" "$(tr -d '\r' <"$cli_out" | grep -E '^\[(OK|ERROR)\] [ab]\.')" "$(printf '%s\n' \
    "[OK] a.example.test (site 'Shop') is covered by the certificate." \
    "[ERROR] b.example.test (site 'Shop') is not covered by the certificate's names: a.example.test")"
cp "$QB_PKI/expired.pfx" "$QB_APP_DIR/fullchain.pfx"
expect_cli 2 check --json --site Shop
expect_eq "check of the expired certificate" "$(findings | grep -E 'expired|valid')" "error expired"
# Nothing so far changed the host.
expect_eq "tools that changed something" "$(sbx log | awk -F'\t' '$2 != "appcmd" || $4 !~ / list /' | wc -l)" 0

# Without password.txt nothing is done: exit 2, and the reason says which file is missing.
rm "$QB_APP_DIR/password.txt"
expect_cli 2 import
expect_eq "message without password.txt" "$(tr -d '\r' <"$cli_err")" "The password file was not found: C:\\Quillbay\\password.txt"
expect_eq "certificates stored without password.txt" "$(store_entries)" ""
expect_cli 2 deploy --all --json
expect_eq "refusal in JSON" "$(json '[d["exitCode"], d["error"]["code"]]')" "[2, 'password-missing']"

expect_eq "refusals in log-error.txt" "$(log_records log-error.txt | cut -f1)" "$(printf 'quillbay-cli %s\n' import deploy)"
clear_logs

# A dry run prints what it would run and leaves the host as it was.
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
expect_cli 0 deploy --all --wildcard yes --dry-run --json
expect_eq "dry run: commands" "$(json 'len(d["commands"])')" 22
expect_eq "dry run: no change made" "$(sbx log | awk -F'\t' '$2 != "appcmd" || $4 !~ / list /' | wc -l)" 0

# The window and the console program on the same seeded host: the same changes, in the same order,
# and the same state afterwards (the TLS values put back in between).
host_state() {
    sbx state | tr -d '\r' | awk -F'\t' '
        /^== / { section = $0; print; next }
        section == "== iisreset.log" { print $2; next }
        section == "== invocations.log" { if ($2 != "appcmd" || $4 !~ / list /) print $2, $3, $4; next }
        { print }'
    wine reg query "$QB_SECURITY_KEY" /s </dev/null 2>/dev/null | tr -d '\r' | LC_ALL=C sort
}
wine reg export "$QB_SECURITY_KEY" 'C:\qb-pki\console-before.reg' /y </dev/null >/dev/null 2>&1 || fail "reg export"
restore_security() {
    wine reg delete "$QB_SECURITY_KEY" /f </dev/null >/dev/null 2>&1
    wine reg import 'C:\qb-pki\console-before.reg' </dev/null >/dev/null 2>&1 || fail "reg import"
}
fresh_host() { restore_security; reset_program_folder; sites --iis-major 10; put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt; }

fresh_host
start_app en_US.UTF-8 || return
expect_ok "press Import" drv click cmdImport
drv wait-box 180000 >/dev/null || fail "no outcome box after Import"
close_box
expect_ok "select Intranet" drv list-click lstSites 1
expect_ok "press Deploy" drv click cmdDeploy
drv wait-box 60000 >/dev/null && expect_ok "answer Yes to the wildcard question" drv answer-box 6
expect_box "Deployment Complete" "Deployment task completed.\r\nSelected 2 sites, successfully deployed to 2 sites.\r\nIt is \
recommended to restart sites or perform iisreset to ensure changes take effect." 1 64 60000
close_box
stop_app
by_window=$(host_state)

fresh_host
expect_cli 0 import --json
expect_eq "import" "$(json '[d["failed"], d["pfx"]["status"], d["security"]["ok"], len(d["chain"])]')" "[0, 'imported', True, 3]"
expect_cli 0 deploy --all --wildcard yes
expect_eq "deploy summary" "$(tr -d '\r' <"$cli_out" | tail -1)" \
    "Deployment finished: 2 sites selected, 2 deployed, 0 skipped, 0 failed."
expect_eq "error records" "$(log_records log-error.txt)" ""
by_console=$(host_state)
expect_eq "host state after the console's deployment" "$by_console" "$by_window"
expect_eq "host state holds the bindings" "$(grep -c '^sslcert' <<<"$by_console")" 3
