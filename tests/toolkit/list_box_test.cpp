// The owner-drawn list on a real dialog: key steps over hidden and empty
// rows to the end row, a step over a long hidden run as cheap as a short one,
// Space and clicks that never click the native button behind a list or an
// edit box, selection with Ctrl and Shift, notifications, the
// wheel zoom's limit, the header in its three modes, the paint's colours,
// and the two layouts that would divide by zero.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/window_support.h"
#include "toolkit/edit_box.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/list_box.h"

using namespace WinLayer;
using TestSupport::DibCanvas;
using TestSupport::TestDialog;

namespace {

constexpr int kRow = 20;
constexpr int kWidth = 200;
constexpr int kHeight = 124;

struct Row {
    int height = kRow;
};

// Rows filled with the list's item colour; the header and end row in their
// own colours.
class TestList : public WinListBoxR<Row> {
public:
    static constexpr COLORREF kHeaderFill = RGB(0x30, 0x90, 0x30);
    static constexpr COLORREF kEndFill = RGB(0x90, 0x30, 0x90);

    void DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit, Row*) override {
        FillBackground(dc, rect, ItemColor(unit));
    }
    void MeasureItemOf(WinDrawContext&, RECT& size, int32_t, WinListBoxItemUnit&, Row* row) override {
        size.bottom = size.top + row->height;
    }
    void DrawHeader(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit&) override {
        FillBackground(dc, rect, kHeaderFill);
    }
    void DrawSpecialItem(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit) override {
        FillBackground(dc, rect, (unit.flags & WinListBoxItemUnit::ItemSelected) ? ItemColor(unit) : kEndFill);
    }
};

// A dialog holding one list of `rows` rows and an end row.
struct ListFixture {
    explicit ListFixture(int rows, bool endRow = true) : dialog("TkListBox", L"List", RECT{40, 40, 340, 260}) {
        list.Construct();
        list.rect = RECT{10, 10, 10 + kWidth, 10 + kHeight};
        data.resize(static_cast<size_t>(rows));
        for (Row& row : data) list.AddItem(&row);
        if (endRow) list.endUnit.rect = RECT{0, 0, 0, kRow};
        dialog.makeChildren = [this](TestDialog& d) { d.CreateChild(list); };
        dialog.Create();
        list.Refresh();
        UpdateWindow(list.window);
    }
    // Selection notifications the owner saw since the last call.
    int Notifications() {
        const std::string wanted = "child command " + std::to_string(list.controlId) + " " +
                                   std::to_string(WinNotify::SelectionChanged);
        int count = 0;
        for (const std::string& line : dialog.journal) count += line == wanted ? 1 : 0;
        dialog.journal.clear();
        return count;
    }
    void Key(UINT key) {
        TestSupport::SendKey(list.window, key);
        TestSupport::PumpUntilIdle();
    }
    std::vector<int32_t> Selected() {
        std::vector<int32_t> selected;
        for (int32_t i = 0; i < list.Count(); ++i)
            if (list.ItemAt(i)->flags & WinListBoxItemUnit::ItemSelected) selected.push_back(i);
        return selected;
    }
    DibCanvas Capture() {
        InvalidateRect(list.window, nullptr, FALSE);
        UpdateWindow(list.window);
        return DibCanvas::CaptureClient(list.window);
    }

    TestDialog dialog;
    TestList list;
    std::vector<Row> data;
};

TEST(ListBoxTest, KeysStepOverHiddenAndEmptyRowsToTheEndRowAndNotifyOncePerMove) {
    ListFixture f(5);
    // Row 1 hidden, row 3 without height.
    f.list.ItemAt(1)->flags |= WinListBoxItemUnit::ItemHidden;
    f.data[3].height = 0;
    f.list.Refresh();
    f.Notifications();

    std::vector<int32_t> path;
    for (int i = 0; i < 5; ++i) {
        f.Key(VK_DOWN);
        path.push_back(f.list.cursor);
        EXPECT_EQ(f.Notifications(), i < 4 ? 1 : 0) << "down " << i;
    }
    // From none: 0; then 2 (1 hidden), 4 (3 empty), the end row, and no further.
    EXPECT_EQ(path, (std::vector<int32_t>{0, 2, 4, -3, -3}));
    std::vector<int32_t> back;
    for (int i = 0; i < 4; ++i) {
        f.Key(VK_UP);
        back.push_back(f.list.cursor);
    }
    EXPECT_EQ(back, (std::vector<int32_t>{4, 2, 0, 0}));
    EXPECT_EQ(f.Selected(), (std::vector<int32_t>{0}));

    // Hit tests never answer a hidden or empty row: rows 0, 2 and 4 are laid
    // out back to back from the top margin.
    const int top = f.list.marginTop;
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 5}), 0);
    EXPECT_EQ(f.list.HitTest(POINT{20, top + kRow + 5}), 2);
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 2 * kRow + 5}), 4);
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 3 * kRow + 5}), -3);
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 4 * kRow + 5}), -1);
}

