# Clicking sites: below IIS 8 a click leaves at most the clicked site selected (clicking the
# selected one leaves none); from IIS 8 on every click toggles only its own site.
if ! have_sandbox; then
    note "no sandbox host: site list not checked"
    return
fi
sites=(--site Alpha "http/*:80:a.example" --site Beta "http/*:80:b.example" --site Gamma "http/*:80:")

expect_ok "seed IIS 7.5" sbx seed --iis-major 7 "${sites[@]}"
start_app en_US.UTF-8 || return
expect_text $ID_LBL_SITE_LIST "IIS Site List (Only one):"
expect_eq "sites at start" "$(selection $ID_LST_SITES)" "x--"
click_site() {
    expect_ok "click site $1" drv list-click $ID_LST_SITES "$1"
    expect_eq "sites after clicking $1" "$(selection $ID_LST_SITES)" "$2"
}
click_site 1 "-x-"
expect_eq "current site" "$(drv list-index $ID_LST_SITES)" 1
click_site 2 "--x"
click_site 2 "---"
click_site 0 "x--"
stop_app

expect_ok "seed IIS 10" sbx seed --iis-major 10 "${sites[@]}"
start_app en_US.UTF-8 || return
expect_text $ID_LBL_SITE_LIST "IIS Site List (Multi-select enabled):"
expect_eq "sites at start" "$(selection $ID_LST_SITES)" "x--"
click_site 1 "xx-"
click_site 2 "xxx"
click_site 0 "-xx"
stop_app

expect_ok "seed the default host again" sbx seed
