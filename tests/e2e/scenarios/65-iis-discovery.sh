# IIS discovery at start-up against the sandbox host: the IIS version from the registry or,
# without it, from InetMgr.exe's version record, and log.txt telling which; every site with its
# host names; the deployment controls with and without IIS; the redirect box without URL Rewrite.
appcmd='C:\windows\system32\inetsrv\appcmd.exe'
inetsrv='C:\windows\System32\inetsrv'
detected=$(str en lblStatus_IISDetected)

# start_with SEED-OPTION...: a freshly seeded host, empty logs, the program started in English.
start_with() {
    expect_ok "seed $*" sbx seed "$@"
    clear_logs
    start_app en_US.UTF-8
}
# expect_redirect_box 1|0: usable and checked, or locked, unchecked and saying why.
expect_redirect_box() {
    expect_state enabled "$1" chkHttpRedirect
    expect_state checked "$1" chkHttpRedirect
    expect_text chkHttpRedirect "$(str en "chkHttpRedirect_Caption$( (($1)) || echo _no_module)")"
}

# IIS 10 with three sites: host names in the order of their bindings, each once in the letter
# case first seen; a site without host names by its name alone; a protocol without host field
# and an IPv6 address (more than three fields) carry no host name.
start_with --iis-major 10 \
    --site Shop "http/*:80:Shop.Example.com,https/*:443:shop.example.com,http/*:80:www.shop.example.com" \
    --site Intranet "http/*:80:,https/*:443:" \
    --site Legacy "net.tcp/808:*,http/[::1]:80:v6.example.com,http/*:8080:legacy.example.com" || return
expect_eq "site list" "$(drv list lstSites)" "[x] Shop (Shop.Example.com, www.shop.example.com)
[ ] Intranet
[ ] Legacy (legacy.example.com)"
expect_text lblSiteList "$(str en lblSiteList_Caption lblSiteList_Caption_Multi)"
expect_text lblStatus "$detected"
expect_state enabled 1 "${QB_DEPLOYMENT[@]}"
expect_redirect_box 1
expect_eq "log.txt" "$(log_records log.txt)" "IsIIS8OrGreater	IIS MajorVersion found in Registry: 10"
expect_eq "log-error.txt" "$(log_records log-error.txt)" ""
# The tool got exactly the lines the program builds: the unquoted path, each name in quotes,
# and the module check.
expect_eq "appcmd calls" "$(appcmd_calls)" "$appcmd list site /text:name
$appcmd list site \"Shop\" /text:bindings
$appcmd list site \"Intranet\" /text:bindings
$appcmd list site \"Legacy\" /text:bindings
$appcmd list module \"RewriteModule\""
stop_app

# The version by the registry, else by InetMgr.exe's major version, else below 8 with the
# reason logged; the sites are listed all the same. Each case: heading, redirect box, log.txt,
# seed options (URL Rewrite absent once: its box is locked whatever the version).
for case in "One|1|IIS MajorVersion found in Registry: 7|--iis-major 7" \
    "Multi|0|InetMgr.exe product version found: 10.0.17763.1|--no-iis-registry --inetmgr-version 10.0.17763.1 --no-rewrite" \
    "One|1|InetMgr.exe product version found: 7.5.7600.16385|--no-iis-registry --inetmgr-version 7.5.7600.16385" \
    "One|1|InetMgr.exe not found or accessible at $inetsrv. Assuming IIS version is less than 8.|--no-iis-registry --no-inetmgr"; do
    IFS='|' read -r heading redirect log options <<<"$case"
    # shellcheck disable=SC2086 # the options are words
    start_with $options --site Shop "http/*:80:shop.example.com" || return
    expect_eq "site list ($options)" "$(drv list lstSites)" "[x] Shop (shop.example.com)"
    expect_text lblSiteList "$(str en lblSiteList_Caption "lblSiteList_Caption_$heading")"
    expect_text lblStatus "$detected"
    expect_state enabled 1 "${QB_DEPLOYMENT[@]}"
    expect_redirect_box "$redirect"
    expect_eq "log.txt ($options)" "$(log_records log.txt)" "IsIIS8OrGreater	$log"
    expect_eq "log-error.txt ($options)" "$(log_records log-error.txt)" ""
    stop_app
done

# No IIS at all: one informational line, everything for deployment locked, no tool started.
# A language change brings back the normal heading, status and check box caption, and
# unlocks nothing.
start_with --no-iis || return
expect_text lblSiteList "$(str en lblSiteList_NoIIS)"
expect_text lblStatus "$(str en lblStatus_NoIIS)"
expect_redirect_box 0
for case in - mnuLanguageSimplifiedChinese:zh-hans mnuLanguageEnglish:en; do
    if [[ $case != - ]]; then
        l=${case#*:}
        expect_ok "choose ${case%:*}" drv menu "${case%:*}"
        drv wait-idle >/dev/null
        expect_text lblSiteList "$(str "$l" lblSiteList_Caption lblSiteList_Caption_One)"
        expect_text lblStatus "$(str "$l" lblStatus_Ready)"
        expect_text chkHttpRedirect "$(str "$l" chkHttpRedirect_Caption)"
    fi
    expect_eq "site list" "$(drv list lstSites)" "[ ] $(str en MsgBox_NoIISFound)"
    expect_state enabled 0 "${QB_DEPLOYMENT[@]}" chkHttpRedirect
    expect_state checked 0 chkHttpRedirect
    drv menu mnuToolsSetPort >/dev/null 2>&1
    expect_eq "choosing the locked Set Port item" "$?" 2
done
expect_eq "log.txt" "$(log_records log.txt)" \
    "IsIIS8OrGreater	Could not get Shell Namespace for $inetsrv. Assuming IIS version is less than 8 or path invalid."
expect_eq "log-error.txt" "$(log_records log-error.txt)" ""
expect_eq "appcmd calls" "$(appcmd_calls)" ""
stop_app
expect_ok "seed the default host again" sbx seed
