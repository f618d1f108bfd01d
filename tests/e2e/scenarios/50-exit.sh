# File > Exit ends the program. The close box pressed while a handler runs (its box open)
# closes the window once the handler has finished.
start_app en_US.UTF-8 || return
expect_ok "choose Exit" drv menu mnuFileExit
drv wait-gone >/dev/null || fail "the program did not end after File > Exit"

start_app en_US.UTF-8 || return
expect_ok "choose About" drv menu mnuHelpAbout
drv wait-box >/dev/null || fail "no About box"
expect_ok "press the close box" drv close
drv wait-seen >/dev/null || fail "the window did not take the close message"
drv wait-window 0 >/dev/null || fail "the window closed while the About box was open"
expect_state enabled 0 Main
expect_ok "close the About box" drv answer-box 1
drv wait-gone >/dev/null || fail "the window stayed open after the command finished"
