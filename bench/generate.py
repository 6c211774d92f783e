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

    generate.py --nonlatin FOLDER [SIZE_MIB]

FOLDER receives CSV sources whose fields are nearly all Russian, Japanese or
Chinese (a header, lines of about 100 bytes, a marker line "# block N"
before every 10,000th line), each about SIZE_MIB (default 1024) in its own
encoding: ru_utf8.csv, ru_utf16.csv (UTF-16LE with a byte-order mark),
ru_cp1251.csv, ja_cp932.csv, ja_utf16.csv, zh_cp936.csv; and many.csv, a
UTF-8 source of 20 MiB with a marker line before every fourth line (about
50,000 pieces).

    generate.py --shapes FOLDER [SIZE_MIB]

FOLDER receives two more shapes of text, each about SIZE_MIB in UTF-8:
short.txt, lines of 20 to 40 bytes (a word list: id, word, number), and
log.txt, a service log of 60 to 200 byte lines with LF ends, a marker
line "# run N" before every 10,000th line.

    generate.py --long FOLDER

FOLDER receives long1g.txt and long2g.txt: one line of 1 GiB (2 GiB), then
two short lines.
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


RU = {
    "names": ["Иванов", "Петрова", "Сидоров", "Кузнецова", "Смирнов", "Попова", "Волков", "Соколова",
              "Алексей", "Мария", "Дмитрий", "Екатерина", "Сергей", "Ольга"],
    "cities": ["Москва", "Санкт-Петербург", "Новосибирск", "Екатеринбург", "Казань", "Нижний Новгород",
               "Самара", "Ростов-на-Дону"],
    "words": ["заказ", "доставка", "оплачен", "отменён", "ожидает", "улица", "проспект", "дом", "квартира",
              "подъезд", "звонить", "заранее", "курьер", "склад", "ёлка", "журнал"],
}
JA = {
    "names": ["田中", "鈴木", "佐藤", "高橋", "伊藤", "渡辺", "山本", "中村", "太郎", "花子", "健一", "美咲",
              "ｱｲｳｴｵ", "サトウ"],
    "cities": ["東京都", "大阪府", "京都市", "横浜市", "名古屋市", "札幌市", "福岡市", "神戸市"],
    "words": ["注文", "配送", "支払済", "取消", "保留", "株式会社", "商品", "倉庫", "お届け", "予定", "連絡",
              "電話", "番地", "丁目", "様", "確認"],
}
ZH = {
    "names": ["王伟", "李娜", "张敏", "刘洋", "陈静", "杨帆", "赵磊", "黄丽", "周杰", "吴芳", "徐强", "孙燕",
              "马超", "朱琳"],
    "cities": ["北京市", "上海市", "广州市", "深圳市", "杭州市", "南京市", "成都市", "武汉市"],
    "words": ["订单", "配送", "已付款", "取消", "等待", "有限公司", "商品", "仓库", "送达", "预计", "联系",
              "电话", "街道", "号楼", "先生", "确认"],
}
# name: (vocabulary, encoding, byte-order mark)
NONLATIN = {
    "ru_utf8.csv": (RU, "utf-8", b""),
    "ru_utf16.csv": (RU, "utf-16-le", b"\xff\xfe"),
    "ru_cp1251.csv": (RU, "cp1251", b""),
    "ja_cp932.csv": (JA, "cp932", b""),
    "ja_utf16.csv": (JA, "utf-16-le", b"\xff\xfe"),
    "zh_cp936.csv": (ZH, "cp936", b""),
}


def nonlatin_tails(rng, words, encoding, count=20000):
    """COUNT line tails (every field after the id) of about 100 bytes with
    the id, in ENCODING; lines are made of an id and one of them, which is
    much faster than drawing every field anew."""
    sizes = {w: len((" " + w).encode(encoding)) for w in words["words"]}
    tails = []
    for _ in range(count):
        fields = [rng.choice(words["names"]) + " " + rng.choice(words["names"]), rng.choice(words["cities"]),
                  "%d.%02d" % (rng.randrange(100000), rng.randrange(100))]
        size = 10 + len(",".join(fields).encode(encoding))
        goal = rng.randrange(90, 110)
        note = []
        while size < goal:
            word = rng.choice(words["words"])
            note.append(word)
            size += sizes[word]
        tails.append(",".join(fields + [" ".join(note)]))
    return tails


def nonlatin_block(rng, tails, first_id, count):
    """A marker line, then COUNT lines."""
    lines = ["# block %d" % first_id]
    lines += ["%09d,%s" % (i, tails[rng.randrange(len(tails))]) for i in range(first_id, first_id + count)]
    return "\n".join(lines) + "\n"


