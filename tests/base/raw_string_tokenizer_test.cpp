// RawStringTokenizer: items between commas outside quotes and brackets,
// and fields between separators.
// RUN_UNDER_BOTH_CODE_PAGES

#include <gtest/gtest.h>

#include <cstring>

#include "base/raw_string.h"
#include "base/raw_string_tokenizer.h"
#include "support/test_support.h"

using namespace RawLayer;
using TestSupport::S;

namespace {

RawString T(const char* text) { return RawString::FromText(text); }
RawString B(const char* bytes, uint8_t kind) {
    return RawString::FromBytes(bytes, static_cast<int32_t>(std::strlen(bytes)), kind);
}

}  // namespace

TEST(RawStringTokenizerTest, QuotesMarkersAndEmptyMarkers) {
    struct Case { const char* text; const char* open; const char* close; bool quotes;
                  bool semicolon; int32_t start; int32_t end; };
    const Case cases[] = {
        {"a,b", "", "", false, false, 0, 1},
        {"a,\"b,c\",d", "", "", true, false, 2, 7},
        {"\"a,b\"", "", "", false, false, 0, 2},
        {"f(a,(b,c)),g", "(", ")", false, false, 0, 10},
        {"f(a,(b,c),g", "(", ")", false, false, 0, 11},  // unclosed: to the end
        {"<<a,b>>,c", "<<", ">>", false, false, 0, 7},
        {"a(,)b,c", "(", "", false, false, 0, 2},          // empty close marker: no brackets
        {"a,b", "", ")", false, false, 0, 1},
        {"a;b,c", "", "", false, true, 0, 1},
        {"a;b,c", "", "", false, false, 0, 3},
        {"abc", "", "", true, false, 0, 3},
        {"ab,c", "", "", false, false, 3, 4},
    };
    for (const Case& c : cases) {
        RawStringTokenizer tok(T(c.text), T(c.open), T(c.close), c.quotes);
        RawString text = T(c.text);
        RawRange range{c.start, text.Length()};
        int32_t end = c.semicolon ? tok.NextOrSemicolon(range) : tok.Next(range);
        EXPECT_EQ(c.end, end) << c.text << " open '" << c.open << "' close '" << c.close << "'";
    }
    // Whole characters: a Shift_JIS trail byte equal to the marker opens nothing.
    RawString sjis = B("\x83\x5C,x", KindSjis);
    RawStringTokenizer tok(sjis, T("\\"), T("\\"), false);
    EXPECT_EQ(2, tok.Next(sjis.All()));
}

// The field reader: ended at once over an empty text; with quotes on, a
// separator between quotes does not split and one enclosing pair comes off.
TEST(RawStringTokenizerTest, Fields) {
    RawStringTokenizer empty{RawString()};
    EXPECT_TRUE(empty.AtEnd());
    EXPECT_TRUE(empty.NextField(',').IsEmpty());
    RawStringTokenizer fields(T("a,\"b,c\",\"d,"));
    fields.SetState(RawStringTokenizer::FieldQuotes);
    EXPECT_EQ("a", S(fields.NextField(',')));
    EXPECT_EQ("b,c", S(fields.NextField(',')));
    EXPECT_TRUE(fields.State() & RawStringTokenizer::FieldQuoted);
    EXPECT_EQ("\"d,", S(fields.NextField(',')));  // an unclosed quote takes the rest
    EXPECT_FALSE(fields.State() & RawStringTokenizer::FieldQuoted);
    EXPECT_TRUE(fields.AtEnd());
    RawStringTokenizer plain(T("x:\"y:z\":"));
    EXPECT_EQ("x", S(plain.NextField(':')));
    EXPECT_EQ("\"y", S(plain.NextField(':')));
    EXPECT_EQ("z\"", S(plain.NextField(':')));
    EXPECT_FALSE(plain.AtEnd());
    EXPECT_EQ("", S(plain.NextField(':')));
    EXPECT_TRUE(plain.AtEnd());
}
