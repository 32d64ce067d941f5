#!/usr/bin/env python3
"""compact-pe-headers.py FILE MAP

Finishes the stub's PE layout after linking:
- The resources are linked into .text (see cmake/stub.ld); their directory
  entry is set from the symbols __resources_start__/__resources_end__ of the
  link map MAP.
- The PE headers move to offset 0x40, over the DOS stub program that the
  linker puts there, and the header area shrinks to one file-alignment block
  when the headers then fit in it. Every section's raw data moves down by
  the bytes saved. Sections keep their virtual addresses, so the loaded
  image is the same.
"""
import re
import struct
import sys

path, map_path = sys.argv[1], sys.argv[2]
data = bytearray(open(path, "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
if data[pe:pe + 4] != b"PE\0\0":
    sys.exit("compact-pe-headers: not a PE file")
sections = struct.unpack_from("<H", data, pe + 6)[0]
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
image_base = struct.unpack_from("<I", data, optional + 28)[0]
file_alignment = struct.unpack_from("<I", data, optional + 36)[0]
headers_size = struct.unpack_from("<I", data, optional + 60)[0]
RESOURCE_DIRECTORY = optional + 96 + 8 * 2

symbols = {}
for line in open(map_path, errors="replace"):
    m = re.match(r"\s+0x([0-9a-f]+)\s+(__resources_(?:start|end)__) = \.", line)
    if m:
        symbols[m.group(2)] = int(m.group(1), 16)
start, end = symbols.get("__resources_start__"), symbols.get("__resources_end__")
if start is None or end is None:
    sys.exit("compact-pe-headers: the link map does not say where the resources are")
struct.pack_into("<II", data, RESOURCE_DIRECTORY, start - image_base if end > start else 0, end - start)

table = optional + optional_size
headers_end = table + 40 * sections
new_pe = 0x40
new_end = new_pe + (headers_end - pe)
new_headers_size = -(-new_end // file_alignment) * file_alignment
saved = headers_size - new_headers_size
if saved > 0:
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
        raw_pointer = struct.unpack_from("<I", out, entry + 20)[0]
        if raw_pointer:
            struct.pack_into("<I", out, entry + 20, raw_pointer - saved)
    out += data[headers_size:]
    data = out
    print("stub: PE headers compacted, %d bytes saved" % saved)
open(path, "wb").write(data)
