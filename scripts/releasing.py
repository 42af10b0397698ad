"""What scripts/release and scripts/verify-release share: the checkout, what a
release holds and where each part comes from (its page of models and its
fleet kit included), the fresh build of both programs, the writers of the zip,
of an exe's certificate table and of a script's signature block, and running
the tools they rely on. verify-release checks a release by writing it again
with these, so that both always make the same bytes."""
import argparse
import functools
import hashlib
import importlib.util
import io
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

import pefile
from asn1crypto import cms

ROOT = Path(__file__).resolve().parent.parent
DEFAULT_MODELS = ROOT / "models/default.toml"
# The programs of a release, built together from one table: the remover and
# its read-only check.
EXES = ("prnuninst.exe", "prncheck.exe")
# Far above what any part of a release needs, so that no input makes a tool
# read gigabytes: an exe or a script is about 7 KiB signed, the largest guide
# about 60 KiB.
EXE_LIMIT = 1 << 20
PAPER_LIMIT = 4 << 20
SUMS = "SHA256SUMS"
SECURITY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]
# The zip's earliest date: an entry's date is the one field that would
# otherwise come from the clock.
ZIP_DATE = (1980, 1, 1, 0, 0, 0)
# What an installer author reads and copies, at the paths the README's links use.
PAPERS = ["README.md", "CHANGELOG.md", *sorted(p.relative_to(ROOT).as_posix() for p in ROOT.glob("docs/*.md"))]
# The installer examples call this selector: they go into the zip of a table
# that has it. Elsewhere they would remove nothing and exit 0, silently.
EXAMPLES = ["examples/nsis/remove-model.nsi", "examples/wix/remove-model.wxs"]
EXAMPLE_SELECTOR = "4"
# The generated page of the table's models.
PAGE = "MODELS.md"
# The scripts administrators deploy, as scripts/fleet-kit makes them for the
# table. The release signs its PowerShell scripts with the exes; a batch file
# cannot carry a signature.
FLEET = "fleet/"
SCRIPT_BLOCK = b"\r\n# SIG # Begin signature block\r\n"


class Failure(Exception):
    """A reason the tool stops; main() prints it after the tool's name."""


def run(command, *, input_bytes=None):
    """Runs a program (never through a shell) and returns its status and
    output, standard error folded in."""
    done = subprocess.run(command, input=input_bytes, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, cwd=ROOT)
    return done.returncode, done.stdout.decode(errors="replace")


def read_limited(path, limit, what):
    """The bytes of a regular file of at most LIMIT bytes."""
    if not os.path.lexists(path):
        raise Failure(f"cannot find {what} {path}")
    if not os.path.isfile(path):
        raise Failure(f"{what} {path} is not a file")
    try:
        with open(path, "rb") as file:
            data = file.read(limit + 1)
    except OSError as error:
        raise Failure(f"cannot read {what} {path}: {error.strerror}") from error
    if len(data) > limit:
        raise Failure(f"{what} {path} is larger than {limit} bytes")
    return data


class Table:
    """A model table as read once: the build, the zip and the check all use
    these bytes, never the file again. NAME is safe as a file name anywhere
    (the same rule as scripts/build's, byte for byte): it names the table in
    the zip, and SUFFIX the zip and the build folder ("" for the default)."""

    def __init__(self, given=None):
        # Resolved as scripts/build's realpath does, so that both derive one name.
        path = Path(given).resolve() if given is not None else DEFAULT_MODELS
        self.data = read_limited(path, PAPER_LIMIT, "the model table")
        self.name = safe_name(path.name)
        stem = path.name[:-5] if path.name.endswith(".toml") and len(path.name) > 5 else path.name
        self.suffix = "" if path == DEFAULT_MODELS else f"-{safe_name(stem)}"
        self.shown = path.name


def safe_name(name):
    """Every byte outside [A-Za-z0-9._-] as "_": no separator, no control."""
    return re.sub(rb"[^A-Za-z0-9._-]", b"_", os.fsencode(name)).decode("ascii")


def version_number():
    found = re.search(r"^project\(prnuninst VERSION ([0-9.]+) ", (ROOT / "CMakeLists.txt").read_text(), re.M)
    if not found:
        raise Failure("CMakeLists.txt's project() gives no VERSION")
    return found.group(1)


