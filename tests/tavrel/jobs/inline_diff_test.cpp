// Character comparison of two lines: the worked examples, the token-wise
// path variant, segment painting, invariant fuzzing over Shift_JIS, UTF-8
// and UTF-16 texts (no segment may end inside a character), the run search
// against the cell-by-cell search it replaced, and a long line.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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

namespace {

// A plain recursive comparison that searches every cell of the two parts
// for each run (time n x m per split), the runs found forward from where they
// end: the reference for the run search. Characters are keys of their unit
// count and units.
class CellReference {
public:
    std::vector<Seg> Diff(const RawString& a, const RawString& b, int32_t minChars) {
        int width = (a.Kind() == RawLayer::KindUtf16 || b.Kind() == RawLayer::KindUtf16) ? 16 : 8;
        Tokenize(a, width, ka_, sa_);
        Tokenize(b, width, kb_, sb_);
        const int32_t na = static_cast<int32_t>(ka_.size()), nb = static_cast<int32_t>(kb_.size());
        std::vector<Seg> out;
        int32_t p = 0;
        while (p < na && p < nb && ka_[p] == kb_[p]) ++p;
        out.push_back(Seg{0, sa_[p], sa_[p]});
        if (p == na && p == nb) return out;
        int32_t s = 0;
        if (p < na)
            while (s < na - p && s < nb - p && ka_[na - 1 - s] == kb_[nb - 1 - s]) ++s;
        Split(p, na - s, p, nb - s, minChars, out);
        int32_t su = a.Length() - sa_[na - s];
        out.push_back(Seg{0, su, su});
        return out;
    }

private:
    static void Tokenize(const RawString& t, int width, std::vector<uint64_t>& keys,
                         std::vector<int32_t>& starts) {
        keys.clear();
        starts.clear();
        const int capacity = 56 / width;
        for (int32_t pos = 0; pos < t.Length();) {
            int32_t next = std::max(t.NextCharPos(pos), pos + 1);
            uint64_t packed = 0;
            for (int32_t i = pos; i < std::min(next, pos + capacity); ++i) packed = (packed << width) | t.UnitAt(i);
            keys.push_back((uint64_t(next - pos) << 56) | (packed & ((uint64_t(1) << 56) - 1)));
            starts.push_back(pos);
            pos = next;
        }
        starts.push_back(t.Length());
    }
    void Split(int32_t a0, int32_t a1, int32_t b0, int32_t b1, int32_t minChars, std::vector<Seg>& out) {
        if (a0 >= a1) {
            if (b0 < b1) out.push_back(Seg{2, 0, sb_[b1] - sb_[b0]});
            return;
        }
        if (b0 >= b1) {
            out.push_back(Seg{1, sa_[a1] - sa_[a0], 0});
            return;
        }
        // The run ending at each cell grows from the cell before it on the
        // diagonal. The longest runs end at the same offset from where they
        // start, so the first cell (in text 1, then in text 2) to reach the
        // longest length ends the run to choose: the longest, earliest in
        // text 1, then earliest in text 2.
        const int32_t m = b1 - b0;
        std::vector<int32_t> before(m + 1, 0), ending(m + 1, 0);
        int32_t best = 0, atA = a0, atB = b0;
        for (int32_t i = a0; i < a1; ++i) {
            for (int32_t j = 0; j < m; ++j) {
                ending[j + 1] = ka_[i] == kb_[b0 + j] ? before[j] + 1 : 0;
                if (ending[j + 1] > best) {
                    best = ending[j + 1];
                    atA = i - best + 1;
                    atB = b0 + j - best + 1;
                }
            }
            before.swap(ending);
        }
        if (best >= minChars) {
            Split(a0, atA, b0, atB, minChars, out);
            out.push_back(Seg{0, sa_[atA + best] - sa_[atA], sb_[atB + best] - sb_[atB]});
            Split(atA + best, a1, atB + best, b1, minChars, out);
        } else {
            out.push_back(Seg{3, sa_[a1] - sa_[a0], sb_[b1] - sb_[b0]});
        }
    }

    std::vector<uint64_t> ka_, kb_;
    std::vector<int32_t> sa_, sb_;
};

std::vector<Seg> EngineDiff(InlineDiffEngine& engine, const RawString& a, const RawString& b) {
    std::vector<JobDetailUnit> units;
    engine.Run(a, b, units);
    std::vector<Seg> out;
    for (const JobDetailUnit& u : units) out.push_back(Seg{u.kind, u.length1, u.length2});
    return out;
}

}  // namespace

