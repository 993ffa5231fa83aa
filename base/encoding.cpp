// Encoding detection and conversion between the encoding kinds of RawString.

#include "base/encoding.h"

#include <windows.h>

#include <climits>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace RawLayer {

namespace {

// Code pages of the kinds that convert through the system converter.
constexpr UINT kCodePageSjis = 932;
constexpr UINT kCodePageUtf8 = 65001;
constexpr UINT kCodePageUtf7 = 65000;
constexpr UINT kCodePageEucJp = 51932;
// Wine has no 51932; its 20932 reads the same two-byte and half-width
// katakana (0x8E) sequences.
constexpr UINT kCodePageEucJpFallback = 20932;

// Lead bytes of code page 932: 0x81-0x9F and 0xE0-0xFC. The upper end
// includes the user-defined (0xF0-0xF9) and IBM extension (0xFA-0xFC) rows,
// which the converter reads as two-byte characters (e.g. FB FC is U+9AD9).
inline bool IsSjisLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The ANSI code page of the process, read once.
struct AnsiInfo {
    UINT codePage = 0;
    UINT maxCharSize = 1;
    bool lead[256] = {};

    AnsiInfo() {
        codePage = GetACP();
        CPINFO info;
        if (GetCPInfo(CP_ACP, &info)) {
            maxCharSize = info.MaxCharSize;
            for (int i = 0; i + 1 < MAX_LEADBYTES; i += 2) {
                BYTE low = info.LeadByte[i];
                BYTE high = info.LeadByte[i + 1];
                if (low == 0 && high == 0) break;
                for (int b = low; b <= high; ++b) lead[b] = true;
            }
        }
    }
};

const AnsiInfo& Ansi() {
    static const AnsiInfo info;
    return info;
}

// Double-byte cut: a byte that cannot lead a character ends a character, so
// the run of lead-capable bytes at the end starts on a boundary and consists
// of pairs; an odd run ends in a lone lead.
template <typename IsLead>
int32_t DoubleByteCut(const uint8_t* b, int32_t count, IsLead isLead) {
    int32_t i = count;
    while (i > 0 && isLead(b[i - 1])) --i;
    return ((count - i) & 1) ? count - 1 : count;
}

// Number of continuation bytes a UTF-8 lead announces; -1 for a byte that
// leads nothing (ASCII), -2 for a byte that is never part of a sequence.
int Utf8Trail(uint8_t b) {
    if (b < 0x80) return -1;
    if (b < 0xC0) return 0;              // a continuation byte
    if (b < 0xC2) return -2;             // 0xC0, 0xC1: overlong, invalid
    if (b < 0xE0) return 1;
    if (b < 0xF0) return 2;
    if (b < 0xF8) return 3;
    if (b < 0xFC) return 4;
    if (b < 0xFE) return 5;
    return -2;                           // 0xFE, 0xFF
}

// Only a lead whose sequence still lacks continuation bytes is cut. Stray
// continuation bytes (after ASCII, after a complete sequence, or without any
// lead) can never become part of a character; they are kept, so that the
// converter replaces them where they stand and a reader at the end of a file
// does not take them for an incomplete character.
int32_t Utf8Cut(const uint8_t* b, int32_t count) {
    int32_t lead = count - 1;
    int32_t limit = count > 6 ? count - 6 : 0;   // a sequence has at most 5 continuations
    while (lead >= limit && (b[lead] & 0xC0) == 0x80) --lead;
    if (lead < limit) return count;
    int trail = Utf8Trail(b[lead]);
    if (trail < 0) return count;         // ASCII or a byte that leads nothing
    int32_t have = count - lead;         // lead plus its continuation bytes
    return have < trail + 1 ? lead : count;
}

int32_t EucJpCut(const uint8_t* b, int32_t count) {
    // Bytes below 0x80 stand alone and never continue a character, so the
    // trailing run of high bytes starts on a boundary.
    int32_t i = count;
    while (i > 0 && b[i - 1] >= 0x80) --i;
    while (i < count) {
        uint8_t c = b[i];
        int32_t length = 1;
        if (c == 0x8E) length = 2;                       // SS2: half-width katakana
        else if (c == 0x8F) length = 3;                  // SS3: JIS X 0212
        else if (c >= 0xA1 && c <= 0xFE) length = 2;     // JIS X 0208
        if (count - i < length) return i;
        i += length;
    }
    return count;
}

inline bool IsBase64(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

int32_t Utf7Cut(const uint8_t* b, int32_t count) {
    bool inRun = false;
    int32_t runStart = 0;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t c = b[i];
        if (inRun) {
            // Any byte outside the base64 set ends the run ('-' is absorbed,
            // anything else is a direct character).
            if (!IsBase64(c)) inRun = false;
        } else if (c == '+') {
            inRun = true;
            runStart = i;
        }
    }
    return inRun ? runStart : count;
}

int32_t Utf16ByteCut(const uint8_t* b, int32_t count, bool bigEndian) {
    int32_t n = count & ~1;
    if (n >= 2) {
        uint32_t unit = bigEndian ? (uint32_t(b[n - 2]) << 8) | b[n - 1]
                                  : (uint32_t(b[n - 1]) << 8) | b[n - 2];
        if (IsHighSurrogate(unit)) n -= 2;
    }
    return n;
}

// A fresh owned string of a kind with room for exactly `count` units.
RawString MakeBuffer(uint8_t kind, int32_t count) {
    RawString s(kind);
    s.Reserve(count);
    return s;
}

bool Fail(uint8_t kind, RawString& out) {
    out = RawString(kind);
    return false;
}

const char* const kKindNames[] = {"ASCII", "SJIS", "UTF8", "UTF7", "EUCJP",
                                  "UTF16BE", "UTF16LE", "UTF16", "ERROR"};

}  // namespace

