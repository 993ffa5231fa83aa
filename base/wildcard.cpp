// Wildcard matching with '*', '?' and '%' escapes.
//
// The match is decided by a table: for each pattern step and each text
// position, whether the rest of the pattern matches the rest of the text
// from there. The table is filled from the pattern's end backwards, one row
// per step, in time (steps) x (text length). A forward walk then takes, at
// each star, the longest run that lets the rest match, which gives the same
// captures as trying every end from the longest down, without the
// exponential backtracking of that search ("*a*a*a*a*b" against a long run
// of 'a's answers at once).
#include "base/wildcard.h"

#include <algorithm>
#include <vector>

namespace RawLayer {

namespace {

enum : uint8_t {
    StepLiteral,  // a unit, compared with optional ASCII case folding
    StepEscape,   // a unit from a '%' escape, compared exactly
    StepNewline,  // %n: LF, or CR LF
    StepAny,      // '?': one character
    StepStar      // '*': any run of characters
};

struct Step {
    uint8_t kind;
    uint32_t unit;
};

struct EscapeEntry {
    char letter;
    uint32_t unit;
};

const EscapeEntry kEscapes[] = {
    {'B', '['}, {'C', ')'}, {'E', ']'},  {'J', '>'}, {'K', '<'},  {'O', '('},
    {'e', '%'}, {'i', ';'}, {'l', ':'},  {'m', ','}, {'n', '\n'}, {'q', '"'},
    {'r', '\r'}, {'s', ' '}, {'t', '\t'}, {'v', '|'},
};

inline uint32_t UpperAscii(uint32_t u) { return (u >= 'a' && u <= 'z') ? u - 32 : u; }

// Kinds whose characters may span several units.
inline bool MultiUnitKind(uint8_t kind) {
    return kind == KindSjis || kind == KindUtf8 || kind == KindUtf16BE || kind == KindUtf16LE ||
           kind == KindUtf16;
}

bool RangeIsAscii(const RawString& s, RawRange r) {
    for (int32_t i = r.start; i < r.end; ++i)
        if (s.UnitAt(i) >= 0x80) return false;
    return true;
}

// The pattern in the text's kind, so that units compare as characters.
// Kept as it is when the kinds agree, when it is plain ASCII, when the text
// is of a kind that is not matched character-wise, or when the conversion
// would lose characters (those cannot stand in the text anyway).
RawString PatternForText(const RawString& text, const RawString& pattern, RawRange& range) {
    uint8_t tk = text.Kind();
    uint8_t pk = pattern.Kind();
    if (tk == pk || !IsAsciiCompatibleKind(tk)) return pattern;
    if (IsAsciiCompatibleKind(pk) && RangeIsAscii(pattern, range)) return pattern;
    bool ok = false;
    RawString converted = RawString::InitBodyFromRange(tk, pattern, range, &ok);
    if (!ok) return pattern;
    bool back = false;
    RawString again = RawString::InitBodyFromRange(pk, converted, converted.All(), &back);
    if (!back || !again.EqualsRange(again.All(), pattern, range)) return pattern;
    range = converted.All();
    return converted;
}

void ParsePattern(const RawString& p, RawRange r, std::vector<Step>& steps) {
    int32_t i = r.start;
    while (i < r.end) {
        uint32_t u = p.UnitAt(i);
        if (u == '%') {
            if (i + 1 < r.end) {
                uint32_t letter = p.UnitAt(i + 1);
                if (letter == 'n') {
                    steps.push_back(Step{StepNewline, '\n'});
                } else {
                    uint32_t e = WildcardEscape(letter);
                    steps.push_back(Step{StepEscape, e ? e : letter});
                }
                i += 2;
            } else {
                // A '%' that ends the pattern stands for itself; it never
                // reads past the end of the text.
                steps.push_back(Step{StepEscape, '%'});
                ++i;
            }
        } else if (u == '?') {
            steps.push_back(Step{StepAny, 0});
            ++i;
        } else if (u == '*') {
            steps.push_back(Step{StepStar, 0});
            ++i;
        } else {
            steps.push_back(Step{StepLiteral, u});
            ++i;
        }
    }
}

// Rows of bits, one per star: whether the rest after that star matches from
// each text position.
class BitRows {
public:
    BitRows(size_t rows, size_t width) : words_((width + 31) / 32), bits_(rows * words_, 0) {}
    void Store(size_t row, const std::vector<uint8_t>& values) {
        uint32_t* w = &bits_[row * words_];
        for (size_t i = 0; i < values.size(); ++i)
            if (values[i]) w[i >> 5] |= 1u << (i & 31);
    }
    bool Get(size_t row, size_t i) const {
        return (bits_[row * words_ + (i >> 5)] >> (i & 31)) & 1u;
    }

private:
    size_t words_;
    std::vector<uint32_t> bits_;
};

}  // namespace

uint32_t WildcardEscape(uint32_t letter) {
    for (const EscapeEntry& e : kEscapes)
        if (static_cast<uint32_t>(static_cast<unsigned char>(e.letter)) == letter) return e.unit;
    return 0;
}

uint32_t WildcardEscapeLetter(uint32_t unit) {
    if (unit == 0) return 0;
    for (const EscapeEntry& e : kEscapes)
        if (e.unit == unit) return static_cast<unsigned char>(e.letter);
    return 0;
}

RawString WildcardLiteralPattern(const RawString& text) {
    RawString out(text.Kind());
    int32_t n = text.Length();
    for (int32_t i = 0; i < n; ++i) {
        uint32_t u = text.UnitAt(i);
        uint32_t letter = WildcardEscapeLetter(u);
        if (letter) {
            out.AppendChar('%');
            out.AppendChar(letter);
        } else if (u == '*' || u == '?') {
            out.AppendChar('%');
            out.AppendChar(u);
        } else {
            out.AppendChar(u);
        }
    }
    return out;
}

bool WildcardMatch(WildcardPatternList& record, const RawString& text, WildcardCursor& cursor,
                   const RawString& pattern, int32_t first, int32_t end, int32_t number) {
    // The text window [s0, e); positions at or past e read as no unit.
    int32_t e = cursor.end;
    if (e > text.Length()) e = text.Length();
    if (e < 0) e = 0;
    int32_t s0 = cursor.position;
    if (s0 < 0) s0 = 0;
    if (s0 > e) s0 = e;
    const size_t m = static_cast<size_t>(e - s0);

    RawRange range = pattern.ClampEnd(RawRange{first, end});
    RawString p = PatternForText(text, pattern, range);
    std::vector<Step> steps;
    steps.reserve(static_cast<size_t>(range.end - range.start));
    ParsePattern(p, range, steps);

    std::vector<uint32_t> units(m);
    for (size_t i = 0; i < m; ++i) units[i] = text.UnitAt(s0 + static_cast<int32_t>(i));

    // Character starts: a star ends and a '?' steps only on whole characters.
    std::vector<uint8_t> start(m + 1, 1);
    if (MultiUnitKind(text.Kind())) {
        std::fill(start.begin(), start.end(), 0);
        int32_t pos = 0;
        while (pos < e) {
            if (pos >= s0) start[static_cast<size_t>(pos - s0)] = 1;
            int32_t next = text.NextCharPos(pos);
            pos = next > pos ? next : pos + 1;
        }
        start[m] = 1;
    }
    std::vector<size_t> nextStart(m + 1, m);
    for (size_t i = m, nb = m; i-- > 0;) {
        nextStart[i] = nb;
        if (start[i]) nb = i;
    }

    const bool fold = record.foldCase != 0;
    const bool whole = record.wholeText != 0;
    size_t stars = 0;
    for (const Step& s : steps)
        if (s.kind == StepStar) ++stars;
    BitRows starRows(stars, m + 1);

    // rest[i]: the steps from the current one on match the text from s0 + i.
    std::vector<uint8_t> rest(m + 1), row(m + 1);
    for (size_t i = 0; i <= m; ++i) rest[i] = (i == m || !whole) ? 1 : 0;
    size_t star = stars;
    for (size_t t = steps.size(); t-- > 0;) {
        const Step& s = steps[t];
        switch (s.kind) {
        case StepLiteral:
            for (size_t i = 0; i < m; ++i) {
                uint32_t u = units[i];
                bool same = u == s.unit ||
                            (fold && start[i] && UpperAscii(u) == UpperAscii(s.unit));
                row[i] = same && rest[i + 1];
            }
            row[m] = 0;
            break;
        case StepEscape:
            for (size_t i = 0; i < m; ++i) row[i] = units[i] == s.unit && rest[i + 1];
            row[m] = 0;
            break;
        case StepNewline:
            for (size_t i = 0; i < m; ++i) {
                if (units[i] == '\n')
                    row[i] = rest[i + 1];
                else if (units[i] == '\r' && i + 1 < m && units[i + 1] == '\n')
                    row[i] = rest[i + 2];
                else
                    row[i] = 0;
            }
            row[m] = 0;
            break;
        case StepAny:
            for (size_t i = 0; i < m; ++i) row[i] = rest[nextStart[i]];
            row[m] = 0;
            break;
        case StepStar: {
            starRows.Store(--star, rest);
            uint8_t any = 0;
            for (size_t i = m + 1; i-- > 0;) {
                if (start[i] && rest[i]) any = 1;
                row[i] = any | rest[i];
            }
            break;
        }
        }
        rest.swap(row);
    }
    if (!rest[0]) return false;

    // Walk the successful path, recording what each wildcard took.
    size_t i = 0;
    int32_t n = number;
    star = 0;
    for (const Step& s : steps) {
        switch (s.kind) {
        case StepLiteral:
        case StepEscape:
            ++i;
            break;
        case StepNewline:
            i += units[i] == '\r' ? 2 : 1;
            break;
        case StepAny: {
            size_t j = nextStart[i];
            record.captures.SetAt(n++, RawRange{s0 + static_cast<int32_t>(i),
                                                s0 + static_cast<int32_t>(j)});
            i = j;
            break;
        }
        case StepStar: {
            size_t c = m;
            while (c > i && !(start[c] && starRows.Get(star, c))) --c;
            ++star;
            record.captures.SetAt(n++, RawRange{s0 + static_cast<int32_t>(i),
                                                s0 + static_cast<int32_t>(c)});
            i = c;
            break;
        }
        }
    }
    cursor.position = s0 + static_cast<int32_t>(i);
    return true;
}

// ---------------------------------------------------------------------------
// WildcardPatternList
// ---------------------------------------------------------------------------

WildcardPatternList::WildcardPatternList() : wholeText(1), foldCase(0) {}

WildcardPatternList::WildcardPatternList(const RawString& text, bool fold)
    : pattern(text), wholeText(1), foldCase(fold ? 1 : 0) {}

bool WildcardPatternList::Match(const RawString& text) {
    captures.Clear();
    WildcardCursor cursor{0, text.Length()};
    return WildcardMatch(*this, text, cursor, pattern, 0, pattern.Length(), 0);
}

void WildcardPatternList::Init(const RawString& commaText) {
    items.Clear();
    RawStringList parts = RawStringList::FromCommaText(commaText);
    for (const RawString& s : parts) {
        RawRange r = s.All();
        if (r.end - r.start >= 2 && s.UnitAt(r.start) == '"' && s.UnitAt(r.end - 1) == '"') {
            ++r.start;
            --r.end;
        }
        if (r.start >= r.end) continue;
        items.Add(RawString::InitBodyFromRange(s.Kind(), s, r));
    }
    pattern = items.IsEmpty() ? RawString() : *items.First();
}

bool WildcardPatternList::MatchAny(const RawString& text, int32_t* index) {
    int32_t k = 0;
    for (const RawString& item : items) {
        pattern = item;
        if (Match(text)) {
            if (index) *index = k;
            return true;
        }
        ++k;
    }
    if (index) *index = -1;
    return false;
}

}  // namespace RawLayer