// One Down from row 0 over `hidden` hidden rows: the best of three, in
// seconds, after checking where it lands.
double TimedStepOver(ListFixture& f, int32_t hidden) {
    for (int32_t i = 1; i <= hidden; ++i) f.list.ItemAt(i)->flags |= WinListBoxItemUnit::ItemHidden;
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        f.list.MoveCursorTo(0);
        const auto start = std::chrono::steady_clock::now();
        SendMessageW(f.list.window, WM_KEYDOWN, VK_DOWN, TestSupport::KeyLParam(VK_DOWN, false));
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        EXPECT_EQ(f.list.cursor, hidden + 1);
    }
    for (int32_t i = 1; i <= hidden; ++i) f.list.ItemAt(i)->flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemHidden);
    return best;
}

TEST(ListBoxTest, StepOverLongHiddenRunCostsAboutWhatAShortOneDoes) {
    // Both steps touch every row once (the selection is cleared); only the
    // walk over the hidden run differs. Looking each next row up from the
    // head made 32,000 hidden rows cost hundreds of times 500.
    ListFixture f(40000, false);
    const double shortRun = TimedStepOver(f, 500);
    const double longRun = TimedStepOver(f, 32000);
    EXPECT_LT(longRun, 10 * shortRun) << "short " << shortRun << " s, long " << longRun << " s";
}

