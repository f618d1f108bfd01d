#!/usr/bin/env bash
# The release package: built by scripts/release (signed with the test build's key), it holds
# exactly the program, the console program (the very files just built), an empty chain folder
# and README.txt; its signature and checksum file verify; a key the build does not trust is
# refused; and the updater's package check passes it and refuses a cut-off copy.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failures=0
fail() { echo "release check: $*"; failures=$((failures + 1)); }

build=$root/build/windows
release() { "$root/scripts/release" --preset windows --key "$@"; }
openssl ecparam -name prime256v1 -genkey -noout -out "$out/other.pem" 2>/dev/null
release "$out/other.pem" "$out/other" >"$out/other.log" 2>&1 && fail "a key the build does not trust signed a release"
release "$build/test-update-key.pem" "$out" >"$out/release.log" 2>&1 || { cat "$out/release.log"; exit 1; }
zip=$(compgen -G "$out/Quillbay-*-win64.zip") || { echo "release check: no zip in $out"; exit 1; }
python3 - "$zip" "$root/build/windows/bin" <<'PY' || failures=$((failures + 1))
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
names = sorted(z.namelist())
want = sorted(["Quillbay.exe", "quillbay-cli.exe", "chain/", "README.txt"])
assert names == want, f"entries {names}, expected {want}"
for exe in ("Quillbay.exe", "quillbay-cli.exe"):
    assert z.read(exe) == open(f"{sys.argv[2]}/{exe}", "rb").read(), f"{exe} is not the one just built"
readme = z.read("README.txt")
assert readme.startswith(b"\xef\xbb\xbf") and b"\n" not in readme.replace(b"\r\n", b""), "README.txt: BOM and CR LF"
assert z.testzip() is None, "a damaged entry"
PY
(cd "$out" && sha256sum --quiet -c "$(basename "$zip").sha256") || fail "the checksum file does not verify"
openssl dgst -sha256 -verify "$build/update-key.pub.pem" -signature "$zip.sig" "$zip" >/dev/null 2>&1 ||
    fail "the signature does not verify"
head -c $(($(stat -c %s "$zip") - 10)) "$zip" >"$out/cut.zip"
check() { "$root/scripts/wine-run" "$root/build/windows/bin/zipcheck.exe" "Z:${1//\//\\}" </dev/null >/dev/null; }
check "$zip" || fail "the package check refuses the release"
check "$out/cut.zip" && fail "the package check passes a cut-off zip"
((failures == 0)) && echo "release check: $(basename "$zip") as expected"
exit $((failures > 0))