// ---------------------------------------------------------------------------
// Code pages

int KindCodePage(uint8_t kind) {
    switch (kind) {
        case KindAnsi: return CP_ACP;
        case KindSjis: return kCodePageSjis;
        case KindUtf8: return kCodePageUtf8;
        case KindUtf7: return kCodePageUtf7;
        case KindEucJp: {
            static const int eucJp =
                IsValidCodePage(kCodePageEucJp) ? kCodePageEucJp : kCodePageEucJpFallback;
            return eucJp;
        }
        default: return -1;
    }
}

bool KindFitsAnsiApi(uint8_t kind) {
    if (kind == KindAnsi) return true;
    if (kind == KindSjis) return Ansi().codePage == kCodePageSjis;
    return false;
}

// ---------------------------------------------------------------------------
// Byte-order marks

uint8_t DetectBom(const void* bytes, int32_t count) {
    if (!bytes || count < 2) return 0;
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    if (b[0] == 0xFE && b[1] == 0xFF) return KindUtf16BE;
    if (b[0] == 0xFF && b[1] == 0xFE) return KindUtf16LE;
    if (count >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return KindUtf8;
    return 0;
}

int32_t BomLength(uint8_t kind) {
    switch (kind) {
        case KindUtf16BE:
        case KindUtf16LE: return 2;
        case KindUtf8: return 3;
        case KindUtf7: return 5;
        default: return 0;
    }
}

const uint8_t* BomBytes(uint8_t kind, int32_t* count) {
    static const uint8_t utf8[] = {0xEF, 0xBB, 0xBF};
    static const uint8_t utf7[] = {'+', '/', 'v', '8', '-'};
    static const uint8_t be[] = {0xFE, 0xFF};
    static const uint8_t le[] = {0xFF, 0xFE};
    static const uint8_t none[] = {0};
    const uint8_t* bytes = none;
    int32_t n = 0;
    switch (kind) {
        case KindUtf8: bytes = utf8; n = 3; break;
        case KindUtf7: bytes = utf7; n = 5; break;
        case KindUtf16BE: bytes = be; n = 2; break;
        case KindUtf16LE:
        case KindUtf16: bytes = le; n = 2; break;
        default: break;
    }
    if (count) *count = n;
    return bytes;
}

// ---------------------------------------------------------------------------
// Guessing

uint8_t GuessEncoding(const void* bytes, int32_t count) {
    if (!bytes || count <= 0) return KindSjis;
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    bool sjisTrail = false;   // the Shift_JIS validator expects a trail byte
    int utf8Pending = 0;      // continuation bytes the UTF-8 validator expects
    int32_t katakana = 0;
    int32_t longForms = 0;
    for (int32_t i = 0; i < count; ++i) {
        uint8_t c = b[i];
        // Shift_JIS first. The IBM extension rows (leads 0xFA-0xFC) are
        // Shift_JIS text of code page 932 and never valid UTF-8, so they
        // count as leads; 0xF0-0xF9 stay invalid, since they also start
        // 4-byte UTF-8 sequences.
        if (sjisTrail) {
            if ((c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC)) sjisTrail = false;
            else return KindUtf8;
        } else if (c <= 0x7F) {
        } else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC)) {
            sjisTrail = true;
        } else if (c >= 0xA1 && c <= 0xDF) {
            ++katakana;
        } else {
            return KindUtf8;
        }
        // Then UTF-8.
        if (utf8Pending > 0) {
            if ((c & 0xC0) != 0x80) return KindSjis;
            --utf8Pending;
        } else if (c >= 0x80) {
            if (c >= 0xC2 && c <= 0xDF) utf8Pending = 1;
            else if (c >= 0xE0 && c <= 0xEF) utf8Pending = 2;
            else if (c >= 0xF0 && c <= 0xF7) utf8Pending = 3;
            else if (c >= 0xF8 && c <= 0xFB) { utf8Pending = 4; ++longForms; }
            else if (c >= 0xFC && c <= 0xFD) { utf8Pending = 5; ++longForms; }
            else return KindSjis;
        }
    }
    return longForms < katakana ? KindUtf8 : KindSjis;
}

