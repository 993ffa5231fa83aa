#include "tavrel/jobs/expression.h"

#include <windows.h>
#include <emmintrin.h>

#include <cstring>

#include "base/encoding.h"

namespace JobLayer {

namespace {

uint32_t FoldUnit(uint32_t unit) { return unit >= 'a' && unit <= 'z' ? unit - ('a' - 'A') : unit; }

bool IsLineEndUnit(uint32_t unit) { return unit == '\r' || unit == '\n'; }

// The end of the character at t, or -1 when it would pass `end`.
int32_t CharEnd(const RawString& text, int32_t t, int32_t end) {
    if (t >= end) return -1;
    int32_t next = text.NextCharPos(t);
    return next <= end ? next : -1;
}

// Whether text[t, t + n) holds exactly the units of pattern[units].
bool SameUnits(const RawString& text, int32_t t, const RawString& pattern, RawRange units) {
    for (int32_t i = units.start; i < units.end; ++i, ++t)
        if (text.UnitAt(t) != pattern.UnitAt(i)) return false;
    return true;
}

// Orders the character text[t, t + length) against pattern[bound] unit by
// unit: -1 below, 1 above, 0 equal; 2 when one is the other's beginning
// with a different length (such a pair is never in a range).
int CompareCharToBound(const RawString& text, int32_t t, int32_t length, const RawString& pattern,
                       RawRange bound) {
    int32_t n = bound.end - bound.start;
    int32_t common = length < n ? length : n;
    for (int32_t i = 0; i < common; ++i) {
        uint32_t a = text.UnitAt(t + i);
        uint32_t b = pattern.UnitAt(bound.start + i);
        if (a != b) return a < b ? -1 : 1;
    }
    return length == n ? 0 : 2;
}

// The first of [0, n) holding the byte a or b; n when none. Sixteen bytes
// a step where the processor has SSE2 (a search reads every byte of a
// file that may be tens of megabytes), else one.
__attribute__((target("sse2"))) int32_t FindEitherByteSse2(const uint8_t* p, int32_t n, uint8_t a, uint8_t b) {
    const __m128i wantA = _mm_set1_epi8(static_cast<char>(a));
    const __m128i wantB = _mm_set1_epi8(static_cast<char>(b));
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, wantA), _mm_cmpeq_epi8(x, wantB)));
        if (mask) return i + __builtin_ctz(static_cast<unsigned>(mask));
    }
    if (i < n && n >= 16) {
        // The rest with the last sixteen bytes, those seen already masked off.
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
        const unsigned mask = static_cast<unsigned>(
                                  _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, wantA), _mm_cmpeq_epi8(x, wantB)))) >>
                              (16 - (n - i));
        return mask ? i + __builtin_ctz(mask) : n;
    }
    for (; i < n; ++i)
        if (p[i] == a || p[i] == b) return i;
    return n;
}

int32_t FindEitherByte(const uint8_t* p, int32_t n, uint8_t a, uint8_t b) {
    static const bool sse2 = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
    if (sse2) return FindEitherByteSse2(p, n, a, b);
    for (int32_t i = 0; i < n; ++i)
        if (p[i] == a || p[i] == b) return i;
    return n;
}

// How common a unit is in text, roughly (lower: more common): the search
// skips to the rarest unit of the characters every hit begins with.
int UnitCommonness(uint32_t unit) {
    static const char order[] = " etaoinsrhldcumfpgwybvkxjqz";
    uint32_t lower = unit >= 'A' && unit <= 'Z' ? unit + ('a' - 'A') : unit;
    for (int i = 0; order[i]; ++i)
        if (static_cast<uint32_t>(order[i]) == lower) return i + (lower != unit ? 8 : 0);
    if (unit >= '0' && unit <= '9') return 20;
    if (unit < 0x80) return unit < 0x20 && unit != '\t' ? 40 : 24;
    return 30;
}

}  // namespace

// ---------------------------------------------------------------------------
// Marks

