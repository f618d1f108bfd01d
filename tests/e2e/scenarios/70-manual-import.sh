# Certificate Chain > Manual Import: the open-file dialog hands back several files (the folder,
# then the names); each goes into the intermediate store and is copied into the chain folder,
# which the list then shows. A name already there gets a time-stamped copy. Cancel changes
# nothing.
certs=$WINEPREFIX/drive_c/certs
rm -rf "$certs"
mkdir -p "$certs"
# make_ca FILE COMMON_NAME PEM|DER: a CA certificate; prints its SHA-1 thumbprint.
make_ca() {
    openssl req -x509 -newkey rsa:2048 -nodes -keyout /dev/null -subj "/CN=$2" -days 30 -outform "$3" \
        -out "$certs/$1" 2>/dev/null || return 1
    openssl x509 -inform "$3" -in "$certs/$1" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g' | tr a-f A-F
}
thumb_a=$(make_ca inter-a.crt "Quillbay Test Intermediate A" PEM) || fail "openssl"
thumb_b=$(make_ca inter-b.cer "Quillbay Test Intermediate B" DER) || fail "openssl"

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
drv wait-idle >/dev/null
expect_ok "no box after Cancel" drv no-box
expect_eq "chain list after Cancel" "$(drv list lstCertificates)" ""

# Two files at once.
choose_files 'C:\certs' '"inter-a.crt" "inter-b.cer"'
expect_complete 2
expect_chain_list inter-a.crt inter-b.cer
stores=$(sbx stores)
grep -q "^CA	$thumb_a	" <<<"$stores" || fail "inter-a.crt is not in the CA store: $stores"
grep -q "^CA	$thumb_b	" <<<"$stores" || fail "inter-b.cer is not in the CA store: $stores"

# The same name again: the first copy stays, the new one is time-stamped.
choose_files 'C:\certs\inter-a.crt'
expect_complete 1
names=$(drv list lstCertificates | sort)
expect_eq "chain list size" "$(wc -l <<<"$names")" 3
grep -Eq '^\[x\] inter-a_[0-9]{14}\.crt$' <<<"$names" || fail "no time-stamped copy: $names"
cmp -s "$QB_APP_DIR/chain/inter-a.crt" "$certs/inter-a.crt" || fail "the first copy of inter-a.crt changed"
