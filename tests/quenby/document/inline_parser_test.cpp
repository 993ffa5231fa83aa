// The inline pass: the constructs by example, and random lines against a
// direct transcription of the rewrite loop (every rewrite starts again from
// the first step, over the whole text).
#include "quenby/document/inline_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/profile.h"
#include "tests/quenby/document/document_support.h"

using namespace DocLayer;
using DocumentTest::Bytes;
using DocumentTest::U8;
using DocumentTest::Visible;

namespace {

const char kFolder[] = "C:\\docs";

struct Unit {
    int32_t serial, kind;
    std::string text, target;
    int32_t wpx, hpx, wpc, hpc;
    bool operator==(const Unit& o) const {
        return serial == o.serial && kind == o.kind && text == o.text && target == o.target &&
               wpx == o.wpx && hpx == o.hpx && wpc == o.wpc && hpc == o.hpc;
    }
};

std::string Resolve(const std::string& target) {
    if (target.empty()) return target;
    return Bytes(RawLayer::PathResolve(RawString::FromText(kFolder), U8(target)));
}

// ---------------------------------------------------------------------------
// The reference: the rewrite loop as written, one rewrite per round.

struct Reference {
    std::string text;
    std::vector<Unit> units;
    int32_t serial = 0;
    bool underscore = false;

    static char Lower(char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
    static bool At(const std::string& s, size_t pos, const std::string& p) {
        if (pos + p.size() > s.size()) return false;
        for (size_t k = 0; k < p.size(); ++k)
            if (Lower(s[pos + k]) != p[k]) return false;
        return true;
    }
    // Positions tried outside quotes; a backslash passes over the next.
    static size_t FindLive(const std::string& s, size_t from, const std::string& p) {
        bool quoted = false;
        for (size_t pos = from; pos < s.size(); ++pos) {
            if (!quoted && At(s, pos, p)) return pos;
            if (s[pos] == '\\') ++pos;
            else if (s[pos] == '"') quoted = !quoted;
        }
        return std::string::npos;
    }
    static std::vector<bool> Live(const std::string& s) {
        std::vector<bool> live(s.size(), false);
        bool quoted = false;
        for (size_t pos = 0; pos < s.size(); ++pos) {
            live[pos] = !quoted;
            if (s[pos] == '\\') ++pos;
            else if (s[pos] == '"') quoted = !quoted;
        }
        return live;
    }
    static std::string Trim(const std::string& s) {
        size_t a = 0, b = s.size();
        while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
        while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
        return s.substr(a, b - a);
    }
    static std::string Mark(char code, int32_t serial) {
        std::string m = "\x1E";
        m += code;
        if (serial > 0) m += std::to_string(serial);
        return m + "\x1F";
    }
    void Build(size_t start, size_t end, const std::string& inner, char open, char close, int32_t serial) {
        text = text.substr(0, start) + Mark(open, serial) + inner + Mark(close, 0) + text.substr(end);
    }

    bool LineBreak() {
        size_t p = text.find("<br");
        if (p == std::string::npos) return false;
        size_t g = text.find('>', p + 3);
        if (g == std::string::npos) return false;
        text = text.substr(0, p) + "\r\n" + text.substr(g + 1);
        return true;
    }

    // The label starts at the '[' that pairs with the ']' of "](", walking
    // back over live brackets.
    bool Bracket(bool picture) {
        std::string open = picture ? "![" : "[";
        size_t o = FindLive(text, 0, open);
        if (o == std::string::npos) return false;
        size_t m = FindLive(text, o + open.size(), "](");
        if (m == std::string::npos) return false;
        size_t c = FindLive(text, m + 2, ")");
        if (c == std::string::npos) return false;
        std::vector<bool> live = Live(text);
        size_t lowest = picture ? o + 1 : o;
        size_t pair = std::string::npos;
        int depth = 0;
        for (size_t k = m; k-- > lowest;) {
            if (!live[k]) continue;
            if (text[k] == ']') {
                ++depth;
            } else if (text[k] == '[') {
                if (depth == 0) {
                    pair = k;
                    break;
                }
                --depth;
            }
        }
        size_t start = o, labelStart = o + open.size();
        if (pair != std::string::npos) {
            if (!picture) {
                start = pair;
                labelStart = pair + 1;
            } else if (text[pair - 1] == '!' && live[pair - 1]) {
                start = pair - 1;
                labelStart = pair + 1;
            }
        }
        std::string label = Trim(text.substr(labelStart, m - labelStart));
        std::string inside = Trim(text.substr(m + 2, c - m - 2));
        std::string target = inside;
        size_t q1 = std::string::npos;
        for (size_t k = 0; k < inside.size(); ++k) {
            if (inside[k] == '\\') {
                ++k;
            } else if (inside[k] == '"') {
                if (q1 == std::string::npos) {
                    q1 = k;
                } else {
                    target = Trim(inside.substr(0, q1));
                    break;
                }
            }
        }
        ++serial;
        if (picture) {
            units.push_back(Unit{serial, 2, label, Resolve(target), 0, 0, 0, 0});
            Build(start, c + 1, "", 'm', 'M', serial);
        } else {
            bool external = target.compare(0, 5, "http:") == 0 || target.compare(0, 6, "https:") == 0 ||
                            target.compare(0, 5, "file:") == 0;
            units.push_back(Unit{serial, 1, label, external ? target : Resolve(target), 0, 0, 0, 0});
            Build(start, c + 1, label, 'l', 'L', serial);
        }
        return true;
    }

    static std::string Attribute(const std::string& tag, const std::string& name) {
        size_t at = FindLive(tag, 0, name);
        if (at == std::string::npos) return "";
        size_t i = at + name.size();
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) ++i;
        if (i >= tag.size() || tag[i] != '"') return "";
        size_t close = tag.find('"', i + 1);
        return close == std::string::npos ? "" : tag.substr(i + 1, close - i - 1);
    }
    static void Size(const std::string& v, int32_t& px, int32_t& pc) {
        px = pc = 0;
        if (v.empty()) return;
        int32_t n = std::atoi(v.c_str());
        if (v.back() == '%') pc = n < 0 ? 0 : (n > 1000 ? 1000 : n);
        else px = n < 0 ? 0 : (n > 100000 ? 100000 : n);
    }
    bool Image() {
        size_t t = FindLive(text, 0, "<img ");
        if (t == std::string::npos) return false;
        size_t g = FindLive(text, t + 5, ">");
        if (g == std::string::npos) return false;
        std::string tag = text.substr(t, g + 1 - t);
        Unit u{++serial, 2, Attribute(tag, "alt="), Resolve(Attribute(tag, "src=")), 0, 0, 0, 0};
        Size(Attribute(tag, "width="), u.wpx, u.wpc);
        Size(Attribute(tag, "height="), u.hpx, u.hpc);
        units.push_back(u);
        Build(t, g + 1, "", 'm', 'M', serial);
        return true;
    }

