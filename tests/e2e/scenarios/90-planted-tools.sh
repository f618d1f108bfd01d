# Files named like the tools, planted beside the program and in a folder the file dialog
# visits, never run: each is a recording stand-in (planted.exe under the tool's name) or a
# batch file that calls one, and their log stays empty. The real tools are called, by full
# path below the system folder: appcmd at start-up, certutil for a manual import from the
# planted folder and for the import, reg for the TLS values (80-import reads them), iisreset,
# and mmc with the machine's certificate console.
make_test_pki || return
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt
drop=$WINEPREFIX/drive_c/drop
rm -rf "$drop" && mkdir -p "$drop" && cp "$QB_PKI/inter2.crt" "$drop/"
stand_in=$WINEPREFIX/drive_c/QuillbaySandbox/bin/planted.exe
for folder in "$QB_APP_DIR" "$drop"; do
    for name in cmd certutil reg appcmd iisreset mmc netsh; do cp "$stand_in" "$folder/$name.exe"; done
    for name in cmd certutil reg iisreset; do
        printf '@"C:\\QuillbaySandbox\\bin\\planted.exe" %%0 %%*\r\n' >"$folder/$name.bat"
    done
    printf '<?xml version="1.0"?>\r\n<MMC_ConsoleFile/>\r\n' >"$folder/certlm.msc"
done
system='C:\windows\system32'

start_app en_US.UTF-8 || return
expect_eq "site list" "$(drv list lstSites)" "[x] Default Web Site"

# The outcomes' texts are 70's and 80's; here they must be the successful ones.
expect_ok "choose Manual Import" drv menu mnuChainManualImport
expect_ok "open the planted folder" drv file-dialog 'C:\drop'
expect_ok "pick inter2.crt" drv file-dialog inter2.crt
expect_eq "manual import" "$(drv wait-box | head -1)" "title=Manual Import Complete"
close_box
expect_ok "press Import" drv click cmdImport
expect_eq "import" "$(drv wait-box 180000 | head -1)" "title=Import Complete"
close_box
choose mnuChainViewSystemStore
expect_ok "no box after View System Store" drv no-box
stop_app

expect_eq "planted programs that ran" "$(sbx planted)" ""
# Each tool's command line begins with its full path.
expect_eq "programs started" "$(sbx log | awk -F'\t' '{ split($4, w, " "); print $2 "\t" w[1] }' | sort -u)" \
    "$(printf '%s\n' "appcmd	$system\\inetsrv\\appcmd.exe" "certutil	$system\\certutil.exe" \
        "iisreset	$system\\inetsrv\\iisreset.exe" "mmc	$system\\mmc.exe" | sort)"
expect_eq "console opened" "$(sbx log | awk -F'\t' '$2 == "mmc" { print $4 }')" "$system\\mmc.exe \"$system\\certlm.msc\""
expect_eq "error records" "$(log_records log-error.txt)" ""
# The empty record above means something: a copy started by hand is recorded.
wine 'C:\drop\reg.exe' add x </dev/null >/dev/null 2>&1
expect_eq "a planted copy started by hand" "$(sbx planted | cut -f2-)" 'C:\drop\reg.exe	"C:\drop\reg.exe" add x'
rm -rf "$drop"