def signs(name):
    """Whether a signed release signs this entry of its zip."""
    return name in EXES or (name.startswith(FLEET) and name.endswith(".ps1"))


def deployed(name):
    """What an administrator takes out of the zip and deploys: SHA256SUMS lists it."""
    return name in EXES or name.startswith(FLEET)


def contents(table, number):
    """What scripts/release puts in the zip, in this order: each entry's name
    and its bytes (None for an exe, which is built; an exe and a script are
    then signed when the release is)."""
    reader, read = described(table)
    examples = EXAMPLE_SELECTOR in [model[0] for model in read.models]
    for example in EXAMPLES:
        if f"/f{EXAMPLE_SELECTOR}".encode() not in (ROOT / example).read_bytes():
            raise Failure(f"{example} no longer calls /f{EXAMPLE_SELECTOR}: set EXAMPLE_SELECTOR in "
                          "scripts/releasing.py to the selector it calls")
    entries = {exe: None for exe in EXES}
    entries[f"models/{table.name}"] = table.data
    entries[PAGE] = page(table, number, reader, read, examples).encode()
    for paper in PAPERS + (EXAMPLES if examples else []):
        entries[paper] = (ROOT / paper).read_bytes()
    return entries | kit(table)


def kit(table):
    """{zip entry: bytes} of the fleet kit scripts/fleet-kit makes for the
    table's bytes, so that the scripts name its programs' folder and models."""
    with tempfile.TemporaryDirectory() as folder:
        copy, out = Path(folder) / table.name, Path(folder) / "fleet"
        copy.write_bytes(table.data)
        status, output = run([ROOT / "scripts/fleet-kit", "--models", copy, out])
        if status != 0:
            raise Failure(f"scripts/fleet-kit makes no kit for {table.shown}: {output.strip()}")
        return {FLEET + path.relative_to(out).as_posix(): path.read_bytes()
                for path in sorted(out.rglob("*")) if path.is_file()}


def described(table):
    """cmake/models.py and the table as it reads it for the build: one reader,
    so that the page describes the models the programs were built with."""
    located = importlib.util.spec_from_file_location("prnuninst_models", ROOT / "cmake/models.py")
    reader = importlib.util.module_from_spec(located)
    located.loader.exec_module(reader)
    with tempfile.TemporaryDirectory() as folder:
        copy = Path(folder) / table.name
        copy.write_bytes(table.data)
        read = reader.load(copy)
    if read.faults:
        raise Failure(f"the model table {table.shown} does not build: "
                      f"{read.faults[0].replace(str(copy), table.shown)}")
    return reader, read


def page(table, number, reader, read, examples):
    """The zip's page of the table's models: the table of keys, in order, and
    queues that cmake/models.py makes, then the drivers and packages."""
    first = read.models[0][0]
    if read.registry_view == 64:
        view = "Every key is deleted in the 64-bit registry view on 64-bit Windows (`registry_view = 64`)."
    else:
        view = ("Every key is deleted in the registry view of a 32-bit program: on 64-bit Windows, a key under "
                "`SOFTWARE` is the one under `SOFTWARE\\WOW6432Node`.")
    lines = [f"# prnuninst {number}, built from the model table models/{table.name} (code page {read.code_page})",
             "",
             f"`prnuninst.exe /f<N>` removes model N of this table, and `prncheck.exe /f<N>` lists what of it is "
             f"still there. The table is in this zip as `models/{table.name}`; the programs know no other models."
             + ("" if not table.suffix else " The models in README.md are those of the default table, "
                                            "`models/default.toml`, not of this build."),
             "", reader.keys_table(read), "", view]
    if any(model[3] for model in read.models):
        lines += ["", "| N | printer drivers removed, with every local queue that uses them, in every environment "
                      "| driver packages deleted (INF file names) |", "|---|---|---|"]
        lines += [f"| {selector} | {', '.join(f'`{d}`' for d in drivers or []) or 'none'} | "
                  f"{', '.join(f'`{p}`' for p in packages or []) or 'none'} |"
                  for selector, _, _, drivers, packages, *_ in read.models]
    examples_where = "`examples/nsis/remove-model.nsi` and `examples/wix/remove-model.wxs`"
    lines += ["", f"`fleet/` holds the fleet kit for this table (see `docs/fleet.md`): its scripts "
                  f"use the programs' folder `Program Files\\{read.programs_folder}`, and `fleet/win32app/` has the "
                  "Win32 app's detection scripts for each model. In a signed release each `.ps1` carries the "
                  "release's Authenticode signature; the `.cmd` files cannot."]
    if examples:
        lines += ["", f"The installer examples, {examples_where}, call `/f{EXAMPLE_SELECTOR}`, model "
                      f"{EXAMPLE_SELECTOR} of this table: for another model, change it to that model's selector."]
    else:
        lines += ["", f"The installer examples of prnuninst, {examples_where} in the source of prnuninst {number}, "
                      f"call `/f{EXAMPLE_SELECTOR}`, which this table does not have: as they are, they would remove "
                      "nothing and exit 0. So this zip leaves them out. Take them from the source and change "
                      f"`/f{EXAMPLE_SELECTOR}` to your model's selector, e.g. `/f{first}`."]
    return "\n".join(lines) + "\n"


