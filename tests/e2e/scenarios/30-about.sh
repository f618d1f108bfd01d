# Help > About: name, version and description in one information box, in the current
# language; the version is the same in every language.
start_app en_US.UTF-8 || return
expect_ok "choose About" drv menu $ID_MNU_HELP_ABOUT
expect_box "$(tx en About_Title)" "$(tx en About)" "$IDOK"
expect_ok "close the About box" drv answer-box $IDOK
drv no-box 300 >/dev/null || fail "another box followed the About box"

expect_ok "switch to Simplified Chinese" drv menu $ID_MNU_LANGUAGE_SIMPLIFIED
expect_ok "choose About" drv menu $ID_MNU_HELP_ABOUT
expect_box "$(tx zh-hans About_Title)" "$(tx zh-hans About)" "$IDOK"
expect_ok "close the About box" drv answer-box $IDOK
stop_app

start_app zh_TW.UTF-8 || return
expect_ok "choose About" drv menu $ID_MNU_HELP_ABOUT
expect_box "$(tx zh-hant About_Title)" "$(tx zh-hant About)" "$IDOK"
expect_ok "close the About box" drv answer-box $IDOK
