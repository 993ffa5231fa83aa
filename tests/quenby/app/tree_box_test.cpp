// The table of contents in a real viewer: headings painted indented by
// level, dots in the text colour, nothing but background without headings,
// the tip of a hovered heading (its own thread, topmost, not active, sized to
// the text, kept within 5 pixels, closed beyond and on leaving, ended with
// the window), and the Ctrl keys and Ctrl + wheel.
// USES_FOREGROUND: the tip closes when the main window loses the activation.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "quenby/app/viewer_fixture.h"

using namespace ViewerTest;
using RawLayer::RawString;

namespace {

constexpr COLORREF kText = RGB(0x10, 0x20, 0x30);
constexpr COLORREF kBackground = RGB(0xF8, 0xFF, 0xF0);

std::string Profile(bool dots) {
    return std::string("[Common]\r\nProgram=Quenby\r\n[TextFont]\r\nHeight=-13\r\nQuality=3\r\nFaceName=Tahoma\r\n") +
           "[Overview]\r\nTextColor=0x102030\r\nBackgroundColor=0xF8FFF0\r\n[Job]\r\nWithTreeDotMark=" +
           (dots ? "True" : "False") + "\r\n";
}

const char* kDocument =
    "# Heading one\r\n\r\nText.\r\n\r\n## Heading two\r\n\r\nText.\r\n\r\n### Heading three with a long text "
    "that the narrow tree cannot show\r\n\r\nText.\r\n";

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 255);
    return text;
}

struct TreeRun {
    explicit TreeRun(bool dots, const char* document = kDocument) {
        TestSupport::WriteFileBytes(run.profile, Profile(dots));
        const std::wstring path = run.Write(L"doc.md", document);
        EXPECT_TRUE(run.Start("\"" + TestSupport::Utf8(path) + "\""));
    }
    AppLayer::GuiTreeBox& Tree() { return run.Dialog()->items.tree; }
    // The client rectangle of the item (scrolled to the top).
    RECT Row(int32_t index) {
        RECT r = Tree().items.At(index)->rect;
        return r;
    }
    std::vector<int32_t> Headings() {
        std::vector<int32_t> found;
        int32_t index = 0;
        for (const WinLayer::WinListBoxItemUnit& unit : Tree().items) {
            if (unit.Reachable()) found.push_back(index);
            ++index;
        }
        return found;
    }
    ViewerRun run;
};

}  // namespace

TEST(TreeBox, HeadingsIndentByLevelWithDotsInTheColumnBefore) {
    for (const bool dots : {false, true}) {
        TreeRun tree(dots);
        const std::vector<int32_t> headings = tree.Headings();
        ASSERT_EQ(headings.size(), 3u);
        const TestSupport::DibCanvas canvas = TestSupport::DibCanvas::CaptureClient(tree.Tree().window);
        const int32_t unit = tree.Tree().layout.textHeight;
        ASSERT_GT(unit, 0);
        std::vector<LONG> lefts;
        for (size_t level = 1; level <= 3; ++level) {
            const RECT row = tree.Row(headings[level - 1]);
            // The text: the first text-coloured pixel right of the dot column.
            const LONG textColumn = row.left + static_cast<LONG>(dots ? level : level - 1) * unit;
            RECT textArea{textColumn, row.top, canvas.Width(), row.bottom};
            RECT dotArea{row.left + static_cast<LONG>(level - 1) * unit - 1, row.top, textColumn, row.bottom};
            LONG left = canvas.Width();
            for (int y = row.top; y < row.bottom; ++y)
                for (int x = textArea.left; x < canvas.Width() && x < left; ++x)
                    if (canvas.Pixel(x, y) == kText) left = x;
            lefts.push_back(left);
            if (dots) {
                EXPECT_GT(canvas.CountColor(dotArea, kText), 0) << level;
            } else if (level > 1) {
                EXPECT_EQ(canvas.CountColor(RECT{row.left, row.top, textColumn, row.bottom}, kText), 0) << level;
            }
        }
        EXPECT_NEAR(lefts[1] - lefts[0], unit, 1) << dots;
        EXPECT_NEAR(lefts[2] - lefts[1], unit, 1) << dots;
    }

    TreeRun plain(true, "Only text.\r\n\r\nMore text.\r\n");
    const TestSupport::DibCanvas canvas = TestSupport::DibCanvas::CaptureClient(plain.Tree().window);
    EXPECT_TRUE(plain.Headings().empty());
    EXPECT_EQ(canvas.CountColor(kText), 0);
}

