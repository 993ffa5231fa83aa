// The information dialog on real windows: the buttons it shows, the key
// that chooses one, the automation request, releases without a press, and
// one object set up and run again.
// USES_FOREGROUND: the focus given to the button row needs the foreground.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/profile.h"
#include "support/window_support.h"
#include "toolkit/info_dialog.h"
#include "toolkit/win_message.h"

using namespace WinLayer;
using RawLayer::RawLabelUnit;
using RawLayer::RawString;
using TestSupport::RunLater;
using TestSupport::TestDialog;

namespace {

RawString Text(const char* text) { return RawString::FromText(text); }

const RawLabelUnit* YesNoCancel() {
    static const RawLabelUnit table[] = {RawLabelUnit(Text("Yes"), 2), RawLabelUnit(Text("No"), 3),
                                         RawLabelUnit(Text("Cancel"), 0), RawLabelUnit(RawString(), 0)};
    return table;
}

struct Question {
    Question() : owner("TkInfoOwner", L"Owner", RECT{100, 100, 500, 400}) { owner.Create(); }
    // Sets the question up and runs it; `answer` runs inside the run.
    int32_t Ask(const RawLabelUnit* table, const std::function<void()>& answer) {
        RECT ownerRect{};
        GetWindowRect(owner.window, &ownerRect);
        dialog.Setup(ownerRect, Text("Question"), Text("Replace the file?"), table, WinInfoDialog::IconQuestion);
        RunLater(150, answer);
        return dialog.RunModal(owner);
    }
    TestDialog owner;
    WinInfoDialog dialog;
};

}  // namespace

TEST(InfoDialog, KeysEscapeAndCloseGiveTheButtonValuesRunAfterRun) {
    TestSupport::ModalWatchdog watchdog(20000);
    Question q;
    std::wstring title;
    int rowButtons = 0;
    EXPECT_EQ(q.Ask(YesNoCancel(), [&] {
        title = TestSupport::WindowTitle(q.dialog.window);
        rowButtons = q.dialog.buttons.Count();
        EXPECT_EQ(GetFocus(), q.dialog.buttonRow.window);
        TestSupport::PostKey(q.dialog.buttonRow.window, 'N');
    }), 3);
    EXPECT_EQ(title, L"Question");
    EXPECT_EQ(rowButtons, 3);
    // The same object, set up again, still closes: by Escape, then by the
    // close box, then by a key again.
    EXPECT_EQ(q.Ask(YesNoCancel(), [&] { TestSupport::PostKey(q.dialog.buttonRow.window, VK_ESCAPE); }), 0);
    EXPECT_EQ(q.Ask(YesNoCancel(), [&] { PostMessageW(q.dialog.window, WM_CLOSE, 0, 0); }), 0);
    EXPECT_EQ(q.Ask(YesNoCancel(), [&] { TestSupport::PostKey(q.dialog.buttonRow.window, 'Y'); }), 2);
    // Of two labels with the same first letter, the first wins; a letter
    // no label starts with is left.
    static const RawLabelUnit same[] = {RawLabelUnit(Text("skip"), 7), RawLabelUnit(Text("Stop"), 8),
                                        RawLabelUnit(RawString(), 0)};
    EXPECT_EQ(q.Ask(same, [&] {
        TestSupport::PostKey(q.dialog.buttonRow.window, 'Q');
        RunLater(100, [&] {
            EXPECT_TRUE(IsWindow(q.dialog.window));
            TestSupport::PostKey(q.dialog.buttonRow.window, 'S');
        });
    }), 7);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(InfoDialog, AutomationRequestSentOnlyAndReleasesWithoutPress) {
    TestSupport::ModalWatchdog watchdog(20000);
    Question q;
    RawLayer::RawParameterList request;
    request.Add(Text("Button"), Text("No"));
    EXPECT_EQ(q.Ask(YesNoCancel(), [&] {
        WinMessage::SendPointer(q.dialog.window, WinMessage::PressButton, 0, reinterpret_cast<LPARAM>(&request));
    }), 3);
    bool stillOpen = false;
    EXPECT_EQ(q.Ask(YesNoCancel(), [&] {
        // A forged pointer posted from anywhere, and a release on the row
        // that no press on it began, leave the question open.
        PostMessageW(q.dialog.window, WinMessage::PressButton, 0, static_cast<LPARAM>(0x12345678));
        TestSupport::PostMouse(q.dialog.buttonRow.window, WM_LBUTTONUP, 5, 5);
        RunLater(150, [&] {
            stillOpen = IsWindow(q.dialog.window) != FALSE;
            TestSupport::PostKey(q.dialog.buttonRow.window, 'C');
        });
    }), 0);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(watchdog.Fired());
}
