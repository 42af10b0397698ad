#!/usr/bin/env bash
# A throwaway Wine prefix for the tests, with a persistent wineserver.
#   wine.sh setup PREFIX             make a fresh prefix and start its server
#   wine.sh cleanup PREFIX           end the server
#   wine.sh remove PREFIX            end the server and delete the prefix (over a gigabyte)
#   wine.sh run PREFIX LOCALE CMD... run a Windows program with wine64 in that locale
#   wine.sh run32 PREFIX LOCALE CMD... run a PE32 program under qemu-i386 with the 32-bit Wine
# The 32-bit Wine is the root scripts/setup makes (scripts/wine32-root), never
# one installed into the machine: the prefix's 32-bit system folder and the
# loader come from it, and qemu-i386 finds the libraries there first.
set -euo pipefail
action=$1 prefix=$(realpath -m "$2"); shift 2
root32() { "$(dirname "$0")/../../scripts/wine32-root" --print; }

# PRNUNINST_WINEDLLOVERRIDES adds to Wine's DLL load order for one run. (A
# Windows program that changes WINEDLLOVERRIDES does not change its children's.)
overrides="mscoree,mshtml,winemenubuilder.exe=d${PRNUNINST_WINEDLLOVERRIDES:+;$PRNUNINST_WINEDLLOVERRIDES}"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES=$overrides
wine64=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64

stop_server() {  # ends the prefix's server and waits until it is gone
    "$server" -k >/dev/null 2>&1 || true
    "$server" -w >/dev/null 2>&1 || true
}

case $action in
setup)
    root=$(root32)
    # "wineserver -k" returns before the old server and its processes are
    # gone; a new prefix made while they still die, on a loaded machine, now
    # and then fails to boot. Wait for them first.
    if [ -d "$prefix" ]; then stop_server; rm -rf "$prefix"; fi
    mkdir -p "$prefix"
    # The server must not hold CTest's output pipes open: all its output goes to a file.
    "$wine64" wineboot -i >"$prefix.log" 2>&1 || { cat "$prefix.log"; echo "wine.sh: wineboot -i failed" >&2; exit 1; }
    "$server" -w >>"$prefix.log" 2>&1
    # wine64's wineboot cannot fill the 32-bit system folder that the PE32
    # runs need: it cannot start the 32-bit half.
    cp -n "$root"/usr/lib/i386-linux-gnu/wine/i386-windows/* "$prefix/drive_c/windows/syswow64/"
    "$server" -p </dev/null >>"$prefix.log" 2>&1
    # The first program starts Wine's own services, which then live as long as
    # the server: start them here, where their output goes to the log too.
    "$wine64" wineboot </dev/null >>"$prefix.log" 2>&1
    ;;
cleanup)
    stop_server
    ;;
remove)
    stop_server
    rm -rf "$prefix" "$prefix.log"
    ;;
run)
    LC_ALL=$1 exec "$wine64" "${@:2}"
    ;;
run32)
    root=$(root32)
    LC_ALL=$1 WINELOADERNOEXEC=1 exec qemu-i386 -L "$root" "$root/usr/lib/wine/wine" "${@:2}"
    ;;
*)
    echo "usage: wine.sh setup|cleanup|remove|run|run32 PREFIX ..." >&2
    exit 2
    ;;
esac