TEST(TreeBox, TheHoveredHeadingShowsItsFullTextInATipOnAnotherThread) {
    TestSupport::ModalWatchdog watchdog(30000);
    TreeRun tree(false);
    AppLayer::GuiTreeBox& box = tree.Tree();
    const std::vector<int32_t> headings = tree.Headings();
    ASSERT_EQ(headings.size(), 3u);
    const RECT third = tree.Row(headings[2]);
    const POINT at{third.left + 10, (third.top + third.bottom) / 2};

    TestSupport::SendMouse(box.window, WM_MOUSEMOVE, at.x, at.y);
    TestSupport::SendMouse(box.window, WM_MOUSEHOVER, at.x, at.y);
    const HWND tip = box.tipPart.tip.RunningWindow();
    ASSERT_TRUE(IsWindow(tip));
    wchar_t name[64] = {};
    GetClassNameW(tip, name, 63);
    EXPECT_EQ(std::wstring(name), L"Class_TipDialog");
    EXPECT_NE(GetWindowThreadProcessId(tip, nullptr), GetCurrentThreadId());
    EXPECT_TRUE(GetWindowLongW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(GetForegroundWindow(), tip);
    EXPECT_EQ(TextOf(box.tipPart.tip.textBox.window), L"Heading three with a long text that the narrow tree cannot show");
    RECT client{}, measured{};
    GetClientRect(tip, &client);
    box.tipPart.tip.textBox.MeasureText(measured, box.tipPart.tip.TipText());
    EXPECT_EQ(client.right, measured.right + 6);
    EXPECT_EQ(client.bottom, measured.bottom + 2);

    TestSupport::SendMouse(box.window, WM_MOUSEMOVE, at.x + 5, at.y - 5);
    EXPECT_TRUE(IsWindow(tip));
    TestSupport::SendMouse(box.window, WM_MOUSEMOVE, at.x + 6, at.y);
    EXPECT_FALSE(IsWindow(tip));
    EXPECT_FALSE(box.tipPart.tip.IsRunning());

    // Another heading: its own text; leaving closes it.
    const RECT first = tree.Row(headings[0]);
    TestSupport::SendMouse(box.window, WM_MOUSEHOVER, first.left + 10, (first.top + first.bottom) / 2);
    ASSERT_TRUE(box.tipPart.TipShown());
    EXPECT_EQ(TextOf(box.tipPart.tip.textBox.window), L"Heading one");
    SendMessageW(box.window, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(box.tipPart.TipShown());
    EXPECT_FALSE(box.tipPart.tip.IsRunning());

    // The window goes with a tip shown: the tip's thread is ended first.
    TestSupport::SendMouse(box.window, WM_MOUSEHOVER, first.left + 10, (first.top + first.bottom) / 2);
    const HWND last = box.tipPart.tip.RunningWindow();
    ASSERT_TRUE(IsWindow(last));
    DestroyWindow(tree.run.Window());
    EXPECT_FALSE(IsWindow(last));
    EXPECT_FALSE(box.tipPart.tip.IsRunning());
}

TEST(TreeBox, TheTipClosesOnScrollingADocumentChangeAndDeactivation) {
    TestSupport::ModalWatchdog watchdog(30000);
    TreeRun tree(false);
    AppLayer::GuiTreeBox& box = tree.Tree();
    const RECT first = tree.Row(tree.Headings()[0]);
    const POINT at{first.left + 10, (first.top + first.bottom) / 2};
    const std::vector<std::function<void()>> closers = {
        [&] { SendMessageW(box.window, WM_VSCROLL, SB_LINEDOWN, 0); },
        [&] { SendMessageW(tree.run.Window(), WM_ACTIVATE, WA_INACTIVE, 0); },
        [&] { tree.run.Tabs().SelectTab(tree.run.Tabs().ItemAtIndex(0)); },
    };
    for (const std::function<void()>& close : closers) {
        box.SetTopLine(0);
        TestSupport::SendMouse(box.window, WM_MOUSEHOVER, at.x, at.y);
        ASSERT_TRUE(box.tipPart.TipShown());
        close();
        EXPECT_FALSE(box.tipPart.TipShown());
        EXPECT_FALSE(box.tipPart.tip.IsRunning());
    }
}

TEST(TreeBox, CtrlKeysAndCtrlWheelReachTheMainWindow) {
    TestSupport::ModalWatchdog watchdog(30000);
    TreeRun tree(false);
    AppLayer::GuiTreeBox& box = tree.Tree();
    DocLayer::StyleFont& font = tree.run.Dialog()->items.currentDocument->Style()->textFont;
    const LONG height = font.description.lfHeight;
    SendMessageW(box.window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(font.description.lfHeight, height - 1);
    SendMessageW(box.window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 0), 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(font.description.lfHeight, height - 1);
    SendMessageW(box.window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, static_cast<WORD>(-WHEEL_DELTA)), 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(font.description.lfHeight, height);

    // Ctrl+F opens the page view's search prompt (answered by WM_COPYDATA)
    // and the view searches the word.
    bool prompted = false;
    TestSupport::RunLater(300, [&] {
        const HWND prompt = FindWindowW(L"Class_TextDialog", nullptr);
        prompted = prompt != nullptr;
        char word[] = {'T', 'e', 'x', 't'};
        COPYDATASTRUCT answer{0, sizeof(word), word};
        SendMessageW(prompt, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&answer));
    });
    AppLayer::GuiViewBox& view = tree.run.Dialog()->items.view;
    view.MoveCursorTo(0);
    TestSupport::SetModifiers(false, true, false);
    TestSupport::SendKey(box.window, 'F');
    TestSupport::SetModifiers(false, false, false);
    TestSupport::PumpUntilIdle();
    EXPECT_TRUE(prompted);
    // The view's cursor is on the first line after the top that holds the
    // word: the paragraph after the first heading.
    ASSERT_GE(view.cursor, 1);
    EXPECT_EQ(TestSupport::S(AppLayer::VisibleLineText(view.LineAt(view.cursor)->text)), "Text.");
    for (int32_t i = 1; i < view.cursor; ++i) {
        EXPECT_EQ(TestSupport::S(view.LineAt(i)->rawText).find("Text"), std::string::npos) << i;
    }

    // Ctrl+W closes the document's tab.
    TestSupport::SetModifiers(false, true, false);
    TestSupport::SendKey(box.window, 'W');
    TestSupport::SetModifiers(false, false, false);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(tree.run.TabLabels(), "*");
}
