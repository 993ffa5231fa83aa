// Search and replace expressions against a plain recursive matcher written
// here from the rules of the expression language: the same answer, hit and
// parts for random expressions over random short texts in UTF-16, UTF-8 and
// Shift_JIS, and the same replacement texts.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/encoding.h"
#include "support/test_support.h"
#include "tavrel/jobs/expression.h"

using namespace JobLayer;
using RawLayer::RawRange;
using RawLayer::RawString;

namespace {

RawString T(const char* utf8) { return RawString::FromText(utf8); }

// ---------------------------------------------------------------------------
// The reference: recursive backtracking, straight from the rules.

class Reference {
public:
    Reference(const RawString& expression, const RawString& text) : text_(text) {
        // Marks, read from the start in any order and number.
        int32_t p = 0;
        const int32_t n = expression.Length();
        while (p < n && (expression.UnitAt(p) == '!' || expression.UnitAt(p) == '&')) {
            if (expression.UnitAt(p) == '!') invert_ = true;
            else fold_ = true;
            ++p;
        }
        if (p < n && expression.UnitAt(p) == '$') {
            literal_ = true;
            ++p;
        } else if (p < n && expression.UnitAt(p) == '@') {
            pattern_ = true;
            ++p;
        }
        RawString rest;
        rest.AssignRange(expression, RawRange{p, n});
        usable_ = RawLayer::ConvertTextExactly(rest, text.Kind(), pat_);
    }

    bool found = false;
    int32_t hitStart = 0, hitEnd = 0;
    std::vector<std::pair<int32_t, int32_t>> parts;

    bool From(int32_t s, int32_t e) {
        whole_ = false;
        end_ = e;
        bool ok = false;
        for (int32_t t = s; usable_ && !ok;) {
            ok = Attempt(t);
            if (ok || t >= e) break;
            t = text_.NextCharPos(t);
        }
        return Finish(ok);
    }
    bool Previous(int32_t s, int32_t e) {
        whole_ = false;
        end_ = e;
        std::vector<int32_t> starts;
        for (int32_t t = s; t < e; t = text_.NextCharPos(t)) starts.push_back(t);
        bool ok = false;
        for (size_t i = starts.size(); usable_ && !ok && i-- > 0;) ok = Attempt(starts[i]);
        return Finish(ok);
    }
    bool Next(int32_t s, int32_t e) {
        whole_ = true;
        end_ = e;
        return Finish(usable_ && Attempt(s));
    }

private:
    bool Finish(bool ok) {
        if (invert_) {
            parts.clear();
            hitStart = hitEnd = 0;
            return found = !ok;
        }
        return found = ok;
    }
    bool Attempt(int32_t t) {
        parts.clear();
        hitStart = t;
        if (literal_) {
            int32_t n = pat_.Length();
            if (t + n > end_ || (whole_ && end_ - t != n)) return false;
            for (int32_t i = 0; i < n; ++i)
                if (text_.UnitAt(t + i) != pat_.UnitAt(i)) return false;
            hitEnd = t + n;
            return true;
        }
        return pattern_ ? PatternAt(0, t) : WildAt(0, t);
    }
    bool Done(int32_t t) {
        if (t != end_ && whole_) return false;
        hitEnd = t;
        return true;
    }
    // The end of the character at t, -1 when it would pass the end.
    int32_t CharEnd(int32_t t) const {
        if (t >= end_) return -1;
        int32_t next = text_.NextCharPos(t);
        return next <= end_ ? next : -1;
    }
    static uint32_t Fold(uint32_t u) { return u >= 'a' && u <= 'z' ? u - 32 : u; }
    // The pattern character [a, b) at t: same units, the first one folded
    // under the case flag.
    bool Same(int32_t a, int32_t b, int32_t t, bool fold) const {
        int32_t ce = CharEnd(t);
        if (ce < 0 || ce - t != b - a) return false;
        for (int32_t i = 0; i < b - a; ++i) {
            uint32_t x = text_.UnitAt(t + i), y = pat_.UnitAt(a + i);
            if (i == 0 && fold ? Fold(x) != Fold(y) : x != y) return false;
        }
        return true;
    }
    // Units the escape of the pattern character [a, b) takes at t (a == b:
    // the character 0).
    int32_t Escape(int32_t a, int32_t b, int32_t t) const {
        if (t >= end_) return 0;
        uint32_t u = text_.UnitAt(t);
        if (a == b) return u == 0 ? 1 : 0;
        if (b - a == 1) {
            uint32_t c = pat_.UnitAt(a);
            if (c == 'N') return u == '\n' ? 1 : (u == '\r' && t + 1 < end_ && text_.UnitAt(t + 1) == '\n' ? 2 : 0);
            const uint32_t matches[] = {0, '\n', '\r', '\t', ' ', '"', ';', '%'};
            const char* letters = "Nnrtsqde";
            for (int i = 1; i < 8; ++i)
                if (c == static_cast<uint32_t>(letters[i])) return u == matches[i] ? 1 : 0;
        }
        return Same(a, b, t, false) ? b - a : 0;
    }