ExpressionPrefix ExpressionFlags(const RawString& expression) {
    ExpressionPrefix prefix = {0, 0};
    const int32_t length = expression.Length();
    const uint8_t kind = expression.Kind();
    const bool bigEndianBytes = kind == RawLayer::KindUtf16BE;
    const bool littleEndianBytes = kind == RawLayer::KindUtf16LE;
    const int32_t step = bigEndianBytes || littleEndianBytes ? 2 : 1;
    int32_t pos = 0;
    // A byte text's unit cut off at the end is no character.
    while (pos + step <= length) {
        uint32_t c = expression.UnitAt(pos);
        if (step == 2) {
            // The mark is the low byte of a unit whose high byte is 0.
            uint32_t high = bigEndianBytes ? c : expression.UnitAt(pos + 1);
            c = bigEndianBytes ? expression.UnitAt(pos + 1) : c;
            if (high != 0) c = 0xFFFF;
        }
        if (c == '!' || c == '&') {
            prefix.flags |= c == '!' ? ExpressionInvert : ExpressionFoldCase;
            pos += step;
            prefix.start = pos < length ? pos : length;
            continue;
        }
        if (c == '$' || c == '@') {
            prefix.flags |= c == '$' ? ExpressionLiteral : ExpressionPattern;
            prefix.start = pos + step < length ? pos + step : length;
            return prefix;
        }
        prefix.flags |= ExpressionWildcard;
        prefix.start = pos;
        return prefix;
    }
    return prefix;
}

// ---------------------------------------------------------------------------
// Situations

RawString JobExpressionUtility::Situation::LineBreakText() const { return RawLayer::LineBreakText(); }

RawString JobExpressionUtility::Situation::PartText(int32_t n) const {
    RawString digit;
    if (n >= 0 && n <= 9) digit.AppendChar(static_cast<uint32_t>('0' + n));
    return digit;
}

RawString JobExpressionReplace::PartText(int32_t n) const {
    if (n < 0 || n >= parts.Count()) return RawString(lineText.Kind());
    const JobHitRange* part = parts.At(n);
    RawString text;
    text.AssignRange(lineText, RawRange{part->start, part->end});
    return text;
}

// ---------------------------------------------------------------------------
// Escapes

int32_t ExpressionEscapeMatch(const RawString& text, int32_t t, int32_t end, const RawString& pattern,
                              RawRange c) {
    if (t < 0 || t >= end) return 0;
    const uint32_t u = text.UnitAt(t);
    if (c.end <= c.start) return u == 0 ? 1 : 0;
    if (c.end - c.start == 1) {
        switch (pattern.UnitAt(c.start)) {
        case 'N':
            if (u == '\n') return 1;
            return u == '\r' && t + 1 < end && text.UnitAt(t + 1) == '\n' ? 2 : 0;
        case 'n': return u == '\n' ? 1 : 0;
        case 'r': return u == '\r' ? 1 : 0;
        case 't': return u == '\t' ? 1 : 0;
        case 's': return u == ' ' ? 1 : 0;
        case 'q': return u == '"' ? 1 : 0;
        case 'd': return u == ';' ? 1 : 0;
        case 'e': return u == '%' ? 1 : 0;
        default: break;
        }
    }
    // Any other character: that character itself, whole.
    int32_t next = CharEnd(text, t, end);
    if (next < 0 || next - t != c.end - c.start) return 0;
    return SameUnits(text, t, pattern, c) ? next - t : 0;
}

// ---------------------------------------------------------------------------
// The search object

ExpressionSearch::ExpressionSearch(const RawString& text) : expression(text) {
    ExpressionPrefix prefix = ExpressionFlags(text);
    flags = prefix.flags;
    patternStart = prefix.start;
    mode_ = flags & ExpressionModeMask;
}

bool ExpressionSearch::Prepare(uint8_t kind) {
    if (kind == kind_) return usable_;
    kind_ = kind;
    RawString part;
    part.AssignRange(expression, RawRange{patternStart, expression.Length()});
    usable_ = RawLayer::ConvertTextExactly(part, kind, pattern_);
    tokens_.clear();
    members_.clear();
    firstUnit_ = firstUnitOther_ = -1;
    leadLength_ = 0;
    probe_ = 0;
    repeats_ = false;
    if (usable_) Compile();
    return usable_;
}