namespace {

// What the units of a chunk say about UTF-16 when they are read in one byte
// order on the file's 2-byte grid. UTF-16 writes every line end and space
// with a zero high byte; 8-bit text has zero bytes only by accident, next
// to whatever byte happens to stand there.
struct UnitLayout {
    int32_t units = 0;
    int32_t wideBreaks = 0;       // 000A, 000D, 0020: line ends and spaces as UTF-16 writes them
    int32_t wideEnds = 0;         // of those, the line ends (000A, 000D)
    int32_t wideCrLfs = 0;        // 000D right before 000A: a UTF-16 CR LF
    int32_t wideLfs = 0;          // 000A
    int32_t wideOthers = 0;       // other units with only the high byte zero (ASCII, Latin-1)
    int32_t zeroLows = 0;         // units with only the low byte zero
    int32_t others = 0;           // units without a zero byte
    int32_t asciiPairs = 0;       // of those, two bytes of ASCII text (kanji, read as UTF-16)
    int32_t wordPairs = 0;        // of those, two letters, digits or spaces
    int32_t highPairs = 0;        // of those, two bytes 0xA1-0xFE (double-byte or accented 8-bit text)
    int32_t controls = 0;         // of those, units with a control byte that 8-bit text never has
    int32_t unlikely = 0;         // characters text hardly has: private use, noncharacters, surrogates
                                  // out of pairs
    int32_t rareBlocks = 0;       // CJK extension A and Yi (see CountUnit)
    int32_t yiUnits = 0;          // of those, Yi
    int32_t rareTextPairs = 0;    // of those, Extension A units that 8-bit text makes: two letters or
                                  // digits, or a sign and a space
    int32_t ideographs = 0;       // CJK unified ideographs
    int32_t narrowBreaks = 0;     // units without a zero byte with an LF or a space as the low byte
    int32_t highBreaks = 0;       // units without a zero byte with an LF or a CR as the high byte
    int32_t narrowCrLfs = 0;      // CR LF side by side, the LF not a UTF-16 one
    int32_t crLfsBeforeWide = 0;  // a CR LF whose LF makes a UTF-16 LF with a zero after it
    int32_t crsBeforeWideLf = 0;  // a CR byte right before a UTF-16 LF
};

// What came before a unit in the same byte order.
struct UnitTrail {
    bool afterHighSurrogate = false;
    bool afterWideCr = false;
};

inline bool IsAsciiText(uint8_t c) { return c >= 0x20 && c <= 0x7E; }
inline bool IsWordByte(uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ';
}
// Control bytes that 8-bit text never holds (it may hold tabs, line ends,
// vertical tabs, form feeds, end of file marks and escapes); UTF-16 has them
// as the low bytes of characters of every script (U+3002, the ideographic
// full stop, is 02 30 in little-endian).
inline bool IsForeignControl(uint8_t c) {
    return c != 0 && c < 0x20 && !(c >= 0x09 && c <= 0x0D) && c != 0x1A && c != 0x1B;
}

// Counts one unit into the layout of one byte order.
inline void CountUnit(UnitLayout& k, uint8_t high, uint8_t low, bool first, UnitTrail& trail) {
    const uint32_t unit = uint32_t(high) << 8 | low;
    const bool lowSurrogate = IsLowSurrogate(unit);
    // The CJK extension A and Yi blocks are the ASCII digits and capitals,
    // and the full-width signs of GBK, read as units: a few of them among
    // other characters weigh against UTF-16 where nothing plain speaks for
    // it (UnitsAreUtf16).
    if ((unit >= 0x3400 && unit <= 0x4DBF) || (unit >= 0xA000 && unit <= 0xA4CF)) {
        ++k.rareBlocks;
        if (unit >= 0xA000) ++k.yiUnits;
        else if ((IsWordByte(high) && IsWordByte(low)) || low == 0x20) ++k.rareTextPairs;
    }
    if (unit >= 0x4E00 && unit <= 0x9FFF) ++k.ideographs;
    if (high == 0 && low == 0) {
    } else if (high == 0) {
        if (low == 0x0A || low == 0x0D || low == 0x20) ++k.wideBreaks;
        if (low == 0x0A || low == 0x0D) ++k.wideEnds;
        if (low == 0x0A && trail.afterWideCr) ++k.wideCrLfs;
        if (low == 0x0A) ++k.wideLfs;
        if (low != 0x0A && low != 0x0D && low != 0x20) ++k.wideOthers;
    } else if (low == 0) {
        ++k.zeroLows;
    } else {
        ++k.others;
        // Lowercase ASCII read as UTF-16 is kanji; kana (0x30xx) are not
        // counted, since their high byte is the digit 0.
        if (IsAsciiText(high) && high != 0x30 && (IsAsciiText(low) || low == 0x09 || low == 0x0A || low == 0x0D)) {
            ++k.asciiPairs;
            if (IsWordByte(high) && IsWordByte(low)) ++k.wordPairs;
        }
        if (high >= 0xA1 && high <= 0xFE && low >= 0xA1 && low <= 0xFE) ++k.highPairs;
        if (IsForeignControl(high) || IsForeignControl(low)) ++k.controls;
        if ((unit >= 0xE000 && unit <= 0xF8FF) || unit >= 0xFFFE) ++k.unlikely;
        // A low surrogate first in the chunk may pair with the one before it.
        if (lowSurrogate && !trail.afterHighSurrogate && !first) ++k.unlikely;
        if (low == 0x0A || low == 0x20) ++k.narrowBreaks;
        if (high == 0x0A || high == 0x0D) ++k.highBreaks;
    }
    if (trail.afterHighSurrogate && !lowSurrogate) ++k.unlikely;
    trail.afterHighSurrogate = IsHighSurrogate(unit);
    trail.afterWideCr = unit == 0x000D;
}

// The layouts of a chunk in both byte orders, in one pass. Only whole units
// count: a chunk at an odd offset starts with the unit whose first byte
// ended the chunk before (`before`, -1 when unknown: the unit is left out),
// and a byte after the chunk's last whole unit is left out (a lone zero at
// the end of a file is no UTF-16 space).
void MeasureUnits(const uint8_t* b, int32_t count, int64_t offset, int before, UnitLayout& little,
                  UnitLayout& big) {
    UnitTrail afterLittle, afterBig;
    int32_t units = 0;
    int32_t start = 0;
    if (offset & 1) start = before >= 0 ? -1 : 1;
    for (int32_t i = start; i + 1 < count; i += 2) {
        const uint8_t first = i >= 0 ? b[i] : static_cast<uint8_t>(before);
        const uint8_t second = b[i + 1];
        CountUnit(little, second, first, i == start, afterLittle);
        CountUnit(big, first, second, i == start, afterBig);
        if (i > 0 && b[i - 1] == 0x0D) {
            if (first == 0x0A && second == 0) ++little.crsBeforeWideLf;
            if (first == 0 && second == 0x0A) ++big.crsBeforeWideLf;
        }
        ++units;
    }
    little.units = big.units = units;
    for (int32_t i = 0; i + 1 < count; ++i) {
        if (b[i] != 0x0D || b[i + 1] != 0x0A) continue;
        // Little-endian UTF-16 puts an LF at an even offset with a zero
        // after it; big-endian puts the zero before it, where the CR stands.
        if (((offset + i + 1) & 1) == 0 && i + 2 < count && b[i + 2] == 0) ++little.crLfsBeforeWide;
        else ++little.narrowCrLfs;
        ++big.narrowCrLfs;
    }
}

// What the bytes other than zeros say as 8-bit text, found once for both
// byte orders, when it is asked for:
// - control bytes other than tab, line ends, end of file (0x1A) and
//   escape: no 8-bit text; UTF-16 has them in the low bytes of every
//   script and in the high bytes of most alphabets;
// - valid UTF-8 with at least one whole multi-byte character; and whether
//   every such character is a two-byte one that stands as one unit on the
//   file's grid, none right after another, all of them together fewer than
//   half of the bytes: such pairs are UTF-16 characters as often (U+89C9 is
//   C9 89 in little-endian), while the letters of an alphabet in UTF-8
//   stand side by side;
// - Japanese Shift_JIS or EUC-JP: at least three two-byte characters of
//   which a third or more are kana (a kana lead, 0x82 or 0x83, 0xA4 or
//   0xA5, with a kana trail) and, for Shift_JIS, few half-width katakana
//   (the high bytes of Korean text read as those).
struct EightBitReading {
    bool known = false;
    bool controls = false;
    bool utf8 = false;
    bool utf8OnUnits = false;
    bool japanese = false;
};

bool ReadsAsUtf8(const uint8_t* b, int32_t count, int64_t offset, bool& onUnits) {
    int32_t pending = 0, characters = 0, onGrid = 0, nonZero = 0;
    int32_t lead = 0, length = 0, lastEnd = -2;
    bool sideBySide = false;   // a character right after another
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t c = b[i];
        if (c == 0) continue;
        ++nonZero;
        if (pending > 0) {
            if ((c & 0xC0) != 0x80) return false;
            if (--pending == 0) {
                ++characters;
                if (lead == lastEnd + 1) sideBySide = true;
                lastEnd = i;
                if (length == 2 && i == lead + 1 && ((offset + lead) & 1) == 0) ++onGrid;
            }
        } else if (c >= 0x80) {
            lead = i;
            if (c >= 0xC2 && c <= 0xDF) pending = 1;
            else if (c >= 0xE0 && c <= 0xEF) pending = 2;
            else if (c >= 0xF0 && c <= 0xF4) pending = 3;
            else return false;
            length = pending + 1;
        }
    }
    onUnits = onGrid == characters && !sideBySide && static_cast<int64_t>(characters) * 4 < nonZero;
    return characters > 0;
}

