#!/usr/bin/env python3
"""Writes crafted ZIP archives into a folder: hostile ones (unsafe names, overlapping entries,
lying headers, damaged records, damaged Deflate64 streams and AES frames) and unusual but valid
ones (name encodings and legacy code pages, data descriptors, data before the archive, encryption
with a descriptor, Deflate64's long matches and far distances). Built byte by byte from the format
description, so each archive holds exactly the flaw its name says; the AES-encrypted data comes
from 7zz (AES is not in Python's library), its damage from here.

usage: make_hostile_archives.py OUTDIR
"""
import os
import random
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

DOS_TIME = (12 << 11) | (34 << 5) | (56 // 2)  # 12:34:56
DOS_DATE = ((2021 - 1980) << 9) | (3 << 5) | 14  # 2021-03-14


class Member:
    def __init__(self, name, data=b"", method=0, flags=0, extra=b"", central_extra=None,
                 external=0, made_by=20, internal=0, raw=None):
        self.name = name if isinstance(name, bytes) else name.encode("utf-8")
        self.data = data
        self.method = method
        self.flags = flags
        self.extra = extra
        self.central_extra = extra if central_extra is None else central_extra
        self.external = external
        self.made_by = made_by
        self.internal = internal
        self.crc = zlib.crc32(data)
        self.size = len(data)
        if raw is not None:
            self.payload = raw
        elif method == 8:
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
            self.payload = c.compress(data) + c.flush()
        else:
            self.payload = data
        self.csize = len(self.payload)
        # Values the headers claim; tests override them to lie.
        self.local = {}
        self.central = {}
        self.descriptor = None  # bytes written after the data
        self.offset = None


def local_header(m):
    v = dict(sig=0x04034B50, version=20, flags=m.flags, method=m.method, time=DOS_TIME,
             date=DOS_DATE, crc=m.crc, csize=m.csize, usize=m.size, name=m.name, extra=m.extra)
    v.update(m.local)
    return struct.pack("<IHHHHHIIIHH", v["sig"], v["version"], v["flags"], v["method"], v["time"],
                       v["date"], v["crc"], v["csize"], v["usize"], len(v["name"]),
                       len(v["extra"])) + v["name"] + v["extra"]


def central_header(m):
    v = dict(made_by=m.made_by, flags=m.flags, method=m.method, time=DOS_TIME, date=DOS_DATE,
             crc=m.crc, csize=m.csize, usize=m.size, name=m.name, extra=m.central_extra,
             offset=m.offset, external=m.external, internal=m.internal, disk=0)
    v.update(m.central)
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, v["made_by"], 20, v["flags"], v["method"],
                       v["time"], v["date"], v["crc"], v["csize"], v["usize"], len(v["name"]),
                       len(v["extra"]), 0, v["disk"], v["internal"], v["external"],
                       v["offset"]) + v["name"] + v["extra"]


def archive(members, comment=b"", prefix=b"", count=None, cd_offset_delta=0, adjust_offsets=False,
            zip64=False, disk_count=None, disk=0):
    out = bytearray(prefix)
    base = 0 if adjust_offsets else len(prefix)
    for m in members:
        if m.offset is None:
            m.offset = len(out) - base
        out += local_header(m) + m.payload + (m.descriptor or b"")
    cd_start = len(out) - base
    cd = b"".join(central_header(m) for m in members)
    out += cd
    n = len(members) if count is None else count
    if zip64:
        z64_at = len(out) - base
        out += struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, n, n, len(cd),
                           cd_start + cd_offset_delta)
        out += struct.pack("<IIQI", 0x07064B50, 0, z64_at, 1)
        out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                           len(comment)) + comment
    else:
        on_disk = n if disk_count is None else disk_count
        out += struct.pack("<IHHHHIIH", 0x06054B50, disk, disk, on_disk & 0xFFFF, n & 0xFFFF,
                           len(cd), cd_start + cd_offset_delta, len(comment)) + comment
    return bytes(out)


def unicode_path(name, header_name):
    data = struct.pack("<BI", 1, zlib.crc32(header_name)) + name.encode("utf-8")
    return struct.pack("<HH", 0x7075, len(data)) + data


def zip64_extra(*values):
    data = b"".join(struct.pack("<Q", v) for v in values)
    return struct.pack("<HH", 1, len(data)) + data


