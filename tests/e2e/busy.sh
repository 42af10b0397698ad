#!/usr/bin/env bash
# The removal's wait on a real clock: with a spooler whose drivers stay in use
# for ever (busy_winspool.cpp in place of the prefix's winspool.drv), a run of
# a table with drivers must end after about 10 s, and not much later.
#   busy.sh PREFIX PRNUNINST_EXE BUSY_WINSPOOL_DRV
set -euo pipefail
prefix=$1 exe=$2 dll=$3
wine="$(dirname "$0")/wine.sh"
system=$prefix/drive_c/windows/system32
cp "$system/winspool.drv" "$system/winspool.drv.wine"
trap 'mv -f "$system/winspool.drv.wine" "$system/winspool.drv"' EXIT
cp "$dll" "$system/winspool.drv"
cp "$exe" "$prefix/drive_c/e2e/prnuninst-busy.exe"

started=$(date +%s%N)
status=0
PRNUNINST_WINEDLLOVERRIDES=winspool.drv=n "$wine" run "$prefix" C.UTF-8 'C:\e2e\prnuninst-busy.exe' /fP || status=$?
ms=$(( ($(date +%s%N) - started) / 1000000 ))
echo "busy: a driver in use for ever: exit status $status, the run took $ms ms (the wait's cap is 10000 ms)"
[ "$status" -eq 0 ] && [ "$ms" -ge 9500 ] && [ "$ms" -le 12000 ]
