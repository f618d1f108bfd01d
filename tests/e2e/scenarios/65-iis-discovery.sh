# IIS discovery at start-up on the simulated host: every site with its host names, whatever its
# name holds; the version, log.txt telling where it came from; the deployment controls and the
# redirect box by what the host has. Faults end in their defined state, logged only where a
# failure was raised, and the window takes commands.
responsive() { expect_ok "choose About" drv menu mnuHelpAbout; close_box; }  # the About box opens and closes

# Each name reaches appcmd as one argument whatever it holds, and its host names come back.
# Output is read in the ANSI code page: under 1252 the Chinese name arrives as question marks,
# which name no site; that site alone is listed without host names, and logged.
printf '%s\t%s\n' 'Café [Test]' 'http/*:80:cafe.example' 'Two  Blanks' 'http/*:80:two.example,https/*:443:Two.Example' \
    'Say "Hi"' 'http/*:80:hi.example' 'Size 5" Screen' 'http/*:80:five.example' 'A & B (1)' 'http/*:81:ab.example' \
    '100% %PATH% a^b' 'http/*:80:pct.example' "it's {x}" 'http/*:80:q.example' 'Trail\' 'http/*:80:trail.example' \
    '商店' 'http/*:80:shop.example.cn' | seed_sites || fail "seeding the awkward names failed"
for case in "zh_CN 商店 (shop.example.cn)" "en_US ??"; do
    read -r locale name <<<"$case"
    clear_logs
    start_app "$locale.UTF-8" || return
    expect_eq "site list ($locale)" "$(drv list lstSites)" "$(printf '%s\n' "[x] Café [Test] (cafe.example)" \
        "[ ] Two  Blanks (two.example)" '[ ] Say "Hi" (hi.example)' '[ ] Size 5" Screen (five.example)' \
        "[ ] A & B (1) (ab.example)" "[ ] 100% %PATH% a^b (pct.example)" "[ ] it's {x} (q.example)" \
        '[ ] Trail\\ (trail.example)' "[ ] $name")"
    responsive
    stop_app
    errors=$(log_records log-error.txt CP936 | cut -f1,3)
    if [[ $locale == zh_CN ]]; then
        expect_eq "log-error.txt after the awkward names" "$errors" ""
    else
        [[ $errors =~ ^PopulateSitesList$'\t'-?[1-9][0-9]*$ ]] || fail "the unreadable site was not logged: [$errors]"
    fi
done

# Seed options|site list|heading|status|deployment and redirect box usable|log.txt. Nothing goes
# to log-error.txt; appcmd is asked three times where there is IIS.
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
    expect_eq "appcmd calls $what" "$(appcmd_calls | wc -l)" $((usable * 3))
    responsive
    stop_app
done

