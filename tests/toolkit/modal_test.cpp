// Modal runs: the blocked root refuses input but keeps painting, a click on
// it brings the modal dialog forward, nested runs, runs whose window cannot
// be made, and pointer requests that did not come from the program itself.
// The tests click with real input (SendInput), so they hold the foreground
// lock.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/profile.h"
#include "support/window_support.h"

using namespace WinLayer;
using TestSupport::DibCanvas;
using TestSupport::RunLater;
using TestSupport::TestControl;
using TestSupport::TestDialog;

namespace {

constexpr COLORREF kRootColour = RGB(200, 30, 30);

bool HasChildCommand(const TestDialog& dialog) {
    for (const std::string& line : dialog.journal)
        if (line.compare(0, 13, "child command") == 0) return true;
    return false;
}

// A request sent from another thread of the process.
struct ForeignSend {
    HWND window;
    LPARAM parameter;
    std::atomic<bool> done{false};
};

DWORD WINAPI SendFromThread(void* parameter) {
    auto* request = static_cast<ForeignSend*>(parameter);
    SendMessageW(request->window, WinMessage::PressButton, 0, request->parameter);
    request->done = true;
    return 0;
}

}  // namespace

TEST(ModalRun, BlockedRootRefusesInputKeepsPaintingAndHandsClicksOn) {
    TestSupport::ModalWatchdog watchdog(20000);
    TestControl rootButton("BUTTON", "root button");
    rootButton.rect = RECT{20, 20, 160, 60};
    TestDialog root("TkModalRoot", L"Modal root", RECT{40, 40, 540, 440});
    root.paintColour = kRootColour;
    root.makeChildren = [&](TestDialog& d) { d.CreateChild(rootButton); };
    root.Create();
    TestDialog modal("TkModalDialog", L"Modal", RECT{700, 80, 1000, 280});
    TestDialog other("TkModalOther", L"Other", RECT{700, 500, 1000, 700});
    TestSupport::MessageCounter counter;
    bool finished = false;

    RunLater(300, [&] {
        EXPECT_FALSE(IsWindowEnabled(root.window));
        EXPECT_EQ(root.ModalChild(), modal.window);
        TestSupport::RealClick(rootButton.window, 30, 15);
        RunLater(400, [&] {
            EXPECT_EQ(rootButton.Received(WM_LBUTTONDOWN), 0);
            EXPECT_FALSE(HasChildCommand(root)) << "the blocked root's button sent a command";
            counter.Reset();
            InvalidateRect(root.window, nullptr, FALSE);
            RunLater(300, [&] {
                const int paints = counter.Count(root.window, WM_PAINT);
                EXPECT_GE(paints, 1);
                EXPECT_LE(paints, 2) << "an unvalidated paint keeps coming back";
                DibCanvas shot = DibCanvas::CaptureClient(root.window);
                EXPECT_EQ(shot.Pixel(300, 300), kRootColour);
                EXPECT_EQ(TestSupport::WindowTitle(root.window), L"Modal root");
                other.Create();
                SetForegroundWindow(other.window);
                RunLater(300, [&] {
                    EXPECT_EQ(GetForegroundWindow(), other.window);
                    TestSupport::RealClick(root.window, 300, 300);
                    RunLater(400, [&] {
                        EXPECT_EQ(GetForegroundWindow(), modal.window);
                        finished = true;
                        modal.result = 4;
                        PostMessageW(modal.window, WM_CLOSE, 0, 0);
                    });
                });
            });
        });
    });
    EXPECT_EQ(modal.RunModal(rootButton), 4);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(IsWindowEnabled(root.window));
    EXPECT_EQ(root.ModalChild(), nullptr);
    EXPECT_EQ(GetFocus(), rootButton.window) << "the owner view has the focus again";
    // The root takes input again.
    TestSupport::RealClick(rootButton.window, 30, 15);
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return HasChildCommand(root); }));
}

