// The tab bar on a real dialog: layout, scrolling, keys, removal through
// the close glyph, item moves, the enter hook's reset, and tab drags, with
// real input (SendInput) where the drag's own checks are concerned and with
// sent messages for the ways a drag must end without a drop.
// USES_FOREGROUND: real input and the capture are one per display.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/window_support.h"
#include "toolkit/tab_bar.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::DibCanvas;
using TestSupport::TestDialog;

namespace {

constexpr int kBarWidth = 300;
// Wide enough for five tabs.
constexpr int kWideBar = 640;
constexpr int kBarHeight = 30;
constexpr COLORREF kGlyph = RGB(0x70, 0x70, 0x70);

// A bar that moves a dropped tab as the program's bars do, and records its
// drops and context-menu requests.
class RecordingBar : public WinTabBar {
public:
    void Drop(int32_t effect, int32_t target, int32_t source) override {
        drops.push_back({effect, target, source});
        MoveItem(target, source);
    }
    void OnContextMenu(POINT, WinTabBarItemUnit* item) override { menus.push_back(item); }

    std::vector<std::array<int32_t, 3>> drops;
    std::vector<WinTabBarItemUnit*> menus;
};

// Notes the tab count each time a removal is notified.
class TabDialog : public TestDialog {
public:
    explicit TabDialog(RECT rect) : TestDialog("TkTabBar", L"Tabs", rect) { exStyle |= WS_EX_TOPMOST; }
    LRESULT OnChildCommand(WinView* child, uint16_t code) override {
        if (child == bar && code == WinNotify::ItemRemoved) countsAtRemoval.push_back(bar->Count());
        if (child == bar && code == WinNotify::SelectionChanged) ++selections;
        return TestDialog::OnChildCommand(child, code);
    }
    RecordingBar* bar = nullptr;
    std::vector<int32_t> countsAtRemoval;
    int selections = 0;
};

// A dialog holding a bar with tabs "document 0.txt" .. "document n-1.txt",
// data 100 + i.
struct Strip {
    explicit Strip(int tabs, int width = kBarWidth, RECT where = RECT{560, 560, 1240, 720}) : dialog(where) {
        bar.Construct();
        bar.rect = RECT{10, 10, 10 + width, 10 + kBarHeight};
        dialog.bar = &bar;
        dialog.makeChildren = [this](TestDialog& d) { d.CreateChild(bar); };
        dialog.Create();
        for (int i = 0; i < tabs; ++i) {
            const std::string name = "document " + std::to_string(i) + ".txt";
            bar.AddItem(RawString::FromText(name.c_str()), Data(i));
        }
        InvalidateRect(bar.window, nullptr, FALSE);
        UpdateWindow(bar.window);
    }
    static void* Data(int i) { return reinterpret_cast<void*>(static_cast<intptr_t>(100 + i)); }
    std::vector<intptr_t> Order() const {
        std::vector<intptr_t> order;
        for (const WinTabBarItemUnit& item : bar.items) order.push_back(reinterpret_cast<intptr_t>(item.data) - 100);
        return order;
    }
    // The middle of a tab's body and of its close glyph, in client points.
    POINT Body(int i) const {
        const WinTabBarItemUnit* item = bar.ItemAtIndex(i);
        return POINT{(item->left + item->right - bar.glyphWidth) / 2 - bar.offset, kBarHeight / 2};
    }
    POINT Glyph(int i) const {
        const WinTabBarItemUnit* item = bar.ItemAtIndex(i);
        return POINT{item->right - bar.offset - bar.glyphWidth / 2, bar.glyphHeight / 2};
    }
    void Click(POINT at) {
        TestSupport::SendMouse(bar.window, WM_LBUTTONDOWN, at.x, at.y, MK_LBUTTON);
        TestSupport::SendMouse(bar.window, WM_LBUTTONUP, at.x, at.y);
    }

    TabDialog dialog;
    RecordingBar bar;
};

// Real input: the pointer to `from`, then the keys held, the left button
// down and the moves along the path. Wine reads the keyboard state of the
// display again when the pointer enters a window, when the capture is
// taken and on every move under the capture, and the display knows nothing
// of keys sent as input: so the held keys go down again after each of
// these, as a held key repeats.
void RealDrag(Strip& strip, POINT from, const std::vector<WORD>& keys, const std::vector<POINT>& path) {
    TestSupport::RealMouseMove(strip.bar.window, from.x, from.y);
    TestSupport::PumpUntilIdle();
    for (WORD key : keys) TestSupport::RealKeyState(key, true);
    TestSupport::PumpUntilIdle();
    TestSupport::RealLeftButton(true);
    TestSupport::PumpUntilIdle();
    for (WORD key : keys) TestSupport::RealKeyState(key, true);
    TestSupport::PumpUntilIdle();
    for (POINT p : path) {
        TestSupport::RealMouseMove(strip.bar.window, p.x, p.y);
        TestSupport::PumpUntilIdle();
        for (WORD key : keys) TestSupport::RealKeyState(key, true);
        TestSupport::PumpUntilIdle();
    }
}

// The left button up, then the keys that are still held.
void RealRelease(const std::vector<WORD>& keys) {
    TestSupport::RealLeftButton(false);
    TestSupport::PumpUntilIdle();
    for (WORD key : keys) TestSupport::RealKeyState(key, false);
    TestSupport::PumpUntilIdle();
}

}  // namespace

