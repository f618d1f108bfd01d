# Manual Import: the files chosen (the folder, then the names) go into the intermediate store
# and, copied, into the chain folder and its list. Files named like the tools in the folder the
# dialog visits never run. Cancel is the unit tests'.
certs=$WINEPREFIX/drive_c/certs
rm -rf "$certs" && mkdir -p "$certs" && plant_tools "$certs"
for case in inter-a.crt:PEM inter-b.cer:DER; do
    openssl req -x509 -newkey rsa:2048 -nodes -keyout /dev/null -subj "/CN=Quillbay Test ${case%:*}" -days 30 \
        -outform "${case#*:}" -out "$certs/${case%:*}" 2>/dev/null || fail "openssl"
done
start_app en_US.UTF-8 || return
expect_ok "choose Manual Import" drv menu mnuChainManualImport
expect_eq "dialog title" "$(drv wait-box | sed -n 's/^title=//p')" "Please select certificate files to import"
for name in 'C:\certs' '"inter-a.crt" "inter-b.cer"'; do expect_ok "type $name" drv file-dialog "$name"; done
expect_box "Manual Import Complete" "Manual import operation completed.\r\n\r\nSuccessfully imported 2 certificates to \
system intermediate certificate store.\r\nSuccessfully copied 2 files to 'chain/' directory." 1 64
close_box
expect_chain_list inter-a.crt inter-b.cer
expect_eq "stores" "$(store_entries)" "$(printf 'CA %s no\n' "$(thumbprint "$certs/inter-a.crt")" \
    "$(thumbprint "$certs/inter-b.cer" DER)" | sort)"
expect_eq "planted programs that ran" "$(sbx planted)" ""
# The empty record means something: a copy started by hand is recorded.
wine 'C:\certs\reg.exe' add x </dev/null >/dev/null 2>&1
expect_eq "a planted copy started by hand" "$(sbx planted | cut -f2-)" 'C:\certs\reg.exe	"C:\certs\reg.exe" add x'
