// Character comparison of two lines: the worked examples, the token-wise
// path variant, segment painting, and invariant fuzzing over Shift_JIS,
// UTF-8 and UTF-16 texts (no segment may end inside a character).
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/inline_diff.h"
#include "tavrel/jobs/job_report.h"

using namespace JobLayer;
using RawLayer::RawRange;
using RawLayer::RawString;

namespace {

struct Seg {
    uint32_t kind;
    int32_t l1;
    int32_t l2;
    bool operator==(const Seg& o) const { return kind == o.kind && l1 == o.l1 && l2 == o.l2; }
};

std::ostream& operator<<(std::ostream& os, const Seg& s) {
    return os << "(" << s.kind << "," << s.l1 << "," << s.l2 << ")";
}

std::vector<Seg> Segs(const JobDetailList& list) {
    std::vector<Seg> out;
    for (const JobDetailUnit& u : list) out.push_back(Seg{u.kind, u.length1, u.length2});
    return out;
}

std::vector<Seg> Diff(const RawString& a, const RawString& b, int32_t minChars = 2) {
    JobDetailList list;
    InlineDiff(list, a, b, minChars);
    return Segs(list);
}

RawString T(const std::string& s) { return RawString::FromText(s.c_str()); }
RawString Sjis(const std::string& bytes) {
    return RawString::FromBytes(bytes.data(), static_cast<int32_t>(bytes.size()), RawLayer::KindSjis);
}
RawString W(const std::wstring& s) {
    return RawString::FromWideText(s.c_str(), static_cast<int32_t>(s.size()));
}

// Reference: the comparison written out literally for single-unit text,
// where no character boundary question arises.
void RefSplit(const std::string& a, int a0, int a1, const std::string& b, int b0, int b1, int minChars,
              std::vector<Seg>& out) {
    if (a0 >= a1) {
        if (b0 < b1) out.push_back(Seg{2, 0, b1 - b0});
        return;
    }
    if (b0 >= b1) {
        out.push_back(Seg{1, a1 - a0, 0});
        return;
    }
    int best = 0, bi = 0, bj = 0;
    for (int i = a0; i < a1 - best; ++i)
        for (int j = b0; j < b1 - best; ++j) {
            int k = 0;
            while (i + k < a1 && j + k < b1 && a[i + k] == b[j + k]) ++k;
            if (k > best) {
                best = k;
                bi = i;
                bj = j;
            }
        }
    if (best >= minChars) {
        RefSplit(a, a0, bi, b, b0, bj, minChars, out);
        out.push_back(Seg{0, best, best});
        RefSplit(a, bi + best, a1, b, bj + best, b1, minChars, out);
    } else {
        out.push_back(Seg{3, a1 - a0, b1 - b0});
    }
}

std::vector<Seg> RefDiff(const std::string& a, const std::string& b, int minChars) {
    std::vector<Seg> out;
    int la = static_cast<int>(a.size()), lb = static_cast<int>(b.size());
    int p = 0;
    while (p < la && p < lb && a[p] == b[p]) ++p;
    out.push_back(Seg{0, p, p});
    if (p == la && p == lb) return out;
    int s = 0;
    if (p < la) {
        int k = 0;
        while (p + k < lb && p + k < la && a[la - 1 - k] == b[lb - 1 - k]) ++k;
        s = k;
    }
    RefSplit(a, p, la - s, b, p, lb - s, minChars, out);
    out.push_back(Seg{0, s, s});
    return out;
}

// Character starts of a text, plus its length.
std::vector<bool> Boundaries(const RawString& t) {
    std::vector<bool> at(static_cast<size_t>(t.Length()) + 1, false);
    for (int32_t p = 0; p < t.Length(); p = t.NextCharPos(p)) at[p] = true;
    at[t.Length()] = true;
    return at;
}

// Checks every invariant of a segment list of two texts.
void CheckInvariants(const RawString& a, const RawString& b, const std::vector<Seg>& segs) {
    ASSERT_FALSE(segs.empty());
    EXPECT_EQ(segs.front().kind, 0u);
    std::vector<bool> ba = Boundaries(a), bb = Boundaries(b);
    int32_t pa = 0, pb = 0;
    for (const Seg& s : segs) {
        ASSERT_GE(s.l1, 0);
        ASSERT_GE(s.l2, 0);
        if (s.kind == 0) {
            ASSERT_EQ(s.l1, s.l2);
            EXPECT_TRUE(a.EqualsRange(RawRange{pa, pa + s.l1}, b, RawRange{pb, pb + s.l2}));
        }
        if (s.kind == 1) {
            EXPECT_EQ(s.l2, 0);
        }
        if (s.kind == 2) {
            EXPECT_EQ(s.l1, 0);
        }
        pa += s.l1;
        pb += s.l2;
        ASSERT_LE(pa, a.Length());
        ASSERT_LE(pb, b.Length());
        EXPECT_TRUE(ba[pa]) << "segment ends inside a character of text 1 at " << pa;
        EXPECT_TRUE(bb[pb]) << "segment ends inside a character of text 2 at " << pb;
    }
    EXPECT_EQ(pa, a.Length());
    EXPECT_EQ(pb, b.Length());
}

}  // namespace

