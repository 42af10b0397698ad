#!/usr/bin/python3
"""scripts/setup against stand-ins for apt-get, apt-cache, dpkg-query, dpkg,
sudo, the locale tools and qemu-i386 on PATH (nothing on the machine changes;
the 32-bit Wine's root goes to a cache folder of the test's own, from three
small packages made here): each case's mirror and root, and the status, the
output, the apt calls and the root it must give.
  test_setup.py SOURCE_DIR WORK_DIR
"""
import os
import shutil
import subprocess
import sys
from pathlib import Path

SOURCE, WORK = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
ROOT = WORK / "cache/prnuninst/i386"
shutil.rmtree(WORK, ignore_errors=True)
(WORK / "bin").mkdir(parents=True)
# One stand-in for every tool, by the name it is called by. FAIL_UPDATE: the
# machine's updates that fail; FAIL_INDEX: the root's one index that fails;
# BROKEN: packages whose install fails as a mirror mid-sync makes it fail;
# WINE32: the version the mirror offers, WINE64 the machine's; FAIL_DOTNET:
# NuGet cannot serve PowerShell.
STAND_IN = f"""#!/bin/bash
echo "${{0##*/}} $*" >>"{WORK}/calls"
case ${{0##*/}}:$1 in
sudo:*) exec "$@" ;;
dotnet:*) [ -z "$FAIL_DOTNET" ] || {{ echo "error NU1101: Unable to find package PowerShell"; exit 1; }} ;;
dpkg-query:*) if [ "$2" = '-f=${{Version}}' ]; then printf %s "$WINE64"
    elif grep -qxF -- "${{@: -1}}" "{WORK}/installed" 2>/dev/null; then printf 'install ok installed'; fi ;;
locale:*) printf 'C.utf8\\nko_KR.utf8\\nja_JP.utf8\\n' ;;
apt-get:indextargets) echo "bookworm http://mirror.example/debian" ;;
apt-cache:-o) echo " wine32 | $WINE32 | http://mirror.example/debian bookworm/main i386 Packages" ;;
apt-get:-o)  # the root's own apt: -o Dir=STATE, four more options, then the action
    cat "${{2#Dir=}}/etc/apt/sources.list" >>"{WORK}/calls"
    if [ "${{11}}" = update ] && [ -n "$FAIL_INDEX" ]; then
        echo "E: Failed to fetch bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (4 != 5)."
        echo "Mirror sync in progress?"; exit 100
    elif [ "${{11}}" = install ] && [[ " $BROKEN " == *" ${{@: -1}} "* ]]; then
        echo "E: Unable to correct problems, you have held broken packages."; exit 100
    elif [ "${{11}}" = install ]; then cp "{WORK}"/debs/*.deb "${{2#Dir=}}/var/cache/apt/archives/"; fi ;;
apt-get:update)
    n=$(grep -c '^apt-get update' "{WORK}/calls")
    if [ "$n" -le "${{FAIL_UPDATE:-0}}" ]; then
        echo "E: Failed to fetch Packages.xz  File has unexpected size (4 != 5). Mirror sync in progress?"; exit 100
    fi ;;
apt-get:install)
    for p in "${{@:5}}"; do
        if [[ " $BROKEN " == *" $p "* ]]; then
            echo " $p : Depends: libc6 but it is not going to be installed"
            echo "E: Unable to correct problems, you have held broken packages."; exit 100
        fi
    done
    printf '%s\\n' "${{@:5}}" >>"{WORK}/installed" ;;
esac
"""
(WORK / "bin/stand-in").write_text(STAND_IN)
(WORK / "bin/stand-in").chmod(0o755)
for tool in ("apt-get", "apt-cache", "dpkg-query", "dpkg", "sudo", "locale", "localedef", "qemu-i386", "dotnet"):
    (WORK / "bin" / tool).symlink_to("stand-in")
# The mirror's packages: the loader, a DLL with a locale beside it, and the
# DLL Wine's builtin zlib1.dll is made from.
for name, version, files in [("wine32", "8.0~repack-4", ["usr/lib/wine/wine", "usr/share/doc/wine32/copyright"]),
                             ("libwine", "8.0~repack-4", ["usr/lib/i386-linux-gnu/wine/i386-windows/user32.dll",
                                                          "usr/share/locale/de/LC_MESSAGES/wine.mo"]),
                             ("libz-mingw-w64", "1.2.13", ["usr/i686-w64-mingw32/lib/zlib1.dll"])]:
    for file in files + ["DEBIAN/control"]:
        (WORK / name / file).parent.mkdir(parents=True, exist_ok=True)
        (WORK / name / file).write_bytes(bytes(range(128)))
    (WORK / name / "DEBIAN/control").write_text(f"Package: {name}\nVersion: {version}\nArchitecture: i386\n"
                                                "Maintainer: test <test@example.org>\nDescription: test\n")
    (WORK / "debs").mkdir(exist_ok=True)
    subprocess.run(["dpkg-deb", "--root-owner-group", "-b", WORK / name, WORK / "debs"], check=True,
                   stdout=subprocess.DEVNULL)

