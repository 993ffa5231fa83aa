// Binding, the dispatch chain, the default view handling, focus cycling,
// the dialog's own messages and the objects that die before their windows.
// USES_FOREGROUND: focus and activation are one per display.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "support/window_support.h"
#include "toolkit/environment.h"
#include "toolkit/work_counts.h"

using namespace WinLayer;
using TestSupport::TestControl;
using TestSupport::TestDialog;

namespace {

constexpr UINT kProbe = WM_APP + 1;

RECT At(int left, int top, int width = 320, int height = 200) { return RECT{left, top, left + width, top + height}; }

bool Contains(const std::vector<std::string>& journal, const std::string& entry) {
    for (const std::string& line : journal)
        if (line == entry) return true;
    return false;
}

int IndexOf(const std::vector<std::string>& journal, const std::string& prefix) {
    for (size_t i = 0; i < journal.size(); ++i)
        if (journal[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    return -1;
}

// A hook that answers the probe message when armed and counts everything.
class ProbeHook : public WinViewHook {
public:
    LRESULT OnMessage(UINT message, WPARAM, LPARAM) override {
        ++seen;
        return armed && message == kProbe ? 9 : kNotHandled;
    }
    bool armed = false;
    int seen = 0;
};

class CountingLogger : public RawLayer::JobServerControl::Logger {
public:
    void Report(const RawLayer::RawString&) override { ++lines; }
    int lines = 0;
};

}  // namespace

TEST(ViewDispatch, HookAnswerWinsOverTheViewsOwn) {
    TestControl button("BUTTON", "probe");
    button.handler = [](UINT message, WPARAM, LPARAM) { return message == kProbe ? LRESULT(5) : kNotHandled; };
    ProbeHook hook;
    button.hooks.AddHook(&hook);
    TestDialog dialog("TkDispatchHook", L"Hook", At(40, 40));
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
    dialog.Create();
    ASSERT_NE(button.window, nullptr);
    EXPECT_EQ(SendMessageW(button.window, kProbe, 0, 0), 5);
    hook.armed = true;
    EXPECT_EQ(SendMessageW(button.window, kProbe, 0, 0), 9);
    // The hook saw the messages the view handled too.
    EXPECT_GE(hook.seen, 2);
    button.hooks.RemoveHook(&hook);
    EXPECT_EQ(SendMessageW(button.window, kProbe, 0, 0), 5);
}

TEST(ViewDispatch, TabCyclesFocusSkippingDisabledAndLabels) {
    TestControl first("BUTTON", "first"), label("STATIC", "label", WS_CHILD | WS_VISIBLE),
        disabled("BUTTON", "disabled", WS_CHILD | WS_VISIBLE | WS_DISABLED), last("BUTTON", "last");
    label.viewKind = 0;  // a label that is not subclassed is no Tab stop
    first.rect = RECT{10, 10, 90, 40};
    label.rect = RECT{10, 50, 90, 70};
    disabled.rect = RECT{10, 80, 90, 110};
    last.rect = RECT{10, 120, 90, 150};
    TestDialog dialog("TkDispatchTab", L"Tab", At(60, 60));
    dialog.makeChildren = [&](TestDialog& d) {
        for (WinView* child : {static_cast<WinView*>(&first), static_cast<WinView*>(&label),
                               static_cast<WinView*>(&disabled), static_cast<WinView*>(&last)})
            d.CreateChild(*child);
    };
    dialog.Create();
    SetFocus(first.window);
    ASSERT_EQ(GetFocus(), first.window);
    TestSupport::SetModifiers(false, false, false);
    TestSupport::SendKey(first.window, VK_TAB);
    EXPECT_EQ(GetFocus(), last.window);
    TestSupport::SendKey(last.window, VK_TAB);
    EXPECT_EQ(GetFocus(), first.window) << "wraps to the start";
    TestSupport::SetModifiers(true, false, false);
    TestSupport::SendKey(first.window, VK_TAB);
    EXPECT_EQ(GetFocus(), last.window) << "Shift+Tab wraps backwards";
    TestSupport::SetModifiers(false, false, false);

    // A single Tab stop keeps the focus.
    TestControl only("BUTTON", "only"), note("STATIC", "note", WS_CHILD | WS_VISIBLE);
    note.viewKind = 0;
    only.rect = RECT{10, 10, 90, 40};
    note.rect = RECT{10, 50, 90, 70};
    TestDialog single("TkDispatchTab", L"Single", At(420, 60));
    single.makeChildren = [&](TestDialog& d) {
        d.CreateChild(only);
        d.CreateChild(note);
    };
    single.Create();
    SetFocus(only.window);
    TestSupport::SendKey(only.window, VK_TAB);
    EXPECT_EQ(GetFocus(), only.window);
}

TEST(ViewDispatch, EscapeClosesTheDialogUnlessItRefuses) {
    for (bool allowed : {true, false}) {
        TestControl button("BUTTON", "esc");
        TestDialog dialog("TkDispatchEscape", L"Escape", At(80, 80));
        dialog.closeAllowed = allowed;
        dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
        dialog.Create();
        const HWND window = dialog.window;
        TestSupport::PostKey(button.window, VK_ESCAPE);
        TestSupport::PumpUntilIdle();
        EXPECT_TRUE(Contains(dialog.journal, "child command " + std::to_string(button.controlId) + " " +
                                                 std::to_string(WinNotify::Cancel)));
        EXPECT_EQ(IsWindow(window) != FALSE, !allowed);
        TestSupport::DrainQuit();
    }
}

TEST(ViewDispatch, CommandsReachTheChildOrTheDialogItself) {
    TestControl button("BUTTON", "cmd");
    TestDialog dialog("TkDispatchCommand", L"Command", At(100, 100));
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
    dialog.Create();
    SendMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(9999, 77), 0);
    EXPECT_TRUE(Contains(dialog.journal, "command 77"));
    SendMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(button.controlId, 78), 0);
    EXPECT_TRUE(Contains(dialog.journal, "child command " + std::to_string(button.controlId) + " 78"));
    EXPECT_FALSE(Contains(dialog.journal, "command 78"));
    const RawLayer::RawString any;
    EXPECT_EQ(dialog.FindChild(RawLayer::RawString::FromText("BUT*"), RawLayer::RawString::FromText("c?d")), &button);
    EXPECT_EQ(dialog.FindChild(any, RawLayer::RawString::FromText("other")), nullptr);
}

