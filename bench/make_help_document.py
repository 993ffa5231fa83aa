#!/usr/bin/env python3
# The help-style inputs of the Markdown benchmarks, written into a folder:
# help.md (a 1 MB help document), line.md (a 1 MB single line of inline
# constructs) and empty.md (one paragraph and 500,000 empty lines). With
# sizes given, only help documents of those sizes: help-SIZE.md for each.
# With "ja", only japanese.md: a 1 MB Japanese help document in UTF-8 of
# kana and level-1 kanji (headings, paragraphs, lists, emphasis and links).
#
#   python3 bench/make_help_document.py FOLDER [SIZE ... | ja]
import random, sys
out = sys.argv[1]
if sys.argv[2:] == ["ja"]:
    jrng = random.Random(23)
    # Level-1 kanji: rows 16 to 47 of JIS X 0208, read through EUC-JP.
    kanji = []
    for row in range(16, 48):
        for cell in range(1, 95):
            try:
                kanji.append(bytes((0xA0 + row, 0xA0 + cell)).decode("euc_jp"))
            except UnicodeDecodeError:
                pass
    hiragana = [chr(c) for c in range(0x3041, 0x3094)]
    katakana = [chr(c) for c in range(0x30A1, 0x30F7)]
    particles = ["の", "は", "を", "に", "が", "と", "で", "から", "まで", "へ"]
    endings = ["です", "ます", "した", "される", "できます", "します"]
    def word():
        k = jrng.randrange(5)
        if k == 0:
            return "".join(jrng.choice(katakana) for _ in range(jrng.randrange(2, 6)))
        w = "".join(jrng.choice(kanji) for _ in range(jrng.randrange(1, 4)))
        if k == 1:
            w += "".join(jrng.choice(hiragana) for _ in range(jrng.randrange(1, 3)))
        return w
    def jsentence():
        parts = []
        for i in range(jrng.randrange(4, 12)):
            w = word()
            k = jrng.randrange(14)
            if k == 0: w = "**" + w + "**"
            elif k == 1: w = "*" + w + "*"
            elif k == 2: w = "[" + w + "](page%d.md)" % jrng.randrange(100)
            parts.append(w + jrng.choice(particles) + ("、" if i % 3 == 2 else ""))
        return "".join(parts) + word() + jrng.choice(endings) + "。"
    lines, total, n = [], 0, 0
    while total < (1 << 20):
        n += 1
        block = ["#" * jrng.randrange(1, 4) + " 第" + str(n) + "節 " + word() + "と" + word(), ""]
        for _ in range(jrng.randrange(1, 4)):
            block += [jsentence() for _ in range(jrng.randrange(1, 4))]
            block.append("")
        k = jrng.randrange(3)
        if k == 0:
            block += ["- " + jsentence() for _ in range(jrng.randrange(2, 6))]
            block += ["  - " + jsentence() for _ in range(2)]
        elif k == 1:
            block += [str(i + 1) + ". " + jsentence() for i in range(jrng.randrange(2, 6))]
        else:
            block += ["> " + jsentence() for _ in range(2)]
        block.append("")
        text = "\n".join(block) + "\n"
        lines.append(text)
        total += len(text.encode("utf-8"))
    with open(out + "/japanese.md", "w", encoding="utf-8", newline="") as f:
        f.write("".join(lines))
    sys.exit(0)
sizes = [int(a) for a in sys.argv[2:]]
rng = random.Random(11)
words = ("the viewer shows each document in a tab with its table of contents beside it "
         "links open other documents pictures are drawn search copy print page header footer "
         "option profile folder file compare side line text").split()
def sentence():
    parts = []
    for _ in range(rng.randrange(6, 16)):
        w = rng.choice(words)
        k = rng.randrange(12)
        if k == 0: w = "**" + w + "**"
        elif k == 1: w = "*" + w + "*"
        elif k == 2: w = "[" + w + "](" + w + ".md)"
        elif k == 3: w = "`" + w + "`"
        elif k == 4: w = "<em>" + w + "</em>"
        parts.append(w)
    return " ".join(parts).capitalize() + "."
def help_document(size):
    lines, total, n = [], 0, 0
    while total < size:
        n += 1
        block = []
        block.append("#" * rng.randrange(1, 4) + " Section " + str(n))
        block.append("")
        for _ in range(rng.randrange(1, 4)):
            block += [sentence() for _ in range(rng.randrange(1, 4))]
            block.append("")
        k = rng.randrange(6)
        if k == 0:
            block += ["- " + sentence() for _ in range(rng.randrange(2, 6))]
            block += ["  - " + sentence() for _ in range(2)]
        elif k == 1:
            block += [str(i + 1) + ". " + sentence() for i in range(rng.randrange(2, 6))]
        elif k == 2:
            block += ["```"] + ["    value = compare(left, right) + " + str(i) for i in range(5)] + ["```"]
        elif k == 3:
            block += ["    indented code line " + str(i) for i in range(4)]
        elif k == 4:
            block += ["| Key | Meaning | Default |", "|:-|:-:|-:|"]
            block += ["| " + rng.choice(words) + " | " + sentence() + " | " + str(i) + " |" for i in range(4)]
        else:
            block += ["> " + sentence() for _ in range(3)]
        block.append("")
        text = "\n".join(block) + "\n"
        lines.append(text)
        total += len(text)
    return "".join(lines)
if sizes:
    for size in sizes:
        with open(out + "/help-%d.md" % size, "w", newline="") as f:
            f.write(help_document(size))
    sys.exit(0)
with open(out + "/help.md", "w", newline="") as f:
    f.write(help_document(1 << 20))
pieces = ["**bold** ", "*it* ", "[link](x.md) ", "![p](p.png) ", "~~s~~ ", "<em>e</em> ", "text ", "`c` ", "__u__ "]
line = []
total = 0
while total < (1 << 20):
    p = rng.choice(pieces)
    line.append(p)
    total += len(p)
with open(out + "/line.md", "w", newline="") as f:
    f.write("".join(line) + "\n")
with open(out + "/empty.md", "w", newline="") as f:
    f.write("One paragraph of text.\n" + "\n" * 500000)