class Crypto:
    def __init__(self, password):
        self.k = [0x12345678, 0x23456789, 0x34567890]
        for c in password:
            self.update(c)

    def update(self, c):
        self.k[0] = self._crc(self.k[0], c)
        self.k[1] = ((self.k[1] + (self.k[0] & 0xFF)) * 134775813 + 1) & 0xFFFFFFFF
        self.k[2] = self._crc(self.k[2], self.k[1] >> 24)

    @staticmethod
    def _crc(v, b):
        # One step of the CRC-32 register: crc32 of a single byte with the register as state.
        return (zlib.crc32(bytes([b]), v ^ 0xFFFFFFFF) ^ 0xFFFFFFFF) & 0xFFFFFFFF

    def encrypt(self, data):
        out = bytearray()
        for p in data:
            t = (self.k[2] | 2) & 0xFFFF
            out.append(p ^ (((t * (t ^ 1)) >> 8) & 0xFF))
            self.update(p)
        return bytes(out)


def encrypted_member(name, data, password, descriptor):
    m = Member(name, data, method=8, flags=1 | (8 if descriptor else 0))
    check = (DOS_TIME >> 8) & 0xFF if descriptor else (m.crc >> 24) & 0xFF
    header = bytes(range(11)) + bytes([check])
    m.payload = Crypto(password.encode()).encrypt(header + m.payload)
    m.csize = len(m.payload)
    if descriptor:
        m.local = dict(crc=0, csize=0, usize=0)
        m.descriptor = struct.pack("<IIII", 0x08074B50, m.crc, m.csize, m.size)
    return m


class Bits:
    """A deflate bit stream: fields least significant bit first, Huffman codes most significant
    bit first."""

    def __init__(self):
        self.out = bytearray()
        self.value = 0
        self.count = 0

    def put(self, value, n):
        self.value |= value << self.count
        self.count += n
        while self.count >= 8:
            self.out.append(self.value & 0xFF)
            self.value >>= 8
            self.count -= 8

    def code(self, code, n):
        self.put(int(format(code, "0%db" % n)[::-1], 2), n)

    def align(self):
        if self.count:
            self.put(0, 8 - self.count)

    def data(self):
        self.align()
        return bytes(self.out)


# Deflate64's length symbols 257-285 (285: base 3, 16 extra bits) and distance symbols 0-31.
LENGTHS = [(3, 0), (4, 0), (5, 0), (6, 0), (7, 0), (8, 0), (9, 0), (10, 0), (11, 1), (13, 1),
           (15, 1), (17, 1), (19, 2), (23, 2), (27, 2), (31, 2), (35, 3), (43, 3), (51, 3), (59, 3),
           (67, 4), (83, 4), (99, 4), (115, 4), (131, 5), (163, 5), (195, 5), (227, 5), (3, 16)]
DISTANCES = [(1, 0), (2, 0), (3, 0), (4, 0), (5, 1), (7, 1), (9, 2), (13, 2), (17, 3), (25, 3),
             (33, 4), (49, 4), (65, 5), (97, 5), (129, 6), (193, 6), (257, 7), (385, 7), (513, 8),
             (769, 8), (1025, 9), (1537, 9), (2049, 10), (3073, 10), (4097, 11), (6145, 11),
             (8193, 12), (12289, 12), (16385, 13), (24577, 13), (32769, 14), (49153, 14)]


def fixed_symbol(bits, symbol):
    if symbol < 144:
        bits.code(0x30 + symbol, 8)
    elif symbol < 256:
        bits.code(0x190 + symbol - 144, 9)
    elif symbol < 280:
        bits.code(symbol - 256, 7)
    else:
        bits.code(0xC0 + symbol - 280, 8)


def deflate64(blocks):
    """A Deflate64 stream and the bytes it decodes to. Each block is ("stored", bytes) or
    ("fixed", [bytes or (length, distance)...]); the last block is final."""
    bits, out = Bits(), bytearray()
    for i, (kind, content) in enumerate(blocks):
        bits.put(1 if i == len(blocks) - 1 else 0, 1)
        if kind == "stored":
            bits.put(0, 2)
            bits.align()
            bits.out += struct.pack("<HH", len(content), len(content) ^ 0xFFFF) + content
            out += content
            continue
        bits.put(1, 2)
        for op in content:
            if isinstance(op, bytes):
                for c in op:
                    fixed_symbol(bits, c)
                out += op
                continue
            length, distance = op
            symbol = 28 if length > 258 else max(i for i, (base, _) in enumerate(LENGTHS[:28])
                                                 if base <= length)
            fixed_symbol(bits, 257 + symbol)
            bits.put(length - LENGTHS[symbol][0], LENGTHS[symbol][1])
            code = max(i for i, (base, _) in enumerate(DISTANCES) if base <= distance)
            bits.code(code, 5)
            bits.put(distance - DISTANCES[code][0], DISTANCES[code][1])
            for _ in range(length):
                out.append(out[-distance] if distance <= len(out) else 0)
        fixed_symbol(bits, 256)
    return bits.data(), bytes(out)