    // Wildcard mode.
    bool WildAt(int32_t p, int32_t t) {
        const int32_t n = pat_.Length();
        if (p == n) return Done(t);
        uint32_t u = pat_.UnitAt(p);
        if (u == '%') {
            int32_t a = p + 1, b = p + 1 < n ? pat_.NextCharPos(p + 1) : p + 1;
            int32_t m = Escape(a, b, t);
            return m > 0 && WildAt(p + 1 < n ? b : n, t + m);
        }
        if (u == '?') {
            int32_t ce = CharEnd(t);
            if (ce < 0) return false;
            parts.push_back({t, ce});
            if (WildAt(p + 1, ce)) return true;
            parts.pop_back();
            return false;
        }
        if (u == '*') {
            for (int32_t v = t;;) {
                parts.push_back({t, v});
                if (WildAt(p + 1, v)) return true;
                parts.pop_back();
                v = CharEnd(v);
                if (v < 0) return false;
            }
        }
        int32_t b = pat_.NextCharPos(p);
        return Same(p, b, t, fold_) && WildAt(b, t + (b - p));
    }

    // Pattern mode.
    struct Token {
        int type;  // 0 literal, 1 escape, 2 empty, 3 dot, 4 class
        int32_t a, b;  // literal or escape character; class body
        bool negated;
        int quant;  // 0 once, 1 '*', 2 '+'
        int32_t after;
    };
    Token Read(int32_t p) const {
        const int32_t n = pat_.Length();
        Token k = {0, p, p, false, 0, p};
        uint32_t u = pat_.UnitAt(p);
        if (u == '%') {
            if (p + 1 >= n) {
                k.type = 2;
                k.after = n;
                return k;
            }
            k.type = 1;
            k.a = p + 1;
            k.b = pat_.NextCharPos(p + 1);
            k.after = k.b;
        } else if (u == '.') {
            k.type = 3;
            k.after = p + 1;
        } else if (u == '[') {
            k.type = 4;
            int32_t q = p + 1;
            if (q < n && pat_.UnitAt(q) == '^') {
                k.negated = true;
                ++q;
            }
            k.a = q;
            while (q < n && pat_.UnitAt(q) != ']') q = pat_.UnitAt(q) == '%' && q + 1 < n ? q + 2 : pat_.NextCharPos(q);
            k.b = q < n ? q : n;
            k.after = q < n ? q + 1 : n;
        } else {
            k.b = pat_.NextCharPos(p);
            k.after = k.b;
        }
        if (k.after < n && (pat_.UnitAt(k.after) == '*' || pat_.UnitAt(k.after) == '+')) {
            k.quant = pat_.UnitAt(k.after) == '*' ? 1 : 2;
            ++k.after;
        }
        return k;
    }
    // Orders the character at t against a bound: -1, 0, 1, or 2 for a
    // character that is the bound's beginning or the other way round.
    int Order(int32_t t, int32_t length, int32_t a, int32_t b) const {
        for (int32_t i = 0; i < length && i < b - a; ++i) {
            uint32_t x = text_.UnitAt(t + i), y = pat_.UnitAt(a + i);
            if (x != y) return x < y ? -1 : 1;
        }
        return length == b - a ? 0 : 2;
    }
    bool InClass(const Token& k, int32_t t, int32_t length) const {
        uint32_t u = text_.UnitAt(t);
        if (k.negated && (u == '\r' || u == '\n')) return false;
        bool any = false;
        for (int32_t q = k.a; q < k.b && !any;) {
            if (pat_.UnitAt(q) == '%' && q + 1 < k.b) {
                int32_t c = std::min(pat_.NextCharPos(q + 1), k.b);
                any = Escape(q + 1, c, t) == length;
                q = c;
                continue;
            }
            int32_t x = std::min(pat_.NextCharPos(q), k.b);
            if (x + 1 < k.b && pat_.UnitAt(x) == '-') {
                int32_t y = std::min(pat_.NextCharPos(x + 1), k.b);
                int low = Order(t, length, q, x), high = Order(t, length, x + 1, y);
                any = (low == 0 || low == 1) && (high == 0 || high == -1);
                q = y;
                continue;
            }
            any = Order(t, length, q, x) == 0;
            q = x;
        }
        return k.negated ? !any : any;
    }
    int32_t One(const Token& k, int32_t t) const {
        switch (k.type) {
        case 0: return Same(k.a, k.b, t, fold_) ? t + (k.b - k.a) : -1;
        case 1: {
            int32_t m = Escape(k.a, k.b, t);
            return m > 0 ? t + m : -1;
        }
        case 2: return t;
        case 3: {
            if (t < end_ && (text_.UnitAt(t) == '\r' || text_.UnitAt(t) == '\n')) return -1;
            return CharEnd(t);
        }
        default: {
            int32_t ce = CharEnd(t);
            return ce >= 0 && InClass(k, t, ce - t) ? ce : -1;
        }
        }
    }
    bool PatternAt(int32_t p, int32_t t) {
        if (p == pat_.Length()) return Done(t);
        Token k = Read(p);
        if (k.quant == 0) {
            int32_t next = One(k, t);
            if (next < 0) return false;
            bool records = k.type >= 3;
            if (records) parts.push_back({t, next});
            if (PatternAt(k.after, next)) return true;
            if (records) parts.pop_back();
            return false;
        }
        int32_t current = t;
        if (k.quant == 2) {
            current = One(k, t);
            if (current < 0) return false;
        }
        for (;;) {
            parts.push_back({t, current});
            if (PatternAt(k.after, current)) return true;
            parts.pop_back();
            int32_t next = One(k, current);
            if (next <= current) return false;
            current = next;
        }
    }

