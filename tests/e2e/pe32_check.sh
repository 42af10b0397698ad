#!/usr/bin/env bash
# prncheck.exe, the PE32 itself, under qemu-i386 (wine.sh run32) on the shared prefix
# (code page 949): on the seeded machine it must exit 1 and write model
# MODEL's lines to the file its output goes to.
#   pe32_check.sh PREFIX PRNCHECK_EXE DRIVER_EXE MODEL
set -euo pipefail
prefix=$1 exe=$2 driver=$3 model=$4
wine="$(dirname "$0")/wine.sh"
out="$prefix/drive_c/e2e/prncheck.txt"

"$wine" run "$prefix" ko_KR.UTF-8 "$driver" seed
status=0
"$wine" run32 "$prefix" ko_KR.UTF-8 "$exe" "/f$model" >"$out" || status=$?
failed=0
if [ "$status" -ne 1 ]; then echo "exit status $status, expected 1"; failed=1; fi
"$wine" run "$prefix" ko_KR.UTF-8 "$driver" found "$model" 'C:\e2e\prncheck.txt' || failed=1
[ "$failed" -eq 0 ] && echo "pe32: $exe /f$model: exit 1, model $model's $(wc -l <"$out") lines"
exit "$failed"
