// The input dialog on real windows: rows for at most 20 fields, results
// written on Finish and on Cancel, the default title, typed characters
// beyond ANSI, and the hint menu that Down opens.
// USES_FOREGROUND: the hint menu takes the mouse and keyboard of the display.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "support/window_support.h"
#include "toolkit/input_dialog.h"
#include "toolkit/win_message.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::S;
using TestSupport::RunLater;
using TestSupport::TestDialog;

namespace {

RawString Text(const std::string& text) { return RawString::FromText(text.c_str()); }

struct Request {
    explicit Request(int count) : owner("TkInputOwner", L"Owner", RECT{100, 100, 500, 400}) {
        owner.Create();
        for (int i = 0; i < count; ++i) {
            WinInputParameterUnit unit;
            unit.label = Text("Field " + std::to_string(i));
            unit.initialText = i == 0 ? RawString() : Text("v" + std::to_string(i));
            unit.result = Text("keep");
            unit.hints.Add(Text("first hint"));
            unit.hints.Add(Text("second hint"));
            fields.Add(unit);
        }
    }
    std::vector<std::string> Results() const {
        std::vector<std::string> results;
        for (const WinInputParameterUnit& unit : fields) results.push_back(S(unit.result));
        return results;
    }
    int32_t Run(const RawString& title, const std::function<void()>& answer) {
        RECT ownerRect{};
        GetWindowRect(owner.window, &ownerRect);
        dialog.Build(ownerRect, title, fields);
        RunLater(150, answer);
        return dialog.RunModal(owner);
    }
    TestDialog owner;
    WinInputParameterList fields;
    WinInputDialog dialog;
};

}  // namespace

TEST(InputDialog, TwentyRowsAtMostAndCancelStillStoresTheShownTexts) {
    TestSupport::ModalWatchdog watchdog(20000);
    Request request(25);
    std::wstring title;
    int rowWindows = 0;
    EXPECT_EQ(request.Run(RawString(), [&] {
        title = TestSupport::WindowTitle(request.dialog.window);
        for (const WinInputDialog::Row& row : request.dialog.rows) rowWindows += IsWindow(row.edit.window) ? 1 : 0;
        EXPECT_EQ(GetFocus(), request.dialog.rows[0].edit.window);
        TestSupport::PostChar(request.dialog.rows[0].edit.window, L'\x3042');
        TestSupport::PostKey(request.dialog.rows[0].edit.window, VK_ESCAPE);
    }), 0);
    EXPECT_EQ(title, L"Input text.");
    EXPECT_EQ(rowWindows, 20);
    std::vector<std::string> expected{"\xE3\x81\x82"};
    for (int i = 1; i < 20; ++i) expected.push_back("v" + std::to_string(i));
    for (int i = 20; i < 25; ++i) expected.push_back("keep");
    EXPECT_EQ(request.Results(), expected);

    // Built again on the same object, Enter finishes.
    EXPECT_EQ(request.Run(Text("Find"), [&] {
        title = TestSupport::WindowTitle(request.dialog.window);
        TestSupport::PostKey(request.dialog.rows[1].edit.window, VK_RETURN);
    }), 1);
    EXPECT_EQ(title, L"Find");
    EXPECT_FALSE(watchdog.Fired());
}

TEST(InputDialog, DownInARowOpensItsHints) {
    TestSupport::ModalWatchdog watchdog(20000);
    Request request(3);
    std::vector<std::wstring> items;
    EXPECT_EQ(request.Run(Text("Hints"), [&] {
        SetForegroundWindow(request.dialog.window);
        TestSupport::PostKey(request.dialog.rows[1].edit.window, VK_DOWN);
        RunLater(200, [&] {
            WinHintButton& hint = request.dialog.rows[1].hint;
            if (hint.menu.IsOpen()) {
                for (int i = 0, n = GetMenuItemCount(hint.menu.Handle()); i < n; ++i) {
                    wchar_t text[64] = {};
                    GetMenuStringW(hint.menu.Handle(), static_cast<UINT>(i), text, 63, MF_BYPOSITION);
                    items.push_back(text);
                }
            }
            EndMenu();
            RunLater(100, [&] { TestSupport::PostKey(request.dialog.rows[1].edit.window, VK_ESCAPE); });
        });
    }), 0);
    EXPECT_EQ(items, (std::vector<std::wstring>{L"first hint", L"second hint"}));
    EXPECT_FALSE(watchdog.Fired());
}
