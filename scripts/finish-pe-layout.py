#!/usr/bin/env python3
"""finish-pe-layout.py FILE MAP

Finishes the stub's PE layout after linking (see cmake/stub.ld):
- The resources are linked into .text; their directory entry is set from
  the symbols __resources_start__/__resources_end__ of the link map MAP.
- The import lookup tables, linked last into .idata, are cut off: every
  import descriptor gets an OriginalFirstThunk of 0, and the loader then
  takes the names from the import address tables, which hold the same
  entries until they are bound.
- The PE headers move to offset 0x40, over the DOS stub program that the
  linker puts there, and the header area shrinks to one file-alignment block
  when the headers then fit in it.
Sections keep their virtual addresses, so the loaded image is the same;
only their places in the file move.
"""
import re
import struct
import sys

path, map_path = sys.argv[1], sys.argv[2]
data = bytearray(open(path, "rb").read())


def u32(offset):
    return struct.unpack_from("<I", data, offset)[0]


def put32(offset, value):
    struct.pack_into("<I", data, offset, value)


pe = u32(0x3C)
if data[pe:pe + 4] != b"PE\0\0":
    sys.exit("finish-pe-layout: not a PE file")
section_count = struct.unpack_from("<H", data, pe + 6)[0]
optional_size = struct.unpack_from("<H", data, pe + 20)[0]
optional = pe + 24
image_base = u32(optional + 28)
file_alignment = u32(optional + 36)
headers_size = u32(optional + 60)
directory = optional + 96
IMPORTS, RESOURCES = 1, 2
table = optional + optional_size


def round_up(n):
    return -(-n // file_alignment) * file_alignment


class Section:
    def __init__(self, index):
        self.entry = table + 40 * index
        self.name = bytes(data[self.entry:self.entry + 8]).rstrip(b"\0").decode()
        self.virtual_size, self.address, self.raw_size, self.raw_pointer = struct.unpack_from(
            "<IIII", data, self.entry + 8)
        self.raw = bytes(data[self.raw_pointer:self.raw_pointer + self.raw_size])


sections = [Section(i) for i in range(section_count)]
symbols = {}
for line in open(map_path, errors="replace"):
    m = re.match(r"\s+0x([0-9a-f]+)\s+(__\w+__) = \.", line)
    if m:
        symbols[m.group(2)] = int(m.group(1), 16) - image_base


def symbol(name):
    if name not in symbols:
        sys.exit("finish-pe-layout: the link map lacks " + name)
    return symbols[name]


def section_of(rva):
    for s in sections:
        if s.address <= rva < s.address + max(s.virtual_size, 1):
            return s
    sys.exit("finish-pe-layout: address %#x lies in no section" % rva)


# Resources.
start, end = symbol("__resources_start__"), symbol("__resources_end__")
struct.pack_into("<II", data, directory + 8 * RESOURCES, start if end > start else 0, end - start)

# Import lookup tables.
lookup_start, lookup_end = symbol("__lookup_tables_start__"), symbol("__lookup_tables_end__")
imports = section_of(lookup_start)
if lookup_end != imports.address + imports.virtual_size:
    sys.exit("finish-pe-layout: the import lookup tables are not at the end of " + imports.name)
descriptors = u32(directory + 8 * IMPORTS)
raw = bytearray(section_of(descriptors).raw)
count = 0
at = descriptors - imports.address
while any(raw[at + 20 * count:at + 20 * count + 20]):
    struct.pack_into("<I", raw, at + 20 * count, 0)
    count += 1
struct.pack_into("<II", data, directory + 8 * IMPORTS, descriptors, 20 * (count + 1))
imports.virtual_size = lookup_start - imports.address
imports.raw = bytes(raw[:imports.virtual_size])

# Headers at 0x40, then the sections' raw data packed behind them.
new_pe = 0x40
headers = bytes(data[pe:table + 40 * section_count])
out = bytearray(data[:new_pe]) + headers
struct.pack_into("<I", out, 0x3C, new_pe)
new_optional, new_table = new_pe + 24, new_pe + 24 + optional_size
new_headers_size = round_up(len(out))
struct.pack_into("<I", out, new_optional + 60, new_headers_size)
for offset in range(8 * 16):  # directories moved with the headers
    out[new_optional + 96 + offset] = data[directory + offset]
out += bytes(new_headers_size - len(out))
for index, s in enumerate(sections):
    entry = new_table + 40 * index
    raw_size = round_up(len(s.raw)) if s.raw else 0
    struct.pack_into("<IIII", out, entry + 8, s.virtual_size, s.address, raw_size, len(out) if raw_size else 0)
    out += s.raw + bytes(raw_size - len(s.raw))
open(path, "wb").write(out)
print("stub: PE layout finished: %d bytes of headers, import lookup tables (%d bytes) cut off"
      % (new_headers_size, lookup_end - lookup_start))
