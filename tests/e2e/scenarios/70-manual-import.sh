# Certificate Chain > Manual Import: the open-file dialog hands back several files (the folder,
# then the names); each goes into the intermediate store and is copied into the chain folder,
# which the list then shows. A name already there gets a time-stamped copy. Cancel changes
# nothing.
certs=$WINEPREFIX/drive_c/certs
rm -rf "$certs"
mkdir -p "$certs"
source "$(dirname "${BASH_SOURCE[0]}")/../lib_certs.sh"
for case in inter-a.crt:PEM inter-b.cer:DER; do
    openssl req -x509 -newkey rsa:2048 -nodes -keyout /dev/null -subj "/CN=Quillbay Test ${case%:*}" -days 30 \
        -outform "${case#*:}" -out "$certs/${case%:*}" 2>/dev/null || fail "openssl"
done

start_app en_US.UTF-8 || return
expect_eq "chain list at start" "$(drv list lstCertificates)" ""

# choose_files NAME...: the dialog, then each name typed into it in turn.
choose_files() {
    expect_ok "choose Manual Import" drv menu mnuChainManualImport
    local box name
    box=$(drv wait-box 30000) || { fail "no open-file dialog"; return 1; }
    expect_eq "dialog title" "$(sed -n 's/^title=//p' <<<"$box")" "$(str en MsgBox_ManualImport_SelectFile)"
    for name; do expect_ok "type $name" drv file-dialog "$name" 30000; done
}
expect_complete() {  # COUNT
    expect_box "$(str en MsgBox_ManualImport_CompleteTitle)" "$(str en MsgBox_ManualImport_Complete)$1$(
        str en MsgBox_ManualImport_Complete_Certs)$1$(str en MsgBox_ManualImport_Complete_Files)" 1 64
    close_box
}

# Cancel: nothing follows, nothing changes.
choose_files
expect_ok "cancel the dialog" drv answer-box 2
drv wait-idle >/dev/null || fail "the window stayed busy after Cancel"
expect_ok "no box after Cancel" drv no-box
expect_eq "chain list after Cancel" "$(drv list lstCertificates)" ""

# Two files at once.
choose_files 'C:\certs' '"inter-a.crt" "inter-b.cer"'
expect_complete 2
expect_chain_list inter-a.crt inter-b.cer
expect_eq "stores" "$(store_entries)" "$(printf 'CA %s no\n' "$(thumbprint "$certs/inter-a.crt")" \
    "$(thumbprint "$certs/inter-b.cer" DER)" | sort)"

# The same name again: the first copy stays, the new one is time-stamped.
choose_files 'C:\certs\inter-a.crt'
expect_complete 1
names=$(drv list lstCertificates | sort)
expect_eq "chain list size" "$(wc -l <<<"$names")" 3
grep -Eq '^\[x\] inter-a_[0-9]{14}\.crt$' <<<"$names" || fail "no time-stamped copy: $names"
cmp -s "$QB_APP_DIR/chain/inter-a.crt" "$certs/inter-a.crt" || fail "the first copy of inter-a.crt changed"
