#!/usr/bin/env python3
"""Writes the sample archive that ./run opens when it is given none, from the project's own files:
a few text files and pictures, a nested folder, names with non-ASCII letters and one entry
encrypted with the password "corvane" (traditional PKWARE encryption), which the README gives.

Usage: make_sample_archive.py OUTPUT SOURCE_FOLDER ARTWORK_FOLDER
"""
import random
import struct
import sys
import zlib
from pathlib import Path

PASSWORD = b"corvane"
# Every entry carries this date, so that the archive is the same at every build.
DOS_TIME = (12 << 11) | (30 << 5)
DOS_DATE = ((2025 - 1980) << 9) | (6 << 5) | 14


def crc_table():
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            c = (c >> 1) ^ 0xEDB88320 if c & 1 else c >> 1
        table.append(c)
    return table


CRC = crc_table()


def encrypt(data, crc):
    """Traditional PKWARE encryption: the 12-byte header, then the data, through the key stream."""
    keys = [0x12345678, 0x23456789, 0x34567890]

    def update(byte):
        keys[0] = CRC[(keys[0] ^ byte) & 0xFF] ^ (keys[0] >> 8)
        keys[1] = ((keys[1] + (keys[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        keys[2] = CRC[(keys[2] ^ (keys[1] >> 24)) & 0xFF] ^ (keys[2] >> 8)

    for byte in PASSWORD:
        update(byte)
    header = bytes(random.Random(crc).randrange(256) for _ in range(11)) + bytes([crc >> 24])
    out = bytearray()
    for byte in header + data:
        temp = keys[2] | 2
        out.append(byte ^ (((temp * (temp ^ 1)) >> 8) & 0xFF))
        update(byte)
    return bytes(out)


def write_zip(path, entries):
    """entries: (stored name, data, encrypted) in archive order; every entry deflated."""
    body, directory = bytearray(), bytearray()
    for name, data, encrypted in entries:
        raw = name.encode("utf-8")
        crc = zlib.crc32(data)
        packer = zlib.compressobj(9, zlib.DEFLATED, -15)
        packed = packer.compress(data) + packer.flush()
        if encrypted:
            packed = encrypt(packed, crc)
        flags = 0x800 | (1 if encrypted else 0)  # names in UTF-8
        fields = struct.pack("<HHHHHIIIHH", 20, flags, 8, DOS_TIME, DOS_DATE, crc, len(packed),
                             len(data), len(raw), 0)
        directory += (b"PK\1\2" + struct.pack("<H", 20) + fields +
                      struct.pack("<HHHII", 0, 0, 0, 0, len(body)) + raw)
        body += b"PK\3\4" + fields + raw + packed
    end = struct.pack("<4sHHHHIIH", b"PK\5\6", 0, 0, len(entries), len(entries), len(directory),
                      len(body), 0)
    Path(path).write_bytes(bytes(body + directory + end))


def main():
    out, source, artwork = Path(sys.argv[1]), Path(sys.argv[2]), Path(sys.argv[3])
    read = lambda p: p.read_bytes()
    entries = [
        ("README.md", read(source / "README.md"), False),
        ("Lies mich zuerst – Übersicht.txt", read(source / "README.md").split(b"\n## ")[0], False),
        ("run", read(source / "run"), False),
        ("source/document/frmDocument.h", read(source / "src/document/frmDocument.h"), False),
        ("source/zip/AddFiles.cpp", read(source / "src/zip/AddFiles.cpp"), False),
        ("pictures/logo.bmp", read(artwork / "logo.bmp"), False),
        ("pictures/icons/corvane.ico", read(artwork / "corvane.ico"), False),
        ("pictures/icons/zipfile.ico", read(artwork / "zipfile.ico"), False),
        ("pictures/toolbar/new.bmp", read(artwork / "new.bmp"), False),
        ("pictures/toolbar/open.bmp", read(artwork / "open.bmp"), False),
        ("pictures/toolbar/extractto.bmp", read(artwork / "extractto.bmp"), False),
        ("secret/password is corvane.txt",
         b"This entry is encrypted; its password is \"corvane\".\n", True),
    ]
    out.parent.mkdir(parents=True, exist_ok=True)
    write_zip(out, entries)


if __name__ == "__main__":
    main()
