#!/usr/bin/env python3
"""Benchmark: QuillmereCmd against GNU split, csplit and dd on the same files.

    python3 bench/run.py [--size MIB] [--runs N] [--cases a,b,...]
    python3 bench/run.py --digest FILE [--bin PATH] [--cases ...]

Builds Release, generates the data once (cached under bench/data), then runs
every case alternating with its reference, once untimed and then N times
each (default 5), and prints one table: median wall time of ours and of the
reference, their ratio, and our peak resident memory. Every run starts by
removing the previous run's output, for both commands alike. The reference
is GNU split, csplit or dd, or for "quoted" our own program without
QuotedFields.

--digest runs each case once with our program only (--bin picks another
build) and writes a SHA-256 of every piece to FILE, one line a piece: two
builds that write the same pieces give the same file.
"""

import argparse
import hashlib
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "QuillmereCmd")

CASES = {
    # name: (task settings, source file, reference command, target ratio)
    "lines": ({"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": "UTF-8"}, "data.csv",
              ["split", "-l", "100000", "{src}", "{out}/x"], 0.8),
    "size": ({"SplitByType": "File Size", "MaxFileSize": "100", "SourceEncoding": "UTF-8"}, "data.csv",
             ["split", "-C", "100m", "{src}", "{out}/x"], 0.8),
    "symbol": ({"SplitByType": "Symbol", "SymbolType": "Start With", "SymbolValue": "#",
                "SourceEncoding": "UTF-8"}, "marked.csv",
               ["csplit", "-s", "-z", "-f", "{out}/x", "{src}", "/^#/", "{{*}}"], 0.2),
    "header": ({"SplitByType": "Lines", "MaxLines": "100000", "KeepHeader": "1", "SourceEncoding": "UTF-8"},
               "data.csv", ["split", "-l", "100000", "{src}", "{out}/x"], 0.85),
    "cp1251": ({"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": "CP1251 (Cyrillic)"},
               "data_cp1251.csv", ["split", "-l", "100000", "{src}", "{out}/x"], 1.2),
    "utf16": ({"SplitByType": "Lines", "MaxLines": "100000",
               "SourceEncoding": "UCS-2LE (Unicode Little Endian)"}, "data_utf16.csv",
              ["split", "-l", "100000", "{src}", "{out}/x"], 1.5),
    "limit": ({"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": "UTF-8"}, "data.csv",
              ["dd", "bs=16M", "if={src}", "of={out}/copy", "status=none"], 2.0),
}

# Text that is mostly not Latin, in the encodings our users keep it in.
NONLATIN = {
    "ru-utf16": ("UCS-2LE (Unicode Little Endian)", "ru_utf16.csv"),
    "ja-utf16": ("UCS-2LE (Unicode Little Endian)", "ja_utf16.csv"),
    "ja-cp932": ("CP932 (Japanese)", "ja_cp932.csv"),
    "zh-cp936": ("CP936 (Chinese Simplified)", "zh_cp936.csv"),
    "ru-cp1251": ("CP1251 (Cyrillic)", "ru_cp1251.csv"),
    "ru-utf8": ("UTF-8", "ru_utf8.csv"),
}
for name, (encoding, source) in NONLATIN.items():
    CASES[name] = ({"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": encoding},
                   "nonlatin/" + source, ["split", "-l", "100000", "{src}", "{out}/x"], 1.0)
for name in ("ru-utf16", "ja-cp932"):
    encoding, source = NONLATIN[name]
    CASES[name + "-size"] = ({"SplitByType": "File Size", "MaxFileSize": "100", "SourceEncoding": encoding},
                             "nonlatin/" + source, ["split", "-C", "100m", "{src}", "{out}/x"], 1.0)
    # A marker line opens every 10,000 lines: as many pieces as split -l 10000 makes.
    CASES[name + "-symbol"] = ({"SplitByType": "Symbol", "SymbolType": "Start With", "SymbolValue": "# block",
                                "SourceEncoding": encoding}, "nonlatin/" + source,
                               ["split", "-l", "10000", "{src}", "{out}/x"], 1.5)
CASES["many-pieces"] = ({"SplitByType": "Symbol", "SymbolType": "Start With", "SymbolValue": "#",
                         "SourceEncoding": "UTF-8"}, "nonlatin/many.csv",
                        ["csplit", "-s", "-z", "-f", "{out}/x", "-n", "6", "{src}", "/^#/", "{{*}}"], 1.0)
# Cases whose runs each write into a folder of their own, removed only after
# the case: ext4 without a journal makes every file created within a minute
# or more of many deletions in its block group step over each deleted
# inode, which made this case's 50,000 files cost either command 0.5 to 8 s
# depending on the runs before it.
OWN_FOLDER_PER_RUN = {"many-pieces"}
CASES["long-line"] = ({"SplitByType": "Lines", "MaxLines": "1", "SourceEncoding": "UTF-8"}, "long/long1g.txt",
                      ["split", "-l", "1", "{src}", "{out}/x"], 1.5)
# CSV records kept whole against the same task without them: the cost of
# counting quotes. The reference is our own program, as a dict of settings.
CASES["quoted"] = ({"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": "UTF-8", "QuotedFields": "1"},
                   "data.csv", {"QuotedFields": "0"}, 1.1)
CASES["long-line-2g"] = ({"SplitByType": "Lines", "MaxLines": "1", "SourceEncoding": "UTF-8"}, "long/long2g.txt",
                         ["split", "-l", "1", "{src}", "{out}/x"], 1.5)