int32_t ExpressionSearch::CompileClass(int32_t p, int32_t end, Token& token) {
    // p is just after "["; the class runs to the next "]" that no "%" hides,
    // or to the end of the pattern.
    token.type = TokenClass;
    token.negated = p < end && pattern_.UnitAt(p) == '^';
    if (token.negated) ++p;
    int32_t close = p;
    while (close < end && pattern_.UnitAt(close) != ']')
        close = pattern_.UnitAt(close) == '%' && close + 1 < end ? close + 2 : pattern_.NextCharPos(close);
    if (close > end) close = end;
    token.firstMember = static_cast<int32_t>(members_.size());
    int32_t q = p;
    while (q < close) {
        Member member = {0, RawRange{q, q}, RawRange{q, q}};
        if (pattern_.UnitAt(q) == '%' && q + 1 < close) {
            int32_t next = pattern_.NextCharPos(q + 1);
            if (next > close) next = close;
            member.type = 2;
            member.a = RawRange{q + 1, next};
            q = next;
        } else {
            int32_t next = pattern_.NextCharPos(q);
            if (next > close) next = close;
            member.a = RawRange{q, next};
            q = next;
            if (q + 1 < close && pattern_.UnitAt(q) == '-') {
                int32_t high = pattern_.NextCharPos(q + 1);
                if (high > close) high = close;
                member.type = 1;
                member.b = RawRange{q + 1, high};
                q = high;
            }
        }
        members_.push_back(member);
    }
    token.lastMember = static_cast<int32_t>(members_.size());
    return close < end ? close + 1 : end;
}

void ExpressionSearch::Compile() {
    const int32_t n = pattern_.Length();
    if (mode_ & ExpressionLiteral) {
        if (n > 0) firstUnit_ = static_cast<int32_t>(pattern_.UnitAt(0));
        leadStart_ = 0;
        leadLength_ = n;
    } else {
        const bool pattern = (mode_ & ExpressionPattern) != 0;
        int32_t p = 0;
        while (p < n) {
            Token token = {TokenLiteral, RepeatOnce, false, RawRange{p, p}, 0, 0};
            uint32_t u = pattern_.UnitAt(p);
            int32_t next;
            if (u == '%') {
                if (p + 1 < n) {
                    next = pattern_.NextCharPos(p + 1);
                    token.type = TokenEscape;
                    token.units = RawRange{p + 1, next};
                } else {
                    next = n;
                    token.type = pattern ? TokenEmpty : TokenNul;
                }
            } else if (!pattern && u == '?') {
                token.type = TokenAny;
                next = p + 1;
            } else if (!pattern && u == '*') {
                token.type = TokenRun;
                token.repeat = RepeatAny;
                next = p + 1;
            } else if (pattern && u == '.') {
                token.type = TokenDot;
                next = p + 1;
            } else if (pattern && u == '[') {
                next = CompileClass(p + 1, n, token);
            } else {
                next = pattern_.NextCharPos(p);
                token.units = RawRange{p, next};
            }
            if (pattern && token.type != TokenEmpty && next < n) {
                uint32_t q = pattern_.UnitAt(next);
                if (q == '*' || q == '+') {
                    token.repeat = q == '*' ? RepeatAny : RepeatSome;
                    ++next;
                }
            }
            tokens_.push_back(token);
            p = next;
        }
        if (!tokens_.empty() && tokens_[0].type == TokenLiteral && tokens_[0].repeat != RepeatAny) {
            uint32_t first = pattern_.UnitAt(tokens_[0].units.start);
            firstUnit_ = static_cast<int32_t>(first);
            const uint32_t folded = FoldUnit(first);
            if ((flags & ExpressionFoldCase) && folded >= 'A' && folded <= 'Z')
                firstUnitOther_ = static_cast<int32_t>(first ^ 0x20);
            // The literal characters every hit begins with, compared
            // exactly (under the case flag only the first unit is known).
            leadStart_ = tokens_[0].units.start;
            leadLength_ = 1;
            if (!(flags & ExpressionFoldCase)) {
                int32_t end = tokens_[0].units.end;
                for (size_t k = 1; tokens_[k - 1].repeat == RepeatOnce && k < tokens_.size(); ++k) {
                    const Token& token = tokens_[k];
                    if (token.type != TokenLiteral || token.repeat == RepeatAny || token.units.start != end) break;
                    end = token.units.end;
                }
                leadLength_ = end - leadStart_;
            }
        }
    }
    for (const Token& token : tokens_) repeats_ = repeats_ || token.repeat != RepeatOnce;
    // Skipping to the leading unit needs every unit of that value to start
    // a character: true in UTF-16 for all but low surrogates, in UTF-8 for
    // all but continuation bytes, in EUC-JP for 7-bit units.
    if (firstUnit_ >= 0) {
        const uint32_t u = static_cast<uint32_t>(firstUnit_);
        bool self = false;
        switch (kind_) {
        case RawLayer::KindUtf16: self = !RawLayer::IsLowSurrogate(u); break;
        case RawLayer::KindUtf8: self = u < 0x80 || u >= 0xC0; break;
        case RawLayer::KindEucJp: self = u < 0x80; break;
        default: break;
        }
        if (!self) {
            firstUnit_ = firstUnitOther_ = -1;
            leadLength_ = 0;
        }
    }
    // The rarest unit of the lead is the one looked for.
    for (int32_t k = 1; k < leadLength_; ++k)
        if (UnitCommonness(pattern_.UnitAt(leadStart_ + k)) > UnitCommonness(pattern_.UnitAt(leadStart_ + probe_)))
            probe_ = k;
}

