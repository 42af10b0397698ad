"""What scripts/release and scripts/verify-release share: the checkout, the
fresh build of the deliverable, and running the tools they rely on."""
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


class Failure(Exception):
    """A reason the tool stops; main() prints it after the tool's name."""


def run(command, *, input_text=None, check=False):
    """Runs a program (never through a shell) and returns its status and
    output, standard error folded in."""
    done = subprocess.run(command, input=input_text, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace", cwd=ROOT)
    if check and done.returncode != 0:
        raise Failure(f"{command[0]} failed")
    return done.returncode, done.stdout


def build(folder):
    """Builds the win32 preset from scratch in FOLDER (relative to the
    checkout) and returns the image's path. scripts/build shows its log when
    it fails."""
    if subprocess.run([ROOT / "scripts/build", "--fresh-in", str(folder), "win32"], cwd=ROOT).returncode != 0:
        raise Failure("the build failed")
    return ROOT / folder / "prnuninst.exe"


def main(tool, body):
    """Runs BODY() and turns a Failure into "TOOL: reason" and status 1."""
    try:
        sys.exit(body())
    except Failure as failure:
        print(f"{tool}: {failure}", file=sys.stderr)
        sys.exit(1)
