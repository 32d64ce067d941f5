#!/usr/bin/env python3
"""finish-pe-layout.py FILE MAP

Finishes the stub's PE layout after linking (see cmake/stub.ld):
- The import tables (src/imports.cpp) are linked into .text; their
  directory entry is set from the symbol __import_descriptors__. No import
  descriptor has a lookup table (OriginalFirstThunk 0): the loader takes
  the names from the import address tables, which hold the same entries
  until they are bound. Behind the address tables lie the function names
  (each after a 2-byte hint, padded to even length) and the DLL names; they
  are laid out anew without padding, the hints overlapping the zero bytes
  that end the names, as many as fit in the bytes the headers leave unused
  (in the MS-DOS header, behind the section table) and the rest behind the
  address tables.
- The resources are linked at the end of .text (between the symbols
  __resources_start__ and __resources_end__ of the link map MAP); their
  tree is laid out anew behind the import names, its pieces overlapping
  where the loader reads nothing, and their directory entry set.
- The base relocations move from their own section to the end of .text,
  and the .reloc section goes: the loader finds them through their
  directory entry wherever they are.
- The PE headers move to offset 0x40, over the DOS stub program that the
  linker puts there, the optional header keeps only the data directories up
  to the last the stub uses, and the header area shrinks to one
  file-alignment block when the headers then fit in it.
Apart from the relocations, the DLL names and the resources, everything
keeps its virtual address, so the loaded code is the same; only places in
the file move.
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
IMPORTS, RESOURCES, BASE_RELOCATIONS = 1, 2, 5
# The data directories kept, up to the last that the stub may use: the
# import address table (12), behind the load configuration (10), the base
# relocations (5) and the certificate table that signing adds (4).
KEPT_DIRECTORIES = 13
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


# Import tables: OriginalFirstThunk 0 in every descriptor; behind the
# address tables the function names and DLL names are laid out anew. A function's name
# entry is a 2-byte hint and the name; the loader takes the hint only as a
# guess, so every hint is 0 and its low byte is the zero that ends the name
# before it: two zero bytes between names, no padding.
iat_start, iat_end = symbol("__IAT_start__"), symbol("__IAT_end__")
names_end = symbol("__import_names_end__")
resources_start, resources_end = symbol("__resources_start__"), symbol("__resources_end__")
text = sections[0]
if section_of(iat_end) is not text or resources_end != text.address + text.virtual_size:
    sys.exit("finish-pe-layout: the import tables and the resources do not end .text")
raw = bytearray(text.raw)


def text_string(rva):
    at = rva - text.address
    return bytes(raw[at:raw.index(0, at)])


# The names go where the headers leave bytes unused (the headers are mapped
# like any section, read-only): in the MS-DOS header between its signature
# and the offset of the PE header, which the loader reads and nothing else
# of it; behind the section table; the rest behind the address tables.
header_end = 0x40 + 24 + 96 + 8 * KEPT_DIRECTORIES + 40 * (section_count - 1)  # .reloc goes below
name_areas = [[2, 0x3C, bytearray(b"\0")], [header_end, 0x200, bytearray(b"\0")],
              [iat_end, 1 << 32, bytearray(b"\0")]]


def place_name(name, entry_text, extra):
    """Appends a name (extra: the zero byte or bytes that precede it) to the
    first area where it fits; returns the RVA of its entry."""
    for base, limit, area in name_areas:
        if base + len(area) + extra + len(name) + 1 <= limit:
            area += b"\0" * extra
            rva = base + len(area) - entry_text
            area += name + b"\0"
            return rva


for at in range(iat_start - text.address, iat_end - text.address, 4):
    entry = struct.unpack_from("<I", raw, at)[0]
    if entry:
        if entry & 0x80000000:
            sys.exit("finish-pe-layout: an import by ordinal")
        # The hint: the zero ending the name before and one more.
        struct.pack_into("<I", raw, at, place_name(text_string(entry + 2), 2, 1))
descriptors = symbol("__import_descriptors__")
count = 0
while any(raw[descriptors - text.address + 20 * count:descriptors - text.address + 20 * count + 20]):
    at = descriptors - text.address + 20 * count
    name = text_string(struct.unpack_from("<I", raw, at + 12)[0])
    struct.pack_into("<III", raw, at + 0, 0, 0, 0)  # OriginalFirstThunk, time stamp, forwarder chain
    struct.pack_into("<I", raw, at + 12, place_name(name, 0, 0))
    count += 1
struct.pack_into("<II", data, directory + 8 * IMPORTS, descriptors, 20 * (count + 1))
tail = name_areas[2][2]
cut = names_end - iat_end - len(tail)
text.raw = bytes(raw[:iat_end - text.address]) + bytes(tail)


# Resources: the tree the resource compiler wrote (a type, a name and a
# language level, every one an id) is read and laid out anew behind the
# import names. The loader reads of a directory only its two entry counts
# and its entries, so the 12 bytes before the counts (flags, time stamp,
# version) lie over whatever precedes them; of a data entry only the address
# and size, so its code page and reserved word lie under the next entry or
# the first data. The directories go level by level, then the data entries,
# then the data, each piece 4-aligned.
def resource_leaves():
    leaves = []

    def walk(offset, path):
        at = resources_start - text.address + offset
        named, ids = struct.unpack_from("<HH", raw, at + 12)
        if named:
            sys.exit("finish-pe-layout: a resource named by a string")
        for k in range(ids):
            ident, target = struct.unpack_from("<II", raw, at + 16 + 8 * k)
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, path + (ident,))
            elif len(path) != 2:
                sys.exit("finish-pe-layout: a resource tree not of three levels")
            else:
                rva, size = struct.unpack_from("<II", raw, resources_start - text.address + target)
                leaves.append((path + (ident,), bytes(raw[rva - text.address:rva - text.address + size])))

    if resources_end > resources_start:
        walk(0, ())
    return leaves


def lay_out_resources(leaves, root_rva):
    """The directory from its root on (whose first 12 bytes lie over what
    precedes it), the data entries and the data."""
    tree = {}
    for (kind, name, language), blob in leaves:
        tree.setdefault(kind, {}).setdefault(name, {})[language] = blob
    out = bytearray(12)
    level, data = [(tree, None)], []
    while level:
        below = []
        for node, patch in level:
            start = len(out) - 12
            if patch is not None:
                struct.pack_into("<I", out, patch, 0x80000000 | start)
            out += struct.pack("<HH", 0, len(node))
            for ident in sorted(node):
                out += struct.pack("<II", ident, 0)
                (below if isinstance(node[ident], dict) else data).append((node[ident], len(out) - 4))
        level = below
    entries = []
    for blob, patch in data:
        struct.pack_into("<I", out, patch, len(out))
        entries.append(len(out))
        out += bytes(8)
    for (blob, patch), entry in zip(data, entries):
        out += bytes(-len(out) % 4)
        struct.pack_into("<II", out, entry, root_rva + len(out), len(blob))
        out += blob
    return out


leaves = resource_leaves()
text.raw += bytes(-len(text.raw) % 4)
if leaves:
    root_rva = text.address + len(text.raw) - 12
    tree = lay_out_resources(leaves, root_rva)
    text.raw += bytes(tree[12:])
    struct.pack_into("<II", data, directory + 8 * RESOURCES, root_rva, len(tree))
text.virtual_size = len(text.raw)

# Base relocations to the end of .text.
relocations_rva, relocations_size = struct.unpack_from("<II", data, directory + 8 * BASE_RELOCATIONS)
relocations = section_of(relocations_rva)
if relocations is text or relocations_rva != relocations.address:
    sys.exit("finish-pe-layout: the base relocations are not a section of their own")
section_alignment = u32(optional + 32)
new_rva = text.address + ((text.virtual_size + 3) & ~3)
next_address = min(s.address for s in sections if s.address > text.address)
if new_rva + relocations_size > next_address:
    sys.exit("finish-pe-layout: the base relocations do not fit behind .text")
moved = relocations.raw[:relocations_size]
at = 0
while at < relocations_size:
    page, block = struct.unpack_from("<II", moved, at)
    for k in range(8, block, 2):
        entry = struct.unpack_from("<H", moved, at + k)[0]
        if entry >> 12 and iat_end <= page + (entry & 0xFFF) < resources_end:
            sys.exit("finish-pe-layout: a base relocation points into the import names or the resources")
    at += block
text.raw = text.raw[:text.virtual_size] + bytes(new_rva - text.address - text.virtual_size) + moved
text.virtual_size = len(text.raw)
struct.pack_into("<II", data, directory + 8 * BASE_RELOCATIONS, new_rva, relocations_size)
sections.remove(relocations)
section_count = len(sections)
struct.pack_into("<H", data, pe + 6, section_count)
last = max(sections, key=lambda s: s.address)
put32(optional + 56, (last.address + last.virtual_size + section_alignment - 1) // section_alignment * section_alignment)

# Headers at 0x40, the section table behind them, then the sections' raw
# data. The headers are taken from `data`, which holds the updated
# directories, section count and image size.
new_pe = 0x40
if any(data[directory + 8 * KEPT_DIRECTORIES:table]):
    sys.exit("finish-pe-layout: a data directory beyond those kept is in use")
struct.pack_into("<H", data, pe + 20, 96 + 8 * KEPT_DIRECTORIES)
struct.pack_into("<I", data, optional + 92, KEPT_DIRECTORIES)
out = bytearray(data[:new_pe]) + data[pe:directory + 8 * KEPT_DIRECTORIES]
struct.pack_into("<I", out, 0x3C, new_pe)
new_table = len(out)
out += bytes(40 * section_count)
if len(out) != header_end:
    sys.exit("finish-pe-layout: the headers do not end where the names were placed")
dos_names = name_areas[0][2]
out[2:2 + len(dos_names)] = dos_names
out += name_areas[1][2]
new_headers_size = round_up(len(out))
struct.pack_into("<I", out, new_pe + 24 + 60, new_headers_size)
out += bytes(new_headers_size - len(out))
for index, s in enumerate(sections):
    entry = new_table + 40 * index
    out[entry:entry + 40] = data[s.entry:s.entry + 40]
    raw_size = round_up(len(s.raw)) if s.raw else 0
    struct.pack_into("<IIII", out, entry + 8, s.virtual_size, s.address, raw_size, len(out) if raw_size else 0)
    out += s.raw + bytes(raw_size - len(s.raw))
open(path, "wb").write(out)
print("stub: PE layout finished: %d bytes of headers, %d bytes of import names saved, resources in %d bytes (%d as linked), base relocations (%d bytes) behind the code"
      % (new_headers_size, cut, len(tree) - 12 if leaves else 0, resources_end - resources_start, relocations_size))
# Only the last section's rounding is free (the stub is padded to whole
# blocks anyway): the file really ends with that section's own bytes.
last = [s for s in sections if s.raw][-1]
print("stub: %d bytes in use" % (len(out) - round_up(len(last.raw)) + len(last.raw)))