TEST(TabBar, LayoutScrollingKeysAndMoves) {
    Strip strip(5);
    const WinTabBar& bar = strip.bar;
    ASSERT_NE(bar.window, nullptr);
    ASSERT_GT(bar.glyphWidth, 0);
    EXPECT_EQ(bar.ItemAtIndex(0)->left, 3);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(bar.ItemAtIndex(i)->left, bar.ItemAtIndex(i - 1)->right);
    EXPECT_EQ(bar.totalWidth, bar.ItemAtIndex(4)->right);
    ASSERT_GT(bar.totalWidth, kBarWidth) << "the tabs must not fit for the scroll checks";

    // The tab cut by the right edge scrolls in just far enough.
    int cut = 0;
    while (bar.ItemAtIndex(cut)->right <= kBarWidth) ++cut;
    strip.bar.SelectTab(strip.bar.ItemAtIndex(cut));
    EXPECT_EQ(bar.offset, bar.ItemAtIndex(cut)->right - kBarWidth);
    EXPECT_EQ(strip.dialog.selections, 1);

    // Left goes to the tab before; Right on the last scrolls the extra
    // glyph into view and keeps the tab.
    TestSupport::SendKey(bar.window, VK_LEFT);
    EXPECT_EQ(bar.current, bar.ItemAtIndex(cut - 1));
    strip.bar.extraShown = 1;
    strip.bar.SelectTab(strip.bar.ItemAtIndex(4));
    UpdateWindow(bar.window);
    EXPECT_GE(bar.extraRect.left - bar.offset, kBarWidth) << "the extra glyph starts out of view";
    TestSupport::SendKey(bar.window, VK_RIGHT);
    EXPECT_EQ(bar.current, bar.ItemAtIndex(4));
    EXPECT_EQ(bar.offset, bar.totalWidth + bar.reservedWidth - kBarWidth);
    const DibCanvas after = DibCanvas::CaptureClient(bar.window);
    RECT plus = bar.extraRect;
    OffsetRect(&plus, -bar.offset, 0);
    EXPECT_GT(plus.left, bar.ItemAtIndex(4)->right - bar.offset);
    EXPECT_GT(after.CountColor(plus, kGlyph), 4);

    // Down asks for the current tab's menu.
    TestSupport::SendKey(bar.window, VK_DOWN);
    ASSERT_EQ(strip.bar.menus.size(), 1u);
    EXPECT_EQ(strip.bar.menus[0], bar.current);

    // Moves: (0, 2) takes the third tab to the front, (-1, 0) the first to
    // the end.
    strip.bar.MoveItem(0, 2);
    EXPECT_EQ(strip.Order(), (std::vector<intptr_t>{2, 0, 1, 3, 4}));
    strip.bar.MoveItem(-1, 0);
    EXPECT_EQ(strip.Order(), (std::vector<intptr_t>{0, 1, 3, 4, 2}));
    strip.bar.MoveItem(3, 3);
    strip.bar.MoveItem(1, 9);
    EXPECT_EQ(strip.Order(), (std::vector<intptr_t>{0, 1, 3, 4, 2}));
}

TEST(TabBar, TheCloseGlyphRemovesTabsSafely) {
    Strip strip(3);
    RecordingBar& bar = strip.bar;
    bar.SelectTab(bar.ItemAtIndex(1));
    UpdateWindow(bar.window);
    // The current tab closes: its neighbour becomes current first, and the
    // removal is notified once the tab is gone.
    strip.Click(strip.Glyph(1));
    EXPECT_EQ(strip.Order(), (std::vector<intptr_t>{0, 2}));
    EXPECT_EQ(strip.dialog.countsAtRemoval, std::vector<int32_t>{2});
    ASSERT_NE(bar.current, nullptr);
    EXPECT_EQ(bar.current->data, Strip::Data(2));
    UpdateWindow(bar.window);
    EXPECT_GT(DibCanvas::CaptureClient(bar.window).CountColor(RGB(0xFF, 0xFF, 0xFF)), 20);

    // A close glyph with flag 0x200 selects its tab instead.
    bar.ItemAtIndex(0)->flags |= WinTabBarItemUnit::ItemCloseDisabled;
    UpdateWindow(bar.window);
    strip.Click(strip.Glyph(0));
    EXPECT_EQ(bar.Count(), 2);
    EXPECT_EQ(bar.current, bar.ItemAtIndex(0));

    // The last tabs go; with none left there is no current tab, and the
    // bar paints its empty strip.
    strip.Click(strip.Glyph(1));
    bar.ItemAtIndex(0)->flags = 0;
    UpdateWindow(bar.window);
    strip.Click(strip.Glyph(0));
    EXPECT_EQ(bar.Count(), 0);
    EXPECT_EQ(bar.current, nullptr);
    UpdateWindow(bar.window);
    EXPECT_EQ(bar.totalWidth, WinTabBar::kStripStart);
    EXPECT_EQ(strip.dialog.countsAtRemoval, (std::vector<int32_t>{2, 1, 0}));
}