    RawString text_;
    RawString pat_;
    bool invert_ = false, fold_ = false, literal_ = false, pattern_ = false, usable_ = false, whole_ = false;
    int32_t end_ = 0;
};

// The replacement text, from the rules.
RawString ReferenceReplacement(const RawString& replacement, const RawString& line,
                               const std::vector<std::pair<int32_t, int32_t>>& parts) {
    int32_t p = 0;
    const int32_t n = replacement.Length();
    while (p < n && (replacement.UnitAt(p) == '!' || replacement.UnitAt(p) == '&')) ++p;
    RawString out(replacement.Kind());
    if (p < n && replacement.UnitAt(p) == '$') {
        out.AppendRange(replacement, RawRange{p + 1, n});
        return out;
    }
    out.AppendRange(replacement, RawRange{0, p});
    if (p < n && replacement.UnitAt(p) == '@') {
        out.AppendChar('@');
        ++p;
    }
    while (p < n) {
        uint32_t u = replacement.UnitAt(p);
        if (u != '%') {
            int32_t next = replacement.NextCharPos(p);
            out.AppendRange(replacement, RawRange{p, next});
            p = next;
            continue;
        }
        if (p + 1 >= n) break;
        uint32_t c = replacement.UnitAt(p + 1);
        if (c >= '0' && c <= '9') {
            size_t i = c - '0';
            if (i < parts.size()) out.AppendRange(line, RawRange{parts[i].first, parts[i].second});
            p += 2;
            continue;
        }
        const char* letters = "NnrtsqdeN";
        const char* values[] = {"\r\n", "\n", "\r", "\t", " ", "\"", ";", "%"};
        bool known = false;
        for (int i = 0; i < 8; ++i) {
            if (c == static_cast<uint32_t>(letters[i])) {
                out.AppendAscii(values[i]);
                known = true;
            }
        }
        if (known) {
            p += 2;
            continue;
        }
        int32_t next = replacement.NextCharPos(p + 1);
        out.AppendRange(replacement, RawRange{p + 1, next});
        p = next;
    }
    return out;
}

std::string Show(const RawString& s) {
    RawString u = s.As(RawLayer::KindUtf8);
    return std::string(u.Bytes(), static_cast<size_t>(u.Length()));
}

}  // namespace

