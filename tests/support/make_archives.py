#!/usr/bin/env python3
"""Writes the archives the Windows tests of the program read, with Python's zipfile.

Usage: make_archives.py OUTPUT_FOLDER
"""
import os
import struct
import sys
import zipfile
import zlib


def write(path, entries):
    with zipfile.ZipFile(path, "w") as archive:
        for name, data, date, method in entries:
            info = zipfile.ZipInfo(name, date or (2021, 3, 4, 5, 6, 8))
            info.compress_type = method
            archive.writestr(info, data)


def write_claimed(path, entries):
    """Writes deflated entries whose records claim the given sizes (zip64 where they must): a
    listing reads only the records, so an entry of 5 GiB costs a few bytes."""
    local, central = b"", b""
    for name, data, claimed, (y, mo, d, h, mi) in entries:
        packed = zlib.compressobj(9, zlib.DEFLATED, -15)
        packed = packed.compress(data) + packed.flush()
        dos_time, dos_date = (h << 11) | (mi << 5), ((y - 1980) << 9) | (mo << 5) | d
        big = claimed >= 0xFFFFFFFF
        extra = struct.pack("<HHQQ", 1, 16, claimed, len(packed)) if big else b""
        sizes = (0xFFFFFFFF, 0xFFFFFFFF) if big else (len(packed), claimed)
        fields = struct.pack("<HHHHHIII", 45, 0x800, 8, dos_time, dos_date, zlib.crc32(data),
                             *sizes)
        offset = len(local)
        local += b"PK\3\4" + fields + struct.pack("<HH", len(name.encode()), len(extra))
        local += name.encode() + extra + packed
        central += b"PK\1\2" + struct.pack("<H", 45) + fields
        central += struct.pack("<HHHHHII", len(name.encode()), len(extra), 0, 0, 0, 0, offset)
        central += name.encode() + extra
    end = struct.pack("<4sHHHHIIH", b"PK\5\6", 0, 0, len(entries), len(entries), len(central),
                      len(local), 0)
    with open(path, "wb") as f:
        f.write(local + central + end)


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    deflated, stored = zipfile.ZIP_DEFLATED, zipfile.ZIP_STORED
    write(os.path.join(out, "catalogue.zip"), [
        # A date no calendar has: month 13, day 0.
        ("readme.txt", b"hello world\n" * 50, (2021, 13, 0, 5, 6, 8), deflated),
        ("docs/", b"", None, stored),
        ("docs/guide.txt", b"guide\n", (2019, 12, 31, 23, 59, 58), stored),
        ("a/b/c.txt", b"abc" * 100, (2020, 1, 2, 3, 4, 0), deflated),
        ("empty.txt", b"", (2022, 6, 7, 8, 9, 10), stored),
        ("/rooted.txt", b"root", None, stored),
        ("Zoë 日本.txt", "Zoë".encode() * 40, None, deflated),
    ])
    # Each entry holds its own name, so a test can tell which entry a file came from.
    names = ["plain.txt", "with space.txt", "Zoë 日本.txt", "nested/deeper/ünï.txt",
             "nested/top.txt", "a[1].txt", "a1.txt", "a*.txt", "ab.txt", "back\\slash.txt"]
    write(os.path.join(out, "names.zip"), [(n, n.encode(), None, deflated) for n in names])
    write(os.path.join(out, "four.zip"),
          [(f"f{i}.txt", f"new {i}".encode(), None, deflated) for i in range(1, 5)])
    write(os.path.join(out, "many.zip"),
          [(f"dir/f{i:04}.txt", str(i).encode(), None, deflated) for i in range(1100)])
    # Names with numbers, equal sizes, dates across years, an entry over 4 GiB, folders whose
    # names hold numbers: for sorting.
    write_claimed(os.path.join(out, "sorting.zip"), [
        ("file10.txt", b"a" * 10, 10, (2021, 1, 1, 10, 0)),
        ("docs/file2.txt", b"b" * 10, 10, (2020, 6, 1, 12, 0)),
        ("docs/sub10/File3.txt", b"ccc", 3, (2019, 12, 31, 23, 59)),
        ("docs/sub2/big.bin", b"x", 5 << 30, (2022, 2, 2, 2, 2)),
        ("a.txt", b"", 0, (2021, 1, 1, 9, 59)),
    ])
    # Message lines just under and just over the 32000 bytes that are passed on.
    write(os.path.join(out, "long-names.zip"), [("S" * 31900 + ".txt", b"s", None, deflated),
                                                ("L" * 32100 + ".txt", b"l", None, deflated)])
    # For Test: a sound entry, a stored one whose data no longer gives its CRC, and a method the
    # engine does not read.
    tested = os.path.join(out, "tested.zip")
    write(tested, [("good.txt", b"good " * 40, None, deflated),
                   ("bad.txt", b"stored data to damage", None, stored),
                   ("packed.bz2", b"bzip2 " * 40, None, zipfile.ZIP_BZIP2)])
    patch(tested, b"stored data to damage", b"stored dbta to damage", count=1)
    # Names in code page 932 without the UTF-8 flag, as older Japanese systems wrote them: written
    # under ASCII stand-ins of the same length, whose bytes are then swapped in.
    japanese = {"XXXXXX.txt": "日本語.txt", "YYYY/ZZZZ.txt": "資料/表紙.txt"}
    legacy = os.path.join(out, "cp932.zip")
    write(legacy, [(n, name.encode(), None, deflated) for n, name in japanese.items()])
    for stand_in, name in japanese.items():
        patch(legacy, stand_in.encode(), name.encode("cp932"))


def patch(path, old, new, count=2):
    """Swaps bytes of the same length, found count times (a name: the local and central header)."""
    with open(path, "rb") as f:
        data = f.read()
    assert len(old) == len(new) and data.count(old) == count
    with open(path, "wb") as f:
        f.write(data.replace(old, new))


if __name__ == "__main__":
    main()
