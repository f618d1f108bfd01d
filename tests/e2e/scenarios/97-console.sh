# The console program on the simulated host: status and check report and change nothing, nor
# does a dry run; import and deploy do the window's work without a window; --json parses; a
# refusal says why, on standard error and in the log.
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
sslcerts() { sbx sslcerts | awk -F'\t' '{ print $1, $2, $3, $4 }' | sort; }

# status --json: what the host has, parsed.
expect_ok "seed IIS 10 with two sites" sites --iis-major 10
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
expect_cli 0 status --json
expect_eq "status: IIS" "$(json 'd["iis"]')" "{'installed': True, 'version': 10, 'versionSource': 'registry', 'urlRewrite': True}"
expect_eq "status: sites" "$(json '[(s["name"], s["hostNames"]) for s in d["sites"]]')" \
    "[('Shop', ['a.example.test', 'b.example.test']), ('Intranet', [])]"
expect_eq "status: chain files" "$(json 'sorted(f["certificates"][0]["thumbprint"] for f in d["chain"]["files"])')" \
    "$(python3 -c 'import sys; print(sorted(sys.argv[1:]))' "$QB_THUMB_INTER1" "$QB_THUMB_INTER2" "$QB_THUMB_ROOT")"
expect_eq "status: server certificate" "$(json '[d["pfx"]["serverCertificate"][k] for k in ("thumbprint", "dnsNames")]')" \
    "['$QB_THUMB_LEAF', ['www.example.test']]"
expect_eq "status: the output is ASCII" "$(LC_ALL=C tr -d '\r\n' <"$cli_out" | LC_ALL=C grep -c '[^ -~]')" 0

# check: the test PKI's certificate lasts 30 days (a warning) and covers neither host (errors).
expect_cli 2 check --json
expect_eq "check findings" "$(findings)" "$(printf '%s\n' 'error host-not-covered a.example.test' \
    'error host-not-covered b.example.test' 'info no-host-names' 'ok chain-complete' 'ok pfx-opened' 'warning expires-soon' | sort)"
# Nothing so far changed the host.
expect_eq "tools that changed something" "$(sbx log | awk -F'\t' '$2 != "appcmd" || $4 !~ / list /' | wc -l)" 0

# Without password.txt nothing is done: exit 2, and the reason says which file is missing.
rm "$QB_APP_DIR/password.txt"
expect_cli 2 import
expect_eq "message without password.txt" "$(tr -d '\r' <"$cli_err")" "The password file was not found: C:\\Quillbay\\password.txt"
expect_eq "the refusal in log-error.txt" "$(log_records log-error.txt | cut -f1)" "quillbay-cli import"
clear_logs

# A dry run prints what it would run and leaves the host as it was.
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
expect_cli 0 deploy --all --wildcard yes --dry-run --json
expect_eq "dry run: commands" "$(json 'len(d["commands"])')" 22
expect_eq "dry run: no change made" "$(sbx log | awk -F'\t' '$2 != "appcmd" || $4 !~ / list /' | wc -l)" 0

# import, then deploy --all --wildcard yes: the command lines are the window's (unit tests), the
# certificate lands where the window's deployment puts it (95-deploy.sh).
expect_cli 0 import --json
expect_eq "import" "$(json '[d["failed"], d["pfx"]["status"], d["security"]["ok"], len(d["chain"])]')" "[0, 'imported', True, 3]"
expect_cli 0 deploy --all --wildcard yes
expect_eq "deploy summary" "$(tr -d '\r' <"$cli_out" | tail -1)" \
    "Deployment finished: 2 sites selected, 2 deployed, 0 skipped, 0 failed."
app_id='{4dc3e181-e14b-4a21-b022-59fc669b0914}'
expect_eq "HTTP.sys bindings" "$(sslcerts)" "$(printf '%s\n' "hostnameport a.example.test:443 $QB_THUMB_LEAF $app_id" \
    "hostnameport b.example.test:443 $QB_THUMB_LEAF $app_id" "ipport 0.0.0.0:443 $QB_THUMB_LEAF $app_id" | sort)"
expect_eq "error records" "$(log_records log-error.txt)" ""
