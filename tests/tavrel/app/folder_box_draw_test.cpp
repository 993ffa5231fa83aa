// The folder box's pixels: row colours by kind and selection, the row
// separator, the dividing zone, the title row's state colours, the focus
// frame, the float frame and mark strips, and the DC state after a paint.
// The focus frame needs the box to hold the keyboard focus, which a window
// another test shows meanwhile would take: USES_FOREGROUND.
#include "tab_view_fixture.h"

#include <algorithm>
#include <random>

#include "base/clipboard.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/text/line_unit.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace TabViewTest {
namespace {

using WinLayer::WinListBoxItemUnit;

class FolderBoxDrawTest : public MainWindowFixture {
protected:
    // The top two pixel lines of a cell: below the separator, above any
    // glyph.
    RECT CellTop(int32_t index, uint32_t side) {
        const RECT row = RowRect(index);
        const int32_t d = Box().GetDividingPoint();
        const LONG left = side == 0 ? Box().clientRect.left + 1 : d + 3;
        const LONG right = side == 0 ? d - 3 : Box().clientRect.right - 1;
        return RECT{left, row.top, right, row.top + 2};
    }
    // Whether most of a cell's top lines show the colour (glyphs and
    // column lines of the units take a few pixels).
    ::testing::AssertionResult CellIs(const DibCanvas& canvas, int32_t index, uint32_t side, COLORREF colour) {
        const RECT cell = CellTop(index, side);
        const int area = (cell.right - cell.left) * (cell.bottom - cell.top);
        const int count = canvas.CountColor(cell, colour);
        if (area > 0 && count * 10 >= area * 8) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "row " << index << " side " << side << ": " << count << " of " << area
                                             << " pixels are " << Hex(colour) << ", at the left "
                                             << Hex(canvas.Pixel(cell.left + 2, cell.top));
    }

