# IIS discovery with awkward input: site names with blanks, quotes, brackets, an ampersand and
# non-ASCII letters; a site with 200 bindings; an appcmd that answers on standard error only; an
# appcmd that is gone; a temporary folder that cannot take the capture file. Each ends in the
# state the program defines for it, with a log record only where a failure was raised, and the
# window stays up and takes commands.
appcmd='C:\windows\system32\inetsrv\appcmd.exe'

# Awkward names travel in a file. Even quotes inside a name turn into quoting on the tool's
# side, so it asks for another name and answers nothing; an odd quote also swallows the
# redirection, so nothing is captured. Both sites are listed by name alone, as sites whose tool
# prints nothing are.
big_bindings=http/*:80:h001.example.com
big_line="Big (h001.example.com"
for i in $(seq 2 200); do
    host=$(printf 'h%03d.example.com' "$i")
    big_bindings+=",$( ((i % 2)) && echo http/*:80 || echo https/*:443):$host"
    big_line+=", $host"
done
printf '%s\t%s\n' 'Café [Test]' 'http/*:80:cafe.example' 'Two  Blanks' 'http/*:80:two.example,https/*:443:Two.Example' \
    'Say "Hi"' 'http/*:80:hi.example' 'Size 5" Screen' 'http/*:80:five.example' 'A & B (1)' 'http/*:81:ab.example' \
    '商店' 'http/*:80:shop.example.cn' 'Big' "$big_bindings" | seed_sites || fail "seeding the awkward names failed"
awkward_list() {
    printf '%s\n' "[x] Café [Test] (cafe.example)" "[ ] Two  Blanks (two.example)" '[ ] Say "Hi"' \
        '[ ] Size 5" Screen' "[ ] A & B (1) (ab.example)" "[ ] $1" "[ ] $big_line)"
}

# The tool's output is read in the ANSI code page: under Chinese (936) every name arrives;
# under English (1252) the Chinese name arrives as question marks, which name no site.
clear_logs
for case in "zh_CN zh-hans 商店 (shop.example.cn)" "en_US en ??"; do
    read -r locale l name <<<"$case"
    start_app "$locale.UTF-8" || return
    expect_eq "site list ($locale)" "$(drv list lstSites)" "$(awkward_list "$name")"
    expect_text lblStatus "$(str "$l" lblStatus_IISDetected)"
    expect_state enabled 1 cmdDeploy
    expect_responsive
    stop_app
done
calls=$(appcmd_calls | head -8)
expect_eq "names asked for" "$(sed -n 's/^.* list site "\(.*\)" \/text:bindings$/\1/p' <<<"$calls")" \
    "Café [Test]
Two  Blanks
Say \"Hi\"
A & B (1)
商店
Big"
grep -qF "$appcmd list site \"Size 5\" Screen\" /text:bindings > \"" <<<"$calls" ||
    fail "the odd quote did not carry the redirection into the tool's line: $calls"
expect_eq "log-error.txt after the awkward names" "$(log_records log-error.txt)" ""
expect_eq "capture files left behind" "$(compgen -G "$WINEPREFIX/drive_c/users/*/Temp/rad*.tmp")" ""

# appcmd answers on standard error only: the site list query yields nothing, so the list stays
# empty, the status keeps the loading text and no control changes; the module check yields
# nothing, so the redirect box is locked. Nothing failed, so nothing is logged.
expect_ok "seed an appcmd that answers on standard error" \
    sbx seed --appcmd-fault stderr-only --site Shop "http/*:80:shop.example.com"
clear_logs
start_app en_US.UTF-8 || return
expect_eq "site list" "$(drv list lstSites)" ""
expect_text lblStatus "$(str en MsgBox_LoadingIIS)"
expect_text lblSiteList "$(str en lblSiteList_Caption lblSiteList_Caption_Multi)"
expect_state enabled 1 "${QB_DEPLOYMENT[@]}"
expect_state enabled 0 chkHttpRedirect
expect_state checked 0 chkHttpRedirect
expect_text chkHttpRedirect "$(str en chkHttpRedirect_Caption_no_module)"
expect_eq "appcmd calls" "$(appcmd_calls)" "$appcmd list site /text:name
$appcmd list module \"RewriteModule\""
expect_eq "log-error.txt" "$(log_records log-error.txt)" ""
expect_responsive
stop_app

# appcmd gone while the registry still names IIS 10: the version is found and logged, and the
# window shows the no-IIS state all the same (the tool's file decides).
expect_ok "seed IIS without its tool" sbx seed --no-iis --iis-major 10
clear_logs
start_app en_US.UTF-8 || return
expect_eq "site list" "$(drv list lstSites)" "[ ] $(str en MsgBox_NoIISFound)"
expect_text lblSiteList "$(str en lblSiteList_NoIIS)"
expect_text lblStatus "$(str en lblStatus_NoIIS)"
expect_state enabled 0 "${QB_DEPLOYMENT[@]}" chkHttpRedirect
expect_eq "log.txt" "$(log_records log.txt)" "IsIIS8OrGreater	IIS MajorVersion found in Registry: 10"
expect_eq "log-error.txt" "$(log_records log-error.txt)" ""
expect_responsive
stop_app

# A temporary folder that cannot take the capture file. A missing folder, or a file in the
# folder's place: the command interpreter cannot open the redirection, so it never starts the
# tool and nothing is captured; nothing failed on the program's side, so nothing is logged.
# A path too long for a temporary folder: asking for it fails, and each of the two captures
# logs that failure (procedure and error number; the description is the system's).
expect_ok "seed one site" sbx seed --site Shop "http/*:80:shop.example.com"
long='C:\'$(printf 'x%.0s' $(seq 280))
for temp in 'C:\no such folder' 'C:\Quillbay\Quillbay.exe' "$long"; do
    clear_logs
    start_app en_US.UTF-8 "TEMP=$temp" "TMP=$temp" || return
    expect_eq "site list (TEMP=${temp:0:30})" "$(drv list lstSites)" ""
    expect_text lblStatus "$(str en MsgBox_LoadingIIS)"
    expect_state enabled 1 cmdDeploy
    expect_state enabled 0 chkHttpRedirect
    expect_state checked 0 chkHttpRedirect
    expect_eq "appcmd calls (TEMP=${temp:0:30})" "$(appcmd_calls)" ""
    expected=
    [[ $temp == "$long" ]] && expected=$'RunHiddenAndCapture\t206\nRunHiddenAndCapture\t206'
    expect_eq "log-error.txt (TEMP=${temp:0:30})" "$(log_records log-error.txt | cut -f1,3)" "$expected"
    expect_responsive
    stop_app
done
expect_ok "seed the default host again" sbx seed
