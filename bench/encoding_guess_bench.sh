#!/usr/bin/env bash
# How the encoding guess reads short texts without a byte-order mark, and
# whether a save then keeps every byte the user did not type: windows of 1
# to 5 lines of real text in many scripts (the translations of the message
# catalogs on this machine, /usr/share/locale/*/LC_MESSAGES/*.mo, and their
# English originals, and texts of our own in the scripts the catalogs lack:
# Cantonese and other text with CJK Extension A characters, Yi, Malayalam,
# Sinhala, and short Chinese lines whose UTF-16 bytes are ASCII but for one
# ideograph that is a valid UTF-8 pair), LF or CR LF, with or without a final
# line end, converted with iconv into UTF-16 LE and BE and into the scripts'
# 8-bit encodings, and the 8-bit texts once more with 1 to 3 stray zero
# bytes (at most one for every 8 bytes) at random places. Besides, each
# window with two line ends or more once more with its lines ended at random
# by CR LF, LF or CR ("mixed ends"), and each 8-bit CR LF window with a zero
# between one of its CRs and its LF ("zero in CR LF"), and each 8-bit window
# with a line end once more with a zero before every LF ("zero before each
# LF" for LF windows, "zero between each CR and LF" for CR LF ones, as a
# program that writes a stray zero with every line end leaves them), counted
# by class for each number of lines.
#
# Each is written to a file and read as a text side is; one character is
# typed at the end of its first line and the side saved. Prints, by script
# and encoding, the windows, the misread ones (UTF-16 not read as UTF-16 of
# its byte order, split into windows with a line end or space and those
# without, which have no zero byte to go by; 8-bit read as UTF-16) and the
# damaged ones (the saved file is not the window with the typed character's
# bytes at one place and every other byte unchanged), then the same by
# class. Targets: 0 misread, but for UTF-16 windows without a line end or a
# space; 0 damaged in every class. ENCODING_GUESS_SHOW=N prints the bytes of
# the first N misread or damaged windows.
#
#   bash bench/encoding_guess_bench.sh [WINDOWS_PER_SCRIPT (default 1000)]
#
# The executable is taken from $TAVREL_BUILD/bench (or the build folder of
# the test architecture) and built there when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/bench/common.sh"
bench_exe encoding_guess_bench

bench_work
windows="${1:-1000}"
python3 - "$work" "$windows" <<'PY'
import gettext, glob, os, random, struct, subprocess, sys
work, per_script = sys.argv[1], int(sys.argv[2])
# script: (catalog folder, [(iconv name, Python codec)] of its 8-bit encodings)
scripts = {
    "Chinese simplified": ("zh_CN", [("GBK", "gbk"), ("UTF-8", "utf-8")]),
    "Chinese traditional": ("zh_TW", [("BIG5", "big5"), ("UTF-8", "utf-8")]),
    "Japanese": ("ja", [("SHIFT_JIS", "shift_jis"), ("EUC-JP", "euc_jp"), ("UTF-8", "utf-8")]),
    "Korean": ("ko", [("EUC-KR", "euc_kr"), ("UTF-8", "utf-8")]),
    "Arabic": ("ar", [("CP1256", "cp1256"), ("UTF-8", "utf-8")]),
    "Hebrew": ("he", [("CP1255", "cp1255"), ("UTF-8", "utf-8")]),
    "Persian": ("fa", [("UTF-8", "utf-8")]),
    "Hindi": ("hi", [("UTF-8", "utf-8")]),
    "Bengali": ("bn", [("UTF-8", "utf-8")]),
    "Gujarati": ("gu", [("UTF-8", "utf-8")]),
    "Punjabi": ("pa", [("UTF-8", "utf-8")]),
    "Tamil": ("ta", [("UTF-8", "utf-8")]),
    "Thai": ("th", [("TIS-620", "tis_620"), ("UTF-8", "utf-8")]),
    "Greek": ("el", [("ISO-8859-7", "iso8859_7"), ("UTF-8", "utf-8")]),
    "Russian": ("ru", [("CP1251", "cp1251"), ("KOI8-R", "koi8_r"), ("UTF-8", "utf-8")]),
    "Ukrainian": ("uk", [("CP1251", "cp1251"), ("UTF-8", "utf-8")]),
    "Vietnamese": ("vi", [("UTF-8", "utf-8")]),
    "German": ("de", [("ISO-8859-1", "latin_1"), ("UTF-8", "utf-8")]),
    "French": ("fr", [("ISO-8859-1", "latin_1"), ("UTF-8", "utf-8")]),
    "English": ("de", [("ISO-8859-1", "latin_1"), ("UTF-8", "utf-8")]),
}

