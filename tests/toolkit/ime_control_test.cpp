// The input method control on a plain view with Wine's input context: the
// composition and the result reach the view as two records, a click during
// a composition completes it and still reaches the view, reconversion sizes
// are checked, and without a context every message passes.
// USES_FOREGROUND: the input context follows the focus.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/window_support.h"
#include "toolkit/ime_control.h"

using namespace WinLayer;
using RawLayer::RawString;
using TestSupport::TestControl;
using TestSupport::TestDialog;

namespace {

class RecordingIme : public WinImeControl {
public:
    using WinImeControl::WinImeControl;
    void OnComposition(const WinImeComposition& record) override {
        contents.push_back(record.contents);
        texts.push_back(std::wstring(record.main.text.As(RawLayer::KindUtf16).Wide(),
                                     static_cast<size_t>(record.main.text.As(RawLayer::KindUtf16).Length())));
    }
    bool PrepareReconversion() override {
        composition.main.text = RawString::FromWideText(offered.c_str());
        return true;
    }
    std::vector<uint16_t> contents;
    std::vector<std::wstring> texts;
    std::wstring offered = L"0123456789";
};

struct PlainView {
    PlainView() : dialog("TkImeControl", L"Ime", RECT{100, 100, 360, 220}), ime(view) {
        view.rect = RECT{10, 10, 200, 40};
        view.handler = [this](UINT message, WPARAM wParam, LPARAM lParam) {
            return ime.HandleMessage(message, wParam, lParam);
        };
        dialog.makeChildren = [this](TestDialog& d) { d.CreateChild(view); };
        dialog.Create();
        SetForegroundWindow(dialog.window);
        SetFocus(view.window);
        TestSupport::PumpUntilIdle();
    }
    TestDialog dialog;
    TestControl view;
    RecordingIme ime;
};

TEST(ImeControlTest, CompositionThenResultAndAClickCompletesAndPasses) {
    PlainView p;
    // Without a context every message passes.
    EXPECT_EQ(p.ime.HandleMessage(WM_IME_STARTCOMPOSITION, 0, 0), kNotHandled);
    EXPECT_EQ(p.ime.HandleMessage(WM_IME_REQUEST, IMR_RECONVERTSTRING, 0), kNotHandled);
    ASSERT_TRUE(p.ime.Attach());

    wchar_t word[] = L"\u304B\u306A";
    ImmSetCompositionStringW(p.ime.context, SCS_SETSTR, word, sizeof(word) - sizeof(wchar_t), nullptr, 0);
    TestSupport::PumpUntilIdle();
    EXPECT_TRUE(p.ime.HasState(WinImeControl::StateComposing));
    ASSERT_FALSE(p.ime.contents.empty());
    EXPECT_TRUE((p.ime.contents.back() & ~2) == 1) << p.ime.contents.back();

    const size_t before = p.view.messages.size();
    EXPECT_EQ(p.ime.HandleMessage(WM_LBUTTONDOWN, MK_LBUTTON, 0), kNotHandled);
    TestSupport::PumpUntilIdle();
    EXPECT_FALSE(p.ime.HasState(WinImeControl::StateComposing));
    ASSERT_GE(p.ime.contents.size(), 2u);
    EXPECT_TRUE((p.ime.contents.back() & ~8) == 4) << p.ime.contents.back();
    EXPECT_EQ(p.ime.texts.back(), L"\u304B\u306A");
    EXPECT_GT(p.view.messages.size(), before);

    // Reconversion: the size, and a record too small for the text.
    EXPECT_EQ(SendMessageW(p.view.window, WM_IME_REQUEST, IMR_RECONVERTSTRING, 0), 32 + 2 * 10);
    std::vector<unsigned char> buffer(100, 0xCD);
    auto* record = reinterpret_cast<RECONVERTSTRING*>(buffer.data());
    record->dwSize = 40;
    EXPECT_EQ(SendMessageW(p.view.window, WM_IME_REQUEST, IMR_RECONVERTSTRING, reinterpret_cast<LPARAM>(record)), 0);
    for (size_t i = 40; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xCD) << i;
    p.ime.Release();
    EXPECT_EQ(p.ime.context, nullptr);
}

}  // namespace
