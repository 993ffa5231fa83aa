// The input dialog driven through its own windows (typed characters, keys,
// clicks on its option controls) inside its modal run, and the reader of
// an expression's leading marks over random texts in every kind. Where the
// keyboard focus goes needs the dialog active, which a window another test
// shows meanwhile would take: USES_FOREGROUND.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "support/window_support.h"
#include "tavrel/app/input_dialog.h"
#include "toolkit/environment.h"

namespace {

using AppLayer::GuiInputDialog;
using RawLayer::RawString;
using TestSupport::RunLater;
using TestSupport::S;

RawString Text(const char* text) { return RawString::FromText(text); }

struct InputRun {
    InputRun() : owner("TvInputOwner", L"Owner", RECT{60, 60, 700, 500}) { owner.Create(); }
    // Builds the dialog on the request and runs it; the steps run one after
    // another inside the run, 150 ms apart.
    int32_t Run(uint16_t flags, const char* first, std::vector<std::function<void(GuiInputDialog&)>> steps) {
        request.flags = flags;
        request.title = Text("Search");
        request.labels[0] = Text("Find");
        request.labels[1] = Text("Replace");
        request.operands[0] = Text(first);
        dialog = std::make_unique<GuiInputDialog>(request);
        dialog->Build(owner);
        auto chain = std::make_shared<std::function<void(size_t)>>();
        *chain = [this, steps, chain](size_t i) {
            if (i >= steps.size()) return;
            steps[i](*dialog);
            RunLater(150, [chain, i] { (*chain)(i + 1); });
        };
        RunLater(200, [chain] { (*chain)(0); });
        TestSupport::ModalWatchdog watchdog(15000);
        const int32_t result = dialog->RunModal(owner);
        EXPECT_FALSE(watchdog.Fired());
        return result;
    }
    static void Type(GuiInputDialog& d, const char* text) {
        for (const char* c = text; *c; ++c) TestSupport::PostChar(d.rows[0].edit.window, static_cast<wchar_t>(*c));
    }
    static void Click(WinLayer::WinView& button) {
        SendMessageW(button.window, WM_COMMAND, MAKEWPARAM(button.controlId, 0), 0);
    }
    static std::string FirstRow(GuiInputDialog& d) { return S(d.rows[0].edit.GetText().As(RawLayer::KindUtf8)); }

