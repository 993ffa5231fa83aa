// The hint button on a real dialog: the menu it opens (inspected by a
// timer callback while the menu runs), the choice it writes into its
// target, and what it refuses.
// USES_FOREGROUND: a popup menu takes the mouse and keyboard of the display.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "support/window_support.h"
#include "toolkit/edit_box.h"
#include "toolkit/hint_button.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::TestControl;
using TestSupport::S;
using TestSupport::TestDialog;

namespace {

constexpr uint16_t kOpen = 0x1102;
constexpr uint16_t kChosen = 0x1103;
// Menus are inspected this long after they open.
constexpr DWORD kMenuWaitMs = 150;

RawString Text(const char* text) { return RawString::FromText(text); }

// The entries of an open menu: "-" for a separator, the text with a
// leading "*" when checked.
std::vector<std::string> Entries(HMENU menu) {
    std::vector<std::string> entries;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 127;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            entries.push_back("-");
            continue;
        }
        std::string entry = (info.fState & MFS_CHECKED) ? "*" : "";
        for (const wchar_t* c = text; *c; ++c) entry.push_back(static_cast<char>(*c));
        entries.push_back(entry);
    }
    return entries;
}

// A hint button beside a native EDIT, or beside the toolkit's edit box.
struct HintRow {
    explicit HintRow(bool editBox = false)
        : field("EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER), dialog("TkHint", L"Hints", RECT{200, 200, 500, 360}) {
        field.rect = RECT{10, 10, 160, 34};
        box.Construct();
        box.rect = field.rect;
        hint.Construct();
        hint.SetCaption(RawString(), 0, kOpen);
        hint.rect = RECT{164, 10, 190, 34};
        hint.target = editBox ? static_cast<WinView*>(&box) : &field;
        hint.openCode = kOpen;
        hint.chosenCode = kChosen;
        dialog.makeChildren = [this, editBox](TestDialog& d) {
            if (editBox) {
                d.CreateChild(box);
            } else {
                d.CreateChild(field);
            }
            d.CreateChild(hint);
        };
        dialog.Create();
        SetForegroundWindow(dialog.window);
        TestSupport::PumpUntilIdle();
    }
    void SetHints(std::vector<std::pair<const char*, const char*>> hints, bool exactCase = true) {
        hint.hints = RawLayer::RawParameterList(exactCase);
        for (const auto& h : hints) hint.hints.Add(Text(h.first), Text(h.second));
    }
    void SetField(const char* text) {
        field.SetText(Text(text));
        field.UpdateWindowText();
    }
    // Opens the menu as the program does and returns its entries; `then`
    // runs while the menu is open and may choose an entry, else the menu
    // is closed.
    std::vector<std::string> Open(const std::function<void()>& then = nullptr) {
        std::vector<std::string> seen;
        bool inspected = false;
        TestSupport::RunLater(kMenuWaitMs, [&] {
            inspected = true;
            EXPECT_TRUE(hint.menu.IsOpen());
            seen = Entries(hint.menu.Handle());
            if (then) {
                then();
            } else {
                EndMenu();
            }
        });
        hint.SendCommand(kOpen);
        if (!inspected) TestSupport::PumpFor(kMenuWaitMs * 2);
        EXPECT_TRUE(inspected);
        EXPECT_FALSE(hint.menu.IsOpen());
        TestSupport::PumpUntilIdle();
        return seen;
    }
    int Chosen() const {
        int chosen = 0;
        const std::string line = "child command " + std::to_string(hint.controlId) + " " + std::to_string(kChosen);
        for (const std::string& entry : dialog.journal) chosen += entry == line;
        return chosen;
    }

    TestControl field;
    WinEditBox box;
    WinHintButton hint;
    TestDialog dialog;
};

}  // namespace

