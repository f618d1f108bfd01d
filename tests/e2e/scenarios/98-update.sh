# Help > Check for Updates against a server this scenario starts on 127.0.0.1 and the machine's
# policy names (the user's environment no longer moves it): a package whose signature is of
# another file refused with the program still running, and a signed package handed to the
# script host from a folder of its own (the exact script and launch line; the program ends). The
# other answers, a missing signature, a damaged zip and no server are the unit and adapter tests'.
www=$(mktemp -d "$QB_APP_DIR.www.XXXXXX") && mkdir -p "$www/quillbay/download" || return
# Its first line names the port it took; the requests go to the log.
exec {serving}< <(exec python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$www" 2>"$www.log")
server=$! port=
read -r -t 30 line <&"$serving" && port=$(sed -nE 's/^Serving HTTP on 127\.0\.0\.1 port ([0-9]+).*/\1/p' <<<"$line")
[[ -n $port ]] || { fail "the update server did not start: $(cat "$www.log")"; return; }
policy='HKLM\SOFTWARE\Policies\Quillbay'
wine reg add "$policy" /v UpdateBaseUrl /d "http://127.0.0.1:$port/" /f </dev/null >/dev/null 2>&1 || fail "reg add $policy"
check() {  # check LOCALE: the program with the local server, Check for Updates chosen
    start_app "$1" "QUILLBAY_UPDATE_BASE_URL=http://127.0.0.1:$port/from-the-environment" || return 1
    expect_ok "choose Check for Updates" drv menu mnuHelpCheckUpdate
}
requests() { sed -nE 's/.*"GET ([^ ]*) HTTP[^"]*" ([0-9]+).*/\1 \2/p' "$www.log"; }
prompt="New version found: 1.0.11 (Current version: 1.0.10)\r\n\r\nUpdate Content:\r\nFaster deployment\r\n\r\n\r\n\
Download and update now?"

printf '1.0.11\r\n  Faster deployment  \r\n' >"$www/quillbay/version.txt"
package=$www/quillbay/download/1.0.11.zip
python3 - "$package" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Quillbay.exe", b"MZ" + bytes(range(256)) * 64)
    z.writestr("README.txt", "Quillbay 1.0.11\r\n")
PY
# Signed with the key this build trusts, as scripts/release signs a release: first another file.
sign() { openssl dgst -sha256 -sign "$QB_BUILD_DIR/test-update-key.pem" -out "$package.sig" "$1"; }
sign "$www/quillbay/version.txt"
check en_US.UTF-8 || return
expect_box "New version found: " "$prompt" "6 7" 64 30000
expect_ok "answer Yes to the package signed otherwise" drv answer-box 6
expect_box Quillbay "The downloaded update package is damaged or is not a Quillbay package. Nothing was changed." 1 16 30000
close_box
expect_eq "the program after the refusal" "$(drv wait-window 0 >/dev/null && echo running)" running
stop_app

sign "$package"
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/quillbay-update-*
check en_US.UTF-8 || return
expect_box "New version found: " "$prompt" "6 7" 64 30000
expect_ok "answer Yes" drv answer-box 6
drv wait-gone 30000 >/dev/null || fail "the program did not end for the update"
expect_eq "the requests" "$(requests | sort -u)" "$(printf '%s\n' "/quillbay/version.txt?ver=1.0.10 200" \
    "/quillbay/download/1.0.11.zip 200" "/quillbay/download/1.0.11.zip.sig 200" | sort)"
temp=$(compgen -G "$WINEPREFIX/drive_c/users/*/Temp/quillbay-update-rad*/self_update.vbs") ||
    fail "no self_update.vbs in a folder of its own below the temporary folder"
folder=$(basename "$(dirname "$temp")") user=$(basename "$(dirname "$(dirname "$(dirname "$temp")")")")
wintemp="C:\\users\\$user\\Temp\\$folder"
expect_eq "the launch line" "$(sbx log | awk -F'\t' '$2 == "wscript" { print $4 }')" \
    "C:\\windows\\system32\\wscript.exe \"$wintemp\\self_update.vbs\" \"$wintemp\\update.zip\" \"C:\\Quillbay\" \"C:\\Quillbay\\Quillbay.exe\""
cmp -s "${temp%/*}/update.zip" "$package" || fail "update.zip differs from the package served"
# The lines of SelfUpdateScript(), each ended by CR LF, byte for byte.
expect_eq "self_update.vbs" "$(sha256sum <"$temp" | cut -d' ' -f1)" 02fbd24612e7fb4cb70844eab6e200bad29f7c15911c60700ab43787b3bb38ff

kill "$server" && wait "$server" 2>/dev/null
wine reg delete "$policy" /f </dev/null >/dev/null 2>&1
rm -rf "$www" "$www.log"
