#!/usr/bin/env python3
"""compact-pe-headers.py FILE

Moves the PE headers of FILE to offset 0x40, over the DOS stub program that
the linker puts there, and shortens the header area to one file-alignment
block when the headers then fit in it. Every section's raw data moves down
by the bytes saved. Nothing else changes: the sections keep their virtual
addresses, so the loaded image is the same.
"""
import struct
import sys

path = sys.argv[1]
data = bytearray(open(path, "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
if data[pe:pe + 4] != b"PE\0\0":
    sys.exit("compact-pe-headers: not a PE file")
sections = struct.unpack_from("<H", data, pe + 6)[0]
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
file_alignment = struct.unpack_from("<I", data, optional + 36)[0]
headers_size = struct.unpack_from("<I", data, optional + 60)[0]
table = optional + optional_size
headers_end = table + 40 * sections

new_pe = 0x40
new_end = new_pe + (headers_end - pe)
new_headers_size = -(-new_end // file_alignment) * file_alignment
saved = headers_size - new_headers_size
if saved <= 0:
    sys.exit(0)

headers = bytes(data[pe:headers_end])
out = bytearray(data[:new_pe])
struct.pack_into("<I", out, 0x3C, new_pe)
out += headers
out += bytes(new_headers_size - len(out))
new_optional = new_pe + 24
struct.pack_into("<I", out, new_optional + 60, new_headers_size)
new_table = new_optional + optional_size
for i in range(sections):
    entry = new_table + 40 * i
    raw_size, raw_pointer = struct.unpack_from("<II", out, entry + 16)
    if raw_pointer:
        struct.pack_into("<I", out, entry + 20, raw_pointer - saved)
out += data[headers_size:]
open(path, "wb").write(out)
print("stub: PE headers compacted, %d bytes saved" % saved)
