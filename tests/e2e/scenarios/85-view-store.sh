# Certificate Chain > View System Store when neither certificate manager can be started:
# Wine has no certlm.msc or certmgr.msc and nothing that opens .msc files. The first failure
# is logged with the fixed fallback note, the second with the reason, and one box tells the
# user; the status line is ready again.
source "$(dirname "${BASH_SOURCE[0]}")/../lib_certs.sh"

# Should a later Wine bring either snap-in or an association for .msc, the case checked here
# would no longer be the one the machine offers.
for name in certlm.msc certmgr.msc; do
    [[ -e $WINEPREFIX/drive_c/windows/system32/$name ]] && note "$name exists in this prefix"
done
if wine reg query 'HKCR\.msc' </dev/null >/dev/null 2>&1; then
    note "this prefix associates .msc files; removing the association"
    wine reg delete 'HKCR\.msc' /f </dev/null >/dev/null 2>&1 || fail "could not remove the .msc association"
fi

reset_program_folder
# The Chinese code page, so that the fixed Chinese note keeps its bytes in the log.
start_app_cp936 || return
expect_ok "choose View System Store" drv menu $ID_MNU_CHAIN_VIEW_SYSTEM_STORE
expect_box_closed "Certificate Manager Error" \
    'Failed to open Certificate Manager (tried certlm.msc and certmgr.msc).\r\nPlease confirm that the Certificate Management snap-in is installed on your OS and try running this tool with administrator privileges.\r\nNote: viewing the local computer certificate store requires administrator privileges.' 16
expect_text $ID_LBL_STATUS "Ready, please select chain(s) to import..."

records=$(error_records CP936)
expect_eq "error records" "$(wc -l <<<"$records")" 2
IFS=$'\t' read -r procedure description number <<<"$(sed -n 1p <<<"$records")"
expect_eq "first record" "$procedure|$description" \
    "mnuChainViewSystemStore_Click|certlm.msc 启动失败，将尝试 certmgr.msc 作为后备。"
[[ $number =~ ^-?[1-9][0-9]*$ ]] || fail "first record's error number: [$number]"
IFS=$'\t' read -r procedure description number <<<"$(sed -n 2p <<<"$records")"
expect_eq "second record's procedure" "$procedure" mnuChainViewSystemStore_Click
# The reason is the platform's own description of the failure, after the localized text.
[[ $description == "Unable to open Certificate Manager: "?* ]] ||
    fail "second record's description: [$description]"
[[ $number =~ ^-?[1-9][0-9]*$ ]] || fail "second record's error number: [$number]"
reset_program_folder
