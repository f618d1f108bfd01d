# Switching the language through the menu re-captions the window and moves the check mark,
# and leaves the lists, the port, the check box and every enabled state as they were.
start_app en_US.UTF-8 || return

snapshot() {
    echo "certs: $(drv list $ID_LST_CERTIFICATES | tr '\n' '|')"
    echo "sites: $(drv list $ID_LST_SITES | tr '\n' '|')"
    echo "port: $(drv text $ID_TXT_HTTPS_PORT) redirect: $(drv checked $ID_CHK_HTTP_REDIRECT)"
    local id
    for id in $ID_LST_CERTIFICATES $ID_CMD_IMPORT $ID_LST_SITES $ID_CMD_DEPLOY $ID_CHK_HTTP_REDIRECT \
        $ID_TXT_HTTPS_PORT $ID_LBL_HTTPS_PORT $ID_MNU_TOOLS_SET_PORT; do
        echo -n "$id=$(drv enabled $id) "
    done
}
before=$(snapshot)

switch_to() {
    local id=$1 l=$2
    expect_ok "choose language menu item $id" drv menu "$id"
    drv wait-idle >/dev/null
    expect_captions "$l"
    # Back to the normal texts, whatever start-up or a command wrote.
    expect_text $ID_LBL_STATUS "$(tx "$l" lblStatus_Ready)"
    expect_site_heading "$l"
    expect_text $ID_CHK_HTTP_REDIRECT "$(tx "$l" chkHttpRedirect)"
    expect_eq "state after switching to $l" "$(snapshot)" "$before"
}

switch_to $ID_MNU_LANGUAGE_SIMPLIFIED zh-hans
switch_to $ID_MNU_LANGUAGE_TRADITIONAL zh-hant
switch_to $ID_MNU_LANGUAGE_ENGLISH en
# The current language again: the same captions and mark.
switch_to $ID_MNU_LANGUAGE_ENGLISH en
