// The views around the folder box: the position bar's marks and clicks, the
// twin scroll bar's requests (repeat, capture, thumb, wheel), the status
// box under a flood of reports, and a paint that leaves no GDI object.
// While the twin bar holds the mouse capture, a move of the display's real
// pointer (a window another test shows or closes under it) reaches the bar
// as a drag: USES_FOREGROUND.
#include "tab_view_fixture.h"

#include <random>
#include <thread>
#include <vector>

#include "tavrel/app/strip_view.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/shell_commands.h"
#include "toolkit/gdi_scope.h"

namespace TabViewTest {
namespace {

using AppLayer::GuiPositionBar;
using AppLayer::GuiStatusBox;
using AppLayer::GuiTwinScrollBar;
using JobLayer::JobReportList;

constexpr COLORREF kPosSame = RGB(0x31, 0x41, 0x51);
constexpr COLORREF kPosSide1 = RGB(0x32, 0x42, 0x52);
constexpr COLORREF kPosSide2 = RGB(0x33, 0x43, 0x53);
constexpr COLORREF kPosBlank = RGB(0x34, 0x44, 0x54);

// Rows of the given kinds (no units: the bar reads only the kinds).
void FillRows(JobReportList& rows, const std::vector<uint32_t>& kinds) {
    for (uint32_t kind : kinds) rows.Add(JobLayer::NewCompareRow(kind, nullptr, nullptr));
}

// The marks of one side as the bar must compute them, by plain 64-bit
// arithmetic.
std::vector<int32_t> ReferenceMarks(const std::vector<uint32_t>& kinds, int32_t height, uint32_t side) {
    std::vector<int32_t> marks(static_cast<size_t>(height), 0);
    const int64_t n = static_cast<int64_t>(kinds.size());
    if (n == 0) return marks;
    const int64_t perRow = std::max<int64_t>(height / n, 2);
    for (int64_t i = 0; i < n; ++i) {
        const uint32_t kind = kinds[static_cast<size_t>(i)];
        if (kind == 0) continue;
        const int64_t y = i * height / n;
        const int32_t mark = (side == 0 ? kind == 2 : kind == 1) ? 2 : 1;
        for (int64_t k = y; k < y + perRow && k < height; ++k) marks[static_cast<size_t>(k)] = mark;
    }
    return marks;
}

class MainViewsTest : public MainWindowFixture {
protected:
    void OpenEmpty() {
        WriteProfile("PosBarSameColor=" + Hex(kPosSame) + "\r\nPosBarSide1Color=" + Hex(kPosSide1) +
                     "\r\nPosBarSide2Color=" + Hex(kPosSide2) + "\r\nPosBarBlankColor=" + Hex(kPosBlank) + "\r\n");
        Open(L"");
    }
    void TearDown() override {
        if (run.Window()) Views().positionBar.rows = nullptr;
        MainWindowFixture::TearDown();
    }
    GuiPositionBar& Bar() { return Views().positionBar; }
    GuiTwinScrollBar& Twin() { return Views().twinBar; }

    // Gives the position bar a track of a height and paints it.
    DibCanvas PaintBar(int32_t trackHeight) {
        GuiPositionBar& bar = Bar();
        RECT placed{};
        GetWindowRect(bar.window, &placed);
        MapWindowPoints(nullptr, Dialog().window, reinterpret_cast<POINT*>(&placed), 2);
        MoveWindow(bar.window, placed.left, placed.top, placed.right - placed.left,
                   trackHeight + 2 * bar.verticalMargin, TRUE);
        InvalidateRect(bar.window, nullptr, FALSE);
        UpdateWindow(bar.window);
        return DibCanvas::CaptureClient(bar.window);
    }
    // The x of the middle of a side's column.
    LONG ColumnX(uint32_t side) {
        RECT client{};
        GetClientRect(Bar().window, &client);
        return side == 0 ? client.left + Bar().marginLeft + 2 : client.right - Bar().marginRight - 2;
    }

