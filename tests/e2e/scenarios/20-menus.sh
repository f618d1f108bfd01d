# The window's own commands. The Language menu (the current language again last) re-captions
# the window, moves the mark and changes nothing else. Set Port offers the current port, takes
# a valid answer and confirms it, refuses an invalid one, and Cancel ("-") does nothing; which
# answers are valid is the unit tests'. About speaks the language, with the build's version. The
# close box pressed while a handler runs (About's box open) closes the window once the handler
# has finished; File > Exit ends the program. The TLS profile chosen is kept for the next run.
version=$(sed -nE 's/^project\(Quillbay VERSION ([0-9]+)\.([0-9]+)\.[0-9]+\.([0-9]+).*/\1.\2.\3/p' "$QB_SOURCE_DIR/CMakeLists.txt")
add_chain_files intermediate-ca.crt
start_app en_US.UTF-8 || return
snapshot() {
    local name
    drv list lstCertificates && drv list lstSites && drv text TxtHttpsPort && drv checked chkHttpRedirect
    for name in lstCertificates cmdImport chkHttpRedirect "${QB_DEPLOYMENT[@]}"; do echo "$name $(drv enabled "$name")"; done
}
before=$(snapshot)
for case in "SimplifiedChinese|zh-hans|IIS 站点列表 (可多选):" "TraditionalChinese|zh-hant|IIS 站點列表 (可多選):" \
    "English|en|IIS Site List (Multi-select enabled):" "English|en|IIS Site List (Multi-select enabled):"; do
    IFS='|' read -r item l heading <<<"$case"
    choose "mnuLanguage$item"
    expect_captions "$l"
    expect_text lblStatus "$(str "$l" lblStatus_Ready)"
    expect_text lblSiteList "$heading"
    expect_text chkHttpRedirect "$(str "$l" chkHttpRedirect_Caption)"
    expect_eq "state after choosing $l" "$(snapshot)" "$before"
done

port=443
for case in 8443:8443 -:8443 65536:8443 65535:65535; do  # the answer and the port after it
    answer=${case%:*}
    expect_ok "choose Set Port" drv menu mnuToolsSetPort
    expect_eq "input box" "$(drv wait-box)" \
        "title=Set Port"$'\n'"text=Enter new HTTPS deployment port (1-65535):"$'\n'"buttons=1 2"$'\n'"value=$port"
    port=${case#*:}
    if [[ $answer == - ]]; then
        close_box 2
        expect_ok "no box after Cancel" drv no-box
    else
        expect_ok "answer $answer" drv input-box "$answer"
        if [[ $answer == "$port" ]]; then
            expect_box "Setting Success" "Deployment port updated to: $port" 1 64
        else
            expect_box "Input Error" "Invalid port number! Please enter a number between 1 and 65535." 1 16
        fi
        close_box
    fi
    expect_text TxtHttpsPort "$port"
done

# The TLS profile Import sets, chosen here and found checked by the next run (the marks a choice
# sets at once are the unit tests').
tls_marks() { expect_state checked "$1" mnuChainTlsCompatible && expect_state checked "$2" mnuChainTlsModern &&
    expect_state checked "$3" mnuChainTlsUnchanged; }
choose mnuChainTlsModern

choose mnuLanguageTraditionalChinese
expect_ok "choose About" drv menu mnuHelpAbout
expect_box "關於本工具" "Quillbay\r\n\r\n版本: $version\r\n一個簡化IIS伺服器上SSL憑證配置部署的工具。" 1 64
expect_ok "press the close box" drv close
drv wait-seen >/dev/null || fail "the window did not take the close message"
drv wait-window 0 >/dev/null || fail "the window closed while the About box was open"
expect_state enabled 0 Main
expect_ok "close the About box" drv answer-box 1
drv wait-gone >/dev/null || fail "the window stayed open after the command finished"

# The next run starts with the profile chosen before; Compatible again for the scenarios after.
start_app en_US.UTF-8 || return
tls_marks 0 1 0
choose mnuChainTlsCompatible
expect_ok "choose Exit" drv menu mnuFileExit
drv wait-gone >/dev/null || fail "the program did not end after File > Exit"