bool ExpressionSearch::LiteralAt(RawRange units, const RawString& text, int32_t t, int32_t end,
                                 bool fold) const {
    const int32_t n = units.end - units.start;
    if (t + n > end) return false;
    const uint32_t first = pattern_.UnitAt(units.start);
    uint32_t u = text.UnitAt(t);
    if (fold) {
        if (FoldUnit(u) != FoldUnit(first)) return false;
    } else if (u != first) {
        return false;
    }
    // A 7-bit unit at a character start is a character of its own.
    if (n == 1 && first < 0x80 && u < 0x80) return true;
    if (text.NextCharPos(t) - t != n) return false;
    return SameUnits(text, t + 1, pattern_, RawRange{units.start + 1, units.end});
}

bool ExpressionSearch::ClassHas(const Token& token, const RawString& text, int32_t t, int32_t length,
                                int32_t end) const {
    if (token.negated && IsLineEndUnit(text.UnitAt(t))) return false;
    bool any = false;
    for (int32_t i = token.firstMember; i < token.lastMember && !any; ++i) {
        const Member& m = members_[static_cast<size_t>(i)];
        switch (m.type) {
        case 0:
            any = m.a.end - m.a.start == length && SameUnits(text, t, pattern_, m.a);
            break;
        case 1: {
            int low = CompareCharToBound(text, t, length, pattern_, m.a);
            int high = CompareCharToBound(text, t, length, pattern_, m.b);
            any = (low == 0 || low == 1) && (high == 0 || high == -1);
            break;
        }
        default:
            any = ExpressionEscapeMatch(text, t, end, pattern_, m.a) == length;
            break;
        }
    }
    return token.negated ? !any : any;
}

int32_t ExpressionSearch::MatchOne(const Token& token, const RawString& text, int32_t t,
                                   int32_t end) const {
    switch (token.type) {
    case TokenLiteral:
        return LiteralAt(token.units, text, t, end, (flags & ExpressionFoldCase) != 0)
                   ? t + (token.units.end - token.units.start)
                   : -1;
    case TokenAny:
    case TokenRun:
        return CharEnd(text, t, end);
    case TokenEscape: {
        int32_t n = ExpressionEscapeMatch(text, t, end, pattern_, token.units);
        return n > 0 ? t + n : -1;
    }
    case TokenNul:
        return t < end && text.UnitAt(t) == 0 ? t + 1 : -1;
    case TokenEmpty:
        return t;
    case TokenDot:
        if (t >= end || IsLineEndUnit(text.UnitAt(t))) return -1;
        return CharEnd(text, t, end);
    default: {
        int32_t next = CharEnd(text, t, end);
        if (next < 0) return -1;
        return ClassHas(token, text, t, next - t, end) ? next : -1;
    }
    }
}

