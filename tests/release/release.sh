#!/usr/bin/env bash
# A signed release, round trip, with a throwaway code-signing certificate made
# here (nothing secret is committed): a wrong password leaves no release; the
# good one checks against SHA256SUMS, its signature verifies against the
# throwaway root, verify-release accepts it (also inside a zip with a long
# listing) and refuses a copy with one byte of code changed. A release of the
# example 932 table is named after it and checks only against that table.
#   release.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$(realpath "$1") work=$(realpath -m "$2")
rm -rf "$work"
mkdir -p "$work"
cd "$work"
failed=0
fail() { echo "release test: $*"; failed=1; }

export PRNUNINST_SIGN_PASSWORD="throwaway-$RANDOM$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out root.pem -days 2 -subj "/CN=prnuninst test signer" \
    -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -in root.pem -inkey key.pem -out signer.pfx -passout env:PRNUNINST_SIGN_PASSWORD

if PRNUNINST_SIGN_PASSWORD=wrong "$source_dir/scripts/release" --sign signer.pfx --out refused; then
    fail "a wrong password was accepted"
fi
[ ! -e refused ] || fail "a refused release left $(ls refused)"

"$source_dir/scripts/release" --sign signer.pfx --out dist 2>&1 | tee release.log || fail "the release failed"
(cd dist && unzip -q prnuninst-*-win32.zip prnuninst.exe && sha256sum -c --ignore-missing SHA256SUMS) ||
    fail "SHA256SUMS does not match the release"
osslsigncode verify -CAfile root.pem -in dist/prnuninst.exe >/dev/null || fail "the signature does not verify"
if grep -rqF "$PRNUNINST_SIGN_PASSWORD" release.log dist "$source_dir/build/release"; then
    fail "the password shows in the output or in a file"
fi
"$source_dir/scripts/verify-release" --ca root.pem dist/prnuninst-*-win32.zip || fail "verify-release refused the release"
# The same exe first in a zip whose listing goes on well past what a pipe
# buffers (64 KiB): a check that stops reading the listing early loses it.
/usr/bin/python3 - dist/prnuninst-*-win32.zip long.zip <<'EOF'
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as release, zipfile.ZipFile(sys.argv[2], "w") as long:
    long.writestr("prnuninst.exe", release.read("prnuninst.exe"))
    for n in range(6000):
        long.writestr(f"docs/padding/entry-{n:05d}-of-a-long-list", b"")
EOF
"$source_dir/scripts/verify-release" --ca root.pem long.zip >/dev/null ||
    fail "verify-release refused a release zip with 6000 more names after prnuninst.exe"

# Another table's release names the table, and checks only against a build of that table.
"$source_dir/scripts/release" --models "$source_dir/models/example-932.toml" --out dist932 >/dev/null ||
    fail "the release of models/example-932.toml failed"
other=$(echo dist932/prnuninst-*-example-932-win32.zip)
[ -f "$other" ] || fail "no prnuninst-<version>-example-932-win32.zip in dist932"
"$source_dir/scripts/verify-release" --models "$source_dir/models/example-932.toml" "$other" >/dev/null ||
    fail "verify-release refused the release of models/example-932.toml"
if "$source_dir/scripts/verify-release" "$other" >/dev/null; then fail "verify-release took another table's build for the default one"; fi

cp dist/prnuninst.exe tampered.exe
printf '\x90' | dd of=tampered.exe bs=1 seek=$((0x410)) conv=notrunc status=none
if "$source_dir/scripts/verify-release" --ca root.pem tampered.exe; then fail "verify-release accepted a tampered exe"; fi

[ "$failed" -eq 0 ] && echo "release test: passed"
exit "$failed"