    TestSupport::TestDialog owner;
    JobLayer::ActionArgs request;
    std::unique_ptr<GuiInputDialog> dialog;
};

constexpr uint16_t kAllOptions = 1 | 2 | 16 | 32;

TEST(InputDialogTest, TypedMarksSetTheOptionsAndTheOptionsRewriteTheMarks) {
    InputRun run;
    bool ignoreCase = false;
    uint32_t mode = 0;
    std::string complex, inverted;
    EXPECT_EQ(run.Run(kAllOptions, "",
                      {[](GuiInputDialog& d) { InputRun::Type(d, "&$abc"); },
                       [&](GuiInputDialog& d) {
                           ignoreCase = d.ignoreCase.checked;
                           mode = d.Mode();
                           // The third segment: Complex.
                           RECT client{};
                           GetClientRect(d.modeSelector.window, &client);
                           const RECT segment = d.modeSelector.SegmentRect(client, 2);
                           const int x = (segment.left + segment.right) / 2, y = (segment.top + segment.bottom) / 2;
                           TestSupport::SendMouse(d.modeSelector.window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
                           TestSupport::SendMouse(d.modeSelector.window, WM_LBUTTONUP, x, y);
                       },
                       [&](GuiInputDialog& d) {
                           complex = InputRun::FirstRow(d);
                           TestSupport::PostKey(d.rows[0].edit.window, VK_ESCAPE);
                       }}),
              0);
    EXPECT_EQ(run.Run(kAllOptions, "!&x",
                      {[](GuiInputDialog& d) { InputRun::Click(d.ignoreCase); },
                       [&](GuiInputDialog& d) {
                           inverted = InputRun::FirstRow(d);
                           TestSupport::PostKey(d.rows[0].edit.window, VK_ESCAPE);
                       }}),
              0);
    EXPECT_TRUE(ignoreCase);
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(complex, "&@abc");
    // "!" has no control: toggling IgnoreCase keeps it.
    EXPECT_EQ(inverted, "!x");
}

TEST(InputDialogTest, CancelLeavesTheRequestAsItWas) {
    InputRun run;
    run.request.history.Add(Text("old"));
    bool ignoreCase = true;
    EXPECT_EQ(run.Run(kAllOptions | 0x200, "!!x",
                      {[&](GuiInputDialog& d) {
                           ignoreCase = d.ignoreCase.checked;
                           InputRun::Click(d.confirm);
                           InputRun::Click(d.ignoreCase);
                           InputRun::Type(d, "y");
                       },
                       [](GuiInputDialog& d) { InputRun::Click(d.cancelButton); }}),
              0);
    EXPECT_FALSE(ignoreCase);
    EXPECT_EQ(run.request.flags, kAllOptions | 0x200);
    EXPECT_EQ(S(run.request.operands[0]), "!!x");
    EXPECT_EQ(run.request.history.Count(), 1);
}

TEST(InputDialogTest, EnterMovesToTheSecondRowAndFinishesThereWithTheHistoryUpdated) {
    InputRun run;
    run.request.history.Add(Text("b"));
    run.request.history.Add(Text("a"));
    bool stayedOpen = false, secondFocused = false;
    EXPECT_EQ(run.Run(4 | 16, "",
                      {[](GuiInputDialog& d) { TestSupport::PostKey(d.rows[0].edit.window, VK_RETURN); },
                       [&](GuiInputDialog& d) {
                           // An empty first row does not finish.
                           stayedOpen = IsWindow(d.window) && !d.closing;
                           InputRun::Click(d.confirm);
                           InputRun::Type(d, "a");
                       },
                       [](GuiInputDialog& d) { TestSupport::PostKey(d.rows[0].edit.window, VK_RETURN); },
                       [&](GuiInputDialog& d) {
                           secondFocused = GetFocus() == d.rows[1].edit.window;
                           TestSupport::PostChar(d.rows[1].edit.window, L'z');
                           TestSupport::PostKey(d.rows[1].edit.window, VK_RETURN);
                       }}),
              1);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(secondFocused);
    EXPECT_EQ(S(run.request.operands[0]), "a");
    EXPECT_EQ(S(run.request.operands[1]), "z");
    EXPECT_EQ(run.request.flags, 4 | 16 | 0x100);
    std::vector<std::string> history;
    for (const RawLayer::RawParameterUnit& unit : run.request.history) history.push_back(S(unit.key));
    EXPECT_EQ(history, (std::vector<std::string>{"z", "a", "b"}));
}

TEST(InputDialogTest, WithoutOptionFlagsTheOptionRowKeepsItsHeight) {
    InputRun run;
    RECT row{}, edit{};
    run.Run(0, "x", {[&](GuiInputDialog& d) {
                         row = d.optionRow;
                         edit = d.rows[0].edit.rect;
                         TestSupport::PostKey(d.rows[0].edit.window, VK_ESCAPE);
                     }});
    const int32_t margin = WinLayer::WinEnvironment::Instance().margin;
    EXPECT_GT(row.bottom - row.top, 0);
    EXPECT_EQ(row.top, margin);
    EXPECT_EQ(edit.top, row.bottom + margin);
    EXPECT_EQ(run.dialog->optionLabel.window, nullptr);
}

// The reference reader over a sequence of characters.
JobLayer::ExpressionPrefix Reference(const std::vector<uint16_t>& chars, int32_t unitSize) {
    JobLayer::ExpressionPrefix prefix = {0, 0};
    for (size_t i = 0; i < chars.size(); ++i) {
        const uint16_t c = chars[i];
        if (c == '!' || c == '&') {
            prefix.flags |= c == '!' ? 16u : 32u;
            prefix.start = static_cast<int32_t>(i + 1) * unitSize;
            continue;
        }
        prefix.flags |= c == '$' ? 1u : c == '@' ? 4u : 2u;
        prefix.start = static_cast<int32_t>(c == '$' || c == '@' ? i + 1 : i) * unitSize;
        return prefix;
    }
    return prefix;
}

TEST(InputDialogTest, ExpressionMarksReadAlikeInEveryKindAndACutUnitIsNoCharacter) {
    std::mt19937 random(26);
    const uint16_t alphabet[] = {'!', '&', '$', '@', 'x', 0x0126, 0x2621};
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint16_t> chars(random() % 6);
        for (uint16_t& c : chars) c = alphabet[random() % 7];
        std::wstring wide(chars.begin(), chars.end());
        const RawString utf16 = RawString::FromWideText(wide.c_str(), static_cast<int32_t>(wide.size()));
        const JobLayer::ExpressionPrefix unit = Reference(chars, 1);
        JobLayer::ExpressionPrefix got = AppLayer::ParseExpressionPrefix(utf16);
        ASSERT_EQ(got.flags, unit.flags) << round;
        ASSERT_EQ(got.start, unit.start) << round;
        // UTF-8: the marks are ASCII, anything else is one wildcard character.
        const RawString utf8 = utf16.As(RawLayer::KindUtf8);
        got = AppLayer::ParseExpressionPrefix(utf8);
        ASSERT_EQ(got.flags, unit.flags) << round;
        if (unit.start <= 0 || chars[unit.start - 1] < 0x80) {
            std::vector<uint16_t> head(chars.begin(), chars.begin() + unit.start);
            ASSERT_EQ(got.start, static_cast<int32_t>(TestSupport::Utf8(std::wstring(head.begin(), head.end())).size()));
        }
        for (const bool big : {true, false}) {
            std::string bytes;
            for (uint16_t c : chars) {
                const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
                bytes += big ? std::string{high, low} : std::string{low, high};
            }
            const uint8_t kind = big ? RawLayer::KindUtf16BE : RawLayer::KindUtf16LE;
            const JobLayer::ExpressionPrefix twice = Reference(chars, 2);
            got = AppLayer::ParseExpressionPrefix(RawString::FromBytes(bytes.data(), static_cast<int32_t>(bytes.size()), kind));
            ASSERT_EQ(got.flags, twice.flags) << round;
            ASSERT_EQ(got.start, twice.start) << round;
            // A cut unit at the end ("!" or "&" in its one byte) adds nothing.
            for (const char cut : {'!', '&', '$'}) {
                const std::string odd = bytes + cut;
                got = AppLayer::ParseExpressionPrefix(RawString::FromBytes(odd.data(), static_cast<int32_t>(odd.size()), kind));
                ASSERT_EQ(got.flags, twice.flags) << round;
                ASSERT_EQ(got.start, twice.start) << round;
            }
        }
    }
    const JobLayer::ExpressionPrefix dollar = AppLayer::ParseExpressionPrefix(Text("$"));
    EXPECT_EQ(dollar.flags, 1u);
    EXPECT_EQ(dollar.start, 1);
}

}  // namespace
