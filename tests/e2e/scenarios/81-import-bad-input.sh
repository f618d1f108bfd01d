# Import with bad input: each case ends in a clear message or the defined state, never a
# crash, and nothing the user had is overwritten. A file where the chain folder belongs; a
# chain file that is no certificate; an empty and a missing password.txt; a PFX that is no
# PFX; a program folder nobody may write to.
source "$(dirname "${BASH_SOURCE[0]}")/../lib_certs.sh"
if ! have_sandbox; then
    note "no sandbox host: import not checked"
    return
fi
make_test_pki || return
reset_program_folder
expect_ok "seed the default host" sbx seed

# A file named chain: start-up reports it, logs it under Form_Load and ends the program;
# the file stays as it was.
printf 'my notes\r\n' >"$QB_APP_DIR/chain"
(cd "$QB_APP_DIR" && LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8 setsid wine Quillbay.exe </dev/null >/dev/null 2>&1 &)
if drv wait-window 30000 >/dev/null && box=$(drv wait-box 30000); then
    record=$(error_records)
    IFS=$'\t' read -r procedure description number <<<"$record"
    expect_eq "error record" "$procedure $number" "Form_Load 183"
    expect_eq "start-up error box" "$(sed -n 's/^title=//p' <<<"$box")|$(sed -n 's/^text=//p' <<<"$box")" \
        "Initialization Error|An error occurred during form initialization: $description"
    expect_box_style "Initialization Error" 16
    expect_ok "close the box" drv answer-box $IDOK
    drv wait-gone 10000 >/dev/null || fail "the window stayed after the start-up error"
    for _ in $(seq 50); do program_running || break; sleep 0.2; done
    program_running && fail "the program did not end after the start-up error"
else
    fail "no start-up error box"
fi
expect_eq "the file named chain" "$(cat "$QB_APP_DIR/chain")" $'my notes\r'
reset_program_folder

# A chain file that is no certificate among good ones. The backup names of the next minutes
# are taken already: the backup must go beside them, not over them.
put_chain inter1.crt garbage.crt root.crt
put_pfx fullchain.pfx
put_password "$QB_PFX_PASSWORD"
mkdir -p "$QB_APP_DIR/backup"
now=$(date +%s)
for ((t = now - 5; t < now + 300; t++)); do
    stamp=$(date -d "@$t" +%Y%m%d%H%M%S)
    printf 'decoy %s\r\n' "$stamp" >"$QB_APP_DIR/backup/SecurityProviders-$stamp.reg"
done
decoys=$(cd "$QB_APP_DIR/backup" && ls | LC_ALL=C sort)
start_app_cp936 || return
import_and_expect "Import Partially Complete" \
    "$(partial_box_text "1 of the selected chain certificates could not be imported.")" 48
expect_text $ID_LBL_STATUS "The import finished, but not everything succeeded:"
expect_enabled $ID_CMD_IMPORT 1
expect_enabled $ID_CMD_DEPLOY 1
expect_eq "certutil's exit code for garbage.crt" \
    "$(sbx log | awk -F'\t' '$2 == "certutil" && $4 ~ /garbage\.crt/ { print $3 }')" -2146885623
expect_eq "My store" "$(store_entries | grep '^My ')" "My $QB_THUMB_LEAF yes"
new_backups=$(LC_ALL=C comm -13 <(printf '%s\n' "$decoys") <(cd "$QB_APP_DIR/backup" && ls | LC_ALL=C sort))
[[ $new_backups =~ ^SecurityProviders-[0-9]{14}-2\.reg$ ]] || fail "new backup beside the taken names: [$new_backups]"
for file in $decoys; do
    stamp=${file#SecurityProviders-}
    [[ $(cat "$QB_APP_DIR/backup/$file") == "decoy ${stamp%.reg}"$'\r' ]] || { fail "backup $file was overwritten"; break; }
done

# From here on the garbage is left out, so that only the PFX decides.
garbage_index=$(drv list $ID_LST_CERTIFICATES | grep -n 'garbage\.crt$' | cut -d: -f1)
expect_ok "deselect garbage.crt" drv list-click $ID_LST_CERTIFICATES $((garbage_index - 1))

# password.txt empty, then missing: the PFX is not tried, and the box says why.
importpfx_calls() {
    certutil_calls | grep -c -- '-importpfx'
}
for case in empty missing; do
    expect_ok "seed the default host" sbx seed
    if [[ $case == empty ]]; then : >"$QB_APP_DIR/password.txt"; else rm -f "$QB_APP_DIR/password.txt"; fi
    import_and_expect "Import Partially Complete" "$(partial_box_text "$QB_PFX_MISSING_LINE")" 48
    expect_eq "-importpfx calls with $case password.txt" "$(importpfx_calls)" 0
    expect_eq "chain imports with $case password.txt" "$(certutil_calls | grep -c -- '-addstore')" 2
    expect_eq "IIS restarts with $case password.txt" "$(sbx restarts)" 1
done
expect_eq "password.txt after the import" "$(ls "$QB_APP_DIR/password.txt" 2>/dev/null)" ""

# A PFX that is no PFX: certutil's exit code in the box and in the log, the password not.
put_password "$QB_PFX_PASSWORD"
put_pfx not-a-pfx.pfx
rm -f "$QB_APP_DIR/log-error.txt"
import_and_expect "Import Partially Complete" "$(partial_box_text "$(pfx_failed_line -2146885630)")" 48
expect_eq "error records" "$(error_records CP936)" \
    $'导入PFX证书失败\tcertutil.exe -f -p "********" -importpfx "C:\\Quillbay\\fullchain.pfx"\t-2146885630'
grep -qF "$QB_PFX_PASSWORD" "$QB_APP_DIR/log-error.txt" && fail "the password is in log-error.txt"
cmp -s "$QB_APP_DIR/fullchain.pfx" "$QB_PKI/not-a-pfx.pfx" || fail "fullchain.pfx was changed"
stop_app
reset_program_folder

# A program folder nobody may write to (immutable, since root may write anywhere else): the
# log records and the backup are lost, and the program goes on.
put_chain inter1.crt
put_pfx fullchain.pfx
put_password "$QB_PFX_PASSWORD"
if chattr +i "$QB_APP_DIR" 2>/dev/null && ! touch "$QB_APP_DIR/probe" 2>/dev/null; then
    trap 'chattr -i "$QB_APP_DIR" 2>/dev/null' EXIT
    expect_ok "seed the default host" sbx seed
    start_app en_US.UTF-8 || return
    import_and_expect "Import Complete" "$(success_box_text 1)" 64
    expect_text $ID_LBL_STATUS "$QB_DEPLOY_READY_STATUS"
    expect_enabled $ID_CMD_IMPORT 1
    expect_eq "My store" "$(store_entries | grep '^My ')" "My $QB_THUMB_LEAF yes"
    expect_eq "IIS restarts" "$(sbx restarts)" 1
    expect_eq "files written beside the program" "$(cd "$QB_APP_DIR" && ls | sort | tr '\n' ' ')" \
        "Quillbay.exe chain fullchain.pfx password.txt "
    stop_app
    chattr -i "$QB_APP_DIR"
    trap - EXIT
else
    chattr -i "$QB_APP_DIR" 2>/dev/null
    rm -f "$QB_APP_DIR/probe"
    note "the program folder cannot be made read-only here: that case is not checked"
fi
reset_program_folder