# Texts of our own in the scripts the catalogs lack.
cantonese = [
    "佢今日冇返工，話個頭好痛㗎。",
    "你食咗飯未呀？ 我哋一陣去飲茶啦。",
    "呢度啲嘢好貴，唔好喺度買㗎。",
    "㩒一下個掣就得㗎喇，唔使驚。",
    "今日天氣好㷫，記得飲多啲水。",
    "佢成日䁪眼，唔知係咪好攰。",
    "隻貓㖭晒成碟牛奶。",
    "部𨋢壞咗，要行樓梯上去。",
    "我真係唔明白佢講乜嘢。",
    "聽日落雨，記得帶遮出街。",
    "你要唔要杯凍檸茶呀？",
    "架巴士遲咗十分鐘先嚟到。",
    "嗰間餐廳啲菠蘿包好好食㗎。",
    "唔該借借，我要落車。",
    "佢哋喺公園度打緊波。",
    "你識唔識講廣東話㗎？",
    "啲細路仔喺度玩得好開心。",
    "我琴日買咗一部新電話。",
    "唔好咁大聲，阿嫲瞓緊覺。",
    "呢條路直行，轉左就到㗎喇。",
    "佢㩒咗幾次門鐘都冇人應。",
    "杯茶太㷫，等陣先飲。",
    "係咪㗎？ 我都唔知㗎。",
    "𠮶個人係邊個嚟㗎？",
    "你幾點收工呀？ 我喺樓下等你。",
    "佢好鍾意食魚蛋同燒賣。",
    "今晚去邊度食飯好呢？",
    "我冇帶銀包，你可唔可以借錢俾我？",
    "啲衫洗好未呀？",
    "佢講嘢好快，我聽唔切。",
    "個細路㖭完雪糕又要多一個。",
    "你㩒錯咗掣，部機停咗喇。",
]
extension_a = [
    "南汉高祖刘䶮在广州称帝。",
    "朱䴉是国家一级保护动物。",
    "䲟鱼常常吸附在鲨鱼身上。",
    "川芎又名芎䓖，是常用的中药。",
    "竹节虫又叫䗛，善于伪装。",
    "䲢鱼的眼睛长在头顶上。",
    "㐀是扩展A区的第一个字。",
    "字典里收了䶮、䴉、䲟这些字。",
    "这份名单上有个名字叫王䶮。",
    "洋县是朱䴉的故乡。",
    "他用䲟鱼的吸盘做了标本。",
    "芎䓖的根可以入药。",
    "请把䗛的照片发给我。",
    "䲢鱼生活在海底的沙里。",
    "这些罕用字在旧字库里显示不出来。",
    "输入法找不到䶮字怎么办？",
    "朱䴉的羽毛在繁殖期会变成灰色。",
    "古籍整理时常常遇到扩展A区的字。",
]
yi = [
    "ꌨ ꁢꂔꑉ ꋬ ꁶꐏꆷ",
    "ꍘꂏꂹ。",
    "ꃽꇉꁾꌬꁥꇄ",
    "ꉑ ꄧꑓ ꉷ ꅲꃓꆀ ꃇꑡ ꂀꒃꁺ，",
    "ꑀꍫꊃꎠꋤꇼꅰꇳꂧꉦꏵꊿꎗ。",
    "ꃱꍘꅑꊼꏩꁐꂞꊂꊸꋍꏹꎦꂌ",
    "ꂅꁼ ꉺꎐꉆ ꌖꋆꀮ ꋗꅘ",
    "ꆾꄈꇻꌠꏸꅔꌶꑥ。",
    "ꑦꈺꍒꋞꌋꄵ",
    "ꇛ ꇝꀘꏡ ꅵꈚꉁ",
    "ꑆꋴꒇꊌꄁꐟꁮꎧ。",
    "ꌧꃔꌴꁿꂉꎆꃡ。",
    "ꃑ ꒈ ꑊ ꋨ ꀴꂐꆩ ꌂꄰꈄ。",
    "ꏋꃻꏧꏗꏞꂯꄧꊽꈞꏔꅊ",
    "ꋤꄬꑘꐹꂺꈖ。",
    "ꇈꑂ ꐅꊣꇈ ꆏꇪꌴ，",
    "ꏱꋘꀻꈼꈒꆌ。",
    "ꋋꋪꂤꃑꏂꊳꏜ",
    "ꋀꂭꃵ ꆘꏓ ꍸ ꊨꂱꌪ ꌶꂭ，",
    "ꀸꎹꄫꏋꋍ，",
    "ꄌꀫꀝꃒꐶꄝꆎꆰꈃꉗꇬꊛꈓ。",
    "ꋔ ꐢꍝ ꄋꑁꄶ",
    "ꀈꅠꏉꃶꑳꁾꐥꐾ。",
    "ꁴꇼꆇꁖꃈ。",
    "ꂁ ꊚꐋ ꐘꆘꈷ ꐐꑄ ꐏꇻ ꐯꈓꑹ，",
    "ꍕꌣꊇꂔꇬꍭꂕꉬ",
    "ꋭꄤꈆꎽꃀ。",
    "ꇊ ꍳ ꌻꊶꍞ ꋚ ꂼꋭ",
    "ꎫꎆꀥꊦꐣꉝꐙꂃꇔ",
    "ꈬꁑꈩ，",
    "ꆈꌠꉙ",
    "ꆈꌠꁱꂷ",
]
malayalam = [
    "മലയാളം ഒരു ഭാഷയാണ്",
    "നമസ്കാരം",
    "എന്റെ പേര് രാമൻ എന്നാണ്",
    "ഇന്ന് നല്ല മഴയാണ്",
    "നിങ്ങൾക്ക് സുഖമാണോ?",
    "ഞാൻ വീട്ടിലേക്ക് പോകുന്നു",
    "ഈ പുസ്തകം വളരെ നല്ലതാണ്",
    "കേരളം ഇന്ത്യയുടെ തെക്കേ അറ്റത്താണ്",
    "ഫയൽ തുറക്കാൻ കഴിഞ്ഞില്ല",
    "സംരക്ഷിക്കുക",
    "റദ്ദാക്കുക",
    "ക്രമീകരണങ്ങൾ",
    "പുതിയഫോൾഡർ",
    "തിരയുക",
    "സഹായം",
    "പിശക്സംഭവിച്ചു",
    "ഫയൽസംരക്ഷിച്ചു",
    "വീണ്ടുംശ്രമിക്കുക",
    "പകർത്തുക",
    "ഒട്ടിക്കുക",
    "മുറിക്കുക",
    "ഇല്ലാതാക്കുക",
    "അടയ്ക്കുക",
    "തുറക്കുക",
    "അച്ചടിക്കുക",
    "അടുത്തത്",
    "മുമ്പത്തേത്",
    "പൂർത്തിയായി",
    "കാത്തിരിക്കുക",
    "ലഭ്യമല്ല",
    "അനുമതിനിഷേധിച്ചു",
    "കണക്ഷൻപരാജയപ്പെട്ടു",
    "ഉപയോക്താവ്",
    "രഹസ്യവാക്ക്",
    "ഭാഷതിരഞ്ഞെടുക്കുക",
    "വിവരങ്ങൾ",
]
sinhala = [
    "ආයුබෝවන්",
    "ගොනුව සුරකින්න",
    "අවලංගු කරන්න",
    "සැකසුම්",
    "නවෆෝල්ඩරය",
    "සොයන්න",
    "උදව්",
    "දෝෂයක්සිදුවිය",
    "ගොනුව විවෘත කළ නොහැක",
    "නැවතඋත්සාහකරන්න",
    "මම ගෙදර යනවා",
    "අද වැස්ස වහිනවා",
    "ඔබට කොහොමද?",
    "මගේ නම කමල්",
    "ශ්‍රී ලංකාව දිවයිනකි",
    "මුද්‍රණයකරන්න",
    "පිටපත්කරන්න",
    "අලවන්න",
    "කපන්න",
    "මකන්න",
    "ඊළඟ",
    "පෙර",
    "වසන්න",
    "විවෘතකරන්න",
    "අවසන්",
    "රැඳීසිටින්න",
    "ලබාගතනොහැක",
    "අවසරයප්‍රතික්ෂේපවිය",
    "සම්බන්ධතාවඅසාර්ථකයි",
    "පරිශීලකයා",
    "මුරපදය",
    "භාෂාවතෝරන්න",
    "තොරතුරු",
]
# Chinese lines whose UTF-16 LE bytes are ASCII but for one ideograph that
# is a valid UTF-8 pair (觉 c9 89, 过 c7 8f, 话 dd 8b, 这 d9 8f, 还 d8 8f).
utf8_pair = [
    "好好睡觉",
    "在睡觉",
    "是在睡觉",
    "天天睡觉",
    "好过",
    "天天好过",
    "好话",
    "是好话",
    "在这",
    "是这",
    "还好",
    "还在",
    "天天在睡觉",
    "是好是还",
]
own_scripts = {
    "Cantonese": (cantonese, [("BIG5-HKSCS", "big5hkscs"), ("UTF-8", "utf-8")]),
    "Extension A": (extension_a, [("GB18030", "gb18030"), ("UTF-8", "utf-8")]),
    "Yi": (yi, [("GB18030", "gb18030"), ("UTF-8", "utf-8")]),
    "Malayalam": (malayalam, [("UTF-8", "utf-8")]),
    "Sinhala": (sinhala, [("UTF-8", "utf-8")]),
    "Chinese UTF-8 pair": (utf8_pair, [("GBK", "gbk"), ("UTF-8", "utf-8")]),
}

