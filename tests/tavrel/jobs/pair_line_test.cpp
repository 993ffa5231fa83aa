// Pair lines and the status and edit tag words.
#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "tavrel/jobs/pair_line.h"

using namespace JobLayer;
using RawLayer::RawString;
using RawLayer::RawStringList;
using TestSupport::S;
using TestSupport::Utf8;

namespace {

RawString T(const char* text) { return RawString::FromText(text); }

JobEditFlags Edit(int bits) {
    JobEditFlags e;
    e.simple = (bits & 1) ? 1 : 0;
    e.edit1 = (bits & 2) ? 1 : 0;
    e.edit2 = (bits & 4) ? 1 : 0;
    return e;
}

// A record pre-filled with values that a parse must not keep by accident.
TabPairRecord Dirty() {
    TabPairRecord r;
    r.path1 = T("old1");
    r.path2 = T("old2");
    r.statusMask = 0x30 | 5;
    r.edit = Edit(5);
    return r;
}

}  // namespace

TEST(PairLineTest, FormatMatchesTheDocumentedForm) {
    RawString line = FormatTabPairLine(T("C:\\a"), T("D:\\b"), StatusSame | StatusOnly1, Edit(2));
    EXPECT_EQ(S(line), "@Group@C:\\a,D:\\b,<Opt>,Same,Only1,Edit1");
    EXPECT_EQ(S(FormatTabPairLine(T("x"), T(""), 0, Edit(0))), "@Group@x,,<Opt>");
    EXPECT_EQ(S(FormatTabPairLine(T("x"), T("y"), 15, Edit(7))),
              "@Group@x,y,<Opt>,Same,Different,Only1,Only2,Simple,Edit1,Edit2");
}

TEST(PairLineTest, RoundTripsEveryStatusAndEditCombination) {
    // Paths in both kinds the program uses: UTF-8 and UTF-16 (non-ASCII).
    RawString path1 = RawString::FromWideText(L"C:\\Daten\\\u00C4rger \u65E5\u672C");
    RawString path2 = T("\\\\server\\share\\file.txt");
    int checked = 0;
    for (int mask = 0; mask < 16; ++mask) {
        for (int bits = 0; bits < 8; ++bits) {
            RawString line = FormatTabPairLine(path1, path2, static_cast<uint16_t>(mask), Edit(bits));
            TabPairRecord r = Dirty();
            ASSERT_EQ(ParseTabPairLine(r, line), 1) << S(line);
            EXPECT_EQ(r.hasOptions, 1);
            EXPECT_TRUE(r.path1.As(RawLayer::KindUtf16).Equals(path1)) << S(line);
            EXPECT_TRUE(r.path2.Equals(path2)) << S(line);
            // Bits outside the four status bits are the caller's and stay.
            EXPECT_EQ(r.statusMask, static_cast<uint16_t>(0x30 | mask)) << S(line);
            EXPECT_TRUE(r.edit == Edit(bits)) << S(line);
            ++checked;
        }
    }
    EXPECT_EQ(checked, 128);
}

TEST(PairLineTest, InvalidAndBareLines) {
    TabPairRecord r = Dirty();
    EXPECT_EQ(ParseTabPairLine(r, T(" @Group@a,b")), 0);  // leading blank
    EXPECT_EQ(r.valid, 0);
    EXPECT_EQ(S(r.path1), "old1");
    EXPECT_EQ(r.statusMask, 0x35);
    EXPECT_EQ(ParseTabPairLine(r, T("@group@a,b")), 0);  // the marker is exact

    TabPairRecord bare = Dirty();
    EXPECT_EQ(ParseTabPairLine(bare, T("@Group@")), 1);
    EXPECT_EQ(bare.hasOptions, 0);
    EXPECT_EQ(S(bare.path1), "old1");
    EXPECT_EQ(bare.statusMask, 0x35);

    TabPairRecord noWords = Dirty();
    EXPECT_EQ(ParseTabPairLine(noWords, T("@Group@a,b,<Opt>")), 1);
    EXPECT_EQ(noWords.hasOptions, 1);
    EXPECT_EQ(noWords.statusMask, 0x30);
    EXPECT_TRUE(noWords.edit == Edit(0));

    TabPairRecord noOptions = Dirty();
    EXPECT_EQ(ParseTabPairLine(noOptions, T("@Group@a,b")), 1);
    EXPECT_EQ(S(noOptions.path1), "a");
    EXPECT_EQ(S(noOptions.path2), "b");
    EXPECT_EQ(noOptions.statusMask, 0x35);
    EXPECT_TRUE(noOptions.edit == Edit(5));
}

