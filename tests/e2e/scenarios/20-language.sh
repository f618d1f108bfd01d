# The Language menu (the current language again last) re-captions the window, moves the mark,
# changes nothing else; About then speaks that language, with the build's version.
version=$(sed -nE 's/^project\(Quillbay VERSION ([0-9]+)\.([0-9]+)\.[0-9]+\.([0-9]+).*/\1.\2.\3/p' "$QB_SOURCE_DIR/CMakeLists.txt")
add_chain_files intermediate-ca.crt
start_app en_US.UTF-8 || return
snapshot() {
    local name
    drv list lstCertificates && drv list lstSites && drv text TxtHttpsPort && drv checked chkHttpRedirect
    for name in lstCertificates cmdImport chkHttpRedirect "${QB_DEPLOYMENT[@]}"; do echo "$name $(drv enabled "$name")"; done
}
before=$(snapshot)
for case in SimplifiedChinese:zh-hans TraditionalChinese:zh-hant English:en English:en; do
    l=${case#*:}
    choose "mnuLanguage${case%:*}"
    expect_captions "$l"
    expect_text lblStatus "$(str "$l" lblStatus_Ready)"
    expect_text lblSiteList "$(str "$l" lblSiteList_Caption lblSiteList_Caption_Multi)"
    expect_text chkHttpRedirect "$(str "$l" chkHttpRedirect_Caption)"
    expect_eq "state after choosing $l" "$(snapshot)" "$before"
    expect_ok "choose About" drv menu mnuHelpAbout
    expect_box "$(str "$l" MsgBox_About_Title)" \
        "$(str "$l" Main_Caption)\r\n\r\n$(str "$l" MsgBox_About_Version)$version\r\n$(str "$l" MsgBox_About_Description)" 1 64
    close_box
    expect_ok "no box after About" drv no-box
done
