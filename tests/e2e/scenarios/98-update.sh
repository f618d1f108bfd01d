# Help > Check for Updates against a server this scenario starts on 127.0.0.1: a newer version
# whose package is broken refused with the program still running, then a sound package handed
# to the script host (the script and the launch line; the program ends).
www=$(mktemp -d "$QB_APP_DIR.www.XXXXXX") && mkdir -p "$www/quillbay/download" || return
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "$www" >"$www.log" 2>&1 &
server=$!
port=
for _ in $(seq 200); do
    port=$(sed -nE 's/^Serving HTTP on 127\.0\.0\.1 port ([0-9]+).*/\1/p' "$www.log")
    [[ -n $port ]] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
done
[[ -n $port ]] || { fail "the update server did not start: $(cat "$www.log")"; return; }
base=http://127.0.0.1:$port
requests() { sed -nE 's/.*"GET ([^ ]*) HTTP[^"]*" ([0-9]+).*/\1 \2/p' "$www.log"; }

check() {  # the program with the local server, Check for Updates chosen
    start_app en_US.UTF-8 "QUILLBAY_UPDATE_BASE_URL=$base/" || return 1
    expect_ok "choose Check for Updates" drv menu mnuHelpCheckUpdate
}

printf '1.0.11\r\n  Faster deployment  \r\n' >"$www/quillbay/version.txt"
printf '<html>maintenance</html>' >"$www/quillbay/download/1.0.11.zip"
check || return
prompt=$(str en MsgBox_Update_NewVersionFound)'1.0.11'$(str en MsgBox_Update_CurrentVersion)'1.0.10)\r\n\r\n'
prompt+=$(str en MsgBox_Update_UpdateContent)'\r\nFaster deployment\r\n\r\n\r\n'$(str en MsgBox_Update_DownloadPrompt)
expect_box "$(str en MsgBox_Update_NewVersionFound)" "$prompt" "6 7" 64 30000
expect_ok "answer Yes" drv answer-box 6
expect_box Quillbay "$(str en MsgBox_Update_DownloadFailed)200" 1 16 30000
close_box
expect_text lblStatus "$(str en lblStatus_Ready)"
expect_eq "the requests" "$(requests)" "/quillbay/version.txt?ver=1.0.10 200
/quillbay/download/1.0.11.zip 200"
expect_eq "the script host" "$(sbx log | awk -F'\t' '$2 == "wscript"')" ""
stop_app

python3 - "$www/quillbay/download/1.0.11.zip" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Quillbay.exe", b"MZ" + bytes(range(256)) * 64)
    z.writestr("README.txt", "Quillbay 1.0.11\r\n")
EOF
rm -f "$WINEPREFIX"/drive_c/users/*/Temp/{update.zip,self_update.vbs}
check || return
expect_box "$(str en MsgBox_Update_NewVersionFound)" "$prompt" "6 7" 64 30000
expect_ok "answer Yes" drv answer-box 6
drv wait-gone 30000 >/dev/null || fail "the program did not end for the update"
launched=$(sbx log | awk -F'\t' '$2 == "wscript" { print $4 }')
temp=$(compgen -G "$WINEPREFIX/drive_c/users/*/Temp/self_update.vbs") || fail "no self_update.vbs in the temporary folder"
wintemp='C:\users\'$(basename "$(dirname "$(dirname "$temp")")")'\Temp'
expect_eq "the launch line" "$launched" \
    "C:\\windows\\system32\\wscript.exe \"$wintemp\\self_update.vbs\" \"$wintemp\\update.zip\" \"C:\\Quillbay\" \"C:\\Quillbay\\Quillbay\""
cmp -s "${temp%/*}/update.zip" "$www/quillbay/download/1.0.11.zip" || fail "update.zip differs from the package served"
# The script as the program holds it: CR LF throughout, not re-encoded on the way.
expect_eq "self_update.vbs" "$(grep -c $'\r$' "$temp") $(wc -l <"$temp") $(grep -c 'destFolder.CopyHere item, 20' "$temp")" "24 24 1"
kill "$server" && wait "$server" 2>/dev/null
rm -rf "$www" "$www.log"
