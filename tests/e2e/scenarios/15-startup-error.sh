# A file where the chain folder belongs: start-up reports it in a box, logs it and ends the
# program, leaving the file as it was. A partial import (a chain file certutil refuses, a wrong
# password) is judged and shown by the unit tests, with the exit codes the sandbox's tools give.
printf 'my notes\r\n' >"$QB_APP_DIR/chain"
launch en_US.UTF-8
if drv wait-window >/dev/null && drv wait-box >/dev/null; then
    exists="File already exists."  # Wine's text of error 183
    expect_eq "error record" "$(log_records log-error.txt)" "Form_Load	$exists	183"
    expect_box "Initialization Error" "An error occurred during form initialization: $exists" 1 16
    expect_ok "close the box" drv answer-box 1
    drv wait-gone >/dev/null || fail "the program did not end after the start-up error"
else
    fail "no start-up error box"
fi
expect_eq "the file named chain" "$(cat "$QB_APP_DIR/chain")" $'my notes\r'
