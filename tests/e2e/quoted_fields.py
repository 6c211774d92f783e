#!/usr/bin/env python3
"""CSV records with quoted line breaks, split with QuotedFields=1 by every
rule, in UTF-8, UCS-2LE, UCS-2BE and CP1251, read back with Python's csv module.

    quoted_fields.py --bin build/QuillmereCmd

Every piece must parse as whole records (strict: a quote left open at a
piece's end fails), keep its rule's bound, and the pieces put together (less
the repeated headers) must be the source's records, each ending in CR LF,
their line breaks inside fields as the source has them; with LineEnd=Keep,
the source itself. Also
run with a small file-size limit, so that writes fail part way: the pieces
still hold whole records only, and the summary claims no more than they
hold. Exits 1 on the first failure.
"""

import argparse
import csv
import io
import os
import random
import re
import resource
import signal
import subprocess
import sys
import tempfile

ENCODINGS = {  # task name: (Python codec, byte-order mark)
    "UTF-8": ("utf-8", b""),
    "UCS-2LE (Unicode Little Endian)": ("utf-16-le", b"\xff\xfe"),
    "UCS-2BE (Unicode Big Endian)": ("utf-16-be", b"\xfe\xff"),
    "CP1251 (Cyrillic)": ("cp1251", b""),
}


def source_text(rng, kind):
    """(text, records): CSV rows ending in LF or CR LF whose quoted fields
    hold LF, CR LF and "" escapes; a header of two lines; for kind "open" a
    quote left open near the end."""
    header = 'id,"note\nmore",city'
    records = [header]
    for i in range(400):
        # Inner lines that start with the start symbol or end with the end
        # symbol must not cut a record.
        note = rng.choice(['plain', '"Привет\nмир"', '"a\r\nb\r\nc"', '"say ""hi""\nnow"', '""', '"x,y"',
                           '"Москва\n1 inside"'])
        if i % 50 == 7:
            note = '"' + "long " * 3000 + '\n' + "tail" * 500 + '"'
        records.append('%d,%s,Москва' % (i, note))
    if kind == "open":
        records.append('999,"never closed\nline after\nlast line')
    ends = [rng.choice(["\n", "\r\n"]) for _ in records]
    return "".join(r + e for r, e in zip(records, ends)), records


def run(binary, work, settings, limit=None, kind="sft"):
    task = os.path.join(work, "job." + kind)
    with open(task, "w") as f:
        f.write("[Split]\n" + "".join("%s=%s\n" % kv for kv in settings.items()))
    log = os.path.join(work, "job.log")
    if os.path.exists(log):
        os.remove(log)

    def limit_writes():
        if limit:
            # A write past the limit then fails with EFBIG, as on a full disk.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(work, "config"))
    subprocess.run([binary, "task=" + task, "logfile=" + log], check=True, preexec_fn=limit_writes, env=env)
    summary = [l for l in open(log, encoding="utf-8", errors="replace")
               if (" records, " in l or " record, " in l) and "Result: " not in l]
    match = re.search(r"\] (\d+) records?,", summary[-1]) if summary else None
    return int(match.group(1)) if match else None


def pieces(folder, codec, bom):
    names = sorted(os.listdir(folder), key=lambda n: int(n.split(".")[0]))
    out = []
    for name in names:
        data = open(os.path.join(folder, name), "rb").read()
        assert data.startswith(bom), name
        out.append(data[len(bom):].decode(codec))
    return out


