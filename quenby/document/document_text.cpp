// Decoding document lines to UTF-8.

#include "quenby/document/document_text.h"

#include <cstring>

#include "base/encoding.h"

namespace DocLayer {

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// The length of the valid UTF-8 sequence at p (at most `left` bytes): 1 to
// 4, or 0 when the bytes there form no character. `cut` is set when the
// sequence is valid so far but the bytes end before it does.
int32_t Utf8SequenceLength(const uint8_t* p, int32_t left, bool* cut) {
    *cut = false;
    uint8_t b = p[0];
    if (b < 0x80) return 1;
    int32_t length;
    uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0) low = 0xA0;          // no overlong forms
        else if (b == 0xED) high = 0x9F;    // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        else if (b == 0xF4) high = 0x8F;    // nothing above U+10FFFF
    } else {
        return 0;
    }
    for (int32_t i = 1; i < length; ++i) {
        if (i >= left) {
            *cut = true;
            return 0;
        }
        uint8_t c = p[i];
        if (i == 1 ? (c < low || c > high) : (c < 0x80 || c > 0xBF)) return 0;
    }
    return length;
}

void AppendCodePoint(RawString& out, uint32_t cp) {
    if (cp < 0x80) {
        out.AppendChar(cp);
    } else if (cp < 0x800) {
        out.AppendChar(0xC0 | (cp >> 6));
        out.AppendChar(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out.AppendChar(0xE0 | (cp >> 12));
        out.AppendChar(0x80 | ((cp >> 6) & 0x3F));
        out.AppendChar(0x80 | (cp & 0x3F));
    } else {
        out.AppendChar(0xF0 | (cp >> 18));
        out.AppendChar(0x80 | ((cp >> 12) & 0x3F));
        out.AppendChar(0x80 | ((cp >> 6) & 0x3F));
        out.AppendChar(0x80 | (cp & 0x3F));
    }
}

bool AllAscii(const uint8_t* p, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        if (p[i] >= 0x80) return false;
    return true;
}

// UTF-8 with every broken sequence replaced by U+FFFD.
RawString RepairUtf8(const RawString& raw) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(raw.Bytes());
    int32_t n = raw.Length();
    bool valid = true;
    for (int32_t i = 0; i < n && valid;) {
        bool cut = false;
        int32_t length = Utf8SequenceLength(p + i, n - i, &cut);
        if (length == 0) valid = false;
        i += length;
    }
    if (valid) return raw.Kind() == RawLayer::KindUtf8 ? raw : RawString::FromBytes(p, n, RawLayer::KindUtf8);
    RawString out(RawLayer::KindUtf8);
    out.Reserve(n + 16);
    for (int32_t i = 0; i < n;) {
        bool cut = false;
        int32_t length = Utf8SequenceLength(p + i, n - i, &cut);
        if (length > 0) {
            for (int32_t k = 0; k < length; ++k) out.AppendChar(p[i + k]);
            i += length;
            continue;
        }
        // One replacement for each byte that starts no character, and one
        // for a character cut short by the end.
        AppendCodePoint(out, kReplacement);
        if (cut) break;
        ++i;
    }
    return out;
}

bool ReadsAsEucJp(const uint8_t* p, int32_t n, bool cutEndAllowed) {
    for (int32_t i = 0; i < n;) {
        uint8_t c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int32_t length;
        if (c == 0x8E) length = 2;
        else if (c == 0x8F) length = 3;
        else if (c >= 0xA1 && c <= 0xFE) length = 2;
        else return false;
        if (i + length > n) return cutEndAllowed;
        for (int32_t k = 1; k < length; ++k) {
            uint8_t t = p[i + k];
            bool ok = c == 0x8E ? (t >= 0xA1 && t <= 0xDF) : (t >= 0xA1 && t <= 0xFE);
            if (!ok) return false;
        }
        i += length;
    }
    return true;
}

bool ReadsAsSjis(const uint8_t* p, int32_t n, bool cutEndAllowed) {
    for (int32_t i = 0; i < n;) {
        uint8_t c = p[i];
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) {
            ++i;
            continue;
        }
        if (!((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))) return false;
        if (i + 1 >= n) return cutEndAllowed;
        uint8_t t = p[i + 1];
        if (!((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC))) return false;
        i += 2;
    }
    return true;
}

}  // namespace

