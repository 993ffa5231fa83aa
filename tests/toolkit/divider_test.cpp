// The divider between two panes: keys, drags with their limits, cancels and
// stray releases; and the mouse-enter hook. Messages go straight to the
// windows, so no real input is needed.
// USES_FOREGROUND: the divider's drag captures the mouse.
#include <gtest/gtest.h>

#include "support/window_support.h"
#include "toolkit/divider.h"
#include "toolkit/enter_control.h"
#include "toolkit/static_box.h"

using namespace WinLayer;
using TestSupport::TestControl;
using TestSupport::TestDialog;

namespace {

constexpr int kTop = 10;
constexpr int kHeight = 100;

// A dialog with a left pane (150 wide, at least 60), a vertical divider
// of 8 and a right pane (150 wide, at least 50).
struct Panes {
    Panes() : dialog("TkDivider", L"Divider", RECT{120, 120, 520, 320}) {
        left.Construct();
        right.Construct();
        left.rect = RECT{10, kTop, 160, kTop + kHeight};
        left.minimum = RECT{0, 0, 60, 0};
        bar.Construct(true, &left, &right);
        bar.rect = RECT{160, kTop, 168, kTop + kHeight};
        right.rect = RECT{168, kTop, 318, kTop + kHeight};
        right.minimum = RECT{0, 0, 50, 0};
        dialog.makeChildren = [this](TestDialog& d) {
            for (WinView* view : {static_cast<WinView*>(&left), static_cast<WinView*>(&bar),
                                  static_cast<WinView*>(&right)}) {
                view->Follow(&d.anchor.rect);
                d.CreateChild(*view);
            }
        };
        dialog.Create();
    }

    // A child's window rectangle in the dialog's client coordinates.
    RECT Placed(const WinView& view) const {
        RECT r{};
        GetWindowRect(view.window, &r);
        MapWindowPoints(nullptr, dialog.window, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    // The bar, both panes and their windows where they were made, moved
    // along x by the bar's offset.
    void ExpectMovedBy(int offset) const {
        EXPECT_EQ(Placed(bar).left, 160 + offset);
        EXPECT_EQ(Placed(bar).right, 168 + offset);
        EXPECT_EQ(Placed(left).right, 160 + offset);
        EXPECT_EQ(Placed(right).left, 168 + offset);
        EXPECT_EQ(left.rect.right, 160 + offset);
        EXPECT_EQ(right.rect.left, 168 + offset);
        EXPECT_EQ(Placed(left).left, 10);
        EXPECT_EQ(Placed(right).right, 318);
    }

    WinStaticBox left, right;
    WinDivider bar;
    TestDialog dialog;
};

// Counts what the enter hook reports.
class CountingEnter : public WinEnterControl {
public:
    explicit CountingEnter(WinView& view) : WinEnterControl(view) {}
    void OnMouseEnter(WPARAM, POINT) override { ++enters; }
    void OnMouseLeave(WPARAM, POINT) override { ++leaves; }
    int enters = 0;
    int leaves = 0;
};

}  // namespace

TEST(Divider, KeysMoveTheBarAndThePanesAlongItsAxisOnly) {
    Panes panes;
    ASSERT_NE(panes.bar.window, nullptr);
    TestSupport::SetModifiers(false, true, false);
    TestSupport::SendKey(panes.bar.window, VK_RIGHT);
    TestSupport::SetModifiers(false, false, false);
    panes.ExpectMovedBy(10);
    TestSupport::SendKey(panes.bar.window, VK_UP);
    TestSupport::SendKey(panes.bar.window, VK_DOWN);
    panes.ExpectMovedBy(10);
    TestSupport::SendKey(panes.bar.window, VK_LEFT);
    panes.ExpectMovedBy(7);
}

TEST(Divider, DragsStopAtTheNeighboursLeastWidth) {
    Panes panes;
    const HWND bar = panes.bar.window;
    // Far to the left: the left pane keeps its 60 pixels.
    TestSupport::SendMouse(bar, WM_LBUTTONDOWN, 3, 20, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_MOUSEMOVE, 3 - 400, 20, MK_LBUTTON);
    EXPECT_EQ(panes.Placed(panes.bar).left, 70);
    EXPECT_EQ(panes.Placed(panes.left).right, 160) << "the panes follow only at the release";
    TestSupport::SendMouse(bar, WM_LBUTTONUP, 3 - 400 + 90, 20);
    panes.ExpectMovedBy(-90);
    // Far to the right: the right pane keeps its 50 pixels.
    TestSupport::SendMouse(bar, WM_LBUTTONDOWN, 3, 20, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_MOUSEMOVE, 3 + 400, 20, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_LBUTTONUP, 3, 20);
    panes.ExpectMovedBy(100);
}

TEST(Divider, CancelsAndStrayReleasesLeaveEverythingInPlace) {
    Panes panes;
    const HWND bar = panes.bar.window;
    // The right button during a drag puts the bar back.
    TestSupport::SendMouse(bar, WM_LBUTTONDOWN, 3, 20, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_MOUSEMOVE, 33, 20, MK_LBUTTON);
    EXPECT_EQ(panes.Placed(panes.bar).left, 190);
    TestSupport::SendMouse(bar, WM_RBUTTONUP, 3, 20);
    panes.ExpectMovedBy(0);
    TestSupport::SendMouse(bar, WM_LBUTTONUP, 3, 20);
    panes.ExpectMovedBy(0);
    // So does a capture lost to another window (a dialog opened mid-drag).
    TestSupport::SendMouse(bar, WM_LBUTTONDOWN, 3, 20, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_MOUSEMOVE, 23, 20, MK_LBUTTON);
    SetCapture(panes.dialog.window);
    ReleaseCapture();
    panes.ExpectMovedBy(0);
    TestSupport::SendMouse(bar, WM_MOUSEMOVE, 43, 20, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_LBUTTONUP, 43, 20);
    panes.ExpectMovedBy(0);
    // Releases of presses made elsewhere move nothing.
    for (UINT release : {WM_LBUTTONUP, WM_RBUTTONUP, WM_LBUTTONUP}) {
        TestSupport::SendMouse(bar, WM_MOUSEMOVE, 60, 20);
        TestSupport::SendMouse(bar, release, 60, 20);
        panes.ExpectMovedBy(0);
    }
    TestSupport::PumpUntilIdle();
    panes.ExpectMovedBy(0);
}

TEST(EnterHook, ReportsTheFirstMoveAndTheLeave) {
    TestControl button("BUTTON", "watched");
    button.rect = RECT{10, 10, 110, 40};
    CountingEnter hook(button);
    button.hooks.AddHook(&hook);
    TestDialog dialog("TkEnterHook", L"Enter", RECT{140, 140, 400, 300});
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
    dialog.Create();
    TestSupport::SendMouse(button.window, WM_MOUSEMOVE, 5, 5);
    TestSupport::SendMouse(button.window, WM_MOUSEMOVE, 6, 5);
    EXPECT_EQ(hook.enters, 1);
    EXPECT_TRUE(hook.inside);
    SendMessageW(button.window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(hook.leaves, 1);
    EXPECT_FALSE(hook.inside);
    TestSupport::SendMouse(button.window, WM_MOUSEMOVE, 7, 5);
    EXPECT_EQ(hook.enters, 2);
    SendMessageW(button.window, WM_MOUSELEAVE, 0, 0);
    button.hooks.RemoveHook(&hook);
}