TEST(InlineDiff, RunSearchMatchesTheCellSearch) {
    // Random pairs under 4,096 units of every encoding kind, from alphabets
    // of a few characters (long common runs, many runs of equal length),
    // text 2 either unrelated or text 1 edited in places. The engine, with
    // its own choice of search and with the automaton for every part, must
    // give exactly the reference's segments.
    std::mt19937 rng(4096);
    const std::vector<std::string> sjis = {"a", "b", "A", "@", "\x82\xA0", "\x82\xA2", "\x82" "A", "\x81" "@",
                                           "\x83\x41", "\xE0\x40", "\xFC\x40"};
    const std::vector<std::string> utf8 = {"a", "b", "\xC3\xA9", "\xE3\x81\x82", "\xE3\x81\x84",
                                           "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81", "\xE3"};
    std::vector<std::string> wide;  // little-endian bytes of UTF-16 characters
    for (const wchar_t* c : {L"a", L"b", L"\x3042", L"\xD83D\xDE00", L"\xD83D\xDE01", L"\xD83C\xDE00", L"\xDE00",
                             L"\xD83D"}) {
        std::string bytes;
        for (; *c; ++c) bytes += std::string{char(*c & 0xFF), char(*c >> 8)};
        wide.push_back(bytes);
    }
    const uint8_t kinds[] = {RawLayer::KindSjis, RawLayer::KindUtf8, RawLayer::KindUtf16, RawLayer::KindAnsi};
    CellReference reference;
    int32_t longest = 0;
    for (int run = 0; run < 3000; ++run) {
        const int variant = run % 5;  // 4: Shift_JIS against UTF-8
        const uint8_t kind = variant == 4 ? uint8_t(RawLayer::KindSjis) : kinds[variant];
        const std::vector<std::string>& chars = kind == RawLayer::KindUtf8 ? utf8 : kind == RawLayer::KindUtf16 ? wide : sjis;
        const int unitBytes = kind == RawLayer::KindUtf16 ? 2 : 1;
        std::vector<std::string> alphabet;
        for (int n = 2 + static_cast<int>(rng() % 4); n > 0; --n) alphabet.push_back(chars[rng() % chars.size()]);
        const int32_t limit = run % 20 == 0 ? 4095 : 1 + static_cast<int32_t>(rng() % 300);
        auto make = [&](int32_t units) {
            std::string bytes;
            while (true) {
                const std::string& c = alphabet[rng() % alphabet.size()];
                if (static_cast<int32_t>((bytes.size() + c.size()) / unitBytes) > units) break;
                bytes += c;
            }
            return bytes;
        };
        std::string x = make(static_cast<int32_t>(rng() % (limit + 1)));
        std::string y;
        if (rng() % 3 == 0) {
            y = make(static_cast<int32_t>(rng() % (limit + 1)));
        } else {
            // Text 1 with a few characters' worth of bytes replaced, put in or
            // taken out (they may split characters: the kinds decide).
            y = x;
            for (int edits = 1 + static_cast<int>(rng() % 8); edits > 0; --edits) {
                size_t at = (y.empty() ? 0 : rng() % y.size()) / unitBytes * unitBytes;
                std::string piece = make(1 + static_cast<int32_t>(rng() % 6));
                size_t cut = std::min(y.size() - at, size_t(rng() % 3) * unitBytes);
                y = y.substr(0, at) + piece + y.substr(at + cut);
            }
            while (static_cast<int32_t>(y.size() / unitBytes) > 4095) y.resize(y.size() - unitBytes);
        }
        auto text = [](const std::string& bytes, uint8_t k) {
            if (k != RawLayer::KindUtf16) return RawString::FromBytes(bytes.data(), int32_t(bytes.size()), k);
            std::wstring units;
            for (size_t i = 0; i + 1 < bytes.size(); i += 2)
                units += static_cast<wchar_t>(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
            return W(units);
        };
        RawString a = text(x, kind);
        RawString b = text(y, variant == 4 ? uint8_t(RawLayer::KindUtf8) : kind);
        ASSERT_LT(std::max(a.Length(), b.Length()), 4096);
        longest = std::max(longest, std::max(a.Length(), b.Length()));
        const int32_t minChars = 1 + static_cast<int32_t>(rng() % 3);
        std::vector<Seg> expected = reference.Diff(a, b, minChars);
        InlineDiffEngine chosen(minChars);
        InlineDiffEngine automaton(minChars, false);
        ASSERT_EQ(EngineDiff(chosen, a, b), expected) << "run " << run;
        ASSERT_FALSE(chosen.Exhausted());
        ASSERT_EQ(EngineDiff(automaton, a, b), expected) << "run " << run;
    }
    EXPECT_GT(longest, 3000);
}

TEST(InlineDiff, OneMebibyteLineWithOnePercentChangedIsQuickAndWhole) {
    // One line of 1 MiB units against a copy with 1 % of its characters
    // replaced, put in or taken out: the quadratic search took about an hour.
    std::mt19937 rng(1);
    const char* words[] = {"int", "value", "count", "index", "return", "buffer", "length", "if", "else",
                           "while", "static", "const", "struct", "left", "right", "node", "list", "item"};
    std::string x;
    while (x.size() < (size_t(1) << 20)) {
        x += words[rng() % (sizeof(words) / sizeof(words[0]))];
        x += rng() % 5 ? " " : ", ";
    }
    x.resize(size_t(1) << 20);
    std::string y;
    for (char c : x) {
        if (rng() % 100) {
            y += c;
            continue;
        }
        switch (rng() % 3) {
        case 0: y += static_cast<char>('A' + rng() % 26); break;
        case 1: y += c; y += static_cast<char>('A' + rng() % 26); break;
        default: break;
        }
    }
    RawString a = T(x), b = T(y);
    InlineDiffEngine engine(2);
    std::vector<JobDetailUnit> units;
    auto start = std::chrono::steady_clock::now();
    engine.Run(a, b, units);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);
    EXPECT_FALSE(engine.Exhausted());
    std::vector<Seg> segs;
    int64_t same = 0;
    for (const JobDetailUnit& u : units) {
        segs.push_back(Seg{u.kind, u.length1, u.length2});
        if (u.kind == 0) same += u.length1;
    }
    CheckInvariants(a, b, segs);
    EXPECT_GT(same, a.Length() * 95LL / 100);
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
