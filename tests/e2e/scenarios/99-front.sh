# What the sandbox's front serves after an import and a deployment through the console program,
# on two free ports (no root needed): by SNI the leaf with its intermediates for each host name,
# the 0.0.0.0 binding's certificate for a name without a binding of its own and for a client
# without SNI, the redirect over http; and a binding netsh deletes is no longer served, while the
# front keeps running. verify, in the console and the window, sees the same: all holds once the
# machine trusts the CA's root; an older certificate's binding made to win for a name is found,
# and so is a front that has stopped.
QB_PKI=$WINEPREFIX/drive_c/qb-pki-front
QB_LEAF_SAN=DNS:a.example.test,DNS:b.example.test make_test_pki || return
read -r http https < <(free_ports)
printf '%s\t%s\n' Shop "http/*:$http:a.example.test,http/*:$http:b.example.test" Intranet "http/*:$http:" |
    seed_sites --iis-major 10 || fail "seed"
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
expect_cli 0 import
expect_cli 0 deploy --all --wildcard yes --port "$https"
front_wait "$https" || fail "the front does not listen on $https"

# served NAME: the certificates the handshake brought, leaf first ("-" for no SNI); nothing when
# the handshake failed or the test root does not vouch for them.
served() {
    local out
    out=$(openssl s_client -connect "127.0.0.1:$https" $([[ $1 == - ]] && echo -noservername || echo "-servername $1") \
        -CAfile "$QB_PKI/root.crt" -verify_return_error </dev/null 2>/dev/null) &&
        sed -n 's/^ [0-9] s:CN = Quillbay E2E //p' <<<"$out" | xargs
}
chain="leaf inter2 inter1"
for name in a.example.test b.example.test other.example.test -; do
    expect_eq "served to $name" "$(served "$name")" "$chain"
done

# http: the site by Host header (as a browser names a host on port 80), its rule's Location.
redirect() { curl -s -o /dev/null -H "Host: $1" -w '%{http_code} %{redirect_url}' "http://127.0.0.1:$http$2"; }
expect_eq "http to Shop" "$(redirect a.example.test '/cart?item=1')" "301 https://a.example.test:$https/cart?item=1"
expect_eq "http to Intranet" "$(redirect intranet '/')" "301 https://intranet:$https/"
expect_eq "https to Intranet" "$(curl -sk -o /dev/null -w '%{http_code}' --resolve "intranet:$https:127.0.0.1" \
    "https://intranet:$https/")" 200

verified() { json '[(h["host"], h["served"], h["holds"], h["redirect"]) for h in d["hosts"]]'; }
expect_cli 1 verify --all --json
wine 'C:\windows\system32\certutil.exe' -addstore Root 'C:\qb-pki-front\root.crt' </dev/null >/dev/null || fail "certutil -addstore Root"
if [[ -n $QB_ROOTS_TRUSTED ]]; then
    expect_cli 0 verify --all --json
    expect_eq "verify with the root trusted" "$(verified)" \
        "[('a.example.test', 'expected', True, 'redirects'), ('b.example.test', 'expected', True, 'redirects'), ('', 'expected', True, 'not-checked')]"
else
    echo "note: the simulated machine cannot trust the test root here; verify's passing case is not checked"
fi

# Another certificate bound for a.example.test wins there, in the console and in the window (a
# self-signed one, so its chain fails too; Wine quotes a name with blanks in one encoding only).
(cd "$QB_PKI" && openssl req -x509 -newkey rsa:2048 -nodes -keyout old.key -out old.crt -days 20 -subj "/CN=Quillbay E2E old" \
    -addext subjectAltName=DNS:a.example.test 2>/dev/null && QB_PASS=$QB_PFX_PASSWORD openssl pkcs12 -export -inkey old.key \
    -in old.crt -passout env:QB_PASS -keypbe PBE-SHA1-3DES -certpbe PBE-SHA1-3DES -macalg sha1 -out old.pfx) || fail "openssl old.pfx"
