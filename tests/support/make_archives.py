#!/usr/bin/env python3
"""Writes the archives the Windows tests of the engine bindings read, and for each archive a
.expected file with what Python's zipfile reports about every entry (one line per entry, tab
separated: name, size, compressed size, CRC, method text, year month day hour minute, encrypted).

Usage: make_archives.py OUTPUT_FOLDER
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

STAMP = (2021, 3, 4, 5, 6, 8)


def entry(name, data, date=STAMP, method=zipfile.ZIP_DEFLATED, text=False):
    info = zipfile.ZipInfo(name, date)
    info.compress_type = method
    if text:
        info.internal_attr = 1
    return info, data


def write(path, entries):
    with zipfile.ZipFile(path, "w") as archive:
        for info, data in entries:
            archive.writestr(info, data)


def method_text(info):
    if info.compress_type == zipfile.ZIP_STORED:
        return "Stored"
    return "Defl:" + {0: "N", 2: "X", 4: "F", 6: "S"}[info.flag_bits & 6]


def write_expected(path):
    with zipfile.ZipFile(path) as archive, open(path + ".expected", "w", encoding="utf-8") as out:
        for info in archive.infolist():
            y, mo, d, h, mi, _ = info.date_time
            out.write("\t".join(str(v) for v in (
                info.filename, info.file_size, info.compress_size, info.CRC, method_text(info),
                f"{y} {mo} {d} {h} {mi}", info.flag_bits & 1)) + "\n")


def encrypted(path):
    # zipfile cannot encrypt, so the command-line zip writes this one.
    work = tempfile.mkdtemp()
    try:
        for name, data in (("one.txt", b"first secret\n" * 20), ("two.txt", b"second secret\n"),
                           ("plain.txt", b"not secret\n")):
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
            when = time.mktime((2020, 5, 6, 7, 8, 10, 0, 0, -1))
            os.utime(os.path.join(work, name), (when, when))
        if os.path.exists(path):
            os.remove(path)
        run = dict(cwd=work, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["zip", "-q", "-P", "secret", path, "one.txt", "two.txt"], **run)
        subprocess.run(["zip", "-q", path, "plain.txt"], **run)
    finally:
        shutil.rmtree(work)


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    path = lambda name: os.path.join(out, name)

    write(path("catalogue.zip"), [
        entry("readme.txt", b"hello world\n" * 50),
        entry("docs/", b"", method=zipfile.ZIP_STORED),
        entry("docs/guide.txt", b"guide\n", (2019, 12, 31, 23, 59, 58), zipfile.ZIP_STORED),
        entry("a/b/c.txt", b"abc" * 100, (2020, 1, 2, 3, 4, 0)),
        entry("empty.txt", b"", (2022, 6, 7, 8, 9, 10), zipfile.ZIP_STORED),
        entry("/rooted.txt", b"root", method=zipfile.ZIP_STORED),
        entry("back\\slash.txt", b"bs", method=zipfile.ZIP_STORED),
        entry("Zoë 日本.txt", "Zoë".encode() * 40),
    ])
    # Each entry holds its own name, so a test can tell which entry a file came from.
    names = ["plain.txt", "with space.txt", "Zoë 日本.txt", "nested/deeper/ünï.txt",
             "nested/top.txt", "a[1].txt", "a1.txt", "a*.txt", "ab.txt", "back\\slash.txt"]
    write(path("names.zip"), [entry(n, n.encode()) for n in names] +
          [entry("text.txt", b"one\ntwo\n", text=True)])
    write(path("four.zip"), [entry(f"f{i}.txt", f"new {i}".encode()) for i in range(1, 5)])
    write(path("many.zip"), [entry(f"dir/f{i:04}.txt", f"{i}".encode()) for i in range(1100)])
    # Message lines just under and just over the 32000 bytes that are passed on.
    write(path("long-names.zip"), [entry("S" * 31900 + ".txt", b"short"),
                                   entry("L" * 32100 + ".txt", b"long")])
    encrypted(path("encrypted.zip"))
    for name in ("catalogue.zip", "encrypted.zip"):
        write_expected(path(name))


if __name__ == "__main__":
    main()
