#!/usr/bin/env python3
"""Writes the benchmark sources, deterministically (fixed seed).

    generate.py FOLDER [SIZE_MIB]

FOLDER receives (SIZE_MIB defaults to 1024):
    data.csv        UTF-8 CSV, a header and ~100-byte lines; about one line in
                    ten holds multibyte text
    marked.csv      the same lines with a marker line starting with "#" before
                    every 10,000th line
    data_cp1251.csv the text of data.csv in CP1251 (characters it cannot hold
                    never occur: the multibyte words are Cyrillic)
    data_utf16.csv  the text of data.csv in UTF-16LE with a byte-order mark
Existing files of the right size are kept.
"""

import os
import random
import sys

WORDS_ASCII = ["alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
               "india", "juliet", "kilo", "lima", "mike", "november", "oscar", "papa"]
WORDS_CYR = ["Москва", "Новосибирск", "привет", "журнал", "Петров", "Иванова", "ёлка"]


def make_block(rng, first_id, count):
    lines = []
    for i in range(first_id, first_id + count):
        words = WORDS_CYR if i % 10 == 3 else WORDS_ASCII
        name = rng.choice(words) + " " + rng.choice(words)
        city = rng.choice(words)
        amount = "%d.%02d" % (rng.randrange(100000), rng.randrange(100))
        note = rng.choice(WORDS_ASCII) * rng.randrange(1, 3)
        line = "%09d,%s,%s,%s,%s,%s" % (i, name, city, amount, note, "x" * rng.randrange(20, 40))
        lines.append(line)
    return lines


def write_all(folder, size_mib):
    target = size_mib * 1048576
    rng = random.Random(20261207)
    paths = {k: os.path.join(folder, k) for k in
             ("data.csv", "marked.csv", "data_cp1251.csv", "data_utf16.csv")}
    stamp = os.path.join(folder, ".complete-%d" % size_mib)
    if os.path.exists(stamp):
        return paths
    outs = {k: open(p + ".tmp", "wb") for k, p in paths.items()}
    header = "id,name,city,amount,note,filler\n"
    outs["data.csv"].write(header.encode())
    outs["marked.csv"].write(header.encode())
    outs["data_cp1251.csv"].write(header.encode("cp1251"))
    outs["data_utf16.csv"].write(b"\xff\xfe" + header.encode("utf-16-le"))
    written = len(header)
    next_id = 1
    while written < target:
        lines = make_block(rng, next_id, 10000)
        text = "\n".join(lines) + "\n"
        outs["data.csv"].write(text.encode())
        outs["marked.csv"].write(("# block %d\n" % next_id + text).encode())
        outs["data_cp1251.csv"].write(text.encode("cp1251"))
        outs["data_utf16.csv"].write(text.encode("utf-16-le"))
        written += len(text.encode())
        next_id += 10000
    for k, f in outs.items():
        f.close()
        os.replace(paths[k] + ".tmp", paths[k])
    open(stamp, "w").close()
    return paths


if __name__ == "__main__":
    folder = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 1024
    os.makedirs(folder, exist_ok=True)
    write_all(folder, size)
