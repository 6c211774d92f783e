#!/usr/bin/env python3
"""Benchmark: QuillmereCmd against GNU split, csplit and dd on the same files.

    python3 bench/run.py [--size MIB] [--runs N] [--cases a,b,...]
    python3 bench/run.py --digest FILE [--bin PATH] [--cases ...]

Builds Release, generates the data once (cached under bench/data), then runs
every case alternating with its reference, once untimed and then N times
each (default 5), and prints one table: median wall time of ours and of the
reference, their ratio, and our peak resident memory. Every run starts by
removing the previous run's output, for both commands alike. The reference
is GNU split, csplit or dd, a shell pipeline (for the compressed pieces,
split --filter with gzip or zstd), or for "quoted" our own program without
QuotedFields.

--digest runs each case once with our program only (--bin picks another
build) and writes a SHA-256 of every piece to FILE, one line a piece: two
builds that write the same pieces give the same file.
"""

import argparse
import hashlib
import os
import resource
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "QuillmereCmd")
WORK = None  # a folder of its own under bench/data, made by main

CASES = {
    # name: (task settings, source file, reference command, target ratio)
    "lines": ({"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": "UTF-8"}, "data.csv",
              ["split", "-l", "100000", "{src}", "{out}/x"], 0.8),
    "size": ({"SplitByType": "File Size", "MaxFileSize": "100", "SourceEncoding": "UTF-8"}, "data.csv",
             ["split", "-C", "100m", "{src}", "{out}/x"], 1.0),
    "symbol": ({"SplitByType": "Symbol", "SymbolType": "Start With", "SymbolValue": "#",
                "SourceEncoding": "UTF-8"}, "marked.csv",
               ["csplit", "-s", "-z", "-f", "{out}/x", "{src}", "/^#/", "{{*}}"], 1.0),
    "header": ({"SplitByType": "Lines", "MaxLines": "100000", "KeepHeader": "1", "SourceEncoding": "UTF-8"},
               "data.csv", ["split", "-l", "100000", "{src}", "{out}/x"], 1.0),
    "cp1251": ({"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": "CP1251 (Cyrillic)"},
               "data_cp1251.csv", ["split", "-l", "100000", "{src}", "{out}/x"], 1.0),
    "utf16": ({"SplitByType": "Lines", "MaxLines": "100000",
               "SourceEncoding": "UCS-2LE (Unicode Little Endian)"}, "data_utf16.csv",
              ["split", "-l", "100000", "{src}", "{out}/x"], 1.0),
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
                               ["split", "-l", "10000", "{src}", "{out}/x"], 1.0)
# Pieces written in another encoding: against split alone on the same source,
# and against converting with iconv first.
CONVERSIONS = {
    "ru-cp1251-to-utf8": ("ru-cp1251", "UTF-8", "CP1251", "UTF-8"),
    "ru-utf16-to-utf8": ("ru-utf16", "UTF-8", "UCS-2LE", "UTF-8"),
    "ja-cp932-to-utf8": ("ja-cp932", "UTF-8", "CP932", "UTF-8"),
    "zh-cp936-to-utf8": ("zh-cp936", "UTF-8", "CP936", "UTF-8"),
    "ru-utf8-to-utf16": ("ru-utf8", "UCS-2LE (Unicode Little Endian)", "UTF-8", "UCS-2LE"),
}
for name, (source_case, output, iconv_from, iconv_to) in CONVERSIONS.items():
    encoding, source = NONLATIN[source_case]
    settings = {"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": encoding, "OutputEncoding": output}
    CASES[name] = (settings, "nonlatin/" + source, ["split", "-l", "100000", "{src}", "{out}/x"], 1.5)
    CASES[name + "-iconv"] = (settings, "nonlatin/" + source,
                              "iconv -f %s -t %s {src} | split -l 100000 - {out}/x" % (iconv_from, iconv_to), 0.5)
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
                      ["split", "-l", "1", "{src}", "{out}/x"], 1.0)