    // Sets both halves' ranges and lays them out for the bar's client area.
    void SetHalves(int32_t max1, int32_t pos1, int32_t max2, int32_t pos2) {
        GuiTwinScrollBar& twin = Twin();
        RECT client{};
        GetClientRect(twin.window, &client);
        {
            EnterCriticalSection(&twin.lock);
            twin.dividingX = client.right / 2;
            twin.ownerClient = RECT{0, 0, client.right - 1, 100};
            const int32_t page1 = twin.dividingX - 2, page2 = client.right - twin.dividingX - 4;
            twin.halves[0].position = pos1;
            twin.halves[0].end = pos1 + page1;
            twin.halves[0].maximum = max1;
            twin.halves[1].position = pos2;
            twin.halves[1].end = pos2 + page2;
            twin.halves[1].maximum = max2;
            LeaveCriticalSection(&twin.lock);
        }
        twin.LayoutHalves(client);
    }
    // Pumps for a time, taking the twin bar's requests to the folder box out
    // of the queue; the times (ms from the start) they were seen at.
    std::vector<DWORD> PumpRequests(DWORD ms, DWORD start) {
        std::vector<DWORD> times;
        while (GetTickCount() - start < ms) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == Box().window && msg.message == WM_COMMAND &&
                    HIWORD(msg.wParam) == AppLayer::CmdTwinBarNotice) {
                    times.push_back(GetTickCount() - start);
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(2);
        }
        return times;
    }
    POINT Middle(const RECT& rect) { return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }
    void Mouse(UINT message, POINT point) { SendMessageW(Twin().window, message, 0, MAKELPARAM(point.x, point.y)); }
};

// ---- position bar ------------------------------------------------------------------------------------

TEST_F(MainViewsTest, PositionBarPaintsThreeRowsAsBandsOfAThirdInTheKindColours) {
    OpenEmpty();
    JobReportList rows;
    FillRows(rows, {JobLayer::RowSame, JobLayer::RowOnly1, JobLayer::RowChanged});
    Bar().rows = &rows;
    const DibCanvas canvas = PaintBar(300);
    const LONG top = Bar().verticalMargin;
    // Row 0 same on both; row 1 only on side 1 (missing on side 2); row 2
    // changed on both.
    const COLORREF expected[2][3] = {{kPosSame, kPosSide1, kPosSide1}, {kPosSame, kPosBlank, kPosSide2}};
    for (uint32_t side = 0; side < 2; ++side) {
        const LONG x = ColumnX(side);
        for (int band = 0; band < 3; ++band) {
            const RECT area{x, top + band * 100, x + 1, top + band * 100 + 100};
            EXPECT_EQ(canvas.CountColor(area, expected[side][band]), 100) << "side " << side << " band " << band;
        }
    }
}

TEST_F(MainViewsTest, PositionBarMarksMatchTheReferenceOverRandomJobs) {
    OpenEmpty();
    std::mt19937 random(25);
    for (int round = 0; round < 40; ++round) {
        const int32_t count = static_cast<int32_t>(random() % (round < 20 ? 40 : 5000)) + (round % 7 == 0 ? 0 : 1);
        const int32_t height = static_cast<int32_t>(random() % 900);
        std::vector<uint32_t> kinds(static_cast<size_t>(count));
        for (uint32_t& kind : kinds) kind = random() % 3 == 0 ? static_cast<uint32_t>(random() % 4) : 0;
        JobReportList rows;
        FillRows(rows, kinds);
        Bar().rows = &rows;
        Bar().ComputeMarks(height);
        for (uint32_t side = 0; side < 2; ++side) {
            const std::vector<int32_t> expected = ReferenceMarks(kinds, height, side);
            const std::vector<int32_t>& marks = Bar().Marks(side);
            ASSERT_GE(marks.size(), expected.size());
            // The capacity beyond the track is cleared too.
            for (size_t k = expected.size(); k < marks.size(); ++k) ASSERT_EQ(marks[k], 0) << k;
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), marks.begin())) << count << " rows, " << height;
        }
        Bar().rows = nullptr;
    }
}

TEST_F(MainViewsTest, PositionBarMarksTheLastOfFourMillionRowsAtTheBottom) {
    OpenEmpty();
    constexpr int32_t kRows = 4000000;
    JobReportList rows;
    RawLayer::SmallBlockBatch batch(sizeof(JobLayer::JobReportUnit));
    for (int32_t i = 0; i < kRows; ++i) {
        rows.Add(JobLayer::NewCompareRow(i == kRows - 1 ? JobLayer::RowChanged : JobLayer::RowSame, nullptr, nullptr,
                                         &batch));
    }
    Bar().rows = &rows;
    const DibCanvas canvas = PaintBar(300);
    const LONG top = Bar().verticalMargin;
    for (uint32_t side = 0; side < 2; ++side) {
        const LONG x = ColumnX(side);
        const COLORREF mark = side == 0 ? kPosSide1 : kPosSide2;
        EXPECT_EQ(canvas.CountColor(RECT{x, top, x + 1, top + 300}, mark), 1) << side;
        EXPECT_EQ(canvas.Pixel(x, top + 299), mark) << side;
    }
    Bar().rows = nullptr;
}