def aes_field(version, strength, method):
    return struct.pack("<HHH2sBH", 0x9901, 7, version, b"AE", strength, method)


def seven_zip(steps):
    """An archive made by 7zz: each step is (name, data, 7zz options) added in turn."""
    with tempfile.TemporaryDirectory() as folder:
        archive = os.path.join(folder, "out.zip")
        for name, data, options in steps:
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
            subprocess.run(["7zz", "a", "-bd", "-tzip"] + options + [archive, name], cwd=folder,
                           check=True, stdout=subprocess.DEVNULL)
        with open(archive, "rb") as f:
            return f.read()


def entry_data(data, name):
    """Where an entry's data starts in an archive, and how long it is."""
    info = zipfile.ZipFile(__import__("io").BytesIO(data)).getinfo(name)
    n, m = struct.unpack("<HH", data[info.header_offset + 26:info.header_offset + 30])
    return info.header_offset + 30 + n + m, info.compress_size


def flipped(data, at):
    return data[:at] + bytes([data[at] ^ 0x5A]) + data[at + 1:]


def build():
    text = b"The quick brown fox jumps over the lazy dog.\n" * 50
    a = {}

    # Names that try to leave the target folder or are not valid on Windows.
    a["unsafe_names.zip"] = archive([Member(n, n.encode() + b"\n") for n in [
        "../evil1.txt", "/abs/evil2.txt", "C:\\evil3.txt", "C:evil4.txt",
        "\\\\server\\share\\evil5.txt", "a/../../evil6.txt", "dir\\sub\\back.txt", "CON",
        "aux.txt", "lpt1", "bad<>:\"|?*.txt", "trailing. ", "./dot/./x.txt", "ok.txt"]])
    # A name that a C string cuts at its zero byte to "safe.txt".
    a["zero_in_name.zip"] = archive([Member(b"safe.txt\x00.exe", b"MZ"),
                                     Member("fine.txt", b"fine\n")])
    # A link entry (Unix mode lrwxrwxrwx) whose data is a path outside the target.
    a["symlink.zip"] = archive([Member("link", b"/etc/passwd", made_by=(3 << 8) | 30,
                                       external=0xA1FF << 16), Member("after.txt", b"after\n")])

    # The overlapping-entry bomb: every central record points at one local header.
    bomb = Member("bomb/0.txt", b"A" * 100000, method=8)
    bomb.offset = 0
    members = [bomb]
    for i in range(1, 20):
        m = Member("bomb/%d.txt" % i, b"A" * 100000, method=8)
        m.offset = 0
        m.payload = b""
        members.append(m)
    data = bytearray(local_header(bomb) + bomb.payload)
    for m in members[1:]:
        m.csize = bomb.csize
    cd = b"".join(central_header(m) for m in members)
    a["overlap_bomb.zip"] = bytes(data) + cd + struct.pack(
        "<IHHHHIIH", 0x06054B50, 0, 0, len(members), len(members), len(cd), len(data), 0)

    # Entry 2's header lies inside entry 1's data.
    first = Member("first.txt", b"1" * 1000)
    second = Member("second.txt", b"2" * 10)
    inner = local_header(second) + second.payload
    first.payload = first.data[:100] + inner + first.data[100 + len(inner):]
    first.data = first.payload
    first.crc = zlib.crc32(first.data)
    second.offset = 30 + len(first.name) + 100
    a["overlap_inner.zip"] = archive([first, second])

    m = Member("name.txt", text)
    m.local = dict(name=b"other.txt")
    a["local_name_differs.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("method.txt", text, method=8)
    m.local = dict(method=0)
    a["local_method_differs.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("crc.txt", text)
    m.local = dict(crc=0x12345678)
    a["local_crc_differs.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("csize.txt", text, method=8)
    m.central = dict(csize=0x7FFFFFF0)
    a["csize_past_end.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("short.txt", text, method=8)
    m.local = m.central = dict(usize=100)
    a["usize_too_small.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("long.txt", text, method=8)
    m.local = dict(usize=len(text) + 1000)
    m.central = dict(usize=len(text) + 1000)
    a["usize_too_big.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("badcrc.txt", text, method=8)
    m.local = m.central = dict(crc=m.crc ^ 1)
    a["bad_crc.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("garbage.txt", text, method=8, raw=b"\xff" * 64)
    a["corrupt_deflate.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("trailing.txt", text, method=8)
    m.payload += b"junk"
    m.csize = len(m.payload)
    a["deflate_trailing_bytes.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("bz.txt", text, method=12, raw=b"BZh9" + b"\0" * 20)
    a["bzip2_entry.zip"] = archive([m, Member("fine.txt", b"fine\n")])

    a["count_too_high.zip"] = archive([Member("one.txt", b"1\n")], count=1000)
    a["cd_offset_past_end.zip"] = archive([Member("one.txt", b"1\n")], cd_offset_delta=5000)
    a["cd_offset_wrong.zip"] = archive([Member("one.txt", b"1\n"), Member("two.txt", b"2\n")],
                                       cd_offset_delta=-7)
    m = Member("loop.txt", b"x\n")
    m.central = dict(offset=0x7FFFFFFF)
    a["local_offset_past_cd.zip"] = archive([m])
    m = Member("z64.txt", b"x\n")
    m.central = dict(csize=0xFFFFFFFF, usize=0xFFFFFFFF)
    a["zip64_extra_missing.zip"] = archive([m])
    z = archive([Member("z.txt", b"z\n")], zip64=True)
    locator = z.rfind(b"PK\x06\x07")
    a["zip64_locator_wrong.zip"] = z[:locator + 8] + struct.pack("<Q", 3) + z[locator + 16:]
    z64 = z.rfind(b"PK\x06\x06")
    a["zip64_counts_differ.zip"] = z[:z64 + 24] + struct.pack("<QQ", 1, 2) + z[z64 + 40:]
    # One disk, but the count of entries on this disk says 1 of 2.
    a["disk_count_differs.zip"] = archive([Member("one.txt", b"1\n"), Member("two.txt", b"2\n")],
                                          disk_count=1)
    a["multi_disk.zip"] = archive([Member("one.txt", b"1\n")], disk=1)
    a["empty.zip"] = b""
    a["not_a_zip.zip"] = b"This is plain text, not an archive.\n" * 10
    a["only_end_record.zip"] = archive([])

    # Valid but unusual.
    a["zip64_valid.zip"] = archive([Member("big.txt", text, method=8)], zip64=True)
    m = Member("z64x.txt", text, method=8)
    m.central_extra = zip64_extra(len(text), m.csize)
    m.central = dict(csize=0xFFFFFFFF, usize=0xFFFFFFFF)
    m.extra = zip64_extra(len(text), m.csize)
    m.local = dict(csize=0xFFFFFFFF, usize=0xFFFFFFFF)
    a["zip64_extra_sizes.zip"] = archive([m])
    a["zip64_prefix.zip"] = archive([Member("sfx64.txt", text, method=8)], zip64=True,
                                    prefix=b"MZ" + b"\0" * 510)
    a["bytes_after_end.zip"] = archive([Member("after.txt", b"after\n")]) + b"appended junk"
    a["cp437_name.zip"] = archive([Member(b"caf\x82 \x9c.txt", b"cp437\n")])
    a["utf8_unflagged.zip"] = archive([Member("na\u00efve \u65e5\u672c.txt", b"utf8\n")])
    a["utf8_flagged_invalid.zip"] = archive([Member(b"\xff\xfe.txt", b"bad\n", flags=0x800)])
    a["unicode_path_extra.zip"] = archive([
        Member(b"plain.txt", b"u\n", extra=unicode_path("\u00fcn\u00efcode.txt", b"plain.txt")),
        Member(b"stale.txt", b"s\n", extra=unicode_path("wrong.txt", b"something else"))])
    a["duplicates.zip"] = archive([Member("same.txt", b"first\n"), Member("same.txt", b"second\n"),
                                   Member("Case.txt", b"upper\n"), Member("case.txt", b"lower\n")])
    stub = b"MZ" + b"\0" * 998
    a["prefix_unadjusted.zip"] = archive([Member("sfx.txt", text, method=8)], prefix=stub)
    a["prefix_adjusted.zip"] = archive([Member("sfx.txt", text, method=8)], prefix=stub,
                                       adjust_offsets=True)
    # A comment holding a decoy end-record signature.
    decoy = b"PK\x05\x06" + b"\0" * 16 + b"\x05\0" + b"tail"
    a["comment_decoy.zip"] = archive([Member("c.txt", b"c\n")],
                                     comment=decoy + b"x" * (65535 - len(decoy)))
    descriptors = []
    for i, (sig, wide) in enumerate([(True, False), (False, False), (True, True), (False, True)]):
        m = Member("dd%d.txt" % i, text + bytes([i]), method=8, flags=8)
        m.local = dict(crc=0, csize=0, usize=0)
        fmt = "<QQ" if wide else "<II"
        m.descriptor = ((b"PK\x07\x08" if sig else b"") + struct.pack("<I", m.crc) +
                        struct.pack(fmt, m.csize, m.size))
        descriptors.append(m)
    a["data_descriptors.zip"] = archive(descriptors)
    a["encrypted.zip"] = archive([encrypted_member("secret1.txt", text, "pw", False),
                                  encrypted_member("secret2.txt", text + b"2", "pw", True),
                                  Member("plain.txt", b"plain\n")])
    a["encrypted_two_passwords.zip"] = archive([encrypted_member("a.txt", text, "one", False),
                                                encrypted_member("b.txt", text, "two", False)])
    m = Member("text.txt", b"line1\nline2\r\nline3\n", internal=1)
    a["text_entry.zip"] = archive([m, Member("binary.bin", b"a\nb\n")])
    # Over 4 MiB: decoded with checking and writing on a thread of their own.
    big = bytes(range(256)) * (5 * 4096 + 7)
    a["large_entry.zip"] = archive([Member("large.bin", big, method=8),
                                    Member("after.txt", b"after\n")])
    a["small_then_large.zip"] = archive([Member("first.txt", b"first\n"),
                                         Member("large.bin", big, method=8)])
    m = Member("large.bin", big, method=8)
    m.local = m.central = dict(crc=m.crc ^ 1)
    a["bad_crc_large.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    a["full_disk.zip"] = archive([Member("big.bin", b"x" * 2000000, method=8),
                                  Member("small.txt", b"s")])
    # Names one file on Windows, where case folds over all of Unicode: the later entry must land.
    a["unicode_twins.zip"] = archive([Member("\u00c9t\u00e9.txt", big, method=8),
                                      Member("\u00e9t\u00c9.txt", b"later\n")])
    a["folder_clash.zip"] = archive([Member("docs/x.txt", b"x"), Member("other.txt", b"o"),
                                     Member("docs2", b"d")])
    # Text whose CR LF pairs and lone LFs fall on the 256 KiB chunk ends of decoding, in an entry
    # decoded on the calling worker and in one decoded on the overlapped path.
    chunk = 256 * 1024
    line = b"x" * (chunk - 1) + b"\r\n" + b"y" * (chunk - 2) + b"\n" + b"z\r\nw\n"
    a["text_chunks.zip"] = archive([Member("small.txt", line, method=8, internal=1),
                                    Member("large.txt", line * 10, method=8, internal=1)])
    # NTFS times beyond what any system sets: bit 63 set, and the year 30828.
    for name, filetime in [("ntfs_time_bit63", 1 << 63), ("ntfs_time_far", (1 << 63) - 1)]:
        ntfs = struct.pack("<IHHQQQ", 0, 1, 24, filetime, filetime, filetime)
        a[name + ".zip"] = archive([Member("t.txt", b"t\n", extra=struct.pack("<HH", 10, 32) + ntfs)])
    a["long_name.zip"] = archive([Member("/".join(["d%02d_%s" % (i, "x" * 40) for i in range(8)]) +
                                         "/file.txt", b"deep\n")])

    # Names from systems that wrote their own code page and no UTF-8 flag; beside them a name
    # flagged UTF-8, and one flagged UTF-8 that is not (read as code page 437 whatever is chosen).
    for page, name in [(932, "\u65e5\u672c\u8a9e.txt"), (936, "\u4e2d\u6587\u540d.txt"),
                       (1251, "\u041f\u0440\u0438\u0432\u0435\u0442.txt"),
                       (866, "\u041f\u0440\u0438\u0432\u0435\u0442.txt")]:
        raw = name.encode("cp%d" % page)
        assert raw.decode("utf-8", "replace") != name  # not valid UTF-8 by chance
        a["codepage_%d.zip" % page] = archive([
            Member(raw, name.encode("utf-8")), Member("fl\u00e4gged.txt", b"utf8\n", flags=0x800),
            Member(b"\xcf\xf0.txt", b"bad\n", flags=0x800)])

    # Deflate64: a stored block, then matches only it can express: a length of 65,538 (code 285
    # with 16 extra bits) and distances past 32 KiB (codes 30 and 31).
    rnd = random.Random(64)
    noise = bytes(rnd.getrandbits(8) for _ in range(50000))
    stream, data = deflate64([("stored", noise), ("fixed", [(65538, 50000), (1000, 40000),
                                                            (300, 65536), b"end\n"])])
    a["deflate64_long_match.zip"] = archive([Member("long.bin", data, method=9, raw=stream)])
    a["deflate64_truncated.zip"] = archive([Member("cut.bin", data, method=9,
                                                   raw=stream[:len(stream) // 2]),
                                            Member("fine.txt", b"fine\n")])
    stream, data = deflate64([("fixed", [b"abc", (3, 40000)])])
    a["deflate64_far_distance.zip"] = archive([Member("far.bin", b"abc" * 2, method=9, raw=stream),
                                               Member("fine.txt", b"fine\n")])
    bits = Bits()
    bits.put(1, 1)
    bits.put(2, 2)
    bits.put(0, 5)
    bits.put(0, 5)
    bits.put(15, 4)
    for _ in range(19):  # 19 codes of one bit: more than one bit can tell apart
        bits.put(1, 3)
    a["deflate64_bad_code.zip"] = archive([Member("code.bin", text, method=9, raw=bits.data()),
                                           Member("fine.txt", b"fine\n")])

    # AES: frames that are damaged before any password is needed, ...
    m = Member("aes.txt", text, method=99, flags=1, raw=b"\0" * 40)
    a["aes_extra_missing.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("aes.txt", text, method=8, flags=1, extra=aes_field(2, 3, 8), raw=b"\0" * 40)
    a["aes_extra_on_deflate.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("aes.txt", text, method=99, flags=1, extra=aes_field(2, 3, 12), raw=b"\0" * 40)
    a["aes_inner_bzip2.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("aes.txt", text, method=99, flags=1, extra=aes_field(3, 3, 8), raw=b"\0" * 40)
    a["aes_version_3.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    m = Member("aes.txt", text, method=99, flags=1, extra=aes_field(2, 3, 8), raw=b"\0" * 20)
    a["aes_short.zip"] = archive([m, Member("fine.txt", b"fine\n")])
    # ... and 7zz's AES-256 entries, deflated and stored, beside a plain one; password "pw".
    aes = seven_zip([("secret1.txt", text, ["-mem=AES256", "-ppw"]),
                           ("secret2.txt", text + b"2", ["-mem=AES256", "-ppw", "-mm=Copy"]),
                           ("plain.txt", b"plain\n", [])])
    a["aes.zip"] = aes
    start, size = entry_data(aes, "secret1.txt")
    a["aes_bad_code.zip"] = flipped(aes, start + size - 1)
    a["aes_bad_data.zip"] = flipped(aes, start + size // 2)
    local_extra = aes.find(b"\x01\x99\x07\x00", aes.find(b"secret1.txt"))
    a["aes_local_differs.zip"] = aes[:local_extra + 8] + b"\x01" + aes[local_extra + 9:]
    a["aes_two_passwords.zip"] = seven_zip([("a.txt", text, ["-mem=AES128", "-pone"]),
                                                  ("b.txt", text, ["-mem=AES192", "-ptwo"])])

    # Entries around what one read of a local header takes in (64 KiB with the data), padded by an
    # extra field: ending exactly there, stored and deflated, one byte past it, and one whose local
    # extra field, longer than the central one, pushes its data past it.
    def padded(name, data, method, end, local_more=0):
        m = Member(name, data, method=method)
        pad = end - 30 - len(m.name) - 4 - m.csize
        m.central_extra = struct.pack("<HH", 0xCAFE, pad) + b"\0" * pad
        m.extra = struct.pack("<HH", 0xCAFE, pad + local_more) + b"\0" * (pad + local_more)
        return m
    a["read_size_edges.zip"] = archive([
        padded("exact.bin", noise, 0, 65536), padded("exact.txt", text * 20, 8, 65536),
        padded("over.bin", noise, 0, 65537), padded("local.bin", noise, 0, 65536 - 40, 80),
        Member("after.txt", b"after\n")])
    return a


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, data in build().items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