// A view that swallows the key 'A' before translation.
class SwallowingControl : public TestControl {
public:
    SwallowingControl() : TestControl("BUTTON", "swallow") { flags |= StyleWantsPreTranslate; }
    bool PreTranslateMessage(UINT message, WPARAM wParam, LPARAM, POINT) override {
        return message == WM_KEYDOWN && wParam == 'A';
    }
};

TEST(ViewDispatch, PreTranslationSwallowsBeforeTheView) {
    SwallowingControl control;
    TestDialog dialog("TkDispatchPre", L"Pre", At(300, 100));
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(control); };
    dialog.Create();
    EXPECT_TRUE(dialog.dialogFlags & WinDialogResize::DialogPreTranslates);
    TestSupport::PostKey(control.window, 'A');
    TestSupport::PostKey(control.window, 'B');
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(control.ParametersOf(WM_KEYDOWN), std::vector<WPARAM>{'B'});
    EXPECT_EQ(control.Received(WM_KEYUP), 2);
}

TEST(DialogLife, SizeStatesAndDestructionOrder) {
    std::vector<std::string> journal;
    TestControl a("BUTTON", "a"), b("BUTTON", "b");
    TestDialog dialog("TkDialogLife", L"Life", At(120, 120));
    a.journal = &dialog.journal;
    b.journal = &dialog.journal;
    dialog.makeChildren = [&](TestDialog& d) {
        d.CreateChild(a);
        d.CreateChild(b);
    };
    dialog.Create();
    ASSERT_GE(dialog.journal.size(), 2u);
    EXPECT_EQ(dialog.journal[0], "placement 5 0");
    EXPECT_EQ(dialog.journal[1], "placement 6 0");
    DestroyWindow(dialog.window);
    const int placement = IndexOf(dialog.journal, "placement 0 7");
    ASSERT_GE(placement, 0);
    EXPECT_LT(placement, IndexOf(dialog.journal, "destroying a"));
    EXPECT_LT(IndexOf(dialog.journal, "destroying a"), IndexOf(dialog.journal, "destroying b"));
    EXPECT_LT(IndexOf(dialog.journal, "destroying b"), IndexOf(dialog.journal, "destroying dialog"));
    EXPECT_EQ(TestSupport::DrainQuit(), 1) << "the destruction posts the quit of the dialog's loop";
}

TEST(DialogLife, OneClassRegistrationAndIdsFrom2000) {
    WinWindowRegistry& registry = WinWindowRegistry::Instance();
    const uint32_t before = WinWorkCounts::Instance().classRegistrations;
    TestDialog first("TkDialogSameClass", L"One", At(140, 140)), second("TkDialogSameClass", L"Two", At(180, 180));
    first.Create();
    second.Create();
    ASSERT_NE(first.window, nullptr);
    ASSERT_NE(second.window, nullptr);
    EXPECT_EQ(WinWorkCounts::Instance().classRegistrations, before + 1);
    EXPECT_GE(first.controlId, 2000u);
    EXPECT_GT(second.controlId, first.controlId);
    EXPECT_EQ(registry.FindByHandle(second.window), &second);
}

