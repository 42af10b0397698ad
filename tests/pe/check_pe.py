#!/usr/bin/python3
"""Fails unless the deliverable has the shape its users rely on: a PE32 i386
Windows GUI program, subsystem and OS version 4.0, a right header checksum,
ASLR (with relocations), NX, NO_SEH, a load-configuration record that
restricts DLL search to System32, no writable section, no TLS, only the
allowed system imports (no WINSPOOL.DRV), the one Korean icon group and at
most the size MAX_SIZE gives. With
--win64, the PE32+ build of the same sources: the same record, imports and
icon, no writable code, version 5.2.

What the model table uses (its generated/models.txt beside the image) sets
the imports and the size allowed: a table with drivers adds four functions
and 1 KiB or more, bounds on them one more function and 512 bytes; one
without drivers, bounds or the 64-bit view must not even name the functions
those look up.

prncheck.exe, beside it, is checked as the console program it is: no
resources, and read only: its imports and every function name it holds for
a look-up at run time come from an allow-list, and no name of a function
that changes the machine is in it at all.

    check_pe.py build/win32/prnuninst.exe
    check_pe.py --win64 build/win64/prnuninst.exe
    check_pe.py build/win32/prncheck.exe
"""
import re
import sys
from pathlib import Path

import pefile

KOREAN = 1042
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800
# The size Windows XP and earlier require of an x86 record.
X86_LOAD_CONFIG_SIZE = 64
WRITE, EXECUTE, SHARED = 0x80000000, 0x20000000, 0x10000000
# DLL (upper case) -> functions: exactly these.
# KnownDLLs only, which every Windows loads from the system folder: WINSPOOL.DRV
# is loaded by its full path at run time, never imported.
IMPORTS = {
    "KERNEL32.DLL": {"ExitProcess", "GetCommandLineA", "GetFileAttributesW", "GetModuleFileNameW", "GetModuleHandleA",
                     "GetProcAddress", "GetStartupInfoA", "GetSystemDirectoryA", "LoadLibraryExA", "WinExec",
                     "GetLastError", "MultiByteToWideChar"},
    # The name of the queue opened compared with the model's, case by case.
    "USER32.DLL": {"CharNextA", "CharUpperW"},
    "ADVAPI32.DLL": {"RegDeleteKeyA"},
}


# What a table's drivers add: buffers for the spooler's lists, their errors,
# the names compared case by case, and the bounded wait for a driver in use.
DRIVER_IMPORTS = {"KERNEL32.DLL": {"VirtualAlloc", "VirtualFree", "GetTickCount", "Sleep"}}
# The most each image may take: (prnuninst.exe, prncheck.exe), without and with drivers.
MAX_SIZE = {False: (6656, 7168), True: (7680, 8704)}
# Bounds on drivers: this machine's own environment, asked of the process.
BOUND_IMPORTS = {"KERNEL32.DLL": {"GetCurrentProcess"}}
BOUND_MAX_SIZE = (8192, 9216)
# prncheck.exe: keys opened, never changed; its lines written to a console or
# a file; the 64-bit view asked for under WOW64 only.
CHECK_IMPORTS = {
    "KERNEL32.DLL": {"ExitProcess", "GetCommandLineA", "GetConsoleMode", "GetFileAttributesW", "GetLastError",
                     "GetModuleFileNameW", "GetModuleHandleA", "GetProcAddress", "GetStdHandle", "GetSystemDirectoryA",
                     "LoadLibraryExA", "MultiByteToWideChar", "WideCharToMultiByte", "WriteConsoleW", "WriteFile",
                     "GetACP"},
    "USER32.DLL": {"CharNextA", "CharUpperW"},
    "ADVAPI32.DLL": {"RegCloseKey", "RegOpenKeyExA"},
}
CHECK_DRIVER_IMPORTS = {"KERNEL32.DLL": {"VirtualAlloc", "VirtualFree"}}
CHECK_VIEW_IMPORTS = {"KERNEL32.DLL": {"GetCurrentProcess"}}
CHECK_LOOKUPS = {"SetDefaultDllDirectories", "OpenPrinterA", "ClosePrinter", "GetPrinterW", "EnumPrintersW",
                 "EnumPrinterDriversW", "IsWow64Process", "IsWow64Process2", "GetNativeSystemInfo"}
# What changes the machine, or installs a missing driver (GetPrinterDriver).
CHANGES = ["RegDelete", "RegSet", "RegCreateKey", "DeletePrinter", "AddPrinter", "SetPrinter", "WinExec",
           "CreateProcess", "GetPrinterDriver"]
# A function's name as a NUL-terminated string: the import table's and the
# look-ups' alike.
FUNCTION_NAME = re.compile(rb"(?<=\0)[A-Z][a-z]+(?:[A-Z0-9][a-z0-9]*)+[AW]?(?=\0)")