TEST(TabBar, TheMouseLeavingResetsThePosition) {
    Strip strip(2);
    TestSupport::SendMouse(strip.bar.window, WM_MOUSEMOVE, 12, 8);
    EXPECT_EQ(strip.bar.mouse.x, 12);
    EXPECT_TRUE(strip.bar.EnterPart().inside);
    SendMessageW(strip.bar.window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(strip.bar.mouse.x, -1);
    EXPECT_EQ(strip.bar.mouse.y, -1);
    EXPECT_FALSE(strip.bar.EnterPart().inside);
}

TEST(TabDrag, RealDragsDropWithTheirEffect) {
    Strip strip(5, kWideBar);
    RecordingBar& bar = strip.bar;
    SetForegroundWindow(strip.dialog.window);
    SetFocus(bar.window);
    TestSupport::PumpUntilIdle();
    ASSERT_EQ(GetForegroundWindow(), strip.dialog.window);
    ASSERT_EQ(GetFocus(), bar.window);
    const DibCanvas plain = DibCanvas::CaptureClient(bar.window);

    // With Ctrl, tab 0 dragged onto tab 2 lands in front of it.
    const POINT start = strip.Body(0);
    RealDrag(strip, start, {VK_CONTROL}, {POINT{start.x + 10, start.y}, strip.Body(2)});
    EXPECT_EQ(bar.DragPart().state, WinDragControl::StateDragging);
    EXPECT_EQ(bar.DragPart().effect, 2);
    EXPECT_EQ(bar.hoverIndex, 2);
    RealRelease({VK_CONTROL});
    ASSERT_EQ(bar.drops.size(), 1u);
    EXPECT_EQ(bar.drops[0], (std::array<int32_t, 3>{2, 2, 0}));
    EXPECT_EQ(strip.Order(), (std::vector<intptr_t>{1, 0, 2, 3, 4}));
    EXPECT_EQ(bar.hoverIndex, -1);
    EXPECT_FALSE(bar.dragging);

    // A press that moves less than 6 pixels drops nothing.
    const POINT shortPress = strip.Body(3);
    RealDrag(strip, shortPress, {VK_CONTROL}, {POINT{shortPress.x + 5, shortPress.y + 5}});
    EXPECT_EQ(bar.DragPart().state, WinDragControl::StatePressed);
    RealRelease({VK_CONTROL});
    EXPECT_EQ(bar.drops.size(), 1u);
    EXPECT_EQ(bar.DragPart().state, WinDragControl::StateIdle);

    // Ctrl and Shift give effect 3; letting Shift go gives 2 at once. The
    // drag image is blended over the strip.
    const POINT grab = strip.Body(3);
    const int grabbedRight = bar.ItemAtIndex(3)->right - bar.offset;
    RealDrag(strip, grab, {VK_CONTROL, VK_SHIFT}, {POINT{grab.x + 20, grab.y}, POINT{grab.x + 40, grab.y}});
    EXPECT_EQ(bar.DragPart().effect, 3);
    const DibCanvas dragged = DibCanvas::CaptureClient(bar.window);
    TestSupport::RealKeyState(VK_SHIFT, false);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(bar.DragPart().effect, 2);
    RealRelease({VK_CONTROL});
    ASSERT_EQ(bar.drops.size(), 2u);
    EXPECT_EQ(bar.drops[1][0], 2);
    // The image, 40 pixels right of the dragged tab, lies over the next
    // tab: there the strip turned towards the white of the dragged tab's
    // upper half by the constant alpha, (u * 105 + 255 * 150) / 255.
    int blended = 0;
    for (int x = grabbedRight + 5; x < grabbedRight + 35; ++x) {
        const COLORREF under = plain.Pixel(x, 4), shown = dragged.Pixel(x, 4);
        if (GetRValue(under) > 250) continue;
        bool close = true;
        for (int shift : {0, 8, 16}) {
            const int u = (under >> shift) & 0xFF, v = (shown >> shift) & 0xFF;
            close = close && std::abs(v - (u * 105 + 255 * 150) / 255) <= 2 && v > u;
        }
        blended += close;
    }
    EXPECT_GT(blended, 5);

    // A press released outside the bar, then a hover without the button and
    // a plain click, drop nothing.
    const size_t drops = bar.drops.size();
    const POINT pressed = strip.Body(1);
    RealDrag(strip, pressed, {VK_CONTROL}, {POINT{pressed.x, 90}, POINT{pressed.x + 30, 120}});
    RealRelease({VK_CONTROL});
    EXPECT_EQ(bar.DragPart().state, WinDragControl::StateIdle);
    TestSupport::RealMouseMove(bar.window, strip.Body(2).x, strip.Body(2).y);
    TestSupport::PumpUntilIdle();
    RealDrag(strip, strip.Body(3), {}, {});
    RealRelease({});
    EXPECT_EQ(bar.drops.size(), drops);
}

TEST(TabDrag, EveryWayOutOfADragEndsItWithoutADrop) {
    Strip strip(4, kWideBar);
    RecordingBar& bar = strip.bar;
    const HWND window = bar.window;
    const HCURSOR arrow = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    SetCursor(arrow);
    // Starts a drag of tab 0 with Ctrl held (sent messages), as far as the
    // given state.
    auto press = [&](int32_t upTo) {
        TestSupport::SetModifiers(false, true, false);
        const POINT at = strip.Body(0);
        TestSupport::SendMouse(window, WM_LBUTTONDOWN, at.x, at.y, MK_LBUTTON | MK_CONTROL);
        if (upTo == WinDragControl::StateDragging) {
            TestSupport::SendMouse(window, WM_MOUSEMOVE, at.x + 20, at.y, MK_LBUTTON | MK_CONTROL);
            const POINT over = strip.Body(2);
            TestSupport::SendMouse(window, WM_MOUSEMOVE, over.x, over.y, MK_LBUTTON | MK_CONTROL);
        }
        TestSupport::SetModifiers(false, false, false);
        EXPECT_EQ(bar.DragPart().state, upTo);
        EXPECT_EQ(GetCapture(), window) << "captured from the press on";
    };
    auto expectEnded = [&](const char* how) {
        EXPECT_EQ(bar.DragPart().state, WinDragControl::StateIdle) << how;
        EXPECT_FALSE(bar.dragging) << how;
        EXPECT_EQ(bar.hoverIndex, -1) << how;
        EXPECT_NE(GetCapture(), window) << how;
        // A later hover and click drop nothing.
        const POINT over = strip.Body(bar.Count() - 1);
        TestSupport::SendMouse(window, WM_MOUSEMOVE, over.x, over.y, 0);
        TestSupport::SendMouse(window, WM_MOUSEMOVE, over.x + 20, over.y, 0);
        TestSupport::SendMouse(window, WM_LBUTTONUP, over.x + 20, over.y, 0);
        EXPECT_TRUE(bar.drops.empty()) << how;
    };

    press(WinDragControl::StatePressed);
    TestSupport::SendMouse(window, WM_MOUSEMOVE, 200, 5, 0);
    expectEnded("a move without the button");

    press(WinDragControl::StateDragging);
    TestSupport::SendMouse(window, WM_MOUSEMOVE, 200, 200, MK_LBUTTON);
    EXPECT_EQ(bar.DragPart().effect, 0) << "nothing can be dropped outside the bar";
    EXPECT_NE(GetCursor(), arrow) << "the drag shows its no-drop cursor";
    TestSupport::SendMouse(window, WM_MOUSEMOVE, 200, 5, 0);
    expectEnded("a move without the button while dragging");
    EXPECT_EQ(GetCursor(), arrow) << "the cursor is put back";

    press(WinDragControl::StatePressed);
    SetCapture(strip.dialog.window);
    ReleaseCapture();
    expectEnded("a capture lost while pressed");

    press(WinDragControl::StateDragging);
    SetCapture(strip.dialog.window);
    ReleaseCapture();
    expectEnded("a capture lost while dragging");

    press(WinDragControl::StateDragging);
    TestSupport::SendKey(window, VK_ESCAPE);
    expectEnded("Escape");
    TestSupport::PumpUntilIdle();
    EXPECT_TRUE(IsWindow(strip.dialog.window)) << "Escape during a drag does not close the dialog";

    // Removing the dragged, current tab ends the drag as well.
    press(WinDragControl::StateDragging);
    bar.RemoveTab(bar.current);
    expectEnded("the removal of the dragged tab");
    UpdateWindow(window);
    EXPECT_EQ(bar.Count(), 3);
}