TEST_F(MainViewsTest, PositionBarRepaintsAShorterJobWithoutTheLongerOnesMarks) {
    OpenEmpty();
    JobReportList longer, shorter;
    FillRows(longer, std::vector<uint32_t>(600, JobLayer::RowChanged));
    FillRows(shorter, {JobLayer::RowSame, JobLayer::RowSame});
    Bar().rows = &longer;
    PaintBar(400);
    Bar().rows = &shorter;
    const DibCanvas canvas = PaintBar(300);
    const LONG x = ColumnX(0), top = Bar().verticalMargin;
    EXPECT_EQ(canvas.CountColor(RECT{x, top, x + 1, top + 300}, kPosSame), 300);
}

TEST_F(MainViewsTest, PositionBarClickAtTheBottomEdgeBringsTheLastRowIntoView) {
    WriteProfile();
    std::string a, b;
    for (int i = 0; i < 400; ++i) a += "line " + std::to_string(i) + "\r\n";
    b = a + "only on side 2\r\n";
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.txt"), a));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"b.txt"), b));
    OpenPair(temp.Join(L"a.txt"), temp.Join(L"b.txt"));
    GuiPositionBar& bar = Bar();
    ASSERT_NE(bar.rows, nullptr);
    const int32_t n = bar.rows->Count();
    ASSERT_GT(n, 400);
    RECT client{};
    GetClientRect(bar.window, &client);
    const RECT track = bar.Track(client);
    SendMessageW(bar.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right / 2, track.bottom));
    SendMessageW(bar.window, WM_LBUTTONUP, 0, MAKELPARAM(client.right / 2, track.bottom));
    PumpUntilIdle();
    EXPECT_EQ(bar.clickedRow, n - 1);
    const RECT last = RowRect(n - 1);
    EXPECT_GE(last.top, Box().clientRect.top);
    EXPECT_LE(last.bottom, Box().clientRect.bottom);
    // A click above the track, and one on a track of no height, do nothing.
    bar.clickedRow = -5;
    SendMessageW(bar.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, track.top - 1));
    EXPECT_EQ(bar.clickedRow, -5);
    RECT placed{};
    GetWindowRect(bar.window, &placed);
    MapWindowPoints(nullptr, Dialog().window, reinterpret_cast<POINT*>(&placed), 2);
    MoveWindow(bar.window, placed.left, placed.top, placed.right - placed.left, 2 * bar.verticalMargin, TRUE);
    SendMessageW(bar.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, bar.verticalMargin));
    EXPECT_EQ(bar.clickedRow, -5);
    // Nor does a click with no tab shown.
    bar.rows = nullptr;
    SendMessageW(bar.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 20));
    EXPECT_EQ(bar.clickedRow, -5);
    SendMessageW(bar.window, WM_LBUTTONUP, 0, 0);
}

TEST_F(MainViewsTest, PositionBarPaintsTheNextJobAtOnceWhenItsTabCloses) {
    OpenEmpty();
    std::string a, b;
    for (int i = 0; i < 300; ++i) a += "line " + std::to_string(i) + "\r\n";
    for (int i = 0; i < 300; ++i) b += (i % 2 ? "other " : "line ") + std::to_string(i) + "\r\n";
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"a.txt"), a));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"b.txt"), b));
    ASSERT_TRUE(WriteFileBytes(temp.Join(L"c.txt"), "same\r\n"));
    AppLayer::GuiTabBar& tabs = Views().tabBar;
    tabs.LoadSide(0, P(temp.Join(L"a.txt")));
    tabs.LoadSide(1, P(temp.Join(L"b.txt")));
    PumpUntilIdle();
    tabs.InsertJob(nullptr, JobLayer::JobGroupList::Instance().FindOrOpenPair(P(temp.Join(L"c.txt")),
                                                                             P(temp.Join(L"c.txt"))));
    PumpUntilIdle();
    tabs.SelectTab(tabs.ItemAtIndex(0));
    PumpUntilIdle();
    ASSERT_GT(PaintBar(300).CountColor(kPosSide1), 100);
    tabs.RemoveTab(tabs.ItemAtIndex(0));
    // Painted before anything else runs: the rows are the new current job's.
    InvalidateRect(Bar().window, nullptr, FALSE);
    UpdateWindow(Bar().window);
    const DibCanvas canvas = DibCanvas::CaptureClient(Bar().window);
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(Bar().rows, &Current()->rows);
    EXPECT_EQ(canvas.CountColor(kPosSide1), 0);
    EXPECT_GT(canvas.CountColor(kPosSame), 100);
}