    bool Span(const std::string& opener, const std::string& closer, char open, char close) {
        size_t p = std::string::npos;
        for (size_t k = 0; k < text.size(); ++k)
            if (At(text, k, opener)) { p = k; break; }
        if (p == std::string::npos) return false;
        for (size_t k = p + opener.size(); k < text.size(); ++k) {
            if (At(text, k, closer)) {
                Build(p, k + closer.size(), text.substr(p + opener.size(), k - p - opener.size()), open, close, 0);
                return true;
            }
        }
        return false;
    }

    void Run() {
        for (;;) {
            if (LineBreak() || Bracket(true) || Image() || Bracket(false)) continue;
            if (Span("***", "***", 'd', 'D')) continue;
            if (underscore && Span("___", "___", 'd', 'D')) continue;
            if (Span("**", "**", 'b', 'B')) continue;
            if (underscore && Span("__", "__", 'b', 'B')) continue;
            if (Span("<strong>", "</strong>", 'b', 'B')) continue;
            if (Span("*", "*", 'i', 'I')) continue;
            if (underscore && Span("_", "_", 'i', 'I')) continue;
            if (Span("<em>", "</em>", 'i', 'I') || Span("<i>", "</i>", 'i', 'I')) continue;
            if (Span("~~", "~~", 's', 'S') || Span("<s>", "</s>", 's', 'S') || Span("<del>", "</del>", 's', 'S')) continue;
            if (Span("<u>", "</u>", 'u', 'U') || Span("<ins>", "</ins>", 'u', 'U')) continue;
            return;
        }
    }
};

struct Result {
    std::string text;
    std::vector<Unit> units;
};

// The pass over a line whose links so far ended at serial `lastSerial`.
Result Parse(const std::string& line, bool underscore, int32_t lastSerial = 0) {
    JobLinkDataList links;
    links.serial = lastSerial;
    InlineContext context;
    context.links = &links;
    context.folder = RawString::FromText(kFolder);
    context.underscore = underscore;
    RawString text = U8(line);
    Result r;
    r.text = Bytes(ParseInline(text, text.All(), context));
    for (const JobLinkDataUnit& u : links)
        r.units.push_back(Unit{u.serial, u.kind, Bytes(u.text), Bytes(u.target), u.widthPixels, u.heightPixels,
                               u.widthPercent, u.heightPercent});
    return r;
}

std::string Units(const std::vector<Unit>& units) {
    std::string s;
    for (const Unit& u : units)
        s += std::to_string(u.serial) + (u.kind == 1 ? " link '" : " picture '") + u.text + "' -> '" + u.target +
             "' " + std::to_string(u.wpx) + "px " + std::to_string(u.hpx) + "px " + std::to_string(u.wpc) + "% " +
             std::to_string(u.hpc) + "%; ";
    return s;
}

}  // namespace

