// Wildcard matching: the table of wildcards and escapes, captures, texts of
// several kinds, bounded time on hostile patterns, and the comma list form.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/wildcard.h"

using namespace RawLayer;

namespace {

RawString T(const char* s) { return RawString::FromText(s); }
RawString T(const std::string& s) { return RawString::FromBytes(s.data(), int32_t(s.size()), KindUtf8); }
RawString W(const wchar_t* s) { return RawString::FromWideText(s); }

using Caps = std::vector<std::pair<int, int>>;

Caps CapturesOf(const WildcardPatternList& record, int count) {
    Caps caps;
    for (int i = 0; i < count; ++i) {
        RawRange r = record.Capture(i);
        caps.emplace_back(r.start, r.end);
    }
    return caps;
}

struct Case {
    const char* pattern;
    const char* text;
    bool fold;
    bool whole;
    bool matches;
    Caps caps;
};

}  // namespace

TEST(WildcardMatchTest, Table) {
    const Case cases[] = {
        {"ReadMe_*.txt", "ReadMe_Tavrel.txt", false, true, true, {{7, 13}}},
        {"ReadMe_*.txt", "ReadMe_Tavrel.txt.bak", false, true, false, {}},
        {"ReadMe_*.txt", "ReadMe_Tavrel.txt.bak", false, false, true, {{7, 13}}},
        {"a?c", "ac", false, true, false, {}},
        {"a?c", "abc", false, true, true, {{1, 2}}},
        {"abc?", "abc", false, true, false, {}},
        {"*", "", false, true, true, {{0, 0}}},
        {"**", "abc", false, true, true, {{0, 3}, {3, 3}}},
        {"?*", "", false, true, false, {}},
        {"*.*", "a.b.c", false, true, true, {{0, 3}, {4, 5}}},
        {"*b*", "abcabc", false, true, true, {{0, 4}, {5, 6}}},
        {"%n", "\n", false, true, true, {}},
        {"%n", "\r\n", false, true, true, {}},
        {"%n", "\r", false, true, false, {}},
        {"%nx", "\rx", false, true, false, {}},
        {"a%n*", "a\r\nb", false, true, true, {{3, 4}}},
        {"%m%s", ", ", false, true, true, {}},
        {"%B%C%E%J%K%O%e%i%l%q%r%t%v", "[)]><(%;:\"\r\t|", false, true, true, {}},
        {"%x", "x", false, true, true, {}},
        {"%x", "X", true, true, false, {}},  // escapes never fold
        {"%s", "s", false, true, false, {}},
        {"%*", "*", false, true, true, {}},
        {"%*", "a", false, true, false, {}},
        {"%?", "?", false, true, true, {}},
        {"%?", "a", false, true, false, {}},
        {"100%", "100%", false, true, true, {}},
        {"100%", "100", false, true, false, {}},  // never past the text end
        {"a%", "a", false, false, false, {}},
        {"abc", "ABC", true, true, true, {}},
        {"abc", "ABC", false, true, false, {}},
        {"A*", "abc", true, true, true, {{1, 3}}},
        {"ab", "abc", false, false, true, {}},
        {"", "", false, true, true, {}},
        {"", "x", false, true, false, {}},
        {"", "x", false, false, true, {}},
    };
    for (const Case& c : cases) {
        WildcardPatternList record(T(c.pattern), c.fold);
        record.wholeText = c.whole ? 1 : 0;
        EXPECT_EQ(record.Match(T(c.text)), c.matches) << c.pattern << " / " << c.text;
        if (c.matches) {
            EXPECT_EQ(CapturesOf(record, int(c.caps.size())), c.caps) << c.pattern;
            EXPECT_EQ(record.captures.Count(), int32_t(c.caps.size())) << c.pattern;
        }
    }
}

