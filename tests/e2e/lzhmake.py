#!/usr/bin/env python3
"""Builds LZH archives for the end-to-end tests, byte by byte.

    lzhmake.py build OUT.lzh LIST      write an archive from a member list
    lzhmake.py list ARCHIVE            print its members (name, method,
                                       level, sizes, CRC, time, data offset)
    lzhmake.py data FILE SIZE KIND SEED
                                       write test data: KIND is random,
                                       text or zeros; the same SEED gives
                                       the same bytes

A member list has one item a line, fields separated by tabs; empty lines
and lines starting with '#' are skipped:

    member METHOD LEVEL NAME SOURCE MTIME [OPTION...]
        A member whose data is stored as it is (-lh0-, -lz4-, or any other
        five-character method id such as -lhd- or an unknown one).
        LEVEL: 0, 1 or 2. NAME: UTF-8, written in Shift-JIS, '/' between
        folders (each level writes its own form: level 0 keeps the name
        whole with '\\' separators, levels 1 and 2 put the folder part in
        an extended header with 0xFF separators); "hex:..." gives the
        stored name bytes as they are (level 0 only keeps them whole).
        SOURCE: a file, or "-" for no data. MTIME: seconds since 1970 UTC
        (levels 0 and 1 store it as a DOS time, which is local time: run
        the reader with TZ=UTC).
        Options: badcrc (the header's CRC-16 is wrong), slash (level 0:
        keep '/' separators instead of '\\').
    copy ARCHIVE [badcrc] [bigsize]
        Every member record of ARCHIVE (an archive of another tool, such
        as tests/tools/lzhgen) copied unchanged; with badcrc, the CRC-16 in each
        copied header is made wrong; with bigsize, one byte of each header's
        original size is changed so that it claims 1 GiB more.
    raw HEX
        These bytes, unchanged (for damaged or unknown headers).
    noend
        Do not write the zero byte that ends the archive.
"""
import calendar
import os
import random
import struct
import sys
import time


def crc16(data, crc=0):
    """CRC-16/ARC: reflected polynomial 0xA001, start 0, no final XOR."""
    table = crc16.table
    for byte in data:
        crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF]
    return crc


def _crc_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xA001 if c & 1 else c >> 1
        table.append(c)
    return table


crc16.table = _crc_table()


