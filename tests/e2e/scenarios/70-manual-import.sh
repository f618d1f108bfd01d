# Certificate Chain > Manual Import: the open-file dialog hands back several files (the
# folder, then the names); each goes into the intermediate store and is copied into the
# chain folder, which the list then shows. A name already there gets a time-stamped copy.
# Cancel changes nothing.
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
expect_eq "chain list at start" "$(drv list $ID_LST_CERTIFICATES)" ""

choose_files() {
    expect_ok "choose Manual Import" drv menu $ID_MNU_CHAIN_MANUAL_IMPORT
    local box
    box=$(drv wait-box) || { fail "no open-file dialog"; return 1; }
    expect_eq "dialog title" "$(sed -n 's/^title=//p' <<<"$box")" "Please select certificate files to import"
}
complete_text() {
    printf '%s' "Manual import operation completed.\r\n\r\nSuccessfully imported $1 certificates to system intermediate certificate store.\r\nSuccessfully copied $1 files to 'chain/' directory."
}

# Cancel: nothing follows, nothing changes.
choose_files
expect_ok "cancel the dialog" drv answer-box 2
drv no-box 500 >/dev/null || fail "a box followed Cancel"
expect_eq "chain list after Cancel" "$(drv list $ID_LST_CERTIFICATES)" ""

# Two files at once.
choose_files
expect_ok "go to the folder" drv file-dialog 'C:\certs'
expect_ok "pick two files" drv file-dialog '"inter-a.crt" "inter-b.cer"'
expect_box "*" "$(complete_text 2)" "$IDOK"
expect_ok "close the box" drv answer-box $IDOK
drv wait-idle >/dev/null
expect_chain_list inter-a.crt inter-b.cer
if have_sandbox; then
    stores=$(sbx stores)
    grep -q "^CA	$thumb_a	" <<<"$stores" || fail "inter-a.crt is not in the CA store: $stores"
    grep -q "^CA	$thumb_b	" <<<"$stores" || fail "inter-b.cer is not in the CA store: $stores"
fi

# The same name again: the first copy stays, the new one is time-stamped.
choose_files
expect_ok "pick one file" drv file-dialog 'C:\certs\inter-a.crt'
expect_box "*" "$(complete_text 1)" "$IDOK"
expect_ok "close the box" drv answer-box $IDOK
drv wait-idle >/dev/null
names=$(drv list $ID_LST_CERTIFICATES | sort)
expect_eq "chain list size" "$(wc -l <<<"$names")" 3
grep -Eq '^\[x\] inter-a_[0-9]{14}\.crt$' <<<"$names" || fail "no time-stamped copy: $names"