// ---- twin scroll bar ---------------------------------------------------------------------------------

TEST_F(MainViewsTest, TwinBarHalvesKeepThumbAndTargetInsideForAnyRange) {
    std::mt19937 random(144);
    for (int round = 0; round < 20000; ++round) {
        GuiTwinScrollBar::Half half;
        const LONG width = static_cast<LONG>(random() % (round % 3 == 0 ? 60 : 2000));
        const LONG left = static_cast<LONG>(random() % 500);
        const int32_t range = round % 5 == 0 ? 100000000 : static_cast<int32_t>(random() % 400000);
        const int32_t page = static_cast<int32_t>(random() % (range / 2 + 2));
        half.maximum = range;
        half.position = static_cast<int32_t>(random() % (static_cast<uint32_t>(range) + 1));
        half.end = half.position + page;
        const RECT area{left, 0, left + width, 16};
        const bool scrolls = GuiTwinScrollBar::LayoutHalf(half, area);
        if (!scrolls) {
            ASSERT_TRUE(IsRectEmpty(&half.thumb));
            ASSERT_EQ(GuiTwinScrollBar::DragTarget(half, 10), -1);
            continue;
        }
        ASSERT_GE(half.thumb.left, half.leftArrow.right) << round;
        ASSERT_LE(half.thumb.right, half.rightArrow.left) << round;
        ASSERT_GE(half.thumb.right - half.thumb.left, GuiTwinScrollBar::kMinThumb);
        const int32_t offset = static_cast<int32_t>(random() % 4000) - 1000;
        const int32_t target = GuiTwinScrollBar::DragTarget(half, offset);
        ASSERT_GE(target, 0);
        ASSERT_LE(target, range - page);
    }
    // A side 100,000,000 pixels wide scrolled to its end has its thumb at
    // the right arrow.
    GuiTwinScrollBar::Half wide;
    wide.maximum = 100000000;
    wide.position = 100000000 - 300;
    wide.end = 100000000;
    ASSERT_TRUE(GuiTwinScrollBar::LayoutHalf(wide, RECT{0, 0, 400, 16}));
    EXPECT_EQ(wide.thumb.right, wide.rightArrow.left);
    EXPECT_EQ(GuiTwinScrollBar::DragTarget(wide, 400), 100000000 - 300);
}

TEST_F(MainViewsTest, TwinBarHeldArrowRepeatsUntilCaptureOrReleaseEndsIt) {
    OpenEmpty();
    SetHalves(5000, 100, 5000, 100);
    const POINT arrow = Middle(Twin().halves[0].rightArrow);
    DWORD start = GetTickCount();
    Mouse(WM_LBUTTONDOWN, arrow);
    std::vector<DWORD> times = PumpRequests(800, start);
    ASSERT_FALSE(times.empty());
    EXPECT_LT(times[0], 100u);
    int early = 0, repeated = 0;
    for (size_t i = 1; i < times.size(); ++i) {
        if (times[i] < 380) ++early;
        if (times[i] >= 400) ++repeated;
    }
    EXPECT_EQ(early, 0);
    EXPECT_GE(repeated, 3);
    EXPECT_EQ(Twin().step, 1);
    EXPECT_EQ(GetCapture(), Twin().window);
    // Another window takes the capture: the posts stop.
    SetCapture(Box().window);
    ReleaseCapture();
    start = GetTickCount();
    EXPECT_TRUE(PumpRequests(300, start).empty());
    // A release outside the bar stops them as well.
    start = GetTickCount();
    Mouse(WM_LBUTTONDOWN, arrow);
    EXPECT_FALSE(PumpRequests(600, start).empty());
    Mouse(WM_LBUTTONUP, POINT{-200, -50});
    EXPECT_NE(GetCapture(), Twin().window);
    start = GetTickCount();
    EXPECT_TRUE(PumpRequests(300, start).empty());
}