bool BytesReadAs(uint8_t kind, const uint8_t* bytes, int32_t count, bool cutEndAllowed) {
    if (!bytes || count <= 0) return true;
    switch (kind) {
        case RawLayer::KindUtf8:
            for (int32_t i = 0; i < count;) {
                bool cut = false;
                int32_t length = Utf8SequenceLength(bytes + i, count - i, &cut);
                if (length == 0) return cut && cutEndAllowed;
                i += length;
            }
            return true;
        case RawLayer::KindEucJp: return ReadsAsEucJp(bytes, count, cutEndAllowed);
        case RawLayer::KindSjis: return ReadsAsSjis(bytes, count, cutEndAllowed);
        default: return true;
    }
}

void AppendUtf16AsUtf8(RawString& out, const uint16_t* units, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        uint32_t u = units[i];
        if (RawLayer::IsHighSurrogate(u) && i + 1 < count && RawLayer::IsLowSurrogate(units[i + 1])) {
            AppendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (RawLayer::IsHighSurrogate(u) || RawLayer::IsLowSurrogate(u)) {
            AppendCodePoint(out, kReplacement);
        } else {
            AppendCodePoint(out, u);
        }
    }
}

RawString DecodeLineToUtf8(uint8_t kind, const RawString& raw) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(raw.Bytes());
    int32_t n = raw.Length();
    if (n == 0) return RawString(RawLayer::KindUtf8);
    RawString wide;
    bool cutTail = false;
    if (kind == RawLayer::KindUtf16BE || kind == RawLayer::KindUtf16LE) {
        // An odd last byte becomes U+FFFD in the conversion.
        if (!RawLayer::ConvertToUtf16(kind, p, n, wide)) return RawString(RawLayer::KindUtf8);
    } else if (kind == RawLayer::KindAnsi || kind == RawLayer::KindSjis || kind == RawLayer::KindEucJp) {
        if (AllAscii(p, n)) return raw.Kind() == RawLayer::KindUtf8 ? raw : RawString::FromBytes(p, n, RawLayer::KindUtf8);
        // A character cut by the end of the file is converted as U+FFFD.
        int32_t whole = RawLayer::WholeCharLength(kind, p, n);
        cutTail = whole < n;
        if (whole > 0 && !RawLayer::ConvertToUtf16(kind, p, whole, wide)) {
            // The converter refused the line: show it byte by byte rather
            // than lose it.
            return RepairUtf8(raw);
        }
    } else {
        return RepairUtf8(raw);
    }
    RawString out(RawLayer::KindUtf8);
    out.Reserve(wide.Length() * 3 + 4);
    AppendUtf16AsUtf8(out, reinterpret_cast<const uint16_t*>(wide.Data()), wide.Length());
    if (cutTail) AppendCodePoint(out, kReplacement);
    return out;
}

uint32_t Utf8CodePointAt(const RawString& text, int32_t pos, int32_t* next) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text.Bytes());
    int32_t n = text.Length();
    if (pos < 0 || pos >= n) {
        if (next) *next = n;
        return 0;
    }
    bool cut = false;
    int32_t length = Utf8SequenceLength(p + pos, n - pos, &cut);
    if (length == 0) {
        if (next) *next = pos + 1;
        return kReplacement;
    }
    if (next) *next = pos + length;
    uint32_t b = p[pos];
    if (length == 1) return b;
    uint32_t cp = b & (0xFF >> (length + 1));
    for (int32_t k = 1; k < length; ++k) cp = (cp << 6) | (p[pos + k] & 0x3F);
    return cp;
}

uint32_t Utf8CodePointBefore(const RawString& text, int32_t end) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(text.Bytes());
    if (end > text.Length()) end = text.Length();
    if (end <= 0) return 0;
    int32_t start = end - 1;
    // Back over at most three continuation bytes to the lead.
    while (start > 0 && end - start < 4 && (p[start] & 0xC0) == 0x80) --start;
    int32_t next = 0;
    uint32_t cp = Utf8CodePointAt(text, start, &next);
    return next == end ? cp : kReplacement;
}

}  // namespace DocLayer