def check(binary, work, encoding, rule, kind, rng, limit=None):
    codec, bom = ENCODINGS[encoding]
    text, records = source_text(rng, kind)
    src = os.path.join(work, "src.csv")
    with open(src, "wb") as f:
        f.write(bom + text.encode(codec))
    out = os.path.join(work, "out")
    settings = {"SourceFile": src, "SourceEncoding": encoding, "DestFolder": out, "QuotedFields": "1"}
    settings.update(rule)
    count = run(binary, work, settings, limit)
    got = pieces(out, codec, bom)
    label = "%s %s %s%s" % (encoding, rule, kind, " limited" if limit else "")
    keep = rule.get("LineEnd") == "Keep"
    header = records[0] if rule.get("KeepHeader") == "1" else None
    head = None  # the header as every piece repeats it
    if header is not None:
        after = text[len(header):]
        head = header + (("\r\n" if after.startswith("\r\n") else after[0]) if keep else "\r\n")
    held = []
    for i, piece in enumerate(got):
        assert keep or piece == "" or piece.endswith("\r\n"), "%s: piece %d ends inside a line" % (label, i + 1)
        # The source's own open quote at its end leaves its last piece open.
        strict = not (kind == "open" and i + 1 == len(got))
        rows = list(csv.reader(io.StringIO(piece, newline=""), strict=strict))
        body = piece
        if header is not None and piece:
            assert piece.startswith(head), "%s: piece %d lacks the header" % (label, i + 1)
            body = piece[len(head):]
            rows = rows[1:]
        if "MaxLines" in rule:
            assert len(rows) <= int(rule["MaxLines"]), "%s: piece %d has %d records" % (label, i + 1, len(rows))
        if rule.get("MaxFileSize") == "0":
            assert len(rows) <= 1, "%s: piece %d has %d records" % (label, i + 1, len(rows))
        held.append(body)
        if rule.get("SymbolType") == "Start With" and piece:
            assert rows[0][0].startswith("1") or i == 0, "%s: piece %d starts with %r" % (label, i + 1, rows[0][:1])
    whole = "".join(held)
    if limit:
        # Part of the text is lost to the failing writes, but never part of a record.
        written = "".join(record + "\r\n" for record in records)
        source_rows = list(csv.reader(io.StringIO(written, newline="")))
        kept = list(csv.reader(io.StringIO(whole, newline=""), strict=True))
        assert all(row in source_rows for row in kept), "%s: a record that is not the source's" % label
        assert count is not None and count <= len(kept), "%s: summary claims %s, pieces hold %d" % (label, count, len(kept))
        assert count < len(records), "%s: no write failed" % label
        return
    expected = text if keep else "".join(record + "\r\n" for record in records)
    if header is not None:
        expected = expected[len(head):]
    assert whole == expected, "%s: the pieces are not the source's lines" % label
    assert count == len(records) - (1 if header is not None else 0), "%s: summary says %s records" % (label, count)


def check_batch(binary, work, rng):
    """A batch task hands the setting on to the split of each file."""
    text, records = source_text(rng, "closed")
    folder = os.path.join(work, "in")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "orders.csv"), "wb") as f:
        f.write(text.encode("utf-8"))
    out = os.path.join(work, "batch")
    count = run(binary, work, {"SourceFolder": folder, "SourceMask": "*.csv", "SourceEncoding": "UTF-8",
                               "DestFolder": out, "SplitByType": "Lines", "MaxLines": "7", "QuotedFields": "1"},
                kind="bst")
    got = pieces(os.path.join(out, "orders_split"), "utf-8", b"")
    for piece in got:
        assert len(list(csv.reader(io.StringIO(piece, newline=""), strict=True))) <= 7, "batch: a piece too large"
    assert count == len(records), "batch: summary says %s records" % count


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", required=True)
    args = ap.parse_args()
    rules = [
        {"SplitByType": "Lines", "MaxLines": "7"},
        {"SplitByType": "Lines", "MaxLines": "5", "KeepHeader": "1"},
        {"SplitByType": "File Size", "MaxFileSize": "0"},
        {"SplitByType": "Symbol", "SymbolType": "Start With", "SymbolValue": "1"},
        {"SplitByType": "Symbol", "SymbolType": "End With", "SymbolValue": "ва"},
        {"SplitByType": "Lines", "MaxLines": "5", "KeepHeader": "1", "LineEnd": "Keep"},
        {"SplitByType": "File Size", "MaxFileSize": "0", "LineEnd": "Keep"},
    ]
    rng = random.Random(15)
    with tempfile.TemporaryDirectory() as work:
        for encoding in ENCODINGS:
            for rule in rules:
                for kind in ("closed", "open"):
                    check(args.bin, work, encoding, rule, kind, rng)
            check(args.bin, work, encoding, {"SplitByType": "Lines", "MaxLines": "60"}, "closed", rng, limit=12000)
        check_batch(args.bin, work, rng)
    print("quoted fields: all cases passed")


if __name__ == "__main__":
    try:
        main()
    except AssertionError as e:
        print("FAILED:", e, file=sys.stderr)
        sys.exit(1)