SIZED = "File has unexpected size"
MADE = "--download-only --no-install-recommends wine32=8.0~repack-4\n"
CASES = [  # what, stand-ins' settings, the root before, status, in the output, in the calls, the root after
    ("an update that fails and an install that works", {"FAIL_UPDATE": "3"}, "", 0,
     ["apt-get update failed (try 3 of 3)", "going on with the package lists", "setup: ok"],
     ["apt-get install -y -qq --no-install-recommends cmake ninja-build", " nsis wixl hyperfine\n"], "made"),
    ("an update that fails once", {"FAIL_UPDATE": "1"}, "", 0, ["(try 1 of 3)", "setup: ok"],
     ["apt-get update -qq\napt-get update -qq\napt-get install"], "made"),
    ("an amd64 package cannot be installed", {"BROKEN": "nsis"}, "", 1,
     ["could not install nsis; apt said:", "held broken packages"],
     ["apt-get install -y -qq --no-install-recommends wixl\n"], "made"),
    ("an i386 index that fails", {"FAIL_INDEX": "1"}, "", 0,
     ["lists: apt-get update failed, going on with those it has", SIZED, "3 packages (0 MB), once, in", "setup: ok"],
     [f"install -y -q {MADE}", "deb [arch=i386 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] "
      "http://mirror.example/debian bookworm main\n", "http://deb.debian.org/debian-security bookworm-security"],
     "made"),
    ("a complete root", {}, "complete", 0, ["setup: ok"], [], "kept"),
    ("a half-made root", {}, "half-made", 0, ["i386 is half-made or for another wine64: making it again"], [MADE],
     "made"),
    ("a root for another wine64", {"WINE64": "8.0~repack-3"}, "complete", 1,
     ["making it again", "the mirror offers wine32 8.0~repack-4 (i386), and the machine's wine64 is 8.0~repack-3",
      "must be the same version"], [], "none"),
    ("PowerShell cannot be restored", {"FAIL_DOTNET": "1"}, "complete", 1,
     ["FAILED: dotnet tool restore (PowerShell): error NU1101"], ["dotnet tool restore"], "kept"),
    ("wine32 cannot be downloaded", {"FAIL_INDEX": "1", "BROKEN": "wine32=8.0~repack-4"}, "", 1,
     ["could not download wine32 8.0~repack-4 (i386)", SIZED, "held broken packages"], [MADE], "none"),
]
failed = []
environment = os.environ | {"PATH": f"{WORK}/bin:{os.environ['PATH']}", "XDG_CACHE_HOME": str(WORK / "cache"),
                            "PRNUNINST_SETUP_PAUSE": "0", "WINE32": "8.0~repack-4", "WINE64": "8.0~repack-4"}


def after():
    """What the cache holds: none, the root setup made, or the one it kept."""
    if (ROOT / "old").exists():
        return "kept"
    if "wine32 8.0~repack-4\n" not in ((ROOT / "prnuninst-packages").exists() and
                                       (ROOT / "prnuninst-packages").read_text() or ""):
        return "none"
    dll = ROOT / "usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
    return "made" if (dll.exists() and
                      dll.read_bytes() == bytes(range(64)) + b"Wine builtin DLL" + bytes(16) + bytes(range(96, 128))
                      and os.path.realpath(ROOT / "usr/lib/wine/wine64") == "/usr/lib/wine/wine64" and
                      not (ROOT / "usr/share/doc").exists() and not (ROOT / "usr/share/locale").exists()) else "wrong"


for what, settings, before, status, output, calls, root in CASES:
    for name in ("calls", "installed"):
        (WORK / name).write_text("")
    shutil.rmtree(WORK / "cache", ignore_errors=True)
    if before:
        (ROOT / "usr/lib/wine").mkdir(parents=True)
        (ROOT / "old").write_text("")
    if before == "complete":
        (ROOT / "prnuninst-packages").write_text("libwine 8.0~repack-4\nwine32 8.0~repack-4\n")
    done = subprocess.run([SOURCE / "scripts/setup"], env=environment | settings, capture_output=True, text=True)
    said, made = done.stdout + done.stderr, (WORK / "calls").read_text()
    # The machine's dpkg is never asked for another architecture, nor apt for an i386 package; a
    # root kept asks its own apt nothing.
    if (done.returncode != status or not all(m in said for m in output) or not all(c in made for c in calls)
            or "dpkg " in made or ":i386" in made or after() != root or ("once" in said) != (root == "made")
            or ("Dir=" in made) == (root == "kept")):
        failed.append(what)
        made = "".join(line for line in made.splitlines(True) if not line.startswith("dpkg-query"))
        print(f"setup test: {what}: status {done.returncode}, wanted {status}, root {after()}, wanted {root}:\n"
              f"{said}\ncalls but dpkg-query's:\n{made}")
# Once everything is there, it asks apt nothing.
for _ in range(2):
    (WORK / "calls").write_text("")
    done = subprocess.run([SOURCE / "scripts/setup"], env=environment, capture_output=True)
if done.returncode != 0 or "apt-" in (WORK / "calls").read_text():
    failed.append("everything installed")
# The PE32 runs take the root's loader and libraries, whatever the machine has.
done = subprocess.run([SOURCE / "tests/e2e/wine.sh", "run32", WORK / "prefix", "C.UTF-8", "prog.exe"], env=environment)
if done.returncode != 0 or f"qemu-i386 -L {ROOT} {ROOT}/usr/lib/wine/wine prog" not in (WORK / "calls").read_text():
    failed.append("a PE32 run")
print(f"setup test: {len(CASES) + 2} cases: " + (f"FAILED: {', '.join(failed)}" if failed else "passed"))
sys.exit(1 if failed else 0)
