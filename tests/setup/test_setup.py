#!/usr/bin/python3
"""scripts/setup against stand-ins for apt-get, dpkg-query, dpkg, sudo and the
locale tools on PATH (nothing on the machine changes): each case's mirror, and
the status, the output and the apt-get calls it must give.
  test_setup.py SOURCE_DIR WORK_DIR
"""
import os
import shutil
import subprocess
import sys
from pathlib import Path

SOURCE, WORK = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
shutil.rmtree(WORK, ignore_errors=True)
(WORK / "bin").mkdir(parents=True)
# One stand-in for every tool, by the name it is called by. FAIL_UPDATE: the
# updates that fail; BROKEN: packages whose install fails as a mirror
# mid-sync makes it fail.
STAND_IN = f"""#!/bin/bash
echo "${{0##*/}} $*" >>"{WORK}/calls"
case ${{0##*/}}:$1 in
sudo:*) exec "$@" ;;
dpkg-query:*) grep -qxF -- "${{@: -1}}" "{WORK}/installed" 2>/dev/null && printf 'install ok installed' ;;
dpkg:--print-foreign-architectures) echo i386 ;;
locale:*) printf 'C.utf8\\nko_KR.utf8\\nja_JP.utf8\\n' ;;
apt-get:update)
    n=$(grep -c '^apt-get update' "{WORK}/calls")
    if [ "$n" -le "${{FAIL_UPDATE:-0}}" ]; then
        echo "E: Failed to fetch Packages.xz  File has unexpected size (4 != 5). Mirror sync in progress?"; exit 100
    fi ;;
apt-get:install)
    for p in "${{@:5}}"; do
        if [[ " $BROKEN " == *" $p "* ]]; then
            echo " $p : Depends: libwine:i386 but it is not going to be installed"
            echo "E: Unable to correct problems, you have held broken packages."; exit 100
        fi
    done
    printf '%s\\n' "${{@:5}}" >>"{WORK}/installed" ;;
esac
"""
(WORK / "bin/stand-in").write_text(STAND_IN)
(WORK / "bin/stand-in").chmod(0o755)
for tool in ("apt-get", "dpkg-query", "dpkg", "sudo", "locale", "localedef"):
    (WORK / "bin" / tool).symlink_to("stand-in")

CASES = [  # what, updates that fail, broken packages, status, in the output, in the calls
    ("an update that fails and an install that works", 3, "", 0,
     ["apt-get update failed (try 3 of 3)", "going on with the package lists", "setup: ok"],
     ["apt-get install -y -qq --no-install-recommends wine32:i386\n", " nsis wixl hyperfine\n"]),
    ("an update that fails once", 1, "", 0, ["(try 1 of 3)", "setup: ok"],
     ["apt-get update -qq\napt-get update -qq\napt-get install"]),
    ("only the 32-bit Wine cannot be installed", 3, "wine32:i386", 3,
     ["could not install wine32:i386; apt said:", "Mirror sync in progress?", "held broken packages",
      "wine32:i386 : Depends:", "run scripts/setup again", "only the 32-bit Wine is missing"],
     [" nsis wixl hyperfine\n"]),
    ("an amd64 package cannot be installed", 0, "nsis", 1,
     ["could not install nsis; apt said:", "held broken packages"], ["apt-get install -y -qq --no-install-recommends wixl\n"]),
]
failed = []
for what, fail_update, broken, status, output, calls in CASES:
    for name in ("calls", "installed"):
        (WORK / name).write_text("")
    environment = os.environ | {"PATH": f"{WORK}/bin:{os.environ['PATH']}", "FAIL_UPDATE": str(fail_update),
                                "BROKEN": broken, "PRNUNINST_SETUP_PAUSE": "0"}
    done = subprocess.run([SOURCE / "scripts/setup"], env=environment, capture_output=True, text=True)
    said, made = done.stdout + done.stderr, (WORK / "calls").read_text()
    if done.returncode != status or not all(m in said for m in output) or not all(c in made for c in calls):
        failed.append(what)
        print(f"setup test: {what}: status {done.returncode}, wanted {status}:\n{said}\ncalls:\n{made}")
# Once everything is there, it asks apt nothing.
for _ in range(2):
    (WORK / "calls").write_text("")
    done = subprocess.run([SOURCE / "scripts/setup"], env=environment | {"BROKEN": ""}, capture_output=True)
if done.returncode != 0 or "apt-get" in (WORK / "calls").read_text():
    failed.append("everything installed")
print(f"setup test: {len(CASES) + 1} cases: " + (f"FAILED: {', '.join(failed)}" if failed else "passed"))
sys.exit(1 if failed else 0)
