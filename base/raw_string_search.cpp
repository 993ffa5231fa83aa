// RawString comparison, character steps and search, and the free character
// and path helpers.
#include "base/raw_string.h"

#include <cstring>

#include "base/raw_string_units.h"
#include <windows.h>

namespace RawLayer {

using namespace StringUnits;

bool RawString::Equals(const RawString& other) const {
    if (body_ == other.body_) return true;
    int32_t n = body_->length;
    if (n != other.body_->length) return false;
    if (UnitWidth(body_->kind) == UnitWidth(other.body_->kind))
        return std::memcmp(body_->buffer, other.body_->buffer,
                           static_cast<size_t>(n) * UnitWidth(body_->kind)) == 0;
    for (int32_t i = 0; i < n; ++i)
        if (GetUnit(body_, i) != GetUnit(other.body_, i)) return false;
    return true;
}

bool RawString::EqualsRange(RawRange range, const RawString& other, RawRange otherRange) const {
    RawRange r = ClampEnd(range);
    RawRange o = other.ClampEnd(otherRange);
    if (r.end - r.start != o.end - o.start) return false;
    return MatchesAt(r.start, other, o, false);
}

bool RawString::EqualsRangeNoCase(RawRange range, const RawString& other,
                                  RawRange otherRange) const {
    RawRange r = ClampEnd(range);
    RawRange o = other.ClampEnd(otherRange);
    if (r.end - r.start != o.end - o.start) return false;
    return MatchesAt(r.start, other, o, true);
}

bool RawString::EqualsAt(int32_t pos, const RawString& other, RawRange otherRange) const {
    return MatchesAt(pos, other, otherRange, false);
}

bool RawString::MatchesAt(int32_t pos, const RawString& other, RawRange otherRange,
                          bool fold) const {
    RawRange o = other.ClampEnd(otherRange);
    int32_t n = o.end - o.start;
    if (pos < 0 || pos > body_->length || n > body_->length - pos) return false;
    const RawStringBody* a = body_;
    const RawStringBody* b = other.body_;
    if (!fold && UnitWidth(a->kind) == UnitWidth(b->kind))
        return std::memcmp(UnitPtr(a, pos), UnitPtr(b, o.start),
                           static_cast<size_t>(n) * UnitWidth(a->kind)) == 0;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t x = GetUnit(a, pos + i);
        uint32_t y = GetUnit(b, o.start + i);
        if (x != y && (!fold || FoldAscii(x) != FoldAscii(y))) return false;
    }
    return true;
}

bool RawString::EqualsNoCase(const RawString& a, const RawString& b) {
    if (a.Length() != b.Length()) return false;
    return a.MatchesAt(0, b, b.All(), true);
}

bool RawString::EqualsAscii(const char* text) const {
    if (!text) return body_->length == 0;
    int32_t n = body_->length;
    for (int32_t i = 0; i < n; ++i) {
        if (text[i] == 0) return false;
        if (GetUnit(body_, i) != static_cast<uint8_t>(text[i])) return false;
    }
    return text[n] == 0;
}

int RawString::CompareTo(const RawString& other) const {
    int32_t n = body_->length < other.body_->length ? body_->length : other.body_->length;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t x = GetUnit(body_, i);
        uint32_t y = GetUnit(other.body_, i);
        if (x != y) return x < y ? -1 : 1;
    }
    if (body_->length == other.body_->length) return 0;
    return body_->length < other.body_->length ? -1 : 1;
}

int RawString::CompareNoCase(const RawString& other) const {
    int32_t n = body_->length < other.body_->length ? body_->length : other.body_->length;
    for (int32_t i = 0; i < n; ++i) {
        uint32_t x = FoldAscii(GetUnit(body_, i));
        uint32_t y = FoldAscii(GetUnit(other.body_, i));
        if (x != y) return x < y ? -1 : 1;
    }
    if (body_->length == other.body_->length) return 0;
    return body_->length < other.body_->length ? -1 : 1;
}

namespace {
// Whether the ANSI code page has lead bytes; read once.
bool AnsiIsDoubleByte() {
    static const bool value = [] {
        CPINFO info;
        return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
    }();
    return value;
}
}  // namespace

namespace {

// Trail bytes of a double-byte character: Shift_JIS takes 0x40-0x7E and
// 0x80-0xFC; the double-byte ANSI code pages (932, 936, 949, 950) together
// stay within 0x40-0x7E and 0x80-0xFE. No line end, '=', ',' or tab is ever
// one.
inline bool IsSjisTrail(uint32_t u) { return u >= 0x40 && u <= 0xFC && u != 0x7F; }
inline bool IsAnsiTrail(uint32_t u) { return u >= 0x40 && u <= 0xFE && u != 0x7F; }
inline bool IsUtf8Continuation(uint32_t u) { return u >= 0x80 && u <= 0xBF; }

}  // namespace