TEST_F(MainViewsTest, TwinBarThumbDragsAfterMoreThanFivePixels) {
    OpenEmpty();
    SetHalves(100000000, 5000, 4000, 0);
    const GuiTwinScrollBar::Half half = Twin().halves[0];
    ASSERT_FALSE(IsRectEmpty(&half.thumb));
    const POINT press = Middle(half.thumb);
    DWORD start = GetTickCount();
    Mouse(WM_LBUTTONDOWN, press);
    Mouse(WM_MOUSEMOVE, POINT{press.x + 5, press.y});
    EXPECT_TRUE(PumpRequests(50, start).empty());
    Mouse(WM_MOUSEMOVE, POINT{press.x + 6, press.y});
    start = GetTickCount();
    EXPECT_EQ(PumpRequests(50, start).size(), 1u);
    EXPECT_EQ(Twin().step, 0);
    EXPECT_EQ(Twin().activeSide, 0);
    EXPECT_EQ(Twin().target,
              GuiTwinScrollBar::DragTarget(half, half.thumb.left - half.leftArrow.right + 6));
    Mouse(WM_MOUSEMOVE, POINT{press.x + 30000, press.y});
    PumpRequests(30, GetTickCount());
    EXPECT_EQ(Twin().target, 100000000 - (half.end - half.position));
    Mouse(WM_LBUTTONUP, press);
    EXPECT_EQ(Twin().dragState, GuiTwinScrollBar::DragIdle);
}

TEST_F(MainViewsTest, TwinBarWheelPostsWholeNotchesForTheHalfUnderIt) {
    OpenEmpty();
    SetHalves(5000, 100, 5000, 100);
    POINT over = Middle(Twin().halves[1].thumb);
    ClientToScreen(Twin().window, &over);
    auto wheel = [this, over](int delta, WPARAM keys) {
        SendMessageW(Twin().window, WM_MOUSEWHEEL, MAKEWPARAM(keys, static_cast<WORD>(static_cast<SHORT>(delta))),
                     MAKELPARAM(over.x, over.y));
        return PumpRequests(30, GetTickCount()).size();
    };
    Twin().activeSide = 0;
    EXPECT_EQ(wheel(40, 0), 0u);
    EXPECT_EQ(wheel(40, 0), 0u);
    EXPECT_EQ(wheel(40, 0), 1u);
    EXPECT_EQ(Twin().activeSide, 1);
    EXPECT_EQ(Twin().step, -1);
    EXPECT_EQ(wheel(120, MK_CONTROL), 0u);
    EXPECT_EQ(wheel(-240, 0), 1u);
    EXPECT_EQ(Twin().step, 2);
}

// ---- status box ------------------------------------------------------------------------------------

TEST_F(MainViewsTest, StatusFloodLeavesOneWaitingCommandThatShowsEveryLine) {
    OpenEmpty();
    GuiStatusBox& box = Views().statusBox;
    const int32_t before = box.Count();
    constexpr int kLines = 100000;
    const RawLayer::RawString line = RawLayer::RawString::FromText("unreadable");
    for (int i = 0; i < kLines; ++i) box.Report(line);
    std::vector<MSG> waiting;
    MSG msg;
    while (PeekMessageW(&msg, box.window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
        if (HIWORD(msg.wParam) == GuiStatusBox::kShowQueuedCode) waiting.push_back(msg);
    }
    ASSERT_EQ(waiting.size(), 1u);
    DispatchMessageW(&waiting[0]);
    EXPECT_EQ(box.Count(), before + kLines);
    // The next report posts again.
    box.Report(line);
    PumpUntilIdle();
    EXPECT_EQ(box.Count(), before + kLines + 1);
}

TEST_F(MainViewsTest, StatusReportsOfFourThreadsArriveOnceEachInTheirOrder) {
    OpenEmpty();
    GuiStatusBox& box = Views().statusBox;
    const int32_t before = box.Count();
    constexpr int kThreads = 4, kLines = 1000;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&box, t] {
            for (int i = 0; i < kLines; ++i) {
                box.Report(RawLayer::RawString::FromText((std::to_string(t) + " " + std::to_string(i)).c_str()));
            }
        });
    }
    PumpUntil([&box, before] { return box.Count() >= before + kThreads * kLines; }, 20000);
    for (std::thread& worker : workers) worker.join();
    PumpUntilIdle();
    ASSERT_EQ(box.Count(), before + kThreads * kLines);
    int next[kThreads] = {};
    for (int32_t i = before; i < box.Count(); ++i) {
        const std::string text = S(GuiStatusBox::ItemOf(*box.ItemAt(i))->text);
        const int t = text[0] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << text;
        ASSERT_EQ(text, std::to_string(t) + " " + std::to_string(next[t]));
        ++next[t];
    }
}

