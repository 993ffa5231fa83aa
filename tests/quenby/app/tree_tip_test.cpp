// The tree's tip: shown with the hovered item's text, kept over moves of 5
// pixels, closed (its thread ended) by 6, replaced by another item's text,
// and a failed window that returns in time showing nothing.
#include <gtest/gtest.h>

#include "quenby/app/tree_tip.h"
#include "support/window_support.h"

using AppLayer::GuiTreeTip;
using RawLayer::RawString;

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 255);
    return text;
}

class FailCreate : public WinLayer::WinViewHook {
public:
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        return message == WM_CREATE ? -1 : WinLayer::kNotHandled;
    }
};

}  // namespace

TEST(TreeTip, KeptWithinFivePixelsClosedBeyondAndRetextedForAnotherItem) {
    TestSupport::ModalWatchdog watchdog(20000);
    GuiTreeTip part;
    // A tip that did not come up in time is tried again at the next hover,
    // as the tree does: a loaded machine may need a second one.
    bool shown = false;
    for (int hover = 0; hover < 5 && !shown; ++hover) {
        shown = part.ShowTip(3, RawString::FromText("First heading"), POINT{40, 40});
    }
    ASSERT_TRUE(shown);
    const HWND first = part.tip.RunningWindow();
    ASSERT_TRUE(IsWindow(first));
    EXPECT_TRUE(IsWindowVisible(first));
    EXPECT_TRUE(GetWindowLongW(first, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(TextOf(part.tip.textBox.window), L"First heading");

    for (const POINT kept : {POINT{45, 35}, POINT{35, 45}}) EXPECT_FALSE(part.MoveTip(kept));
    EXPECT_TRUE(IsWindow(first));

    // Another item while the tip stands: its own text.
    ASSERT_TRUE(part.ShowTip(4, RawString::FromText("Second"), POINT{40, 44}));
    EXPECT_EQ(part.tip.RunningWindow(), first);
    EXPECT_EQ(TextOf(part.tip.textBox.window), L"Second");

    EXPECT_TRUE(part.MoveTip(POINT{46, 44}));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(part.tip.IsRunning());

    // Shown again for the same item after closing: the text stays its own.
    ASSERT_TRUE(part.ShowTip(4, RawString::FromText("Second"), POINT{10, 10}));
    EXPECT_EQ(TextOf(part.tip.textBox.window), L"Second");
    part.CloseTip();
    EXPECT_FALSE(part.TipShown());
}

TEST(TreeTip, AWindowThatCannotBeMadeShowsNothingWithinTwoSeconds) {
    GuiTreeTip part;
    FailCreate hook;
    part.tip.hooks.AddHook(&hook);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(part.ShowTip(0, RawString::FromText("Heading"), POINT{1, 1}));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_FALSE(part.TipShown());
    EXPECT_FALSE(part.tip.IsRunning());
}