int32_t RawString::TrailUnits(int32_t pos) const {
    int32_t length = body_->length;
    if (pos < 0 || pos >= length) return 0;
    // Units that exist after the lead; a sequence cut off by the end never
    // steps past the buffer.
    const int32_t rest = length - pos - 1;
    uint32_t u = GetUnit(body_, pos);
    auto unitAt = [this](int32_t i) { return GetUnit(body_, i); };
    // A trail unit outside its valid range is not part of the character:
    // the character ends before it (a lone lead stands alone).
    switch (body_->kind) {
    case KindSjis:
        // Code page 932 also leads with 0xF0-0xFC (IBM extensions such as the
        // variant kanji of common family names).
        if ((u >= 0x81 && u <= 0x9F) || (u >= 0xE0 && u <= 0xFC))
            return rest >= 1 && IsSjisTrail(unitAt(pos + 1)) ? 1 : 0;
        return 0;
    case KindAnsi:
        // Under a double-byte ANSI code page (932 and the like) kind 0 has
        // lead bytes too; taking their trail bytes for characters would find
        // a '\' inside a Japanese character.
        if (u >= 0x80 && AnsiIsDoubleByte() && IsDBCSLeadByte(static_cast<BYTE>(u)))
            return rest >= 1 && IsAnsiTrail(unitAt(pos + 1)) ? 1 : 0;
        return 0;
    case KindUtf8: {
        int32_t want = 0;
        if (u < 0x80)
            want = 0;
        else if ((u & 0xE0) == 0xC0)
            want = u > 0xC1 ? 1 : 0;
        else if ((u & 0xF0) == 0xE0)
            want = 2;
        else if ((u & 0xF8) == 0xF0)
            want = 3;
        else if ((u & 0xFC) == 0xF8)
            want = 4;
        else if ((u & 0xFE) == 0xFC)
            want = 5;
        int32_t trail = 0;
        while (trail < want && trail < rest && IsUtf8Continuation(unitAt(pos + 1 + trail))) ++trail;
        return trail;
    }
    case KindUtf16BE:
    case KindUtf16LE: {
        if (pos & 1) return 0;
        if (rest < 1) return 0;
        const bool big = body_->kind == KindUtf16BE;
        auto wordAt = [&](int32_t i) {
            return big ? (unitAt(i) << 8) | unitAt(i + 1) : (unitAt(i + 1) << 8) | unitAt(i);
        };
        if (!IsHighSurrogate(wordAt(pos))) return 1;
        if (rest < 3) return rest;  // the low half is cut off by the end
        return IsLowSurrogate(wordAt(pos + 2)) ? 3 : 1;
    }
    case KindUtf16:
        return IsHighSurrogate(u) && rest >= 1 && IsLowSurrogate(unitAt(pos + 1)) ? 1 : 0;
    default:
        return 0;
    }
}

int32_t RawString::NextCharPos(int32_t pos) const {
    if (pos < 0) return 0;
    if (pos >= body_->length) return body_->length;
    return pos + 1 + TrailUnits(pos);
}

// The first character position in the range of `text` where the other
// range stands (ASCII letter case ignored when `fold`); the range end when none.
static int32_t FindMatch(const RawString& text, RawRange range, const RawString& other, RawRange otherRange,
                         bool fold) {
    RawRange r = text.ClampEnd(range);
    RawRange o = other.ClampEnd(otherRange);
    int32_t n = o.end - o.start;
    if (n == 0) return r.start;
    for (int32_t pos = r.start; pos <= r.end - n; pos = text.NextCharPos(pos))
        if (text.MatchesAt(pos, other, o, fold)) return pos;
    return r.end;
}

int32_t RawString::FindRange(RawRange range, const RawString& other, RawRange otherRange) const {
    return FindMatch(*this, range, other, otherRange, false);
}

int32_t RawString::FindNoCase(RawRange range, const RawString& other, RawRange otherRange) const {
    return FindMatch(*this, range, other, otherRange, true);
}

int32_t RawString::FindChar(RawRange range, uint32_t unit) const {
    RawRange r = ClampEnd(range);
    for (int32_t pos = r.start; pos < r.end; pos = NextCharPos(pos))
        if (GetUnit(body_, pos) == unit) return pos;
    return r.end;
}