old=$(thumbprint "$QB_PKI/old.crt")
wine 'C:\windows\system32\certutil.exe' -f -p "$QB_PFX_PASSWORD" -importpfx 'C:\qb-pki-front\old.pfx' </dev/null >/dev/null ||
    fail "certutil -importpfx old.pfx"
sslcert() { wine 'C:\windows\system32\netsh.exe' http "$@" </dev/null >/dev/null || fail "netsh $*"; }
sslcert delete sslcert "hostnameport=a.example.test:$https"
sslcert add sslcert "hostnameport=a.example.test:$https" "certhash=$old" 'appid={4dc3e181-e14b-4a21-b022-59fc669b0914}' certstorename=MY
expect_cli 1 verify --site Shop --json
expect_eq "verify with an older binding for a.example.test" "$(verified)" \
    "[('a.example.test', 'another', False, 'redirects'), ('b.example.test', 'expected', $([[ -n $QB_ROOTS_TRUSTED ]] && echo True || echo False), 'redirects')]"
if [[ -n $QB_ROOTS_TRUSTED ]]; then
    start_app en_US.UTF-8 || return
    expect_ok "choose Verify Deployment" drv menu mnuToolsVerify
    days=$((($(date -d "$(openssl x509 -enddate -noout -in "$QB_PKI/leaf.crt" | cut -d= -f2)" +%s) - $(date +%s)) / 86400))
    expect_box "Verify Deployment" "[ERROR] a.example.test at 127.0.0.1:$https (site 'Shop'): serves another certificate, \
CN=Quillbay E2E old (thumbprint $old), not $QB_THUMB_LEAF.\r\n[ERROR] a.example.test at 127.0.0.1:$https (site 'Shop'): \
the chain it sends reaches no root this machine trusts (code -2146762487).\r\n[OK] http://a.example.test:$http/ answers 301, redirecting \
to https://a.example.test:$https/.\r\n[OK] b.example.test at 127.0.0.1:$https (site 'Shop'): serves CN=\"Quillbay E2E leaf\" \
(thumbprint $QB_THUMB_LEAF), $days days left.\r\n[OK] http://b.example.test:$http/ answers 301, redirecting to \
https://b.example.test:$https/.\r\n\r\nVerified 2 host(s): 1 as expected, 1 not." 1 48 30000
    close_box
    expect_text lblStatus "Verification failed for 1 of 2 host(s); see log-error.txt."
    stop_app
fi

# A front that has stopped: nothing listens, nothing could be probed.
front_stop
expect_cli 2 verify --all --json
expect_eq "verify with the front stopped" "$(verified)" \
    "[('a.example.test', 'nothing-listens', False, 'nothing-listens'), ('b.example.test', 'nothing-listens', False, 'nothing-listens'), ('', 'nothing-listens', False, 'not-checked')]"
front_start || fail "the front did not start again"
front_wait "$https" || fail "the front does not listen on $https again"

expect_cli 0 deploy --all --wildcard yes --port "$https" --redirect off
expect_eq "http to Shop without the rule" "$(redirect b.example.test /)" "200 "

# Without the 0.0.0.0 binding only the host names are served; without a host's binding, not it.
netsh() { wine 'C:\windows\system32\netsh.exe' http delete sslcert "$1" </dev/null >/dev/null || fail "netsh delete $1"; }
netsh "ipport=0.0.0.0:$https"
for name in other.example.test -; do expect_eq "served to $name without 0.0.0.0" "$(served "$name")" ""; done
expect_eq "served to a.example.test without 0.0.0.0" "$(served a.example.test)" "$chain"
netsh "hostnameport=a.example.test:$https"
expect_eq "served to a.example.test without its binding" "$(served a.example.test)" ""
expect_eq "served to b.example.test" "$(served b.example.test)" "$chain"
