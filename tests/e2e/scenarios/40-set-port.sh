# Deployment > Set Deployment Port: the input box offers the current port; a valid answer
# goes into the port box and is confirmed, an invalid one is refused and changes nothing,
# Cancel changes nothing and shows nothing. Without IIS the command cannot be chosen.
start_app en_US.UTF-8 || return

if ! have_iis; then
    note "no IIS in this prefix: checking that deployment is locked"
    expect_enabled $ID_MNU_TOOLS_SET_PORT 0
    expect_enabled $ID_TXT_HTTPS_PORT 0
    expect_enabled $ID_LBL_HTTPS_PORT 0
    expect_enabled $ID_CMD_DEPLOY 0
    expect_enabled $ID_LST_SITES 0
    expect_enabled $ID_CHK_HTTP_REDIRECT 0
    drv menu $ID_MNU_TOOLS_SET_PORT >/dev/null 2>&1
    expect_eq "choosing the disabled Set Port item" "$?" 2
    drv no-box 500 >/dev/null || fail "a box appeared for a disabled menu item"
    expect_text $ID_TXT_HTTPS_PORT 443
    return
fi

set_port_box() {
    expect_ok "choose Set Port" drv menu $ID_MNU_TOOLS_SET_PORT
    expect_box "$(tx en SetPort_Title)" "$(tx en SetPort_Prompt)" "1 2"
}

# Valid: the box takes the answer and the confirmation repeats it.
set_port_box
expect_ok "answer 8443" drv input-box 8443
expect_box "$(tx en SetPort_Success_Title)" "$(tx en SetPort_Success)8443" "$IDOK"
expect_ok "close the confirmation" drv answer-box $IDOK
expect_text $ID_TXT_HTTPS_PORT 8443

# The next input box starts from the current port; Cancel keeps it and shows nothing.
set_port_box
expect_ok "cancel" drv input-cancel
drv no-box 500 >/dev/null || fail "a box followed Cancel"
expect_text $ID_TXT_HTTPS_PORT 8443

# Invalid answers: the error box, and the port stays.
for answer in 1.5 0 65536 -1 abc; do
    set_port_box
    expect_ok "answer $answer" drv input-box "$answer"
    expect_box "$(tx en SetPort_Invalid_Title)" "$(tx en SetPort_Invalid)" "$IDOK"
    expect_ok "close the error box" drv answer-box $IDOK
    expect_text $ID_TXT_HTTPS_PORT 8443
done

# The upper bound is a port.
set_port_box
expect_ok "answer 65535" drv input-box 65535
expect_box "$(tx en SetPort_Success_Title)" "$(tx en SetPort_Success)65535" "$IDOK"
expect_ok "close the confirmation" drv answer-box $IDOK
expect_text $ID_TXT_HTTPS_PORT 65535
