# Help > Check for Updates against a server this scenario starts on 127.0.0.1: no update, a newer
# version declined, packages refused with the program still running (not a zip, no signature, a
# wrong one, changed after signing), a signed package handed to the script host from a folder of
# its own (the exact script and launch line; the program ends), and no server.
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
ready="Ready, please select chain(s) to import..." found="New version found: "
requests() { sed -nE 's/.*"GET ([^ ]*) HTTP[^"]*" ([0-9]+).*/\1 \2/p' "$www.log"; }

# The machine's policy moves the update server; the user's environment no longer does (its
# requests would land below /from-the-environment).
policy='HKLM\SOFTWARE\Policies\Quillbay'
wine reg add "$policy" /v UpdateBaseUrl /d "$base/" /f </dev/null >/dev/null 2>&1 || fail "reg add $policy"
check() {  # check [LOCALE]: the program with the local server, Check for Updates chosen
    start_app "${1:-en_US.UTF-8}" "QUILLBAY_UPDATE_BASE_URL=$base/from-the-environment" || return 1
    expect_ok "choose Check for Updates" drv menu mnuHelpCheckUpdate
}

printf '1.0.10\n' >"$www/quillbay/version.txt"
check || return
expect_box "No Update Needed" "You are currently using the latest version." 1 64 30000
close_box
expect_text lblStatus "$ready"
expect_eq "the query" "$(requests)" "/quillbay/version.txt?ver=1.0.10 200"
stop_app

printf '1.0.11\r\n  Faster deployment  \r\n' >"$www/quillbay/version.txt"
printf '<html>maintenance</html>' >"$www/quillbay/download/1.0.11.zip"
check || return
prompt='New version found: 1.0.11 (Current version: 1.0.10)\r\n\r\nUpdate Content:\r\nFaster deployment\r\n\r\n\r\nDownload and update now?'
expect_box "$found" "$prompt" "6 7" 64 30000
close_box 7
expect_text lblStatus "$ready"
expect_ok "menu again" drv menu mnuHelpCheckUpdate
expect_box "$found" "$prompt" "6 7" 64 30000
package=$www/quillbay/download/1.0.11.zip
refused() {  # refused WHAT: Yes to the prompt, then the package is refused and nothing runs
    expect_ok "answer Yes ($1)" drv answer-box 6
    expect_box Quillbay "The downloaded update package is damaged or is not a Quillbay package. Nothing was changed." 1 16 30000
    close_box
    expect_text lblStatus "$ready"
    expect_eq "the program after $1" "$(drv wait-window 0 >/dev/null && echo running)" running
    expect_eq "the script host after $1" "$(sbx log | awk -F'\t' '$2 == "wscript"')" ""
}
refused "a broken package"
expect_eq "the download" "$(requests | tail -2)" "/quillbay/download/1.0.11.zip 200"$'\n'"/quillbay/download/1.0.11.zip.sig 404"

python3 - "$www/quillbay/download/1.0.11.zip" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("Quillbay.exe", b"MZ" + bytes(range(256)) * 64)
    z.writestr("README.txt", "Quillbay 1.0.11\r\n")
EOF
# Signed with the key this build trusts, as scripts/release signs a release.
sign() { openssl dgst -sha256 -sign "$QB_BUILD_DIR/test-update-key.pem" -out "$package.sig" "$1"; }
for case in "no signature" "a signature of another file" "a package changed after signing"; do
    rm -f "$package.sig"
    [[ $case == "a signature of another file" ]] && sign "$www/quillbay/version.txt"
    [[ $case == "a package changed after signing" ]] && sign "$package" && printf 'x' >>"$package"
    expect_ok "menu ($case)" drv menu mnuHelpCheckUpdate
    expect_box "$found" "$prompt" "6 7" 64 30000
    refused "$case"
    [[ $case == "a package changed after signing" ]] && truncate -s -1 "$package"
done
[[ $(log_records log-error.txt) == *"The update package was refused: no signature (status code 404)"* ]] ||
    fail "no record of the missing signature: $(log_records log-error.txt)"
stop_app

sign "$package"
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/quillbay-update-*
check || return
expect_box "$found" "$prompt" "6 7" 64 30000
expect_ok "answer Yes" drv answer-box 6
drv wait-gone 30000 >/dev/null || fail "the program did not end for the update"
launched=$(sbx log | awk -F'\t' '$2 == "wscript" { print $4 }')
temp=$(compgen -G "$WINEPREFIX/drive_c/users/*/Temp/quillbay-update-rad*/self_update.vbs") ||
    fail "no self_update.vbs in a folder of its own below the temporary folder"
folder=$(basename "$(dirname "$temp")") user=$(basename "$(dirname "$(dirname "$(dirname "$temp")")")")
wintemp="C:\\users\\$user\\Temp\\$folder"
expect_eq "the launch line" "$launched" \
    "C:\\windows\\system32\\wscript.exe \"$wintemp\\self_update.vbs\" \"$wintemp\\update.zip\" \"C:\\Quillbay\" \"C:\\Quillbay\\Quillbay.exe\""
cmp -s "${temp%/*}/update.zip" "$www/quillbay/download/1.0.11.zip" || fail "update.zip differs from the package served"
expected=$(mktemp)
cat <<'EOF' | sed 's/$/\r/' >"$expected"
On Error Resume Next
Dim objShell, zipFile, destFolder, item
Dim zipFilePath, destPath, exeToRunPath, fso
'WScript.Echo "Update script started. Waiting for main application to close..."
zipFilePath = WScript.Arguments(0)
destPath = WScript.Arguments(1)
exeToRunPath = WScript.Arguments(2)
WScript.Sleep 3000
'WScript.Echo "Extracting files from: " & zipFilePath
Set objShell = CreateObject("Shell.Application")
Set zipFile = objShell.Namespace(zipFilePath)
Set destFolder = objShell.Namespace(destPath)
If IsObject(zipFile) And IsObject(destFolder) Then
    For Each item In zipFile.Items
        destFolder.CopyHere item, 20
    Next
End If
'WScript.Echo "Update complete. Relaunching application..."
objShell.ShellExecute exeToRunPath, , , "runas", 1
WScript.Sleep 1000
WScript.Echo "Upgrade successfully..."
Set fso = CreateObject("Scripting.FileSystemObject")
If fso.FileExists(zipFilePath) Then fso.DeleteFile zipFilePath
If fso.FileExists(WScript.ScriptFullName) Then fso.DeleteFile WScript.ScriptFullName
EOF
cmp -s "$temp" "$expected" || fail "self_update.vbs differs: $(diff <(cat -A "$expected") <(cat -A "$temp") | head -5)"
rm -f "$expected"

kill "$server" && wait "$server" 2>/dev/null
clear_logs
check zh_CN.UTF-8 || return
box=$(drv wait-box 30000)
expect_eq "the box without a server" "${box%%$'\n'text=*}" "title=Quillbay"
[[ $box == *"text=$(str zh-hans MsgBox_Update_Error)"?* ]] || fail "no server: $box"
close_box
expect_text lblStatus "$(str zh-hans lblStatus_Ready)"
[[ $(log_records log-error.txt CP936) == mnuHelpCheckUpdate_Click$'\t'*$'\t'12029 ]] ||
    fail "the error record: $(log_records log-error.txt CP936)"
wine reg delete "$policy" /f </dev/null >/dev/null 2>&1
rm -rf "$www" "$www.log"
