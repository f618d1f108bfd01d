# Renewal through the console program: a host deployed with certificate A (two host names and the
# 0.0.0.0 binding), then B for the same names, lasting longer, in a folder of its own. renew binds
# B wherever A was, with the front serving it, and --retire-old deletes A from the store; the same
# files again are already current (which certificates supersede which is the unit tests'). The
# window's menu item does the same with the files beside the program, after its question, and so
# does the daily task the console program registers, run as the scheduler runs it.
read -r http https < <(free_ports)
printf '%s\t%s\n' Shop "http/*:$http:a.example.test,http/*:$http:b.example.test" Intranet "http/*:$http:" |
    seed_sites --iis-major 10 || fail "seed"
pki() {  # NAME DAYS SAN: a PKI of its own in C:\qb-pki-NAME; the leaf's thumbprint in $leaf
    QB_PKI=$WINEPREFIX/drive_c/qb-pki-$1 QB_PKI_DAYS=$2 QB_LEAF_SAN=$3 make_test_pki && leaf=$QB_THUMB_LEAF
}
folder() {  # NAME: the PKI's files as renew takes them, in C:\renew-NAME
    local to=$WINEPREFIX/drive_c/renew-$1 from=$WINEPREFIX/drive_c/qb-pki-$1
    mkdir -p "$to/chain" && cp "$from/fullchain.pfx" "$to/" && printf '%s\r\n' "$QB_PFX_PASSWORD" >"$to/password.txt" &&
        cp "$from"/{inter1,inter2,root}.crt "$to/chain/"
}
bound() { sbx sslcerts | awk -F'\t' '{ print $2, $3 }' | sort | xargs; }

pki a 20 DNS:a.example.test,DNS:b.example.test || return
a=$leaf
QB_PKI=$WINEPREFIX/drive_c/qb-pki-a put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
expect_cli 0 import
expect_cli 0 deploy --all --wildcard yes --port "$https" --no-verify
front_wait "$https" || fail "the front does not listen on $https"
pki b 60 DNS:a.example.test,DNS:b.example.test && folder b || return
b=$leaf

expect_cli 0 renew --from 'C:\renew-b' --retire-old --json
expect_eq "renew: endpoints" "$(json '[(e["endpoint"], e["from"] == "'"$a"'", e["to"] == "'"$b"'", e["result"]) for e in d["endpoints"]]')" \
    "[('a.example.test:$https', True, True, 'replaced'), ('b.example.test:$https', True, True, 'replaced'), ('0.0.0.0:$https', True, True, 'replaced')]"
expect_eq "renew: served" "$(json '[h["served"] for h in d["verification"]["hosts"]]')" "['expected', 'expected', 'expected']"
expect_eq "renew: retired" "$(json '[(r["thumbprint"] == "'"$a"'", r["exitCode"]) for r in d["retired"]]')" "[(True, 0)]"
expect_eq "bindings after the renewal" "$(bound)" "0.0.0.0:$https $b a.example.test:$https $b b.example.test:$https $b"

# What a client gets now, once the machine trusts B's CA: B by every name, and the redirect.
if [[ -n $QB_ROOTS_TRUSTED ]]; then
    wine 'C:\windows\system32\certutil.exe' -addstore Root 'C:\qb-pki-b\root.crt' </dev/null >/dev/null || fail "trust B's root"
    expect_cli 0 verify --all --json --pfx 'C:\renew-b\fullchain.pfx' --password-file 'C:\renew-b\password.txt'
    expect_eq "verify after the renewal" "$(json '[(h["host"], h["certificate"]["thumbprint"] == "'"$b"'", h["holds"]) for h in d["hosts"]]')" \
        "[('a.example.test', True, True), ('b.example.test', True, True), ('', True, True)]"
fi

expect_cli 0 renew --from 'C:\renew-b' --json
expect_eq "renew again" "$(json '[d["alreadyCurrent"], d["endpoints"]]')" "[True, []]"

pki d 120 DNS:a.example.test,DNS:b.example.test || return
d=$leaf
QB_PKI=$WINEPREFIX/drive_c/qb-pki-d put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
start_app en_US.UTF-8 || return
expect_ok "choose Replace Certificate Everywhere" drv menu mnuToolsRenew
expect_box "Replace Certificate Everywhere" "These HTTPS endpoints would change to the certificate of fullchain.pfx ($d):\r\n\r\n\
a.example.test:$https: $b -> $d\r\nb.example.test:$https: $b -> $d\r\n0.0.0.0:$https: $b -> $d\r\n\r\nThe TLS settings and IIS's \
sites stay as they are, and IIS is not restarted. Each endpoint is then verified and put back when it does not serve the new \
certificate.\r\n\r\nReplace the certificate now?" "6 7" 48 30000
expect_ok "answer Yes" drv answer-box 6
expect_box "Replace Certificate Everywhere" "a.example.test:$https: now serves $d.\r\nb.example.test:$https: now serves $d.\r\n\
0.0.0.0:$https: now serves $d.\r\nRenewal finished: 3 endpoint(s) replaced, 0 not." 1 64 60000
close_box
expect_eq "bindings after the window's renewal" "$(bound)" "0.0.0.0:$https $d a.example.test:$https $d b.example.test:$https $d"

# The daily task renews as the scheduler runs it: E, lasting longer still, placed in its folder.
pki e 150 DNS:a.example.test,DNS:b.example.test && folder e || return
expect_cli 0 schedule --from 'C:\renew-e' --retire-old
expect_eq "the scheduled renewal" "$(sbx run-task '\Quillbay\Renew')" 0
expect_eq "bindings after the scheduled renewal" "$(bound)" \
    "0.0.0.0:$https $leaf a.example.test:$https $leaf b.example.test:$https $leaf"
expect_eq "D retired by it" "$(sbx stores | grep -c "$d")" 0

# The outcomes went to the Application event log under the source Quillbay, this program its
# message file (Wine keeps no records: what each record holds is checked by the unit tests).
expect_eq "event source" "$(wine reg query 'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Quillbay' \
    /v EventMessageFile </dev/null 2>/dev/null | tr -d '\r' | awk '/EventMessageFile/ { print $3 }')" 'C:\Quillbay\quillbay-cli.exe'
