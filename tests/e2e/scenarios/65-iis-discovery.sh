# IIS discovery at start-up on the simulated host: every site with its host names, whatever its
# name holds; the version, log.txt telling where it came from; the deployment controls and the
# redirect box by what the host has. Faults end in their defined state, logged only where a
# failure was raised, and the window takes commands.
responsive() { expect_ok "choose About" drv menu mnuHelpAbout; close_box; }  # the About box opens and closes

# The sites come from IIS's configuration file, exact whatever their names hold and whatever the
# code page, and no tool runs for them; a site of 200 bindings is listed whole. When the file is
# damaged, appcmd answers instead (under 1252 the Chinese name then arrives as question marks,
# which name no site: listed without host names), and log-error.txt says why.
many=$(for i in $(seq 0 199); do printf 'http/*:80:h%d.example,' "$i"; done)
printf '%s\t%s\n' 'Café [Test]' 'http/*:80:cafe.example' 'Two  Blanks' 'http/*:80:two.example,https/*:443:Two.Example' \
    'Say "Hi"' 'http/*:80:hi.example' 'A & B <1>' 'http/*:81:ab.example' '100% %PATH% a^b' 'http/*:80:pct.example' \
    "it's {x}" 'http/*:80:q.example' 'Trail\' 'http/*:80:trail.example' '商店' 'http/*:80:shop.example.cn' \
    'Many' "${many%,}" | seed_sites || fail "seeding the awkward names failed"
listed=("[x] Café [Test] (cafe.example)" "[ ] Two  Blanks (two.example)" '[ ] Say "Hi" (hi.example)'
    "[ ] A & B <1> (ab.example)" "[ ] 100% %PATH% a^b (pct.example)" "[ ] it's {x} (q.example)" '[ ] Trail\\ (trail.example)')
config='drive_c/windows/system32/inetsrv/config/applicationHost.config'
for case in "zh_CN 商店 (shop.example.cn)" "en_US 商店 (shop.example.cn)" "en_US ??"; do
    read -r locale name <<<"$case"
    [[ $name == '??' ]] && printf '<configuration>' >>"$WINEPREFIX/$config"  # no longer well-formed
    clear_logs
    start_app "$locale.UTF-8" || return
    list=$(drv list lstSites)
    expect_eq "site list ($case)" "$(head -n 8 <<<"$list")" "$(printf '%s\n' "${listed[@]}" "[ ] $name")"
    [[ $(tail -n 1 <<<"$list") == "[ ] Many (h0.example, h1.example, "*", h199.example)" ]] || fail "the site of 200 bindings: $(tail -c 80 <<<"$list")"
    responsive
    stop_app
    errors=$(log_records log-error.txt CP936 | cut -f1,3)
    if [[ $name == '??' ]]; then
        [[ $errors == *"PopulateSitesList"$'\t'-* && $(appcmd_calls | wc -l) -gt 0 ]] || fail "the damaged file's fallback: [$errors]"
    else
        expect_eq "log-error.txt ($case)" "$errors" ""
        expect_eq "appcmd calls ($case)" "$(appcmd_calls | wc -l)" 0
    fi
done

# Seed options|site list|heading|status|deployment and redirect box usable|log.txt. Nothing goes
# to log-error.txt, and appcmd is never asked.
shop="[x] Shop (shop.example.com)" none="[ ] No IIS found in the system."
loaded="IIS sites loaded. Please import first, then select sites for deployment."
cases=(
    "--iis-major 7|$shop|IIS Site List (Only one):|$loaded|1|1|IIS MajorVersion found in Registry: 7"
    "--no-iis-registry --inetmgr-version 10.0.17763.1 --no-rewrite|$shop|IIS Site List (Multi-select enabled):|$loaded|1|0|InetMgr.exe product version found: 10.0.17763.1"
    "--no-iis|$none|IIS Site List (IIS Not Installed)|IIS not detected, PFX deployment disabled.|0|0|Could not get Shell Namespace for C:\windows\System32\inetsrv. Assuming IIS version is less than 8 or path invalid."
)
for case in "${cases[@]}"; do
    IFS='|' read -r options list heading status usable redirect log <<<"$case"
    what="(${options:0:40})"
    # shellcheck disable=SC2086 # the options are words
    expect_ok "seed $what" sbx seed $options --site Shop "http/*:80:shop.example.com"
    clear_logs
    start_app en_US.UTF-8 || return
    expect_eq "site list $what" "$(drv list lstSites)" "$list"
    expect_text lblSiteList "$heading"
    expect_text lblStatus "$status"
    expect_state enabled "$usable" "${QB_DEPLOYMENT[@]}"
    for state in enabled checked; do expect_state "$state" "$redirect" chkHttpRedirect; done
    expect_text chkHttpRedirect "$( ((redirect)) && echo "HTTP to HTTPS Redirection" || echo "Disable due to URLRewrite is not installed")"
    expect_eq "log.txt $what" "$(log_records log.txt)" "IsIIS8OrGreater	$log"
    expect_eq "log-error.txt $what" "$(log_records log-error.txt)" ""
    expect_eq "appcmd calls $what" "$(appcmd_calls | wc -l)" 0
    responsive
    stop_app
done

