# The Language menu (the current language again last) re-captions the window, moves the mark and
# changes nothing else. About speaks the language, with the build's version.
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
choose mnuLanguageTraditionalChinese
expect_ok "choose About" drv menu mnuHelpAbout
expect_box "關於本工具" "Quillbay\r\n\r\n版本: $version\r\n一個簡化IIS伺服器上SSL憑證配置部署的工具。" 1 64
close_box
