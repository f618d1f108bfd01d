# What the sandbox's front serves after an import and a deployment through the console program,
# on two free ports (no root needed): by SNI the leaf with its intermediates for each host name,
# the 0.0.0.0 binding's certificate for a name without a binding of its own and for a client
# without SNI, the redirect over http; and a binding netsh deletes is no longer served, while the
# front keeps running.
make_test_pki || return
read -r http https < <(python3 -c 'import socket
s = [socket.create_server(("127.0.0.1", 0)) for _ in range(2)]
print(*(x.getsockname()[1] for x in s))')
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