TEST(ListBoxTest, SpaceAndPressesInAListOrEditBoxNeverClickTheButtonBehind) {
    ListFixture f(3);
    f.list.mode |= WinListBoxInfo::ModeMultiple;
    WinEditBox box;
    box.Construct();
    box.rect = RECT{10, 150, 200, 176};
    ASSERT_TRUE(f.dialog.CreateChild(box));
    f.list.MoveCursorTo(1);
    f.dialog.journal.clear();
    // Space as the system delivers it: key down, the character, key up.
    const auto space = [](HWND window) {
        SendMessageW(window, WM_KEYDOWN, VK_SPACE, TestSupport::KeyLParam(VK_SPACE, false));
        SendMessageW(window, WM_CHAR, L' ', TestSupport::KeyLParam(VK_SPACE, false));
        SendMessageW(window, WM_KEYUP, VK_SPACE, TestSupport::KeyLParam(VK_SPACE, true));
        EXPECT_EQ(GetCapture(), nullptr);
    };
    const auto clicks = [](HWND window) {
        TestSupport::SendMouse(window, WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
        TestSupport::SendMouse(window, WM_LBUTTONUP, 5, 5);
        TestSupport::SendMouse(window, WM_LBUTTONDBLCLK, 5, 5, MK_LBUTTON);
        TestSupport::SendMouse(window, WM_LBUTTONUP, 5, 5);
        EXPECT_EQ(GetCapture(), nullptr);
    };
    // Each view still does its own part: Space toggles the cursor row off,
    // the box takes the blank, a click moves the cursor.
    space(f.list.window);
    EXPECT_EQ(f.Selected(), (std::vector<int32_t>{}));
    space(box.window);
    EXPECT_EQ(std::wstring(box.EditText().Wide(), static_cast<size_t>(box.Length())), L" ");
    clicks(f.list.window);
    EXPECT_EQ(f.Selected(), (std::vector<int32_t>{0}));
    clicks(box.window);
    TestSupport::PumpUntilIdle();
    for (const WinView* view : {static_cast<const WinView*>(&f.list), static_cast<const WinView*>(&box)}) {
        for (uint16_t code : {uint16_t(BN_CLICKED), uint16_t(BN_DOUBLECLICKED)}) {
            const std::string click = "child command " + std::to_string(view->controlId) + " " + std::to_string(code);
            EXPECT_EQ(std::count(f.dialog.journal.begin(), f.dialog.journal.end(), click), 0) << click;
        }
    }
}

TEST(ListBoxTest, CtrlUpAndShiftClickFollowTheSelectionMode) {
    // Single selection: Ctrl+Up goes to the first item.
    {
        ListFixture f(6);
        f.list.MoveCursorTo(4);
        TestSupport::SetModifiers(false, true, false);
        f.Key(VK_UP);
        TestSupport::SetModifiers(false, false, false);
        EXPECT_EQ(f.list.cursor, 0);
        EXPECT_EQ(f.Selected(), (std::vector<int32_t>{0}));
    }
    // Multiple selection: Ctrl+Up moves only the cursor; Shift+click without
    // an anchor inside the list does nothing; with one it selects the range.
    {
        ListFixture f(6);
        f.list.mode |= WinListBoxInfo::ModeMultiple;
        f.list.MoveCursorTo(4);
        TestSupport::SetModifiers(false, true, false);
        f.Key(VK_UP);
        TestSupport::SetModifiers(false, false, false);
        EXPECT_EQ(f.list.cursor, 3);
        EXPECT_EQ(f.Selected(), (std::vector<int32_t>{4}));

        f.list.MoveCursorTo(-1);
        f.Notifications();
        const int y1 = f.list.marginTop + kRow + 5;
        TestSupport::SendMouse(f.list.window, WM_LBUTTONDOWN, 20, y1, MK_LBUTTON | MK_SHIFT);
        TestSupport::SendMouse(f.list.window, WM_LBUTTONUP, 20, y1, MK_SHIFT);
        EXPECT_TRUE(f.Selected().empty());
        EXPECT_EQ(f.list.cursor, -1);
        EXPECT_EQ(f.Notifications(), 0);

        TestSupport::SendMouse(f.list.window, WM_LBUTTONDOWN, 20, y1, MK_LBUTTON);
        TestSupport::SendMouse(f.list.window, WM_LBUTTONDOWN, 20, y1 + 3 * kRow, MK_LBUTTON | MK_SHIFT);
        EXPECT_EQ(f.Selected(), (std::vector<int32_t>{1, 2, 3, 4}));
        EXPECT_EQ(f.Notifications(), 2);
    }
}

TEST(ListBoxTest, CtrlWheelZoomStopsAtSixPixelsInEitherSign) {
    for (const LONG start : {-9L, 9L}) {
        ListFixture f(3);
        WinFontParameter base{};
        base.description = WinFontParameter::DefaultFont();
        base.description.lfHeight = start;
        base.handle = CreateFontIndirectW(&base.description);
        f.list.font = &base;
        const WPARAM smaller = MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-WHEEL_DELTA));
        for (int i = 0; i < 8; ++i) SendMessageW(f.list.window, WM_MOUSEWHEEL, smaller, 0);
        EXPECT_EQ(f.list.GetEffectiveFont().description.lfHeight, start < 0 ? -6 : 6);
        SendMessageW(f.list.window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), 0);
        EXPECT_EQ(f.list.GetEffectiveFont().description.lfHeight, start < 0 ? -7 : 7);
        EXPECT_NE(f.list.GetEffectiveFont().handle, base.handle);
        // The list now draws with its own font; the base one may go.
        f.list.Refresh();
        DeleteObject(base.handle);
    }
}

TEST(ListBoxTest, HeaderAnswersMinusTwoInFixedFloatingAndBandedModes) {
    ListFixture f(20, false);
    f.list.header.rect = RECT{0, 0, 0, 10};
    const int top = f.list.marginTop;

    f.list.Refresh();
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 3}), -2);
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 12}), 0);
    // Fixed: the header stays while the rows scroll under it.
    SendMessageW(f.list.window, WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_GT(f.list.scroll.y, 0);
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 3}), -2);

    f.list.mode = WinListBoxInfo::ModeFloatingHeader;
    f.list.headerPosition = POINT{0, 2 * kRow};
    f.list.scroll.y = 0;
    f.list.Refresh();
    EXPECT_EQ(f.list.HitTest(POINT{20, 2 * kRow + 4}), -2);
    EXPECT_NE(f.list.HitTest(POINT{20, top + 3}), -2);

    f.list.mode = WinListBoxInfo::ModeBanded;
    f.list.bandHeight = 100;
    f.list.headerPosition = POINT{0, 30};
    f.list.Refresh();
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 35}), -2);
    EXPECT_EQ(f.list.HitTest(POINT{20, top + 135}), -2);
    EXPECT_NE(f.list.HitTest(POINT{20, top + 60}), -2);
}

