// Text rows on screen, through the row host under Xvfb: the pixels of the
// changed characters, the selection, the line-end mark and the caret after
// a tab; clicks on the drawn glyphs; layout after a change of "TabStop" or
// of the text; GDI objects over many rows; cursor steps over characters
// without advance; the input method's real messages. Pixels are read with
// BitBlt from the window's DC.
// RUN_UNDER_BOTH_CODE_PAGES
// USES_FOREGROUND: the row host is shown and takes the focus.
#include <gtest/gtest.h>

#include <random>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "support/text_edit_support.h"
#include "support/window_rows.h"
#include "support/window_support.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/gui_profile.h"
#include "toolkit/gdi_scope.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::DibCanvas;
using TestSupport::RowHost;

namespace {

class LineDrawTest : public TestSupport::TextEditFixture {
protected:
    void TearDown() override {
        ConfigStore::Instance().tabStop = 4;
        TextEditFixture::TearDown();
    }
    // A shown host of the job, painted.
    std::unique_ptr<RowHost> Show(JobGroupUnit* job) { return RowHost::Shown(job, RECT{20, 20, 820, 220}); }
    static void Repaint(RowHost& host) { host.Repaint(); }
    static JobLineUnit* LineOf(JobGroupUnit* job, uint32_t side, int32_t row) {
        return static_cast<JobLineUnit*>(job->rows.At(row)->Unit(side));
    }
    // The x of the left edge of the text of a row's side in the client.
    static int32_t TextLeft(const RowHost& host, uint32_t side, int32_t row) {
        const JobSideRecord& s = host.job->Side(side);
        return host.geometry.SideRect(side, row).left - s.scrollX + s.layoutWidth[0] + host.geometry.margin;
    }
    static int32_t At(JobGroupUnit* job, uint32_t side, int32_t row, int32_t index) {
        return LineOf(job, side, row)->DrawData()->PositionX(index);
    }
    // Columns of [from, to) holding a pixel unlike the background in the
    // row's band (its top and bottom line left out).
    static std::vector<int> InkColumns(const DibCanvas& canvas, const RECT& band, int from, int to,
                                       COLORREF background) {
        std::vector<int> columns;
        for (int x = from; x < to; ++x)
            for (int y = band.top + 1; y < band.bottom - 1; ++y)
                if (canvas.Pixel(x, y) != background) {
                    columns.push_back(x);
                    break;
                }
        return columns;
    }
    static bool Near(COLORREF a, COLORREF b, int tolerance) { return TestSupport::NearColor(a, b, tolerance); }
    static COLORREF Blend(COLORREF over, COLORREF under, int opacity) {
        return TestSupport::BlendColor(over, under, opacity);
    }
};

// The first of some common faces in which the zero-width space measures 0.
HFONT FontWithZeroWidthSpace() {
    for (const wchar_t* face : {L"DejaVu Sans", L"Segoe UI", L"Arial", L"Tahoma"}) {
        LOGFONTW description{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
        lstrcpynW(description.lfFaceName, face, LF_FACESIZE);
        description.lfCharSet = ANSI_CHARSET;
        HFONT font = CreateFontIndirectW(&description);
        if (font == nullptr) continue;
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        const wchar_t space = 0x200B;
        SIZE size{};
        const bool zero = GetTextExtentPoint32W(dc, &space, 1, &size) && size.cx == 0;
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        if (zero) return font;
        DeleteObject(font);
    }
    return nullptr;
}

}  // namespace

TEST_F(LineDrawTest, ChangedCharactersSelectionAndLineEndMarkPaintWhereTheyBelong) {
    JobGroupUnit* job = Open("abcdef\r\n", "abXdef\r\n");
    ASSERT_EQ(job->rows.At(0)->kind, uint32_t(RowChanged));
    Place(job, 0, 0, 3, 0, 5);
    auto host = Show(job);
    DibCanvas canvas = DibCanvas::CaptureClient(host->window);
    const ColorTable& colors = ConfigStore::Instance().colors;
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    for (uint32_t side = 0; side < 2; ++side) {
        const int left = TextLeft(*host, side, 0);
        const int top = host->geometry.SideRect(side, 0).top;
        const COLORREF changed = side == 0 ? colors.detailDiff1Color : colors.detailDiff2Color;
        // The changed character's cell, and nothing beside it, in its colour.
        for (int x = left + At(job, side, 0, 2); x < left + At(job, side, 0, 3); ++x)
            EXPECT_EQ(canvas.Pixel(x, top), changed) << side << " x " << x;
        EXPECT_NE(canvas.Pixel(left + At(job, side, 0, 2) - 1, top), changed);
        if (side == 1) {
            EXPECT_NE(canvas.Pixel(left + At(job, side, 0, 3), top), changed);
        }
    }
    // The selection (focus side 1, "de") blended at "CursorPivotOverwrap".
    const int left = TextLeft(*host, 0, 0);
    const int top = host->geometry.SideRect(0, 0).top;
    const COLORREF selected = Blend(colors.cursorPivotColor, window, colors.cursorPivotOverwrap);
    for (int x = left + At(job, 0, 0, 3); x < left + At(job, 0, 0, 5); ++x)
        EXPECT_TRUE(Near(canvas.Pixel(x, top), selected, 2)) << x;
    EXPECT_EQ(canvas.Pixel(left + At(job, 0, 0, 5), top), window);
    EXPECT_EQ(canvas.Pixel(TextLeft(*host, 1, 0) + At(job, 1, 0, 4), top), window);  // not on side 2

    // The line-end mark: drawn in its colour, right of the last character.
    const RECT band = host->geometry.SideRect(0, 0);
    const int end = left + At(job, 0, 0, 6);
    std::vector<int> mark = InkColumns(canvas, band, end, band.right - 2, window);
    ASSERT_FALSE(mark.empty());
    std::vector<int> text = InkColumns(canvas, band, left, end, window);
    ASSERT_FALSE(text.empty());
    EXPECT_LT(text.back(), mark.front());
    int darkest = 255;
    for (int x : mark)
        for (int y = band.top + 1; y < band.bottom - 1; ++y) darkest = std::min<int>(darkest, GetGValue(canvas.Pixel(x, y)));
    EXPECT_EQ(darkest, GetGValue(colors.textNewLineColor));
}

TEST_F(LineDrawTest, TheCaretAfterATabStandsWhereTheNextCharacterIsDrawn) {
    JobGroupUnit* job = Open("a\tb\r\n", "a\tb\r\n");
    auto host = Show(job);
    DibCanvas canvas = DibCanvas::CaptureClient(host->window);
    const JobLineBaseData* data = LineBaseData(job->side1);
    // b goes to the tab stop, without the tab glyph's own width.
    EXPECT_EQ(At(job, 0, 0, 2), data->tabWidth);
    // The first ink of b, from the caret, is where b alone starts its ink.
    DibCanvas alone(40, 30);
    SelectObject(alone.Dc(), host->font);
    SetBkMode(alone.Dc(), TRANSPARENT);
    TextOutW(alone.Dc(), 0, 0, L"b", 1);
    std::vector<int> own = InkColumns(alone, RECT{0, 0, 40, 30}, 0, 40, RGB(255, 255, 255));
    ASSERT_FALSE(own.empty());
    const int bearing = own.front();
    std::vector<int> ink = InkColumns(canvas, host->geometry.SideRect(0, 0), TextLeft(*host, 0, 0) + At(job, 0, 0, 1),
                                      host->geometry.SideRect(0, 0).right, GetSysColor(COLOR_WINDOW));
    ASSERT_FALSE(ink.empty());
    RECT caret = LineOf(job, 0, 0)->CaretRect(host->Context(0, 0), 2);
    EXPECT_EQ(ink.front(), caret.left + bearing);
}

TEST_F(LineDrawTest, AClickOnEachGlyphGivesItsIndex) {
    // UTF-8: one, two and three units a character; blanks keep the glyphs
    // of every font apart.
    const std::string line = "a  \xC3\xA9  W  \xE8\xA1\xA8  m  x  ";
    JobGroupUnit* job = Open(line + "\r\n", line + "\r\n");
    auto host = Show(job);
    DibCanvas canvas = DibCanvas::CaptureClient(host->window);
    const RECT band = host->geometry.SideRect(0, 0);
    const int left = TextLeft(*host, 0, 0);
    const RawString text = LineOf(job, 0, 0)->LineText();
    std::vector<int> ink = InkColumns(canvas, band, left, band.right - 1, GetSysColor(COLOR_WINDOW));
    // The ink of each glyph is one run of columns; the runs stand in the
    // order of the characters that are not blanks.
    std::vector<std::pair<int, int>> runs;
    for (int x : ink) {
        if (!runs.empty() && runs.back().second == x - 1) {
            runs.back().second = x;
        } else {
            runs.push_back({x, x});
        }
    }
    std::vector<int32_t> glyphs;
    for (int32_t i = 0; i < text.Length(); i = text.NextCharPos(i))
        if (text.UnitAt(i) != ' ') glyphs.push_back(i);
    glyphs.push_back(text.Length());  // the line-end mark
    ASSERT_EQ(runs.size(), glyphs.size());
    const int y = band.top + host->geometry.rowHeight / 2;
    for (size_t g = 0; g + 1 < glyphs.size(); ++g) {
        TestSupport::SendMouse(host->window, WM_LBUTTONDOWN, (runs[g].first + runs[g].second) / 2, y);
        EXPECT_EQ(job->side1.cursorColumn, glyphs[g]) << g;
    }
    // A character of four units (a surrogate pair in UTF-16), by its cell.
    JobGroupUnit* pair = Open("a\xF0\x9F\x98\x80" "b\r\n", "x\r\n");
    host->job = pair;
    Repaint(*host);
    const int pairLeft = TextLeft(*host, 0, 0);
    TestSupport::SendMouse(host->window, WM_LBUTTONDOWN, pairLeft + (At(pair, 0, 0, 1) + At(pair, 0, 0, 5)) / 2, y);
    EXPECT_EQ(pair->side1.cursorColumn, 1);
    host->job = job;
    Repaint(*host);
    // Left of the text 0; right of it the length.
    TestSupport::SendMouse(host->window, WM_LBUTTONDOWN, band.left + 1, y);
    EXPECT_EQ(job->side1.cursorColumn, 0);
    TestSupport::SendMouse(host->window, WM_LBUTTONDOWN, band.right - 2, y);
    EXPECT_EQ(job->side1.cursorColumn, text.Length());
}

TEST_F(LineDrawTest, LinesLayOutAgainWhenTheTabStopOrTheirTextChanges) {
    JobGroupUnit* job = Open("a\tb\r\nxy\r\n", "a\tb\r\nxy\r\n");
    ConfigStore::Instance().tabStop = 4;
    auto host = Show(job);
    const uint16_t revision = LineBaseData(job->side1)->revision;
    const int32_t four = At(job, 0, 0, 2);
    ConfigStore::Instance().tabStop = 8;
    Repaint(*host);
    EXPECT_GT(LineBaseData(job->side1)->revision, revision);
    EXPECT_EQ(At(job, 0, 0, 2), 2 * four);
    for (int32_t row = 0; row < 2; ++row)
        EXPECT_EQ(LineOf(job, 0, row)->DrawData()->stamp, LineBaseData(job->side1)->revision);

    // A line edited after it was drawn paints and hit-tests its new text.
    host->focus = 0;
    Place(job, 0, 1, 1, 1, 1);
    SendMessageW(host->window, WM_CHAR, L'W', 0);
    SendMessageW(host->window, WM_CHAR, L'W', 0);
    EXPECT_EQ(TestSupport::S(LineOf(job, 0, 1)->LineText()), "xWWy");
    EXPECT_EQ(LineOf(job, 0, 1)->DrawData(), nullptr);
    Repaint(*host);
    ASSERT_NE(LineOf(job, 0, 1)->DrawData(), nullptr);
    const int left = TextLeft(*host, 0, 1);
    const int y = host->geometry.SideRect(0, 1).top + host->geometry.rowHeight / 2;
    TestSupport::SendMouse(host->window, WM_LBUTTONDOWN, left + (At(job, 0, 1, 3) + At(job, 0, 1, 4)) / 2, y);
    EXPECT_EQ(job->side1.cursorColumn, 3);
    DibCanvas canvas = DibCanvas::CaptureClient(host->window);
    EXPECT_FALSE(InkColumns(canvas, host->geometry.SideRect(0, 1), left + At(job, 0, 1, 3), left + At(job, 0, 1, 4),
                            GetSysColor(COLOR_WINDOW))
                     .empty());
}

TEST_F(LineDrawTest, MeasuringAfterAFontChangeLaysStalePositionsOutAgain) {
    const std::string text = "measure this line in the font of today, not yesterday's";
    JobGroupUnit* job = Open(text + "\r\n", text + "\r\n");
    WinLayer::GdiWindowDC screen(nullptr);
    WinLayer::GdiObject small(CreateFontW(-8, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    WinLayer::GdiObject large(CreateFontW(-30, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    {
        WinLayer::GdiSelection font(screen.Get(), small.Get());
        LineOf(job, 0, 0)->LayoutCharPositions(job->side1, screen.Get());
    }
    const int32_t smallWidth = At(job, 0, 0, static_cast<int32_t>(text.size()));
    // The font grows: side 1's line holds positions of the old revision,
    // side 2's line was never laid out and is measured by DrawTextEx.
    job->controller->InvalidateSide(*job, 0);
    job->controller->InvalidateSide(*job, 1);
    WinLayer::GdiSelection font(screen.Get(), large.Get());
    job->side1.measuredWidth[1] = job->side2.measuredWidth[1] = 0;
    LineOf(job, 0, 0)->MeasureContent(job->side1, screen.Get(), 2);
    LineOf(job, 1, 0)->MeasureContent(job->side2, screen.Get(), 2);
    EXPECT_GT(job->side2.measuredWidth[1], 2 * smallWidth);
    EXPECT_NEAR(job->side1.measuredWidth[1], job->side2.measuredWidth[1], 2);
    EXPECT_EQ(LineOf(job, 0, 0)->DrawData()->stamp, LineBaseData(job->side1)->revision);
}

TEST_F(LineDrawTest, ManyRowsLeaveNoGdiObjectBehind) {
    JobGroupUnit* job = Open("ab\tcdef\r\n", "abXdef\r\n");
    Place(job, 0, 0, 1, 0, 3);
    auto host = Show(job);
    const int live = WinLayer::GdiLiveObjects();
    RECT client = host->geometry.client;
    DibCanvas before(client.right, client.bottom);
    host->PaintInto(before.Dc());
    // Wine holds about 65,000 GDI objects; every row makes and frees a
    // memory DC, a bitmap, brushes and a pen.
    DibCanvas scratch(client.right, client.bottom);
    SelectObject(scratch.Dc(), host->font);
    for (int i = 0; i < 35000; ++i)
        for (uint32_t side = 0; side < 2; ++side)
            job->rows.At(0)->Unit(side)->Draw(TestSupport::RowContext(*job, side, 0, scratch.Dc(), host->geometry));
    EXPECT_EQ(WinLayer::GdiLiveObjects(), live);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HBITMAP bitmap = CreateCompatibleBitmap(scratch.Dc(), 16, 16);
    EXPECT_NE(brush, nullptr);
    EXPECT_NE(bitmap, nullptr);
    DeleteObject(brush);
    DeleteObject(bitmap);
    DibCanvas after(client.right, client.bottom);
    host->PaintInto(after.Dc());
    EXPECT_TRUE(after.SameAs(before));
    // Drawn straight onto the window (through a bitmap of each cell), the
    // rows look the same and leave nothing behind either.
    {
        WinLayer::GdiWindowDC dc(host->window);
        for (int i = 0; i < 50; ++i) host->PaintInto(dc.Get());
    }
    EXPECT_EQ(WinLayer::GdiLiveObjects(), live);
    DibCanvas shown(client.right, client.bottom);
    BitBlt(shown.Dc(), 0, 0, client.right, client.bottom, WinLayer::GdiWindowDC(host->window).Get(), 0, 0, SRCCOPY);
    EXPECT_TRUE(shown.SameAs(before));
    // A text cell of no width (or less) makes nothing and paints nothing.
    DibCanvas blank(client.right, client.bottom);
    JobDrawContext narrow = TestSupport::RowContext(*job, 0, 0, blank.Dc(), host->geometry);
    const int32_t w0 = job->side1.layoutWidth[0];
    for (int32_t width : {2 * host->geometry.margin, host->geometry.margin}) {
        job->side1.layoutWidth[1] = width;
        job->rows.At(0)->unit1->Draw(narrow);
        RECT text = {narrow.rect.left + w0, narrow.rect.top, narrow.rect.left + w0 + width - 1, narrow.rect.bottom};
        EXPECT_EQ(blank.CountColor(text, RGB(255, 255, 255)), (text.right - text.left) * (text.bottom - text.top));
    }
    EXPECT_EQ(WinLayer::GdiLiveObjects(), live);
}

TEST_F(LineDrawTest, CursorStepsEndOverCharactersWithoutAdvance) {
    // Eight zero-width spaces between a and b.
    std::string zero;
    for (int i = 0; i < 8; ++i) zero += "\xE2\x80\x8B";
    JobGroupUnit* job = Open("a" + zero + "b\r\n", "x\r\n");
    // The Japanese system font of code page 932 gives the zero-width space
    // an advance: the rows here are drawn in a font where it has none.
    WinLayer::GdiObject zeroWidth(FontWithZeroWidthSpace());
    ASSERT_TRUE(zeroWidth);
    std::unique_ptr<RowHost> host(new RowHost(job, RECT{20, 20, 820, 220}));
    host->font = static_cast<HFONT>(zeroWidth.Get());
    host->showCaret = false;
    host->Create();
    TestSupport::PumpUntilIdle();
    host->Repaint();
    JobLineUnit* line = LineOf(job, 0, 0);
    const int32_t length = line->LineText().Length();
    ASSERT_EQ(length, 26);
    // They measure 0: every unit of the run stands where b does.
    for (int32_t i = 1; i <= 25; ++i) EXPECT_EQ(At(job, 0, 0, i), At(job, 0, 0, 1)) << i;
    JobCursor cursor(*job, 0);
    cursor.row = 0;
    cursor.column = 0;
    int steps = 0;
    std::vector<int32_t> columns;
    while (steps < 100 && cursor.MoveRight()) {
        ++steps;
        columns.push_back(cursor.column);
    }
    // At least one character a step, never inside one, up to the end.
    ASSERT_FALSE(columns.empty());
    EXPECT_EQ(columns.back(), length);
    EXPECT_LE(steps, 10);
    const RawString text = line->LineText();
    for (size_t i = 0; i < columns.size(); ++i) {
        EXPECT_GT(columns[i], i == 0 ? 0 : columns[i - 1]);
        EXPECT_TRUE(columns[i] == length || (text.UnitAt(columns[i]) & 0xC0) != 0x80) << columns[i];
    }
    // A line never drawn steps by its characters; lookups stay in bounds.
    JobLineUnit fresh(RawString::FromBytes("\x95\x5C\x95\x5C", 4, RawLayer::KindSjis));
    EXPECT_EQ(fresh.FitCharIndex(1), 0);
    EXPECT_EQ(fresh.FitCharIndex(3), 2);
    EXPECT_EQ(fresh.NextColumn(0), 2);
    EXPECT_EQ(fresh.CharIndexAtOffset(-3), -1);
    RECT caret = fresh.CaretRect(host->Context(0, 0), 1000);
    EXPECT_EQ(caret.left, fresh.CaretRect(host->Context(0, 0), 4).left);
    EXPECT_EQ(line->DrawData()->PositionX(-5), 0);
    EXPECT_EQ(line->DrawData()->PositionX(1000), line->DrawData()->PositionX(length + 1));
}

TEST_F(LineDrawTest, EveryCharacterMiddleLeadsBackToItsIndex) {
    // Random lines of narrow, wide and multi-unit characters: the middle
    // that a vertical move remembers finds the same character again.
    std::mt19937 random(24);
    const char* pieces[] = {"i", "l", "W", "m", ".", "\xC3\xA9", "\xE8\xA1\xA8", "\t", " "};
    for (int round = 0; round < 4; ++round) {
        std::string line;
        for (int i = 0; i < 40; ++i) line += pieces[random() % (sizeof pieces / sizeof *pieces)];
        JobGroupUnit* job = Open(line + "\r\n", "x\r\n");
        auto host = Show(job);
        const JobLineUnit* unit = LineOf(job, 0, 0);
        ASSERT_NE(unit->DrawData(), nullptr);
        const RawString text = unit->LineText();
        for (int32_t i = 0; i < text.Length(); i = text.NextCharPos(i)) {
            EXPECT_EQ(unit->CharIndexAtOffset(unit->CharMidX(i)), i) << line << " at " << i;
        }
    }
}

TEST_F(LineDrawTest, LinesWiderThanTheExtentLimitGetEveryPosition) {
    const std::string wide(9000, 'W');
    JobGroupUnit* job = Open(wide + "\r\n", "x\r\n");
    auto host = Show(job);
    const JobLineDrawData* data = LineOf(job, 0, 0)->DrawData();
    ASSERT_NE(data, nullptr);
    for (int32_t i = 0; i < 9000; ++i) ASSERT_LT(data->PositionX(i), data->PositionX(i + 1)) << i;
    EXPECT_GT(data->PositionX(9000), 32767);
    // The same positions as the system's partial extents of the line.
    std::wstring text = TestSupport::Wide(wide + "\t" + wide);
    JobGroupUnit* mixed = Open(TestSupport::Utf8(text) + "\r\n", "x\r\n");
    host->job = mixed;
    Repaint(*host);
    const JobLineDrawData* laid = LineOf(mixed, 0, 0)->DrawData();
    ASSERT_NE(laid, nullptr);
    HDC dc = GetDC(host->window);
    HGDIOBJ old = SelectObject(dc, host->font);
    std::vector<int> extents(text.size());
    SIZE size;
    ASSERT_TRUE(GetTextExtentExPointW(dc, text.c_str(), 9000, -1, nullptr, extents.data(), &size));
    SelectObject(dc, old);
    ReleaseDC(host->window, dc);
    for (int32_t i = 0; i < 9000; ++i) ASSERT_EQ(laid->PositionX(i + 1), extents[static_cast<size_t>(i)]) << i;
    const int32_t tabWidth = LineBaseData(mixed->side1)->tabWidth;
    EXPECT_EQ(laid->PositionX(9001), (extents[8999] / tabWidth + 1) * tabWidth);
    EXPECT_EQ(laid->PositionX(9002) - laid->PositionX(9001), laid->PositionX(1));
}

TEST_F(LineDrawTest, RealInputMethodMessagesMakeOneEdit) {
    JobGroupUnit* job = Open("xy\r\n", "xy\r\n");
    auto host = Show(job);
    HIMC context = host->ime.context;
    ASSERT_NE(context, nullptr);
    const std::string nihon = "x\xE6\x97\xA5\xE6\x9C\xAC" "y";
    auto line = [&] { return TestSupport::S(LineOf(job, 0, 0)->LineText()); };
    auto records = [&] { return LineBaseData(job->side1)->undo.Count(); };

    // Shown while composing: no record, the side not changed.
    Place(job, 0, 0, 1, 0, 1);
    ASSERT_TRUE(ImmSetCompositionStringW(context, SCS_SETSTR, const_cast<wchar_t*>(L"\x65E5\x672C"), 4, nullptr, 0));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(line(), nihon);
    EXPECT_EQ(records(), 0);
    EXPECT_EQ(job->content1.flags & ContentChanged, 0);
    // Completed: the result once, one undo step.
    ASSERT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(line(), nihon);
    EXPECT_TRUE(job->content1.flags & ContentChanged);
    EXPECT_TRUE(host->Execute(CommandUndo));
    EXPECT_EQ(line(), "xy");
    EXPECT_FALSE(host->Execute(CommandUndo));

    // Cancelled: text and changed flag as they were.
    JobGroupUnit* clean = Open("xy\r\n", "xy\r\n");
    host->job = clean;
    Place(clean, 0, 0, 1, 0, 1);
    ASSERT_TRUE(ImmSetCompositionStringW(context, SCS_SETSTR, const_cast<wchar_t*>(L"\x672C"), 2, nullptr, 0));
    TestSupport::PumpUntilIdle();
    ASSERT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_CANCEL, 0));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(TestSupport::S(clean->content1.At(0)->Text()), "xy");
    EXPECT_EQ(clean->content1.flags & ContentChanged, 0);
    EXPECT_EQ(LineBaseData(clean->side1)->undo.Count(), 0);

    // Over a selection: the result replaces it, one undo brings it back.
    Place(clean, 0, 0, 0, 0, 2);
    ASSERT_TRUE(ImmSetCompositionStringW(context, SCS_SETSTR, const_cast<wchar_t*>(L"\x672C"), 2, nullptr, 0));
    TestSupport::PumpUntilIdle();
    ASSERT_TRUE(ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(TestSupport::S(clean->content1.At(0)->Text()), "\xE6\x9C\xAC");
    EXPECT_TRUE(host->Execute(CommandUndo));
    EXPECT_EQ(TestSupport::S(clean->content1.At(0)->Text()), "xy");
    EXPECT_FALSE(host->Execute(CommandUndo));
}

namespace {

// The ink of an area (the pixels unlike its most common colour, which is
// the background whatever marks the row has), cut to its bounding box, one
// string per pixel row: two glyphs of one font compare equal when their
// shapes are the same wherever they stand.
std::vector<std::string> InkShape(const DibCanvas& canvas, RECT area) {
    std::map<COLORREF, int> counts;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) ++counts[canvas.Pixel(x, y)];
    COLORREF background = 0;
    int most = -1;
    for (const auto& count : counts)
        if (count.second > most) background = count.first, most = count.second;
    int left = area.right, right = area.left, top = area.bottom, bottom = area.top;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (canvas.Pixel(x, y) != background) {
                left = std::min(left, x), right = std::max(right, x + 1);
                top = std::min(top, y), bottom = std::max(bottom, y + 1);
            }
    std::vector<std::string> shape;
    for (int y = top; y < bottom; ++y) {
        std::string row;
        for (int x = left; x < right; ++x) row += canvas.Pixel(x, y) != background ? '#' : '.';
        shape.push_back(row);
    }
    return shape;
}

std::string Utf16File(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

}  // namespace

TEST_F(LineDrawTest, JapaneseLinesOfShiftJisAndUtf16ShowTheirGlyphsAndTheLineEndMarkIsNoBox) {
    GuiProfileStore::Instance().ReloadViewFont(ViewFontText);
    HFONT textFont = GuiProfileStore::Instance().ViewFont(ViewFontText).handle;
    ASSERT_NE(textFont, nullptr);
    auto shown = [&](JobGroupUnit* job) {
        std::unique_ptr<RowHost> host(new RowHost(job, RECT{20, 20, 820, 220}));
        host->font = textFont;
        host->showCaret = false;
        host->Create();
        TestSupport::PumpUntilIdle();
        host->Repaint();
        return host;
    };
    auto cellArea = [&](RowHost& host, uint32_t side, int32_t from, int32_t to) {
        const RECT band = host.geometry.SideRect(side, 0);
        const int left = TextLeft(host, side, 0);
        return RECT{left + At(host.job, side, 0, from), band.top + 1, left + At(host.job, side, 0, to), band.bottom - 1};
    };

    // The font's own shape for a character it has no glyph for (U+0378 is
    // unassigned), drawn the way every line is.
    JobGroupUnit* missingJob = Open(Utf16File(L"\u0378\r\n"), Utf16File(L"\u0378\r\n"));
    std::vector<std::string> missing;
    {
        auto host = shown(missingJob);
        missing = InkShape(DibCanvas::CaptureClient(host->window), cellArea(*host, 0, 0, 1));
    }
    ASSERT_FALSE(missing.empty());

    // Kana, kanji and half-width kana, one side Shift_JIS, one side UTF-16.
    const std::wstring japanese = L"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8\u3001\u6F22\u5B57\uFF76\uFF85";
    const std::string sjis =
        "\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67\x81\x41\x8A\xBF\x8E\x9A\xB6\xC5\r\n";
    JobGroupUnit* job = Open(sjis, Utf16File(japanese + L"\r\n"));
    ASSERT_EQ(LineOf(job, 0, 0)->LineText().Kind(), RawLayer::KindSjis);
    auto host = shown(job);
    DibCanvas canvas = DibCanvas::CaptureClient(host->window);
    for (uint32_t side = 0; side < 2; ++side) {
        const RawString& text = LineOf(job, side, 0)->LineText();
        int characters = 0;
        for (int32_t i = 0; i < text.Length(); i = text.NextCharPos(i), ++characters) {
            const std::vector<std::string> shape =
                InkShape(canvas, cellArea(*host, side, i, text.NextCharPos(i)));
            EXPECT_FALSE(shape.empty()) << "side " << side << " character " << characters;
            EXPECT_NE(shape, missing) << "side " << side << " character " << characters << " is the missing glyph";
        }
        EXPECT_EQ(characters, static_cast<int>(japanese.size()));
        // The line-end mark right of the text: drawn, and not as the box.
        RECT mark = cellArea(*host, side, text.Length(), text.Length());
        mark.right = host->geometry.SideRect(side, 0).right - 2;
        const std::vector<std::string> markShape = InkShape(canvas, mark);
        EXPECT_FALSE(markShape.empty()) << side;
        EXPECT_NE(markShape, missing) << side;
    }

    // Latin text keeps its own face: the Japanese font only fills in.
    if (GetACP() == 1252) {
        HDC dc = GetDC(host->window);
        HGDIOBJ old = SelectObject(dc, textFont);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, face);
        SelectObject(dc, old);
        ReleaseDC(host->window, dc);
        EXPECT_EQ(std::wstring(face).find(L"IPA"), std::wstring::npos) << TestSupport::Utf8(face);
    }
}
