// RawStringTokenizer: items and fields of a text.
#include "base/raw_string_tokenizer.h"

namespace RawLayer {

int32_t RawStringTokenizer::Next(RawRange range) const { return Scan(range, false); }

int32_t RawStringTokenizer::NextOrSemicolon(RawRange range) const { return Scan(range, true); }

int32_t RawStringTokenizer::Scan(RawRange range, bool semicolon) const {
    const RawString& t = text_;
    RawRange r = t.ClampEnd(range);
    // Brackets need both markers; an empty marker would match everywhere.
    bool brackets = !open_.IsEmpty() && !close_.IsEmpty();
    int32_t openLen = open_.Length();
    int32_t closeLen = close_.Length();
    auto at = [&](int32_t pos, const RawString& marker, int32_t n) {
        return pos + n <= r.end && t.EqualsAt(pos, marker, marker.All());
    };
    auto step = [&](int32_t pos) {
        int32_t next = t.NextCharPos(pos);
        return next > r.end ? r.end : next;
    };
    bool quoted = false;
    int32_t pos = r.start;
    while (pos < r.end) {
        uint32_t u = t.UnitAt(pos);
        if (quotes_ && u == '"') {
            quoted = !quoted;
            ++pos;
            continue;
        }
        if (!quoted) {
            if (u == ',' || (semicolon && u == ';')) return pos;
            if (brackets && at(pos, open_, openLen)) {
                int level = 1;
                pos += openLen;
                while (pos < r.end && level >= 1) {
                    if (at(pos, close_, closeLen)) {
                        --level;
                        pos += closeLen;
                    } else if (at(pos, open_, openLen)) {
                        ++level;
                        pos += openLen;
                    } else {
                        pos = step(pos);
                    }
                }
                continue;
            }
        }
        pos = step(pos);
    }
    return r.end;
}

RawString RawStringTokenizer::NextField(uint32_t separator) {
    if (state_ & FieldEnded) return RawString();
    const RawString& t = text_;
    bool quotes = (state_ & FieldQuotes) != 0;
    bool quoted = false;
    int32_t start = position_ < end_ ? position_ : end_;
    int32_t pos = start;
    // Every step moves on by at least one unit, so the walk ends.
    while (pos < end_) {
        uint32_t u = t.UnitAt(pos);
        if (quotes && u == '"')
            quoted = !quoted;
        else if (!quoted && u == separator)
            break;
        int32_t next = t.NextCharPos(pos);
        pos = next > pos ? (next < end_ ? next : end_) : pos + 1;
    }
    RawRange field{start, pos};
    if (pos >= end_) {
        state_ |= FieldEnded;
        position_ = end_;
    } else {
        position_ = pos + 1;
    }
    StripQuotes(field);
    RawString out;
    out.AssignRange(t, field);
    return out;
}

void RawStringTokenizer::StripQuotes(RawRange& field) {
    if (field.end - field.start >= 2 && text_.UnitAt(field.start) == '"' &&
        text_.UnitAt(field.end - 1) == '"') {
        ++field.start;
        --field.end;
        state_ |= FieldQuoted;
    } else {
        state_ &= ~static_cast<uint32_t>(FieldQuoted);
    }
}

}  // namespace RawLayer