TEST(ListBoxTest, PaintShowsCursorFrameAndSelectionInFocusAndOutOfIt) {
    ListFixture f(4);
    f.list.MoveCursorTo(1);
    const int top = f.list.marginTop;
    const int32_t before = GdiLiveObjects();

    SendMessageW(f.list.window, WM_SETFOCUS, 0, 0);
    DibCanvas focused = f.Capture();
    // The cursor row: a blue frame around the focused selection colour.
    EXPECT_EQ(focused.Pixel(30, top + kRow), RGB(0, 0, 0xFF));
    EXPECT_EQ(focused.Pixel(f.list.marginLeft, top + kRow + 10), RGB(0, 0, 0xFF));
    EXPECT_EQ(focused.Pixel(30, top + kRow + 10), static_cast<COLORREF>(0xFFD0C0));
    // Focus draws the blue line along the top.
    EXPECT_EQ(focused.Pixel(30, 0), RGB(0, 0, 0xFF));
    EXPECT_EQ(focused.Pixel(30, top + 10), f.list.background);

    SendMessageW(f.list.window, WM_KILLFOCUS, 0, 0);
    DibCanvas unfocused = f.Capture();
    EXPECT_EQ(unfocused.Pixel(30, top + kRow + 10), static_cast<COLORREF>(0xFFEAE4));
    EXPECT_NE(unfocused.Pixel(30, 0), RGB(0, 0, 0xFF));
    EXPECT_EQ(unfocused.CountColor(TestList::kEndFill), (kWidth - 2 * 1) * kRow);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(GdiLiveObjects(), before);
}

// Ctrl+End past rows taller than a line, of heights about the view's
// (just under, equal to and just over it) and of random heights: the last
// row ends at the view's foot with the rows before it above, and the clamp
// of a relayout keeps the view there, never past the content's end.
TEST(ListBoxTest, CtrlEndEndsTheLastRowAtTheViewsFootWhateverTheRowsBeforeIt) {
    // Rows of no height before the ones of a case are passed over.
    ListFixture f(6, false);
    const int32_t client = f.list.clientRect.bottom - f.list.clientRect.top;
    const int32_t line = f.list.lineStep.cy;
    ASSERT_GT(client, 3 * line);
    std::vector<std::vector<int>> cases;
    for (int before : {client - 6, client - 1, client, client + 1}) {
        cases.push_back({before, line + 4});
        cases.push_back({line + 1, before, 2 * line});
    }
    std::srand(69);
    const auto between = [](int low, int high) { return low + std::rand() % (high - low + 1); };
    // Content at least as high as the view, so that the view can end on
    // the last row.
    while (cases.size() < 160) {
        std::vector<int> heights(static_cast<size_t>(between(2, 6)));
        int sum = 0;
        for (int& h : heights) sum += h = between(line + 1, 2 * client);
        sum -= heights.back();
        heights.back() = between(line + 1, client);
        if (sum + heights.back() >= client) cases.push_back(heights);
    }
    const int32_t last = 5;
    const int top = f.list.marginTop;
    for (const std::vector<int>& heights : cases) {
        std::string name;
        for (size_t i = 0; i < f.data.size(); ++i) {
            const size_t from = f.data.size() - heights.size();
            f.data[i].height = i < from ? 0 : heights[i - from];
            if (i >= from) name += std::to_string(f.data[i].height) + " ";
        }
        f.list.Refresh();
        f.list.MoveCursorTo(f.list.Count() - static_cast<int32_t>(heights.size()));
        TestSupport::SetModifiers(false, true, false);
        SendMessageW(f.list.window, WM_KEYDOWN, VK_END, TestSupport::KeyLParam(VK_END, false));
        TestSupport::SetModifiers(false, false, false);
        TestSupport::PumpUntilIdle();
        ASSERT_EQ(f.list.cursor, last) << name;
        const RECT row = f.list.ItemAt(last)->rect;
        EXPECT_EQ(row.bottom - f.list.scroll.y, client) << name;
        EXPECT_LE(f.list.scroll.y, std::max<LONG>(f.list.contentSize.cy - client, 0)) << name;
        // The rows before it fill the view above it.
        const int32_t atTop = f.list.HitTest(POINT{20, top});
        if (row.top > f.list.scroll.y) {
            EXPECT_GE(atTop, f.list.Count() - static_cast<int32_t>(heights.size())) << name;
            EXPECT_LT(atTop, last) << name;
        } else {
            EXPECT_EQ(atTop, last) << name;
        }
        // What the window shows: the cursor's frame ends on the view's last
        // pixel row, the row's selection colour just above it.
        const DibCanvas shown = f.Capture();
        EXPECT_EQ(shown.Pixel(30, top + client - 1), RGB(0, 0, 0xFF)) << name;
        EXPECT_EQ(shown.Pixel(30, top + client - 2), f.list.ItemColor(*f.list.ItemAt(last))) << name;
        // A relayout clamps the view where it stands.
        const LONG y = f.list.scroll.y;
        f.list.Refresh();
        EXPECT_EQ(f.list.scroll.y, y) << name;
    }
}

