// Wrapping a text into rows of runs and drawing the runs with their inline
// emphasis, measured with real fonts in a DIB section.
#include "quenby/app/text_draw.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/api_text.h"
#include "pass_support.h"

using namespace AppLayer;
using PassTest::U8;
using RawLayer::RawString;

namespace {

bool AsciiAlnum(uint32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Random text of the pieces the wrap must cope with.
std::string RandomText(std::mt19937& random) {
    static const char* const pieces[] = {"word", "Hello", "x", "1234567", "a-b", "-", " ", "  ", "\t",
                                         "\xE6\x97\xA5\xE6\x9C\xAC",        // two CJK characters
                                         "\xF0\x9F\x98\x80",                // a surrogate pair in UTF-16
                                         "\r\n", "\x1E" "b\x1F", "\x1E" "B\x1F", "\x1E" "l12\x1F", "\x1E" "i",
                                         "longlonglonglongword", ".", ","};
    std::string text;
    int n = static_cast<int>(random() % 40);
    for (int i = 0; i < n; ++i) text += pieces[random() % (sizeof pieces / sizeof *pieces)];
    return text;
}

struct CharInfo {
    int32_t start;
    int32_t end;
    bool visible;
};

// The characters of a hard line [first, end): hidden from a 0x1E to its 0x1F.
std::vector<CharInfo> Characters(const RawString& text, int32_t first, int32_t end) {
    std::vector<CharInfo> out;
    bool hidden = false;
    for (int32_t i = first; i < end;) {
        int32_t next = text.NextCharPos(i);
        uint32_t c = text.UnitAt(i);
        bool visible = !hidden && c != 0x1E && c != 0x1F;
        if (c == 0x1E) hidden = true;
        if (c == 0x1F) hidden = false;
        out.push_back(CharInfo{i, next, visible});
        i = next;
    }
    return out;
}

int32_t ExtentOf(HDC dc, const RawString& text, int32_t start, int32_t end) {
    RawString piece(text.Kind());
    piece.AssignRange(text, RawLayer::RawRange{start, end});
    RawString wide = piece.As(RawLayer::KindUtf16);
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc, wide.Wide(), wide.Length(), &size);
    return size.cx;
}

// Checks the rows of one wrapped text; returns the faults found.
std::vector<std::string> CheckRows(HDC dc, const RawString& text, const WinTextData& data, int32_t width,
                                   int mode) {
    std::vector<std::string> faults;
    // Hard lines in order.
    std::vector<RawLayer::RawRange> hard;
    int32_t start = 0;
    for (int32_t i = 0; i + 1 < text.Length(); ++i)
        if (text.UnitAt(i) == '\r' && text.UnitAt(i + 1) == '\n') {
            hard.push_back({start, i});
            start = i + 2;
            ++i;
        }
    hard.push_back({start, text.Length()});
    size_t row = 0;
    for (const RawLayer::RawRange& line : hard) {
        std::vector<CharInfo> chars = Characters(text, line.start, line.end);
        std::vector<int32_t> owner(chars.size(), -1);
        int32_t at = line.start;
        bool firstRow = true;
        while (firstRow || (row < data.rows.size() && data.rows[row].start == at && at < line.end)) {
            if (row >= data.rows.size()) {
                faults.push_back("rows end early");
                return faults;
            }
            const WinTextRow& r = data.rows[row];
            if (r.start != at) faults.push_back("row does not continue its line");
            int32_t visible = 0;
            int32_t trailingBlanks = 0;  // hang past the row's edge
            bool boundaryStart = false, boundaryEnd = r.end == line.end;
            for (size_t k = 0; k < chars.size(); ++k) {
                if (chars[k].start == r.start) boundaryStart = true;
                if (chars[k].end == r.end) boundaryEnd = true;
                if (chars[k].start >= r.start && chars[k].end <= r.end && chars[k].visible) {
                    ++visible;
                    trailingBlanks = text.UnitAt(chars[k].start) == ' ' ? trailingBlanks + 1 : 0;
                    if (owner[k] >= 0) faults.push_back("a character stands in two rows");
                    owner[k] = static_cast<int32_t>(row);
                }
            }
            if (!boundaryStart && r.start != line.end) faults.push_back("a row starts inside a character");
            if (!boundaryEnd) faults.push_back("a row ends inside a character");
            if (r.width > width && visible - trailingBlanks > 1)
                faults.push_back("an overwide row holds several characters");
            if (r.end > at && visible == 0 && r.end != line.end) faults.push_back("a row without a visible character");
            // A blank where a row breaks stays on the row before.
            if (!firstRow) {
                for (const CharInfo& c : chars) {
                    if (c.start < r.start || c.start >= r.end || !c.visible) continue;
                    if (text.UnitAt(c.start) == ' ') faults.push_back("a wrapped row starts with a blank");
                    break;
                }
            }
            // Mode 2: a break inside a run of letters and digits only when the
            // run alone is wider than the width.
            if (mode == 2 && r.end < line.end && visible > 0) {
                size_t k = 0;
                while (k < chars.size() && chars[k].start < r.end) ++k;
                size_t after = k;
                while (after < chars.size() && !chars[after].visible) ++after;
                int32_t before = static_cast<int32_t>(k) - 1;
                while (before >= 0 && !chars[before].visible) --before;
                if (after < chars.size() && before >= 0 && AsciiAlnum(text.UnitAt(chars[after].start)) &&
                    AsciiAlnum(text.UnitAt(chars[before].start))) {
                    int32_t lo = before, hi = static_cast<int32_t>(after);
                    while (lo > 0 && (!chars[lo - 1].visible || AsciiAlnum(text.UnitAt(chars[lo - 1].start)))) --lo;
                    while (hi + 1 < static_cast<int32_t>(chars.size()) &&
                           (!chars[hi + 1].visible || AsciiAlnum(text.UnitAt(chars[hi + 1].start))))
                        ++hi;
                    int32_t runWidth = 0;
                    for (int32_t q = lo; q <= hi; ++q)
                        if (chars[q].visible) runWidth += ExtentOf(dc, text, chars[q].start, chars[q].end);
                    if (runWidth <= width) faults.push_back("mode 2 broke a word that fits");
                }
            }
            at = r.end;
            ++row;
            firstRow = false;
        }
        if (at != line.end) faults.push_back("the rows do not reach the end of their line");
        for (size_t k = 0; k < chars.size(); ++k)
            if (chars[k].visible && owner[k] < 0) faults.push_back("a visible character stands in no row");
    }
    if (row != data.rows.size()) faults.push_back("more rows than lines hold");
    return faults;
}

}  // namespace

