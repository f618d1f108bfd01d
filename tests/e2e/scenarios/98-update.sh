# Help > Check for Updates against a server this scenario starts on 127.0.0.1: a sound package
# handed to the script host (the exact script and launch line; the program ends). The other
# answers, a damaged package and no server are the unit and adapter tests'.
www=$(mktemp -d "$QB_APP_DIR.www.XXXXXX") && mkdir -p "$www/quillbay/download" || return
# Its first line names the port it took; the requests go to the log.
exec {serving}< <(exec python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$www" 2>"$www.log")
server=$! port=
read -r -t 30 line <&"$serving" && port=$(sed -nE 's/^Serving HTTP on 127\.0\.0\.1 port ([0-9]+).*/\1/p' <<<"$line")
[[ -n $port ]] || { fail "the update server did not start: $(cat "$www.log")"; return; }

printf '1.0.11\r\n  Faster deployment  \r\n' >"$www/quillbay/version.txt"
python3 - "$www/quillbay/download/1.0.11.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Quillbay.exe", b"MZ" + bytes(range(256)) * 64)
    z.writestr("README.txt", "Quillbay 1.0.11\r\n")
PY
rm -f "$WINEPREFIX"/drive_c/users/*/Temp/{update.zip,self_update.vbs}
start_app en_US.UTF-8 "QUILLBAY_UPDATE_BASE_URL=http://127.0.0.1:$port/" || return
expect_ok "choose Check for Updates" drv menu mnuHelpCheckUpdate
expect_box "New version found: " "New version found: 1.0.11 (Current version: 1.0.10)\r\n\r\nUpdate Content:\r\nFaster \
deployment\r\n\r\n\r\nDownload and update now?" "6 7" 64 30000
expect_ok "answer Yes" drv answer-box 6
drv wait-gone 30000 >/dev/null || fail "the program did not end for the update"
expect_eq "the requests" "$(sed -nE 's/.*"GET ([^ ]*) HTTP[^"]*" ([0-9]+).*/\1 \2/p' "$www.log")" \
    "/quillbay/version.txt?ver=1.0.10 200"$'\n'"/quillbay/download/1.0.11.zip 200"
temp=$(compgen -G "$WINEPREFIX/drive_c/users/*/Temp/self_update.vbs") || fail "no self_update.vbs in the temporary folder"
wintemp='C:\users\'$(basename "$(dirname "$(dirname "$temp")")")'\Temp'
expect_eq "the launch line" "$(sbx log | awk -F'\t' '$2 == "wscript" { print $4 }')" \
    "C:\\windows\\system32\\wscript.exe \"$wintemp\\self_update.vbs\" \"$wintemp\\update.zip\" \"C:\\Quillbay\" \"C:\\Quillbay\\Quillbay\""
cmp -s "${temp%/*}/update.zip" "$www/quillbay/download/1.0.11.zip" || fail "update.zip differs from the package served"
# The lines of SelfUpdateScript(), each ended by CR LF, byte for byte.
expect_eq "self_update.vbs" "$(sha256sum <"$temp" | cut -d' ' -f1)" 02fbd24612e7fb4cb70844eab6e200bad29f7c15911c60700ab43787b3bb38ff

kill "$server" && wait "$server" 2>/dev/null
rm -rf "$www" "$www.log"