// ---------------------------------------------------------------------------
// Memory of failed pairs

void ExpressionSearch::ResetMemory(int32_t base, int32_t end) {
    for (int32_t token : touched_) failed_[static_cast<size_t>(token)].clear();
    touched_.clear();
    if (failed_.size() < tokens_.size()) failed_.resize(tokens_.size());
    memoryBase_ = base;
    memoryWidth_ = end - base + 1;
}

bool ExpressionSearch::KnownFailed(int32_t token, int32_t t) const {
    const std::vector<uint64_t>& bits = failed_[static_cast<size_t>(token)];
    if (bits.empty()) return false;
    const uint32_t i = static_cast<uint32_t>(t - memoryBase_);
    return (bits[i >> 6] >> (i & 63)) & 1;
}

void ExpressionSearch::MarkFailed(int32_t token, int32_t t) {
    std::vector<uint64_t>& bits = failed_[static_cast<size_t>(token)];
    if (bits.empty()) {
        bits.assign(static_cast<size_t>(memoryWidth_ / 64 + 1), 0);
        touched_.push_back(token);
    }
    const uint32_t i = static_cast<uint32_t>(t - memoryBase_);
    bits[i >> 6] |= uint64_t(1) << (i & 63);
}

// ---------------------------------------------------------------------------
// Matching

bool ExpressionSearch::Run(const RawString& text, int32_t t, int32_t end) {
    // A token machine with its choices on a heap stack: the depth of the
    // machine never depends on the text or the pattern. A repeated token
    // ("*" of a wildcard pattern, a quantified token) tries the rest of the
    // pattern after the shortest run first, then one repetition more. A run
    // whose every end failed marks each of those ends failed for its token:
    // a run started at any of them can only end at later ones, so it fails
    // too, and is never tried again within this search.
    stack_.clear();
    found_.clear();
    const bool whole = (flags & ExpressionWholeRange) != 0;
    const int32_t count = static_cast<int32_t>(tokens_.size());
    int32_t k = 0;
    for (;;) {
        bool failed = false;
        if (k == count) {
            if (t == end || !whole) {
                hitEnd = t;
                return true;
            }
            failed = true;
        } else {
            const Token& token = tokens_[static_cast<size_t>(k)];
            if (token.repeat == RepeatOnce) {
                int32_t next = MatchOne(token, text, t, end);
                if (next >= 0) {
                    if (token.type == TokenAny || token.type == TokenDot || token.type == TokenClass)
                        found_.push_back(JobHitRange(t, next));
                    t = next;
                    ++k;
                    continue;
                }
                failed = true;
            } else {
                const int32_t runStart = t;
                if (token.repeat == RepeatSome) {
                    t = MatchOne(token, text, t, end);
                    failed = t < 0;
                }
                if (!failed && KnownFailed(k, t)) failed = true;
                if (!failed) {
                    stack_.push_back(Frame{k, runStart, t, t, static_cast<int32_t>(found_.size())});
                    found_.push_back(JobHitRange(runStart, t));
                    ++k;
                    continue;
                }
            }
        }
        // Back to the latest run that can take one repetition more.
        for (;;) {
            if (stack_.empty()) return false;
            Frame& frame = stack_.back();
            found_.resize(static_cast<size_t>(frame.parts));
            const Token& token = tokens_[static_cast<size_t>(frame.token)];
            int32_t next = MatchOne(token, text, frame.at, end);
            if (next > frame.at && !KnownFailed(frame.token, next)) {
                frame.at = next;
                found_.push_back(JobHitRange(frame.runStart, next));
                t = next;
                k = frame.token + 1;
                break;
            }
            for (int32_t p = frame.chainStart;;) {
                MarkFailed(frame.token, p);
                if (p >= frame.at) break;
                int32_t step = MatchOne(token, text, p, end);
                if (step <= p) break;
                p = step;
            }
            stack_.pop_back();
        }
    }
}

