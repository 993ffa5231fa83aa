// RawStringTokenizer: items and fields of a text.
#pragma once

#include <cstdint>

#include "base/raw_string.h"

namespace RawLayer {

// Item scanner over a text with optional bracket markers and quotes, and a
// field reader that walks the text separator by separator.
class RawStringTokenizer {
public:
    // State bits of the field reader.
    enum : uint32_t {
        FieldQuotes = 1,   // a separator between double quotes does not split
        FieldQuoted = 4,   // the last field was enclosed in double quotes
        FieldEnded = 8     // no field is left
    };

    RawStringTokenizer(const RawString& text, const RawString& open, const RawString& close,
                       bool quotes)
        : text_(text), open_(open), close_(close), quotes_(quotes), end_(text.Length()),
          state_(text.IsEmpty() ? static_cast<uint32_t>(FieldEnded) : 0u) {}
    // A field reader over the whole text: position 0, state 0 (FieldEnded
    // for an empty text). Set FieldQuotes before the first NextField to
    // honour double quotes.
    explicit RawStringTokenizer(const RawString& text)
        : RawStringTokenizer(text, RawString(), RawString(), false) {}

    // End of the next item from range.start: a ',' outside quotes and
    // brackets; the range end when no ',' ends it.
    int32_t Next(RawRange range) const;
    // The same, ending an item at ';' as well.
    int32_t NextOrSemicolon(RawRange range) const;

    // The text from the current position up to the next separator unit
    // (stepping whole characters; with FieldQuotes a double quote toggles a
    // quoted part in which the separator does not count), with one pair of
    // enclosing double quotes removed (StripQuotes). The position moves past
    // the separator; FieldEnded is set when no separator ended the field.
    // Empty once ended. Fields are not trimmed: "a:" gives "a" and "".
    RawString NextField(uint32_t separator);
    // Narrows a field by one leading and one trailing '"' when it is
    // enclosed in a pair of them (FieldQuoted set), else leaves it and
    // clears FieldQuoted.
    void StripQuotes(RawRange& field);
    uint32_t State() const { return state_; }
    void SetState(uint32_t state) { state_ = state; }
    bool AtEnd() const { return (state_ & FieldEnded) != 0; }
    int32_t Position() const { return position_; }

private:
    int32_t Scan(RawRange range, bool semicolon) const;
    RawString text_;
    RawString open_;
    RawString close_;
    bool quotes_;
    int32_t position_ = 0;
    int32_t end_;
    uint32_t state_;
};

}  // namespace RawLayer
