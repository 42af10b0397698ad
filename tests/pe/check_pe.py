#!/usr/bin/python3
"""Fails unless the deliverable has the shape its users rely on: a PE32 i386
Windows GUI program, subsystem 4.0, ASLR and NX, no TLS, only the allowed
system imports, the one Korean icon group and at most 6 KiB.

    check_pe.py build/win32/prnuninst.exe
"""
import sys

import pefile

MAX_SIZE = 6 * 1024
KOREAN = 1042
# DLL (upper case) -> functions; IsDBCSLeadByte is allowed but not needed.
ALLOWED = {
    "KERNEL32.DLL": {"GetCommandLineA", "GetStartupInfoA", "ExitProcess", "WinExec", "IsDBCSLeadByte"},
    "USER32.DLL": {"CharNextA"},
    "ADVAPI32.DLL": {"RegDeleteKeyA"},
    "WINSPOOL.DRV": {"OpenPrinterA", "DeletePrinter", "ClosePrinter"},
}
REQUIRED = {name for functions in ALLOWED.values() for name in functions} - {"IsDBCSLeadByte"}


def check(path):
    problems = []
    data = open(path, "rb").read()
    pe = pefile.PE(data=data)
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER

    def expect(condition, message):
        if not condition:
            problems.append(message)

    expect(oh.Magic == 0x10B, f"not PE32 (magic {oh.Magic:#x})")
    expect(fh.Machine == 0x14C, f"not i386 (machine {fh.Machine:#x})")
    expect(oh.Subsystem == 2, f"not the Windows GUI subsystem ({oh.Subsystem})")
    expect((oh.MajorSubsystemVersion, oh.MinorSubsystemVersion) == (4, 0),
           f"subsystem version {oh.MajorSubsystemVersion}.{oh.MinorSubsystemVersion}, not 4.0")
    expect(oh.DllCharacteristics & 0x0040, "DYNAMIC_BASE is not set")
    expect(oh.DllCharacteristics & 0x0100, "NX_COMPAT is not set")
    expect(fh.TimeDateStamp == 0, f"the header holds a build time ({fh.TimeDateStamp})")
    tls = oh.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_TLS"]]
    expect(tls.VirtualAddress == 0 and tls.Size == 0, "there is a TLS directory")
    expect(len(data) <= MAX_SIZE, f"{len(data)} bytes, over {MAX_SIZE}")

    imported = set()
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().upper()
        for symbol in entry.imports:
            name = symbol.name.decode() if symbol.name else f"#{symbol.ordinal}"
            imported.add(name)
            expect(name in ALLOWED.get(dll, ()), f"imports {dll} {name}, which is not allowed")
    expect(REQUIRED <= imported, f"does not import {sorted(REQUIRED - imported)}")

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
    if len(sys.argv) != 2:
        sys.exit("usage: check_pe.py PRNUNINST_EXE")
    found = check(sys.argv[1])
    for problem in found:
        print(f"{sys.argv[1]}: {problem}")
    if not found:
        print(f"{sys.argv[1]}: PE32 i386 GUI 4.0, ASLR, NX, no TLS, allowed imports, one icon group, "
              f"{len(open(sys.argv[1], 'rb').read())} bytes")
    sys.exit(1 if found else 0)
