#!/usr/bin/env python3
"""Builds the benchmark corpora once, outside the repository (default /tmp/corvane-bench):

  tree/        about 41,000 real files, 490 MB: documentation, headers, the Python library,
               manual pages and shared libraries copied from /usr
  tree.zip     tree zipped at -6
  files100k/   100,000 files of 100 to 2,000 bytes of word-like text in 1,000 folders
  files100k.zip
  big.bin      one 1 GiB file: real files from /usr concatenated
  big.zip      big.bin zipped at -6
  tree-aes256.zip     tree zipped by 7zz, AES-256 with the password "corvane"
  big-deflate64.zip   big.bin zipped by 7zz with Deflate64

Existing pieces are kept, so a second run costs nothing.
usage: make_corpora.py [DIR]
"""
import os
import random
import shutil
import subprocess
import sys

TREE_FILES = 41000
TREE_BYTES = 490 * 1000 * 1000
BIG_BYTES = 1 << 30
SOURCES = ["/usr/share/doc", "/usr/include", "/usr/lib/python3.11", "/usr/lib/python3",
           "/usr/share"]
SMALL_FILE = 40 * 1024
LARGEST_LIBRARY = 8 * 1024 * 1024
LIBRARIES = "/usr/lib/x86_64-linux-gnu"


def regular_files(root):
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                yield path


def make_tree(out):
    if os.path.isdir(out):
        return
    tmp = out + ".part"
    shutil.rmtree(tmp, ignore_errors=True)
    count = size = 0
    libraries = [p for p in regular_files(LIBRARIES)
                 if ".so" in os.path.basename(p) and os.path.getsize(p) <= LARGEST_LIBRARY]
    # Small files first until most of the count is reached, then shared libraries for the bytes.
    chosen = []
    seen = set()
    for root in SOURCES:
        for path in regular_files(root):
            if count >= TREE_FILES - 1000 or size >= TREE_BYTES * 0.6:
                break
            if path in seen or os.path.getsize(path) > SMALL_FILE:
                continue
            seen.add(path)
            chosen.append(path)
            count += 1
            size += os.path.getsize(path)
    for path in libraries:
        if size >= TREE_BYTES or count >= TREE_FILES:
            break
        chosen.append(path)
        count += 1
        size += os.path.getsize(path)
    for path in chosen:
        target = os.path.join(tmp, path.lstrip("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(path, target)
    os.rename(tmp, out)
    print("tree: %d files, %d bytes" % (count, size))


def make_files100k(out):
    if os.path.isdir(out):
        return
    tmp = out + ".part"
    shutil.rmtree(tmp, ignore_errors=True)
    rnd = random.Random(100000)
    syllables = ["ka", "lo", "mi", "ren", "sa", "to", "vel", "quo", "ar", "in", "es", "um", "dor"]
    words = ["".join(rnd.choice(syllables) for _ in range(rnd.randint(1, 4)))
             for _ in range(5000)]
    for d in range(1000):
        folder = os.path.join(tmp, "folder%04d" % d)
        os.makedirs(folder)
        for f in range(100):
            target = rnd.randint(100, 2000)
            text = []
            length = 0
            while length < target:
                w = rnd.choice(words)
                text.append(w)
                length += len(w) + 1
            data = (" ".join(text))[:target]
            with open(os.path.join(folder, "file%03d.txt" % f), "w") as fh:
                fh.write(data)
    os.rename(tmp, out)


def make_big(out):
    if os.path.isfile(out):
        return
    tmp = out + ".part"
    written = 0
    with open(tmp, "wb") as fh:
        while written < BIG_BYTES:
            for path in regular_files("/usr/lib/x86_64-linux-gnu"):
                with open(path, "rb") as src:
                    data = src.read(BIG_BYTES - written)
                fh.write(data)
                written += len(data)
                if written >= BIG_BYTES:
                    break
    os.rename(tmp, out)


def zip_folder(folder, archive, names):
    if os.path.isfile(archive):
        return
    subprocess.run(["zip", "-q", "-r", "-6", archive + ".part"] + names, cwd=folder, check=True)
    os.rename(archive + ".part", archive)


def seven_zip(folder, archive, options, names):
    if os.path.isfile(archive):
        return
    part = archive + ".part.zip"
    if os.path.exists(part):
        os.remove(part)
    subprocess.run(["7zz", "a", "-bd", "-tzip"] + options + [part] + names, cwd=folder, check=True,
                   stdout=subprocess.DEVNULL)
    os.rename(part, archive)


def main():
    base = sys.argv[1] if len(sys.argv) > 1 else "/tmp/corvane-bench"
    os.makedirs(base, exist_ok=True)
    make_tree(os.path.join(base, "tree"))
    zip_folder(os.path.join(base, "tree"), os.path.join(base, "tree.zip"), ["."])
    make_files100k(os.path.join(base, "files100k"))
    zip_folder(os.path.join(base, "files100k"), os.path.join(base, "files100k.zip"), ["."])
    make_big(os.path.join(base, "big.bin"))
    if not os.path.isfile(os.path.join(base, "big.zip")):
        subprocess.run(["zip", "-q", "-6", "big.zip.part", "big.bin"], cwd=base, check=True)
        os.rename(os.path.join(base, "big.zip.part"), os.path.join(base, "big.zip"))
    seven_zip(os.path.join(base, "tree"), os.path.join(base, "tree-aes256.zip"),
              ["-mem=AES256", "-pcorvane"], ["."])
    seven_zip(base, os.path.join(base, "big-deflate64.zip"), ["-mm=Deflate64"], ["big.bin"])


if __name__ == "__main__":
    main()