TEST(ExpressionTest, TheLanguagesOwnCases) {
    ExpressionSearch abc(T("abc"));
    EXPECT_TRUE(abc.From(T("xabcx"), RawRange{0, 5}));
    EXPECT_EQ(abc.hitStart, 1);
    EXPECT_EQ(abc.hitEnd, 4);
    ExpressionSearch run(T("a*c"));
    EXPECT_TRUE(run.MatchAt(T("abcbc"), RawRange{0, 5}));
    EXPECT_EQ(run.hitEnd, 3);
    ASSERT_EQ(run.parts.Count(), 1);
    EXPECT_EQ(run.parts.First()->start, 1);
    EXPECT_EQ(run.parts.First()->end, 2);
    ExpressionSearch some(T("@[a-c]+"));
    EXPECT_TRUE(some.MatchAt(T("bbx"), RawRange{0, 3}));
    EXPECT_EQ(some.hitEnd, 1);
    EXPECT_FALSE(ExpressionSearch(T("@[^x]")).MatchAt(T("\r"), RawRange{0, 1}));
    EXPECT_FALSE(ExpressionSearch(T("@.")).MatchAt(T("\n"), RawRange{0, 1}));
    EXPECT_TRUE(ExpressionSearch(T("&abc")).MatchAt(T("ABC"), RawRange{0, 3}));
    EXPECT_FALSE(ExpressionSearch(T("&$abc")).MatchAt(T("ABC"), RawRange{0, 3}));
    ExpressionSearch crlf(T("%N"));
    EXPECT_TRUE(crlf.MatchAt(T("\r\n"), RawRange{0, 2}));
    EXPECT_EQ(crlf.hitEnd, 2);
    EXPECT_FALSE(crlf.MatchAt(T("\rx"), RawRange{0, 2}));
    ExpressionSearch inverted(T("!abc"));
    EXPECT_TRUE(inverted.From(T("xyz"), RawRange{0, 3}));
    EXPECT_EQ(inverted.hitStart, 0);
    EXPECT_EQ(inverted.hitEnd, 0);
    EXPECT_FALSE(inverted.From(T("xabc"), RawRange{0, 4}));

    // Marks are ORed: "!!" inverts once, "&&" folds case and nothing else.
    EXPECT_EQ(ExpressionFlags(T("!!&&x")).flags, uint32_t(ExpressionInvert | ExpressionFoldCase | ExpressionWildcard));
    EXPECT_EQ(ExpressionFlags(T("!!&&x")).start, 4);
    EXPECT_EQ(ExpressionFlags(T("&!")).flags, uint32_t(ExpressionInvert | ExpressionFoldCase));
    EXPECT_EQ(ExpressionFlags(T("&!")).start, 2);
    EXPECT_EQ(ExpressionFlags(T("!@a")).start, 2);
    RawString bytes = RawString::FromBytes("\x00!\x00$\x00x", 6, RawLayer::KindUtf16BE);
    EXPECT_EQ(ExpressionFlags(bytes).flags, uint32_t(ExpressionInvert | ExpressionLiteral));
    EXPECT_EQ(ExpressionFlags(bytes).start, 4);

    // Replacements from the parts of a hit.
    ExpressionSearch two(T("@.."));
    ASSERT_TRUE(two.MatchAt(T("ab"), RawRange{0, 2}));
    JobExpressionReplace situation;
    situation.lineText = T("ab");
    situation.parts = two.parts;
    EXPECT_EQ(Show(ExpressionReplaceText(T("%1%0"), situation)), "ba");
    EXPECT_EQ(Show(ExpressionReplaceText(T("[%7]"), situation)), "[]");
    EXPECT_EQ(Show(ExpressionReplaceText(T("$%1"), situation)), "%1");
    EXPECT_EQ(Show(ExpressionReplaceText(T("!x%N%"), situation)), "!x\r\n");
    EXPECT_EQ(Show(JobExpressionUtility::Situation().PartText(3)), "3");
}

