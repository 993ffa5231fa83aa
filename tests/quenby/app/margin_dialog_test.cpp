// The margin dialog on the viewer's main window: typed values convert only
// from the box the user edited, wrong margins keep the dialog open with the
// focus on the offending box, Escape cancels, and the kept margins move the
// page's text.
// USES_FOREGROUND: the focus moves to the offending box.
#include "quenby/app/margin_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "quenby/app/main_dialog.h"
#include "quenby/app/viewer_fixture.h"

using namespace ViewerTest;
using AppLayer::WinPrintMarginDialog;
using RawLayer::RawString;

namespace {

std::string Text(const WinLayer::WinEditBox& box) { return TestSupport::S(box.GetText()); }

// Replaces a box's text as typed keys do.
void Type(WinLayer::WinEditBox& box, const wchar_t* text) {
    SetFocus(box.window);
    box.SetSelection(0, box.Length());
    for (const wchar_t* c = text; *c; ++c) TestSupport::PostChar(box.window, *c);
    TestSupport::PumpFor(100);
}

// Posts Finish; pumps unless the press may end the run (a pump here would
// take the run's quit message).
void PressFinish(WinPrintMarginDialog& dialog, bool pump = true) {
    PostMessageW(dialog.finishButton.window, WM_COMMAND,
                 MAKEWPARAM(dialog.finishButton.controlId, WinPrintMarginDialog::CodeFinish), 0);
    if (pump) TestSupport::PumpFor(100);
}

}  // namespace

TEST(MarginDialogTest, TypedValuesConvertOnceAndWrongMarginsKeepTheDialogOpen) {
    ViewerRun run;
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\n");
    ASSERT_TRUE(run.Start(""));
    TestSupport::ModalWatchdog watchdog(30000);
    WinPrintMarginDialog dialog;
    dialog.Build(*run.Dialog(), RawString::FromText("Margins"), SIZE{4960, 7016}, SIZE{210, 297},
                 RECT{100, 100, 100, 100});
    bool checked = false;
    TestSupport::RunLater(200, [&] {
        auto& left = dialog.rows[WinPrintMarginDialog::RowLeft];
        auto& right = dialog.rows[WinPrintMarginDialog::RowRight];
        auto& top = dialog.rows[WinPrintMarginDialog::RowTop];
        auto& bottom = dialog.rows[WinPrintMarginDialog::RowBottom];
        RECT innerBefore{};
        GetWindowRect(dialog.innerFrame.window, &innerBefore);
        Type(left.pixels, L"236");
        TestSupport::PumpFor(200);
        EXPECT_EQ(Text(left.pixels), "236");
        EXPECT_EQ(Text(left.millis), "9");
        RECT innerAfter{};
        GetWindowRect(dialog.innerFrame.window, &innerAfter);
        EXPECT_GT(innerAfter.left, innerBefore.left);
        Type(left.millis, L"20");
        TestSupport::PumpFor(200);
        EXPECT_EQ(Text(left.millis), "20");
        EXPECT_EQ(Text(left.pixels), "472");
        // left + right = width - 100: refused, the focus on the larger one.
        Type(left.pixels, L"2000");
        Type(right.pixels, L"2860");
        SetFocus(left.pixels.window);
        PressFinish(dialog);
        EXPECT_TRUE(IsWindow(dialog.window));
        EXPECT_EQ(GetFocus(), right.pixels.window);
        Type(right.pixels, L"100");
        Type(left.pixels, L"-5");
        SetFocus(right.pixels.window);
        PressFinish(dialog);
        EXPECT_TRUE(IsWindow(dialog.window));
        EXPECT_EQ(GetFocus(), left.pixels.window);
        Type(left.pixels, L"100");
        Type(top.pixels, L"2000000000");
        Type(bottom.pixels, L"2000000000");
        PressFinish(dialog);
        EXPECT_TRUE(IsWindow(dialog.window));
        Type(top.pixels, L"150");
        Type(bottom.pixels, L"120");
        Type(left.pixels, L"300");
        checked = true;
        PressFinish(dialog, false);
    });
    EXPECT_EQ(dialog.RunModal(*run.Dialog()), 1);
    EXPECT_TRUE(checked);
    EXPECT_EQ(dialog.margins.left, 300);
    EXPECT_EQ(dialog.margins.top, 150);
    EXPECT_EQ(dialog.margins.right, 100);
    EXPECT_EQ(dialog.margins.bottom, 120);

    WinPrintMarginDialog escaped;
    escaped.Build(*run.Dialog(), RawString(), SIZE{4960, 7016}, SIZE{210, 297}, RECT{100, 100, 100, 100});
    TestSupport::RunLater(200, [&] {
        TestSupport::PostKey(escaped.rows[WinPrintMarginDialog::RowLeft].pixels.window, VK_ESCAPE);
    });
    EXPECT_EQ(escaped.RunModal(*run.Dialog()), 0);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(MarginDialogTest, KeptMarginsAreSavedAndMoveThePageText) {
    ViewerRun run;
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\n");
    const std::wstring doc = run.Write(L"m.md", "# Margins\n\ntext\n");
    ASSERT_TRUE(run.Start("-p \"" + TestSupport::S(TestSupport::W(doc)) + "\""));
    AppLayer::GuiViewBox& view = run.Dialog()->items.view;
    view.Refresh();
    const LONG before = view.pageMargins.left;
    TestSupport::ModalWatchdog watchdog(30000);
    TestSupport::RunLater(200, [&] {
        HWND found = FindWindowW(L"Class_PrintMarginDialog", nullptr);
        auto* margins = static_cast<WinPrintMarginDialog*>(WinLayer::WinWindowRegistry::Instance().FindByHandle(found));
        ASSERT_NE(margins, nullptr);
        Type(margins->rows[WinPrintMarginDialog::RowLeft].pixels, L"600");
        PressFinish(*margins, false);
    });
    AppLayer::DispatchMainCommand(*run.Dialog(), nullptr, AppLayer::CmdMargin);
    EXPECT_EQ(view.CurrentStyle()->printImage.margin.left, 600);
    EXPECT_NE(view.pageMargins.left, before);
    EXPECT_EQ(view.pageMargins.left, 600);
    EXPECT_NE(TestSupport::FileText(run.profile).find("600"), std::string::npos);
    EXPECT_FALSE(watchdog.Fired());
}