TEST(TextLayoutTest, WrapPropertyOverRandomTexts) {
    auto run = [] {
        std::vector<std::string> faults;
        TestSupport::DibCanvas canvas(64, 64);
        HFONT font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
        HGDIOBJ old = SelectObject(canvas.Dc(), font);
        std::mt19937 random(31);
        WinTextDraw draw;
        draw.tabs.mode = 1;
        draw.tabs.count = 4;
        draw.tabs.unit = 7;
        for (int round = 0; round < 150 && faults.empty(); ++round) {
            std::string bytes = RandomText(random);
            RawString utf8 = U8(bytes);
            RawString text = round % 3 == 2 ? utf8.As(RawLayer::KindUtf16) : utf8;
            const int32_t widths[] = {-5, 0, 1, 3, static_cast<int32_t>(random() % 300)};
            for (int32_t width : widths) {
                for (int mode = 0; mode <= 2; ++mode) {
                    draw.breakMode = mode;
                    WinTextData data;
                    TextLayout::LayOutParagraph(draw, canvas.Dc(), width, 0, text, text.All(), data);
                    for (const std::string& f : CheckRows(canvas.Dc(), text, data, width, mode))
                        faults.push_back(f + " (width " + std::to_string(width) + ", mode " + std::to_string(mode) +
                                         ", text #" + std::to_string(round) + ")");
                }
            }
        }
        SelectObject(canvas.Dc(), old);
        DeleteObject(font);
        return faults;
    };
    std::packaged_task<std::vector<std::string>()> task(run);
    std::future<std::vector<std::string>> result = task.get_future();
    std::thread worker(std::move(task));
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "the wrap did not end within its deadline\n");
        std::fflush(stderr);
        std::_Exit(1);
    }
    worker.join();
    std::vector<std::string> faults = result.get();
    EXPECT_TRUE(faults.empty()) << faults.front();
}

TEST(TextLayoutTest, TabWidthsAreAtLeastOnePixelInEveryMode) {
    std::mt19937 random(7);
    for (int mode = 0; mode <= 3; ++mode)
        for (int32_t count : {-3, 0, 1, 4})
            for (int32_t unit : {-2, 0, 1, 9}) {
                WinTabSettings tabs;
                tabs.mode = mode;
                tabs.count = count;
                tabs.unit = unit;
                for (int i = 0; i < 50; ++i) {
                    int32_t x = static_cast<int32_t>(random() % 2000);
                    EXPECT_GE(tabs.TabWidth(x, static_cast<int32_t>(random() % 100)), 1);
                }
            }
}