namespace {

// A line reported to the status box, and the box captured with its last
// item painted: the capture and that item's first and last pixel rows (top
// -1 when no item came).
struct ShownStatusLine {
    DibCanvas shown;
    LONG top;
    LONG bottom;
};

ShownStatusLine ReportAndCapture(GuiStatusBox& box, const wchar_t* line) {
    box.Report(RawLayer::RawString::FromWideText(line));
    TestSupport::PumpUntilIdle();
    box.RefreshIfDirty();
    const WinLayer::WinListBoxItemUnit* unit = box.ItemAt(box.Count() - 1);
    EXPECT_NE(unit, nullptr);
    InvalidateRect(box.window, nullptr, FALSE);
    UpdateWindow(box.window);
    const LONG top = unit ? box.clientRect.top + unit->rect.top - box.scroll.y : -1;
    return ShownStatusLine{DibCanvas::CaptureClient(box.window), top, unit ? top + unit->Height() - 1 : -1};
}

}  // namespace

TEST_F(MainViewsTest, StatusLineDrawsItsAmpersandsAndExpandsItsTabs) {
    OpenEmpty();
    GuiStatusBox& box = Views().statusBox;
    const wchar_t* line = L"&&x a&b\tafter the tab";
    const ShownStatusLine reported = ReportAndCapture(box, line);
    const DibCanvas& shown = reported.shown;
    const LONG top = reported.top;
    const LONG bottom = reported.bottom;
    const LONG width = shown.Width();
    ASSERT_GT(top, 0);
    // The same text drawn without prefix processing, tabs of 4, on the
    // item's own background.
    DibCanvas expected(width, shown.Height());
    BitBlt(expected.Dc(), 0, 0, width, shown.Height(), nullptr, 0, 0, WHITENESS);
    const COLORREF background = shown.Pixel(width - box.marginRight - 2, top + 1);
    {
        WinLayer::GdiBrush fill(background);
        const RECT row{0, top, width, bottom};
        FillRect(expected.Dc(), &row, fill.Handle());
        WinLayer::GdiSelection font(expected.Dc(), box.GetEffectiveFont().handle);
        SetBkMode(expected.Dc(), TRANSPARENT);
        SetTextColor(expected.Dc(), GetSysColor(COLOR_WINDOWTEXT));
        RECT text{box.marginLeft + GuiStatusBox::kTextInset, top + 1, width, bottom + 1};
        DRAWTEXTPARAMS params{sizeof params, GuiStatusBox::kTabLength, 0, 0, 0};
        DrawTextExW(expected.Dc(), const_cast<wchar_t*>(line), -1, &text, DT_NOPREFIX | DT_TABSTOP | DT_EXPANDTABS,
                    &params);
    }
    int differing = 0, inked = 0;
    for (LONG y = top; y < bottom; ++y) {
        for (LONG x = box.marginLeft; x < width - box.marginRight; ++x) {
            if (shown.Pixel(x, y) != expected.Pixel(x, y)) ++differing;
            if (shown.Pixel(x, y) != background) ++inked;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(inked, 20);
}

TEST_F(MainViewsTest, StatusLinesShowTheirFirstLetterWhole) {
    OpenEmpty();
    GuiStatusBox& box = Views().statusBox;
    const wchar_t* lines[] = {L"BackupError (C:\\data\\a.txt)", L"ReadOpenError (b.txt)", L"WriteError",
                              L"jWfT", L"OriginalKeptAs (C:\\x)"};
    for (const wchar_t* line : lines) {
        SCOPED_TRACE(TestSupport::Utf8(line));
        const ShownStatusLine reported = ReportAndCapture(box, line);
        const DibCanvas& shown = reported.shown;
        const LONG top = reported.top;
        const LONG bottom = reported.bottom;
        const LONG width = shown.Width();
        ASSERT_GT(top, 0);
        ASSERT_LE(bottom, shown.Height());
        const COLORREF background = shown.Pixel(width - box.marginRight - 2, top + 1);
        // The same text drawn whole, well inside a wider canvas, on the
        // item's background.
        const LONG away = 40;
        DibCanvas whole(width + 2 * away, shown.Height(), background);
        {
            WinLayer::GdiSelection font(whole.Dc(), box.GetEffectiveFont().handle);
            SetBkMode(whole.Dc(), TRANSPARENT);
            SetTextColor(whole.Dc(), GetSysColor(COLOR_WINDOWTEXT));
            RECT text{away, top + 1, whole.Width(), bottom + 1};
            DRAWTEXTPARAMS params{sizeof params, GuiStatusBox::kTabLength, 0, 0, 0};
            DrawTextExW(whole.Dc(), const_cast<wchar_t*>(line), -1, &text, DT_NOPREFIX | DT_TABSTOP | DT_EXPANDTABS,
                        &params);
        }
        // The columns holding ink, from the items' margin on.
        auto inkColumns = [&](const DibCanvas& canvas, LONG from, LONG to) {
            std::pair<LONG, LONG> range{-1, -1};
            for (LONG x = from; x < to; ++x) {
                for (LONG y = top; y < bottom; ++y) {
                    if (canvas.Pixel(x, y) == background) continue;
                    if (range.first < 0) range.first = x;
                    range.second = x;
                    break;
                }
            }
            return range;
        };
        const std::pair<LONG, LONG> drawn = inkColumns(shown, box.marginLeft, width - box.marginRight);
        const std::pair<LONG, LONG> expected = inkColumns(whole, 0, whole.Width());
        ASSERT_GE(expected.first, 0);
        // The ink stands clear of the margin and is the whole text's ink,
        // pixel for pixel.
        EXPECT_GT(drawn.first, box.marginLeft);
        ASSERT_EQ(drawn.second - drawn.first, expected.second - expected.first);
        int differing = 0;
        for (LONG x = 0; x <= expected.second - expected.first; ++x) {
            for (LONG y = top; y < bottom; ++y) {
                if (shown.Pixel(drawn.first + x, y) != whole.Pixel(expected.first + x, y)) ++differing;
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

TEST_F(MainViewsTest, StatusLineWithALineBreakTakesTwoLinesAndTheLastStaysInView) {
    OpenEmpty();
    GuiStatusBox& box = Views().statusBox;
    box.Report(RawLayer::RawString::FromText("single"));
    box.Report(RawLayer::RawString::FromText("first\r\nsecond"));
    for (int i = 0; i < 30; ++i) box.Report(RawLayer::RawString::FromText("filler\t&line"));
    PumpUntilIdle();
    box.RefreshIfDirty();
    const int32_t n = box.Count();
    const WinLayer::WinListBoxItemUnit* single = box.ItemAt(n - 32);
    const WinLayer::WinListBoxItemUnit* twoLines = box.ItemAt(n - 31);
    ASSERT_TRUE(single && twoLines);
    const int32_t pad = GuiStatusBox::kLinePadding;
    EXPECT_EQ(twoLines->Height() - pad, 2 * (single->Height() - pad));
    EXPECT_GE(box.ItemAt(n - 30)->rect.top, twoLines->rect.bottom);
    // The last line is in view, after a resize as well.
    auto lastInView = [&box, n] {
        box.RefreshIfDirty();
        const WinLayer::WinListBoxItemUnit* last = box.ItemAt(n - 1);
        return last->rect.bottom - box.scroll.y <= box.clientRect.bottom - box.clientRect.top;
    };
    EXPECT_TRUE(lastInView());
    RECT placed{};
    GetWindowRect(box.window, &placed);
    MapWindowPoints(nullptr, Dialog().window, reinterpret_cast<POINT*>(&placed), 2);
    MoveWindow(box.window, placed.left, placed.top, placed.right - placed.left, (placed.bottom - placed.top) / 2, TRUE);
    PumpUntilIdle();
    EXPECT_TRUE(lastInView());
}

}  // namespace
}  // namespace TabViewTest
