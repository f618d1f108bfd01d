# IIS discovery at start-up against the sandbox host: the IIS version from the registry or,
# without it, from InetMgr.exe's version record, and log.txt telling which; every site with its
# host names; the deployment controls with and without IIS; the redirect box without URL Rewrite.
if ! have_sandbox; then
    note "no sandbox host: IIS discovery not checked"
    return
fi

appcmd='C:\windows\system32\inetsrv\appcmd.exe'
inetsrv='C:\windows\System32\inetsrv'
detected=$(tx en lblStatus_IISDetected)

# expect_deployment STATE: the site list, Deploy, the port box and its label, and the Set Port
# menu item all enabled (1) or all disabled (0).
expect_deployment() {
    local id
    for id in $ID_LST_SITES $ID_CMD_DEPLOY $ID_TXT_HTTPS_PORT $ID_LBL_HTTPS_PORT $ID_MNU_TOOLS_SET_PORT; do
        expect_enabled "$id" "$1"
    done
}
expect_redirect_box_usable() {
    expect_enabled $ID_CHK_HTTP_REDIRECT 1
    expect_checked $ID_CHK_HTTP_REDIRECT 1
    expect_text $ID_CHK_HTTP_REDIRECT "$(tx en chkHttpRedirect)"
}
expect_redirect_box_locked() {
    expect_enabled $ID_CHK_HTTP_REDIRECT 0
    expect_checked $ID_CHK_HTTP_REDIRECT 0
    expect_text $ID_CHK_HTTP_REDIRECT "$(tx en chkHttpRedirect_no_module)"
}
# start_with SEED-OPTION...: a freshly seeded host, empty logs, the program started in English.
start_with() {
    expect_ok "seed $*" sbx seed "$@"
    clear_logs
    start_app en_US.UTF-8
}

# IIS 10 with three sites: host names in the order of their bindings, each once in the letter
# case first seen; a site without host names by its name alone; a protocol without host field
# and an IPv6 address (more than three fields) carry no host name.
start_with --iis-major 10 \
    --site Shop "http/*:80:Shop.Example.com,https/*:443:shop.example.com,http/*:80:www.shop.example.com" \
    --site Intranet "http/*:80:,https/*:443:" \
    --site Legacy "net.tcp/808:*,http/[::1]:80:v6.example.com,http/*:8080:legacy.example.com" || return
expect_eq "site list" "$(drv list $ID_LST_SITES)" "[x] Shop (Shop.Example.com, www.shop.example.com)
[ ] Intranet
[ ] Legacy (legacy.example.com)"
expect_text $ID_LBL_SITE_LIST "$(tx en lblSiteList)$(tx en lblSiteList_Multi)"
expect_text $ID_LBL_STATUS "$detected"
expect_deployment 1
expect_redirect_box_usable
expect_eq "log.txt" "$(log_records log.txt)" "IsIIS8OrGreater	IIS MajorVersion found in Registry: 10"
expect_eq "log-error.txt" "$(log_records log-error.txt)" ""
# The tool got exactly the lines the program builds: the unquoted path, each name in quotes, and
# the module check with the windows folder expanded by the command interpreter.
expect_eq "appcmd calls" "$(appcmd_calls)" "$appcmd list site /text:name
$appcmd list site \"Shop\" /text:bindings
$appcmd list site \"Intranet\" /text:bindings
$appcmd list site \"Legacy\" /text:bindings
$appcmd list module \"RewriteModule\""
stop_app

# IIS 7.5 by the registry: one site at a time.
start_with --iis-major 7 --site Shop "http/*:80:shop.example.com" || return
expect_text $ID_LBL_SITE_LIST "$(tx en lblSiteList)$(tx en lblSiteList_One)"
expect_eq "site list" "$(drv list $ID_LST_SITES)" "[x] Shop (shop.example.com)"
expect_text $ID_LBL_STATUS "$detected"
expect_deployment 1
expect_eq "log.txt" "$(log_records log.txt)" "IsIIS8OrGreater	IIS MajorVersion found in Registry: 7"
stop_app

