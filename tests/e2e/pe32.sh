#!/usr/bin/env bash
# The PE32 deliverable itself, under qemu-i386 (wine.sh run32), on the shared prefix
# (code page 949): seed the machine, run it once, check the exit status, what
# it started and which keys are gone.
#   pe32.sh PREFIX PRNUNINST_EXE DRIVER_EXE MODEL TAIL [STARTED]
# MODEL is the selector of the model whose keys must be gone ("none": none); STARTED the command
# line the follow-on program must record (none when left out).
set -euo pipefail
prefix=$1 exe=$2 driver=$3 model=$4 tail=$5 started=${6:-}
wine="$(dirname "$0")/wine.sh"
log="$prefix/drive_c/e2e/followon.log"

"$wine" run "$prefix" ko_KR.UTF-8 "$driver" seed
rm -f "$log"
status=0
PRNUNINST_FOLLOWON_LOG='C:\e2e\followon.log' "$wine" run32 "$prefix" ko_KR.UTF-8 "$exe" "$tail" || status=$?
failed=0
if [ "$status" -ne 0 ]; then echo "exit status $status, expected 0"; failed=1; fi

# The follow-on program may still be starting when the utility has ended:
# wait up to 30 s for one that is expected, 3 s for one that is not.
polls=30
[ -z "$started" ] || polls=300
for _ in $(seq 1 "$polls"); do [ -s "$log" ] && break; sleep 0.1; done
seen=$(cat "$log" 2>/dev/null || true)
if [ "$seen" != "$started" ]; then echo "started [${seen:-nothing}], expected [${started:-nothing}]"; failed=1; fi

"$wine" run "$prefix" ko_KR.UTF-8 "$driver" expect "$model" || failed=1
[ "$failed" -eq 0 ] && echo "pe32: $exe $tail: exit 0, model $model removed, started [${seen:-nothing}]"
exit "$failed"
