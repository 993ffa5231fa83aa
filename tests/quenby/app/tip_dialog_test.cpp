// The tip window on its own thread: a topmost window that is not activated,
// sized to its text, ended by a close request on its own thread; a failed
// creation and a tip that sends to its starter while it is awaited never
// hang the starter.
#include <gtest/gtest.h>

#include <string>

#include "quenby/app/tip_dialog.h"
#include "support/window_support.h"
#include "toolkit/win_message.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::TestDialog;

namespace {

// Answers WM_CREATE of the tip with a hook: a failure, or a message sent to
// a window of the starting thread first.
class CreateHook : public WinViewHook {
public:
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        if (message != WM_CREATE) return kNotHandled;
        if (sendTo) SendMessageW(sendTo, WM_APP + 7, 0, 0);
        return fail ? -1 : kNotHandled;
    }
    bool fail = false;
    HWND sendTo = nullptr;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace

TEST(TipDialog, RunsOnItsOwnThreadTopmostInactiveSizedToItsTextAndEndsThere) {
    TestSupport::ModalWatchdog watchdog(20000);
    TestDialog owner("QvTipOwner", L"Owner", RECT{100, 100, 500, 400});
    owner.Create();
    SetForegroundWindow(owner.window);
    WinTipDialog tip;
    for (const char* text : {"x", "A heading of some length"}) {
        tip.Place(RawString::FromText(text));
        RECT measured{};
        tip.textBox.MeasureText(measured, RawString::FromText(text));
        ASSERT_TRUE(tip.StartWindow(2000));
        const HWND shown = tip.RunningWindow();
        ASSERT_TRUE(IsWindow(shown));
        EXPECT_EQ(ClassOf(shown), L"Class_TipDialog");
        EXPECT_NE(GetWindowThreadProcessId(shown, nullptr), GetCurrentThreadId());
        EXPECT_TRUE(GetWindowLongW(shown, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_NE(GetForegroundWindow(), shown);
        RECT client{};
        GetClientRect(shown, &client);
        EXPECT_EQ(client.right, measured.right + 6) << text;
        EXPECT_EQ(client.bottom, measured.bottom + 2) << text;

        EXPECT_TRUE(tip.EndWindow(2000));
        EXPECT_FALSE(IsWindow(shown));
        EXPECT_FALSE(tip.IsRunning());
        EXPECT_FALSE(tip.WindowRunning());
    }
}

TEST(TipDialog, AFailedCreationAndASendToTheStarterNeverHangTheStart) {
    TestSupport::ModalWatchdog watchdog(20000);
    TestDialog owner("QvTipOwner2", L"Owner", RECT{100, 100, 500, 400});
    int received = 0;
    owner.handler = [&](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message != WM_APP + 7) return kNotHandled;
        ++received;
        return 0;
    };
    owner.Create();
    CreateHook hook;
    WinTipDialog tip;
    tip.hooks.AddHook(&hook);
    tip.Place(RawString::FromText("tip"));

    hook.fail = true;
    DWORD start = GetTickCount();
    EXPECT_FALSE(tip.StartWindow(2000));
    EXPECT_LT(GetTickCount() - start, 1500u);
    EXPECT_EQ(tip.RunningWindow(), nullptr);

    // The tip thread sends to the starter's window while the starter waits.
    hook.fail = false;
    hook.sendTo = owner.window;
    start = GetTickCount();
    EXPECT_TRUE(tip.StartWindow(2000));
    EXPECT_LT(GetTickCount() - start, 1500u);
    EXPECT_EQ(received, 1);
    EXPECT_TRUE(tip.EndWindow(2000));
}
