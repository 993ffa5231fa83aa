// Window texts and characters of any script reach the views intact: dialogs
// are Unicode windows, the loop is the wide one and controls are made
// through the wide entry point. RUN_UNDER_BOTH_CODE_PAGES
// USES_FOREGROUND: its windows take the activation of the shared display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/window_support.h"

using namespace WinLayer;
using TestSupport::TestControl;
using TestSupport::TestDialog;

TEST(WindowText, TitlesOfAnyScriptReadBackExactly) {
    const std::wstring title = L"Vergleich \u2013 \u6BD4\u8F03";
    TestDialog dialog("TkTextTitle", title, RECT{50, 50, 400, 250});
    dialog.Create();
    ASSERT_NE(dialog.window, nullptr);
    EXPECT_EQ(TestSupport::WindowTitle(dialog.window), title);
    // A title set later, held as UTF-16 and as 7-bit text.
    dialog.SetText(RawLayer::RawString::FromWideText(L"\u3042 \U0001F600"));
    dialog.UpdateWindowText();
    EXPECT_EQ(TestSupport::WindowTitle(dialog.window), L"\u3042 \U0001F600");
    dialog.SetText(RawLayer::RawString::FromText("Plain"));
    dialog.UpdateWindowText();
    EXPECT_EQ(TestSupport::WindowTitle(dialog.window), L"Plain");
}

TEST(WindowText, CharactersPostedToAChildArriveIntactThroughTheLoop) {
    TestSupport::ModalWatchdog watchdog(10000);
    TestControl button("BUTTON", "chars");
    TestDialog dialog("TkTextChars", L"Chars", RECT{60, 60, 400, 250});
    dialog.makeChildren = [&](TestDialog& d) { d.CreateChild(button); };
    dialog.Create();
    ASSERT_NE(button.window, nullptr);
    EXPECT_TRUE(IsWindowUnicode(button.window));
    EXPECT_TRUE(IsWindowUnicode(dialog.window));
    for (wchar_t unit : {L'\u3042', L'\xD83D', L'\xDE00'}) TestSupport::PostChar(button.window, unit);
    PostMessageW(dialog.window, WM_CLOSE, 0, 0);
    dialog.MessageLoop();
    EXPECT_EQ(button.ParametersOf(WM_CHAR), (std::vector<WPARAM>{0x3042, 0xD83D, 0xDE00}));
}
