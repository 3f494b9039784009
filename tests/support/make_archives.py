#!/usr/bin/env python3
"""Writes the archives the Windows tests of the program read, with Python's zipfile.

Usage: make_archives.py OUTPUT_FOLDER
"""
import os
import sys
import zipfile


def write(path, entries):
    with zipfile.ZipFile(path, "w") as archive:
        for name, data, date, method in entries:
            info = zipfile.ZipInfo(name, date or (2021, 3, 4, 5, 6, 8))
            info.compress_type = method
            archive.writestr(info, data)


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