bool ExpressionSearch::Attempt(const RawString& text, int32_t t, int32_t end) {
    hitStart = t;
    hitEnd = end;
    found_.clear();
    if (mode_ & ExpressionLiteral) {
        const int32_t n = pattern_.Length();
        if (t + n > end) return false;
        if ((flags & ExpressionWholeRange) && end - t != n) return false;
        if (!SameUnits(text, t, pattern_, pattern_.All())) return false;
        hitEnd = t + n;
        return true;
    }
    // Patterns and wildcards are both compiled for the one matcher.
    bool found = Run(text, t, end);
    if (!found) hitEnd = end;
    return found;
}

void ExpressionSearch::Finish(bool found) {
    if (parts.Count() > 0) parts.Clear();
    if (!found) return;
    for (const JobHitRange& part : found_) parts.Add(part.start, part.end);
}

bool ExpressionSearch::FinishSearch(bool found) {
    if (flags & ExpressionInvert) {
        found = !found;
        hitStart = hitEnd = 0;
        if (parts.Count() > 0) parts.Clear();
        return found;
    }
    Finish(found);
    return found;
}

bool ExpressionSearch::LeadAt(const RawString& text, int32_t t, int32_t end) const {
    if (t + leadLength_ > end) return false;
    const int width = RawLayer::UnitWidth(text.Kind());
    return std::memcmp(static_cast<const char*>(text.Data()) + (t + 1) * width,
                       static_cast<const char*>(pattern_.Data()) + (leadStart_ + 1) * width,
                       static_cast<size_t>(leadLength_ - 1) * static_cast<size_t>(width)) == 0;
}

int32_t ExpressionSearch::NextCandidate(const RawString& text, int32_t t, int32_t end) const {
    if (firstUnit_ < 0) return t;
    // The probe unit (the rarest of the lead, at offset probe_) is looked
    // for, then the whole lead around it; a start also needs the lead's
    // first unit, which is always a character start.
    const int32_t k = probe_;
    const uint32_t probe = pattern_.UnitAt(leadStart_ + k);
    const uint32_t other = k == 0 && firstUnitOther_ >= 0 ? static_cast<uint32_t>(firstUnitOther_) : probe;
    const int32_t limit = end - (leadLength_ > 0 ? leadLength_ - 1 - k : 0);
    for (int32_t i = t + k; i < limit; ++i) {
        if (text.Kind() == RawLayer::KindUtf16) {
            const uint16_t* units = static_cast<const uint16_t*>(text.Data());
            while (i < limit && units[i] != probe && units[i] != other) ++i;
        } else {
            i += FindEitherByte(static_cast<const uint8_t*>(text.Data()) + i, limit - i, static_cast<uint8_t>(probe),
                                static_cast<uint8_t>(other));
        }
        if (i >= limit) return -1;
        const int32_t start = i - k;
        const uint32_t first = text.UnitAt(start);
        if ((first == static_cast<uint32_t>(firstUnit_) || static_cast<int32_t>(first) == firstUnitOther_) &&
            LeadAt(text, start, end))
            return start;
    }
    return -1;
}

bool ExpressionSearch::MatchAt(const RawString& text, RawRange range) {
    RawRange r = text.ClampEnd(range);
    parts.Clear();
    hitStart = r.start;
    hitEnd = r.end;
    if (!Prepare(text.Kind())) return false;
    ResetMemory(r.start, r.end);
    bool found = Attempt(text, r.start, r.end);
    Finish(found);
    return found;
}

bool ExpressionSearch::From(const RawString& text, RawRange range) {
    flags &= ~static_cast<uint32_t>(ExpressionWholeRange);
    RawRange r = text.ClampEnd(range);
    bool found = false;
    if (Prepare(text.Kind())) {
        if (repeats_) ResetMemory(r.start, r.end);
        for (int32_t t = r.start;;) {
            t = NextCandidate(text, t, r.end);
            if (t < 0) break;
            if (Attempt(text, t, r.end)) {
                found = true;
                break;
            }
            if (t >= r.end) break;
            t = text.NextCharPos(t);
            if (t > r.end) break;
        }
    }
    if (!found) hitStart = hitEnd = r.start;
    return FinishSearch(found);
}

