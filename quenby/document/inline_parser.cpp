// The inline pass, each rewrite step run to exhaustion in one pass.
//
// Live positions: the searches of the bracket constructs and the picture
// tag skip what lies between double quotes and the character after a
// backslash. A construct is only found with its last character live, so
// the quotes inside it pair up and the text after it is outside quotes
// whether or not the construct is still there; the marks that replace it
// hold neither quotes nor backslashes. So every step can go on scanning
// after a rewrite in the state it had before the construct started.

#include "quenby/document/inline_parser.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/profile.h"
#include "quenby/document/document_text.h"

namespace DocLayer {

namespace {

using Text = std::string;
constexpr size_t kNone = Text::npos;

inline char LowerAscii(char c) { return static_cast<char>(RawLayer::FoldAscii(static_cast<unsigned char>(c))); }

// Whether the lower-case pattern stands at pos (ASCII letters without case).
bool MatchAt(const Text& s, size_t pos, const char* pattern, size_t n) {
    if (pos + n > s.size()) return false;
    for (size_t k = 0; k < n; ++k)
        if (LowerAscii(s[pos + k]) != pattern[k]) return false;
    return true;
}

// The first position in [from, limit) where the pattern starts (plain
// search, letters without case); kNone when none.
size_t FindPlain(const Text& s, size_t from, size_t limit, const char* pattern, size_t n) {
    if (limit > s.size()) limit = s.size();
    char first = pattern[0];
    bool letter = first >= 'a' && first <= 'z';
    for (size_t pos = from; pos + n <= limit; ++pos) {
        char c = s[pos];
        if ((c == first || (letter && LowerAscii(c) == first)) && MatchAt(s, pos, pattern, n)) return pos;
    }
    return kNone;
}

// The quote-aware search over [from, limit), starting outside quotes.
size_t FindLive(const Text& s, size_t from, size_t limit, const char* pattern, size_t n) {
    if (limit > s.size()) limit = s.size();
    bool quoted = false;
    for (size_t pos = from; pos < limit; ++pos) {
        if (!quoted && pos + n <= limit && MatchAt(s, pos, pattern, n)) return pos;
        char c = s[pos];
        if (c == '\\')
            ++pos;  // the next character is passed over
        else if (c == '"')
            quoted = !quoted;
    }
    return kNone;
}

inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// [a, b) of s without leading and trailing blanks and tabs.
void TrimBlanks(const Text& s, size_t& a, size_t& b) {
    while (a < b && IsBlank(s[a])) ++a;
    while (b > a && IsBlank(s[b - 1])) --b;
}

void AppendMark(Text& out, char code, int32_t serial) {
    out += static_cast<char>(MarkOpen);
    out += code;
    if (serial > 0) out += std::to_string(serial);
    out += static_cast<char>(MarkClose);
}

RawString ToRaw(const Text& s, size_t a, size_t b) {
    if (b <= a) return RawString(RawLayer::KindUtf8);
    return RawString::FromBytes(s.data() + a, static_cast<int32_t>(b - a), RawLayer::KindUtf8);
}

RawString ToRaw(const Text& s) { return ToRaw(s, 0, s.size()); }

Text FromRaw(const RawString& text, RawRange range) {
    RawRange r = text.ClampEnd(range);
    if (text.Kind() == RawLayer::KindUtf8 || text.Kind() == RawLayer::KindAnsi)
        return Text(text.Bytes() + r.start, static_cast<size_t>(r.end - r.start));
    RawString part;
    part.AssignRange(text, r);
    RawString utf8 = part.As(RawLayer::KindUtf8);
    return Text(utf8.Bytes(), static_cast<size_t>(utf8.Length()));
}

// The text a link unit keeps of its label: nested links each keep the
// labels of the links inside them, so without a bound a line of deeply
// nested links would need memory of the square of its length.
constexpr size_t kUnitTextLimit = 4096;
RawString UnitText(const Text& s, size_t a, size_t b) {
    if (b - a > kUnitTextLimit) {
        b = a + kUnitTextLimit;
        while (b > a && (static_cast<uint8_t>(s[b]) & 0xC0) == 0x80) --b;  // a whole character
    }
    return ToRaw(s, a, b);
}

// A size attribute: a number of pixels, or of percent when it ends in '%'.
void ReadSize(const RawString& value, int32_t& pixels, int32_t& percent) {
    pixels = percent = 0;
    if (value.IsEmpty()) return;
    int32_t n = ParseDecimal(value);
    if (value.UnitAt(value.Length() - 1) == '%')
        percent = ClampInt(n, 0, 1000);
    else
        pixels = ClampInt(n, 0, 100000);
}

// The target of the text between "](" and ")" (trimmed): a double-quoted
// part (backslashes pass over the next character) is a title, which is not
// kept; the target is the text before it.
RawString SplitTarget(const Text& s, size_t a, size_t b) {
    TrimBlanks(s, a, b);
    size_t open = kNone;
    for (size_t i = a; i < b; ++i) {
        if (s[i] == '\\') {
            ++i;
        } else if (s[i] == '"') {
            if (open == kNone) {
                open = i;
            } else {
                TrimBlanks(s, a, open);
                return ToRaw(s, a, open);
            }
        }
    }
    return ToRaw(s, a, b);
}

// The value of an attribute inside a tag: the name found by the
// quote-aware search, then blanks, then a double-quoted text.
RawString TagAttribute(const Text& tag, const char* name) {
    size_t n = std::strlen(name);
    size_t at = FindLive(tag, 0, tag.size(), name, n);
    if (at == kNone) return RawString(RawLayer::KindUtf8);
    size_t i = at + n;
    while (i < tag.size() && IsBlank(tag[i])) ++i;
    if (i >= tag.size() || tag[i] != '"') return RawString(RawLayer::KindUtf8);
    size_t close = tag.find('"', i + 1);
    if (close == kNone) return RawString(RawLayer::KindUtf8);
    return ToRaw(tag, i + 1, close);
}

RawString ResolveTarget(const InlineContext& context, const RawString& target) {
    if (target.IsEmpty()) return target;
    return RawLayer::PathResolve(context.folder, target);
}

// Registers a link or picture; returns its serial.
int32_t AddLinkUnit(InlineContext& context, int32_t kind, const RawString& text,
                    const RawString& target, int32_t widthPixels = 0, int32_t heightPixels = 0,
                    int32_t widthPercent = 0, int32_t heightPercent = 0) {
    JobLinkDataList& links = *context.links;
    if (links.serial < INT32_MAX) ++links.serial;
    JobLinkDataUnit unit;
    unit.serial = links.serial;
    unit.kind = kind;
    unit.text = text;
    unit.target = target;
    unit.widthPixels = widthPixels;
    unit.heightPixels = heightPixels;
    unit.widthPercent = widthPercent;
    unit.heightPercent = heightPercent;
    links.Append(unit);
    return unit.serial;
}

// ---------------------------------------------------------------------------
// Step 1: line breaks

bool BreakStep(const Text& s, Text& out) {
    size_t pos = 0;
    bool changed = false;
    for (;;) {
        size_t p = s.find("<br", pos);
        if (p == kNone) break;
        size_t g = s.find('>', p + 3);
        if (g == kNone) break;
        if (!changed) out.clear();
        out.append(s, pos, p - pos);
        out += "\r\n";
        pos = g + 1;
        changed = true;
    }
    if (changed) out.append(s, pos, kNone);
    return changed;
}

// ---------------------------------------------------------------------------
// Steps 2 and 4: bracket constructs

// One construct of a bracket step, in the coordinates of the text built so
// far (which equal the input's up to the first construct).
struct BracketFound {
    size_t start;       // first character of the construct
    size_t labelStart;  // label before trimming
    size_t mid;         // the "]("
    size_t close;       // the ")"
};

// Runs a bracket step over s (links, or pictures with `picture`). For every
// construct, `onFound(out, found, replacement, labelAt, labelLength)` gets
// the text built so far (ending just before the ')'), fills the
// replacement of [start, close] and says where in it the kept label stands
// (length 0 for none). The built text is in `out` at the end. The pair
// of a "](" is the '[' on top of the stack of live '[' since the first
// open; the construct begins there (a picture only when a live '!' stands
// right before it), else at the first open.
template <class OnFound>
void BracketStep(const Text& s, bool picture, Text& out, OnFound onFound) {
    enum { SeekOpen, SeekMid, SeekClose } state = SeekOpen;
    struct Open {
        size_t pos;
        bool afterBang;  // right after a live '!'
    };
    std::vector<Open> stack;
    size_t open = 0;
    size_t mid = 0;
    bool pairFound = false;
    Open pair{0, false};
    size_t lastBang = kNone;
    bool quoted = false;
    out.clear();
    out.reserve(s.size() + 16);
    const size_t n = s.size();
    // The live brackets of out[from, to) from a fresh state (a kept link
    // label): its first '[' becomes the open, and the stack follows the
    // rest.
    auto rescan = [&](size_t from, size_t to) {
        bool q = false;
        for (size_t i = from; i < to; ++i) {
            char c = out[i];
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                q = !q;
            } else if (!q && c == '[') {
                if (state == SeekOpen) {
                    state = SeekMid;
                    open = i;
                }
                stack.push_back(Open{i, false});
            } else if (!q && c == ']' && !stack.empty()) {
                stack.pop_back();
            }
        }
    };
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (c == '\\') {
            // Passed over: the next character is copied without a look.
            out += c;
            if (i + 1 < n) out += s[++i];
            lastBang = kNone;
            continue;
        }
        if (!quoted) {
            if (state == SeekOpen) {
                if (picture ? (c == '!' && i + 1 < n && s[i + 1] == '[') : c == '[') {
                    state = SeekMid;
                    open = out.size();
                    stack.clear();
                }
            } else if (state == SeekMid) {
                if (c == ']' && i + 1 < n && s[i + 1] == '(') {
                    state = SeekClose;
                    mid = out.size();
                    pairFound = !stack.empty();
                    if (pairFound) pair = stack.back();
                    out += "](";
                    ++i;
                    continue;
                }
            } else if (c == ')') {
                BracketFound found;
                found.mid = mid;
                found.close = out.size();
                if (picture && pairFound && pair.afterBang) {
                    found.start = pair.pos - 1;
                    found.labelStart = pair.pos + 1;
                } else if (!picture && pairFound) {
                    found.start = pair.pos;
                    found.labelStart = pair.pos + 1;
                } else {
                    found.start = open;
                    found.labelStart = open + (picture ? 2 : 1);
                }
                Text replacement;
                size_t labelAt = 0;
                size_t labelLength = 0;
                onFound(out, found, replacement, labelAt, labelLength);
                out.resize(found.start);
                size_t base = out.size();
                out += replacement;
                lastBang = kNone;
                bool openKept = found.start > open;
                if (openKept) {
                    // The construct began at the pair of its "](", above the
                    // open on the stack: the stack is as before that pair.
                    stack.pop_back();
                    state = SeekMid;
                } else {
                    // The open went with the construct: the next one is the
                    // first '[' of the kept label, if any.
                    stack.clear();
                    state = SeekOpen;
                    if (labelLength > 0) rescan(base + labelAt, base + labelAt + labelLength);
                }
                continue;
            }
            if (state == SeekMid) {
                if (c == '[') {
                    stack.push_back(Open{out.size(), lastBang != kNone && lastBang + 1 == out.size()});
                } else if (c == ']' && !stack.empty()) {
                    stack.pop_back();
                }
            }
            if (c == '!') lastBang = out.size();
        }
        if (c == '"') quoted = !quoted;
        out += c;
    }
}

