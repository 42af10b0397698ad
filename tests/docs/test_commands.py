#!/usr/bin/python3
"""The commands docs/models.md gives for a maker's own table, run as written
for two tables: models/example-modern.toml (code page 1252) and a table of
code page 1251 with drivers (tests/docs/vektor-1251.toml), each in the place
of models/mine.toml; a command that comes out the same for both runs once;
"git" lines are left to the user (the tables here are committed). Each must
exit 0; the first that does not fails the test with its output. A dist/
that was there before is kept aside and put back.
  test_commands.py SOURCE_DIR
"""
import re
import shutil
import subprocess
import sys
from pathlib import Path

SOURCE = Path(sys.argv[1]).resolve()
TABLES = ["models/example-modern.toml", "tests/docs/vektor-1251.toml"]


def documented():
    """The guide's command lines: indented code, without their comments."""
    text = (SOURCE / "docs/models.md").read_text(encoding="utf-8")
    return [re.sub(r"\s+#.*$", "", line.strip()) for line in text.splitlines()
            if re.match(r"    (scripts/|cmake )", line)]


def main():
    # The commands write dist/ as written: a maker's own releases there are
    # kept aside and put back.
    kept = SOURCE / "dist.kept-by-docs-test"
    if (SOURCE / "dist").exists():
        (SOURCE / "dist").rename(kept)
    try:
        return run_all()
    finally:
        shutil.rmtree(SOURCE / "dist", ignore_errors=True)
        if kept.exists():
            kept.rename(SOURCE / "dist")
        # The demo's Wine machine (over a gigabyte), whatever ran last.
        subprocess.run([SOURCE / "scripts/demo", "--clean"], cwd=SOURCE, stdout=subprocess.DEVNULL)


def run_all():
    ran, commands = set(), documented()
    for table in TABLES:
        name = Path(table).stem
        for command in commands:
            command = command.replace("models/mine.toml", table).replace("mine", name)
            if command in ran:
                continue
            ran.add(command)
            print(f"docs: {command}", flush=True)
            done = subprocess.run(["bash", "-c", command], cwd=SOURCE, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            if done.returncode != 0:
                output = done.stdout.decode(errors="replace").splitlines()
                print("\n".join(output[-40:]))
                print(f"docs: FAILED: '{command}' exited {done.returncode}, as written in docs/models.md")
                return 1
    print(f"docs: {len(ran)} commands of docs/models.md ran as written for {', '.join(TABLES)}")
    return 0


sys.exit(main())
