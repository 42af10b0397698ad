"""What scripts/release and scripts/verify-release share: the checkout, the
fresh build of the deliverable, and running the tools they rely on."""
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


class Failure(Exception):
    """A reason the tool stops; main() prints it after the tool's name."""


def run(command, *, input_text=None):
    """Runs a program (never through a shell) and returns its status and
    output, standard error folded in."""
    done = subprocess.run(command, input=input_text, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace", cwd=ROOT)
    return done.returncode, done.stdout


DEFAULT_MODELS = ROOT / "models/default.toml"


def models_option(given):
    """The model table --models names, which must exist."""
    table = Path(given).resolve()
    if not table.is_file():
        raise Failure(f"cannot find the model table {given}")
    return table


def build(folder, models=DEFAULT_MODELS):
    """Builds the win32 preset from scratch in FOLDER (relative to the
    checkout) from the model table and returns the image's path.
    scripts/build shows its log (a bad table's faults included) when it fails."""
    command = [ROOT / "scripts/build", "--fresh-in", str(folder), "--models", str(models), "win32"]
    if subprocess.run(command, cwd=ROOT).returncode != 0:
        raise Failure("the build failed")
    return ROOT / folder / "prnuninst.exe"


def main(tool, body):
    """Runs BODY() and turns a Failure into "TOOL: reason" and status 1."""
    try:
        sys.exit(body())
    except Failure as failure:
        print(f"{tool}: {failure}", file=sys.stderr)
        sys.exit(1)