// Kana and kanji in a Latin face that has none of them and no font link
// (the printer's case, and a screen without a link): measured and drawn in
// the installed Japanese face, standing on the Latin face's baseline, glyph
// for glyph as that face draws them; the Latin letters around them stay.
TEST(TextLayoutTest, CharactersTheFontLacksComeFromAJapaneseFace) {
    const std::wstring& face = WinTextDraw::FallbackFace();
    ASSERT_FALSE(face.empty()) << "no Japanese face installed";
    HFONT latin = CreateFontW(-28, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0,
                              L"Nimbus Sans");
    HFONT japanese = CreateFontW(-28, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, ANTIALIASED_QUALITY, 0,
                                 face.c_str());
    const wchar_t kana[] = L"\u3042\u65e5\u30ab";
    const RawString text = U8("ab\xE3\x81\x82\xE6\x97\xA5\xE3\x82\xAB");
    TestSupport::DibCanvas drawn(300, 60), expected(300, 60);
    SIZE latinSize{}, kanaSize{};
    TEXTMETRICW latinMetrics{};
    HGDIOBJ old = SelectObject(expected.Dc(), latin);
    GetTextExtentPoint32W(expected.Dc(), L"ab", 2, &latinSize);
    GetTextMetricsW(expected.Dc(), &latinMetrics);
    SetBkMode(expected.Dc(), TRANSPARENT);
    ExtTextOutW(expected.Dc(), 10, 10, 0, nullptr, L"ab", 2, nullptr);
    SelectObject(expected.Dc(), japanese);
    GetTextExtentPoint32W(expected.Dc(), kana, 3, &kanaSize);
    SetTextAlign(expected.Dc(), TA_BASELINE);
    ExtTextOutW(expected.Dc(), 10 + latinSize.cx, 10 + latinMetrics.tmAscent, 0, nullptr, kana, 3, nullptr);
    SelectObject(expected.Dc(), old);

    old = SelectObject(drawn.Dc(), latin);
    SetBkMode(drawn.Dc(), TRANSPARENT);
    WinTextDraw draw;
    for (const RawString& kind : {text, text.As(RawLayer::KindUtf16)}) {
        const SIZE size = TextLayout::FitText(draw, drawn.Dc(), kind, 0, kind.Length());
        EXPECT_EQ(size.cx, latinSize.cx + kanaSize.cx);
    }
    WinTextData data;
    TextLayout::LayOutParagraph(draw, drawn.Dc(), 1000, 0, text, text.All(), data);
    ASSERT_EQ(data.parts.size(), 1u);
    EXPECT_EQ(data.parts[0].rect.right, latinSize.cx + kanaSize.cx);
    draw.DrawRun(drawn.Dc(), text, data.parts[0], POINT{10, 10});
    SelectObject(drawn.Dc(), old);
    EXPECT_TRUE(drawn.SameAs(expected));
    EXPECT_GT(expected.CountColor(RGB(0, 0, 0)), 100);
    DeleteObject(latin);
    DeleteObject(japanese);
}

namespace {

// Whether the DC's font draws the character just as it draws U+FFFF, which
// no face has: each drawn alone and the pixels compared.
bool DrawnAsNoFaceHasIt(HDC dc, wchar_t c) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int size = 3 * (metrics.tmMaxCharWidth + metrics.tmHeight);
    TestSupport::DibCanvas one(size, size), none(size, size);
    HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
    for (TestSupport::DibCanvas* canvas : {&one, &none}) {
        SelectObject(canvas->Dc(), font);
        SetBkMode(canvas->Dc(), TRANSPARENT);
        const wchar_t drawn = canvas == &one ? c : static_cast<wchar_t>(0xFFFF);
        ExtTextOutW(canvas->Dc(), size / 3, size / 3, 0, nullptr, &drawn, 1, nullptr);
        SelectObject(canvas->Dc(), GetStockObject(SYSTEM_FONT));
    }
    return one.SameAs(none);
}

}  // namespace