TEST(WildcardMatchTest, CursorAndWildcardNumber) {
    WildcardPatternList record(T("*.txt"));
    record.wholeText = 0;
    RawString text = T("xx name.txt.bak");
    WildcardCursor cursor{3, text.Length()};
    ASSERT_TRUE(WildcardMatch(record, text, cursor, record.pattern, 0, record.pattern.Length(), 2));
    EXPECT_EQ(cursor.position, 11);  // where the pattern ended
    EXPECT_EQ(record.captures.Count(), 3);  // numbers 0 and 1 padded
    EXPECT_EQ(record.Capture(2).start, 3);
    EXPECT_EQ(record.Capture(2).end, 7);
    // A part of the pattern, against a window of the text.
    WildcardPatternList whole(T("?-b-*"));
    RawString t2 = T("a-b-cdef");
    WildcardCursor c2{0, 4};
    EXPECT_TRUE(WildcardMatch(whole, t2, c2, whole.pattern, 0, 4, 0));  // "?-b-" on "a-b-"
    EXPECT_EQ(c2.position, 4);
}

TEST(WildcardMatchTest, NonAsciiAndWideTexts) {
    // UTF-8: '?' takes one whole character.
    RawString nihongo = T("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt");  // 日本語.txt
    WildcardPatternList q(T("??\xE8\xAA\x9E.txt"));
    ASSERT_TRUE(q.Match(nihongo));
    EXPECT_EQ(CapturesOf(q, 2), (Caps{{0, 3}, {3, 6}}));
    EXPECT_FALSE(WildcardPatternList(T("?\xE8\xAA\x9E.txt")).Match(nihongo));
    // A star ends only between characters.
    WildcardPatternList tail(T("*?"));
    ASSERT_TRUE(tail.Match(T("a\xC3\xA9")));  // aé
    EXPECT_EQ(CapturesOf(tail, 2), (Caps{{0, 1}, {1, 3}}));

    // UTF-16 text, UTF-8 pattern: matched as characters.
    RawString wide = W(L"\u65e5\u672c\u8a9e.txt");
    WildcardPatternList mixed(T("\xE6\x97\xA5*.txt"));
    ASSERT_TRUE(mixed.Match(wide));
    EXPECT_EQ(CapturesOf(mixed, 1), (Caps{{1, 3}}));
    // UTF-16 pattern against UTF-8 text.
    WildcardPatternList widePattern(W(L"*\u8a9e.TXT"), true);
    ASSERT_TRUE(widePattern.Match(nihongo));
    EXPECT_EQ(CapturesOf(widePattern, 1), (Caps{{0, 6}}));
    // A surrogate pair is one character for '?'.
    WildcardPatternList pair(W(L"?x"));
    ASSERT_TRUE(pair.Match(W(L"\U0001F600x")));
    EXPECT_EQ(CapturesOf(pair, 1), (Caps{{0, 2}}));
    // Accented letters are not folded.
    WildcardPatternList accent(W(L"\u00e9"), true);
    EXPECT_FALSE(accent.Match(W(L"\u00c9")));
    EXPECT_TRUE(accent.Match(W(L"\u00e9")));
    // Shift_JIS: the trail byte 0x5B of 0x83 0x5B is not a '['.
    RawString sjis = RawString::FromBytes("\x83\x5B", 2, KindSjis);
    EXPECT_FALSE(WildcardPatternList(T("*%B")).Match(sjis));
    EXPECT_FALSE(WildcardPatternList(T("*[")).Match(sjis));
    WildcardPatternList one(T("?"));
    ASSERT_TRUE(one.Match(sjis));
    EXPECT_EQ(CapturesOf(one, 1), (Caps{{0, 2}}));
    // Case folding leaves a Shift_JIS trail byte alone: 0x82 0x61 is not 0x82 0x41.
    WildcardPatternList sjisFold(RawString::FromBytes("\x82\x61", 2, KindSjis), true);
    EXPECT_FALSE(sjisFold.Match(RawString::FromBytes("\x82\x41", 2, KindSjis)));
}