TEST(DialogLife, CancelledEndSessionLeavesTheDialogWorking) {
    TestDialog dialog("TkDialogSession", L"Session", At(160, 160));
    dialog.Create();
    SendMessageW(dialog.window, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(WinWindowRegistry::Instance().FindByHandle(dialog.window), &dialog);
    EXPECT_EQ(TestSupport::DrainQuit(), 0);
    EXPECT_EQ(IndexOf(dialog.journal, "placement 0 7"), -1);
    SendMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(9999, 5), 0);
    EXPECT_TRUE(Contains(dialog.journal, "command 5"));
    SendMessageW(dialog.window, WM_ENDSESSION, TRUE, 0);
    EXPECT_GE(IndexOf(dialog.journal, "placement 0 7"), 0);
    EXPECT_EQ(WinWindowRegistry::Instance().FindByHandle(dialog.window), nullptr);
    EXPECT_EQ(TestSupport::DrainQuit(), 1);
}

TEST(DialogLife, FailingHandlersAnswerTheDefaultAndReportOnce) {
    CountingLogger logger;
    WinEnvironment& environment = WinEnvironment::Instance();
    environment.logger = &logger;
    const uint32_t failures = environment.FailureCount();
    TestControl button("BUTTON", "throws");
    button.handler = [](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_APP + 2) throw std::bad_alloc();
        return kNotHandled;
    };
    TestDialog dialog("TkDialogThrow", L"Throw", At(200, 200));
    dialog.handler = [](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_APP + 3) throw std::bad_alloc();
        return kNotHandled;
    };
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
    dialog.Create();
    EXPECT_EQ(SendMessageW(button.window, WM_APP + 2, 0, 0), 0);
    EXPECT_EQ(SendMessageW(button.window, WM_APP + 2, 0, 0), 0);
    EXPECT_EQ(SendMessageW(dialog.window, WM_APP + 3, 0, 0), 0);
    EXPECT_EQ(environment.FailureCount(), failures + 3);
    EXPECT_EQ(logger.lines, 2) << "each failing message is reported once";
    EXPECT_TRUE(IsWindow(dialog.window));
    environment.logger = nullptr;
}

TEST(DialogLife, ObjectsThatDieBeforeTheirWindowsTakeThemAlong) {
    TestDialog dialog("TkDialogDying", L"Dying", At(220, 220));
    auto* button = new TestControl("BUTTON", "dies");
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(*button); };
    dialog.Create();
    const HWND buttonWindow = button->window;
    const uint32_t id = button->controlId;
    ASSERT_TRUE(IsWindow(buttonWindow));
    delete button;
    EXPECT_FALSE(IsWindow(buttonWindow));
    EXPECT_EQ(dialog.children.FindById(id), nullptr);

    HWND dialogWindow;
    {
        TestDialog doomed("TkDialogDying", L"Doomed", At(260, 260));
        doomed.Create();
        dialogWindow = doomed.window;
        ASSERT_TRUE(IsWindow(dialogWindow));
    }
    EXPECT_FALSE(IsWindow(dialogWindow));
    EXPECT_EQ(WinWindowRegistry::Instance().FindByHandle(dialogWindow), nullptr);
    EXPECT_EQ(TestSupport::DrainQuit(), 0) << "no loop waits for a dialog that dies with its object";
}

TEST(DialogLoop, AQuitForAnOuterLoopTakesTheWindowAndIsPostedAgain) {
    TestSupport::ModalWatchdog watchdog(10000);
    TestDialog dialog("TkDialogLoop", L"Loop", At(240, 240));
    dialog.Create();
    const HWND window = dialog.window;
    TestSupport::RunLater(100, [] { PostQuitMessage(5); });
    EXPECT_EQ(dialog.MessageLoop(), 5);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(dialog.window, nullptr);
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 5u) << "the outer loop still gets its quit";
}

TEST(DialogLoop, RunsThatWouldBlockThemselvesAreRefused) {
    TestSupport::ModalWatchdog watchdog(5000);
    TestControl button("BUTTON", "inside");
    TestDialog dialog("TkDialogSelfOwner", L"Self", At(260, 260));
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
    EXPECT_EQ(dialog.RunModal(dialog), 0);
    EXPECT_EQ(dialog.window, nullptr) << "no window was made";
    dialog.Create();
    EXPECT_EQ(dialog.RunModal(button), 0) << "the owner chain leads back through the dialog";
    EXPECT_EQ(dialog.ModalChild(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(dialog.window));
}

TEST(DialogLoop, BringToFrontGivesUpOnAWindowThatCannotComeForward) {
    TestDialog dialog("TkDialogFront", L"Front", At(280, 280));
    dialog.Create();
    dialog.BringToFront(0, 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(GetForegroundWindow(), dialog.window);
    // Without a loop the dialog keeps the handle of its destroyed window,
    // which can never come to the front.
    DestroyWindow(dialog.window);
    TestSupport::DrainQuit();
    const DWORD start = GetTickCount();
    dialog.BringToFront(0, 0);
    EXPECT_LT(GetTickCount() - start, 3000u);
}