bool ReadsAsJapanese(const uint8_t* b, int32_t count) {
    {
        int32_t characters = 0, kana = 0, katakana = 0;
        uint8_t lead = 0;
        bool valid = true;
        for (int32_t i = 0; i < count && valid; ++i) {
            const uint8_t c = b[i];
            if (c == 0) continue;
            if (lead != 0) {
                valid = (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
                if ((lead == 0x82 && c >= 0x9F && c <= 0xF1) || (lead == 0x83 && c >= 0x40 && c <= 0x96)) ++kana;
                lead = 0;
            } else if (c >= 0x80) {
                if (IsSjisLead(c)) {
                    lead = c;
                    ++characters;
                } else if (c >= 0xA1 && c <= 0xDF) {
                    ++katakana;
                } else {
                    valid = false;
                }
            }
        }
        if (valid && characters >= 3 && kana * 3 >= characters && katakana * 4 <= characters) return true;
    }
    {
        int32_t characters = 0, kana = 0;
        uint8_t lead = 0;
        bool valid = true;
        for (int32_t i = 0; i < count && valid; ++i) {
            const uint8_t c = b[i];
            if (c == 0) continue;
            if (lead != 0) {
                valid = c >= 0xA1 && c <= 0xFE;
                if ((lead == 0xA4 || lead == 0xA5) && c <= 0xF6) ++kana;
                lead = 0;
            } else if (c >= 0x80) {
                valid = c == 0x8E || (c >= 0xA1 && c <= 0xFE);
                lead = c;
                ++characters;
            }
        }
        if (valid && characters >= 3 && kana * 3 >= characters) return true;
    }
    return false;
}

const EightBitReading& ReadEightBit(EightBitReading& reading, const uint8_t* b, int32_t count, int64_t offset) {
    if (reading.known) return reading;
    reading.known = true;
    // A form feed too: in a chunk with zeros it is far more often the low
    // byte of a unit (U+FF0C, the full-width comma) than a page break.
    for (int32_t i = 0; i < count && !reading.controls; ++i)
        reading.controls = IsForeignControl(b[i]) || b[i] == 0x0C;
    if (reading.controls) return reading;
    reading.utf8 = ReadsAsUtf8(b, count, offset, reading.utf8OnUnits);
    reading.japanese = ReadsAsJapanese(b, count);
    return reading;
}

// Whether a chunk's units in one order are UTF-16 text. Mostly units with a
// zero high byte is ASCII-heavy UTF-16. Otherwise UTF-16 needs a line end or
// a space written as UTF-16 writes it and nothing that 8-bit text has and
// UTF-16 text hardly has: an 8-bit CR LF (a zero after a CR LF is a stray
// one), characters text hardly has, valid multi-byte 8-bit text. The rest
// is weighed: each line end or space on the grid weighs for UTF-16 and each
// one off it (an LF or space as the low byte, an LF or CR as the high byte
// where the text is not in the script that has them there) against; units
// that are no two text bytes of 8-bit text weigh for UTF-16; units of two
// letters, digits or spaces (8-bit text beside a stray zero), of two high
// bytes (double-byte 8-bit text), and a CR right before a UTF-16 LF (an
// 8-bit CR LF with a stray zero between) weigh against. Other two-byte
// ASCII units weigh nothing: CJK ideographs make them as often as 8-bit
// text does.
//
// A script whose letters have 0x0D or 0x0A as their high byte (Malayalam
// and Sinhala, Gurmukhi and Gujarati) puts such a byte before many a UTF-16
// LF: there it is a letter's, not an 8-bit CR. And characters of CJK
// extension A and Yi count as characters text hardly has only where nothing
// plain speaks for UTF-16: a UTF-16 CR LF, a control byte (each needs zeros
// or bytes that stray zeros in 8-bit text do not give), or text that is Yi
// throughout. Two UTF-16 LFs are weaker: 8-bit text with a zero before each
// LF (or between each CR and LF) has them too, and Big5 and GBK read as
// units give Yi and Extension A units by the dozen (their lead bytes 0xA1 to
// 0xA4, a trail byte before a lead), Latin text Extension A units of a
// capital and a letter. So two UTF-16 LFs, with no CR byte or 8-bit CR LF
// beside them, waive only the Extension A units of text that reads as
// Chinese (ideographs for half of its units or more, as 8-bit Big5 and GBK
// never are) and that 8-bit text hardly makes (not two letters or digits,
// not a sign before a space).
bool UnitsAreUtf16(const UnitLayout& k, const uint8_t* b, int32_t count, int64_t offset, EightBitReading& text) {
    const int32_t zeroHigh = k.wideBreaks + k.wideOthers;
    if (zeroHigh == 0) return false;
    const bool letterBreaks = k.highBreaks >= 3 && static_cast<int64_t>(k.highBreaks) * 2 >= k.others;
    if (k.narrowCrLfs > 0 && k.narrowCrLfs >= k.wideBreaks) return false;
    if (k.wideBreaks > 0 && k.crLfsBeforeWide == k.wideBreaks && !letterBreaks) return false;
    if (zeroHigh >= 2 && zeroHigh > k.zeroLows && static_cast<int64_t>(zeroHigh) * 2 >= k.units) return true;
    if (k.wideBreaks == 0) return false;
    const bool plain = k.wideCrLfs > 0 || k.controls > 0 ||
                       (k.others >= 3 && static_cast<int64_t>(k.yiUnits) * 4 >= k.others * 3);
    const bool chineseLines = k.wideLfs >= 2 && k.narrowCrLfs == 0 && k.crLfsBeforeWide == 0 &&
                              k.crsBeforeWideLf == 0 && static_cast<int64_t>(k.ideographs) * 2 >= k.others;
    const int64_t rare = plain ? 0
                         : chineseLines ? static_cast<int64_t>(k.yiUnits) + k.rareTextPairs
                                        : static_cast<int64_t>(k.rareBlocks);
    const int64_t unlikely = static_cast<int64_t>(k.unlikely) + rare;
    if (unlikely * 32 > k.others) return false;
    int64_t breaksOff = k.narrowBreaks;
    if (static_cast<int64_t>(k.highBreaks) * 2 < k.others) breaksOff += k.highBreaks;
    const int64_t notText = static_cast<int64_t>(k.others) - k.asciiPairs - k.highPairs;
    const int64_t crsBefore = letterBreaks ? 0 : k.crsBeforeWideLf;
    const int64_t weight = 6 * (k.wideBreaks - breaksOff) + 2 * notText - 2 * static_cast<int64_t>(k.wordPairs) -
                           k.highPairs - 2 * crsBefore;
    if (weight <= 0) return false;
    // Multi-byte 8-bit text with a stray zero; UTF-8 pairs that stand as
    // units are no sign of it beside a UTF-16 line end that is not the LF
    // after a CR byte.
    const EightBitReading& reading = ReadEightBit(text, b, count, offset);
    if (reading.controls) return true;
    if (reading.utf8 && !(reading.utf8OnUnits && k.wideEnds > k.crsBeforeWideLf)) return false;
    return !reading.japanese;
}

// The UTF-16 order whose units the chunk's zero bytes stand in, or 0 when
// they are stray zeros of 8-bit text. `offset` is the chunk's place in the
// file, which fixes the 2-byte grid; `before` the byte before the chunk.
uint8_t Utf16OrderByZeros(const uint8_t* b, int32_t count, int64_t offset, int before) {
    UnitLayout little, big;
    MeasureUnits(b, count, offset, before, little, big);
    EightBitReading text;
    const bool isLittle = UnitsAreUtf16(little, b, count, offset, text);
    const bool isBig = UnitsAreUtf16(big, b, count, offset, text);
    if (isLittle && isBig)
        return big.wideBreaks + big.wideOthers > little.wideBreaks + little.wideOthers ? KindUtf16BE : KindUtf16LE;
    return isLittle ? KindUtf16LE : isBig ? KindUtf16BE : 0;
}

#if defined(__i386__) || defined(__x86_64__)
// Passes 16 bytes at a time from `pos` while none of them is a zero byte
// (`zeros`) or, otherwise, while all are plain 7-bit bytes 0x01..0x7E: the
// position of the first byte that stops it, or of the last block short of
// 16 bytes.
__attribute__((target("sse2"))) int32_t SkipWide(const uint8_t* b, int32_t pos, int32_t count, bool zeros) {
    // As signed bytes the plain ones are 1..126.
    const __m128i zero = _mm_setzero_si128();
    const __m128i del = _mm_set1_epi8(0x7F);
    while (count - pos >= 16) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + pos));
        const int stops = zeros ? _mm_movemask_epi8(_mm_cmpeq_epi8(w, zero))
                                : ~_mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(w, zero), _mm_cmplt_epi8(w, del))) &
                                      0xFFFF;
        if (stops != 0) return pos + __builtin_ctz(static_cast<unsigned>(stops));
        pos += 16;
    }
    return pos;
}
#endif