TEST(WildcardMatchTest, HostilePatternsAreBounded) {
    std::string as(10000, 'a');
    RawString text = T(as);
    ULONGLONG t0 = GetTickCount64();
    WildcardPatternList fail(T("*a*a*a*a*b"));
    EXPECT_FALSE(fail.Match(text));
    WildcardPatternList fail2(T("*a*a*a*a*a*a*a*a*a*a*a*a*?b"));
    EXPECT_FALSE(fail2.Match(text));
    WildcardPatternList hit(T("*a*a*a*a*a"));
    ASSERT_TRUE(hit.Match(text));
    EXPECT_EQ(CapturesOf(hit, 5),
              (Caps{{0, 9995}, {9996, 9996}, {9997, 9997}, {9998, 9998}, {9999, 9999}}));
    ULONGLONG elapsed = GetTickCount64() - t0;
    EXPECT_LT(elapsed, 2000u) << "took " << elapsed << " ms";
}

namespace {

// The plain recursive matcher: every star end from the longest down.
struct Reference {
    std::string p, t;
    bool whole, fold;
    Caps caps;
    static char Escape(char l) {
        uint32_t e = WildcardEscape(uint32_t(static_cast<unsigned char>(l)));
        return e ? char(e) : l;
    }
    static char Up(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }
    void Set(int n, int a, int b) {
        if (int(caps.size()) <= n) caps.resize(n + 1);
        caps[n] = {a, b};
    }
    bool Go(size_t pi, size_t ti, int n) {
        if (pi == p.size()) return ti == t.size() || !whole;
        char c = p[pi];
        if (c == '%') {
            if (pi + 1 == p.size()) return ti < t.size() && t[ti] == '%' && Go(pi + 1, ti + 1, n);
            char l = p[pi + 1];
            if (ti >= t.size()) return false;
            if (l == 'n') {
                if (t[ti] == '\n') return Go(pi + 2, ti + 1, n);
                if (t[ti] == '\r' && ti + 1 < t.size() && t[ti + 1] == '\n')
                    return Go(pi + 2, ti + 2, n);
                return false;
            }
            return t[ti] == Escape(l) && Go(pi + 2, ti + 1, n);
        }
        if (c == '?') {
            if (ti >= t.size()) return false;
            Set(n, int(ti), int(ti + 1));
            return Go(pi + 1, ti + 1, n + 1);
        }
        if (c == '*') {
            for (size_t e = t.size() + 1; e-- > ti;) {
                if (Go(pi + 1, e, n + 1)) {
                    Set(n, int(ti), int(e));
                    return true;
                }
            }
            return false;
        }
        if (ti >= t.size()) return false;
        bool same = c == t[ti] || (fold && Up(c) == Up(t[ti]));
        return same && Go(pi + 1, ti + 1, n);
    }
};

}  // namespace

TEST(WildcardMatchTest, AgreesWithPlainBacktracking) {
    std::mt19937 rng(2024);
    const char patternUnits[] = "aAb**?%%mnxe";
    const char textUnits[] = "aAb,\n\r*?%x";
    int matched = 0;
    for (int round = 0; round < 10000; ++round) {
        std::string p, t;
        int pl = int(rng() % 8), tl = int(rng() % 9);
        for (int i = 0; i < pl; ++i) p += patternUnits[rng() % (sizeof patternUnits - 1)];
        for (int i = 0; i < tl; ++i) t += textUnits[rng() % (sizeof textUnits - 1)];
        bool whole = rng() % 4 != 0, fold = rng() % 2 == 0;
        Reference ref{p, t, whole, fold, {}};
        bool want = ref.Go(0, 0, 0);
        WildcardPatternList record(T(p), fold);
        record.wholeText = whole ? 1 : 0;
        bool got = record.Match(T(t));
        ASSERT_EQ(got, want) << "pattern [" << p << "] text [" << t << "] whole " << whole;
        if (want) {
            ++matched;
            ASSERT_EQ(CapturesOf(record, int(ref.caps.size())), ref.caps)
                << "pattern [" << p << "] text [" << t << "]";
        }
    }
    EXPECT_GT(matched, 500);
}