TEST(ExpressionTest, RandomExpressionsMatchTheReference) {
    std::mt19937 rng(7);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    const std::vector<std::string> textUnits = {"a", "b", "c", "x", "A", "B", "\r", "\n", "\r\n", "%", " ", "\t",
                                                "\xE3\x81\x82", "\xE8\xA1\xA8", "\xE3\x82\xA2", "\\", "\xF0\x9F\x98\x80"};
    const std::vector<std::string> wildUnits = {"*", "*", "?", "a", "b", "x", "A", "%N", "%n", "%r", "%t", "%s",
                                                "%*", "%%", "%e", "\xE3\x81\x82", "\\", "\xF0\x9F\x98\x80"};
    const std::vector<std::string> patternUnits = {".", "[a-c]", "[^x]", "a", "b", "x", "%N", "%n", "%r", "[\xE3\x81\x82-\xE3\x82\xA2]",
                                                   "[%]x]", "\xE8\xA1\xA8", "[", "A"};
    const std::vector<std::string> replacementUnits = {"%0", "%1", "%2", "%9", "%N", "%n", "%t", "%e", "%x", "y", "%",
                                                       "\xE3\x81\x82"};
    const uint8_t kinds[] = {RawLayer::KindUtf16, RawLayer::KindUtf8, RawLayer::KindSjis};
    int found = 0, replaced = 0;
    for (int round = 0; round < 100000 && !::testing::Test::HasFailure(); ++round) {
        std::string expression;
        for (size_t i = pick(3); i > 0; --i) expression += pick(2) ? "!" : "&";
        const int mode = static_cast<int>(pick(4));
        if (mode == 1) expression += "$";
        if (mode == 2) expression += "@";
        for (size_t i = pick(6); i > 0; --i) {
            if (mode == 2) {
                expression += patternUnits[pick(patternUnits.size())];
                if (pick(3) == 0) expression += pick(2) ? "*" : "+";
            } else {
                expression += wildUnits[pick(wildUnits.size())];
            }
        }
        if (pick(8) == 0) expression += "%";
        std::string line;
        for (size_t i = pick(9); i > 0; --i) line += textUnits[pick(textUnits.size())];
        const uint8_t kind = kinds[pick(3)];
        RawString text;
        if (!RawLayer::ConvertTextExactly(T(line.c_str()), kind, text)) continue;
        // A range on character starts.
        std::vector<int32_t> starts;
        for (int32_t p = 0; p < text.Length(); p = text.NextCharPos(p)) starts.push_back(p);
        starts.push_back(text.Length());
        int32_t s = starts[pick(starts.size())], e = starts[pick(starts.size())];
        if (s > e) std::swap(s, e);
        SCOPED_TRACE("expression \"" + expression + "\" text \"" + line + "\" kind " + std::to_string(kind) +
                     " range " + std::to_string(s) + "-" + std::to_string(e));

        ExpressionSearch search(T(expression.c_str()));
        Reference reference(T(expression.c_str()), text);
        const int op = static_cast<int>(pick(3));
        bool mine = op == 0 ? search.From(text, RawRange{s, e})
                            : op == 1 ? search.Previous(text, RawRange{s, e}) : search.Next(text, RawRange{s, e});
        bool theirs = op == 0 ? reference.From(s, e) : op == 1 ? reference.Previous(s, e) : reference.Next(s, e);
        ASSERT_EQ(mine, theirs) << "operation " << op;
        if (!mine) continue;
        ++found;
        EXPECT_EQ(search.hitStart, reference.hitStart);
        EXPECT_EQ(search.hitEnd, reference.hitEnd);
        std::vector<std::pair<int32_t, int32_t>> parts;
        for (const JobHitRange& part : search.parts) parts.push_back({part.start, part.end});
        ASSERT_EQ(parts, reference.parts);

        // The replacement made from the hit.
        std::string replacement;
        for (size_t i = pick(3); i > 0; --i) replacement += pick(2) ? "!" : "&";
        if (pick(5) == 0) replacement += "$";
        for (size_t i = pick(5); i > 0; --i) replacement += replacementUnits[pick(replacementUnits.size())];
        RawString converted;
        if (!RawLayer::ConvertTextExactly(T(replacement.c_str()), kind, converted)) continue;
        JobExpressionReplace situation;
        situation.lineText = text;
        situation.parts = search.parts;
        RawString made = ExpressionReplaceText(converted, situation);
        RawString expected = ReferenceReplacement(converted, text, parts);
        EXPECT_EQ(made.Kind(), expected.Kind());
        EXPECT_TRUE(made.Equals(expected) && made.Length() == expected.Length())
            << "replacement \"" << replacement << "\": " << Show(made) << " against " << Show(expected);
        ++replaced;
    }
    EXPECT_GT(found, 20000);
    EXPECT_GT(replaced, 10000);
}

TEST(ExpressionTest, NoExpressionTakesLong) {
    // Runs of stars and of quantified tokens over a long line that never
    // holds the end of the pattern: each (token, position) pair fails once.
    std::string many(10000, 'a');
    RawString text = T(many.c_str());
    for (const char* expression : {"*a*a*a*a*a*b", "@.*a.*a.*a.*a.*b", "@a*a*a*a*a*a*b", "@[a-c]+.+.+.+b"}) {
        auto start = std::chrono::steady_clock::now();
        ExpressionSearch search(T(expression));
        EXPECT_FALSE(search.From(text, text.All())) << expression;
        EXPECT_FALSE(search.Previous(text, text.All())) << expression;
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 1.0) << expression;
    }
    // A pattern of ten thousand stars runs on the heap, not the stack.
    std::string stars(10000, '*');
    ExpressionSearch deep(T((stars + "b").c_str()));
    EXPECT_FALSE(deep.From(T("aaaa"), RawRange{0, 4}));
}
