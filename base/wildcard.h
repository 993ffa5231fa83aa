// Wildcard matching with '*', '?' and '%' escapes.
//
// '*' takes any run of characters (the longest that lets the rest match),
// '?' one character, and '%' followed by a letter stands for a character
// that is awkward to write in a profile or a list (see WildcardEscape); '%'
// followed by anything else stands for that unit itself, so "%*" matches a
// star. The matcher records the text each wildcard took.
//
// Matching is bounded: time and memory grow with (pattern length) x (text
// length), never exponentially, whatever the pattern.
#pragma once

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"

namespace RawLayer {

// A text cursor: the current position and the end of the text to match.
struct WildcardCursor {
    int32_t position;
    int32_t end;
};

// A pattern record. `pattern`, `wholeText`, `foldCase` and `captures` are
// what WildcardMatch works with; `items` holds the patterns of the comma
// list form (Init), of which MatchAny tries each in turn.
class WildcardPatternList {
public:
    WildcardPatternList();
    explicit WildcardPatternList(const RawString& pattern, bool foldCase = false);

    RawString pattern;    // a shared copy of the text it was made from
    uint8_t wholeText;    // 1: the pattern must consume the whole text
    uint8_t foldCase;     // 1: ASCII a-z compare equal to A-Z
    RawRangeList captures;  // capture n: the text range wildcard n took
    RawStringList items;  // the comma list form

    void SetPattern(const RawString& text) { pattern = text; }
    // Matches the whole text against `pattern`, captures cleared first.
    bool Match(const RawString& text);
    // The range wildcard n took in the last successful match; (0, 0) when
    // there is none.
    RawRange Capture(int32_t n) const { return captures.RangeAt(n); }

    // The comma list form: `items` becomes the patterns of a text split at
    // ',' outside double quotes, each trimmed of blanks and tabs; a pattern
    // enclosed in double quotes loses them; empty patterns are dropped.
    // `pattern` becomes the first of them (empty when there is none).
    void Init(const RawString& commaText);
    // Whether the text matches one of `items`, tried in order; the first
    // that matches is left in `pattern` with its captures, and its index in
    // `index` (-1 when none matches). An empty list matches nothing.
    bool MatchAny(const RawString& text, int32_t* index = nullptr);
};

// Matches pattern[first, end) against the text from cursor.position up to
// cursor.end, with the record's whole-text and case flags. Wildcard n of
// the pattern (counted from `number`) stores its range in capture n of the
// record. On success the cursor's position is where the pattern ended.
// A pattern of another kind than the text is matched in the text's kind.
bool WildcardMatch(WildcardPatternList& record, const RawString& text, WildcardCursor& cursor,
                   const RawString& pattern, int32_t first, int32_t end, int32_t number);

// The unit a '%' escape letter stands for; 0 when the letter is not in the
// table (then the letter stands for itself). 'n' gives LF, although %n also
// matches CR LF.
uint32_t WildcardEscape(uint32_t letter);
// The escape letter of a unit; 0 when the unit has none.
uint32_t WildcardEscapeLetter(uint32_t unit);
// A pattern that matches exactly the given text: the escaped characters, '*',
// '?' and '%' are written as escapes, LF as %n.
RawString WildcardLiteralPattern(const RawString& text);

}  // namespace RawLayer
