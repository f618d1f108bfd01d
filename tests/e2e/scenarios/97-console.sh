# The console program on the simulated host: status and check read and report, import and deploy
# do the window's work without a window, the JSON parses, the exit codes are those documented,
# and the same deployment through the window and through the console leaves the same state.
make_test_pki || return
cli_out=$WINEPREFIX/drive_c/qb-cli.out cli_err=$WINEPREFIX/drive_c/qb-cli.err
# cli ARG...: the console program with its standard output and error in files; its exit code.
cli() { wine 'C:\Quillbay\quillbay-cli.exe' "$@" </dev/null >"$cli_out" 2>"$cli_err"; }
# json EXPRESSION: a Python expression over the document d that the last run printed.
json() { python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$cli_out" "$1"; }
sites() { printf '%s\t%s\n' Shop 'http/*:80:a.example.test,http/*:80:b.example.test' Intranet 'http/*:80:' | seed_sites "$@"; }

expect_ok "seed IIS 10 with two sites" sites --iis-major 10
put_files fullchain.pfx "$QB_PFX_PASSWORD" inter1.crt inter2.crt root.crt
cli status --json; echo "rc=$?"; cat "$cli_out"; cat "$cli_err"
cli status; echo "rc=$?"; cat "$cli_out"; cat "$cli_err"
cli check; echo "rc=$?"; cat "$cli_out"; cat "$cli_err"
