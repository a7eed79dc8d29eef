#!/usr/bin/python3
"""Independent view of compound files for the compound-file tests, built on
the olefile module (python3-olefile).

  ole_tool.py dump FILE OUTDIR   every stream directly under the root, written to
                                 OUTDIR/<UTF-16LE name as hex>.bin; prints the
                                 sector size, the mini stream's size and the length of
                                 its sector chain, then one line per entry below the root:
                                 <path as hex names joined by '/'> <type> <size> <clsid>
  ole_tool.py to-v4 IN OUT       rewrites IN with 4096-byte sectors (version 4),
                                 keeping directory entries, tree and class ids
"""
import os
import struct
import sys

import olefile

FREE, END, FATSECT = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD


def hexname(name):
    return name.encode("utf-16-le").hex()


def chain_length(ole, start):
    n = 0
    while start < len(ole.fat) and n <= len(ole.fat):  # stops at END, FREE or a loop
        n += 1
        start = ole.fat[start]
    return n


def dump(path, outdir):
    ole = olefile.OleFileIO(path)
    print("sector", ole.sectorsize, "ministream", ole.root.size, chain_length(ole, ole.root.isectStart))
    os.makedirs(outdir, exist_ok=True)

    def walk(entry, prefix):
        for child in sorted(entry.kids, key=lambda k: k.name):
            p = prefix + [hexname(child.name)]
            kind = "stream" if child.entry_type == olefile.STGTY_STREAM else "storage"
            print("/".join(p), kind, child.size, child.clsid or "-")
            if kind == "stream" and not prefix:
                data = ole._open(child.isectStart, child.size).read()
                with open(os.path.join(outdir, hexname(child.name) + ".bin"), "wb") as f:
                    f.write(data)
            if kind == "storage":
                walk(child, p)

    print("root", ole.root.clsid or "-")
    walk(ole.root, [])


def to_v4(src, dst):
    ole = olefile.OleFileIO(src)
    ole.directory_fp.seek(0)
    raw = ole.directory_fp.read()
    entries = [bytearray(raw[i:i + 128]) for i in range(0, len(raw), 128)]
    ss, per = 4096, 1024
    small, big = [], []
    for sid, e in enumerate(entries):
        if e[0x42] != 2:
            continue
        size = struct.unpack_from("<I", e, 0x78)[0]
        data = ole._open(struct.unpack_from("<I", e, 0x74)[0], size).read() if size else b""
        (small if 0 < size < 4096 else big).append((sid, data))
        if size == 0:
            struct.pack_into("<IQ", e, 0x74, END, 0)
    while len(entries) % 32:
        entries.append(bytearray(b"\0" * 0x44 + b"\xff" * 12 + b"\0" * 0x30))

    mini = bytearray()
    minifat = []
    for sid, data in small:
        first = len(minifat)
        count = (len(data) + 63) // 64
        minifat += [first + i + 1 for i in range(count - 1)] + [END]
        struct.pack_into("<IQ", entries[sid], 0x74, first, len(data))
        mini += data + b"\0" * (count * 64 - len(data))

    def sectors(n):
        return (n + ss - 1) // ss

    dir_n = sectors(len(entries) * 128)
    minifat_n = sectors(len(minifat) * 4)
    mini_n = sectors(len(mini))
    big_n = sum(sectors(len(d)) for _, d in big)
    fat_n = 1
    while fat_n * per < fat_n + dir_n + minifat_n + mini_n + big_n:
        fat_n += 1
    assert fat_n <= 109
    fat = [FATSECT] * fat_n
    body = bytearray()

    def place(data):
        start = len(fat) if data else END
        n = sectors(len(data))
        fat.extend([len(fat) + i + 1 for i in range(n - 1)] + ([END] if n else []))
        body.extend(data + b"\0" * (n * ss - len(data)))
        return start

    dir_at = len(fat)
    dir_bytes_at = len(body)
    body.extend(b"\0" * (dir_n * ss))
    fat.extend([dir_at + i + 1 for i in range(dir_n - 1)] + [END])
    minifat_at = place(b"".join(struct.pack("<I", v) for v in minifat) +
                       b"\xff" * (minifat_n * ss - 4 * len(minifat)))
    root_start = place(bytes(mini))
    struct.pack_into("<IQ", entries[0], 0x74, root_start, len(mini))
    for sid, data in big:
        struct.pack_into("<IQ", entries[sid], 0x74, place(data), len(data))
    body[dir_bytes_at:dir_bytes_at + len(entries) * 128] = b"".join(entries)
    fat += [FREE] * (fat_n * per - len(fat))

    header = bytearray(ss)
    header[0:8] = bytes.fromhex("D0CF11E0A1B11AE1")
    struct.pack_into("<HHHHH", header, 0x18, 0x3E, 4, 0xFFFE, 12, 6)
    struct.pack_into("<IIIIIIIII", header, 0x28, dir_n, fat_n, dir_at, 0, 4096,
                     minifat_at if minifat else END, minifat_n if minifat else 0, END, 0)
    for i in range(109):
        struct.pack_into("<I", header, 0x4C + 4 * i, i if i < fat_n else FREE)
    with open(dst, "wb") as f:
        f.write(header)
        f.write(b"".join(struct.pack("<I", v) for v in fat))
        f.write(body)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "dump":
        dump(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 4 and sys.argv[1] == "to-v4":
        to_v4(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