# Names that only the drivers' and the 64-bit view's code look up at run time.
DRIVER_NAMES = [b"EnumPrinters", b"EnumPrinterDrivers", b"DeletePrinterDriver",
                "Windows x64".encode("utf-16-le")]
VIEW_NAMES = [b"RegDeleteKeyExA", b"advapi32.dll"]
BOUND_NAMES = [b"IsWow64Process2", b"GetNativeSystemInfo"]


def features(path):
    """(drivers, view64, bounds) of the table the image was built from."""
    cases = Path(path).parent / "generated" / "models.txt"
    lines = cases.read_text(encoding="utf-8").splitlines()
    drivers = [line.split() for line in lines if line.startswith("driver ")]
    return bool(drivers), "registry_view 64" in lines, any(len(driver) == 4 for driver in drivers)


def allowed(base, *features):
    """The imports of BASE with those of each (used, imports) feature."""
    return {dll: set(names).union(*(extra.get(dll, set()) for used, extra in features if used))
            for dll, names in base.items()}


def check(path, win64=False):
    problems = []
    data = open(path, "rb").read()
    drivers, view64, bounds = features(path)
    checker = Path(path).name.lower() == "prncheck.exe"
    imports = (allowed(CHECK_IMPORTS, (drivers, CHECK_DRIVER_IMPORTS), (view64, CHECK_VIEW_IMPORTS),
                       (bounds, BOUND_IMPORTS)) if checker
               else allowed(IMPORTS, (drivers, DRIVER_IMPORTS), (bounds, BOUND_IMPORTS)))
    pe = pefile.PE(data=data)
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER

    def expect(condition, message):
        if not condition:
            problems.append(message)

    magic, machine, version = (0x20B, 0x8664, (5, 2)) if win64 else (0x10B, 0x14C, (4, 0))
    expect(oh.Magic == magic, f"optional header magic {oh.Magic:#x}, expected {magic:#x}")
    expect(fh.Machine == machine, f"machine {fh.Machine:#x}, expected {machine:#x}")
    expect(oh.Subsystem == (3 if checker else 2), f"subsystem {oh.Subsystem}, not the "
                                                   f"{'console' if checker else 'Windows GUI'} subsystem")
    for kind in ("Subsystem", "OperatingSystem"):
        found = (getattr(oh, f"Major{kind}Version"), getattr(oh, f"Minor{kind}Version"))
        expect(found == version, f"{kind} version {found[0]}.{found[1]}, expected {version[0]}.{version[1]}")
    expect(oh.DllCharacteristics & 0x0040, "DYNAMIC_BASE is not set")
    expect(oh.DllCharacteristics & 0x0100, "NX_COMPAT is not set")
    relocs = oh.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    expect(relocs.Size > 0 and not fh.Characteristics & 0x0001, "no base relocations: ASLR cannot move it")
    expect(fh.TimeDateStamp == 0, f"the header holds a build time ({fh.TimeDateStamp})")
    # Signing tools rewrite the checksum; only a right one survives a signature's removal unchanged.
    expect(oh.CheckSum == pe.generate_checksum(), f"header checksum {oh.CheckSum:#x}, not {pe.generate_checksum():#x}")
    tls = oh.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_TLS"]]
    expect(tls.VirtualAddress == 0 and tls.Size == 0, "there is a TLS directory")
    if not win64:
        expect(oh.DllCharacteristics & 0x0400, "NO_SEH is not set")
        limit = BOUND_MAX_SIZE[checker] if bounds else MAX_SIZE[drivers][checker]
        expect(len(data) <= limit, f"{len(data)} bytes, over {limit}")
    for used, names in ((drivers, DRIVER_NAMES), (view64, VIEW_NAMES), (bounds, BOUND_NAMES)):
        for name in names if not used else []:
            expect(name not in data, f"names {name.decode().replace(chr(0), '')}, which only a table that uses it "
                                     "builds in")

    for section in pe.sections:
        name, flags = section.Name.rstrip(b"\0").decode(), section.Characteristics
        expect(not flags & SHARED, f"section {name} is shared")
        expect(not (flags & WRITE and flags & EXECUTE), f"section {name} is writable and executable")
        expect(win64 or not flags & WRITE, f"section {name} is writable")

    directory = oh.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    record = getattr(pe, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    if directory.Size == 0 or record is None:
        problems.append("no load-configuration directory")
    else:
        record = record.struct
        # pefile 2023.2.7 calls DependentLoadFlags Reserved1, as older headers
        # did; a record too short to hold it has neither.
        flags = getattr(record, "DependentLoadFlags", getattr(record, "Reserved1", None))
        expect(flags == LOAD_LIBRARY_SEARCH_SYSTEM32,
               f"DependentLoadFlags {flags if flags is None else hex(flags)}, expected {LOAD_LIBRARY_SEARCH_SYSTEM32:#x}")
        expect(record.Size == directory.Size and (win64 or record.Size == X86_LOAD_CONFIG_SIZE),
               f"load-configuration record size {record.Size}, directory size {directory.Size}"
               + ("" if win64 else f", expected {X86_LOAD_CONFIG_SIZE}"))

    imported = set()
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().upper()
        for symbol in entry.imports:
            name = symbol.name.decode() if symbol.name else f"#{symbol.ordinal}"
            imported.add(name)
            expect(name in imports.get(dll, ()), f"imports {dll} {name}, which is not allowed")
    required = set().union(*imports.values())
    expect(required <= imported, f"does not import {sorted(required - imported)}")

    if checker:
        expect(not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"), "has resources")
        for name in CHANGES:
            expect(name.encode() not in data and name.encode("utf-16-le") not in data,
                   f"holds the name {name}, which changes the machine")
        looked_up = {match.decode() for match in FUNCTION_NAME.findall(data)} - imported
        expect(looked_up <= CHECK_LOOKUPS, f"looks up {sorted(looked_up - CHECK_LOOKUPS)}, which is not allowed")
    else:
        problems += check_resources(pe)
    return problems


def check_resources(pe):
    problems = []
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    if root is None:
        return ["no resources"]
    types = {t.id if t.name is None else str(t.name): t for t in root.entries}
    icon_group_type = pefile.RESOURCE_TYPE["RT_GROUP_ICON"]
    icon_type = pefile.RESOURCE_TYPE["RT_ICON"]
    if set(types) != {icon_group_type, icon_type}:
        return [f"resource types {sorted(map(str, types))}, expected only an icon group and its icon"]

    groups = types[icon_group_type].directory.entries
    if len(groups) != 1 or groups[0].name is None or str(groups[0].name) != "IDI_ICON2":
        names = [str(g.name) if g.name is not None else f"#{g.id}" for g in groups]
        return [f"icon groups {names}, expected one named IDI_ICON2"]
    languages = groups[0].directory.entries
    if [lang.id for lang in languages] != [KOREAN]:
        return [f"icon group languages {[lang.id for lang in languages]}, expected [{KOREAN}]"]
    group = pe.get_data(languages[0].data.struct.OffsetToData, languages[0].data.struct.Size)
    count = int.from_bytes(group[4:6], "little")
    if count != 1:
        return [f"the icon group holds {count} images, expected 1"]
    width, height, colours, _, planes, bits, size, icon_id = (
        group[6], group[7], group[8], group[9], int.from_bytes(group[10:12], "little"),
        int.from_bytes(group[12:14], "little"), int.from_bytes(group[14:18], "little"),
        int.from_bytes(group[18:20], "little"))
    if (width, height, colours, bits) != (32, 32, 16, 4):
        problems.append(f"the icon is {width}x{height}, {colours} colours, {bits} bits; expected 32x32, 16, 4")

    icons = types[icon_type].directory.entries
    if [i.id for i in icons] != [icon_id]:
        return problems + [f"icon images {[i.id for i in icons]}, expected only #{icon_id}"]
    icon_languages = icons[0].directory.entries
    if [lang.id for lang in icon_languages] != [KOREAN]:
        return problems + [f"icon image languages {[lang.id for lang in icon_languages]}, expected [{KOREAN}]"]
    image = pe.get_data(icon_languages[0].data.struct.OffsetToData, icon_languages[0].data.struct.Size)
    header_size = int.from_bytes(image[0:4], "little")
    bit_count = int.from_bytes(image[14:16], "little")
    xor_size, and_size = 32 * 32 * bit_count // 8, 32 * 4
    and_mask = image[header_size + 16 * 4 + xor_size:]
    if bit_count != 4 or len(and_mask) != and_size:
        problems.append(f"the icon image is not a 4-bit 32x32 bitmap ({bit_count} bits, {len(image)} bytes)")
    elif any(and_mask):
        problems.append("the icon's AND mask is not all zero: some pixels are transparent")
    return problems


if __name__ == "__main__":
    args = sys.argv[1:]
    win64 = args[:1] == ["--win64"]
    if len(args) != 1 + win64:
        sys.exit("usage: check_pe.py [--win64] PRNUNINST_EXE")
    path = args[-1]
    found = check(path, win64)
    for problem in found:
        print(f"{path}: {problem}")
    if not found:
        kind = "console" if Path(path).name.lower() == "prncheck.exe" else "GUI"
        shape = f"PE32+ x86-64 {kind} 5.2" if win64 else f"PE32 i386 {kind} 4.0, NO_SEH, no writable section"
        print(f"{path}: {shape}, ASLR with relocations, NX, no W+X or shared section, "
              f"DependentLoadFlags 0x800, checksum, no TLS, only the allowed imports, "
              f"{'read only, no resources' if kind == 'console' else 'one icon group'}, "
              f"{len(open(path, 'rb').read())} bytes")
    sys.exit(1 if found else 0)