// The bracket step of the inline pass: pictures or links to exhaustion.
bool BracketRewrite(const Text& s, bool picture, InlineContext& context, Text& out) {
    bool changed = false;
    BracketStep(s, picture, out,
                [&](const Text& t, const BracketFound& f, Text& replacement, size_t& labelAt,
                    size_t& labelLength) {
                    size_t a = f.labelStart, b = f.mid;
                    TrimBlanks(t, a, b);
                    RawString target = SplitTarget(t, f.mid + 2, f.close);
                    RawString label = UnitText(t, a, b);
                    int32_t serial;
                    replacement.clear();
                    if (picture) {
                        serial = AddLinkUnit(context, LinkKindPicture, label, ResolveTarget(context, target));
                        AppendMark(replacement, 'm', serial);
                        AppendMark(replacement, 'M', 0);
                        labelAt = labelLength = 0;
                    } else {
                        RawString resolved = IsExternalLink(target) ? target : ResolveTarget(context, target);
                        serial = AddLinkUnit(context, LinkKindLink, label, resolved);
                        AppendMark(replacement, 'l', serial);
                        labelAt = replacement.size();
                        labelLength = b - a;
                        replacement.append(t, a, b - a);
                        AppendMark(replacement, 'L', 0);
                    }
                    changed = true;
                });
    return changed;
}

