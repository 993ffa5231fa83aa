#!/usr/bin/env bash
# How the encoding guess reads short texts without a byte-order mark: windows
# of 1 to 5 lines of real text in many scripts (the translations of the
# message catalogs on this machine, /usr/share/locale/*/LC_MESSAGES/*.mo, and
# their English originals), LF or CR LF, with or without a final line end,
# converted with iconv into UTF-16 LE and BE and into the scripts' 8-bit
# encodings, and the 8-bit texts once more with 1 to 3 stray zero bytes (at
# most one for every 8 bytes) at random places. Each is written to a file and
# read as a text side is. Prints, by script and encoding, the windows and the
# misread ones: UTF-16 not read as UTF-16 of its byte order (split into
# windows with a line end or space and those without, which have no zero
# byte to go by), 8-bit read as UTF-16. Target: 0 misread, but for UTF-16
# windows without a line end or a space. ENCODING_GUESS_SHOW=N prints the
# bytes of the first N misread windows.
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

rng = random.Random(57)
records = []   # (label, bytes)
batches = {}   # iconv name -> list of (record index, text)
for script, (folder, encodings) in scripts.items():
    lines = catalog_lines(folder, script == "English")
    if not lines:
        print("no text for", script, file=sys.stderr)
        continue
    for _ in range(per_script):
        count = rng.randint(1, 5)
        start = rng.randrange(0, max(1, len(lines) - count + 1))
        end = "\r\n" if rng.random() < 0.5 else "\n"
        text = end.join(lines[start:start + count])
        if rng.random() < 0.7:
            text += end
        gap = "break" if any(c in text for c in "\r\n ") else "nobreak"
        for name in ("UTF-16LE", "UTF-16BE"):
            batches.setdefault(name, []).append((len(records), text))
            records.append(["%s|%s|%s" % (script, name, gap), None])
        for name, codec in encodings:
            try:
                text.encode(codec)
            except UnicodeError:
                continue
            for zeros in (False, True):
                batches.setdefault(name, []).append((len(records), text))
                records.append(["%s|%s%s|8bit" % (script, name, " + zeros" if zeros else ""), None])

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
        if label.split("|")[1].endswith("+ zeros"):
            data = bytearray(data)
            # Stray zeros are few: one to three, at most one for every 8 bytes.
            for _ in range(rng.randint(1, max(1, min(3, len(data) // 8)))):
                data.insert(rng.randint(0, len(data)), 0)
            data = bytes(data)
        name = label.encode()
        f.write(struct.pack("<I", len(name)) + name + struct.pack("<I", len(data)) + data)
PY

out=$(run_program "$exe" "$(winpath "$work/pack")" "$(winpath "$work/window.txt")") || true
if ! printf '%s\n' "$out" | grep -q '^records '; then echo "the bench did not run"; printf '%s\n' "$out"; exit 1; fi
printf '%s\n' "$out" | python3 -c '
import os, struct, sys
# The texts, to show misread ones ($ENCODING_GUESS_SHOW of them).
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
rows, order, index = {}, [], 0
for line in sys.stdin:
    parts = line.rstrip("\n").split("\t")
    if len(parts) != 2:
        if line.startswith("records ") or line.startswith("seconds "):
            print(line.rstrip())
        continue
    script, encoding, what = parts[0].split("|")
    kind = int(parts[1])
    if what == "8bit":
        key, bad = (script, encoding), kind in (5, 6)
    else:
        key, bad = (script, encoding + (" with line end or space" if what == "break" else " without")), \
                   kind != (6 if encoding == "UTF-16LE" else 5)
    if bad and show > 0 and what != "nobreak":
        show -= 1
        print("misread as %d: %s %s: %s" % (kind, script, encoding, texts[index].hex(" ")))
    index += 1
    if key not in rows:
        rows[key] = [0, 0]
        order.append(key)
    rows[key][0] += 1
    rows[key][1] += bad
total = [0, 0]
for key in order:
    n, bad = rows[key]
    print("%-20s %-36s windows %5d  misread %4d" % (key[0], key[1], n, bad))
    if "without" not in key[1]:
        total[0] += n
        total[1] += bad
print("misread %d of %d (UTF-16 with a line end or space, and 8-bit)" % (total[1], total[0]))
' "$work/pack"