def zip_entry(name):
    """An entry's header as the release writes it: stored (deflate's output
    could change with the zlib version), a fixed date, Unix mode 0644."""
    info = zipfile.ZipInfo(name, ZIP_DATE)
    info.create_system, info.external_attr, info.compress_type = 3, 0o644 << 16, zipfile.ZIP_STORED
    return info


def archive(entries, given):
    """The release zip, in memory: ENTRIES (from contents()) with the bytes
    GIVEN has for an entry (each exe, a signed script) in place of its own.
    Its bytes depend only on those: no time, user or folder."""
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w") as bundle:
        for name, content in entries.items():
            bundle.writestr(zip_entry(name), given[name] if name in given else content)
    return data.getvalue()


def osslsigncode(command, name, data, *options, signature=None, secret=None):
    """osslsigncode COMMAND on DATA, in a file named as NAME ends (by which it
    tells a script's kind), with the DER SIGNATURE as its -sigin; its status,
    report and the bytes it wrote (None when it wrote none)."""
    with tempfile.TemporaryDirectory() as folder:
        given, out, sigin = (Path(folder) / f"{part}{Path(name).suffix}" for part in ("in", "out", "signature"))
        given.write_bytes(data)
        if signature is not None:
            sigin.write_bytes(signature)
            options += ("-sigin", sigin)
        options += ("-in", given) if command == "verify" else ("-in", given, "-out", out)
        status, report = run(["osslsigncode", command, *options], input_bytes=secret)
        return status, report, out.read_bytes() if out.exists() else None


@functools.cache
def script_signing():
    """Refuses an osslsigncode that cannot sign or read a PowerShell script's
    signature: 2.8 was the first that can. Debian 12's own is 2.5."""
    status, report = run(["osslsigncode", "--version"])
    found = re.match(r"osslsigncode (\d+)\.(\d+)", report)
    if status != 0 or not found or (int(found[1]), int(found[2])) < (2, 8):
        raise Failure(f"osslsigncode {found[1] + '.' + found[2] if found else '(of no version it says)'} cannot sign "
                      "or check PowerShell scripts: install 2.8 or later (on Debian 12, from bookworm-backports)")


def signature_of(name, data):
    """The DER of the signature of the exe or script NAME (None when it has
    none): the signature alone, without whatever else holds it."""
    if name.endswith(".ps1"):
        if SCRIPT_BLOCK not in data:
            return None
        script_signing()
        status, report, der = osslsigncode("extract-signature", name, data)
        if status != 0 or der is None:
            raise Failure(f"the signature block of {name} is damaged: osslsigncode cannot read it ({reason(report)})")
        return der
    try:
        entry = pefile.PE(data=data, fast_load=True).OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
    except pefile.PEFormatError as error:
        raise Failure(f"the exe is not a Windows executable ({error.value})") from error
    if entry.VirtualAddress == 0:
        return None
    if entry.VirtualAddress + entry.Size > len(data):
        raise Failure(f"the exe is cut short: its certificate table ends at {entry.VirtualAddress + entry.Size}, "
                      f"the file at {len(data)}")
    try:
        return cms.ContentInfo.load(data[entry.VirtualAddress + 8:entry.VirtualAddress + entry.Size]).dump()
    except ValueError as error:
        raise Failure(f"the exe's signature is damaged ({error})") from error


