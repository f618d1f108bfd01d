# File > Exit closes the window and ends the program. The close box pressed while a command
# is still running (here: its message box is open) closes the window only once that command
# has finished, never leaving a half-closed window.
start_app en_US.UTF-8 || return
expect_ok "choose Exit" drv menu $ID_MNU_FILE_EXIT
drv wait-gone 10000 >/dev/null || fail "File > Exit left the window open"

start_app en_US.UTF-8 || return
expect_ok "choose About" drv menu $ID_MNU_HELP_ABOUT
drv wait-box >/dev/null || fail "no About box"
expect_ok "press the close box" drv close
drv wait-gone 1000 >/dev/null 2>&1 && fail "the window closed while the About box was open"
expect_enabled $ID_MAIN 0
expect_ok "close the About box" drv answer-box $IDOK
drv wait-gone 10000 >/dev/null || fail "the window stayed open after the command finished"