# CSV records kept whole against the same task without them: the cost of
# counting quotes. The reference is our own program, as a dict of settings.
CASES["quoted"] = ({"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": "UTF-8", "QuotedFields": "1"},
                   "data.csv", {"QuotedFields": "0"}, 1.1)
CASES["long-line-2g"] = ({"SplitByType": "Lines", "MaxLines": "1", "SourceEncoding": "UTF-8"}, "long/long2g.txt",
                         ["split", "-l", "1", "{src}", "{out}/x"], 1.0)
# Pieces compressed as they are written, against split handing each piece
# to the compressor at the same level, on 200 MiB (gzip alone takes half a
# minute a GiB). A reference given as text is a shell pipeline.
for _format, _level, _tool, _suffix in (("gzip", "6", "gzip -6", "gz"), ("zstd", "3", "zstd -3 -q -c", "zst")):
    CASES["lines-" + _format] = (
        {"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": "UTF-8", "Compress": _format,
         "CompressLevel": _level}, "200m:data.csv",
        "split -l 100000 --filter='%s > $FILE.%s' {src} {out}/x" % (_tool, _suffix), 1.0)

# What users split besides 1 GiB files: the same kinds of work on sources of
# about 20 MiB and 200 MiB, and short lines and a log at every size. Their
# sources are named "SIZE:KIND/FILE" (KIND data, nonlatin or shapes); the
# piece sizes of File Size follow the source's size (a tenth of it).
SIZES = {"20m": 20, "200m": 200}