TEST(PairLineTest, PathsNamedLikeWordsSetNothing) {
    // Files named "Same" and "Edit1" are paths, not options.
    TabPairRecord r = Dirty();
    EXPECT_EQ(ParseTabPairLine(r, T("@Group@Same,Edit1")), 1);
    EXPECT_EQ(r.hasOptions, 0);
    EXPECT_EQ(S(r.path1), "Same");
    EXPECT_EQ(S(r.path2), "Edit1");
    EXPECT_EQ(r.statusMask, 0x35);
    EXPECT_TRUE(r.edit == Edit(5));

    TabPairRecord w = Dirty();
    EXPECT_EQ(ParseTabPairLine(w, T("@Group@Same,Edit1,<Opt>,Only2")), 1);
    EXPECT_EQ(w.statusMask, 0x30 | StatusOnly2);
    EXPECT_TRUE(w.edit == Edit(0));

    // Words before the marker (a third item) are not options either.
    TabPairRecord before = Dirty();
    EXPECT_EQ(ParseTabPairLine(before, T("@Group@a,b,Same,<Opt>,Edit2")), 1);
    EXPECT_EQ(before.statusMask, 0x30);
    EXPECT_TRUE(before.edit == Edit(4));
}

TEST(PairLineTest, WordsAndMarkerIgnoreCase) {
    TabPairRecord r = Dirty();
    EXPECT_EQ(ParseTabPairLine(r, T("@Group@a,b,<opt>,sAmE,DIFFERENT,edit2")), 1);
    EXPECT_EQ(r.statusMask, 0x30 | StatusSame | StatusDifferent);
    EXPECT_TRUE(r.edit == Edit(4));
}

TEST(PairLineTest, StatusWordsAndLists) {
    EXPECT_EQ(S(StatusWords(0)), "");
    EXPECT_EQ(S(StatusWords(StatusSame | StatusOnly1)), ",Same,Only1");
    EXPECT_EQ(S(StatusWords(0xFF)), ",Same,Different,Only1,Only2");

    RawStringList words = RawStringList::FromCommaText(T("Edit1,same"), false);
    uint16_t mask = 0xF0 | StatusOnly2;
    StatusMaskFromList(mask, words);
    EXPECT_EQ(mask, 0xF0 | StatusSame);
    JobEditFlags e = Edit(7);
    EditFlagsFromList(e, words);
    EXPECT_TRUE(e == Edit(2));
}

TEST(PairLineTest, TakeOverList) {
    RawStringList all = TakeOverListFrom(T("*"));
    EXPECT_EQ(all.Count(), 6);
    uint16_t dest = 0;
    CopyListedStatusFlags(dest, StatusAll, all);
    EXPECT_EQ(dest, StatusAll);
    JobEditFlags e;
    CopyListedEditFlags(e, Edit(7), all);
    EXPECT_TRUE(e == Edit(6));  // the default list names Edit1 and Edit2, not Simple

    RawStringList same = TakeOverListFrom(T("Same"));
    dest = StatusOnly2;
    CopyListedStatusFlags(dest, StatusSame | StatusDifferent, same);
    EXPECT_EQ(dest, StatusOnly2 | StatusSame);
    dest = StatusSame | StatusOnly1;
    CopyListedStatusFlags(dest, 0, same);
    EXPECT_EQ(dest, StatusOnly1);
    JobEditFlags kept = Edit(1);
    CopyListedEditFlags(kept, Edit(6), same);
    EXPECT_TRUE(kept == Edit(1));

    // The process list follows the option "TakeOverPathOption" ("*").
    EXPECT_EQ(TakeOverList().Count(), 6);
}