// The first zero byte from `pos` on, or `count`.
int32_t FindZero(const uint8_t* b, int32_t pos, int32_t count) {
#if defined(__i386__) || defined(__x86_64__)
    if (HasSse2()) pos = SkipWide(b, pos, count, true);
#endif
    while (pos < count && b[pos] != 0) ++pos;
    return pos;
}

// Whether a zero byte stands between two non-zero ones (two zeros in a row
// say nothing about a byte order).
bool HasLoneZero(const uint8_t* b, int32_t count) {
    for (int32_t i = FindZero(b, 0, count); i < count; i = FindZero(b, i + 1, count)) {
        const bool before = i > 0 && b[i - 1] == 0;
        const bool after = i + 1 < count && b[i + 1] == 0;
        if (!before && !after) return true;
    }
    return false;
}

// The first position from `pos` on whose byte is not 0x01..0x7E (those say
// nothing about the kind), or `count`. Most text is such bytes only, so they
// are passed eight at a time: a word holds none of the others when no byte
// has its high bit set, is zero or is 0x7F.
int32_t SkipPlainAscii(const uint8_t* b, int32_t pos, int32_t count) {
#if defined(__i386__) || defined(__x86_64__)
    if (HasSse2()) pos = SkipWide(b, pos, count, false);
#endif
    const uint64_t ones = 0x0101010101010101ull;
    const uint64_t highs = 0x8080808080808080ull;
    const uint64_t del = ones * 0x7F;
    while (count - pos >= 8) {
        uint64_t w;
        std::memcpy(&w, b + pos, 8);
        const uint64_t d = w ^ del;
        if ((w | ((w - ones) & ~w) | ((d - ones) & ~d)) & highs) break;
        pos += 8;
    }
    return pos;
}

}  // namespace

