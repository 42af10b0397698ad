#!/usr/bin/python3
"""Releases, round trip, with throwaway code-signing certificates made here
(nothing secret is committed): a dist/ the release would damage, and a bad
password, are refused before the build and change nothing; a signed release
(its password with a non-UTF-8 byte, kept out of every build's environment)
and one of the example 932 table (from a folder named with "\\", ";" and a
line break, signed with an empty password) share one SHA256SUMS and check
OK, each with both programs and its own table's fleet/*.ps1 signed and a page
of its own table's models (and the installer examples only where the table has
their selector); then each tampered release in one table must fail with its
message.
  test_release.py SOURCE_DIR WORK_DIR
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import warnings
import zipfile
from pathlib import Path

SOURCE, WORK = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
sys.path.insert(0, str(SOURCE / "scripts"))
from releasing import EXAMPLES, EXES, version_number, zip_entry  # noqa: E402  (tampered zips as the release writes them)
shutil.rmtree(WORK, ignore_errors=True)
(WORK / "bin").mkdir(parents=True)
os.chdir(WORK)
PASSWORD = b"throwaway-\xff" + os.urandom(6).hex().encode()
VERSION = version_number()
STEM, (EXE, CHECK) = f"prnuninst-{VERSION}-win32", EXES
failed = []
warnings.simplefilter("ignore")  # zipfile's warning for a name written twice, as some cases do


def run(tool, *arguments, password=None, env=()):
    environment = {k: v for k, v in os.environb.items() if k != b"PRNUNINST_SIGN_PASSWORD"} | dict(env)
    if password is not None:
        environment[b"PRNUNINST_SIGN_PASSWORD"] = password
    command = [SOURCE / "scripts" / tool if tool != "osslsigncode" else tool, *map(str, arguments)]
    done = subprocess.run(command, env=environment, input=password, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout.decode(errors="replace")


def expect(what, result, message, status=1):
    if result[0] != status or message not in result[1] or "Traceback" in result[1]:
        failed.append(what)
        print(f"release test: {what}: status {result[0]}, wanted {status} and {message!r}:\n{result[1]}")


def openssl(*arguments):
    subprocess.run(["openssl", *arguments], check=True, stderr=subprocess.DEVNULL, env=os.environb | {b"P": PASSWORD})


for name, subject in (("root", "prnuninst test signer"), ("intruder", "intruder")):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.pem", "-days",
            "2", "-subj", f"/CN={subject}", "-addext", "extendedKeyUsage=codeSigning")
openssl("pkcs12", "-export", "-in", "root.pem", "-inkey", "root.key", "-out", "signer.pfx", "-passout", "env:P")
for name, key in (("empty", "root"), ("intruder", "intruder")):
    openssl("pkcs12", "-export", "-in", f"{key}.pem", "-inkey", f"{key}.key", "-out", f"{name}.pfx", "-passout",
            "pass:")
# Every cmake the builds start writes its environment down.
(WORK / "bin/cmake").write_text(f'#!/bin/sh\nenv >>"{WORK}/cmake.env"\nexec /usr/bin/cmake "$@"\n')
(WORK / "bin/cmake").chmod(0o755)
SPY = {b"PATH": f"{WORK}/bin:".encode() + os.environb[b"PATH"]}

Path("a-file").write_text("kept\n")
Path(f"clash/{STEM}.zip").mkdir(parents=True)
Path("kept").mkdir()
Path("kept/SHA256SUMS").write_text(f"{'0' * 64}  other.zip\n")
Path("bad.toml").write_text("code_page = 1252\n")
REFUSED = [  # what, the options, the password, the message
    ("a wrong password", ["--sign", "signer.pfx", "--out", "refused"], b"wrong", "wrong password"),
    ("no password", ["--sign", "signer.pfx", "--out", "refused"], None, "set PRNUNINST_SIGN_PASSWORD"),
    ("a line break in the password", ["--out", "refused", "--sign", "signer.pfx"], PASSWORD + b"\n", "a line break"),
    ("--out naming a file", ["--out", "a-file"], None, "is not a folder"),
    ("a folder by the zip's name", ["--out", "clash"], None, f"clash/{STEM}.zip is there and is not a plain file"),
    ("--out inside the release's work", ["--out", SOURCE / "build/release/x"], None, "inside build/release"),
    ("--timestamp without --sign", ["--timestamp", "http://localhost/"], None, "--timestamp needs --sign"),
    ("a table that does not build", ["--models", "bad.toml", "--out", "kept"], None, "release: the build failed"),
]
for what, arguments, password, message in REFUSED:
    expect(what, run("release", *arguments, password=password), message)
if os.path.lexists("refused") or Path("a-file").read_text() != "kept\n" or not Path(f"clash/{STEM}.zip").is_dir() \
        or os.listdir("kept") != ["SHA256SUMS"] or Path("kept/SHA256SUMS").read_text() != f"{'0' * 64}  other.zip\n":
    failed.append("a refused release changed what was there")
for tool in ("release", "verify-release", "bench"):
    expect(f"{tool} --help", run(tool, "--help"), "usage:", status=0)

# The two releases into one dist/, options in any order.
signed = run("release", "--sign", "signer.pfx", "--out", "dist", password=PASSWORD, env=SPY)
expect("the signed release", signed, "release: ", status=0)
odd = WORK / "odd\\folder;x\ny"
odd.mkdir()
shutil.copy(SOURCE / "models/example-932.toml", odd)
other = run("release", "--out", "dist", "--models", odd / "example-932.toml", "--sign", "empty.pfx", password=b"")
expect("the signed release of the 932 table from an odd folder, with an empty password", other, "release: ", status=0)
ZIP, ZIP932 = Path(f"dist/{STEM}.zip"), Path(f"dist/prnuninst-{VERSION}-example-932-win32.zip")
seen = [PASSWORD in (file.read_bytes() if file.is_file() else b"") for folder in ("dist", SOURCE / "build/release")
        for file in Path(folder).rglob("*")] + [PASSWORD.decode(errors="replace") in signed[1] + other[1]]
if any(seen) or b"PRNUNINST_SIGN_PASSWORD" in Path("cmake.env").read_bytes():
    failed.append("the password shows in the output, in a file or in a build's environment")
sums = Path("dist/SHA256SUMS").read_text().splitlines()
for stem in (ZIP.stem, ZIP932.stem):
    subprocess.run(["unzip", "-q", f"{stem}.zip", "-d", stem], cwd="dist", check=True)
KIT = {path.stem: [n for n in zipfile.ZipFile(path).namelist() if n.startswith("fleet/")] for path in (ZIP, ZIP932)}
listed = [name for zip_file in (ZIP, ZIP932)
          for name in (zip_file.name, *(f"{zip_file.stem}/{file}" for file in EXES + tuple(KIT[zip_file.stem])))]
if len(sums) != len(listed) + 4 or not all(f"  {name}" in "\n".join(sums) for name in listed) or \
        subprocess.run(["sha256sum", "--quiet", "-c", "--ignore-missing", "SHA256SUMS"], cwd="dist").returncode:
    failed.append(f"SHA256SUMS does not list both releases, each with its two exes, fleet files and images:\n{sums}")
for stem in (ZIP.stem, ZIP932.stem):
    for name in EXES + tuple(n for n in KIT[stem] if n.endswith(".ps1")):
        expect(f"osslsigncode's own check of {stem}/{name}", run("osslsigncode", "verify", "-CAfile", "root.pem", "-in",
               f"dist/{stem}/{name}"), "Signature verification: ok", status=0)
SHIPPED = [  # the zip, the table its page names, its selectors, the examples' selector (None: left out)
    (ZIP, "models/default.toml (code page 949)", "1234", "4"),
    (ZIP932, "models/example-932.toml (code page 932)", "K7", None),
]
for path, table, selectors, example in SHIPPED:
    with zipfile.ZipFile(path) as bundle:
        names, page = bundle.namelist(), bundle.read("MODELS.md").decode()
    calls = [f"/f{example}".encode() in Path(f"dist/{path.stem}/{name}").read_bytes() for name in EXAMPLES
             if name in names]
    if page.splitlines()[0] != f"# prnuninst {VERSION}, built from the model table {table}" \
            or "".join(dict.fromkeys(re.findall(r"^\| (\w) \| `", page, re.M))) != selectors \
            or (calls != [True] * len(EXAMPLES) if example else calls or f"e.g. `/f{selectors[0]}`" not in page):
        failed.append(f"{path.name}: a page that misdescribes {table} or the examples:\n{page}")
for doc in ("docs/releases.md", "docs/models.md"):  # the verify command as written, from the checkout's root
    if any(" prnuninst-" in line for line in (SOURCE / doc).read_text().splitlines() if "verify-release " in line):
        failed.append(f"{doc} names a release zip without dist/ in a verify-release command")
expect("the signed release", run("verify-release", ZIP, "--ca", "root.pem"),
       "signed:     yes, by CN=prnuninst test signer", status=0)
expect("the 932 release", run("verify-release", "--models", odd / "example-932.toml", ZIP932), "OK", status=0)
# The same commit released from another folder: the same zip, and it checks OK here.
shutil.copytree(SOURCE, "elsewhere",
                ignore=lambda at, names: {"build", ".git", "dist"} & set(names) if at == str(SOURCE) else [])
expect("a release from another folder", run(WORK / "elsewhere/scripts/release", "--out", "plain"), "release: ", 0)
expect("the same from this one", run("release", "--out", "mine"), "release: ", status=0)
if Path(f"plain/{STEM}.zip").read_bytes() != Path(f"mine/{STEM}.zip").read_bytes():
    failed.append("two checkout folders give two zips")
expect("the unsigned release", run("verify-release", f"plain/{STEM}.zip"), "signed:     no", status=0)
with zipfile.ZipFile(f"plain/{STEM}.zip") as bundle:
    PLAIN = {name: bundle.read(name) for name in bundle.namelist() if name.endswith(".ps1")}
SCRIPT = "fleet/intune/Detect-PrinterModels.ps1"
if len(PLAIN) != 13 or any(b"# SIG # Begin signature block" in data for data in PLAIN.values()):
    failed.append("the unsigned release's scripts are not its thirteen unsigned scripts")
expect("the unsigned exe", run("verify-release", SOURCE / "build/release/build" / EXE), "OK", status=0)

# The tampered cases, each from the good release's parts.
with zipfile.ZipFile(ZIP) as bundle:
    GOOD = [(name, bundle.read(name)) for name in bundle.namelist()]
    exe = bundle.read(EXE)
with zipfile.ZipFile(ZIP932) as bundle:
    exe932, GOOD932 = bundle.read(EXE), [(name, bundle.read(name)) for name in bundle.namelist()]
with zipfile.ZipFile(f"mine/{STEM}.zip") as bundle:
    check_image = bundle.read(CHECK)
DIRECTORY = struct.unpack_from("<I", exe, 0x3C)[0] + 24 + 96 + 4 * 8  # the certificate table's entry
start, size = struct.unpack_from("<II", exe, DIRECTORY)
der_end = start + 8 + 4 + int.from_bytes(exe[start + 10:start + 12], "big")


def made(name, data):
    Path("cases").mkdir(exist_ok=True)
    (WORK / "cases" / name).write_bytes(data)
    return WORK / "cases" / name


def zipped(name, entries, relabel=None):
    """A zip of ENTRIES ((name or ZipInfo, bytes)); RELABEL = (entry, field
    offset in the local header, in the central one, value) rewrites a field."""
    path = made(f"{name}.zip", b"")
    with zipfile.ZipFile(path, "w") as bundle:
        for entry, data in entries:
            bundle.writestr(entry if isinstance(entry, zipfile.ZipInfo) else zip_entry(entry), data)
    if relabel:
        entry, local, central, value = relabel
        data = bytearray(path.read_bytes())
        with zipfile.ZipFile(path) as bundle:
            struct.pack_into("<H", data, bundle.getinfo(entry).header_offset + local, value)
        at = data.index(b"PK\x01\x02")
        while data[at + 46:at + 46 + len(entry)] != entry.encode():
            at = data.index(b"PK\x01\x02", at + 4)
        struct.pack_into("<H", data, at + central, value)
        path.write_bytes(data)
    return path


def replaced(name, data):
    return [(entry, data if entry == name else old) for entry, old in GOOD]


def patched(data, at, new, grow=None):
    """DATA with NEW at AT, and its certificate table grown by GROW."""
    data = bytearray(data)
    data[at:at + len(new)] = new
    if grow is not None:
        struct.pack_into("<I", data, DIRECTORY + 4, size + grow)
    return bytes(data)


def signed(name, image, pfx="signer.pfx", password=PASSWORD, *extra):
    path = made(f"{name}.exe", image)
    run("osslsigncode", "sign", "-pkcs12", pfx, "-readpass", "/dev/stdin", "-h", "sha256", *extra,
        "-in", path, "-out", path.with_suffix(".signed.exe"), password=password + b"\n")
    return path.with_suffix(".signed.exe")


def nested():
    path = made("tonest.exe", exe)
    run("osslsigncode", "sign", "-nest", "-pkcs12", "signer.pfx", "-readpass", "/dev/stdin", "-h", "sha256",
        "-in", path, "-out", path.with_suffix(".nested.exe"), password=PASSWORD + b"\n")
    return path.with_suffix(".nested.exe")


def shifted(extra):
    """The good zip with EXTRA between its last entry and its central directory."""
    data = bytearray(ZIP.read_bytes())
    start = struct.unpack_from("<I", data, len(data) - 6)[0]
    data[start:start] = extra
    struct.pack_into("<I", data, len(data) - 6, start + len(extra))
    return made("shifted.zip", bytes(data))


link = zipfile.ZipInfo("README.md")
link.create_system, link.external_attr = 3, 0o120777 << 16
flipped = made("flipped.exe", patched(exe, der_end - 1, bytes([exe[der_end - 1] ^ 1])))
script = dict(GOOD)[SCRIPT]
last = script.rindex(b"\r\n# ", 0, script.index(b"# SIG # End")) + 4  # the signature value's last base64 line
TAMPERED = [  # what, verify-release's arguments, the message that must appear
    ("two prnuninst.exe", [zipped("two", GOOD + [(EXE, b"MZ")])], f"{EXE} is there 2 times"),
    ("PRNUNINST.EXE beside it", [zipped("upper", GOOD + [("PRNUNINST.EXE", b"MZ")])],
     "'PRNUNINST.EXE': not in a release"),
    ("a trailing dot", [zipped("dot", GOOD + [(EXE + ".", b"MZ")])], f"'{EXE}.': not in a release"),
    ("a trailing blank", [zipped("blank", GOOD + [(EXE + " ", b"MZ")])], f"'{EXE} ': not in a release"),
    ("an edited NSIS example", [zipped("nsis", replaced("examples/nsis/remove-model.nsi", b"; mine\n"))],
     "examples/nsis/remove-model.nsi: contents (not this checkout's)"),
    ("an edited model table", [zipped("table", replaced("models/default.toml", b"code_page = 1252\n"))],
     "models/default.toml: contents (not this checkout's)"),
    ("a .local folder", [zipped("local", GOOD + [(f"{EXE}.local/winspool.drv", b"MZ")])], "not in a release"),
    ("version.dll", [zipped("dll", GOOD + [("version.dll", b"MZ")])], "'version.dll': not in a release"),
    ("a path out of the folder", [zipped("out", GOOD + [("../../evil.bat", b"")])],
     "'../../evil.bat': not in a release"),
    ("a symbolic link", [zipped("link", [e for e in GOOD if e[0] != "README.md"] + [(link, b"/etc/passwd")])],
     "stored size, file type and mode"),
    ("an encrypted entry", [zipped("secret", GOOD, ("CHANGELOG.md", 6, 8, 1))], "CHANGELOG.md: flags (encryption"),
    ("compression method 9", [zipped("deflate64", GOOD, ("README.md", 8, 10, 9))], "README.md: compression method,"),
    ("an entry missing", [zipped("missing", GOOD[1:])], f"{EXE} is missing"),
    ("a 20 MiB exe", [zipped("big", replaced(EXE, bytes(20 << 20)))], "more than an exe of a release"),
    ("a damaged zip", [made("cut.zip", ZIP.read_bytes()[:9000])], "a damaged zip"),
    ("another table's zip as the default's", [ZIP932], "'models/example-932.toml': not in a release"),
    ("another table's exe in the zip", [zipped("exe932", replaced(EXE, exe932))],
     f"{EXE} differs from this checkout's build with the release's signature attached: first at byte"),
    ("SHA256SUMS with another digest", ["--sums", made("sums", f"{'0' * 64}  {STEM}.zip\n".encode()), ZIP],
     "has another sha256 there"),
    ("SHA256SUMS without the exe", ["--sums", made("sums1", "".join(l + "\n" for l in sums[:1]).encode()), ZIP],
     f"has no line for {STEM}/{EXE}"),
    ("SHA256SUMS with another image", ["--sums", made("sums2", "".join(
        l + "\n" for l in sums if "build/" not in l).encode() + f"{'0' * 64}  build/win32/{EXE}\n".encode()), ZIP],
     f"build/win32/{EXE} has another sha256 there"),
    ("a SHA256SUMS of another form", ["--sums", made("sums3", b"not a sum\n"), ZIP], 'line 1 is not "<sha256>'),
    ("a folder as FILE", ["cases"], "is not a file"),
    ("neither zip nor exe", [made("text.exe", b"hello")], "not a zip nor an exe"),
    ("a PE cut short", [made("short.exe", exe[:3000])], "the exe is cut short"),
    ("a broken signature value", [flipped], "the signature value does not verify with the signer's key"),
    ("a broken signature value, --ca", ["--ca", "root.pem", flipped], "the signature value does not verify"),
    ("a code byte changed", [made("code.exe", patched(exe, 0x410, b"\x90"))], "the file was changed after signing"),
    ("bytes in a grown table", [made("grown.exe", patched(exe[:start] + struct.pack("<I", size + 8) + exe[start + 4:]
                                                          + b"evil.bat", 0, b"", 8))], "_SECURITY.Size)"),
    ("a second certificate entry", [made("second.exe", patched(exe + struct.pack("<IHH", 16, 0x200, 2) + bytes(8),
                                                               0, b"", 16))], "_SECURITY.Size)"),
    ("a byte in the padding", [made("padding.exe", exe[:-1] + b"\x01")], f"({len(exe) - 1}), in its certificate table"),
    ("bytes behind the table", [made("behind.exe", exe + bytes(8))], "in 8 bytes past the end of ours"),
    ("an extra certificate in the signature", ["--ca", "intruder.pem", signed(
        "unsigned", patched(exe[:start], DIRECTORY, bytes(8)), "signer.pfx", PASSWORD, "-ac", "intruder.pem")],
     "1 certificate(s) outside the signer's chain"),
    ("a nested signature", ["--ca", "root.pem", nested()], "unsigned data other than one timestamp"),
    ("bytes after the end record", [made("trailing.zip", ZIP.read_bytes() + b"x")], "bytes after the end of the zip"),
    ("a zip comment", [made("comment.zip", ZIP.read_bytes()[:-2] + b"\x01\x00!")], "the central directory and end"),
    ("a local entry the directory skips", [shifted(b"PK\x03\x04" + bytes(26))], "the central directory and end"),
    ("a stated size short of the data", [zipped("sizes", GOOD, ("README.md", 22, 24, 5))], "README.md: size, not as"),
    ("a data descriptor", [zipped("descriptor", GOOD, ("README.md", 6, 8, 8))], "README.md: flags (encryption, data"),
    ("an edited models page", [zipped("page", replaced("MODELS.md", b"# prnuninst, all models\n"))],
     "MODELS.md: contents (not this checkout's)"),
    ("the examples in a table without /f4", ["--models", odd / "example-932.toml", zipped("examples932", GOOD932 + [
        (name, data) for name, data in GOOD if name in EXAMPLES])], f"'{EXAMPLES[0]}': not in a release"),
    ("prncheck.exe missing", [zipped("nocheck", [e for e in GOOD if e[0] != CHECK])], f"{CHECK} is missing"),
    ("prnuninst.exe as prncheck.exe", [zipped("swapped", replaced(CHECK, exe))],
     f"{CHECK} differs from this checkout's build with the release's signature attached: first at byte"),
    ("prncheck.exe unsigned", [zipped("unsigned", replaced(CHECK, check_image))], f"{CHECK} not signed, 14 others"),
    ("prncheck.exe signed by another", [zipped("intruder", replaced(CHECK, signed("check", check_image, "intruder.pfx",
                                                                                  b"").read_bytes()))],
     f"{CHECK} signed by another certificate than {EXE}"),
    ("a code byte changed in prncheck.exe", [made("checkcode.exe", patched(dict(GOOD)[CHECK], 0x410, b"\x90"))],
     "the file was changed after signing"),
    ("SHA256SUMS without prncheck.exe", ["--sums", made("sums4", "".join(
        l + "\n" for l in sums if CHECK not in l).encode()), ZIP], f"has no line for {STEM}/{CHECK}"),
    ("a code byte changed in a script", [zipped("scriptcode", replaced(SCRIPT, script.replace(b"left", b"lefT", 1)))],
     f"{SCRIPT}: the signed digest is not that of these bytes"),
    ("a byte changed in a script's signature", [zipped("scriptsig", replaced(SCRIPT, patched(
        script, last, b"B" if script[last] == ord("A") else b"A")))], f"{SCRIPT}: the signature value does not verify"),
    ("a line end in a script's signature block", [zipped("scriptcr", replaced(SCRIPT, script[:last - 4] + script[
        last - 3:]))], f"{SCRIPT} differs from this checkout's kit with the release's signature attached: first at"),
    ("a script unsigned", [zipped("plainscript", replaced(SCRIPT, PLAIN[SCRIPT]))], f"{SCRIPT} not signed, 14 others"),
    ("a fleet file missing", [zipped("nokit", [e for e in GOOD if e[0] != SCRIPT])], f"{SCRIPT} is missing"),
    ("a fleet file added", [zipped("morekit", GOOD + [("fleet/x.ps1", b"")])], "'fleet/x.ps1': not in a release"),
    ("SHA256SUMS with another prncheck image", ["--sums", made("sums5", "".join(
        l + "\n" for l in sums if f"build/win32/{CHECK}" not in l).encode() + f"{'0' * 64}  build/win32/{CHECK}\n"
        .encode()), ZIP], f"build/win32/{CHECK} has another sha256 there"),
]
expect("prncheck.exe alone, renamed", run("verify-release", made("renamed.exe", check_image)),
       f"{CHECK}:  this checkout's build", status=0)
for what, arguments, message in TAMPERED:
    expect(what, run("verify-release", *arguments), message)

print(f"release test: {len(REFUSED)} releases refused, {len(TAMPERED)} tampered releases checked: " +
      (f"FAILED: {', '.join(failed)}" if failed else "passed"))
sys.exit(1 if failed else 0)
