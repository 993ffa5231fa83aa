// The text dialog on real windows: Enter and Escape in the edit box, the
// placement kept from run to run (and dropped when no monitor shows it), an
// answer through WM_COPYDATA, and Finish sent to the dialog itself staying
// inside it.
// USES_FOREGROUND: the typed keys go to the focused edit box.
#include <gtest/gtest.h>

#include <string>

#include "quenby/app/text_dialog.h"
#include "support/window_support.h"
#include "toolkit/win_message.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::RunLater;
using TestSupport::TestDialog;

namespace {

std::string Utf8(const RawString& text) {
    const RawString utf8 = text.As(RawLayer::KindUtf8);
    return std::string(utf8.Bytes(), utf8.Length());
}

struct Asker {
    Asker() : owner("QvTextOwner", L"Owner", RECT{100, 100, 600, 400}) {
        owner.Create();
        WinTextDialog::LastPlacement() = RECT{};
    }
    bool Ask(const std::function<void()>& answer) {
        RECT ownerRect{};
        GetWindowRect(owner.window, &ownerRect);
        RunLater(200, answer);
        return dialog.AskText(ownerRect, RawString(), RawString::FromText("start"), owner);
    }
    TestDialog owner;
    WinTextDialog dialog;
};

void Type(HWND window, const wchar_t* text) {
    for (const wchar_t* c = text; *c; ++c) TestSupport::PostChar(window, *c);
}

}  // namespace

TEST(TextDialog, EnterConfirmsTheTypedTextEscapeCancelsAndTheNextRunOpensWhereThisOneClosed) {
    TestSupport::ModalWatchdog watchdog(20000);
    Asker asker;
    std::wstring title;
    RECT moved{};
    EXPECT_TRUE(asker.Ask([&] {
        title = TestSupport::WindowTitle(asker.dialog.window);
        EXPECT_EQ(GetFocus(), asker.dialog.edit.window);
        // The initial text is selected, so typing replaces it.
        Type(asker.dialog.edit.window, L"w\x00FCrd");
        RunLater(100, [&] {
            SetWindowPos(asker.dialog.window, nullptr, 140, 170, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            GetWindowRect(asker.dialog.window, &moved);
            TestSupport::PostKey(asker.dialog.edit.window, VK_RETURN);
        });
    }));
    EXPECT_EQ(title, L"Input text ?");
    EXPECT_EQ(Utf8(asker.dialog.resultText), "w\xC3\xBCrd");

    RECT opened{};
    EXPECT_FALSE(asker.Ask([&] {
        GetWindowRect(asker.dialog.window, &opened);
        Type(asker.dialog.edit.window, L"typed");
        RunLater(100, [&] { TestSupport::PostKey(asker.dialog.edit.window, VK_ESCAPE); });
    }));
    EXPECT_TRUE(EqualRect(&opened, &moved));
    EXPECT_EQ(Utf8(asker.dialog.resultText), "typed");

    // A rectangle no monitor shows is not used: the dialog lands on the
    // work area by its owner.
    WinTextDialog::LastPlacement() = RECT{-30000, -30000, -29700, -29900};
    RECT placed{};
    asker.Ask([&] {
        GetWindowRect(asker.dialog.window, &placed);
        TestSupport::PostKey(asker.dialog.edit.window, VK_ESCAPE);
    });
    EXPECT_NE(MonitorFromRect(&placed, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_GT(placed.left, -1000);
}

TEST(TextDialog, CopyDataAnswersWithExactlyItsBytesAndFinishSentToTheDialogStaysInside) {
    TestSupport::ModalWatchdog watchdog(20000);
    Asker asker;
    // No terminator: the bytes after the third must not be read as text.
    char bytes[] = {'a', 'b', 'c', 'X', 'Y', 'Z'};
    EXPECT_TRUE(asker.Ask([&] {
        COPYDATASTRUCT record{0, 3, bytes};
        SendMessageW(asker.dialog.window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
    }));
    EXPECT_EQ(Utf8(asker.dialog.resultText), "abc");

    EXPECT_FALSE(asker.Ask([&] {
        COPYDATASTRUCT record{1, 3, bytes};
        SendMessageW(asker.dialog.window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
    }));

    EXPECT_TRUE(asker.Ask([&] {
        COPYDATASTRUCT empty{0, 0, nullptr};
        SendMessageW(asker.dialog.window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty));
    }));
    EXPECT_EQ(Utf8(asker.dialog.resultText), "");

    asker.owner.journal.clear();
    EXPECT_TRUE(asker.Ask([&] {
        SendMessageW(asker.dialog.window, WM_COMMAND, MAKEWPARAM(0, WinNotify::FinishButton), 0);
    }));
    EXPECT_EQ(Utf8(asker.dialog.resultText), "start");
    for (const std::string& entry : asker.owner.journal) EXPECT_EQ(entry.find("command"), std::string::npos) << entry;
}
