# Certificate Chain > View System Store when neither certificate manager can be started: Wine
# has no certlm.msc or certmgr.msc and nothing that opens .msc files. The first failure is
# logged with the fixed fallback note, the second with the reason, and one box tells the user;
# the status line is ready again.
source "$(dirname "${BASH_SOURCE[0]}")/../lib_certs.sh"
# Should a later Wine bring either snap-in or an association for .msc, the case checked here
# would no longer be the one the machine offers.
for name in certlm.msc certmgr.msc; do
    [[ -e $WINEPREFIX/drive_c/windows/system32/$name ]] && fail "$name exists in this prefix"
done
wine reg query 'HKCR\.msc' </dev/null >/dev/null 2>&1 && fail "this prefix associates .msc files"

# The Chinese code page, so that the fixed Chinese note keeps its bytes in the log.
start_app_cp936 || return
expect_ok "choose View System Store" drv menu mnuChainViewSystemStore
expect_box "$(str en MsgBox_ViewSystemStore_Failed_Title)" \
    "$(str en MsgBox_ViewSystemStore_Failed)\r\n$(str en MsgBox_ViewSystemStore_AdminNeeded)" 1 16
close_box
expect_text lblStatus "$(str en lblStatus_Ready)"

records=$(log_records log-error.txt CP936)
expect_eq "error records" "$(wc -l <<<"$records")" 2
IFS=$'\t' read -r procedure description number <<<"$(sed -n 1p <<<"$records")"
expect_eq "first record" "$procedure|$description" \
    "mnuChainViewSystemStore_Click|certlm.msc 启动失败，将尝试 certmgr.msc 作为后备。"
[[ $number =~ ^-?[1-9][0-9]*$ ]] || fail "first record's error number: [$number]"
IFS=$'\t' read -r procedure description number <<<"$(sed -n 2p <<<"$records")"
expect_eq "second record's procedure" "$procedure" mnuChainViewSystemStore_Click
# The reason is the platform's own description of the failure, after the localized text.
[[ $description == "$(str en MsgBox_ViewSystemStore_CantOpen)"?* ]] || fail "second record's description: [$description]"
[[ $number =~ ^-?[1-9][0-9]*$ ]] || fail "second record's error number: [$number]"