// Kana and kanji that the Latin face lacks in its own glyph table: where the
// screen's font link draws them, a run is measured and drawn as the link has
// it, in one piece, with no look-up in the fallback face once its characters
// are known; where nothing links them to the face, they still come from the
// fallback. Over several faces and weights, since which of them Wine links
// (a bold face is often not linked) depends on the fonts installed.
TEST(TextLayoutTest, TheScreenDrawsWhatTheFontLinkCoversInOnePiece) {
    ASSERT_FALSE(WinTextDraw::FallbackFace().empty()) << "no Japanese face installed";
    const RawString text = U8("ab \xE3\x81\x82\xE6\x97\xA5\xE3\x82\xAB\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x80\x82 cd");
    const RawString wideText = text.As(RawLayer::KindUtf16);
    const std::wstring wide(wideText.Wide(), static_cast<size_t>(wideText.Length()));
    struct Face {
        const wchar_t* name;
        int weight;
    };
    const Face faces[] = {{L"Meiryo UI", FW_NORMAL}, {L"Meiryo UI", 600},       {L"DejaVu Sans", FW_NORMAL},
                          {L"DejaVu Sans", FW_BOLD}, {L"Liberation Sans", FW_NORMAL}, {L"Tahoma", FW_NORMAL},
                          {L"Nimbus Sans", FW_NORMAL}};
    int linked = 0, unlinked = 0;
    for (const Face& face : faces) {
        for (int height : {-13, -28}) {
            HFONT font = CreateFontW(height, 0, 0, 0, face.weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                     ANTIALIASED_QUALITY, 0, face.name);
            TestSupport::DibCanvas drawn(600, 80), expected(600, 80);
            HGDIOBJ old = SelectObject(drawn.Dc(), font);
            SelectObject(expected.Dc(), font);
            SetBkMode(drawn.Dc(), TRANSPARENT);
            SetBkMode(expected.Dc(), TRANSPARENT);
            wchar_t got[LF_FACESIZE] = {};
            GetTextFaceW(drawn.Dc(), LF_FACESIZE, got);
            const std::string label = TestSupport::Utf8(face.name) + " as " +
                                      TestSupport::Utf8(got) + ", weight " + std::to_string(face.weight) +
                                      ", height " + std::to_string(height);
            // Only a face that lacks every Japanese character in its own
            // table puts the question; the link draws all of them or none.
            std::vector<WORD> glyphs(wide.size());
            GetGlyphIndicesW(drawn.Dc(), wide.data(), static_cast<int>(wide.size()), glyphs.data(),
                             GGI_MARK_NONEXISTING_GLYPHS);
            int lacking = 0, drawnByLink = 0;
            for (size_t i = 0; i < wide.size(); ++i) {
                if (wide[i] < 0x80) continue;
                if (glyphs[i] != 0xFFFF) continue;
                ++lacking;
                if (!DrawnAsNoFaceHasIt(drawn.Dc(), wide[i])) ++drawnByLink;
            }
            if (lacking == 6 && (drawnByLink == 0 || drawnByLink == 6)) {
                WinTextDraw draw;
                SIZE whole{};
                GetTextExtentPoint32W(drawn.Dc(), wide.data(), static_cast<int>(wide.size()), &whole);
                const SIZE size = TextLayout::FitText(draw, drawn.Dc(), text, 0, text.Length());
                WinTextData data;
                TextLayout::LayOutParagraph(draw, drawn.Dc(), 1000, 0, text, text.All(), data);
                ASSERT_EQ(data.parts.size(), 1u) << label;
                draw.DrawRun(drawn.Dc(), text, data.parts[0], POINT{10, 10});
                const WinTextDraw::GlyphStats first = draw.GlyphStatistics();
                if (drawnByLink == 6) {
                    ++linked;
                    // As one call of the platform measures and draws it.
                    EXPECT_EQ(size.cx, whole.cx) << label;
                    RECT clip = data.parts[0].rect;
                    OffsetRect(&clip, 10, 10);
                    ExtTextOutW(expected.Dc(), 10, 10, ETO_CLIPPED, &clip, wide.data(),
                                static_cast<UINT>(wide.size()), nullptr);
                    EXPECT_TRUE(drawn.SameAs(expected)) << label;
                    EXPECT_EQ(first.fallbackMeasures, 0u) << label;
                    EXPECT_EQ(first.fallbackPieces, 0u) << label;
                } else {
                    ++unlinked;
                    EXPECT_GT(size.cx, 0) << label;
                    EXPECT_GT(first.fallbackMeasures, 0u) << label;
                    EXPECT_GT(first.fallbackPieces, 0u) << label;
                }
                // Once its characters are known, the text costs no look-up.
                TextLayout::LayOutParagraph(draw, drawn.Dc(), 1000, 0, text, text.All(), data);
                draw.DrawRun(drawn.Dc(), wideText, WinTextPart{0, wideText.Length(), 0, data.parts[0].rect},
                             POINT{10, 10});
                EXPECT_EQ(draw.GlyphStatistics().blockChecks, first.blockChecks) << label;
                EXPECT_EQ(draw.GlyphStatistics().linkChecks, first.linkChecks) << label;
            }
            SelectObject(drawn.Dc(), old);
            SelectObject(expected.Dc(), old);
            DeleteObject(font);
        }
    }
    EXPECT_GT(linked, 0) << "no face draws kana and kanji through a font link";
    EXPECT_GT(unlinked, 0) << "every face draws kana and kanji through a font link";
}