TEST(WildcardEscapeTest, TableAndRoundTrip) {
    const std::pair<char, uint32_t> table[] = {
        {'B', '['}, {'C', ')'}, {'E', ']'},  {'J', '>'}, {'K', '<'},  {'O', '('},
        {'e', '%'}, {'i', ';'}, {'l', ':'},  {'m', ','}, {'n', '\n'}, {'q', '"'},
        {'r', '\r'}, {'s', ' '}, {'t', '\t'}, {'v', '|'},
    };
    for (const auto& e : table) {
        EXPECT_EQ(WildcardEscape(uint32_t(e.first)), e.second) << e.first;
        EXPECT_EQ(WildcardEscapeLetter(e.second), uint32_t(e.first)) << e.first;
    }
    EXPECT_EQ(WildcardEscape('x'), 0u);
    EXPECT_EQ(WildcardEscape('b'), 0u);  // letters are case-sensitive
    EXPECT_EQ(WildcardEscapeLetter('a'), 0u);

    const char* texts[] = {"plain", "a*b?c%d", "[x](y)<z>|;:,\" \t", "line\r\nnext\nlast\r",
                           "100%", ""};
    for (const char* s : texts) {
        RawString text = T(s);
        WildcardPatternList literal(WildcardLiteralPattern(text));
        EXPECT_TRUE(literal.Match(text)) << s;
        EXPECT_EQ(literal.captures.Count(), 0) << s;  // no wildcard left
        EXPECT_FALSE(literal.Match(text.Concat(T("x")))) << s;
    }
    RawString wideText = W(L"\u65e5*\u672c?");
    WildcardPatternList wideLiteral(WildcardLiteralPattern(wideText));
    EXPECT_EQ(wideLiteral.pattern.Kind(), KindUtf16);
    EXPECT_TRUE(wideLiteral.Match(wideText));
    EXPECT_FALSE(wideLiteral.Match(W(L"\u65e5x\u672cy")));
}

TEST(WildcardPatternListTest, CommaListForm) {
    WildcardPatternList list;
    list.Init(T("ReadMe_*.txt, ReadMe_*.md ,\"*.p,df\", ,\"\",*.pdf"));
    ASSERT_EQ(list.items.Count(), 4);
    EXPECT_TRUE(list.items.At(0)->EqualsAscii("ReadMe_*.txt"));
    EXPECT_TRUE(list.items.At(1)->EqualsAscii("ReadMe_*.md"));
    EXPECT_TRUE(list.items.At(2)->EqualsAscii("*.p,df"));  // quotes lost, comma kept
    EXPECT_TRUE(list.items.At(3)->EqualsAscii("*.pdf"));
    EXPECT_TRUE(list.pattern.EqualsAscii("ReadMe_*.txt"));

    int32_t index = 7;
    ASSERT_TRUE(list.MatchAny(T("ReadMe_x.md"), &index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(CapturesOf(list, 1), (Caps{{7, 8}}));
    EXPECT_TRUE(list.pattern.EqualsAscii("ReadMe_*.md"));
    ASSERT_TRUE(list.MatchAny(T("manual.p,df"), &index));
    EXPECT_EQ(index, 2);
    ASSERT_TRUE(list.MatchAny(T("manual.pdf"), &index));
    EXPECT_EQ(index, 3);
    EXPECT_FALSE(list.MatchAny(T("README_X.TXT"), &index));
    EXPECT_EQ(index, -1);
    list.foldCase = 1;
    ASSERT_TRUE(list.MatchAny(T("README_X.TXT"), &index));
    EXPECT_EQ(index, 0);
    ASSERT_TRUE(list.MatchAny(W(L"ReadMe_\u65e5\u672c.txt"), &index));  // a UTF-16 name
    EXPECT_EQ(CapturesOf(list, 1), (Caps{{7, 9}}));

    WildcardPatternList empty;
    empty.Init(T(""));
    EXPECT_EQ(empty.items.Count(), 0);
    EXPECT_TRUE(empty.pattern.IsEmpty());
    EXPECT_FALSE(empty.MatchAny(T("x"), &index));
    EXPECT_EQ(index, -1);

    // Init again replaces the list.
    list.Init(T("*.md"));
    EXPECT_EQ(list.items.Count(), 1);
}