TEST(ListBoxTest, ZeroWidthWithLogicalWidthAndBandOfZeroPaintAndTakeClicks) {
    {
        ListFixture f(10);
        f.list.logicalWidth = 400;
        MoveWindow(f.list.window, 10, 10, 0, kHeight, TRUE);
        f.list.Refresh();
        DibCanvas canvas = f.Capture();
        (void)canvas;
        // Unscaled: row 2 lies where it would without a logical width.
        SendMessageW(f.list.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, f.list.marginTop + 2 * kRow + 5));
        EXPECT_EQ(f.list.cursor, 2);
        f.list.Refresh();
        EXPECT_EQ(f.list.clientRect.right - f.list.clientRect.left, -2);
    }
    {
        ListFixture f(10);
        f.list.header.rect = RECT{0, 0, 0, 10};
        f.list.mode = WinListBoxInfo::ModeBanded;
        f.list.bandHeight = 0;
        f.list.headerPosition = POINT{0, 30};
        f.list.Refresh();
        DibCanvas canvas = f.Capture();
        // As a fixed header: green band at the top, rows below it.
        EXPECT_EQ(canvas.Pixel(30, f.list.marginTop + 2), TestList::kHeaderFill);
        EXPECT_EQ(f.list.HitTest(POINT{20, f.list.marginTop + 3}), -2);
        SendMessageW(f.list.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, f.list.marginTop + 10 + kRow + 5));
        EXPECT_EQ(f.list.cursor, 1);
    }
}

}  // namespace

namespace {

// A list that records what a paint visits: the rows it draws and the units
// it hands to the hooks for hidden rows and rows outside the clip.
class VisitList : public TestList {
public:
    void DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t index, WinListBoxItemUnit& unit,
                    Row* row) override {
        drawn.push_back(index);
        TestList::DrawItemOf(dc, rect, index, unit, row);
    }
    void HiddenItem(WinDrawContext&, const RECT&, int32_t, WinListBoxItemUnit&) override { ++passed; }
    void ItemOutsideClip(WinDrawContext&, const RECT&, int32_t, WinListBoxItemUnit&) override { ++passed; }
    std::vector<int32_t> drawn;
    int passed = 0;
};

// A dialog with one VisitList of rows of the given heights, every
// `hiddenEvery`-th row hidden (0: none).
struct VisitFixture {
    VisitFixture(const std::vector<int>& heights, int hiddenEvery)
        : dialog("TkListBoxVisit", L"List", RECT{40, 40, 340, 260}) {
        list.Construct();
        list.rect = RECT{10, 10, 10 + kWidth, 10 + kHeight};
        data.resize(heights.size());
        for (size_t i = 0; i < heights.size(); ++i) {
            data[i].height = heights[i];
            WinListBoxItemUnit* unit = list.AddItem(&data[i]);
            if (hiddenEvery > 0 && i % static_cast<size_t>(hiddenEvery) == 1) unit->flags |= WinListBoxItemUnit::ItemHidden;
        }
        dialog.makeChildren = [this](TestDialog& d) { d.CreateChild(list); };
        dialog.Create();
        list.Refresh();
        UpdateWindow(list.window);
    }
    void Paint() {
        list.drawn.clear();
        list.passed = 0;
        InvalidateRect(list.window, nullptr, FALSE);
        UpdateWindow(list.window);
    }
    // One Down key with its paint, in seconds.
    double TimedDown() {
        LARGE_INTEGER t0, t1, frequency;
        QueryPerformanceCounter(&t0);
        SendMessageW(list.window, WM_KEYDOWN, VK_DOWN, 0);
        UpdateWindow(list.window);
        QueryPerformanceCounter(&t1);
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(frequency.QuadPart);
    }
    // The best mean of three runs of 100 Down steps from the middle row.
    double DownStep() {
        double best = -1;
        for (int round = 0; round < 3; ++round) {
            list.MoveCursorTo(list.Count() / 2);
            UpdateWindow(list.window);
            double total = 0;
            for (int i = 0; i < 100; ++i) total += TimedDown();
            best = best < 0 ? total / 100 : std::min(best, total / 100);
        }
        return best;
    }
    std::vector<int32_t> Selected() {
        std::vector<int32_t> selected;
        int32_t index = 0;
        for (const WinListBoxItemUnit& unit : list.items) {
            if (unit.flags & WinListBoxItemUnit::ItemSelected) selected.push_back(index);
            ++index;
        }
        return selected;
    }