TEST(InlineParserTest, ConstructsByExample) {
    struct Case {
        const char* line;
        bool underscore;
        const char* text;   // Visible form
        const char* units;  // Units form
    };
    const Case cases[] = {
        {"a<br>b", false, "a|nb", ""},
        {"a<BR>b", false, "a<BR>b", ""},
        {"a<br/>b", false, "a|nb", ""},
        {"***x***", false, "{d}x{D}", ""},
        {"**a** and *b*", false, "{b}a{B} and {i}b{I}", ""},
        {"2 * 3", false, "2 * 3", ""},
        {"2 * 3 * 4", false, "2 {i} 3 {I} 4", ""},
        {"<STRONG>x</strong>", false, "{b}x{B}", ""},
        {"__init__", false, "__init__", ""},
        {"__init__", true, "{b}init{B}", ""},
        {"~~gone~~ <u>u</u> <del>d</del>", false, "{s}gone{S} {u}u{U} {s}d{S}", ""},
        {"[Site](https://example.com/x)", false, "{l1}Site{L}", "1 link 'Site' -> 'https://example.com/x' 0px 0px 0% 0%; "},
        {"[Next](next.md)", false, "{l1}Next{L}", "1 link 'Next' -> 'C:\\docs\\next.md' 0px 0px 0% 0%; "},
        {"[Up](HTTP://x)", false, "{l1}Up{L}", "1 link 'Up' -> 'C:\\docs\\HTTP://x' 0px 0px 0% 0%; "},
        {"[a](b \"Title\")", false, "{l1}a{L}", "1 link 'a' -> 'C:\\docs\\b' 0px 0px 0% 0%; "},
        {"![logo](img/logo.png) ![x](y.png)", false, "{m1}{M} {m2}{M}",
         "1 picture 'logo' -> 'C:\\docs\\img/logo.png' 0px 0px 0% 0%; 2 picture 'x' -> 'C:\\docs\\y.png' 0px 0px 0% 0%; "},
        {"<img src=\"a.png\" width=\"50%\" height=\"120\" alt=\"A\">", false, "{m1}{M}",
         "1 picture 'A' -> 'C:\\docs\\a.png' 0px 120px 50% 0%; "},
        {"<img src=a.png alt=\"x\">", false, "{m1}{M}", "1 picture 'x' -> '' 0px 0px 0% 0%; "},
        {"<img src=\"p.png\" width=\"999999\" height=\"5000%\">", false, "{m1}{M}",
         "1 picture '' -> 'C:\\docs\\p.png' 100000px 0px 0% 1000%; "},
        {"\\[a](b)", false, "\\[a](b)", ""},
        {"[1] see [docs](x.md)", false, "[1] see {l1}docs{L}", "1 link 'docs' -> 'C:\\docs\\x.md' 0px 0px 0% 0%; "},
        {"[a [b] c](x)", false, "{l1}a [b] c{L}", "1 link 'a [b] c' -> 'C:\\docs\\x' 0px 0px 0% 0%; "},
        {"![1] see ![pic](p.png)", false, "![1] see {m1}{M}", "1 picture 'pic' -> 'C:\\docs\\p.png' 0px 0px 0% 0%; "},
        {"[\"a](b)\"](c)", false, "{l1}\"a](b)\"{L}", "1 link '\"a](b)\"' -> 'C:\\docs\\c' 0px 0px 0% 0%; "},
    };
    for (const Case& c : cases) {
        Result r = Parse(c.line, c.underscore);
        EXPECT_EQ(c.text, Visible(U8(r.text))) << c.line;
        EXPECT_EQ(c.units, Units(r.units)) << c.line;
    }
}