def sized_cases(tag, mib):
    piece = max(1, mib // 10)
    size_task = lambda enc: {"SplitByType": "File Size", "MaxFileSize": str(piece), "SourceEncoding": enc}
    lines_task = lambda enc: {"SplitByType": "Lines", "MaxLines": "100000", "SourceEncoding": enc}
    start = {"SplitByType": "Symbol", "SymbolType": "Start With", "SourceEncoding": "UTF-8"}
    split_l = ["split", "-l", "100000", "{src}", "{out}/x"]
    split_c = ["split", "-C", "%dm" % piece, "{src}", "{out}/x"]
    csplit = lambda marker: ["csplit", "-s", "-z", "-f", "{out}/x", "-n", "6", "{src}", "/^%s/" % marker, "{{*}}"]
    src = lambda kind, name: "%s:%s/%s" % (tag, kind, name)
    cases = {
        "lines": (lines_task("UTF-8"), src("data", "data.csv"), split_l),
        "size": (size_task("UTF-8"), src("data", "data.csv"), split_c),
        "symbol": (dict(start, SymbolValue="#"), src("data", "marked.csv"), csplit("#")),
        # Start lines every 10,000 lines: about the pieces split -l 10000 makes.
        "symbol-split": (dict(start, SymbolValue="#"), src("data", "marked.csv"),
                         ["split", "-l", "10000", "{src}", "{out}/x"]),
        "short": (lines_task("UTF-8"), src("shapes", "short.txt"), split_l),
        "log-size": (size_task("UTF-8"), src("shapes", "log.txt"), split_c),
        "log-symbol": (dict(start, SymbolValue="# run"), src("shapes", "log.txt"), csplit("# run")),
        "utf16": (lines_task("UCS-2LE (Unicode Little Endian)"), src("data", "data_utf16.csv"), split_l),
        "utf16-size": (size_task("UCS-2LE (Unicode Little Endian)"), src("data", "data_utf16.csv"), split_c),
        "cp1251": (lines_task("CP1251 (Cyrillic)"), src("data", "data_cp1251.csv"), split_l),
        "ja-cp932": (lines_task("CP932 (Japanese)"), src("nonlatin", "ja_cp932.csv"), split_l),
        "ja-cp932-size": (size_task("CP932 (Japanese)"), src("nonlatin", "ja_cp932.csv"), split_c),
        "ja-cp932-symbol": (dict(start, SymbolValue="# block", SourceEncoding="CP932 (Japanese)"),
                            src("nonlatin", "ja_cp932.csv"), ["split", "-l", "10000", "{src}", "{out}/x"]),
        "ru-utf16": (lines_task("UCS-2LE (Unicode Little Endian)"), src("nonlatin", "ru_utf16.csv"), split_l),
        "ru-cp1251": (lines_task("CP1251 (Cyrillic)"), src("nonlatin", "ru_cp1251.csv"), split_l),
        "ru-utf8": (lines_task("UTF-8"), src("nonlatin", "ru_utf8.csv"), split_l),
        "zh-cp936": (lines_task("CP936 (Chinese Simplified)"), src("nonlatin", "zh_cp936.csv"), split_l),
    }
    return {"%s-%s" % (name, tag): case + (1.0,) for name, case in cases.items()}


for _tag, _mib in SIZES.items():
    CASES.update(sized_cases(_tag, _mib))
# The shapes and rules the 1 GiB cases above lack, at the size --size gives.
for _name, _case in sized_cases("1g", 0).items():
    base = _name[:-len("-1g")]
    if base in ("short", "log-size", "log-symbol", "utf16-size", "symbol-split"):
        settings, source, ref, target = _case
        if settings["SplitByType"] == "File Size":
            settings = dict(settings, MaxFileSize="100")
            ref = ["split", "-C", "100m", "{src}", "{out}/x"]
        CASES[_name] = (settings, "large:" + source.split(":", 1)[1], ref, target)

# A subset that runs in a few minutes: every rule and encoding family once,
# mostly at 200 MiB, and the 1 GiB Lines case.
QUICK = ["lines", "lines-200m", "size-200m", "symbol-200m", "symbol-split-200m", "short-200m", "log-size-200m",
         "utf16-200m", "cp1251-200m", "ja-cp932-200m", "lines-20m", "many-pieces"]


TIME = "/usr/bin/time"


def timed(cmd):
    """Wall seconds, user and system seconds, and peak RSS (KiB) of one run.

    GNU time starts the command from a process of its own, so the peak is the
    command's alone: a child forked from this script would also count the
    Python interpreter's pages, which exec carries over into the figure."""
    stats = os.path.join(WORK, ".time")
    wrapped = [TIME, "-q", "-f", "%U %S %M", "-o", stats] + cmd if os.path.exists(TIME) else cmd
    t0 = time.perf_counter()
    p = subprocess.Popen(wrapped, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t0
    if status != 0:
        sys.exit("command failed: %s" % " ".join(cmd))
    if wrapped is cmd:
        return wall, usage.ru_utime, usage.ru_stime, usage.ru_maxrss
    with open(stats) as f:
        user, system, peak = f.read().split()[-3:]
    return wall, float(user), float(system), int(peak)


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


def source_path(data_root, large_mib, source):
    """The file a case reads, and the generate.py call that makes it."""
    if source.startswith("long/"):
        return os.path.join(data_root, source), ["--long", os.path.join(data_root, "long")]
    size, _, rest = source.rpartition(":")
    mib = large_mib if size in ("", "large") else SIZES[size]
    kind, _, name = rest.rpartition("/")
    kind = kind or "data"
    folder = os.path.join(data_root, ("%dm" if kind == "data" else kind + "-%dm") % mib)
    flag = [] if kind == "data" else ["--" + kind]
    return os.path.join(folder, name), flag + [folder, str(mib)]


def main():
    global WORK
    ap = argparse.ArgumentParser()
    ap.add_argument("--size", type=int, default=1024, help="size in MiB of the large sources")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--cases", default=",".join(CASES))
    ap.add_argument("--quick", action="store_true", help="a subset: every rule and family once, a few minutes")
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
    names = QUICK if args.quick else args.cases.split(",")
    unknown = [n for n in names if n not in CASES]
    if unknown:
        sys.exit("unknown cases: %s" % ", ".join(unknown))
    generate = [sys.executable, os.path.join(ROOT, "bench", "generate.py")]
    made = set()
    for name in names:
        _, generation = source_path(data_root, args.size, CASES[name][1])
        if tuple(generation) not in made:
            subprocess.run(generate + generation, check=True)
            made.add(tuple(generation))
    # Freshly generated sources are gigabytes of dirty pages: writing them
    # back while the cases run would slow whichever command it meets.
    os.sync()
    # A folder of this run's own: runs from other clones that share the data
    # (with --bin) must not remove each other's pieces.
    WORK = tempfile.mkdtemp(prefix="work-", dir=data_root)
    try:
        run_cases(args, names, data_root)
    finally:
        shutil.rmtree(WORK, ignore_errors=True)


def run_cases(args, names, data_root):
    rows, digests = [], []
    for name in names:
        settings, source, ref, target = CASES[name]
        os.sync()
        src, _ = source_path(data_root, args.size, source)
        gib = os.path.getsize(src) / float(1 << 30)
        ours_out = os.path.join(WORK, "ours")
        ref_out = os.path.join(WORK, "ref")
        own_folders = name in OWN_FOLDER_PER_RUN and not args.digest
        ours_cmd = our_command(args.bin, WORK, name, src, ours_out, settings)
        if isinstance(ref, dict):
            ref_cmd = our_command(args.bin, WORK, name + "-ref", src, ref_out, dict(settings, **ref))
        elif isinstance(ref, str):
            ref_cmd = ["sh", "-c", ref.format(src=shlex.quote(src), out=shlex.quote(ref_out))]
        else:
            ref_cmd = [a.format(src=src, out=ref_out) for a in ref]
        if args.digest:
            fresh(ours_out)
            timed(ours_cmd)
            digests.extend(piece_digests(name, ours_out))
            shutil.rmtree(ours_out, ignore_errors=True)
            print("%-20s digested" % name, flush=True)
            continue
        ours, refs, users, systems, peak = [], [], [], [], 0
        # One untimed run of each first: the first run after the sources
        # were written, or after another case, pays for the page cache alone.
        for cmd, out in ((ours_cmd, ours_out), (ref_cmd, ref_out)):
            fresh(out)
            timed(cmd)
        for run in range(args.runs):
            run_ours, run_ref = ours_cmd, ref_cmd
            if own_folders:
                run_ours = our_command(args.bin, WORK, name, src, "%s-%d" % (ours_out, run), settings)
                run_ref = [a.format(src=src, out="%s-%d" % (ref_out, run)) for a in ref]
                fresh("%s-%d" % (ours_out, run))
            else:
                fresh(ours_out)
            w, user, system, rss = timed(run_ours)
            ours.append(w)
            users.append(user)
            systems.append(system)
            peak = max(peak, rss)
            fresh("%s-%d" % (ref_out, run) if own_folders else ref_out)
            refs.append(timed(run_ref)[0])
        for out in (ours_out, ref_out):
            shutil.rmtree(out, ignore_errors=True)
            for run in range(args.runs):
                shutil.rmtree("%s-%d" % (out, run), ignore_errors=True)
        o, r = statistics.median(ours), statistics.median(refs)
        rows.append((name, o, r, o / r, target, statistics.median(users) / gib, statistics.median(systems) / gib,
                     peak / 1024.0))
        print("%-20s ours %.3f s  ref %.3f s  ratio %.2f (target %.2f)  user %.2f s/GiB  sys %.2f s/GiB  "
              "peak %.0f MiB" % rows[-1], flush=True)

    if args.digest:
        with open(args.digest, "w") as f:
            f.write("".join(line + "\n" for line in digests))
        return
    print()
    print("| case | ours (s) | reference (s) | ratio | target | user s/GiB | sys s/GiB | peak RSS (MiB) |")
    print("|---|---|---|---|---|---|---|---|")
    for row in rows:
        print("| %s | %.3f | %.3f | %.2f | %.2f | %.2f | %.2f | %.0f |" % row)
    over = [row[0] for row in rows if row[3] > row[4]]
    print()
    print("over target: %s" % (", ".join(over) if over else "none"))
    ours = {row[0]: row[1] for row in rows}
    if "long-line" in ours and "long-line-2g" in ours:
        print("long-line-2g / long-line (ours): %.2f (target 2.20)" % (ours["long-line-2g"] / ours["long-line"]))


if __name__ == "__main__":
    main()
