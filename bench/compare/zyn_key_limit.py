#!/usr/bin/env python3
"""Raises the key limit of ZynAddSubFX's parts inside a program file (.fxp).

ZynAddSubFX lets each part sound at most `key_limit` keys at once (15 by default),
so 64 held notes would cost it no more than 15. Its VST state is an opaque chunk:
a list of NUL-terminated key/value strings whose "state" value is the instrument's
XML. This rewrites every <par name="key_limit" .../> in that XML and fixes the
file's sizes. Usage: zyn_key_limit.py IN.fxp OUT.fxp [LIMIT]
"""
import re
import struct
import sys

HEADER = 60  # CcnK program header of an opaque program (FPCh) up to the chunk


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    limit = int(sys.argv[3]) if len(sys.argv) == 4 else 64
    data = open(sys.argv[1], "rb").read()
    if data[0:4] != b"CcnK" or data[8:12] != b"FPCh":
        sys.exit(f"{sys.argv[1]}: not an opaque VST program file")
    (size,) = struct.unpack(">I", data[56:60])
    chunk = data[HEADER:HEADER + size]
    pattern = re.compile(rb'(<par name="key_limit" value=")(\d+)(")')
    found = len(pattern.findall(chunk))
    if found == 0:
        sys.exit(f"{sys.argv[1]}: no key_limit in the state")
    chunk = pattern.sub(lambda m: m.group(1) + str(limit).encode() + m.group(3), chunk)
    header = bytearray(data[:HEADER])
    header[4:8] = struct.pack(">I", HEADER - 8 + len(chunk))
    header[56:60] = struct.pack(">I", len(chunk))
    open(sys.argv[2], "wb").write(bytes(header) + chunk)
    print(f"{sys.argv[2]}: key_limit set to {limit} in {found} part(s)")


if __name__ == "__main__":
    main()