// Text outside 7-bit ASCII is measured from a table of the font's widths
// filled as characters are first met: every character's width, and the
// range's size, are what the platform measures for the whole range at once,
// whether the table knew the characters or not, over random UTF-8 and
// UTF-16 texts with hidden runs, tabs, surrogate pairs and malformed bytes
// (those ranges are left to the platform whole) in several faces.
TEST(TextLayoutTest, WidthsFromTheTableAreThePlatformsExtentsOfTheWholeRange) {
    static const char* const pieces[] = {"word", " ", "\t", "\xC3\xA9t\xC3\xA9",        // Latin-1
                                         "\xCE\xB1\xCE\xB2",                          // Greek
                                         "\xD0\x96\xD0\xB8",                          // Cyrillic
                                         "\xE3\x81\x82\xE3\x82\xAB",                  // kana
                                         "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",    // kanji
                                         "\xE3\x80\x82",                              // ideographic full stop
                                         "\x1E" "l12\x1F", "\x1E" "b\x1F",
                                         "\xF0\x9F\x98\x80",                          // a surrogate pair in UTF-16
                                         "\xE6\x97", "\xFF"};                          // malformed
    std::mt19937 random(53);
    const wchar_t* const faces[] = {L"Meiryo UI", L"DejaVu Sans", L"Liberation Serif"};
    uint64_t fromTable = 0;
    int compared = 0;
    for (const wchar_t* face : faces) {
        for (int height : {-13, -29}) {
            HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, height < -20, 0, 0, DEFAULT_CHARSET, 0, 0,
                                     ANTIALIASED_QUALITY, 0, face);
            TestSupport::DibCanvas canvas(8, 8);
            HGDIOBJ old = SelectObject(canvas.Dc(), font);
            WinTextDraw draw;
            for (int round = 0; round < 150; ++round) {
                std::string bytes;
                const int n = 1 + static_cast<int>(random() % 24);
                for (int i = 0; i < n; ++i) bytes += pieces[random() % (sizeof pieces / sizeof *pieces)];
                const RawString utf8 = U8(bytes);
                for (const RawString& text : {utf8, utf8.As(RawLayer::KindUtf16)}) {
                    const std::string label = TestSupport::Utf8(face) + " " + std::to_string(height) + " " +
                                              (text.Kind() == RawLayer::KindUtf16 ? "UTF-16 " : "UTF-8 ") +
                                              bytes;
                    const uint64_t fallbacks = draw.GlyphStatistics().fallbackMeasures;
                    const SIZE size = TextLayout::FitText(draw, canvas.Dc(), text, 0, text.Length());
                    // Characters no face of the link draws take another
                    // face's widths: not this test's question.
                    if (draw.GlyphStatistics().fallbackMeasures != fallbacks) continue;
                    std::vector<int> extents(static_cast<size_t>(text.Length()) + 1, 0);
                    SIZE whole{0, 0};
                    ASSERT_TRUE(RawLayer::ApiTextExtent(canvas.Dc(), text, 0, text.Length(), INT_MAX, nullptr,
                                                        extents.data(), &whole))
                        << label;
                    int32_t sum = 0;
                    for (const CharInfo& c : Characters(text, 0, text.Length())) {
                        if (!c.visible) continue;
                        const int32_t expected =
                            extents[static_cast<size_t>(c.end - 1)] - (c.start > 0 ? extents[static_cast<size_t>(c.start - 1)] : 0);
                        ASSERT_EQ(draw.WidthAt(c.start), expected) << label << " at " << c.start;
                        for (int32_t t = c.start + 1; t < c.end; ++t)
                            ASSERT_EQ(draw.WidthAt(t), WinTextDraw::WidthTrail) << label << " at " << t;
                        sum += expected;
                    }
                    EXPECT_EQ(size.cx, sum) << label;
                    EXPECT_EQ(size.cy, whole.cy) << label;
                    ++compared;
                }
            }
            fromTable += draw.GlyphStatistics().tableRanges;
            SelectObject(canvas.Dc(), old);
            DeleteObject(font);
        }
    }
    EXPECT_GT(fromTable, 0u) << "no range was measured from the width table";
    EXPECT_GT(compared, 300) << "too few ranges stayed in their font to be compared";
}