TEST(HintButton, TheMenuListsHintsAsTypedWithSeparatorsFilterAndCheck) {
    HintRow row;
    row.SetHints({{"-", ""}, {"a", ""}, {"-", ""}, {"-", ""}, {"b", ""}});
    EXPECT_EQ(row.Open(), (std::vector<std::string>{"a", "-", "b"}));

    // The item equal to the text is checked, ignoring ASCII case when the
    // case flag is clear; '&' shows as typed.
    row.SetHints({{"alpha", ""}, {"beta", ""}, {"&x", ""}, {"alphabet", ""}}, false);
    row.SetField("BETA");
    EXPECT_EQ(row.Open(), (std::vector<std::string>{"alpha", "*beta", "&&x", "alphabet"}));
    row.SetHints({{"alpha", ""}, {"beta", ""}}, true);
    EXPECT_EQ(row.Open(), (std::vector<std::string>{"alpha", "beta"}));

    // With Ctrl held only the hints containing the text are listed.
    row.SetHints({{"alpha", ""}, {"beta", ""}, {"&x", ""}, {"alphabet", ""}}, false);
    row.SetField("alp");
    TestSupport::SetModifiers(false, true, false);
    const std::vector<std::string> filtered = row.Open();
    TestSupport::SetModifiers(false, false, false);
    EXPECT_EQ(filtered, (std::vector<std::string>{"alpha", "alphabet"}));
}

TEST(HintButton, AChoiceWritesTheKeyAndUnknownIdsChangeNothing) {
    HintRow row;
    row.hint.hintOptions = WinHintButton::HintShowValue;
    row.SetHints({{"first", ""}, {"key", "value"}, {"-", ""}, {"&mark", ""}});
    row.SetField("typed");
    // Down twice and Enter inside the menu choose the second entry.
    const std::vector<std::string> entries = row.Open([&] {
        for (UINT key : {VK_DOWN, VK_DOWN, VK_RETURN}) TestSupport::PostKey(row.hint.window, key);
    });
    EXPECT_EQ(entries, (std::vector<std::string>{"first", "key (value)", "-", "&&mark"}));
    EXPECT_EQ(S(row.field.GetText()), "key");
    EXPECT_EQ(TestSupport::WindowTitle(row.field.window), L"key");
    EXPECT_EQ(row.Chosen(), 1);

    // A stale or forged menu command leaves what the user typed.
    row.SetField("typed");
    for (WPARAM id : {WPARAM(0), WPARAM(99), WPARAM(4)}) {
        SendMessageW(row.hint.window, WinMessage::MenuCommand, id, 0);
        PostMessageW(row.hint.window, WinMessage::MenuCommand, id, 0);
    }
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(S(row.field.GetText()), "typed");
    EXPECT_EQ(row.Chosen(), 1);
    // The third entry's id is 3 ("&mark").
    SendMessageW(row.hint.window, WinMessage::MenuCommand, 3, 0);
    EXPECT_EQ(S(row.field.GetText()), "&mark");
}

TEST(HintButton, AChoiceInAnEditBoxIsOneUndoableEditAfterWhatWasTyped) {
    HintRow row(true);
    row.SetHints({{"first", ""}, {"second", ""}});
    for (wchar_t unit : std::wstring(L"typed")) SendMessageW(row.box.window, WM_CHAR, unit, 1);
    TestSupport::PumpUntilIdle();
    row.dialog.journal.clear();
    row.Open([&] {
        for (UINT key : {VK_DOWN, VK_DOWN, VK_RETURN}) TestSupport::PostKey(row.hint.window, key);
    });
    EXPECT_EQ(S(row.box.GetText()), "second");
    EXPECT_EQ(row.box.caret, 6);
    EXPECT_EQ(row.box.anchor, 6);
    const std::string changed =
        "child command " + std::to_string(row.box.controlId) + " " + std::to_string(WinNotify::TextChanged);
    EXPECT_EQ(std::count(row.dialog.journal.begin(), row.dialog.journal.end(), changed), 1);
    EXPECT_EQ(row.Chosen(), 1);

    // Undo gives the typed text back, then takes the typing away; Redo
    // brings the choice again.
    std::vector<std::string> steps;
    for (bool redo : {false, false, true, true}) {
        TestSupport::SetModifiers(redo, true, false);
        TestSupport::SendKey(row.box.window, 'Z');
        TestSupport::SetModifiers(false, false, false);
        steps.push_back(S(row.box.GetText()));
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"typed", "", "typed", "second"}));
}

TEST(HintButton, NoHintsOpenNothing) {
    HintRow row;
    EXPECT_FALSE(row.hint.ShowHints());
    // A click posts the open code, which finds nothing to show.
    TestSupport::SendMouse(row.hint.window, WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    TestSupport::SendMouse(row.hint.window, WM_LBUTTONUP, 5, 5);
    TestSupport::PostKey(row.hint.window, VK_DOWN);
    EXPECT_TRUE(TestSupport::PumpUntilIdle());
    EXPECT_EQ(row.hint.menu.Handle(), nullptr);
    EXPECT_FALSE(row.hint.menu.IsOpen());
}