bool ExpressionSearch::Previous(const RawString& text, RawRange range) {
    flags &= ~static_cast<uint32_t>(ExpressionWholeRange);
    RawRange r = text.ClampEnd(range);
    bool found = false;
    if (Prepare(text.Kind())) {
        ResetMemory(r.start, r.end);
        // Character starts are found from the range start, never inside a
        // character: a Shift_JIS trail byte is never tried.
        std::vector<int32_t> starts;
        for (int32_t p = r.start; p < r.end; p = text.NextCharPos(p)) {
            uint32_t u = text.UnitAt(p);
            if (firstUnit_ < 0 || ((static_cast<int32_t>(u) == firstUnit_ ||
                                    static_cast<int32_t>(u) == firstUnitOther_) &&
                                   LeadAt(text, p, r.end)))
                starts.push_back(p);
        }
        for (size_t i = starts.size(); i-- > 0 && !found;) found = Attempt(text, starts[i], r.end);
    }
    if (!found) hitStart = hitEnd = r.start;
    return FinishSearch(found);
}

bool ExpressionSearch::FromPast(const RawString& text, int32_t from, int32_t found) {
    const int32_t length = text.Length();
    while (from <= length && From(text, RawRange{from, length})) {
        if (hitStart != hitEnd || hitStart != found) return true;
        if (hitStart >= length) return false;
        from = text.NextCharPos(hitStart);
    }
    return false;
}

bool ExpressionSearch::Next(const RawString& text, RawRange range) {
    flags |= ExpressionWholeRange;
    RawRange r = text.ClampEnd(range);
    bool found = false;
    if (Prepare(text.Kind())) {
        ResetMemory(r.start, r.end);
        found = Attempt(text, r.start, r.end);
    }
    if (!found) {
        hitStart = r.start;
        hitEnd = r.end;
    }
    return FinishSearch(found);
}

// ---------------------------------------------------------------------------
// Replacement

int32_t ReplacementUnit(const RawString& replacement, int32_t pos,
                        const JobExpressionUtility::Situation& situation, RawString& out) {
    const int32_t length = replacement.Length();
    if (pos >= length) return length;
    if (replacement.UnitAt(pos) != '%') {
        int32_t next = replacement.NextCharPos(pos);
        out.AppendRange(replacement, RawRange{pos, next});
        return next;
    }
    if (pos + 1 >= length) return length;
    const uint32_t c = replacement.UnitAt(pos + 1);
    uint32_t unit = 0;
    switch (c) {
    case 'N': out.Append(situation.LineBreakText()); return pos + 2;
    case 'n': unit = '\n'; break;
    case 'r': unit = '\r'; break;
    case 't': unit = '\t'; break;
    case 's': unit = ' '; break;
    case 'q': unit = '"'; break;
    case 'd': unit = ';'; break;
    case 'e': unit = '%'; break;
    default:
        if (c >= '0' && c <= '9') {
            out.Append(situation.PartText(static_cast<int32_t>(c - '0')));
            return pos + 2;
        }
        break;
    }
    if (unit != 0) {
        out.AppendChar(unit);
        return pos + 2;
    }
    int32_t next = replacement.NextCharPos(pos + 1);
    out.AppendRange(replacement, RawRange{pos + 1, next});
    return next;
}

RawString ExpressionReplaceText(const RawString& replacement,
                                const JobExpressionUtility::Situation& situation) {
    const ExpressionPrefix prefix = ExpressionFlags(replacement);
    const int32_t length = replacement.Length();
    RawString out = RawString::ReserveAs(replacement.Kind(), length);
    if (prefix.flags & ExpressionLiteral) {
        out.AppendRange(replacement, RawRange{prefix.start, length});
        return out;
    }
    out.AppendRange(replacement, RawRange{0, prefix.start});
    for (int32_t pos = prefix.start; pos < length;) pos = ReplacementUnit(replacement, pos, situation, out);
    return out;
}

}  // namespace JobLayer