// ---------------------------------------------------------------------------
// Step 3: picture tags

// Runs the picture tag step over s: `onFound(tag, replacement)` gets each
// "<img " tag that a live '>' ends and fills what replaces it.
template <class OnFound>
void ImageStep(const Text& s, Text& out, OnFound onFound) {
    out.clear();
    out.reserve(s.size() + 16);
    bool quoted = false;
    bool inTag = false;
    size_t tagStart = 0;
    const size_t n = s.size();
    for (size_t i = 0; i < n; ++i) {
        char c = s[i];
        if (c == '\\') {
            out += c;
            if (i + 1 < n) out += s[++i];
            continue;
        }
        if (!quoted) {
            if (!inTag && c == '<' && MatchAt(s, i, "<img ", 5)) {
                inTag = true;
                tagStart = out.size();
                out.append(s, i, 5);
                i += 4;
                continue;
            }
            if (inTag && c == '>') {
                out += c;
                Text tag(out, tagStart, kNone);
                Text replacement;
                onFound(tag, replacement);
                out.resize(tagStart);
                out += replacement;
                inTag = false;
                continue;
            }
        }
        if (c == '"') quoted = !quoted;
        out += c;
    }
}

bool ImageRewrite(const Text& s, InlineContext& context, Text& out) {
    bool changed = false;
    ImageStep(s, out, [&](const Text& tag, Text& replacement) {
        int32_t wPx, wPc, hPx, hPc;
        ReadSize(TagAttribute(tag, "width="), wPx, wPc);
        ReadSize(TagAttribute(tag, "height="), hPx, hPc);
        int32_t serial = AddLinkUnit(context, LinkKindPicture, TagAttribute(tag, "alt="),
                                     ResolveTarget(context, TagAttribute(tag, "src=")), wPx, hPx, wPc, hPc);
        replacement.clear();
        AppendMark(replacement, 'm', serial);
        AppendMark(replacement, 'M', 0);
        changed = true;
    });
    return changed;
}