bool HasSse2() {
#if defined(__x86_64__)
    return true;
#elif defined(__i386__)
    static const bool has = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0;
    return has;
#else
    return false;
#endif
}

uint8_t GuessTextKind(GuessState& state, const void* bytes, int32_t count) {
    if (!bytes || count <= 0) return 0;
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    int32_t pos = state.position;
    if (pos < 0 || pos > count) pos = 0;
    // Zeros are weighed before any other byte: UTF-16 text may start with
    // any byte at all, and only where its zeros stand tells it from 8-bit
    // text.
    if (state.flag && FindZero(b, pos, count) < count) {
        const uint8_t order = Utf16OrderByZeros(b, count, state.offset, state.lastByte);
        if (order != 0) {
            state.position = pos;
            return order;
        }
        // Stray zeros in 8-bit text: no more zero votes.
        if (HasLoneZero(b + pos, count - pos)) state.flag = false;
    }
    while (pos < count) {
        pos = SkipPlainAscii(b, pos, count);
        if (pos >= count) break;
        uint8_t c = b[pos];
        uint8_t result = 0;
        if (c <= 0x7E) {
            ++pos;   // plain 7-bit text, or a zero already weighed
            continue;
        }
        if (c >= 0x80 && c <= 0xC1) {
            result = KindSjis;
        } else if ((c >= 0xC2 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC)) {
            result = GuessEncoding(b + pos, count - pos);
        } else if (c >= 0xF0 && c <= 0xFD) {
            result = KindUtf8;
        } else {
            result = KindError;   // 0x7F, 0xFE, 0xFF
        }
        state.position = pos;
        return result;
    }
    state.offset += count;
    state.position = 0;
    state.lastByte = b[count - 1];
    return 0;
}

