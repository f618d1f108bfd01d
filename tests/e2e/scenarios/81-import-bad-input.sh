# Import with bad input: a file where the chain folder belongs ends the program with a box;
# a chain file certutil refuses and a wrong password are both named, with the tools' codes, and
# the rest goes through.
make_test_pki || return

# A file named chain: start-up reports it, logs it and ends the program.
printf 'my notes\r\n' >"$QB_APP_DIR/chain"
launch en_US.UTF-8
if pid=$(drv wait-window) && drv wait-box >/dev/null; then
    exists="File already exists."  # Wine's text of error 183
    expect_eq "error record" "$(log_records log-error.txt)" "Form_Load	$exists	183"
    expect_box "Initialization Error" "An error occurred during form initialization: $exists" 1 16
    expect_ok "close the box" drv answer-box 1
    drv wait-gone >/dev/null || fail "the window stayed after the start-up error"
    drv wait-exit "${pid%% *}" >/dev/null || fail "the program did not end after the start-up error"
else
    fail "no start-up error box"
fi
expect_eq "the file named chain" "$(cat "$QB_APP_DIR/chain")" $'my notes\r'
reset_program_folder

# A chain file that is no certificate, and a wrong password: the box names both failures, the
# PFX's with certutil's exit code, which the log keeps without the password.
put_files fullchain.pfx "not the password" inter1.crt garbage.crt root.crt
# The Chinese code page keeps the log's Chinese procedure name; the texts compared are English.
start_app zh_CN.UTF-8 || return
choose mnuLanguageEnglish
import_and_expect "Import Partially Complete" "The import finished, but not everything succeeded:\r\ncertutil could not \
import fullchain.pfx (exit code -2147024810): check the password in password.txt.\r\n1 of the selected chain certificates \
could not be imported." 48
expect_eq "stores" "$(store_entries)" "$(printf '%s\n' "CA $QB_THUMB_INTER1 no" "CA $QB_THUMB_ROOT no" | sort)"
expect_eq "IIS restarts" "$(sbx restarts)" 1
expect_eq "error records" "$(log_records log-error.txt CP936)" "$(printf '%s\t%s\t%s\n' \
    ImportCertificates 'The chain certificate was not imported: garbage.crt' -2146885623 \
    导入PFX证书失败 'C:\windows\system32\certutil.exe -f -p "********" -importpfx "C:\Quillbay\fullchain.pfx" NoRoot' -2147024810)"
grep -qF "not the password" "$QB_APP_DIR/log-error.txt" && fail "the password is in log-error.txt"
