# Import with bad input: each case ends in a clear message or the defined state, and nothing
# the user had is overwritten.
make_test_pki || return
partial_title=$(str en MsgBox_Import_PartialCompleteTitle)
partial_text() { echo "$(str en MsgBox_Import_PartialIntro)$(printf '\\r\\n%s' "$@")"; }  # LINE...
pfx_failed() { echo "$(str en MsgBox_Import_PfxFailed)$1$(str en MsgBox_Import_PfxFailed_CheckPassword)"; }  # CODE

# A file named chain: start-up reports it, logs it and ends the program.
printf 'my notes\r\n' >"$QB_APP_DIR/chain"
launch en_US.UTF-8
if pid=$(drv wait-window) && drv wait-box >/dev/null; then
    IFS=$'\t' read -r procedure description number <<<"$(log_records log-error.txt)"
    expect_eq "error record" "$procedure $number" "Form_Load 183"
    expect_box "$(str en MsgBox_InitError_Title)" "$(str en MsgBox_InitError)$description" 1 16
    expect_ok "close the box" drv answer-box 1
    drv wait-gone >/dev/null || fail "the window stayed after the start-up error"
    drv wait-exit "${pid%% *}" >/dev/null || fail "the program did not end after the start-up error"
else
    fail "no start-up error box"
fi
expect_eq "the file named chain" "$(cat "$QB_APP_DIR/chain")" $'my notes\r'
reset_program_folder

# A chain file that is no certificate, and a wrong password: the rest goes through; the box
# names both failures, the PFX's with certutil's exit code, which the log keeps without the
# password. The backup names of the next minutes are taken: the backup goes beside them.
put_files fullchain.pfx "not the password" inter1.crt garbage.crt root.crt
mkdir -p "$QB_APP_DIR/backup"
now=$(date +%s)
for ((t = now - 5; t < now + 300; t++)); do
    stamp=$(date -d "@$t" +%Y%m%d%H%M%S)
    printf 'decoy %s\r\n' "$stamp" >"$QB_APP_DIR/backup/SecurityProviders-$stamp.reg"
done
decoys=$(cd "$QB_APP_DIR/backup" && md5sum -- *)
# The Chinese code page keeps the log's Chinese procedure name; the texts compared are English.
start_app zh_CN.UTF-8 || return
choose mnuLanguageEnglish
import_and_expect "$partial_title" "$(partial_text "$(pfx_failed -2147024810)" "1$(str en MsgBox_Import_ChainsFailed)")" 48
expect_text lblStatus "$(str en lblStatus_ImportPartial)"
expect_state enabled 1 cmdImport cmdDeploy
expect_eq "stores" "$(store_entries)" "$(printf '%s\n' "CA $QB_THUMB_INTER1 no" "CA $QB_THUMB_ROOT no" | sort)"
expect_eq "IIS restarts" "$(sbx restarts)" 1
pfx_record=$'导入PFX证书失败\tC:\\windows\\system32\\certutil.exe -f -p "********" -importpfx "C:\\Quillbay\\fullchain.pfx"\t'
# Each failure is a record with its code: the chain certutil refused, then the PFX.
expect_eq "error records" "$(log_records log-error.txt CP936)" \
    "$(printf 'ImportCertificates\tThe chain certificate was not imported: garbage.crt\t-2146885623\n')
${pfx_record}-2147024810"
grep -qF "not the password" "$QB_APP_DIR/log-error.txt" && fail "the password is in log-error.txt"
changed=$(cd "$QB_APP_DIR/backup" && diff <(echo "$decoys") <(md5sum -- *) | sed -n 's/^[<>] [0-9a-f]* *//p')
[[ $changed =~ ^SecurityProviders-[0-9]{14}-2-undo\.reg$'\n'SecurityProviders-[0-9]{14}-2\.reg$ ]] || fail "backups added, changed or removed: [$changed]"

# Without the garbage, password.txt empty, then missing: the PFX is not tried; the box says why.
garbage_index=$(drv list lstCertificates | grep -n 'garbage\.crt$' | cut -d: -f1)
expect_ok "deselect garbage.crt" drv list-click lstCertificates $((garbage_index - 1))
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt garbage.crt root.crt
for case in empty missing; do
    expect_ok "seed the default host" sbx seed
    if [[ $case == empty ]]; then : >"$QB_APP_DIR/password.txt"; else rm -f "$QB_APP_DIR/password.txt"; fi
    import_and_expect "$partial_title" "$(partial_text "$(str en MsgBox_Import_PfxMissing)")" 48
    expect_eq "certutil calls with $case password.txt" "$(certutil_calls | cut -d' ' -f1 | sort | uniq -c | xargs)" "2 -addstore"
    expect_eq "IIS restarts with $case password.txt" "$(sbx restarts)" 1
done
expect_eq "password.txt after the import" "$(ls "$QB_APP_DIR/password.txt" 2>/dev/null)" ""

put_files not-a-pfx.pfx "$QB_PFX_PASSWORD" inter1.crt garbage.crt root.crt
clear_logs
import_and_expect "$partial_title" "$(partial_text "$(pfx_failed -2146885630)")" 48
expect_eq "error records" "$(log_records log-error.txt CP936)" "${pfx_record}-2146885630"
grep -qF "$QB_PFX_PASSWORD" "$QB_APP_DIR/log-error.txt" && fail "the password is in log-error.txt"
cmp -s "$QB_APP_DIR/fullchain.pfx" "$QB_PKI/not-a-pfx.pfx" || fail "fullchain.pfx was changed"

# iisreset fails (the web service may be left stopped): the box and the log say so, with its code.
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt root.crt
expect_ok "seed a host whose restart fails" sbx seed --iisreset-fault 5
clear_logs
restart_failed="$(str en MsgBox_Import_IisResetFailed)5$(str en MsgBox_Import_CodeEnd)"
import_and_expect "$partial_title" "$(partial_text "$restart_failed")" 48
expect_text lblStatus "$restart_failed"
expect_eq "error records" "$(log_records log-error.txt CP936 | cut -f1,3)" "ApplySecurityConfiguration	5"
expect_eq "IIS restarts" "$(sbx restarts)" 0
stop_app
