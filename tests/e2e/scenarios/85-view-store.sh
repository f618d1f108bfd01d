# View System Store on an older server (no certlm.msc; a file of that name and tools' names
# beside the program, never used): the user's console opens, without a box. Then on a host with
# neither console file: both failures logged, the first with the fixed fallback note, one box
# for the user, the status ready again.
expect_ok "seed a host without certlm.msc" sbx seed --no-certlm
plant_tools "$QB_APP_DIR"
start_app en_US.UTF-8 || return
choose mnuChainViewSystemStore
expect_ok "no box when certmgr.msc opens" drv no-box
mmc_calls() { sbx log | awk -F'\t' '$2 == "mmc" { print $3, $4 }'; }
for _ in $(seq 100); do [[ -n $(mmc_calls) ]] && break; done  # the console host is not waited for
expect_eq "console opened" "$(mmc_calls)" '0 C:\windows\system32\mmc.exe "C:\windows\system32\certmgr.msc"'
expect_eq "planted programs that ran" "$(sbx planted)" ""
stop_app
clear_logs

expect_ok "seed a host without the certificate consoles" sbx seed --no-consoles
# The Chinese code page keeps the fixed Chinese note's bytes in the log.
start_app zh_CN.UTF-8 || return
choose mnuLanguageEnglish
expect_ok "choose View System Store" drv menu mnuChainViewSystemStore
expect_box "Certificate Manager Error" "Failed to open Certificate Manager (tried certlm.msc and certmgr.msc).\r\nPlease \
confirm that the Certificate Management snap-in is installed on your OS and try running this tool with administrator \
privileges.\r\nNote: viewing the local computer certificate store requires administrator privileges." 1 16
close_box
expect_text lblStatus "Ready, please select chain(s) to import..."
expect_eq "error records" "$(log_records log-error.txt CP936)" "$(printf 'mnuChainViewSystemStore_Click\t%s\t-2147024894\n' \
    "certlm.msc 启动失败，将尝试 certmgr.msc 作为后备。" 'Unable to open Certificate Manager: The console file is not there: C:\windows\system32\certmgr.msc')"