TEST(InlineDiff, WorkedExamples) {
    struct Case {
        const char* a;
        const char* b;
        int minChars;
        std::vector<Seg> expected;
    };
    const Case cases[] = {
        {"abc", "abc", 2, {{0, 3, 3}}},
        {"abc", "abd", 2, {{0, 2, 2}, {3, 1, 1}, {0, 0, 0}}},
        {"", "xy", 2, {{0, 0, 0}, {2, 0, 2}, {0, 0, 0}}},
        {"xy", "", 2, {{0, 0, 0}, {1, 2, 0}, {0, 0, 0}}},
        {"", "", 2, {{0, 0, 0}}},
        {"abcdef", "abXYef", 2, {{0, 2, 2}, {3, 2, 2}, {0, 2, 2}}},
        {"abXcd", "abcd", 2, {{0, 2, 2}, {1, 1, 0}, {0, 2, 2}}},
        {"abcd", "abXcd", 2, {{0, 2, 2}, {2, 0, 1}, {0, 2, 2}}},
        // One common character in the middle: one changed segment, or a
        // split around it when single characters count.
        {"pAxBq", "pCxDq", 2, {{0, 1, 1}, {3, 3, 3}, {0, 1, 1}}},
        {"pAxBq", "pCxDq", 1, {{0, 1, 1}, {3, 1, 1}, {0, 1, 1}, {3, 1, 1}, {0, 1, 1}}},
        // The longest run wins, and the parts around it split further.
        {"1abc2abcd3", "4abcd5", 2, {{0, 0, 0}, {3, 5, 1}, {0, 4, 4}, {3, 1, 1}, {0, 0, 0}}},
        // Of two runs of equal length the one earlier in text 1 wins.
        {"XabYcdZ", "QcdRabS", 2, {{0, 0, 0}, {3, 1, 4}, {0, 2, 2}, {3, 4, 1}, {0, 0, 0}}},
        // The suffix never reaches into the prefix.
        {"ab", "abab", 2, {{0, 2, 2}, {2, 0, 2}, {0, 0, 0}}},
        {"xab", "ab", 2, {{0, 0, 0}, {1, 1, 0}, {0, 2, 2}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Diff(T(c.a), T(c.b), c.minChars), c.expected) << c.a << " / " << c.b;
    }
}

TEST(InlineDiff, DefaultMinimumComesFromTheOptions) {
    EXPECT_EQ(InlineDiffMinMatchingChars(), std::max(1, ConfigStore::Instance().minMatchingChars));
    JobDetailList list;
    InlineDiff(list, T("abc"), T("abd"));
    EXPECT_EQ(Segs(list), (std::vector<Seg>{{0, 2, 2}, {3, 1, 1}, {0, 0, 0}}));
}

TEST(InlineDiff, AppendsToWhatTheListHolds) {
    JobDetailList list;
    list.Add(3, 1, 1);
    InlineDiff(list, T("ab"), T("ab"), 2);
    EXPECT_EQ(Segs(list), (std::vector<Seg>{{3, 1, 1}, {0, 2, 2}}));
    JobDetailList copy;
    copy.AppendAll(list);
    copy.AppendAll(copy);
    EXPECT_EQ(copy.Count(), 4);
}

TEST(InlineDiff, ShiftJisNeverSplitsACharacter) {
    // Two double-byte characters with the same lead byte: no prefix.
    EXPECT_EQ(Diff(Sjis("\x82\xA0"), Sjis("\x82\xA2")),
              (std::vector<Seg>{{0, 0, 0}, {3, 2, 2}, {0, 0, 0}}));
    // The trail byte 0x41 of text 2 reads like the 'A' ending text 1; a
    // unit-wise suffix would cut text 2's character in half.
    EXPECT_EQ(Diff(Sjis("xA"), Sjis("\x82" "A")), (std::vector<Seg>{{0, 0, 0}, {3, 2, 2}, {0, 0, 0}}));
    // A run that starts on a trail byte of text 1 is not a common run.
    EXPECT_EQ(Diff(Sjis("\x81" "ABZ"), Sjis("WABY")),
              (std::vector<Seg>{{0, 0, 0}, {3, 4, 4}, {0, 0, 0}}));
    // Whole characters still match.
    EXPECT_EQ(Diff(Sjis("\x82\xA0\x82\xA2x"), Sjis("\x82\xA0\x82\xA2y")),
              (std::vector<Seg>{{0, 4, 4}, {3, 1, 1}, {0, 0, 0}}));
}

TEST(InlineDiff, SurrogatePairsStayWhole) {
    EXPECT_EQ(Diff(W(L"\xD83D\xDE00"), W(L"\xD83D\xDE01")),
              (std::vector<Seg>{{0, 0, 0}, {3, 2, 2}, {0, 0, 0}}));
    EXPECT_EQ(Diff(W(L"a\xD83D\xDE00"), W(L"a\xD83C\xDE00")),
              (std::vector<Seg>{{0, 1, 1}, {3, 2, 2}, {0, 0, 0}}));
    EXPECT_EQ(Diff(W(L"x\xD83D\xDE00\xD83D\xDE01y"), W(L"z\xD83D\xDE00\xD83D\xDE01w")),
              (std::vector<Seg>{{0, 0, 0}, {3, 1, 1}, {0, 4, 4}, {3, 1, 1}, {0, 0, 0}}));
}

TEST(InlineDiff, MatchesTheLiteralAlgorithmOnSingleUnitText) {
    std::mt19937 rng(12345);
    for (int run = 0; run < 3000; ++run) {
        std::string alphabet = run % 2 ? "ab" : "abcde";
        auto make = [&](int n) {
            std::string s;
            for (int i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
            return s;
        };
        std::string a = make(rng() % 14), b = make(rng() % 14);
        int minChars = 1 + static_cast<int>(rng() % 3);
        ASSERT_EQ(Diff(T(a), T(b), minChars), RefDiff(a, b, minChars)) << a << " / " << b;
    }
}

TEST(InlineDiff, InvariantsHoldInEveryEncoding) {
    std::mt19937 rng(777);
    // Characters of each kind, several of them multi-unit.
    const std::vector<std::string> sjisChars = {"a", "b", "A", "@", "\x82\xA0", "\x82\xA2", "\x82" "A",
                                                "\x81" "@", "\x83\x41", "\xE0\x40"};
    const std::vector<std::string> utf8Chars = {"a", "b", "\xC3\xA9", "\xE3\x81\x82", "\xE3\x81\x84",
                                                "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81"};
    const std::vector<std::wstring> wideChars = {L"a", L"b", L"\x3042", L"\xD83D\xDE00",
                                                 L"\xD83D\xDE01", L"\xD83C\xDE00", L"\xDE00"};
    for (int run = 0; run < 3000; ++run) {
        int minChars = 1 + static_cast<int>(rng() % 2);
        int kind = run % 4;
        RawString a, b;
        if (kind == 0 || kind == 3) {
            std::string x, y;
            for (int n = rng() % 12; n > 0; --n) x += sjisChars[rng() % sjisChars.size()];
            for (int n = rng() % 12; n > 0; --n) y += sjisChars[rng() % sjisChars.size()];
            a = Sjis(x);
            b = kind == 0 ? Sjis(y) : RawString::FromBytes(y.data(), int32_t(y.size()), RawLayer::KindUtf8);
        } else if (kind == 1) {
            std::string x, y;
            for (int n = rng() % 12; n > 0; --n) x += utf8Chars[rng() % utf8Chars.size()];
            for (int n = rng() % 12; n > 0; --n) y += utf8Chars[rng() % utf8Chars.size()];
            a = T(x);
            b = T(y);
        } else {
            std::wstring x, y;
            for (int n = rng() % 12; n > 0; --n) x += wideChars[rng() % wideChars.size()];
            for (int n = rng() % 12; n > 0; --n) y += wideChars[rng() % wideChars.size()];
            a = W(x);
            b = W(y);
        }
        std::vector<Seg> segs = Diff(a, b, minChars);
        CheckInvariants(a, b, segs);
        if (HasFatalFailure() || HasFailure()) {
            ADD_FAILURE() << "run " << run;
            return;
        }
    }
}

TEST(InlineDiff, LongDissimilarLinesFinish) {
    // Long lines with many short common runs split thousands of times; the
    // pending parts live on the heap, not on the call stack.
    std::mt19937 rng(99);
    std::string a, b;
    for (int i = 0; i < 6000; ++i) a += "ab"[rng() % 2];
    for (int i = 0; i < 6000; ++i) b += "ab"[rng() % 2];
    std::vector<Seg> segs = Diff(T(a), T(b), 2);
    CheckInvariants(T(a), T(b), segs);
    EXPECT_GT(segs.size(), 10u);
    // Nothing alike at all: one changed segment between empty ends.
    std::string c(20000, 'x'), d(20000, 'y');
    EXPECT_EQ(Diff(T(c), T(d), 2), (std::vector<Seg>{{0, 0, 0}, {3, 20000, 20000}, {0, 0, 0}}));
}

TEST(InlineDiffPath, TokensStepTogether) {
    JobDetailList list;
    RawString a = T("C:\\a b"), b = T("C:\\a  b");
    InlineDiffPath(list, a, a.All(), b, b.All());
    EXPECT_EQ(Segs(list), (std::vector<Seg>{{0, 4, 4}, {3, 1, 2}, {0, 1, 1}}));

    JobDetailList rest;
    RawString c = T("abc def"), d = T("abc");
    InlineDiffPath(rest, c, c.All(), d, d.All());
    EXPECT_EQ(Segs(rest), (std::vector<Seg>{{0, 3, 3}, {1, 4, 0}}));

    JobDetailList other;
    InlineDiffPath(other, d, d.All(), c, c.All());
    EXPECT_EQ(Segs(other), (std::vector<Seg>{{0, 3, 3}, {2, 0, 4}}));

    // Ranges are honoured and clamped; a segment of the list's last kind
    // extends it.
    JobDetailList merged;
    merged.Add(0, 2, 2);
    RawString e = T("xxname.txt"), f = T("name.txt");
    InlineDiffPath(merged, e, RawRange{2, 99}, f, RawRange{0, 8});
    EXPECT_EQ(Segs(merged), (std::vector<Seg>{{0, 10, 10}}));

    JobDetailList changed;
    RawString g = T("ab.c"), h = T("abc.c");
    InlineDiffPath(changed, g, g.All(), h, h.All());
    EXPECT_EQ(Segs(changed), (std::vector<Seg>{{3, 2, 3}, {0, 2, 2}}));
}

namespace {

class TenPixels : public JobDetailColumn::Viewer {
public:
    int32_t PositionX(int32_t index) const override { return index * 10; }
};

}  // namespace

TEST(RowBackgroundPaint, FillsChangedAndOneSidedSegments) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 100, 10);
    ReleaseDC(nullptr, screen);
    ASSERT_TRUE(dc && bitmap);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 100, 10};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    JobDetailList details[3];
    details[1].Add(0, 2, 2);
    details[1].Add(3, 1, 2);
    details[1].Add(1, 2, 0);
    details[1].Add(2, 0, 3);
    TenPixels viewer;
    RowBackgroundPaint(details, viewer, dc, all, 0, 1);

    const ColorTable& colors = ConfigStore::Instance().colors;
    COLORREF white = RGB(255, 255, 255);
    EXPECT_EQ(GetPixel(dc, 5, 3), white);     // same: not painted
    EXPECT_EQ(GetPixel(dc, 25, 3), colors.detailDiff1Color);
    EXPECT_EQ(GetPixel(dc, 35, 3), colors.detailOnly1Color);
    EXPECT_EQ(GetPixel(dc, 45, 3), colors.detailOnly1Color);
    EXPECT_EQ(GetPixel(dc, 55, 3), white);    // nothing beyond the text
    bool separated = colors.lineColorSeparation || colors.lineDetailSeparation;
    EXPECT_EQ(GetPixel(dc, 25, 9), separated ? white : colors.detailDiff1Color);

    // Side 2 of the same row, and a column without segments.
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RowBackgroundPaint(details, viewer, dc, all, 1, 1);
    EXPECT_EQ(GetPixel(dc, 25, 3), colors.detailDiff2Color);
    EXPECT_EQ(GetPixel(dc, 35, 3), colors.detailDiff2Color);
    EXPECT_EQ(GetPixel(dc, 45, 3), colors.detailOnly2Color);
    EXPECT_EQ(GetPixel(dc, 75, 3), white);
    // The lists of a row paint the same.
    JobReportUnit row;
    row.details[1] = details[1];
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RowBackgroundPaint(static_cast<const JobReportUnit&>(row).details, viewer, dc, all, 1, 1);
    EXPECT_EQ(GetPixel(dc, 25, 3), colors.detailDiff2Color);
    EXPECT_EQ(GetPixel(dc, 45, 3), colors.detailOnly2Color);
    EXPECT_EQ(GetPixel(dc, 75, 3), white);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RowBackgroundPaint(details, viewer, dc, all, 0, 0);
    RowBackgroundPaint(details, viewer, dc, all, 0, 7);
    EXPECT_EQ(GetPixel(dc, 25, 3), white);

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}