def catalog_lines(folder, originals):
    lines = []
    for path in sorted(glob.glob("/usr/share/locale/%s/LC_MESSAGES/*.mo" % folder)):
        try:
            with open(path, "rb") as f:
                catalog = gettext.GNUTranslations(f)._catalog
        except Exception:
            continue
        for key, text in sorted(catalog.items(), key=lambda kv: str(kv[0])):
            if originals:
                text = key[0] if isinstance(key, tuple) else key
            if not isinstance(text, str) or not text or text.startswith("Project-Id-Version"):
                continue
            for line in text.split("\n"):
                line = line.rstrip("\r")
                if line:
                    lines.append(line)
    return lines

records = []   # [label, bytes]; labels: script|encoding[ variant]|break, nobreak or 8bit
batches = {}   # iconv name -> list of (record index, text)
windows = []   # (script, encodings, lines, line end, ended) of every window

def add(label, name, text):
    batches.setdefault(name, []).append((len(records), text))
    records.append([label, None])

def add_window(script, encodings, text, variant=""):
    gap = "break" if any(c in text for c in "\r\n ") else "nobreak"
    for name in ("UTF-16LE", "UTF-16BE"):
        add("%s|%s%s|%s" % (script, name, variant, gap), name, text)
    for name, codec in encodings:
        try:
            text.encode(codec)
        except UnicodeError:
            continue
        for zeros in ((False, True) if not variant else (False,)):
            add("%s|%s%s%s|8bit" % (script, name, variant, " + zeros" if zeros else ""), name, text)

