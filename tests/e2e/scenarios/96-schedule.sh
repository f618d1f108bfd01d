# The daily renewal's task on the simulated host: registered by the console program through the
# system's schtasks (never a copy beside the program), shown as the scheduler holds it, started
# as the scheduler starts it, replaced and removed. Which folders it refuses, before schtasks
# runs, is the unit tests'.
cp "$WINEPREFIX/drive_c/QuillbaySandbox/bin/planted.exe" "$QB_APP_DIR/schtasks.exe"
mkdir -p "$WINEPREFIX/drive_c/Quillbay Renew"
schtasks_calls() { sbx log | awk -F'\t' '$2 == "schtasks" { print $3 "\t" $4 }'; }
program='C:\Quillbay\quillbay-cli.exe'
command="$program renew --from \"C:\\Quillbay Renew\" --retire-old"

expect_cli 1 schedule --show --json
expect_eq "before: registered" "$(json '[d["exitCode"], d["registered"], d["task"]["from"]]')" "[1, False, None]"

expect_cli 0 schedule --from 'C:\Quillbay Renew\' --at 04:30 --retire-old --json
expect_eq "registered" "$(json '" | ".join(str(v) for v in (d["registered"], d["task"]["at"], d["task"]["from"], d["task"]["retireOld"]))')" \
    'True | 04:30 | C:\Quillbay Renew | True'
expect_eq "what the scheduler holds" "$(sbx tasks)" \
    "$(printf '\\Quillbay\\Renew\t%s\t%s' "$program" "renew --from \"C:\\Quillbay Renew\" --retire-old")"

# As text, from the scheduler's own copy (read back through the output's code page).
expect_cli 0 schedule --show
expect_eq "shown" "$(tr -d '\r' <"$QB_CLI_OUT")" "$(printf '%s\n' \
    'Task \Quillbay\Renew: registered, runs daily at 04:30 as SYSTEM with the highest privileges.' \
    '  Folder: C:\Quillbay Renew' \
    '  Superseded certificates that no endpoint uses are deleted (--retire-old).' \
    "  Command: $command" \
    'Task Scheduler (taskschd.msc) shows it under Task Scheduler Library > Quillbay > Renew.')"

# The scheduler's run: the console program by its full path with the task's arguments. The folder
# holds no certificate yet, so the renewal refuses, 2 (95-renew has a scheduled run that renews).
expect_eq "run by the scheduler" "$(sbx run-task '\Quillbay\Renew')" 2
expect_eq "what it started" "$(sbx log | awk -F'\t' '$2 == "task" { print $3 "\t" $4 }')" "$(printf '2\t%s' "$command")"

# Registered again: in place of the first, with the defaults.
expect_cli 0 schedule --from 'C:\Quillbay Renew' --json
expect_cli 0 schedule --show --json
expect_eq "replaced" "$(json '[d["task"]["at"], d["task"]["retireOld"]]')" "['03:00', False]"

expect_cli 0 schedule --remove
expect_eq "removed" "$(tr -d '\r' <"$QB_CLI_OUT")" 'Removed the task \Quillbay\Renew.'
expect_cli 1 schedule --remove --json
expect_eq "removed again" "$(json '[d["removed"], d["registered"]]')" "[False, False]"
expect_cli 1 schedule --show
expect_eq "nothing left" "$(sbx tasks)" ""

# COUNT EXIT_CODE VERB REST: a line of uniq -c over schtasks' runs.
runs() { printf '%s\t%s\tC:\\windows\\system32\\schtasks.exe /%s /TN "\\Quillbay\\Renew" %s\n' "$@"; }
expect_eq "schtasks' lines, counted by exit code" "$(schtasks_calls | sort | uniq -c | sed -E 's/^ *([0-9]+) /\1\t/' | sort)" \
    "$({ runs 2 0 Create '/XML "C:\Quillbay\quillbay-renew-task.xml" /F'; runs 1 0 Delete /F; runs 1 1 Delete /F
         runs 2 0 Query '/XML ONE'; runs 2 1 Query '/XML ONE'; } | sort)"
expect_eq "the copy beside the program" "$(sbx planted)" ""