    // Two folders holding a same, a changed, an only-1 and an only-2 file.
    void OpenFourKinds() {
        const std::wstring a = temp.Join(L"a"), b = temp.Join(L"b");
        CreateDirectoryW(a.c_str(), nullptr);
        CreateDirectoryW(b.c_str(), nullptr);
        PutFile(a + L"\\same.txt", "same\n");
        PutFile(b + L"\\same.txt", "same\n");
        PutFile(a + L"\\changed.txt", "one\n");
        PutFile(b + L"\\changed.txt", "two two\n");
        PutFile(a + L"\\left.txt", "left\n");
        PutFile(b + L"\\right.txt", "right\n");
        OpenPair(a, b);
    }
    static void PutFile(const std::wstring& path, const std::string& text) { ASSERT_TRUE(WriteFileBytes(path, text)); }
};

TEST_F(FolderBoxDrawTest, RowCellsShowTheKindColoursAndTheSelectionBlend) {
    OpenFourKinds();
    ASSERT_EQ(Current()->kind.kind, JobLayer::KindPath);
    const int32_t same = ItemOfKind(JobLayer::RowSame), changed = ItemOfKind(JobLayer::RowChanged);
    const int32_t only1 = ItemOfKind(JobLayer::RowOnly1), only2 = ItemOfKind(JobLayer::RowOnly2);
    ASSERT_GE(same, 0);
    ASSERT_GE(changed, 0);
    ASSERT_GE(only1, 0);
    ASSERT_GE(only2, 0);
    const COLORREF window = WinLayer::ListWindowColor();
    {
        const DibCanvas canvas = Capture();
        EXPECT_TRUE(CellIs(canvas, changed, 0, kDiff1));
        EXPECT_TRUE(CellIs(canvas, changed, 1, kDiff2));
        EXPECT_TRUE(CellIs(canvas, only1, 0, kOnly1));
        EXPECT_TRUE(CellIs(canvas, only1, 1, kBlank));
        EXPECT_TRUE(CellIs(canvas, only2, 0, kBlank));
        EXPECT_TRUE(CellIs(canvas, only2, 1, kOnly2));
        EXPECT_TRUE(CellIs(canvas, same, 0, window));
        EXPECT_TRUE(CellIs(canvas, same, 1, window));
        // The dividing zone: face colour with two grey lines.
        const int32_t d = Box().GetDividingPoint();
        const int y = RowRect(changed).top + 1;
        EXPECT_EQ(canvas.Pixel(d - 2, y), GetSysColor(COLOR_3DFACE));
        EXPECT_EQ(canvas.Pixel(d, y), GetSysColor(COLOR_3DFACE));
        EXPECT_EQ(canvas.Pixel(d - 1, y), RGB(0xA0, 0xA0, 0xA0));
        EXPECT_EQ(canvas.Pixel(d + 1, y), RGB(0xA0, 0xA0, 0xA0));
        // Without the separation flag rows of one colour touch.
        const RECT row = RowRect(changed);
        EXPECT_EQ(canvas.Pixel(d - 30, row.bottom - 1), kDiff1);
    }
    // A selected row: the selection colour of the current side (by focus)
    // and of the other side, each blended with the kind colour.
    Box().ItemAt(changed)->flags |= WinListBoxItemUnit::ItemSelected;
    Box().SetCurrentSide(0);
    const int weight = JobLayer::ConfigStore::Instance().colors.lineColorOverwrap;
    const bool focused = (Box().mode & WinLayer::WinListBoxInfo::ModeFocus) != 0;
    {
        const DibCanvas canvas = Capture();
        const COLORREF current = focused ? 0xFFD0C0 : 0xFFEAE4;
        EXPECT_TRUE(CellIs(canvas, changed, 0, RawLayer::BlendColor(kDiff1, current, window, weight)));
        EXPECT_TRUE(CellIs(canvas, changed, 1, RawLayer::BlendColor(kDiff2, 0xFFF3EF, window, weight)));
    }
    // With the flag, a one-pixel line of the window colour ends each row.
    JobLayer::ConfigStore::Instance().colors.lineColorSeparation = true;
    {
        const DibCanvas canvas = Capture();
        const RECT row = RowRect(only1);
        EXPECT_EQ(canvas.Pixel(Box().GetDividingPoint() - 30, row.bottom - 1), window);
        EXPECT_EQ(canvas.Pixel(Box().GetDividingPoint() - 30, row.bottom - 2), kOnly1);
    }
}

TEST_F(FolderBoxDrawTest, TitleRowShowsEachSideStateAndTheFocusFrameFollowsItsColour) {
    const std::wstring a = temp.Join(L"a.txt"), b = temp.Join(L"b.txt");
    ASSERT_TRUE(WriteFileBytes(a, "one\ntwo\n"));
    ASSERT_TRUE(WriteFileBytes(b, "one\nthree\n"));
    OpenPair(a, b);
    JobGroupUnit& job = *Current();
    ASSERT_EQ(job.kind.kind, JobLayer::KindText);
    auto titleOf = [&](uint32_t side) {
        const DibCanvas canvas = Capture();
        const RECT title = RowRect(-2);
        const int32_t d = Box().GetDividingPoint();
        const int x = side == 0 ? d - 40 : Box().clientRect.right - 40;
        return canvas.Pixel(x, title.top + 1);
    };
    const uint16_t keep1 = job.content1.flags;
    // First match wins: no path over every other state.
    job.content1.flags = static_cast<uint16_t>(keep1 | JobLayer::ContentNoFile | JobLayer::ContentChanged);
    EXPECT_EQ(titleOf(0), kNullPath);
    job.content1.flags = static_cast<uint16_t>(keep1 | JobLayer::ContentUnreadable | JobLayer::ContentChanged);
    EXPECT_EQ(titleOf(0), kReadFail);
    job.content1.flags = static_cast<uint16_t>(keep1 | JobLayer::ContentCut);
    EXPECT_EQ(titleOf(0), kOverSize);
    job.content1.flags = static_cast<uint16_t>(keep1 | JobLayer::ContentChanged);
    job.edit.edit1 = 1;
    EXPECT_EQ(titleOf(0), kModified);
    job.content1.flags = keep1;
    EXPECT_EQ(titleOf(0), kEditable);
    EXPECT_EQ(titleOf(1), WinLayer::ListWindowColor());

    // The focus frame: two pixels inside the current side.
    Box().SetCurrentSide(1);
    ASSERT_TRUE(Box().mode & WinLayer::WinListBoxInfo::ModeFocus) << "the box has no focus";
    const int32_t d = Box().GetDividingPoint();
    const int y = RowRect(0).top + 1;
    {
        const DibCanvas canvas = Capture();
        EXPECT_EQ(canvas.Pixel(d + 2, y), kFrameFocus);
        EXPECT_EQ(canvas.Pixel(d + 3, y), kFrameFocus);
        EXPECT_NE(canvas.Pixel(d + 4, y), kFrameFocus);
        EXPECT_NE(canvas.Pixel(d - 3, y), kFrameFocus);
    }
    // While the side composes with the input method, the IME colour.
    Current()->side2.imeState = 1;
    EXPECT_EQ(Capture().Pixel(d + 2, y), JobLayer::ConfigStore::Instance().colors.frameImeColor);
    Current()->side2.imeState = 0;
    JobLayer::ConfigStore::Instance().colors.frameFocusColor = JobLayer::NoColorValue;
    {
        const DibCanvas canvas = Capture();
        EXPECT_NE(canvas.Pixel(d + 2, y), kFrameFocus);
        EXPECT_NE(canvas.Pixel(d + 3, y), kFrameFocus);
    }
}

TEST_F(FolderBoxDrawTest, PaintPlacesTheCaretInsideTheCursorRowsTextArea) {
    const std::wstring a = temp.Join(L"a.txt"), b = temp.Join(L"b.txt");
    ASSERT_TRUE(WriteFileBytes(a, "alpha\nbeta\n"));
    ASSERT_TRUE(WriteFileBytes(b, "alpha\nbeta\n"));
    OpenPair(a, b);
    JobLayer::JobSideRecord& side = Current()->side2;
    Box().SetCurrentSide(1);
    side.cursorRow = 1;
    side.cursorColumn = 2;
    Capture();
    const RECT caret = Box().CaretRect();
    const RECT row = RowRect(1);
    EXPECT_FALSE(IsRectEmpty(&caret));
    EXPECT_GE(caret.left, Box().GetDividingPoint() + 2);
    EXPECT_EQ(caret.top, row.top);
    EXPECT_EQ(caret.bottom, row.bottom);
    // One character cell wide, not a whole view.
    EXPECT_LT(caret.right - caret.left, 40);
    // No cursor character: no caret.
    side.cursorColumn = -1;
    Capture();
    const RECT none = Box().CaretRect();
    EXPECT_TRUE(IsRectEmpty(&none));
}

TEST_F(FolderBoxDrawTest, FloatingRunHasOneDoubleFrameAndMarkedLinesAStrip) {
    const std::wstring a = temp.Join(L"a.txt"), b = temp.Join(L"b.txt");
    ASSERT_TRUE(WriteFileBytes(a, "l0\nl1\nl2\nl3\nl4\nl5\n"));
    ASSERT_TRUE(WriteFileBytes(b, "l0\nl1\nl2\nl3\nl4\nl5\n"));
    OpenPair(a, b);
    JobGroupUnit& job = *Current();
    ASSERT_GE(job.rows.Count(), 6);
    for (int32_t i = 1; i <= 3; ++i) {
        JobLayer::JobContentUnit* unit = job.rows.At(i)->unit1;
        unit->markKind = JobLayer::MarkFloat;
        unit->markSerial = 7;
    }
    job.rows.At(5)->unit2->markKind = JobLayer::MarkConnect;
    const DibCanvas canvas = Capture();
    const int32_t d = Box().GetDividingPoint();
    const LONG left = Box().clientRect.left;
    const int x = (left + d) / 2 + 40;
    const COLORREF outer = RGB(0x40, 0x40, 0x40);
    // Top edges on the first floating line only, bottom edges on the last.
    EXPECT_EQ(canvas.Pixel(x, RowRect(1).top), outer);
    EXPECT_EQ(canvas.Pixel(x, RowRect(1).top + 1), kFloated);
    EXPECT_NE(canvas.Pixel(x, RowRect(2).top), outer);
    EXPECT_NE(canvas.Pixel(x, RowRect(2).bottom - 1), outer);
    EXPECT_NE(canvas.Pixel(x, RowRect(1).bottom - 1), outer);
    EXPECT_EQ(canvas.Pixel(x, RowRect(3).bottom - 1), outer);
    EXPECT_EQ(canvas.Pixel(x, RowRect(3).bottom - 2), kFloated);
    // Side edges on all three: outer at the cell's left, inner beside it.
    for (int32_t i = 1; i <= 3; ++i) {
        const int y = (RowRect(i).top + RowRect(i).bottom) / 2;
        EXPECT_EQ(canvas.Pixel(left, y), outer) << i;
        EXPECT_EQ(canvas.Pixel(left + 1, y), kFloated) << i;
        // The 10-pixel strip on the inner edge (left of the frame lines).
        EXPECT_EQ(canvas.Pixel(d - 2 - 10, y), kFloated) << i;
        EXPECT_NE(canvas.Pixel(d - 2 - 11, y), kFloated) << i;
    }
    EXPECT_NE(canvas.Pixel(left, (RowRect(4).top + RowRect(4).bottom) / 2), outer);
    // A connected line: the strip on side 2's inner edge.
    const int y5 = (RowRect(5).top + RowRect(5).bottom) / 2;
    EXPECT_EQ(canvas.Pixel(d + 2, y5), kConnected);
    EXPECT_EQ(canvas.Pixel(d + 2 + 9, y5), kConnected);
    EXPECT_NE(canvas.Pixel(d + 2 + 10, y5), kConnected);
}

TEST_F(FolderBoxDrawTest, PaintingLeavesTheDcAsItWasAndLeaksNoObject) {
    const std::wstring a = temp.Join(L"a.txt"), b = temp.Join(L"b.txt");
    ASSERT_TRUE(WriteFileBytes(a, "one\ntwo\nthree\n"));
    ASSERT_TRUE(WriteFileBytes(b, "one\n2\nthree\nfour\n"));
    OpenPair(a, b);
    JobGroupUnit& job = *Current();
    job.rows.At(1)->unit1->markKind = JobLayer::MarkFloat;
    job.rows.At(0)->unit2->markKind = JobLayer::MarkConnect;
    Box().ItemAt(1)->flags |= WinListBoxItemUnit::ItemSelected;
    DibCanvas canvas(800, 400);
    HDC dc = canvas.Dc();
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    HFONT font = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
    SelectObject(dc, pen);
    SelectObject(dc, brush);
    SelectObject(dc, font);
    const DWORD objects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    WinLayer::WinDrawContext context(dc);
    for (int round = 0; round < 50; ++round) {
        int32_t index = 0;
        for (WinListBoxItemUnit& unit : Box().items) {
            const RECT rect{0, index * 20, 780, index * 20 + 20};
            Box().DrawItemOf(context, rect, index, unit, GuiFolderBox::ItemOf(unit));
            ++index;
        }
        Box().DrawHeader(context, RECT{0, 300, 780, 320}, -2, Box().header);
        Box().DrawOverlay(context, RECT{0, 0, 800, 400}, POINT{});
        ASSERT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
        ASSERT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
        ASSERT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
    }
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), objects + 2);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

}  // namespace
}  // namespace TabViewTest