def make_windows(rng, script, lines, encodings):
    for _ in range(per_script):
        count = rng.randint(1, 5)
        start = rng.randrange(0, max(1, len(lines) - count + 1))
        end = "\r\n" if rng.random() < 0.5 else "\n"
        window = lines[start:start + count]
        text = end.join(window)
        ended = rng.random() < 0.7
        if ended:
            text += end
        windows.append((script, encodings, window, end, ended))
        add_window(script, encodings, text)

rng = random.Random(57)
for script, (folder, encodings) in scripts.items():
    lines = catalog_lines(folder, script == "English")
    if not lines:
        print("no text for", script, file=sys.stderr)
        continue
    make_windows(rng, script, lines, encodings)
# What follows draws from a random stream of its own: the catalog windows
# stay those of the earlier rounds.
extra = random.Random(62)
for script, (lines, encodings) in own_scripts.items():
    make_windows(extra, script, lines, encodings)
for script, encodings, window, end, ended in list(windows):
    ends = len(window) - 1 + (1 if ended else 0)
    if ends >= 2:
        chosen = [extra.choice(("\r\n", "\n", "\r")) for _ in range(ends)]
        if len(set(chosen)) > 1:
            text = "".join(line + (chosen[i] if i < ends else "") for i, line in enumerate(window))
            add_window(script, encodings, text, " mixed ends")
    if end == "\r\n" and ends >= 1:
        text = end.join(window) + (end if ended else "")
        for name, codec in encodings:
            try:
                text.encode(codec)
            except UnicodeError:
                continue
            add("%s|%s + zero in CR LF|8bit" % (script, name), name, text)
    if ends >= 1:
        text = end.join(window) + (end if ended else "")
        variant = "zero before each LF" if end == "\n" else "zero between each CR and LF"
        for name, codec in encodings:
            try:
                text.encode(codec)
            except UnicodeError:
                continue
            add("%s|%s + %s, %d line%s|8bit" % (script, name, variant, len(window), "s"[:len(window) - 1]),
                name, text)

