#!/usr/bin/env python3
"""Seed corpora of the fuzz harnesses, made from the archives in tests/data
(loose .lzh files and the .tar.xz corpora) into <out>/<harness>/.

extract       every archive; one longer than 48 KiB with each member cut
              to its first 4 KiB (sizes in the headers cut to match)
decode        every compressed member as the decode harness takes it:
              method, original size, progress stride, packed bytes
config_block  a few blocks of each kind, with an archive behind them
command_line  a few command lines

Files are named by their SHA-1, as libFuzzer names them, so that running
the script again adds nothing twice."""
import hashlib
import os
import struct
import sys
import tarfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from lzhmake import read_members  # noqa: E402

LONG_ARCHIVE = 48 * 1024
CUT_MEMBER = 4096
METHODS = [b"-lh1-", b"-lh2-", b"-lh3-", b"-lh4-", b"-lh5-", b"-lh6-", b"-lh7-", b"-lzs-", b"-lz5-"]
DECODE_PACKED = 16 * 1024
DECODE_ORIGINAL = 1 << 17


def archives(data_dir):
    for root, _, files in sorted(os.walk(data_dir)):
        for name in sorted(files):
            path = os.path.join(root, name)
            if name.endswith((".lzh", ".lzs")):
                with open(path, "rb") as f:
                    yield f.read()
            elif name.endswith(".tar.xz"):
                with tarfile.open(path) as tar:
                    for member in sorted(tar.getmembers(), key=lambda m: m.name):
                        if member.isfile() and member.name.endswith((".lzh", ".lzs")):
                            yield tar.extractfile(member).read()


def members(archive):
    """(header start, data start, packed size) of each member, as far as the
    headers can be followed."""
    for start, _, info in read_members(archive):
        yield start, info["data"], info["packed"]


def cut_members(archive):
    """The archive with every member's data cut to CUT_MEMBER bytes."""
    out, end = b"", 0
    for header, start, packed in members(archive):
        keep = min(packed, CUT_MEMBER)
        head = bytearray(archive[header:start])
        struct.pack_into("<I", head, 7, struct.unpack_from("<I", head, 7)[0] - (packed - keep))
        original = struct.unpack_from("<I", head, 11)[0]
        struct.pack_into("<I", head, 11, min(original, 4 * keep))
        out += bytes(head) + archive[start:start + keep]
        end = start + packed
    return out + archive[end:end + 1]


def decode_inputs(archive):
    for header, start, packed in members(archive):
        method = archive[header + 2:header + 7]
        if method not in METHODS:
            continue
        original = struct.unpack_from("<I", archive, header + 11)[0]
        keep = min(packed, DECODE_PACKED)
        if keep < packed:
            original = min(original, 4 * keep)
        original = min(original, DECODE_ORIGINAL)
        head = bytes([METHODS.index(method)]) + struct.pack("<I", original)[:3] + bytes([0x20])
        yield head + archive[start:start + keep]


def text(s):
    s = s.encode("latin-1") if isinstance(s, str) else s
    return bytes([len(s)]) + s


def config_blocks(tail):
    installer = lambda title, program_files, dest, program, options, post, shortcut: (
        b"\x01" + text(title) + bytes([program_files]) + text(dest) + text(program) + bytes(options) +
        text(post) + text(shortcut))
    blocks = [
        b"\x00",
        installer("Vorn 1.0", 1, "Vorn", "vorn.exe", [3, 1, 2], "", "Vorn"),
        installer("", 0, "", "", [0, 0, 0], "", ""),
        installer("T", 0, "D:\\Tools\\Vorn", "vorn.exe", [1, 3, 0], "setup.exe", "Vorn"),
        installer("\x83o\x83\x8b\x83\x93", 0, "\x83\\\x83o", "a.exe", [2, 2, 2], "b.exe", "c"),
        installer("x" * 255, 1, "y" * 255, "z" * 255, [3, 3, 3], "p" * 255, "s" * 255),
    ]
    # flags, the current directory's length, then the block and an archive.
    for i, block in enumerate(blocks):
        yield bytes([i * 0x0B & 0x3F, 20]) + block + tail
        yield bytes([0x10, 250]) + block[:len(block) // 2]


COMMAND_LINES = [
    b'setup.exe "C:\\Program Files\\Vorn" /mdt lzh zip /c /a',
    b'"C:\\setup.exe" -M /D LZH 7z Tbz bz2 rar cab tgz tar gz',
    b'setup "unterminated /m',
    b'"quoted name" "" /c zip "\x83\\\x83o"',
    b"setup\t/x\n-\r\"D:\\\" lzh",
]


def write(out_dir, harness, data):
    folder = os.path.join(out_dir, harness)
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, hashlib.sha1(data).hexdigest())
    if not os.path.exists(path):
        with open(path, "wb") as f:
            f.write(data)


def main():
    data_dir, out_dir = sys.argv[1], sys.argv[2]
    small_archive = b""
    for archive in archives(data_dir):
        write(out_dir, "extract", archive if len(archive) <= LONG_ARCHIVE else cut_members(archive))
        for seed in decode_inputs(archive):
            write(out_dir, "decode", seed)
        if not small_archive or len(archive) < len(small_archive):
            small_archive = archive
    for seed in config_blocks(small_archive):
        write(out_dir, "config_block", seed)
    for line in COMMAND_LINES:
        write(out_dir, "command_line", line)


if __name__ == "__main__":
    main()
