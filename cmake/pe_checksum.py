#!/usr/bin/python3
"""Writes the image's PE header checksum, as MSVC's linker does for a release
build and lld's MinGW driver cannot. Authenticode tools set this field when
they add or remove a signature, so with it in place a signed release with its
signature removed is this build byte for byte.

    pe_checksum.py IMAGE
"""
import sys

import pefile

path = sys.argv[1]
pe = pefile.PE(path)
pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
image = pe.write()
pe.close()
with open(path, "wb") as out:
    out.write(image)