def write_nonlatin(folder, size_mib):
    stamp = os.path.join(folder, ".complete-nonlatin-%d" % size_mib)
    if os.path.exists(stamp):
        return
    header = "id,name,city,amount,note\n"
    for name, (words, encoding, bom) in NONLATIN.items():
        rng = random.Random(20261208)
        tails = nonlatin_tails(rng, words, encoding)
        path = os.path.join(folder, name)
        with open(path + ".tmp", "wb") as out:
            data = bom + header.encode(encoding)
            out.write(data)
            written, next_id = len(data), 1
            while written < size_mib * 1048576:
                data = nonlatin_block(rng, tails, next_id, 10000).encode(encoding)
                out.write(data)
                written += len(data)
                next_id += 10000
        os.replace(path + ".tmp", path)
    # Many small pieces: a marker line before every fourth line.
    rng = random.Random(20261209)
    path = os.path.join(folder, "many.csv")
    with open(path + ".tmp", "wb") as out:
        written, i = 0, 0
        while written < 20 * 1048576:
            lines = []
            for _ in range(1000):
                if i % 4 == 0:
                    lines.append("# record %d" % i)
                lines.append("%09d,%s,%s" % (i, rng.choice(RU["names"]), "x" * rng.randrange(60, 100)))
                i += 1
            data = ("\n".join(lines) + "\n").encode()
            out.write(data)
            written += len(data)
    os.replace(path + ".tmp", path)
    open(stamp, "w").close()


def write_shapes(folder, size_mib):
    stamp = os.path.join(folder, ".complete-shapes-%d" % size_mib)
    if os.path.exists(stamp):
        return
    target = size_mib * 1048576
    rng = random.Random(20261210)
    path = os.path.join(folder, "short.txt")
    with open(path + ".tmp", "wb") as out:
        written, i = 0, 0
        while written < target:
            lines = []
            for _ in range(10000):
                # 20 to 40 bytes with the LF: 7-digit id, a word, a number.
                word = rng.choice(WORDS_ASCII)
                line = "%07d %s %d" % (i, word, rng.randrange(10 ** rng.randrange(1, 12)))
                width = rng.randrange(19, 40)
                lines.append(line[:width].ljust(width, "."))
                i += 1
            data = ("\n".join(lines) + "\n").encode()
            out.write(data)
            written += len(data)
    os.replace(path + ".tmp", path)
    levels = ["INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR"]
    services = ["api", "auth", "billing", "cache", "db", "queue", "scheduler", "worker"]
    path = os.path.join(folder, "log.txt")
    with open(path + ".tmp", "wb") as out:
        written, i = 0, 0
        while written < target:
            lines = ["# run %d" % i]
            for _ in range(10000):
                words = " ".join(rng.choice(WORDS_ASCII) for _ in range(rng.randrange(3, 20)))
                lines.append("2026-12-%02d %02d:%02d:%02d.%03d %-5s [%s] req=%08x %s" % (
                    1 + i // 2000000 % 28, i // 3600 % 24, i // 60 % 60, i % 60, rng.randrange(1000),
                    rng.choice(levels), rng.choice(services), rng.randrange(1 << 32), words))
                i += 1
            data = ("\n".join(lines) + "\n").encode()
            out.write(data)
            written += len(data)
    os.replace(path + ".tmp", path)
    open(stamp, "w").close()


def write_long(folder):
    for name, gib in (("long1g.txt", 1), ("long2g.txt", 2)):
        path = os.path.join(folder, name)
        size = gib << 30
        if os.path.exists(path) and os.path.getsize(path) == size + 12:
            continue
        chunk = b"L" * (16 << 20)
        with open(path + ".tmp", "wb") as out:
            for _ in range(size // len(chunk)):
                out.write(chunk)
            out.write(b"\nshort one\nx\n")
        os.replace(path + ".tmp", path)


if __name__ == "__main__":
    mode = sys.argv[1] if sys.argv[1].startswith("--") else ""
    args = sys.argv[2:] if mode else sys.argv[1:]
    folder = args[0]
    os.makedirs(folder, exist_ok=True)
    if mode == "--nonlatin":
        write_nonlatin(folder, int(args[1]) if len(args) > 1 else 1024)
    elif mode == "--shapes":
        write_shapes(folder, int(args[1]) if len(args) > 1 else 1024)
    elif mode == "--long":
        write_long(folder)
    else:
        write_all(folder, int(args[1]) if len(args) > 1 else 1024)
