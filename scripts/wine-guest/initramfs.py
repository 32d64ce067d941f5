#!/usr/bin/env python3
"""initramfs.py OUT.cpio.gz BUSYBOX INIT MODULE_DIR MODULE...

Writes the guest's initial RAM disk: a gzip-compressed cpio archive (the
kernel's "newc" format) holding a static busybox, the init script and the
named kernel modules with every module they depend on, in an order that
loads each after its dependencies (modules/order). The dependencies are
read from each module's own .modinfo section, so no depmod is needed.
"""
import gzip
import os
import re
import sys


def module_index(module_dir):
    index = {}
    for folder, _, files in os.walk(module_dir):
        for name in files:
            if name.endswith(".ko"):
                index[name[:-3].replace("-", "_")] = os.path.join(folder, name)
    return index


def dependencies(path):
    data = open(path, "rb").read()
    found = re.search(rb"\0depends=([^\0]*)\0", data)
    if not found or not found.group(1):
        return []
    return [name.decode().replace("-", "_") for name in found.group(1).split(b",")]


def load_order(index, wanted):
    order = []

    def visit(name, chain):
        if name in order:
            return
        if name not in index:
            sys.exit(f"initramfs: kernel module {name} not found (needed by {' < '.join(chain) or 'the guest'})")
        for dependency in dependencies(index[name]):
            visit(dependency, chain + [name])
        order.append(name)

    for name in wanted:
        visit(name, [])
    return order


class Cpio:
    def __init__(self, out):
        self.out = out
        self.inode = 1

    def entry(self, name, mode, data=b""):
        name_bytes = name.encode() + b"\0"
        header = "070701" + "".join(
            f"{value:08x}"
            for value in (self.inode, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(name_bytes), 0))
        self.inode += 1
        self.out.write(header.encode() + name_bytes)
        self.out.write(b"\0" * (-(110 + len(name_bytes)) % 4))
        self.out.write(data)
        self.out.write(b"\0" * (-len(data) % 4))

    def folder(self, name):
        self.entry(name, 0o040755)

    def file(self, name, data, executable=False):
        self.entry(name, 0o100755 if executable else 0o100644, data)

    def end(self):
        self.entry("TRAILER!!!", 0)


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    out_path, busybox, init, module_dir, *wanted = sys.argv[1:]
    index = module_index(module_dir)
    order = load_order(index, wanted)
    with gzip.open(out_path, "wb", compresslevel=6) as out:
        cpio = Cpio(out)
        for folder in ("bin", "dev", "proc", "sys", "modules", "lower", "upper", "newroot"):
            cpio.folder(folder)
        cpio.file("bin/busybox", open(busybox, "rb").read(), executable=True)
        cpio.file("init", open(init, "rb").read(), executable=True)
        for name in order:
            cpio.file(f"modules/{name}.ko", open(index[name], "rb").read())
        cpio.file("modules/order", "".join(name + "\n" for name in order).encode())
        cpio.end()


if __name__ == "__main__":
    main()