// ---------------------------------------------------------------------------
// Whole characters

int32_t WholeCharLength(uint8_t kind, const void* bytes, int32_t count) {
    if (!bytes || count <= 0) return 0;
    const uint8_t* b = static_cast<const uint8_t*>(bytes);
    switch (kind) {
        case KindAnsi: {
            const AnsiInfo& ansi = Ansi();
            if (ansi.codePage == kCodePageUtf8) return Utf8Cut(b, count);
            if (ansi.maxCharSize <= 1) return count;
            return DoubleByteCut(b, count, [&ansi](uint8_t c) { return ansi.lead[c]; });
        }
        case KindSjis: return DoubleByteCut(b, count, IsSjisLead);
        case KindUtf8: return Utf8Cut(b, count);
        case KindUtf7: return Utf7Cut(b, count);
        case KindEucJp: return EucJpCut(b, count);
        case KindUtf16BE: return Utf16ByteCut(b, count, true);
        case KindUtf16LE: return Utf16ByteCut(b, count, false);
        case KindUtf16: {
            const uint16_t* u = static_cast<const uint16_t*>(bytes);
            return IsHighSurrogate(u[count - 1]) ? count - 1 : count;
        }
        default: return count;
    }
}

// ---------------------------------------------------------------------------
// Conversions

bool ConvertToUtf16(uint8_t kind, const void* units, int32_t count, RawString& out) {
    if (count < 0 || (count > 0 && !units)) return Fail(KindUtf16, out);
    if (count == 0) {
        out = RawString(KindUtf16);
        return true;
    }
    if (kind == KindUtf16) {
        out = RawString::FromWideText(static_cast<const wchar_t*>(units), count);
        return true;
    }
    if (kind == KindUtf16BE || kind == KindUtf16LE) {
        const uint8_t* b = static_cast<const uint8_t*>(units);
        int32_t n = count / 2;
        bool odd = (count & 1) != 0;
        RawString s = MakeBuffer(KindUtf16, n + (odd ? 1 : 0));
        uint16_t* w = static_cast<uint16_t*>(s.WritableData());
        if (kind == NativeUtf16Kind()) {
            std::memcpy(w, b, static_cast<size_t>(n) * 2);
        } else {
            for (int32_t i = 0; i < n; ++i)
                w[i] = static_cast<uint16_t>((uint32_t(b[2 * i]) << 8) | b[2 * i + 1]);
        }
        // A lone last byte is half a unit: visible as a replacement
        // character rather than lost without a trace.
        if (odd) w[n] = 0xFFFD;
        s.SyncLength(n + (odd ? 1 : 0));
        out = s;
        return true;
    }
    int codePage = KindCodePage(kind);
    if (codePage < 0) return Fail(KindUtf16, out);
    const char* src = static_cast<const char*>(units);
    int n = MultiByteToWideChar(static_cast<UINT>(codePage), 0, src, count, nullptr, 0);
    if (n <= 0) return Fail(KindUtf16, out);
    RawString s = MakeBuffer(KindUtf16, n);
    int done = MultiByteToWideChar(static_cast<UINT>(codePage), 0, src, count, s.WritableWide(), n);
    if (done != n) return Fail(KindUtf16, out);
    s.SyncLength(n);
    out = s;
    return true;
}