# One iconv run an encoding; the texts are split again at a separator that
# every one of these encodings writes as one unit of its own.
separator = "\x1e"
for name, items in batches.items():
    joined = separator.join(text for _, text in items).encode("utf-8")
    run = subprocess.run(["iconv", "-f", "UTF-8", "-t", name], input=joined, capture_output=True)
    if run.returncode != 0:
        # iconv's table lacks a character Python's has: one run a text, and
        # the texts it refuses are left out.
        for index, text in items:
            one = subprocess.run(["iconv", "-f", "UTF-8", "-t", name], input=text.encode("utf-8"),
                                 capture_output=True)
            records[index][1] = one.stdout if one.returncode == 0 else None
        continue
    out = run.stdout
    sep = separator.encode("utf-16-le" if name == "UTF-16LE" else "utf-16-be" if name == "UTF-16BE" else "ascii")
    width = len(sep)
    pieces, start = [], 0
    for i in range(0, len(out) - width + 1, width):
        if out[i:i + width] == sep:
            pieces.append(out[start:i])
            start = i + width
    pieces.append(out[start:])
    assert len(pieces) == len(items), (name, len(pieces), len(items))
    for (index, _), piece in zip(items, pieces):
        records[index][1] = piece

with open(os.path.join(work, "pack"), "wb") as f:
    for label, data in records:
        if data is None:
            continue
        encoding = label.split("|")[1]
        if encoding.endswith("+ zeros"):
            data = bytearray(data)
            # Stray zeros are few: one to three, at most one for every 8 bytes.
            for _ in range(rng.randint(1, max(1, min(3, len(data) // 8)))):
                data.insert(rng.randint(0, len(data)), 0)
            data = bytes(data)
        elif encoding.endswith("+ zero in CR LF"):
            places = [i + 1 for i in range(len(data) - 1) if data[i:i + 2] == b"\r\n"]
            at = extra.choice(places)
            data = data[:at] + b"\0" + data[at:]
        elif "+ zero before each LF" in encoding or "+ zero between each CR and LF" in encoding:
            data = data.replace(b"\n", b"\0\n")
        name = label.encode()
        f.write(struct.pack("<I", len(name)) + name + struct.pack("<I", len(data)) + data)
PY

out=$(run_program "$exe" "$(winpath "$work/pack")" "$(winpath "$work/window.txt")" "$(winpath "$work/saved.txt")") || true
if ! printf '%s\n' "$out" | grep -q '^records '; then echo "the bench did not run"; printf '%s\n' "$out"; exit 1; fi
printf '%s\n' "$out" | python3 -c '
import os, struct, sys
# The texts, to show misread or damaged ones ($ENCODING_GUESS_SHOW of them).
texts = []
with open(sys.argv[1], "rb") as f:
    pack = f.read()
at = 0
while at < len(pack):
    n = struct.unpack_from("<I", pack, at)[0]
    at += 4 + n
    m = struct.unpack_from("<I", pack, at)[0]
    texts.append(pack[at + 4:at + 4 + m])
    at += 4 + m
show = int(os.environ.get("ENCODING_GUESS_SHOW", "0"))
own = {"Cantonese", "Extension A", "Yi", "Malayalam", "Sinhala", "Chinese UTF-8 pair"}
rows, order, classes, class_order, index = {}, [], {}, [], 0
earlier = [0, 0]   # the windows of the earlier rounds: catalog text, without the new variants
total = [0, 0, 0]
for line in sys.stdin:
    parts = line.rstrip("\n").split("\t")
    if len(parts) != 3:
        if line.startswith("records ") or line.startswith("seconds "):
            print(line.rstrip())
        continue
    script, encoding, what = parts[0].split("|")
    kind, save = int(parts[1]), int(parts[2])
    base = encoding.split(" ")[0]
    variant = encoding[len(base):]
    if what == "8bit":
        # Rows by script and encoding, classes by the number of lines too.
        key, bad = (script, encoding.split(",")[0]), kind in (5, 6)
        group = "8-bit" + variant
    else:
        gap = " with line end or space" if what == "break" else " without"
        key, bad = (script, encoding + gap), kind != (6 if base == "UTF-16LE" else 5)
        group = "UTF-16" + variant + gap
    damaged = save == 1
    if ((bad and what != "nobreak") or damaged) and show > 0:
        show -= 1
        print("%s as %d%s: %s %s: %s" % ("misread" if bad else "read", kind, ", damaged" if damaged else "",
                                       script, encoding, texts[index].hex(" ")))
    index += 1
    for table, ordered, k in ((rows, order, key), (classes, class_order, group)):
        if k not in table:
            table[k] = [0, 0, 0, 0]
            ordered.append(k)
        table[k][0] += 1
        table[k][1] += bad
        table[k][2] += damaged
        table[k][3] += save == 2
    if what != "nobreak":
        total[0] += 1
        total[1] += bad
        if script not in own and variant in ("", " + zeros"):
            earlier[0] += 1
            earlier[1] += bad
    total[2] += damaged
for key in order:
    n, bad, damaged, unsaved = rows[key]
    print("%-20s %-46s windows %5d  misread %4d  damaged %4d" % (key[0], key[1], n, bad, damaged))
print()
print("by class:")
for key in sorted(class_order):
    n, bad, damaged, unsaved = classes[key]
    print("  %-44s windows %6d  misread %5d  damaged %4d  not saved %4d" % (key, n, bad, damaged, unsaved))
print("misread %d of %d (catalog text as in the earlier rounds: UTF-16 with a line end or space, and 8-bit)" %
      (earlier[1], earlier[0]))
print("misread %d of %d (every window with a line end or space, and 8-bit)" % (total[1], total[0]))
print("damaged %d of %d (every window)" % (total[2], index))
' "$work/pack"