# Without the registry value the product version of InetMgr.exe decides, by its major part.
start_with --no-iis-registry --inetmgr-version 10.0.17763.1 --site Shop "http/*:80:shop.example.com" || return
expect_text $ID_LBL_SITE_LIST "$(tx en lblSiteList)$(tx en lblSiteList_Multi)"
expect_text $ID_LBL_STATUS "$detected"
expect_eq "log.txt" "$(log_records log.txt)" "IsIIS8OrGreater	InetMgr.exe product version found: 10.0.17763.1"
expect_eq "log-error.txt" "$(log_records log-error.txt)" ""
stop_app

start_with --no-iis-registry --inetmgr-version 7.5.7600.16385 --site Shop "http/*:80:shop.example.com" || return
expect_text $ID_LBL_SITE_LIST "$(tx en lblSiteList)$(tx en lblSiteList_One)"
expect_eq "log.txt" "$(log_records log.txt)" "IsIIS8OrGreater	InetMgr.exe product version found: 7.5.7600.16385"
stop_app

# Neither: below 8 is assumed, and the log says why; the sites are still listed.
start_with --no-iis-registry --no-inetmgr --site Shop "http/*:80:shop.example.com" || return
expect_text $ID_LBL_SITE_LIST "$(tx en lblSiteList)$(tx en lblSiteList_One)"
expect_eq "log.txt" "$(log_records log.txt)" \
    "IsIIS8OrGreater	InetMgr.exe not found or accessible at $inetsrv. Assuming IIS version is less than 8."
expect_text $ID_LBL_STATUS "$detected"
stop_app

# URL Rewrite absent: the sites load, the redirect box is locked and says why.
start_with --no-rewrite --site Shop "http/*:80:shop.example.com" || return
expect_eq "site list" "$(drv list $ID_LST_SITES)" "[x] Shop (shop.example.com)"
expect_text $ID_LBL_STATUS "$detected"
expect_deployment 1
expect_redirect_box_locked
stop_app

# No IIS at all: one informational line, everything for deployment locked, no tool started.
start_with --no-iis || return
expect_eq "site list" "$(drv list $ID_LST_SITES)" "[ ] $(tx en MsgBox_NoIISFound)"
expect_text $ID_LBL_SITE_LIST "$(tx en lblSiteList_NoIIS)"
expect_text $ID_LBL_STATUS "$(tx en lblStatus_NoIIS)"
expect_deployment 0
expect_redirect_box_locked
drv menu $ID_MNU_TOOLS_SET_PORT >/dev/null 2>&1
expect_eq "choosing the disabled Set Port item" "$?" 2
expect_eq "log.txt" "$(log_records log.txt)" \
    "IsIIS8OrGreater	Could not get Shell Namespace for $inetsrv. Assuming IIS version is less than 8 or path invalid."
expect_eq "log-error.txt" "$(log_records log-error.txt)" ""
expect_eq "appcmd calls" "$(appcmd_calls)" ""

# A language change brings back the normal heading, status and check box caption, and unlocks
# nothing.
expect_ok "switch to Simplified Chinese" drv menu $ID_MNU_LANGUAGE_SIMPLIFIED
drv wait-idle >/dev/null
expect_text $ID_LBL_SITE_LIST "$(tx zh-hans lblSiteList)$(tx zh-hans lblSiteList_One)"
expect_text $ID_LBL_STATUS "$(tx zh-hans lblStatus_Ready)"
expect_text $ID_CHK_HTTP_REDIRECT "$(tx zh-hans chkHttpRedirect)"
expect_eq "site list after the switch" "$(drv list $ID_LST_SITES)" "[ ] $(tx en MsgBox_NoIISFound)"
expect_deployment 0
expect_enabled $ID_CHK_HTTP_REDIRECT 0
expect_checked $ID_CHK_HTTP_REDIRECT 0
expect_ok "switch back to English" drv menu $ID_MNU_LANGUAGE_ENGLISH
drv wait-idle >/dev/null
expect_text $ID_LBL_SITE_LIST "$(tx en lblSiteList)$(tx en lblSiteList_One)"
expect_deployment 0
stop_app

expect_ok "seed the default host again" sbx seed