TEST(ModalRun, NestedRunsKeepTheRootBlockedUntilTheOutermostEnds) {
    TestSupport::ModalWatchdog watchdog(15000);
    TestDialog root("TkModalRoot", L"Root", RECT{40, 40, 440, 340});
    root.Create();
    TestDialog outer("TkModalOuter", L"Outer", RECT{500, 60, 800, 260});
    TestDialog inner("TkModalInner", L"Inner", RECT{540, 300, 840, 500});
    bool innerSeen = false, afterInner = false;
    RunLater(200, [&] {
        RunLater(200, [&] {
            EXPECT_EQ(root.ModalChild(), inner.window);
            innerSeen = true;
            inner.result = 2;
            PostMessageW(inner.window, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(inner.RunModal(root), 2);
        EXPECT_FALSE(IsWindowEnabled(root.window)) << "the outer dialog still runs";
        EXPECT_EQ(root.ModalChild(), outer.window);
        afterInner = true;
        outer.result = 3;
        PostMessageW(outer.window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(outer.RunModal(root), 3);
    EXPECT_TRUE(innerSeen && afterInner);
    EXPECT_TRUE(IsWindowEnabled(root.window));
    EXPECT_EQ(root.ModalChild(), nullptr);
}

TEST(ModalRun, ARunWhoseWindowCannotBeMadeReturnsAtOnce) {
    TestSupport::ModalWatchdog watchdog(10000);
    TestDialog root("TkModalRoot", L"Root", RECT{40, 40, 440, 340});
    root.Create();
    TestDialog broken("TkModalBroken", L"Broken", RECT{500, 60, 800, 260});
    broken.style = WS_CHILD | WS_VISIBLE;  // a child without a parent cannot be made
    const DWORD start = GetTickCount();
    EXPECT_EQ(broken.RunModal(root), 0);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(WinWindowRegistry::Instance().Contains(&broken));
    EXPECT_TRUE(IsWindowEnabled(root.window));
    EXPECT_EQ(root.ModalChild(), nullptr);

    TestDialog later("TkModalBroken", L"Later", RECT{500, 60, 800, 260});
    RunLater(150, [&] {
        later.result = 6;
        PostMessageW(later.window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(later.RunModal(root), 6);
}

TEST(PointerRequests, OnlyTheProgramsOwnSendsReachTheView) {
    std::vector<std::string> pressed;
    TestControl button("BUTTON", "press");
    button.handler = [&](UINT message, WPARAM, LPARAM lParam) -> LRESULT {
        if (message != WinMessage::PressButton) return kNotHandled;
        const auto* list = reinterpret_cast<const RawLayer::RawParameterList*>(lParam);
        const RawLayer::RawString name = list->GetText(RawLayer::RawString::FromText("Button")).As(RawLayer::KindUtf8);
        pressed.emplace_back(name.Bytes(), name.Length());
        return 1;
    };
    TestDialog dialog("TkModalPointer", L"Pointer", RECT{60, 60, 400, 260});
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
    dialog.Create();
    const LPARAM bogus = 0x12345678;

    // Posted: dropped by the toolkit's loop step, and refused by the
    // subclass procedure when another loop dispatches it.
    PostMessageW(button.window, WinMessage::PressButton, 0, bogus);
    TestSupport::PumpUntilIdle();
    PostMessageW(button.window, WinMessage::PressButton, 0, bogus);
    PostMessageW(dialog.window, WinMessage::PressButton, 0, bogus);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);

    // Sent from another thread.
    RawLayer::RawParameterList list;
    list.SetText(RawLayer::RawString::FromText("Button"), RawLayer::RawString::FromText("OK"));
    ForeignSend request{button.window, reinterpret_cast<LPARAM>(&list)};
    HANDLE thread = CreateThread(nullptr, 0, SendFromThread, &request, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(TestSupport::PumpUntil([&] { return request.done.load(); }));
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
    EXPECT_EQ(button.Received(WinMessage::PressButton), 0);

    // Sent by the program on its own thread.
    EXPECT_EQ(WinMessage::SendPointer(button.window, WinMessage::PressButton, 0, reinterpret_cast<LPARAM>(&list)), 1);
    EXPECT_EQ(pressed, std::vector<std::string>{"OK"});
}