namespace TabViewTest {
namespace {

// The text column's width found from the widest candidates equals the
// width of measuring every line, over random lines of ASCII, tabs and
// other characters, in the box's view font.
TEST_F(FolderBoxDrawTest, WidestLineWithoutMeasuringEveryLineMatchesMeasuringAll) {
    Open(L"");
    std::mt19937 random(5);
    const char* pieces[] = {"i", "W", "m", ".", " ", "\t", "lorem", "MMMM", "\xc3\xa9", "\xe3\x81\x82", "||", "ij"};
    for (int round = 0; round < 6; ++round) {
        std::string text;
        const int count = 50 + static_cast<int>(random() % 200);
        for (int line = 0; line < count; ++line) {
            const int parts = static_cast<int>(random() % 30);
            for (int p = 0; p < parts; ++p) text += pieces[random() % (round < 3 ? 8 : 12)];
            text += "\n";
        }
        const std::wstring a = temp.Join(L"w" + std::to_wstring(round) + L".txt");
        ASSERT_TRUE(WriteFileBytes(a, text));
        JobGroupUnit* job = JobLayer::JobGroupList::Instance().FindOrOpenPair(W(a), W(a));
        ASSERT_NE(job, nullptr);
        Views().tabBar.InsertJob(nullptr, job);
        PumpUntilIdle();
        ASSERT_EQ(Box().Job(), job);
        WinLayer::GdiWindowDC screen(Box().window);
        WinLayer::GdiSelection keep(screen.Get(), Box().GetEffectiveFont().handle);
        JobLayer::JobSideRecord& record = job->side1;
        const int32_t margin = JobLayer::KindMargin(JobLayer::KindText);
        record.measuredWidth[1] = 0;
        for (JobLayer::JobContentUnit& unit : job->content1) unit.MeasureContent(record, screen.Get(), margin);
        const int32_t every = record.measuredWidth[1];
        record.measuredWidth[1] = 0;
        GuiFolderBox::MeasureLongestLines(screen.Get(), record, job->content1, margin);
        EXPECT_EQ(record.measuredWidth[1], every) << round;
        EXPECT_GT(every, 0);
    }
}

// Line numbers of a long file show every digit: the number column is as
// wide as the largest number, and a number near the end is drawn whole.
TEST_F(FolderBoxDrawTest, NumbersNearTheEndOfALongFileShowEveryDigit) {
    std::string text;
    text.reserve(1000000);
    for (int i = 1; i <= 100000; ++i) text += "x" + std::to_string(i % 7) + "\n";
    const std::wstring a = temp.Join(L"a.txt"), b = temp.Join(L"b.txt");
    ASSERT_TRUE(WriteFileBytes(a, text));
    ASSERT_TRUE(WriteFileBytes(b, text));
    OpenPair(a, b);
    JobGroupUnit& job = *Current();
    ASSERT_EQ(job.rows.Count(), 100000);
    Box().SetCurrentSide(0);
    ASSERT_TRUE(Box().GotoRow(99990, false));
    PumpUntilIdle();
    const int32_t margin = JobLayer::KindMargin(JobLayer::KindText);
    auto width = [&](const wchar_t* number) {
        WinLayer::GdiWindowDC screen(Box().window);
        WinLayer::GdiSelection keep(screen.Get(), Box().GetEffectiveFont().handle);
        RECT rect{0, 0, 32767, 0};
        DrawTextW(screen.Get(), number, -1, &rect, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        return static_cast<int32_t>(rect.right - rect.left);
    };
    EXPECT_GE(job.side1.layoutWidth[0], width(L"100000") + 2 * margin);
    EXPECT_GE(job.side2.layoutWidth[0], width(L"100000") + 2 * margin);
    // Line 99,984 (row 99,983) stands above the cursor row, unselected: the
    // ink of its number spans about as much as the whole number's text.
    const DibCanvas canvas = Capture();
    const RECT row = RowRect(99983);
    ASSERT_GE(row.top, Box().clientRect.top);
    const LONG left = Box().clientRect.left, right = left + job.side1.layoutWidth[0] - 1;
    LONG first = right, last = left - 1;
    for (LONG y = row.top + 1; y < row.bottom - 1; ++y) {
        for (LONG x = left; x < right; ++x) {
            if (canvas.Pixel(x, y) == WinLayer::ListWindowColor()) continue;
            first = std::min(first, x);
            last = std::max(last, x);
        }
    }
    const int32_t shown = static_cast<int32_t>(last - first + 1);
    EXPECT_GE(shown * 10, width(L"99984") * 8) << "ink from " << first << " to " << last;
}

// Side 2 of a binary pair scrolled sideways by its half of the twin scroll
// bar draws nothing over side 1: neither its address column nor its hex,
// in the title row or any other, before or after the rows scroll down.
TEST_F(FolderBoxDrawTest, ABinarySideScrolledSidewaysDrawsOnlyInsideItsOwnCell) {
    std::string bytes1(4096, '\0'), bytes2;
    for (size_t i = 0; i < bytes1.size(); ++i) bytes1[i] = static_cast<char>((i * 7) & 0xFF);
    bytes2 = bytes1;
    for (size_t i = 3; i < bytes2.size(); i += 37) bytes2[i] = static_cast<char>(~bytes2[i]);
    const std::wstring a = temp.Join(L"a.bin"), b = temp.Join(L"b.bin");
    ASSERT_TRUE(WriteFileBytes(a, bytes1));
    ASSERT_TRUE(WriteFileBytes(b, bytes2));
    OpenPair(a, b);
    JobGroupUnit& job = *Current();
    ASSERT_EQ(job.kind.kind, JobLayer::KindBinary);
    // A window narrow enough that a side shows only part of its row.
    RECT window{};
    GetWindowRect(Dialog().window, &window);
    for (LONG width = 900; width >= 400 && Box().ScrollMax(1) <= 0; width -= 100) {
        SetWindowPos(Dialog().window, nullptr, 0, 0, width, window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER);
        PumpUntilIdle();
        Capture();
    }
    ASSERT_GT(Box().ScrollMax(1), 0);
    ASSERT_GT(Box().VisibleRows(), 4);
    const int32_t d = Box().GetDividingPoint();
    ASSERT_EQ(job.side2.scrollX, 0);
    // Side 1's cells, all rows and the title row.
    auto side1 = [&](const DibCanvas& canvas) {
        std::vector<COLORREF> pixels;
        for (LONG y = Box().marginTop; y < canvas.Height() - Box().marginBottom; ++y) {
            for (LONG x = Box().marginLeft; x < d - 2; ++x) pixels.push_back(canvas.Pixel(x, y));
        }
        return pixels;
    };
    auto scrollRows = [&](WPARAM code, int times) {
        for (int i = 0; i < times; ++i) SendMessageW(Box().window, WM_VSCROLL, code, 0);
        PumpUntilIdle();
    };
    const std::vector<COLORREF> top = side1(Capture());
    scrollRows(SB_LINEDOWN, 3);
    const std::vector<COLORREF> down = side1(Capture());
    scrollRows(SB_LINEUP, 3);
    // Side 2's thumb of the twin scroll bar dragged to its right end.
    AppLayer::GuiTwinScrollBar& twin = Views().twinBar;
    const RECT thumb = twin.halves[1].thumb;
    ASSERT_FALSE(IsRectEmpty(&thumb));
    const POINT press{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
    auto mouse = [&](UINT message, WPARAM keys, LONG x) {
        SendMessageW(twin.window, message, keys, MAKELPARAM(x, press.y));
        PumpUntilIdle();
    };
    mouse(WM_LBUTTONDOWN, MK_LBUTTON, press.x);
    mouse(WM_MOUSEMOVE, MK_LBUTTON, press.x + 10);
    mouse(WM_MOUSEMOVE, MK_LBUTTON, press.x + 3000);
    mouse(WM_LBUTTONUP, 0, press.x + 3000);
    ASSERT_GT(job.side2.scrollX, job.side2.layoutWidth[0]);
    // Rows painted as they come into view, and the whole box painted again.
    UpdateWindow(Box().window);
    EXPECT_TRUE(side1(DibCanvas::CaptureClient(Box().window)) == top);
    EXPECT_TRUE(side1(Capture()) == top);
    scrollRows(SB_LINEDOWN, 3);
    EXPECT_TRUE(side1(DibCanvas::CaptureClient(Box().window)) == down);
    EXPECT_TRUE(side1(Capture()) == down);
    SetWindowPos(Dialog().window, nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    PumpUntilIdle();
}

// A binary side's encoding label in the title row is where the painted box
// says it is, and a click on it opens the encoding menu there.
TEST_F(FolderBoxDrawTest, ClickOnABinarySidesEncodingLabelChoosesTheEncoding) {
    const std::wstring a = temp.Join(L"a.bin"), b = temp.Join(L"b.bin");
    ASSERT_TRUE(WriteFileBytes(a, std::string{0, 1, 2, 'a', 'b', 'c'}));
    ASSERT_TRUE(WriteFileBytes(b, std::string{0, 1, 3, 'a', 'b', 'c'}));
    OpenPair(a, b);
    JobGroupUnit& job = *Current();
    ASSERT_EQ(job.kind.kind, JobLayer::KindBinary);
    Capture();
    const RECT first = job.side1.encodingRect;
    const RECT title = RowRect(-2);
    ASSERT_GT(first.right, first.left);
    EXPECT_GE(first.top, title.top);
    EXPECT_LE(first.bottom, title.bottom);
    EXPECT_LE(first.right, Box().GetDividingPoint());
    // Neither side's label covers the character column's title, at any
    // width of the window.
    RECT window{};
    GetWindowRect(Dialog().window, &window);
    for (const int width : {1280, 1100, 900, 760}) {
        SetWindowPos(Dialog().window, nullptr, 0, 0, width, window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER);
        PumpUntilIdle();
        Capture();
        for (uint32_t side = 0; side < 2; ++side) {
            const JobLayer::JobSideRecord& record = job.Side(side);
            const int32_t margin = JobLayer::KindMargin(JobLayer::KindBinary);
            const LONG cell = side == 0 ? Box().clientRect.left : Box().GetDividingPoint() + 2;
            const LONG chars = cell - record.scrollX + record.layoutWidth[0] + record.layoutWidth[1] + margin;
            const RECT column{chars, title.top, chars + record.layoutWidth[2] - 2 * margin, title.bottom};
            RECT both{};
            EXPECT_FALSE(IntersectRect(&both, &column, &record.encodingRect))
                << "side " << side << " at " << width << ": label from " << record.encodingRect.left
                << ", characters to " << column.right;
        }
    }
    SetWindowPos(Dialog().window, nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    PumpUntilIdle();
    Capture();
    const RECT label = job.side1.encodingRect;
    // The sixth item of the menu opened by the click: UTF16LE.
    bool opened = false;
    TestSupport::RunLater(300, [&] {
        opened = FindWindowW(L"#32768", nullptr) != nullptr;
        for (int i = 0; i < 6; ++i) TestSupport::PostKey(Box().window, VK_DOWN);
        TestSupport::PostKey(Box().window, VK_RETURN);
    });
    const LPARAM at = MAKELPARAM((label.left + label.right) / 2, (label.top + label.bottom) / 2);
    SendMessageW(Box().window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(Box().window, WM_LBUTTONUP, 0, at);
    PumpUntilIdle();
    EXPECT_TRUE(opened);
    EXPECT_EQ(JobLayer::BinaryEncodingKind(job.side1), 6u);
}

}  // namespace
}  // namespace TabViewTest