def timed(cmd):
    """Wall seconds and peak RSS (KiB) of one child process."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    t0 = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t0
    if status != 0:
        sys.exit("command failed: %s" % " ".join(cmd))
    return wall, usage.ru_maxrss


def our_command(binary, work, name, src, out, settings):
    """The command line of our program over a task file it writes."""
    task = os.path.join(work, name + ".sft")
    with open(task, "w") as f:
        f.write("[Split]\nSourceFile=%s\nDestFolder=%s\n" % (src, out))
        for k, v in settings.items():
            f.write("%s=%s\n" % (k, v))
    return [binary, "task=" + task, "logfile=" + os.path.join(work, "bench.log")]


def piece_digests(case, folder):
    """'case piece sha256' for every piece, in piece order."""
    lines = []
    for piece in sorted(os.listdir(folder), key=lambda n: (len(n), n)):
        h = hashlib.sha256()
        with open(os.path.join(folder, piece), "rb") as f:
            for chunk in iter(lambda: f.read(1 << 20), b""):
                h.update(chunk)
        lines.append("%s %s %s" % (case, piece, h.hexdigest()))
    return lines


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--size", type=int, default=1024, help="source size in MiB")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--cases", default=",".join(CASES))
    ap.add_argument("--no-build", action="store_true")
    ap.add_argument("--digest", help="write the SHA-256 of every piece of each case here; time nothing")
    ap.add_argument("--bin", default=BIN, help="the program to run (default: the build's)")
    args = ap.parse_args()

    if not args.no_build and args.bin == BIN:
        subprocess.run(["cmake", "-S", ROOT, "-B", os.path.join(ROOT, "build"), "-DCMAKE_BUILD_TYPE=Release"],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", os.path.join(ROOT, "build"), "-j2", "--target", "QuillmereCmd"],
                       check=True, stdout=subprocess.DEVNULL)
    data_root = os.path.join(ROOT, "bench", "data")
    data = os.path.join(data_root, "%dm" % args.size)
    nonlatin = os.path.join(data_root, "nonlatin-%dm" % args.size)
    generate = [sys.executable, os.path.join(ROOT, "bench", "generate.py")]
    names = args.cases.split(",")
    if any(CASES[n][1].find("/") < 0 for n in names):
        subprocess.run(generate + [data, str(args.size)], check=True)
    if any(CASES[n][1].startswith("nonlatin/") for n in names):
        subprocess.run(generate + ["--nonlatin", nonlatin, str(args.size)], check=True)
    if any(CASES[n][1].startswith("long/") for n in names):
        subprocess.run(generate + ["--long", os.path.join(data_root, "long")], check=True)
    # Freshly generated sources are gigabytes of dirty pages: writing them
    # back while the cases run would slow whichever command it meets.
    os.sync()
    work = os.path.join(ROOT, "bench", "data", "work")
    os.makedirs(work, exist_ok=True)

    rows, digests = [], []
    for name in names:
        settings, source, ref, target = CASES[name]
        os.sync()
        src = os.path.join(data, source)
        if source.startswith("nonlatin/"):
            src = os.path.join(nonlatin, source[len("nonlatin/"):])
        elif source.startswith("long/"):
            src = os.path.join(data_root, source)
        ours_out = os.path.join(work, "ours")
        ref_out = os.path.join(work, "ref")
        own_folders = name in OWN_FOLDER_PER_RUN and not args.digest
        ours_cmd = our_command(args.bin, work, name, src, ours_out, settings)
        if isinstance(ref, dict):
            ref_cmd = our_command(args.bin, work, name + "-ref", src, ref_out, dict(settings, **ref))
        else:
            ref_cmd = [a.format(src=src, out=ref_out) for a in ref]
        if args.digest:
            fresh(ours_out)
            timed(ours_cmd)
            digests.extend(piece_digests(name, ours_out))
            shutil.rmtree(ours_out, ignore_errors=True)
            print("%-15s digested" % name, flush=True)
            continue
        ours, refs, peak = [], [], 0
        # One untimed run of each first: the first run after the sources
        # were written, or after another case, pays for the page cache alone.
        for cmd, out in ((ours_cmd, ours_out), (ref_cmd, ref_out)):
            fresh(out)
            timed(cmd)
        for run in range(args.runs):
            run_ours, run_ref = ours_cmd, ref_cmd
            if own_folders:
                run_ours = our_command(args.bin, work, name, src, "%s-%d" % (ours_out, run), settings)
                run_ref = [a.format(src=src, out="%s-%d" % (ref_out, run)) for a in ref]
                fresh("%s-%d" % (ours_out, run))
            else:
                fresh(ours_out)
            w, rss = timed(run_ours)
            ours.append(w)
            peak = max(peak, rss)
            fresh("%s-%d" % (ref_out, run) if own_folders else ref_out)
            w, _ = timed(run_ref)
            refs.append(w)
        for out in (ours_out, ref_out):
            shutil.rmtree(out, ignore_errors=True)
            for run in range(args.runs):
                shutil.rmtree("%s-%d" % (out, run), ignore_errors=True)
        o, r = statistics.median(ours), statistics.median(refs)
        rows.append((name, o, r, o / r, target, peak / 1024.0))
        print("%-15s ours %.3f s  ref %.3f s  ratio %.2f (target %.2f)  peak %.0f MiB" % rows[-1], flush=True)

    if args.digest:
        with open(args.digest, "w") as f:
            f.write("".join(line + "\n" for line in digests))
        return
    print()
    print("| case | ours (s) | reference (s) | ratio | target | peak RSS (MiB) |")
    print("|---|---|---|---|---|---|")
    for row in rows:
        print("| %s | %.3f | %.3f | %.2f | %.2f | %.0f |" % row)
    ours = {row[0]: row[1] for row in rows}
    if "long-line" in ours and "long-line-2g" in ours:
        print()
        print("long-line-2g / long-line (ours): %.2f (target 2.20)" % (ours["long-line-2g"] / ours["long-line"]))


if __name__ == "__main__":
    main()
