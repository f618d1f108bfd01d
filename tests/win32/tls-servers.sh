#!/usr/bin/env bash
# Runs a test command with the TLS servers the probe's test talks to, each an openssl s_server
# on a free port of 127.0.0.1, and stops them when it ends. The command learns their ports from
# QUILLBAY_TLS_<NAME>_PORT and the second server certificate from QUILLBAY_TLS_OTHER_CERT
# (Base64 DER):
#   sni       www.example.com's certificate with its chain, the root before the intermediate;
#             other.example.com's self-signed one to a client that asks for that name
#   bare      www.example.com's certificate alone
#   refusing  TLS 1.2 only, and insists on a client certificate
#
#   tls-servers.sh FIXTURES COMMAND...
set -euo pipefail
fixtures=$1
shift
work=$(mktemp -d)
pids=()
stop() {
    ((${#pids[@]} == 0)) || kill "${pids[@]}" 2>/dev/null || true
    wait
    rm -rf "$work"
}
trap stop EXIT

password=$(awk -F'\t' '$1 == "leaf" { print $2 }' "$fixtures/passwords.txt")
openssl pkcs12 -in "$fixtures/leaf.pfx" -nocerts -nodes -passin "pass:$password" -out "$work/leaf.key" 2>/dev/null
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -keyout "$work/other.key" \
    -out "$work/other.crt" -subj /CN=other.example.com -addext subjectAltName=DNS:other.example.com 2>/dev/null
QUILLBAY_TLS_OTHER_CERT=$(openssl x509 -in "$work/other.crt" -outform DER | base64 -w0)
export QUILLBAY_TLS_OTHER_CERT

serve() {  # NAME S_SERVER-OPTIONS...: returns once the server listens
    local name=$1 line fd
    shift
    mkfifo "$work/$name"
    openssl s_server -accept 127.0.0.1:0 -www -no-CAfile -no-CApath -no-CAstore \
        -cert "$fixtures/leaf.crt" -key "$work/leaf.key" "$@" >"$work/$name" 2>&1 </dev/null &
    pids+=($!)
    # Held open to the end, so that the server never writes into a closed pipe.
    exec {fd}<"$work/$name"
    while IFS= read -r -t 20 -u "$fd" line; do
        if [[ $line == ACCEPT* ]]; then
            export "QUILLBAY_TLS_${name^^}_PORT=${line##*:}"
            return
        fi
    done
    echo "tls-servers.sh: the $name server did not start" >&2
    exit 1
}
cat "$fixtures/root.crt" "$fixtures/inter.crt" >"$work/chain.pem"
serve sni -cert_chain "$work/chain.pem" -servername other.example.com \
    -cert2 "$work/other.crt" -key2 "$work/other.key"
serve bare
serve refusing -tls1_2 -Verify 1 -verify_return_error

"$@"
