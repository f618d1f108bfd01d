# Start-up in each locale (zh_HK is neither Chinese: English): every caption from that
# language's table, the default host's site list.
for case in en_US:en zh_CN:zh-hans zh_TW:zh-hant zh_HK:en; do
    locale=${case%:*}.UTF-8 l=${case#*:}
    start_app "$locale" || continue
    expect_captions "$l"
    expect_text lblStatus "$(str "$l" lblStatus_IISDetected)"
    expect_eq "site list ($locale)" "$(drv list lstSites)" "[x] Default Web Site"
    stop_app
done

# The window shows its language's captions from the moment it appears, and a command chosen
# during start-up is ignored. On a host slow enough to watch start-up at work: 60 sites whose
# configuration file is gone, so that appcmd is asked for each.
for i in $(seq 60); do printf 'Site %s\thttp/*:80:s%s.example\n' "$i" "$i"; done | seed_sites
rm "$WINEPREFIX/drive_c/windows/system32/inetsrv/config/applicationHost.config" || fail "no configuration file to remove"
launch zh_CN.UTF-8
drv wait-window 30000 >/dev/null || fail "the window did not appear"
expect_captions zh-hans
expect_ok "choose About during start-up" drv menu mnuHelpAbout
expect_eq "start-up still running when the window took About" "$(drv wait-seen)" 1
drv no-box >/dev/null || { fail "a command chosen during start-up was carried out"; drv answer-box 1 >/dev/null; }
drv wait-idle 60000 >/dev/null || fail "start-up did not finish"
expect_ok "no box after start-up" drv no-box
