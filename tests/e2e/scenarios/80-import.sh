# Import: three chain certificates and fullchain.pfx go into the sandbox's stores, the 56 TLS
# values into the prefix's registry after a backup of what was there, IIS restarts once, and
# the box says so. Then: nothing selected; a wrong password (named in the box, logged without
# the password); a password full of characters a command interpreter would act on.
source "$(dirname "${BASH_SOURCE[0]}")/../lib_certs.sh"
if ! have_sandbox; then
    note "no sandbox host: import not checked"
    return
fi
make_test_pki || return
reset_program_folder
expect_ok "seed the default host" sbx seed

chains=(inter1.crt inter2.crt root.crt)
put_chain "${chains[@]}"
put_pfx fullchain.pfx
put_password "$QB_PFX_PASSWORD"

# The administrator's own settings: one of the 56 set otherwise, and one the hardening does
# not know. The backup must hold both; the second must survive.
admin_reg() {
    wine reg add "$QB_SECURITY_KEY\\SCHANNEL\\Protocols\\$1" /v Enabled /t REG_DWORD /d "$2" /f \
        </dev/null >/dev/null 2>&1 || fail "reg add $1"
}
admin_reg 'TLS 1.2\Server' 0
admin_reg 'TLS 1.3\Server' 1
values_before=$(security_values)
grep -q $'^\\\\schannel\\\\protocols\\\\tls 1.3\\\\server\tEnabled\tREG_DWORD\t0x1$' <<<"$values_before" ||
    fail "the administrator's value was not set: $values_before"
wine reg export "$QB_SECURITY_KEY" 'C:\qb-pki\before.reg' /y </dev/null >/dev/null 2>&1 || fail "reg export"

start_app en_US.UTF-8 || return
expect_chain_list "${chains[@]}"

# Everything succeeds.
started=$(date +%Y%m%d%H%M%S)
import_and_expect "Import Complete" "$(success_box_text 3)" 64
ended=$(date +%Y%m%d%H%M%S)
expect_text $ID_LBL_STATUS "$QB_DEPLOY_READY_STATUS"
expect_enabled $ID_CMD_IMPORT 1
expect_enabled $ID_CMD_DEPLOY 1

expect_eq "certutil calls" "$(certutil_calls | sort)" "$(sort <<EOF
-addstore -f "CA" "C:\\Quillbay\\chain\\inter1.crt"
-addstore -f "CA" "C:\\Quillbay\\chain\\inter2.crt"
-addstore -f "CA" "C:\\Quillbay\\chain\\root.crt"
-f -p ******** -importpfx "C:\\Quillbay\\fullchain.pfx"
EOF
)"
# The chains in the intermediate store; the server certificate with its key in the machine's
# personal store. (Wine drops the PFX's self-signed root, so Root stays empty here.)
expect_eq "CA and My stores" "$(store_entries | grep -E '^(CA|My) ')" "$(sort <<EOF
CA $QB_THUMB_INTER1 no
CA $QB_THUMB_INTER2 no
CA $QB_THUMB_ROOT no
My $QB_THUMB_LEAF yes
EOF
)"
expect_eq "IIS restarts" "$(sbx restarts)" 1
expect_hardened "$values_before"

# The backup: one file, named after the moment of the import, holding the values as they
# were before it.
backups=$(ls "$QB_APP_DIR/backup" 2>/dev/null)
if [[ $backups =~ ^SecurityProviders-([0-9]{14})\.reg$ ]]; then
    stamp=${BASH_REMATCH[1]}
    [[ $stamp < $started || $stamp > $ended ]] && fail "backup time stamp $stamp outside $started..$ended"
    cmp -s "$QB_APP_DIR/backup/$backups" "$QB_PKI/before.reg" || fail "the backup differs from the values before the import"
else
    fail "backup folder: expected one SecurityProviders-<14 digits>.reg, got [$backups]"
fi

# The password appears nowhere; the files the user gave are untouched.
for log in "$QB_APP_DIR/log.txt" "$QB_APP_DIR/log-error.txt"; do
    [[ -f $log ]] && grep -qF "$QB_PFX_PASSWORD" "$log" && fail "the password is in $(basename "$log")"
done
sbx log | grep -qF "$QB_PFX_PASSWORD" && fail "the password is in the sandbox's log"
expect_eq "error records" "$(error_records)" ""
cmp -s "$QB_APP_DIR/fullchain.pfx" "$QB_PKI/fullchain.pfx" || fail "fullchain.pfx was changed"
expect_eq "password.txt" "$(cat "$QB_APP_DIR/password.txt")" "$QB_PFX_PASSWORD"$'\r'

# Nothing selected: only the box; no tool, no registry write, no backup, no restart.
log_before=$(sbx log)
values_before=$(security_values)
for i in 0 1 2; do expect_ok "deselect chain $i" drv list-click $ID_LST_CERTIFICATES $i; done
expect_eq "chain selection" "$(selection $ID_LST_CERTIFICATES)" "---"
expect_ok "press Import" drv click $ID_CMD_IMPORT
expect_box_closed "Quillbay" "Please select at least one certificate chain to import." 48
expect_text $ID_LBL_STATUS "Importing certificates, please wait..."
expect_enabled $ID_CMD_IMPORT 1
expect_enabled $ID_CMD_DEPLOY 1
expect_eq "sandbox log after Import with nothing selected" "$(sbx log)" "$log_before"
expect_eq "registry after Import with nothing selected" "$(security_values)" "$values_before"
expect_eq "backups after Import with nothing selected" "$(ls "$QB_APP_DIR/backup")" "$backups"
stop_app

# A wrong password: the chains and the hardening go through, the PFX does not, and the box
# names certutil's exit code. The Chinese code page keeps the log's procedure name readable.
expect_ok "seed the default host" sbx seed
put_password "not the password"
rm -f "$QB_APP_DIR/log-error.txt"
start_app_cp936 || return
import_and_expect "Import Partially Complete" "$(partial_box_text "$(pfx_failed_line -2147024810)")" 48
expect_text $ID_LBL_STATUS "The import finished, but not everything succeeded:"
expect_enabled $ID_CMD_IMPORT 1
expect_enabled $ID_CMD_DEPLOY 1
expect_eq "error records" "$(error_records CP936)" \
    $'导入PFX证书失败\tcertutil.exe -f -p "********" -importpfx "C:\\Quillbay\\fullchain.pfx"\t-2147024810'
grep -qF "not the password" "$QB_APP_DIR/log-error.txt" && fail "the password is in log-error.txt"
expect_eq "CA and My stores" "$(store_entries | grep -E '^(CA|My) ')" "$(sort <<EOF
CA $QB_THUMB_INTER1 no
CA $QB_THUMB_INTER2 no
CA $QB_THUMB_ROOT no
EOF
)"
expect_eq "IIS restarts" "$(sbx restarts)" 1
stop_app

# Quotes, backslashes, %, &, |, ^ and blanks in the password reach certutil unchanged: the
# PFX made with exactly that password opens.
expect_ok "seed the default host" sbx seed
put_pfx awkward.pfx
put_password "$QB_AWKWARD_PASSWORD"
rm -f "$QB_APP_DIR/log-error.txt"
start_app en_US.UTF-8 || return
import_and_expect "Import Complete" "$(success_box_text 3)" 64
expect_eq "My store" "$(store_entries | grep '^My ')" "My $QB_THUMB_LEAF yes"
expect_eq "error records" "$(error_records)" ""
sbx log | grep -qF "$QB_AWKWARD_PASSWORD" && fail "the password is in the sandbox's log"
stop_app
reset_program_folder
