# The console program on the simulated host: what status and check report, --json parsed, and a
# dry run that changes nothing; that check changes nothing, its refusals and exit codes are the
# unit tests'. Its import and deployment are compared with the window's in 90.
make_test_pki || return
changes() { sbx log | awk -F'\t' '$4 !~ /( list | show sslcert$)/' | wc -l; }  # tool runs other than listings

# status --json: what the host has, parsed. Shop's first host name is the certificate's.
printf '%s\t%s\n' Shop 'http/*:80:www.example.test,http/*:80:b.example.test' Intranet 'http/*:80:' |
    seed_sites --iis-major 10 || fail "seed"
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
expect_cli 0 status --json
expect_eq "status: IIS" "$(json 'd["iis"]')" "{'installed': True, 'version': 10, 'versionSource': 'registry', 'urlRewrite': True}"
expect_eq "status: sites" "$(json '[(s["name"], s["hostNames"]) for s in d["sites"]]')" \
    "[('Shop', ['www.example.test', 'b.example.test']), ('Intranet', [])]"
expect_eq "status: server certificate" "$(json '[d["pfx"]["serverCertificate"][k] for k in ("thumbprint", "dnsNames")]')" \
    "['$QB_THUMB_LEAF', ['www.example.test']]"

# check, as text: the test PKI's certificate lasts 30 days (a warning), covers one host of two, and
# its root is in no trusted store of the machine (a warning: the import adds no root).
expect_cli 2 check
expect_eq "check" "$(tr -d '\r' <"$QB_CLI_OUT" | sed -E 's/on [0-9-]+T[0-9:]+Z:/on DATE:/')" "$(printf '%s\n' \
    "[OK] The PFX opens with its password; its server certificate is CN=\"Quillbay E2E leaf\" (thumbprint $QB_THUMB_LEAF)." \
    "[WARNING] Expires on DATE: only 29 days left." \
    '[OK] The chain is complete up to its root: CN="Quillbay E2E leaf" <- CN=Quillbay E2E inter2 <- CN=Quillbay E2E inter1 <- CN="Quillbay E2E Root"' \
    "[WARNING] The chain ends in the root 'CN=\"Quillbay E2E Root\"', which this machine does not trust: Quillbay adds \
no root from the PFX; add a root you trust to the machine's Trusted Root store yourself." \
    "[OK] www.example.test (site 'Shop') is covered by the certificate." \
    "[ERROR] b.example.test (site 'Shop') is not covered by the certificate's names: www.example.test" \
    "[INFO] Site 'Intranet' has no host name: the deployment binds it for all host names of the port only with --wildcard yes." \
    "Errors: 1. Warnings: 2.")"

# A dry run prints what it would run and leaves the host as it was.
expect_cli 0 deploy --all --wildcard yes --dry-run --json
expect_eq "dry run: commands" "$(json 'len(d["commands"])')" 22
expect_eq "dry run: no change made" "$(changes)" 0