// ---------------------------------------------------------------------------
// Step 5: emphasis pairs

struct SpanPair {
    const char* opener;
    const char* closer;
    char openCode;
    char closeCode;
    bool underscore;  // only with the underscore switch
};

const SpanPair kSpanPairs[] = {
    {"***", "***", 'd', 'D', false},        {"___", "___", 'd', 'D', true},
    {"**", "**", 'b', 'B', false},          {"__", "__", 'b', 'B', true},
    {"<strong>", "</strong>", 'b', 'B', false}, {"*", "*", 'i', 'I', false},
    {"_", "_", 'i', 'I', true},             {"<em>", "</em>", 'i', 'I', false},
    {"<i>", "</i>", 'i', 'I', false},       {"~~", "~~", 's', 'S', false},
    {"<s>", "</s>", 's', 'S', false},       {"<del>", "</del>", 's', 'S', false},
    {"<u>", "</u>", 'u', 'U', false},       {"<ins>", "</ins>", 'u', 'U', false},
};

// One emphasis pair to exhaustion. Openers are taken in order, each with
// the first closer after it that no earlier pair took: a rewrite leaves the
// text before its opener as it was and puts a mark where each marker stood,
// so no occurrence can start before it or reach across a mark.
bool SpanRewrite(const Text& s, const SpanPair& pair, Text& out) {
    const size_t lo = std::strlen(pair.opener);
    const size_t lc = std::strlen(pair.closer);
    struct Edit {
        size_t pos;
        size_t length;
        char code;
    };
    std::vector<Edit> opens;
    std::vector<size_t> closes;
    size_t scanOpen = 0;
    size_t closeFrom = 0;
    size_t nextClose = 0;  // the first taken closer not yet behind the opener scan
    for (;;) {
        size_t p = kNone;
        for (size_t from = scanOpen;;) {
            p = FindPlain(s, from, s.size(), pair.opener, lo);
            if (p == kNone) break;
            while (nextClose < closes.size() && closes[nextClose] + lc <= p) ++nextClose;
            if (nextClose < closes.size() && closes[nextClose] < p + lo) {
                from = p + 1;  // it reaches into a taken closer
                continue;
            }
            break;
        }
        if (p == kNone) break;
        size_t from = p + lo > closeFrom ? p + lo : closeFrom;
        size_t q = FindPlain(s, from, s.size(), pair.closer, lc);
        if (q == kNone) break;
        opens.push_back(Edit{p, lo, pair.openCode});
        closes.push_back(q);
        scanOpen = p + lo;
        closeFrom = q + lc;
    }
    if (opens.empty()) return false;
    out.clear();
    out.reserve(s.size() + opens.size() * 6);
    size_t pos = 0;
    size_t a = 0, b = 0;
    while (a < opens.size() || b < closes.size()) {
        bool takeOpen = b >= closes.size() || (a < opens.size() && opens[a].pos < closes[b]);
        size_t at = takeOpen ? opens[a].pos : closes[b];
        out.append(s, pos, at - pos);
        AppendMark(out, takeOpen ? pair.openCode : pair.closeCode, 0);
        pos = at + (takeOpen ? lo : lc);
        if (takeOpen) ++a; else ++b;
    }
    out.append(s, pos, kNone);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------

bool IsCjkCodePoint(uint32_t cp) {
    return (cp >= 0x1100 && cp <= 0x11FF) ||    // Hangul Jamo
           (cp >= 0x2E80 && cp <= 0x2FDF) ||    // CJK radicals
           (cp >= 0x3000 && cp <= 0x303F) ||    // CJK symbols and punctuation
           (cp >= 0x3040 && cp <= 0x30FF) ||    // kana
           (cp >= 0x3100 && cp <= 0x31FF) ||    // Bopomofo, Hangul compatibility, kana extensions
           (cp >= 0x3200 && cp <= 0x4DBF) ||    // enclosed CJK, compatibility, extension A
           (cp >= 0x4E00 && cp <= 0x9FFF) ||    // unified ideographs
           (cp >= 0xA960 && cp <= 0xA97F) ||    // Hangul Jamo extension A
           (cp >= 0xAC00 && cp <= 0xD7FF) ||    // Hangul syllables and Jamo extension B
           (cp >= 0xF900 && cp <= 0xFAFF) ||    // compatibility ideographs
           (cp >= 0xFE30 && cp <= 0xFE4F) ||    // compatibility forms
           (cp >= 0xFF00 && cp <= 0xFFEF) ||    // half-width and full-width forms
           (cp >= 0x20000 && cp <= 0x3FFFF);    // supplementary ideographs
}

namespace {

RAW_CONSTANT_TEXT(HttpSchemeText, "http:")
RAW_CONSTANT_TEXT(HttpsSchemeText, "https:")
RAW_CONSTANT_TEXT(FileSchemeText, "file:")

bool StartsWith(const RawString& text, const RawString& prefix, bool anyCase) {
    return text.MatchesAt(0, prefix, prefix.All(), anyCase);
}

}  // namespace

bool IsExternalLink(const RawString& target) {
    return StartsWith(target, HttpSchemeText(), false) || StartsWith(target, HttpsSchemeText(), false) ||
           StartsWith(target, FileSchemeText(), false);
}

bool IsWebLink(const RawString& target) {
    return StartsWith(target, HttpSchemeText(), true) || StartsWith(target, HttpsSchemeText(), true);
}

RawString ParseInline(const RawString& text, RawRange range, InlineContext& context) {
    Text cur = FromRaw(text, range);
    if (cur.empty()) return RawString(RawLayer::KindUtf8);
    Text next;
    if (cur.find("<br") != kNone && BreakStep(cur, next)) cur.swap(next);
    if (context.links) {
        if (cur.find("![") != kNone && BracketRewrite(cur, true, context, next)) cur.swap(next);
        if (cur.find('<') != kNone && ImageRewrite(cur, context, next)) cur.swap(next);
        if (cur.find("](") != kNone && BracketRewrite(cur, false, context, next)) cur.swap(next);
    }
    for (const SpanPair& pair : kSpanPairs) {
        if (pair.underscore && !context.underscore) continue;
        if (cur.find(pair.opener[0]) == kNone) continue;
        if (SpanRewrite(cur, pair, next)) cur.swap(next);
    }
    return ToRaw(cur);
}

RawString ParseSegment(JobLineUnit& line, const RawString& text, int32_t begin, int32_t end,
                       bool keepTabs) {
    RawRange r = text.ClampEnd(RawRange{begin, end});
    Text part = FromRaw(text, r);
    // Mark characters of the file would forge or cut the reader's marks.
    for (char& c : part)
        if (c == static_cast<char>(MarkOpen) || c == static_cast<char>(MarkClose)) c = ' ';
    size_t a = 0, b = part.size();
    if (keepTabs) {
        while (a < b && part[a] == ' ') ++a;
        while (b > a && part[b - 1] == ' ') --b;
    } else {
        TrimBlanks(part, a, b);
    }
    RawString trimmed = ToRaw(part, a, b);
    InlineContext context;
    context.links = &line.links;
    const DocumentStyle* style = line.owner ? line.owner->Style() : nullptr;
    if (style) {
        context.folder = style->documentFolder;
        context.underscore = style->overview.underscoreEmphasis;
    }
    return ParseInline(trimmed, trimmed.All(), context);
}

}  // namespace DocLayer