def reason(report):
    """osslsigncode's last line of a report but its verdict."""
    return next((line.strip() for line in reversed(report.splitlines()) if line.strip() not in ("", "Failed")),
                "it gives no reason")


def attached(name, unsigned, signature):
    """The exe or script NAME, UNSIGNED, signed with the DER SIGNATURE (as it
    is for None). A script's block is osslsigncode's own: attach-signature
    writes it, then checks the file against -CAfile (the system's roots when
    none is given) and exits 1 when that fails, with the file written. Both
    tools check the signature themselves: only a file not written is a fault."""
    if signature is None:
        return unsigned
    if not name.endswith(".ps1"):
        return attach(unsigned, signature)
    _, report, signed = osslsigncode("attach-signature", name, unsigned, signature=signature)
    if signed is None:
        raise Failure(f"osslsigncode cannot attach the signature of {name} ({reason(report)})")
    return signed


def attach(image, signature):
    """IMAGE signed with the DER SIGNATURE, as osslsigncode 2.9 writes it (and
    as every release is written, whichever version signed it): the image
    padded to 8 bytes, one WIN_CERTIFICATE (revision 2.0, PKCS#7) padded with
    zeros to 8 bytes, its directory entry, and the header checksum."""
    image += bytes(-len(image) % 8)
    padded = signature + bytes(-len(signature) % 8)
    table = struct.pack("<IHH", 8 + len(padded), 0x200, 2) + padded
    pe = pefile.PE(data=image + table, fast_load=True)
    entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY]
    entry.VirtualAddress, entry.Size = len(image), len(table)
    pe = pefile.PE(data=pe.write(), fast_load=True)
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    return bytes(pe.write())


def zip_stem(number, table):
    return f"prnuninst-{number}{table.suffix}-win32"


def sums_lines(stem, zipped, files, images, table):
    """SHA256SUMS' lines of one release: the zip, each exe and fleet file of
    FILES ({entry: bytes}) as unzip -d STEM puts it, and each unsigned image
    of IMAGES where scripts/build puts that table's."""
    return {f"{stem}.zip": sha256(zipped), **{f"{stem}/{name}": sha256(data) for name, data in files.items()},
            **{image_name(name, table): sha256(data) for name, data in images.items()}}


def image_name(exe, table):
    return f"build/win32{table.suffix}/{exe}"


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def read_sums(path):
    """A SHA256SUMS file as {name: digest}; a line of another form is a fault.
    Lines end at "\n" only, as sha256sum reads them: a name that other line
    breaks (U+2028, a form feed, ...) would split is refused with the rest."""
    sums = {}
    text = read_limited(path, 1 << 20, "the checksum file").decode(errors="replace")
    for n, line in enumerate(text.removesuffix("\n").split("\n"), 1):
        line = line.removesuffix("\r")
        found = re.fullmatch(r"([0-9a-f]{64}) [ *]([^\x00-\x1f\x7f-\x9f\u2028\u2029\ufffd]+)", line)
        if not found or found.group(2) in sums:
            raise Failure(f"{path}: line {n} is not \"<sha256>  <name>\" of a name not listed before")
        sums[found.group(2)] = found.group(1)
    return sums


def build(work, table):
    """Builds the win32 preset from scratch in WORK/build from the table's
    bytes (written to WORK, under its safe name) and returns {exe: image}.
    scripts/build shows its log (a bad table's faults included) when it fails."""
    # Apart from the build folder, whatever the table's name ("build" too).
    (ROOT / work / "table").mkdir(parents=True, exist_ok=True)
    copy = ROOT / work / "table" / table.name
    copy.write_bytes(table.data)
    command = [ROOT / "scripts/build", "--fresh-in", str(work / "build"), "--models", copy, "win32"]
    if subprocess.run(command, cwd=ROOT).returncode != 0:
        raise Failure("the build failed")
    return {name: (ROOT / work / "build" / name).read_bytes() for name in EXES}


def parser(description):
    """Options in any order, with --help: the usage is the script's own text."""
    return argparse.ArgumentParser(description=description, formatter_class=argparse.RawDescriptionHelpFormatter)


def main(tool, body):
    """Runs BODY() and turns a Failure into "TOOL: reason" and status 1."""
    try:
        sys.exit(body())
    except Failure as failure:
        print(f"{tool}: {failure}", file=sys.stderr)
        sys.exit(1)
