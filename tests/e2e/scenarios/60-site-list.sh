# Below IIS 8 a click leaves at most the clicked site selected; from IIS 8 on it toggles only
# its own. Each case: IIS major version|heading|clicked site:selection after it ...
for case in "7|Only one|1:-x- 2:--x 2:--- 0:x--" "10|Multi-select enabled|1:xx- 2:xxx 0:-xx"; do
    IFS='|' read -r major heading clicks <<<"$case"
    expect_ok "seed IIS $major" sbx seed --iis-major "$major" \
        --site Alpha "http/*:80:a.example" --site Beta "http/*:80:b.example" --site Gamma "http/*:80:"
    start_app en_US.UTF-8 || return
    expect_text lblSiteList "IIS Site List ($heading):"
    expect_eq "IIS $major: sites at start" "$(selection lstSites)" x--
    for click in $clicks; do
        expect_ok "click site ${click%:*}" drv list-click lstSites "${click%:*}"
        expect_eq "IIS $major: selection after clicking ${click%:*}" "$(selection lstSites)" "${click#*:}"
    done
    stop_app
done