bool ConvertFromUtf16(uint8_t kind, const wchar_t* units, int32_t count, RawString& out) {
    if (kind > KindUtf16) return Fail(kind, out);
    if (count < 0 || (count > 0 && !units)) return Fail(kind, out);
    if (count == 0) {
        out = RawString(kind);
        return true;
    }
    if (kind == KindUtf16) {
        out = RawString::FromWideText(units, count);
        return true;
    }
    if (kind == KindUtf16BE || kind == KindUtf16LE) {
        if (count > INT32_MAX / 2 - 1) return Fail(kind, out);
        int32_t n = count * 2;
        RawString s = MakeBuffer(kind, n);
        uint8_t* b = static_cast<uint8_t*>(s.WritableData());
        if (kind == NativeUtf16Kind()) {
            std::memcpy(b, units, static_cast<size_t>(n));
        } else {
            for (int32_t i = 0; i < count; ++i) {
                uint16_t u = static_cast<uint16_t>(units[i]);
                b[2 * i] = static_cast<uint8_t>(u >> 8);
                b[2 * i + 1] = static_cast<uint8_t>(u & 0xFF);
            }
        }
        s.SyncLength(n);
        out = s;
        return true;
    }
    int codePage = KindCodePage(kind);
    if (codePage < 0) return Fail(kind, out);
    int n = WideCharToMultiByte(static_cast<UINT>(codePage), 0, units, count, nullptr, 0, nullptr,
                                nullptr);
    if (n <= 0) return Fail(kind, out);
    RawString s = MakeBuffer(kind, n);
    int done = WideCharToMultiByte(static_cast<UINT>(codePage), 0, units, count, s.WritableBytes(), n,
                                   nullptr, nullptr);
    if (done != n) return Fail(kind, out);
    s.SyncLength(n);
    out = s;
    return true;
}

bool HasLoneSurrogate(const wchar_t* units, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t u = static_cast<uint16_t>(units[i]);
        if (IsLowSurrogate(u)) return true;
        if (!IsHighSurrogate(u)) continue;
        if (i + 1 >= count || !IsLowSurrogate(static_cast<uint16_t>(units[i + 1]))) return true;
        ++i;
    }
    return false;
}

bool ConvertTextExactly(const RawString& text, uint8_t kind, RawString& out) {
    out = RawString(kind);
    if (kind > KindUtf16) return false;
    if (text.Kind() == kind) {
        if (kind == KindUtf16 && HasLoneSurrogate(text.Wide(), text.Length())) return false;
        out = text;
        return true;
    }
    if (text.IsEmpty()) return true;
    RawString wide;
    if (!ConvertToUtf16(text.Kind(), text.Data(), text.Length(), wide)) return false;
    if (HasLoneSurrogate(wide.Wide(), wide.Length())) return false;
    RawString converted;
    if (!ConvertFromUtf16(kind, wide.Wide(), wide.Length(), converted)) return false;
    RawString back;
    if (kind == KindUtf16) {
        back = converted;
    } else if (!ConvertToUtf16(kind, converted.Data(), converted.Length(), back)) {
        return false;
    }
    if (back.Length() != wide.Length() ||
        std::memcmp(back.Data(), wide.Data(), static_cast<size_t>(wide.Length()) * 2) != 0)
        return false;
    out = converted;
    return true;
}

// ---------------------------------------------------------------------------
// Names

RawString EncodingKindName(uint8_t kind, bool withMark) {
    int index = kind <= KindError ? static_cast<int>(kind) : static_cast<int>(KindError);
    RawString name = RawString::FromText(kKindNames[index]);
    if (withMark) name.AppendAscii(" [BOM]");
    return name;
}

int KindFromName(const RawString& name) {
    for (int kind = KindAnsi; kind <= KindUtf16; ++kind) {
        const char* text = kKindNames[kind];
        int32_t n = static_cast<int32_t>(std::strlen(text));
        if (name.Length() != n) continue;
        bool same = true;
        for (int32_t i = 0; i < n && same; ++i) {
            uint32_t unit = name.UnitAt(i);
            if (unit >= 'a' && unit <= 'z') unit -= 'a' - 'A';
            same = unit == static_cast<uint8_t>(text[i]);
        }
        if (same) return kind;
    }
    return -1;
}

}  // namespace RawLayer
