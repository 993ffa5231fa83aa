// RawString: sharing, copy on write, growth, ranges, search, numbers.
// RUN_UNDER_BOTH_CODE_PAGES

#include <windows.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "base/encoding.h"
#include "base/language.h"
#include "base/profile.h"
#include "base/raw_string.h"
#include "support/test_support.h"

using namespace RawLayer;

namespace {

RawString T(const char* text) { return RawString::FromText(text); }
RawString W(const wchar_t* text) { return RawString::FromWideText(text); }
RawString B(const char* bytes, uint8_t kind) {
    return RawString::FromBytes(bytes, static_cast<int32_t>(std::strlen(bytes)), kind);
}
std::string Str(const RawString& s) {
    std::string out;
    for (int32_t i = 0; i < s.Length(); ++i) out += static_cast<char>(s.UnitAt(i));
    return out;
}
std::wstring WStr(const RawString& s) {
    return std::wstring(s.Wide(), static_cast<size_t>(s.Length()));
}

RAW_WIDE_CONSTANT(JapaneseConstant, L"\u65e5\u672c\u8a9e")
RAW_CONSTANT_TEXT(AsciiConstant, "Section")

// ---- life, sharing, copy on write ------------------------------------------

TEST(RawStringShare, SameKindCopySharesAndWriteDetaches) {
    for (uint8_t kind : {KindAnsi, KindUtf8, KindUtf16}) {
        RawString a = kind == KindUtf16 ? W(L"hello") : B("hello", kind);
        RawString b(a);
        EXPECT_EQ(a.Body(), b.Body());
        EXPECT_EQ(1u, a.ShareCount());
        b.AppendChar('!');
        EXPECT_NE(a.Body(), b.Body());
        EXPECT_EQ(0u, a.ShareCount());
        EXPECT_EQ(0u, b.ShareCount());
        EXPECT_EQ("hello", Str(a));
        EXPECT_EQ("hello!", Str(b));
        EXPECT_EQ(kind, b.Kind());
        EXPECT_EQ(OwnHeap, b.Ownership());
    }
}

TEST(RawStringShare, AssignSharesAndSelfAssignKeepsBody) {
    RawString a = T("abc");
    RawString c;
    c = a;
    EXPECT_EQ(a.Body(), c.Body());
    EXPECT_EQ(1u, a.ShareCount());
    c = c;
    EXPECT_EQ("abc", Str(c));
    EXPECT_EQ(1u, a.ShareCount());
    c.Release();
    EXPECT_EQ(0u, a.ShareCount());
    EXPECT_TRUE(c.IsEmpty());
    RawString d(std::move(a));
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ("abc", Str(d));
}

TEST(RawStringShare, ViewCopiesArePrivate) {
    static const char text[] = "view text";
    RawString v = RawString::ViewOf(text, 9, KindUtf8);
    EXPECT_EQ(OwnView, v.Ownership());
    RawString copy(v);
    EXPECT_NE(v.Body(), copy.Body());
    EXPECT_EQ(OwnHeap, copy.Ownership());
    EXPECT_EQ(0u, v.ShareCount());
    EXPECT_EQ("view text", Str(copy));
    v.AppendChar('!');  // writing a view makes a private copy
    EXPECT_EQ(OwnHeap, v.Ownership());
    EXPECT_STREQ("view text", text);
    EXPECT_EQ("view text!", Str(v));
}

TEST(RawStringShare, LiteralIsNeverWritten) {
    static const char text[] = "Literal";
    RawString lit = RawString::FromLiteral(text);
    EXPECT_EQ(OwnLiteral, lit.Ownership());
    EXPECT_EQ(static_cast<const void*>(text), lit.Data());
    RawString copy(lit);
    EXPECT_EQ(lit.Body(), copy.Body());
    copy.SetUnitAt(0, 'l');
    EXPECT_STREQ("Literal", text);
    EXPECT_EQ("literal", Str(copy));
    EXPECT_EQ("Section", Str(AsciiConstant()));
    EXPECT_TRUE(LineBreakText().EqualsAscii("\r\n"));
}

TEST(RawStringShare, EmptyBodyIsNeverWrittenOrCounted) {
    const RawString& empty = RawString::Empty();
    EXPECT_EQ(OwnEmpty, empty.Ownership());
    EXPECT_EQ(KindUtf8, empty.Kind());
    const RawStringBody* body = empty.Body();
    RawString a;
    RawString b(a);
    EXPECT_EQ(body, a.Body());
    EXPECT_EQ(0u, empty.ShareCount());
    a.AppendChar('x');
    EXPECT_NE(body, a.Body());
    EXPECT_EQ(22, a.Capacity());
    EXPECT_EQ(0, empty.Length());
    EXPECT_EQ(0u, empty.UnitAt(0));
    EXPECT_EQ(0, *empty.Bytes());
    // Writable access to an empty string never hands out the shared zero units.
    RawString c;
    char* p = c.WritableBytes();
    EXPECT_NE(empty.Data(), static_cast<const void*>(p));
    c.SyncLength(5);  // clamped to the capacity
    EXPECT_EQ(c.Capacity(), c.Length());
    RawString w(KindUtf16);
    w.SetUnitAt(0, 'a');  // outside the text: ignored
    EXPECT_TRUE(w.IsEmpty());
    EXPECT_EQ(KindUtf16, w.Kind());
}

TEST(RawStringShare, CopyInAnotherKindConverts) {
    RawString u8 = T("plain");
    bool ok = false;
    RawString wide = u8.As(KindUtf16, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(KindUtf16, wide.Kind());
    EXPECT_NE(u8.Body(), wide.Body());
    EXPECT_EQ(0u, u8.ShareCount());
    EXPECT_EQ(L"plain", WStr(wide));
    EXPECT_TRUE(wide == u8);  // units compare by value across kinds
    RawString back(KindUtf8, wide);
    EXPECT_EQ("plain", Str(back));
}

// ---- conversions between kinds ---------------------------------------------

TEST(RawStringConvert, RoundTripsThroughEveryKind) {
    const wchar_t* text = L"\u65e5\u672c\u8a9e abc \u30c6\u30b9\u30c8";
    RawString wide = W(text);
    for (uint8_t kind : {KindSjis, KindUtf8, KindUtf7, KindEucJp, KindUtf16BE, KindUtf16LE}) {
        SCOPED_TRACE(kind);
        bool ok = false;
        RawString k = wide.As(kind, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(kind, k.Kind());
        EXPECT_FALSE(k.IsEmpty());
        RawString back = k.As(KindUtf16, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(std::wstring(text), WStr(back));
        // 8-bit to 8-bit goes through UTF-16.
        RawString u8 = k.As(KindUtf8, &ok);
        ASSERT_TRUE(ok);
        EXPECT_EQ(TestSupport::Utf8(text), std::string(u8.Bytes(), u8.Length()));
    }
    RawString le = wide.As(KindUtf16LE);
    EXPECT_EQ(2 * wide.Length(), le.Length());
    EXPECT_EQ(0xE5u, le.UnitAt(0));
    EXPECT_EQ(0x65u, le.UnitAt(1));
    RawString be = wide.As(KindUtf16BE);
    EXPECT_EQ(0x65u, be.UnitAt(0));
    EXPECT_EQ(0xE5u, be.UnitAt(1));
}

TEST(RawStringConvert, AnsiKindFollowsTheCodePage) {
    RawString japanese = W(L"\u65e5\u672c");
    bool ok = false;
    RawString ansi = japanese.As(KindAnsi, &ok);
    ASSERT_TRUE(ok);
    RawString back = ansi.As(KindUtf16, &ok);
    ASSERT_TRUE(ok);
    if (GetACP() == 932) {
        EXPECT_EQ(4, ansi.Length());
        EXPECT_EQ(std::wstring(L"\u65e5\u672c"), WStr(back));
    } else {
        EXPECT_NE(std::wstring(L"\u65e5\u672c"), WStr(back));
        RawString e = W(L"\u00e9").As(KindAnsi);
        EXPECT_EQ(1, e.Length());
        EXPECT_EQ(0xE9u, e.UnitAt(0));
    }
    // ASCII is the same in every ANSI code page.
    EXPECT_EQ("abc", Str(W(L"abc").As(KindAnsi)));
}

TEST(RawStringConvert, FailedConversionIsReported) {
    RawString text = W(L"abc");
    RawString target = T("old");
    EXPECT_FALSE(target.AssignAs(KindError, text));
    EXPECT_TRUE(target.IsEmpty());
    bool ok = true;
    RawString r = text.As(KindError, &ok);
    EXPECT_FALSE(ok);
    // An empty input always converts.
    EXPECT_TRUE(target.AssignAs(KindSjis, RawString(KindUtf16)));
    EXPECT_EQ(KindSjis, target.Kind());
}

TEST(RawStringConvert, ConstantsFromWideLiterals) {
    EXPECT_EQ(KindUtf16, JapaneseConstant().Kind());
    EXPECT_EQ(std::wstring(L"\u65e5\u672c\u8a9e"), WStr(JapaneseConstant()));
    // A literal holding Shift_JIS bytes becomes owned UTF-8.
    static const char sjis[] = "\x82\xa0\x82\xa2\x82\xa4";  // a i u in hiragana
    RawString lit = RawString::FromLiteral(sjis);
    EXPECT_EQ(KindUtf8, lit.Kind());
    EXPECT_EQ(OwnHeap, lit.Ownership());
    EXPECT_EQ(TestSupport::Utf8(L"\u3042\u3044\u3046"), std::string(lit.Bytes(), lit.Length()));
}

TEST(RawStringConvert, MixedKindBuilding) {
    RawString wide = W(L"\u00e9t\u00e9");
    RawString s = T("x=");
    s.Append(wide);
    EXPECT_EQ(KindUtf8, s.Kind());
    EXPECT_EQ("x=" + TestSupport::Utf8(L"\u00e9t\u00e9"), std::string(s.Bytes(), s.Length()));
    RawString c = RawString::ConcatMany(wide, T("-"), T("z"));
    EXPECT_EQ(KindUtf16, c.Kind());
    EXPECT_EQ(std::wstring(L"\u00e9t\u00e9-z"), WStr(c));
    EXPECT_EQ(std::wstring(L"\"\u00e9t\u00e9\""), WStr(wide.Quoted()));
    RawString part = RawString::InitBodyFromRange(KindUtf16, T("abcdef"), RawRange{2, 4});
    EXPECT_EQ(L"cd", WStr(part));
}

// ---- growth ------------------------------------------------------------------

TEST(RawStringGrowth, CapacitiesAtThresholds) {
    RawString e;
    e.AppendChar('a');
    EXPECT_EQ(22, e.Capacity());
    struct Case { int32_t before; int32_t capacity; };
    for (Case c : {Case{198, 418}, Case{199, 500}, Case{0, 22}}) {
        std::string text(static_cast<size_t>(c.before), 'a');
        RawString s = RawString::FromBytes(text.data(), c.before, KindUtf8);
        if (c.before > 0) {
            EXPECT_EQ(c.before, s.Capacity());
        }
        s.AppendChar('b');
        EXPECT_EQ(c.capacity, s.Capacity()) << c.before;
        EXPECT_EQ(c.before + 1, s.Length());
        EXPECT_EQ(0, s.Bytes()[s.Length()]);
    }
    RawString w(KindUtf16);
    w.AppendChar(0x3042);
    EXPECT_EQ(22, w.Capacity());
    EXPECT_EQ(0, w.Wide()[1]);
    RawString n;
    n.AppendInt(5);
    EXPECT_EQ(67, n.Capacity());
    RawString p = RawString::WithCapacity(40);
    EXPECT_GE(p.Capacity(), 40);
    EXPECT_TRUE(p.IsEmpty());
}

// ---- editing -----------------------------------------------------------------

TEST(RawStringEdit, InsertEraseReplace) {
    RawString s = T("abcdef");
    s.InsertChar(2, 'X');
    EXPECT_EQ("abXcdef", Str(s));
    s.InsertRange(100, 3, '.');  // position clamped to the end
    EXPECT_EQ("abXcdef...", Str(s));
    s.Erase(2, 1);
    s.Erase(-4, 1);
    EXPECT_EQ("bcdef...", Str(s));
    s.Erase(5, 100);
    EXPECT_EQ("bcdef", Str(s));
    s.ReplaceRange(RawRange{1, 3}, T("1234"), RawRange{0, 4});
    EXPECT_EQ("b1234ef", Str(s));
    s.ReplaceRange(RawRange{1, 5}, T("Z"), RawRange{-3, 99});
    EXPECT_EQ("bZef", Str(s));
    s.Append(s);
    EXPECT_EQ("bZefbZef", Str(s));
    s.ReplaceRange(RawRange{0, 2}, s, RawRange{4, 8});
    EXPECT_EQ("bZefefbZef", Str(s));
    s.AssignRange(s, RawRange{6, 100});
    EXPECT_EQ("bZef", Str(s));
}

TEST(RawStringEdit, CopyUnitsWidensAndNarrows) {
    RawString w(KindUtf16);
    w.CopyUnitsAt(0, T("abc"), RawRange{0, 3});
    EXPECT_EQ(L"abc", WStr(w));
    RawString n = T("xyzw");
    n.CopyUnitsAt(2, W(L"AB\u3042"), RawRange{0, 3});
    EXPECT_EQ(5, n.Length());
    EXPECT_EQ("xyAB", Str(n).substr(0, 4));
    EXPECT_EQ(0x42u, n.UnitAt(4));  // low byte of U+3042, no conversion
}

TEST(RawStringEdit, ClearResetKindAndNumbersInWide) {
    RawString s = RawString::WithCapacity(30);
    s.ResetKind(KindUtf16);
    EXPECT_EQ(KindUtf16, s.Kind());
    EXPECT_EQ(30, s.Capacity());
    s.AppendAscii("n=");
    s.AppendInt(-7);
    EXPECT_EQ(L"n=-7", WStr(s));
    RawString copy(s);
    copy.Clear();
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(KindUtf16, copy.Kind());
    EXPECT_EQ(L"n=-7", WStr(s));
}

// ---- ranges ------------------------------------------------------------------

TEST(RawStringRange, ClampTable) {
    RawString s = T("hello");
    struct Case { RawRange in; RawRange out; };
    const Case cases[] = {
        {{0, 5}, {0, 5}},   {{-5, 3}, {0, 3}},   {{2, 100}, {2, 5}},  {{10, 100}, {5, 5}},
        {{4, 2}, {2, 2}},   {{-3, -1}, {0, 0}},  {{7, 3}, {3, 3}},    {{INT_MIN, INT_MAX}, {0, 5}},
    };
    for (const Case& c : cases) {
        RawRange r = s.ClampEnd(c.in);
        EXPECT_EQ(c.out.start, r.start) << c.in.start << "," << c.in.end;
        EXPECT_EQ(c.out.end, r.end) << c.in.start << "," << c.in.end;
    }
    EXPECT_EQ(5, s.FindChar(RawRange{9, 20}, 'h'));
    EXPECT_EQ(0, s.FindChar(RawRange{-9, 20}, 'h'));
    EXPECT_TRUE(s.EqualsRange(RawRange{3, 99}, T("lo"), T("lo").All()));
    RawString t;
    t.AppendRange(s, RawRange{8, 2});
    EXPECT_TRUE(t.IsEmpty());
    t.AppendRange(s, RawRange{-2, 2});
    EXPECT_EQ("he", Str(t));
}

TEST(RawStringRange, AnsiKindHasLeadBytesOnlyUnderDoubleByteCodePage) {
    // Under code page 932 the ANSI kind is Shift_JIS: the trail byte 0x5C of
    // U+8868 must not be taken for a path separator.
    const uint8_t bytes[] = {'a', '\\', 0x95, 0x5C, 'b'};
    RawString s = RawString::FromBytes(bytes, 5, KindAnsi);
    if (GetACP() == 932) {
        EXPECT_EQ(1, s.TrailUnits(2));
        EXPECT_EQ(2, PathNameRange(s).start);
    } else {
        EXPECT_EQ(0, s.TrailUnits(2));
        EXPECT_EQ(4, PathNameRange(s).start);
    }
}

TEST(RawStringRange, TrailUnitsTable) {
    struct Case { uint8_t kind; std::vector<uint8_t> bytes; int32_t pos; int32_t trail; };
    const Case cases[] = {
        {KindSjis, {0x81, 0x40, 0, 0}, 0, 1},   {KindSjis, {0x9F, 0xFC, 0, 0}, 0, 1},
        {KindSjis, {0xA0, 0x40, 0, 0}, 0, 0},   {KindSjis, {0xE0, 0x7E, 0, 0}, 0, 1},
        {KindSjis, {0xEF, 0x80, 0, 0}, 0, 1},   {KindSjis, {0xFC, 0x40, 0, 0}, 0, 1},
        {KindSjis, {0xFD, 0x40, 0, 0}, 0, 0},
        {KindSjis, {0x41, 0x40, 0, 0}, 0, 0},   {KindUtf8, {0x41, 0x80, 0, 0, 0, 0, 0}, 0, 0},
        {KindUtf8, {0xC1, 0x80, 0, 0, 0, 0, 0}, 0, 0}, {KindUtf8, {0xC2, 0x80, 0, 0, 0, 0, 0}, 0, 1},
        {KindUtf8, {0xE3, 0x81, 0xBF, 0, 0, 0}, 0, 2}, {KindUtf8, {0xF0, 0x9F, 0x98, 0x80, 0}, 0, 3},
        {KindUtf8, {0xF8, 0x80, 0x80, 0x80, 0x80, 0}, 0, 4},
        {KindUtf8, {0xFC, 0x80, 0x80, 0x80, 0x80, 0x80, 0}, 0, 5},
        {KindUtf8, {0x80, 0x80, 0, 0, 0, 0, 0}, 0, 0}, {KindUtf8, {0xFE, 0x80, 0, 0, 0, 0, 0}, 0, 0},
        {KindUtf16BE, {0xD8, 0x3D, 0xDE, 0, 0}, 0, 3}, {KindUtf16BE, {0x00, 0x41, 0, 0}, 0, 1},
        {KindUtf16BE, {0xD8, 0x3D, 0xDE, 0}, 1, 0},    {KindUtf16LE, {0x3D, 0xD8, 0, 0xDE}, 0, 3},
        {KindUtf16LE, {0x41, 0x00, 0, 0}, 0, 1},       {KindAnsi, {0x41, 0x40}, 0, 0},
        {KindEucJp, {0xA4, 0xA2}, 0, 0},               {KindUtf7, {0x2B, 0x41}, 0, 0},
        // A trail unit outside its range ends the character before it.
        {KindSjis, {0x82, 0x0A}, 0, 0},                {KindSjis, {0x82, 0x7F}, 0, 0},
        {KindSjis, {0x82, 0xFD}, 0, 0},                {KindUtf8, {0xE3, 0x0A, 0x80}, 0, 0},
        {KindUtf8, {0xE3, 0x81, 0x3D}, 0, 1},          {KindUtf8, {0xF0, 0x9F, 0xC0, 0x80}, 0, 1},
        {KindUtf16BE, {0xD8, 0x3D, 0x00, 0x2C}, 0, 1}, {KindUtf16LE, {0x3D, 0xD8, 0x3D, 0xD8}, 0, 1},
        // A sequence cut off by the end is clamped to the units that exist.
        {KindUtf8, {0x61, 0xF0, 0x9F}, 1, 1},          {KindUtf8, {0xE3}, 0, 0},
        {KindSjis, {0x82}, 0, 0},                      {KindUtf16LE, {0x3D, 0xD8, 0x00}, 0, 2},
        {KindUtf8, {0xE3, 0x81}, 5, 0},                {KindUtf8, {0xE3, 0x81}, -1, 0},
    };
    for (const Case& c : cases) {
        RawString s = RawString::FromBytes(c.bytes.data(), static_cast<int32_t>(c.bytes.size()),
                                           c.kind);
        EXPECT_EQ(c.trail, s.TrailUnits(c.pos))
            << "kind " << int(c.kind) << " byte " << std::hex << int(c.bytes[0]);
        EXPECT_LE(s.NextCharPos(c.pos), s.Length());
    }
    RawString w = W(L"\xD83D\xDE00x\xD83D");
    EXPECT_EQ(1, w.TrailUnits(0));
    EXPECT_EQ(0, w.TrailUnits(1));
    EXPECT_EQ(0, w.TrailUnits(3));  // a lone lead at the end
    EXPECT_EQ(4, w.NextCharPos(3));
    EXPECT_EQ(0, W(L"\xD83D,").TrailUnits(0));  // a lone lead before another unit
}

TEST(RawStringRange, LoneLeadUnitsNeverHideADelimiter) {
    // A lone lead byte before a line end: two entries, not one holding the LF.
    RawParameterList entries;
    entries.ParseLine(B("a=b\xE3\nc=d", KindUtf8));
    ASSERT_EQ(entries.Count(), 2);
    EXPECT_TRUE(entries.At(1)->key.EqualsAscii("c"));
    RawParameterList sjisEntries;
    sjisEntries.ParseLine(B("a=\x82\r\nc=d", KindSjis));
    EXPECT_EQ(sjisEntries.Count(), 2);
    // Escaping leaves no raw line end behind a lone lead.
    for (uint8_t kind : {KindUtf8, KindSjis}) {
        RawString escaped = EscapeText(B("x\xE3\r\ny\xE3\t", kind));
        EXPECT_EQ(escaped.FindEitherChar(escaped.All(), '\r', '\n'), escaped.Length()) << int(kind);
        EXPECT_EQ(escaped.FindChar(escaped.All(), '\t'), escaped.Length()) << int(kind);
    }
    // A lone high surrogate before a comma: the comma still splits.
    RawStringList items;
    W(L"a\xD800,b").SplitToList(items, RawRange{0, 4});
    ASSERT_EQ(items.Count(), 2);
    EXPECT_TRUE(items.At(1)->EqualsAscii("b"));
}

TEST(RawStringRange, CharClassTable) {
    struct Case { uint32_t unit; int cls; };
    const Case cases[] = {
        {'A', 1}, {'z', 1}, {'0', 1}, {'9', 1}, {'_', 1},  {'\t', 2}, {' ', 2},
        {'\n', 3}, {'\r', 3}, {0, 4},  {0x1F, 4}, {0x7F, 4}, {0x80, 4}, {0xA0, 4},
        {0xA1, 5}, {0xE9, 5}, {0xFF, 5}, {'!', 0}, {'~', 0}, {'@', 0}, {0x100, 6},
        {0x3042, 6}, {0xFFFF, 6},
    };
    for (const Case& c : cases) EXPECT_EQ(c.cls, CharClass(c.unit)) << std::hex << c.unit;
}

TEST(RawStringSearch, FindStepsWholeCharacters) {
    // Shift_JIS: 0x83 0x5C is one character whose trail byte equals '\'.
    RawString sjis = B("\x83\x5C" "a\\a", KindSjis);
    EXPECT_EQ(3, sjis.FindChar(sjis.All(), '\\'));
    EXPECT_EQ(3, sjis.FindEitherChar(sjis.All(), '/', '\\'));
    EXPECT_EQ(3, sjis.FindRange(sjis.All(), T("\\a"), RawRange{0, 2}));
    EXPECT_EQ(3, sjis.FindLastChar(sjis.All(), '\\'));
    EXPECT_EQ(5, sjis.FindLastChar(sjis.All(), '/'));
    RawRange name = PathNameRange(B("dir\\\x83\x5C.txt", KindSjis));
    EXPECT_EQ(4, name.start);
    EXPECT_EQ(10, name.end);
    // UTF-8: a trail byte is never a match on its own.
    RawString u8 = B("\xC3\xA9" "\xA9", KindUtf8);
    EXPECT_EQ(2, u8.FindChar(u8.All(), 0xA9));
    RawString u8b = B("\xC3\xA9", KindUtf8);
    EXPECT_EQ(2, u8b.FindChar(u8b.All(), 0xA9));
    // UTF-16: the low half of a pair is skipped.
    RawString w = W(L"\xD83D\xDE00x\xDE00");
    EXPECT_EQ(3, w.FindChar(w.All(), 0xDE00));
    EXPECT_EQ(2, w.Find(T("x")));
    EXPECT_EQ(w.Length(), w.Find(T("y")));
    EXPECT_EQ(1, T("aXbxB").FindNoCase(RawRange{0, 5}, T("xB"), RawRange{0, 2}));
    EXPECT_EQ(6, T("a\"b,c\",d").FindCharOutsideQuotes(RawRange{0, 9}, ','));
    EXPECT_EQ(3, T("  \tx ").SkipSet(RawRange{0, 5}, T(" \t")));
    RawRange trimmed = T("  a b \t").TrimRange(RawRange{0, 7}, T(" \t"));
    EXPECT_EQ(2, trimmed.start);
    EXPECT_EQ(5, trimmed.end);
    RawRange allBlank = T("   ").TrimRange(RawRange{0, 3}, T(" "));
    EXPECT_EQ(allBlank.start, allBlank.end);
    EXPECT_TRUE(T("a;b").IsOneOfAt(1, T(",;")));
    EXPECT_FALSE(T("a;b").IsOneOfAt(3, T(",;")));
}

TEST(RawStringSearch, PathNameRangeTable) {
    struct Case { const char* path; int32_t start; int32_t end; };
    const Case cases[] = {
        {"C:\\dir\\file.txt", 7, 15}, {"file", 0, 4}, {"a/b", 2, 3}, {"dir\\", 4, 4}, {"", 0, 0},
    };
    for (const Case& c : cases) {
        RawRange r = PathNameRange(T(c.path));
        EXPECT_EQ(c.start, r.start) << c.path;
        EXPECT_EQ(c.end, r.end) << c.path;
    }
}

TEST(RawStringSearch, CompareAndNoCase) {
    EXPECT_TRUE(RawString::EqualsNoCase(T("Hello"), T("hELLO")));
    EXPECT_TRUE(RawString::EqualsNoCase(T("abc"), W(L"ABC")));
    EXPECT_FALSE(RawString::EqualsNoCase(T("Hello"), T("Hell")));
    EXPECT_FALSE(RawString::EqualsNoCase(W(L"\u00e9"), W(L"\u00c9")));  // ASCII letters only
    EXPECT_FALSE(RawString::EqualsNoCase(T("["), T("{")));
    EXPECT_TRUE(T("abc").Equals(W(L"abc")));
    EXPECT_FALSE(T("abc").Equals(T("abd")));
    EXPECT_TRUE(T("abc").EqualsAscii("abc"));
    EXPECT_FALSE(T("abc").EqualsAscii("ab"));
    EXPECT_FALSE(T("ab").EqualsAscii("abc"));
    EXPECT_LT(T("abc").CompareTo(T("abd")), 0);
    EXPECT_GT(T("abc").CompareTo(T("ab")), 0);
    EXPECT_EQ(0, T("ABC").CompareNoCase(T("abc")));
    EXPECT_TRUE(T("xxABy").MatchesAt(2, T("ab"), RawRange{0, 2}, true));
    EXPECT_FALSE(T("xxABy").MatchesAt(2, T("ab"), RawRange{0, 2}, false));
    EXPECT_FALSE(T("xxA").EqualsAt(2, T("AB"), RawRange{0, 2}));
}

TEST(RawStringSearch, ReplaceFirst) {
    RawString s = T("a-b-c");
    RawString shared(s);
    EXPECT_TRUE(s.ReplaceFirst(T("-"), T("+=")));
    EXPECT_EQ("a+=b-c", Str(s));
    EXPECT_EQ("a-b-c", Str(shared));
    EXPECT_FALSE(s.ReplaceFirst(T("?"), T("!")));
    EXPECT_EQ("a+=b-c", Str(s));
    EXPECT_FALSE(s.ReplaceFirst(T(""), T("!")));
    EXPECT_TRUE(s.ReplaceFirst(T("b-c"), s));
    EXPECT_EQ("a+=a+=b-c", Str(s));
    EXPECT_TRUE(s.ReplaceFirst(T("a+="), RawString()));
    EXPECT_EQ("a+=b-c", Str(s));
}

// ---- numbers ---------------------------------------------------------------------

TEST(RawStringNumber, ParseTable) {
    struct Case { const char* text; bool ok; uint64_t value; uint32_t sign; int radix;
                  int32_t position; };
    const Case cases[] = {
        {"0x1F", true, 31, 0, 16, 4},
        {"0", true, 0, 0, 10, 1},
        {"", true, 0, 0, 10, 0},
        {"+", false, 0, '+', 10, 1},
        {"-", false, 0, '-', 10, 1},
        {"12a", false, 12, 0, 10, 2},
        {"0b102", false, 2, 0, 2, 4},
        {"0o17", true, 15, 0, 8, 4},
        {"-12", true, 12, '-', 10, 3},
        {"+7", true, 7, '+', 10, 2},
        {"x", false, 0, 0, 10, 0},
        {"0X1", false, 0, 0, 10, 1},  // upper-case radix letters are not taken
        {"18446744073709551615", true, UINT64_MAX, 0, 10, 20},
        {"18446744073709551616", false, 1844674407370955161ULL, 0, 10, 19},
        {"0x10000000000000000", false, 0x1000000000000000ULL, 0, 16, 18},
    };
    for (const Case& c : cases) {
        RawNumberScan scan{};
        RawString text = T(c.text);
        EXPECT_EQ(c.ok, ParseNumber(text, text.All(), scan)) << c.text;
        EXPECT_EQ(c.value, scan.value) << c.text;
        EXPECT_EQ(c.sign, scan.sign) << c.text;
        EXPECT_EQ(c.radix, scan.radix) << c.text;
        EXPECT_EQ(c.position, scan.position) << c.text;
    }
    RawNumberScan scan{};
    RawString big = T("99999999999999999999");
    EXPECT_FALSE(ParseNumber(big, big.All(), scan));
    EXPECT_TRUE(scan.overflow);
    RawString sub = T("ab12cd");
    EXPECT_TRUE(ParseNumber(sub, RawRange{2, 4}, scan));
    EXPECT_EQ(12u, scan.value);
}

TEST(RawStringNumber, ToIntAndFormatting) {
    EXPECT_EQ(-12, T("-12").ToInt());
    EXPECT_EQ(31, T("0x1F").ToInt());
    EXPECT_EQ(12, T("12a").ToInt());
    EXPECT_EQ(INT_MIN, T("-2147483648").ToInt());
    EXPECT_EQ(INT_MAX, T("2147483647").ToInt());
    EXPECT_EQ(0, T("").ToInt());
    EXPECT_EQ(-5, W(L"-5").ToInt());

    struct IntCase { int32_t value; const char* text; };
    for (IntCase c : {IntCase{0, "0"}, IntCase{-12, "-12"}, IntCase{INT_MIN, "-2147483648"},
                      IntCase{INT_MAX, "2147483647"}, IntCase{7, "7"}}) {
        RawString s = T("v");
        s.AppendInt(c.value);
        EXPECT_EQ(std::string("v") + c.text, Str(s));
        EXPECT_EQ(c.text, Str(RawString::FromInt(c.value)));
    }
    struct UCase { uint64_t value; int radix; bool ok; const char* text; };
    const UCase ucases[] = {
        {255, 16, true, "FF"}, {0, 10, true, "0"}, {5, 2, true, "101"},
        {35, 36, true, "Z"}, {UINT64_MAX, 16, true, "FFFFFFFFFFFFFFFF"},
        {10, 1, false, ""}, {10, 37, false, ""}, {10, 0, false, ""}, {10, -3, false, ""},
    };
    for (const UCase& c : ucases) {
        RawString s;
        EXPECT_EQ(c.ok, s.AppendUnsigned(c.value, c.radix)) << c.radix;
        EXPECT_EQ(c.text, Str(s));
    }
    struct PCase { uint64_t value; int radix; int width; bool ok; const char* text; };
    const PCase pcases[] = {
        {2026, 10, 2, true, "26"}, {5, 10, 3, true, "005"}, {255, 16, 4, true, "00FF"},
        {1, 10, 0, true, ""}, {1, 37, 2, false, ""}, {1, 1, 2, false, ""}, {1, 10, -1, false, ""},
    };
    for (const PCase& c : pcases) {
        RawString s;
        EXPECT_EQ(c.ok, s.AppendPadded(c.value, c.radix, c.width));
        EXPECT_EQ(c.text, Str(s));
    }
}

// ---- threads -------------------------------------------------------------------

TEST(RawStringThreads, TwoThreadsCopyAndWriteOneSharedString) {
    const RawString shared = T("shared text");
    std::atomic<int> failures{0};
    auto work = [&](uint32_t mark) {
        for (int i = 0; i < 100000; ++i) {
            RawString copy(shared);
            copy.AppendChar(mark);
            if (copy.Length() != 12 || copy.UnitAt(11) != mark ||
                !copy.EqualsRange(RawRange{0, 11}, shared, shared.All()) ||
                !shared.EqualsAscii("shared text")) {
                failures.fetch_add(1);
            }
        }
    };
    std::thread a(work, 'A');
    std::thread b(work, 'B');
    a.join();
    b.join();
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(0u, shared.ShareCount());
    EXPECT_TRUE(shared.EqualsAscii("shared text"));
}

}  // namespace

TEST(RawStringTest, PathSeparatorsAreFoundByWholeCharacters) {
    // 表 in Shift_JIS ends in 0x5C, a backslash.
    RawString path = RawString::FromBytes("C:\x95\x5C" "a/b", 7, KindSjis);
    EXPECT_EQ(FindPathSeparator(path, 0), 5);
    EXPECT_EQ(FindPathSeparator(path, 3), 5);
    EXPECT_EQ(FindPathSeparator(path, 6), 7);
    EXPECT_EQ(FindPathSeparator(RawString::FromText("x\\y"), -4), 1);
    RawString room = RawString::ReserveAs(KindUtf16, 50);
    EXPECT_EQ(room.Kind(), KindUtf16);
    EXPECT_TRUE(room.IsEmpty());
    EXPECT_GE(room.Capacity(), 50);
}
