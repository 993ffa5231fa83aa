// The tip window on its own thread: a topmost window that is not activated,
// sized to its text, ended by a close request on its own thread; a failed
// creation and a tip that sends to its starter while it is awaited never
// hang the starter; a new text reaches a running tip on its own thread.
#include <gtest/gtest.h>

#include <atomic>
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

namespace {

std::string Utf8(const RawString& text) {
    const RawString utf8 = text.As(RawLayer::KindUtf8);
    return std::string(utf8.Bytes(), static_cast<size_t>(utf8.Length()));
}

// Holds the next drawing of a tip's text for a while between two looks at
// the text it is about to draw: a hook on the tip's thread that sees the
// drawing request before the tip does.
struct SlowPaint {
    WinTipDialog* tip = nullptr;
    std::atomic<bool> armed{false};
    HANDLE painting = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE painted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::string before;
    std::string after;

    ~SlowPaint() {
        CloseHandle(painting);
        CloseHandle(painted);
    }
};
SlowPaint* g_slow = nullptr;

LRESULT CALLBACK HoldDrawing(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message && message->message == WM_DRAWITEM && g_slow && g_slow->armed.exchange(false)) {
        g_slow->before = Utf8(g_slow->tip->textBox.text);
        SetEvent(g_slow->painting);
        Sleep(400);
        g_slow->after = Utf8(g_slow->tip->textBox.text);
        SetEvent(g_slow->painted);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST(TipDialog, ANewTextReachesARunningTipBetweenItsPaintsNotDuringOne) {
    TestSupport::ModalWatchdog watchdog(20000);
    WinTipDialog tip;
    SlowPaint slow;
    slow.tip = &tip;
    g_slow = &slow;
    tip.Place(RawString::FromText("First heading"));
    ASSERT_TRUE(tip.StartWindow(2000));
    const DWORD tipThread = GetWindowThreadProcessId(tip.RunningWindow(), nullptr);
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, HoldDrawing, nullptr, tipThread);
    ASSERT_NE(hook, nullptr);
    slow.armed = true;
    InvalidateRect(tip.textBox.window, nullptr, FALSE);
    EXPECT_EQ(WaitForSingleObject(slow.painting, 3000), WAIT_OBJECT_0);
    const std::string second = "A second and much longer heading";
    tip.Place(RawString::FromText(second.c_str()));
    EXPECT_TRUE(WinDialogThread::WaitHandlingSent(slow.painted, 3000));
    UnhookWindowsHookEx(hook);
    g_slow = nullptr;
    EXPECT_EQ(slow.before, "First heading");
    EXPECT_EQ(slow.after, slow.before);
    EXPECT_EQ(Utf8(tip.TipText()), second);
    // The running tip shows the new text at its new size.
    const std::wstring shown(second.begin(), second.end());
    for (int i = 0; i < 50 && TestSupport::WindowTitle(tip.textBox.window) != shown; ++i) Sleep(20);
    EXPECT_EQ(TestSupport::WindowTitle(tip.textBox.window), shown);
    RECT client{};
    GetClientRect(tip.textBox.window, &client);
    EXPECT_EQ(client.right, tip.clientSize.cx);
    EXPECT_TRUE(tip.EndWindow(2000));
}