// Thousands of random short lines of construct pieces, with the underscore
// switch on and off: exactly the reference's text, links and serials.
TEST(InlineParserTest, MatchesTheRewriteLoop) {
    const char* const pieces[] = {"*", "*", "_", "_", "~", "[", "]", "(", ")", "!", "\"", "\\", "<br>", "<em>",
                                  "</em>", "<img src=\"p.png\" alt=\"P\" width=\"50%\">", "a", "b", " ", " ",
                                  "\xE6\x97\xA5", "<strong>", "</strong>", "x.md"};
    const int kinds = sizeof(pieces) / sizeof(pieces[0]);
    std::mt19937 random(2718);
    int withLinks = 0, withMarks = 0;
    for (int round = 0; round < 6000; ++round) {
        std::string line;
        int count = 1 + static_cast<int>(random() % 24);
        for (int k = 0; k < count; ++k) line += pieces[random() % kinds];
        for (bool underscore : {false, true}) {
            Reference ref;
            ref.text = line;
            ref.underscore = underscore;
            ref.Run();
            Result r = Parse(line, underscore);
            ASSERT_EQ(Visible(U8(ref.text)), Visible(U8(r.text))) << "line: " << line << " underscore " << underscore;
            ASSERT_EQ(Units(ref.units), Units(r.units)) << "line: " << line;
            withLinks += !r.units.empty();
            withMarks += r.text.find('\x1E') != std::string::npos;
        }
    }
    // The pieces make every construct often.
    EXPECT_GT(withLinks, 1000);
    EXPECT_GT(withMarks, 4000);
}

// The single rewrites as the pass makes them: an opener takes the first
// closer after it, a link's serial follows the line's last, a link target
// ends before its title, and a picture tag's attributes are found by name.
TEST(InlineParserTest, SingleRewrites) {
    EXPECT_EQ("a {b}b{B} {b}c{B}", Visible(U8(Parse("a **b** **c**", false).text)));
    // No closer after the "**": the single stars pair up instead.
    EXPECT_EQ("a {i}{I} b", Visible(U8(Parse("a ** b", false).text)));
    Result r = Parse("x[in](y)z", false, 11);
    EXPECT_EQ("x{l12}in{L}z", Visible(U8(r.text)));
    EXPECT_EQ("12 link 'in' -> 'C:\\docs\\y' 0px 0px 0% 0%; ", Units(r.units));

    r = Parse("go [to]( dest \"T\\\"x\" ) now", false);
    EXPECT_EQ("go {l1}to{L} now", Visible(U8(r.text)));
    EXPECT_EQ("1 link 'to' -> 'C:\\docs\\dest' 0px 0px 0% 0%; ", Units(r.units));
    r = Parse("[a] (b)", false);
    EXPECT_EQ("[a] (b)", r.text);
    EXPECT_TRUE(r.units.empty());

    r = Parse("x <IMG alt=\"src=no\" src=\"s.png\" title=\"t\"> y", false);
    EXPECT_EQ("x {m1}{M} y", Visible(U8(r.text)));
    EXPECT_EQ("1 picture 'src=no' -> 'C:\\docs\\s.png' 0px 0px 0% 0%; ", Units(r.units));

    EXPECT_TRUE(IsExternalLink(U8("file:x")));
    EXPECT_FALSE(IsExternalLink(U8("File:x")));
}
