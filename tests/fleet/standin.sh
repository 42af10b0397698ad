#!/bin/sh
# A stand-in for prncheck.exe or prnuninst.exe, for what Wine cannot show:
# copied under the program's name, it logs its arguments to NAME.log, then
# answers as NAME.<n> (its n-th run) or NAME.answer says, line by line:
# "out TEXT" and "err TEXT" write a line, "sleep S" waits, "status N" is its
# exit status, "crash" ends it by a signal.
log="$0.log"
printf '%s\n' "$*" >>"$log"
answer="$0.$(wc -l <"$log")"
[ -f "$answer" ] || answer="$0.answer"
[ -f "$answer" ] || exit 0
status=0
while IFS= read -r line; do
    case $line in
    "out "*) printf '%s\n' "${line#out }" ;;
    "err "*) printf '%s\n' "${line#err }" >&2 ;;
    "sleep "*) sleep "${line#sleep }" ;;
    "status "*) status=${line#status } ;;
    crash) kill -SEGV $$ ;;
    esac
done <"$answer"
exit "$status"