    TestDialog dialog;
    VisitList list;
    std::vector<Row> data;
};

}  // namespace

// Rows of random heights, some hidden, at random scroll places: a click
// finds the row a walk of the whole list finds, a paint draws exactly the
// rows that meet the window and passes over no more than a screen, and the
// selection a cursor move leaves is the one row.
TEST(ListBoxTest, PaintsAndHitsMatchAWalkOfTheWholeListAndCostAScreen) {
    std::srand(42);
    std::vector<int> heights(3000);
    for (int& height : heights) height = 1 + std::rand() % 30;
    VisitFixture f(heights, 3);
    WinListBox& list = f.list;
    const LONG clientHeight = list.clientRect.bottom - list.clientRect.top;
    for (int trial = 0; trial < 200; ++trial) {
        list.scroll.y = std::rand() % std::max<LONG>(list.contentSize.cy - clientHeight, 1);
        f.Paint();
        std::vector<int32_t> expected;
        for (int32_t i = 0; i < list.Count(); ++i) {
            const WinListBoxItemUnit& unit = *list.ItemAt(i);
            if (unit.Reachable() && unit.rect.bottom > list.scroll.y && unit.rect.top < list.scroll.y + clientHeight)
                expected.push_back(i);
        }
        ASSERT_EQ(f.list.drawn, expected) << "scroll " << list.scroll.y;
        EXPECT_LE(f.list.passed, 2);
        const POINT point{20, list.clientRect.top + std::rand() % clientHeight};
        const LONG y = point.y - list.clientRect.top + list.scroll.y;
        int32_t hit = WinListBoxInfo::kNone;
        for (int32_t i = 0; i < list.Count() && hit == WinListBoxInfo::kNone; ++i) {
            const WinListBoxItemUnit& unit = *list.ItemAt(i);
            if (unit.Reachable() && unit.rect.top <= y && y < unit.rect.bottom) hit = i;
        }
        ASSERT_EQ(list.HitTest(point), hit) << "y " << y;
        if (hit >= 0) list.MoveCursorTo(hit);
        if (trial % 50 == 0) list.SelectAll();
        if (trial % 50 == 25) list.SelectIndex(std::rand() % list.Count());
    }
    list.MoveCursorTo(2);
    EXPECT_EQ(f.Selected(), (std::vector<int32_t>{2}));
}

// A Down step with its paint costs what changed on screen: on 1,000,000 rows
// no more than a few times what it costs on 10,000.
TEST(ListBoxTest, DownStepOnAMillionRowsCostsAboutWhatItCostsOnTenThousand) {
    double small = 0;
    {
        VisitFixture f(std::vector<int>(10000, kRow), 0);
        small = f.DownStep();
        f.Paint();
        EXPECT_LE(f.list.passed, 2);
    }
    double large = 0;
    {
        VisitFixture f(std::vector<int>(1000000, kRow), 0);
        large = f.DownStep();
        f.Paint();
        EXPECT_LE(f.list.passed, 2);
        EXPECT_LE(f.list.drawn.size(), static_cast<size_t>(kHeight / kRow + 2));
    }
    std::printf("down step: 10,000 rows %.3f ms, 1,000,000 rows %.3f ms\n", small * 1000, large * 1000);
    // Generous: a walk of the rows makes it a hundred times.
    EXPECT_LT(large, 5 * small + 0.0005);
}