def dos_time(unix_seconds):
    t = time.gmtime(unix_seconds)
    if t.tm_year < 1980:
        raise ValueError("a DOS time starts in 1980")
    return ((t.tm_year - 1980) << 25 | t.tm_mon << 21 | t.tm_mday << 16 |
            t.tm_hour << 11 | t.tm_min << 5 | t.tm_sec // 2)


def unix_from_dos(stamp):
    """None for a stamp that is no date (such as 0, which some archivers write)."""
    try:
        return calendar.timegm((1980 + (stamp >> 25), stamp >> 21 & 15, stamp >> 16 & 31,
                                stamp >> 11 & 31, stamp >> 5 & 63, 2 * (stamp & 31)))
    except ValueError:
        return None


def encode_name(text):
    if text.startswith("hex:"):
        return bytes.fromhex(text[4:])
    return text.encode("cp932")


def split_folder(name):
    """Splits stored name bytes at the last '/' into folder part and file
    name, never inside a Shift-JIS double-byte character."""
    last = -1
    i = 0
    while i < len(name):
        c = name[i]
        if 0x80 <= c <= 0x9F or 0xE0 <= c <= 0xFC:
            i += 2
            continue
        if c == 0x2F:
            last = i
        i += 1
    if last < 0:
        return b"", name
    return name[:last + 1], name[last + 1:]


def replace_separators(name, old, new):
    """Replaces every single-byte `old` by `new`, passing over Shift-JIS
    double-byte characters (whose second byte may look like a separator)."""
    out = bytearray()
    i = 0
    while i < len(name):
        c = name[i]
        if 0x80 <= c <= 0x9F or 0xE0 <= c <= 0xFC:
            out += name[i:i + 2]
            i += 2
            continue
        out.append(new if c == old else c)
        i += 1
    return bytes(out)


def folder_to_ff(folder):
    return replace_separators(folder, 0x2F, 0xFF)


def slash_to_backslash(name):
    return replace_separators(name, 0x2F, 0x5C)


def backslash_to_slash(name):
    return replace_separators(name, 0x5C, 0x2F)


def extended(kind, data):
    """One extended header: its type, its data and room for the size of the
    next one (written by the caller)."""
    return bytes([kind]) + data


def member_header(method, level, name, packed_size, original_size, crc, mtime, keep_slash=False):
    """The header of a member whose data (packed_size bytes, original_size
    once decoded, whose CRC-16 is crc) follows it; name is the stored name
    bytes with '/' between folders ('dir/' for a folder entry)."""
    method = method.encode("ascii") if isinstance(method, str) else method
    if len(method) != 5:
        raise ValueError("a method id has five characters: %r" % method)
    attribute = 0x20
    if level == 0:
        stored = name if keep_slash else slash_to_backslash(name)
        if len(stored) > 255 - 22:
            raise ValueError("name too long for a level-0 header")
        body = (method + struct.pack("<IIIBB", packed_size, original_size, dos_time(mtime), attribute, 0) +
                bytes([len(stored)]) + stored + struct.pack("<H", crc))
        return bytes([len(body), sum(body) & 0xFF]) + body
    folder, file_name = split_folder(name)
    exts = []
    if level == 2:
        exts.append(extended(0x01, file_name))
    if folder:
        exts.append(extended(0x02, folder_to_ff(folder)))
    # Each extended header is preceded by its size (type, data and the
    # following size field), the last one by 0.
    ext_bytes = b""
    for ext in exts:
        ext_bytes += struct.pack("<H", len(ext) + 2) + ext
    ext_bytes += b"\0\0"
    ext_total = sum(len(ext) + 2 for ext in exts)
    if level == 1:
        base = (method + struct.pack("<IIIBB", packed_size + ext_total, original_size, dos_time(mtime),
                                     attribute, 1) +
                bytes([len(file_name)]) + file_name + struct.pack("<H", crc) + b"M")
        # ext_bytes starts with the size of the first extended header, which
        # belongs to the base header.
        head = base + ext_bytes[:2]
        if len(head) > 255:
            raise ValueError("name too long for a level-1 header")
        return bytes([len(head), sum(head) & 0xFF]) + head + ext_bytes[2:]
    if level == 2:
        rest = (method + struct.pack("<IIIBB", packed_size, original_size, mtime & 0xFFFFFFFF, attribute, 2) +
                struct.pack("<H", crc) + b"M" + ext_bytes)
        total = 2 + len(rest)
        if total > 0xFFFF:
            raise ValueError("header too long")
        return struct.pack("<H", total) + rest
    raise ValueError("level must be 0, 1 or 2")


def member_record(method, level, name, data, mtime, bad_crc=False, keep_slash=False):
    """A stored member: its header and its data."""
    crc = crc16(data)
    if bad_crc:
        crc ^= 0x5555
    return member_header(method, level, name, len(data), len(data), crc, mtime, keep_slash) + data


def read_members(blob):
    """Yields (start, end, info) for every member record of an archive, as
    far as its headers can be followed: a damaged or cut-off record ends
    the walk."""
    pos = 0
    while pos < len(blob) and blob[pos] != 0:
        try:
            start, end, info = read_member(blob, pos)
        except (IndexError, struct.error, ValueError):
            return
        if info["packed"] < 0 or end > len(blob):
            return
        yield start, end, info
        pos = end


def read_member(blob, pos):
    """The member record at pos, as read_members yields it; IndexError,
    struct.error or ValueError where it is damaged."""
    level = blob[pos + 20]
    method = blob[pos + 2:pos + 7].decode("latin-1")
    packed, original, stamp = struct.unpack_from("<III", blob, pos + 7)
    folder = b""
    if level == 2:
        header_len = struct.unpack_from("<H", blob, pos)[0]
        crc = struct.unpack_from("<H", blob, pos + 21)[0]
        name = b""
        ext = pos + 24
        data_start = pos + header_len
        mtime = stamp
    elif level in (0, 1):
        size = blob[pos]
        name_len = blob[pos + 21]
        name = blob[pos + 22:pos + 22 + name_len]
        if level == 0:
            name = backslash_to_slash(name)
        crc = struct.unpack_from("<H", blob, pos + 22 + name_len)[0]
        ext = pos + size  # size field of the first extended header (level 1)
        data_start = pos + size + 2
        mtime = unix_from_dos(stamp)
    else:
        raise ValueError("level %d" % level)
    if level != 0:
        while True:
            ext_size = struct.unpack_from("<H", blob, ext)[0]
            if ext_size == 0:
                break
            if level == 2 and ext + ext_size > data_start:
                raise ValueError("extended header runs into the data")
            kind = blob[ext + 2]
            body = blob[ext + 3:ext + 3 + ext_size - 3]
            if kind == 0x01:
                name = body
            elif kind == 0x02:
                folder = body.replace(b"\xff", b"/")
            ext += ext_size
            if level == 1:
                data_start += ext_size
                packed -= ext_size
    end = data_start + packed
    full = folder + name if not folder or folder.endswith(b"/") else folder + b"/" + name
    return pos, end, dict(name=full, method=method, level=level, packed=packed,
                          original=original, crc=crc, mtime=mtime, data=data_start)


def spoil_crc(record, info):
    """Makes the CRC-16 in a copied member's header wrong (level 0 and 1:
    the header checksum is made to fit again)."""
    at = 21 if info["level"] == 2 else 22 + record[21]
    record[at] ^= 0x55
    fix_checksum(record, info)


def enlarge_size(record, info):
    """Makes a copied member's header claim 1 GiB more than its original
    size (bit 30 of it, which no member here has, set)."""
    record[14] |= 0x40
    fix_checksum(record, info)


def fix_checksum(record, info):
    """Level 0 and 1: the header checksum made to fit the header again."""
    if info["level"] != 2:
        record[1] = sum(record[2:2 + record[0]]) & 0xFF


def build(out_path, list_path):
    archive = bytearray()
    end = True
    with open(list_path, encoding="utf-8") as listing:
        for number, line in enumerate(listing, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            kind = fields[0]
            try:
                if kind == "member":
                    method, level, name, source, mtime = fields[1:6]
                    options = set(fields[6:])
                    data = b"" if source == "-" else open(source, "rb").read()
                    archive += member_record(method, int(level), encode_name(name), data, int(mtime),
                                             bad_crc="badcrc" in options, keep_slash="slash" in options)
                elif kind == "copy":
                    blob = open(fields[1], "rb").read()
                    for start, stop, info in read_members(blob):
                        record = bytearray(blob[start:stop])
                        if "badcrc" in fields[2:]:
                            spoil_crc(record, info)
                        if "bigsize" in fields[2:]:
                            enlarge_size(record, info)
                        archive += record
                elif kind == "raw":
                    archive += bytes.fromhex(fields[1])
                elif kind == "noend":
                    end = False
                else:
                    raise ValueError("unknown item %r" % kind)
            except (ValueError, IndexError, OSError) as error:
                sys.exit("lzhmake: %s:%d: %s" % (list_path, number, error))
    if end:
        archive.append(0)
    with open(out_path, "wb") as out:
        out.write(archive)


def list_archive(path):
    blob = open(path, "rb").read()
    for _, _, info in read_members(blob):
        print("%s\t%s\t%d\t%d\t%d\t%04x\t%s\t%d" % (
            info["name"].decode("cp932", "replace"), info["method"], info["level"], info["packed"],
            info["original"], info["crc"], info["mtime"], info["data"]))


def make_data(path, size, kind, seed):
    rng = random.Random(seed)
    if kind == "random":
        data = rng.randbytes(size)
    elif kind == "zeros":
        data = bytes(size)
    elif kind == "text":
        words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
                 for _ in range(500)]
        out = bytearray()
        while len(out) < size:
            line = b" ".join(rng.choice(words) for _ in range(rng.randint(4, 14)))
            out += line + b"\r\n"
        data = bytes(out[:size])
    else:
        sys.exit("lzhmake: unknown data kind %r" % kind)
    with open(path, "wb") as out:
        out.write(data)


def main(argv):
    if len(argv) == 4 and argv[1] == "build":
        build(argv[2], argv[3])
    elif len(argv) == 3 and argv[1] == "list":
        list_archive(argv[2])
    elif len(argv) == 6 and argv[1] == "data":
        make_data(argv[2], int(argv[3]), argv[4], int(argv[5]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
