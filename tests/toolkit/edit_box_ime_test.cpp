// The edit box's input method with Wine's own input context: a composition
// shown inside the text, a commit that keeps its result as one undo step, a
// cancel that gives the text back, direct messages that carry sizes the
// box must check, and no context where the layout has no input method.
// USES_FOREGROUND: the input context follows the focus.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/window_support.h"
#include "toolkit/edit_box.h"
#include "toolkit/environment.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::TestDialog;

namespace {

std::wstring Text(const WinEditBox& box) {
    return std::wstring(box.EditText().Wide(), static_cast<size_t>(box.EditText().Length()));
}

struct ImeFixture {
    explicit ImeFixture(const wchar_t* text) : dialog("TkEditIme", L"Ime", RECT{80, 80, 400, 200}) {
        box.Construct();
        box.rect = RECT{10, 10, 250, 36};
        box.SetText(RawString::FromWideText(text));
        dialog.makeChildren = [this](TestDialog& d) { d.CreateChild(box); };
        dialog.Create();
        SetForegroundWindow(dialog.window);
        SetFocus(box.window);
        TestSupport::PumpUntilIdle();
    }
    void Compose(const wchar_t* units) {
        ImmSetCompositionStringW(box.ime, SCS_SETSTR, const_cast<wchar_t*>(units),
                                 static_cast<DWORD>(std::wcslen(units) * sizeof(wchar_t)), nullptr, 0);
        TestSupport::PumpUntilIdle();
    }
    void Notify(DWORD action) {
        ImmNotifyIME(box.ime, NI_COMPOSITIONSTR, action, 0);
        TestSupport::PumpUntilIdle();
    }
    TestDialog dialog;
    WinEditBox box;
};

TEST(EditBoxImeTest, CommitKeepsTheResultOnceAsOneUndoStepAndCancelRestores) {
    ImeFixture f(L"say XX now");
    ASSERT_NE(f.box.ime, nullptr);
    f.box.SetSelection(4, 6);
    f.Compose(L"\u304B\u306A");
    EXPECT_EQ(Text(f.box), L"say \u304B\u306A now");
    f.Notify(CPS_COMPLETE);
    EXPECT_EQ(Text(f.box), L"say \u304B\u306A now");
    EXPECT_FALSE(f.box.composing);
    TestSupport::SetModifiers(false, true, false);
    TestSupport::SendKey(f.box.window, 'Z');
    TestSupport::SetModifiers(false, false, false);
    EXPECT_EQ(Text(f.box), L"say XX now");
    EXPECT_EQ(f.box.Selection().start, 4);
    EXPECT_EQ(f.box.Selection().end, 6);

    f.Compose(L"\u3042");
    EXPECT_EQ(Text(f.box), L"say \u3042 now");
    f.Notify(CPS_CANCEL);
    EXPECT_EQ(Text(f.box), L"say XX now");
}

TEST(EditBoxImeTest, NoContextWhereTheLayoutHasNoInputMethod) {
    // Wine gives every layout its own input method, so a layout without one
    // is stood for by the environment's answer. Without a context the menu's
    // "Open IME." and "Register selection." stay disabled.
    WinEnvironment& environment = WinEnvironment::Instance();
    const int8_t kept = environment.layoutHasIme;
    environment.layoutHasIme = 0;
    {
        ImeFixture f(L"plain");
        EXPECT_EQ(f.box.ime, nullptr);
        // Typing still works, and IME messages find nothing to answer.
        f.box.SetSelection(5, 5);
        SendMessageW(f.box.window, WM_CHAR, L'!', 1);
        EXPECT_EQ(Text(f.box), L"plain!");
        EXPECT_EQ(SendMessageW(f.box.window, WM_IME_REQUEST, IMR_RECONVERTSTRING, 0), 0);
    }
    environment.layoutHasIme = 1;
    {
        ImeFixture f(L"kana");
        EXPECT_NE(f.box.ime, nullptr);
    }
    environment.layoutHasIme = kept;
}

TEST(EditBoxImeTest, DirectMessagesWithSizesTheBoxMustCheck) {
    ImeFixture f(L"0123456789abcdefghij tail");
    ASSERT_NE(f.box.ime, nullptr);
    f.box.SetSelection(0, 20);
    EXPECT_EQ(SendMessageW(f.box.window, WM_IME_REQUEST, IMR_RECONVERTSTRING, 0), 32 + 2 * 20);
    // A buffer too small for the text: nothing is written past it.
    std::vector<unsigned char> buffer(200, 0xCD);
    auto* record = reinterpret_cast<RECONVERTSTRING*>(buffer.data());
    record->dwSize = 40;
    EXPECT_EQ(SendMessageW(f.box.window, WM_IME_REQUEST, IMR_RECONVERTSTRING, reinterpret_cast<LPARAM>(record)), 0);
    for (size_t i = 40; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xCD) << i;
    record->dwSize = 200;
    EXPECT_NE(SendMessageW(f.box.window, WM_IME_REQUEST, IMR_RECONVERTSTRING, reinterpret_cast<LPARAM>(record)), 0);
    EXPECT_EQ(record->dwStrLen, 20u);
    EXPECT_EQ(std::memcmp(buffer.data() + 32, L"0123456789abcdefghij", 40), 0);

    // Flags without composition data change nothing.
    const uint32_t revision = f.box.textRevision;
    SendMessageW(f.box.window, WM_IME_COMPOSITION, 0,
                 GCS_COMPSTR | GCS_RESULTSTR | GCS_COMPCLAUSE | GCS_COMPATTR | GCS_CURSORPOS);
    EXPECT_EQ(Text(f.box), L"0123456789abcdefghij tail");
    EXPECT_EQ(f.box.textRevision, revision);
}

}  // namespace