int32_t RawString::FindEitherChar(RawRange range, uint32_t a, uint32_t b) const {
    RawRange r = ClampEnd(range);
    for (int32_t pos = r.start; pos < r.end; pos = NextCharPos(pos)) {
        uint32_t u = GetUnit(body_, pos);
        if (u == a || u == b) return pos;
    }
    return r.end;
}

int32_t RawString::FindCharOutsideQuotes(RawRange range, uint32_t unit) const {
    RawRange r = ClampEnd(range);
    bool quoted = false;
    for (int32_t pos = r.start; pos < r.end; pos = NextCharPos(pos)) {
        uint32_t u = GetUnit(body_, pos);
        if (u == '"')
            quoted = !quoted;
        else if (!quoted && u == unit)
            return pos;
    }
    return r.end;
}

int32_t RawString::FindLastChar(RawRange range, uint32_t unit) const {
    RawRange r = ClampEnd(range);
    int32_t found = r.end;
    for (int32_t pos = r.start; pos < r.end; pos = NextCharPos(pos))
        if (GetUnit(body_, pos) == unit) found = pos;
    return found;
}

int32_t RawString::FindLastOf(RawRange range, const RawString& set) const {
    const RawRange r = ClampEnd(range);
    int32_t found = r.end;
    for (int32_t pos = r.start; pos < r.end; pos = NextCharPos(pos))
        if (IsOneOfAt(pos, set)) found = pos;
    return found;
}

int32_t RawString::FindLineEnd(int32_t pos) const {
    const int32_t n = body_->length;
    const int32_t at = FindChar(RawRange{pos, n}, '\n');
    return at < n ? at + 1 : n;
}

bool RawString::ContainsUnit(uint32_t unit) const {
    int32_t n = body_->length;
    for (int32_t i = 0; i < n; ++i)
        if (GetUnit(body_, i) == unit) return true;
    return false;
}

bool RawString::IsOneOfAt(int32_t pos, const RawString& set) const {
    if (pos < 0 || pos >= body_->length) return false;
    return set.ContainsUnit(GetUnit(body_, pos));
}

int32_t RawString::SkipSet(RawRange range, const RawString& set) const {
    RawRange r = ClampEnd(range);
    int32_t pos = r.start;
    while (pos < r.end && set.ContainsUnit(GetUnit(body_, pos))) pos = NextCharPos(pos);
    return pos < r.end ? pos : r.end;
}

RawRange RawString::TrimRange(RawRange range, const RawString& set) const {
    RawRange r = ClampEnd(range);
    int32_t start = SkipSet(r, set);
    // Walk forward: stepping back is not safe inside multibyte text.
    int32_t end = start;
    for (int32_t pos = start; pos < r.end;) {
        int32_t next = NextCharPos(pos);
        if (next > r.end) next = r.end;
        if (!set.ContainsUnit(GetUnit(body_, pos))) end = next;
        pos = next;
    }
    return RawRange{start, end};
}

bool RawString::ReplaceFirst(const RawString& from, const RawString& to) {
    if (from.IsEmpty()) return false;
    int32_t pos = Find(from);
    if (pos >= body_->length) return false;
    RawString keepTo(to);  // `to` may share this string's body
    ReplaceRange(RawRange{pos, pos + from.Length()}, keepTo, keepTo.All());
    return true;
}

int CharClass(uint32_t unit) {
    if (unit >= 0x100) return 6;
    if ((unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z') ||
        (unit >= '0' && unit <= '9') || unit == '_')
        return 1;
    if (unit == '\t' || unit == ' ') return 2;
    if (unit == '\n' || unit == '\r') return 3;
    if (unit < 0x20 || (unit >= 0x7F && unit <= 0xA0)) return 4;
    if (unit >= 0xA1) return 5;
    return 0;
}

RawRange PathNameRange(const RawString& path) {
    int32_t length = path.Length();
    int32_t start = 0;
    // Whole characters only: in Shift_JIS a trail byte may equal '\'.
    for (int32_t pos = 0; pos < length; pos = path.NextCharPos(pos)) {
        if (IsPathSeparator(path.UnitAt(pos))) start = pos + 1;
    }
    return RawRange{start, length};
}

int32_t FindPathSeparator(const RawString& text, int32_t from) {
    int32_t length = text.Length();
    // Character starts are found from the beginning: a start inside a
    // character is moved to the character's end.
    int32_t pos = 0;
    while (pos < from && pos < length) pos = text.NextCharPos(pos);
    for (; pos < length; pos = text.NextCharPos(pos))
        if (IsPathSeparator(text.UnitAt(pos))) return pos;
    return length;
}

}  // namespace RawLayer
