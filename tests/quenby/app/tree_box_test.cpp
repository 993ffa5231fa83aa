// The table of contents in a real viewer: headings painted indented by
// level, dots in the text colour, nothing but background without headings,
// the tip of a hovered heading (its own thread, topmost, not active, sized to
// the text, kept within 5 pixels, closed beyond and on leaving, ended with
// the window), and the Ctrl keys and Ctrl + wheel.
// USES_FOREGROUND: the tip closes when the main window loses the activation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
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

// Tips come and go with the mouse, each on a new window of the tip's
// thread: every one fits its heading in the tip's font, the tenth as the
// first. The tip is given a font of its own, so that a tip measured without
// its dialog's font shows too.
TEST(TreeBox, EveryTipFitsItsHeadingInTheTipsFontHoweverOftenItIsShown) {
    TestSupport::ModalWatchdog watchdog(60000);
    // Made before the viewer, so that it outlives the tip that refers to it.
    struct OwnedFont {
        WinLayer::WinFontParameter record;
        ~OwnedFont() {
            if (record.handle) DeleteObject(record.handle);
        }
    } owned;
    WinLayer::WinFontParameter& large = owned.record;
    large.description = WinLayer::WinFontParameter::DefaultFont();
    large.description.lfHeight = -27;
    large.handle = CreateFontIndirectW(&large.description);
    ASSERT_NE(large.handle, nullptr);
    TreeRun tree(false);
    AppLayer::GuiTreeBox& box = tree.Tree();
    WinLayer::WinTipDialog& tip = box.tipPart.tip;
    tip.font = &large;
    const std::vector<int32_t> headings = tree.Headings();
    ASSERT_EQ(headings.size(), 3u);
    const wchar_t* const texts[3] = {L"Heading one", L"Heading two",
                                     L"Heading three with a long text that the narrow tree cannot show"};
    // The client size each text needs in the font: measured apart from the
    // tip, on the screen.
    SIZE wanted[3]{};
    {
        HDC screen = GetDC(nullptr);
        const HGDIOBJ old = SelectObject(screen, large.handle);
        for (int k = 0; k < 3; ++k) {
            RECT r{0, 0, 32767, 32767};
            DrawTextW(screen, texts[k], -1, &r, DT_CALCRECT | DT_NOPREFIX);
            wanted[k] = SIZE{r.right - r.left + 6, r.bottom - r.top + 2};
        }
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
    }
    SIZE firstShown[3]{};
    for (int round = 0; round < 4; ++round) {
        for (int k = 0; k < 3; ++k) {
            const RECT row = tree.Row(headings[k]);
            const POINT at{row.left + 10 + round, (row.top + row.bottom) / 2};
            TestSupport::SendMouse(box.window, WM_MOUSEMOVE, at.x, at.y);
            TestSupport::SendMouse(box.window, WM_MOUSEHOVER, at.x, at.y);
            const HWND shown = tip.RunningWindow();
            ASSERT_TRUE(IsWindow(shown)) << round << " " << k;
            EXPECT_EQ(TextOf(tip.textBox.window), texts[k]);
            RECT client{}, frame{};
            GetClientRect(shown, &client);
            GetWindowRect(shown, &frame);
            EXPECT_EQ(client.right, wanted[k].cx) << round << " " << k;
            EXPECT_EQ(client.bottom, wanted[k].cy) << round << " " << k;
            const SIZE size{frame.right - frame.left, frame.bottom - frame.top};
            if (round == 0) firstShown[k] = size;
            EXPECT_EQ(size.cx, firstShown[k].cx) << round << " " << k;
            EXPECT_EQ(size.cy, firstShown[k].cy) << round << " " << k;
            // Hidden by a move beyond the keeping distance, or by leaving.
            if ((round + k) % 2) {
                TestSupport::SendMouse(box.window, WM_MOUSEMOVE, at.x + 20, at.y);
            } else {
                SendMessageW(box.window, WM_MOUSELEAVE, 0, 0);
            }
            EXPECT_FALSE(IsWindow(shown)) << round << " " << k;
            EXPECT_FALSE(tip.IsRunning()) << round << " " << k;
        }
    }
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

namespace {

// The system's window colour changed for the test, and put back after it.
class WindowColour {
public:
    explicit WindowColour(COLORREF colour) : old_(GetSysColor(COLOR_WINDOW)) { Set(colour); }
    ~WindowColour() { Set(old_); }
    WindowColour(const WindowColour&) = delete;
    WindowColour& operator=(const WindowColour&) = delete;

private:
    static void Set(COLORREF colour) {
        const INT element = COLOR_WINDOW;
        SetSysColors(1, &element, &colour);
    }
    COLORREF old_;
};

}  // namespace

TEST(TreeBox, ADarkWindowColourReachesNeitherTheTreeNorTheTaskBoxes) {
    TestSupport::ModalWatchdog watchdog(30000);
    constexpr COLORREF kDark = RGB(48, 48, 64);
    WindowColour colour(kDark);
    ASSERT_EQ(GetSysColor(COLOR_WINDOW), kDark);
    TreeRun tree(true,
                 "# Tasks\r\n\r\n- [ ] open\r\n- [x] done\r\n\r\nText.\r\n\r\n## Next\r\n\r\nText.\r\n\r\n"
                 "### Last\r\n\r\nText.\r\n");

    // The tree: entries, the gaps between them and the area below the last
    // one are all the page's background.
    const std::vector<int32_t> headings = tree.Headings();
    ASSERT_EQ(headings.size(), 3u);
    InvalidateRect(tree.Tree().window, nullptr, FALSE);
    TestSupport::PumpUntilIdle();
    const TestSupport::DibCanvas treeShot = TestSupport::DibCanvas::CaptureClient(tree.Tree().window);
    const RECT last = tree.Row(headings[2]);
    ASSERT_LT(last.bottom + 4, treeShot.Height());
    EXPECT_EQ(treeShot.Pixel(treeShot.Width() - 4, treeShot.Height() - 4), kBackground);
    EXPECT_EQ(treeShot.Pixel(treeShot.Width() - 4, last.bottom + 2), kBackground);
    EXPECT_EQ(treeShot.Pixel(treeShot.Width() - 4, (last.top + last.bottom) / 2), kBackground);
    EXPECT_EQ(treeShot.CountColor(kDark), 0);

    // The task boxes: framed in the text colour around the page's
    // background, the checked one with a mark inside.
    AppLayer::GuiViewBox& view = tree.run.Dialog()->items.view;
    const TestSupport::DibCanvas page = TestSupport::DibCanvas::CaptureClient(view.window);
    int inside[2] = {-1, -1};
    int found = 0;
    int32_t index = 0;
    for (const WinLayer::WinListBoxItemUnit& unit : view.items) {
        const AppLayer::JobLineUnit* line = AppLayer::GuiViewBox::ItemOf(unit);
        const RawString mark = line ? line->params.Find(DocLayer::ParamTaskMark).text : RawString();
        const int checked = mark.Length() != 1 ? -1 : mark.UnitAt(0) == 'x' ? 1 : mark.UnitAt(0) == ' ' ? 0 : -1;
        ++index;
        if (checked < 0) continue;
        ++found;
        const auto& item = static_cast<const AppLayer::GuiListBoxItemUnit&>(unit);
        ASSERT_FALSE(item.text.parts.empty());
        // The box stands left of the item's text.
        const RECT column{unit.rect.left + 1, unit.rect.top + 1,
                          item.textOffset.x + item.text.parts.front().rect.left - 1, unit.rect.bottom - 1};
        EXPECT_EQ(page.CountColor(column, kDark), 0) << index;
        RECT box{column.right, column.bottom, column.left, column.top};
        for (int y = column.top; y < column.bottom; ++y)
            for (int x = column.left; x < column.right; ++x)
                if (page.Pixel(x, y) == kText) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        ASSERT_GT(box.right - box.left, 6) << index;
        ASSERT_GT(box.bottom - box.top, 6) << index;
        EXPECT_EQ(page.Pixel(box.left + 2, box.top + 2), kBackground) << index;
        EXPECT_EQ(page.Pixel(box.right - 3, box.bottom - 3), kBackground) << index;
        inside[checked] = page.CountColor(RECT{box.left + 2, box.top + 2, box.right - 2, box.bottom - 2}, kText);
    }
    EXPECT_EQ(found, 2);
    EXPECT_EQ(inside[0], 0);
    EXPECT_GT(inside[1], 4);
}

// The view beside the tree too: below its last line, and around and between
// the pages of the page view, it is the page's colour, never the system's.
TEST(TreeBox, ADarkWindowColourLeavesTheViewAndItsPagesInThePagesColour) {
    TestSupport::ModalWatchdog watchdog(30000);
    constexpr COLORREF kDark = RGB(48, 48, 64);
    WindowColour colour(kDark);
    TreeRun tree(true, "# Title\r\n\r\nA short text.\r\n\r\n| a | b |\r\n|---|---|\r\n| c | d |\r\n");
    AppLayer::GuiMainItems& items = tree.run.Dialog()->items;
    for (const bool pages : {false, true}) {
        if (pages) {
            SendMessageW(items.page.window, BM_CLICK, 0, 0);
            TestSupport::PumpUntilIdle();
        }
        ASSERT_EQ(items.view.PageMode(), pages);
        InvalidateRect(items.view.window, nullptr, FALSE);
        UpdateWindow(items.view.window);
        const TestSupport::DibCanvas shot = TestSupport::DibCanvas::CaptureClient(items.view.window);
        // The lines end well above the bottom: the area below is no line's.
        EXPECT_EQ(shot.Pixel(shot.Width() - 3, shot.Height() - 3), kBackground) << pages;
        EXPECT_EQ(shot.Pixel(2, shot.Height() - 3), kBackground) << pages;
        EXPECT_GT(shot.CountColor(kBackground), shot.Width() * shot.Height() / 2) << pages;
        EXPECT_EQ(shot.CountColor(kDark), 0) << pages;
    }
}

TEST(TreeBox, TheHeadingOfAViewLineIsFoundWithoutWalkingTheLinesBetween) {
    TestSupport::ModalWatchdog watchdog(120000);
    // One heading above a code block of 400,000 lines: a cursor step at the
    // end looks at one heading, not at the lines back to it.
    std::string big = "# Only heading\r\n\r\n```\r\n";
    big.reserve(big.size() + 400000 * 8);
    for (int i = 0; i < 400000; ++i) big += "code " + std::to_string(i % 10) + "\r\n";
    big += "```\r\n";
    {
        TreeRun tree(false, big.c_str());
        AppLayer::GuiMainItems& items = tree.run.Dialog()->items;
        AppLayer::GuiTreeBox& box = tree.Tree();
        items.view.RefreshIfDirty();
        box.RefreshIfDirty();
        ASSERT_GT(items.view.Count(), 400000);
        const std::vector<int32_t> headings = tree.Headings();
        ASSERT_EQ(headings.size(), 1u);
        SetFocus(items.view.window);
        items.view.SetCursor(items.view.Count() - 3);
        TestSupport::SendKey(items.view.window, VK_DOWN);
        TestSupport::PumpUntilIdle();
        EXPECT_EQ(items.view.cursor, items.view.Count() - 2);
        EXPECT_EQ(box.cursor, headings[0]);
        EXPECT_LE(box.headingSteps, 1);
    }

    // Random documents: the heading found for every line is the last
    // heading with a row at or before it, as a walk back finds it.
    srand(11);
    for (int round = 0; round < 3; ++round) {
        std::string text;
        const int lines = 150 + rand() % 150;
        for (int i = 0; i < lines; ++i) {
            switch (rand() % 6) {
            case 0: text += std::string(1 + rand() % 3, '#') + " Heading " + std::to_string(i) + "\r\n"; break;
            case 1: text += "\r\n"; break;
            case 2: text += "- item\r\n"; break;
            default: text += "Text " + std::to_string(i) + "\r\n"; break;
            }
        }
        TreeRun tree(false, text.c_str());
        AppLayer::GuiMainItems& items = tree.run.Dialog()->items;
        AppLayer::GuiTreeBox& box = tree.Tree();
        box.RefreshIfDirty();
        std::vector<bool> reachable;
        for (const WinLayer::WinListBoxItemUnit& unit : box.items) reachable.push_back(unit.Reachable());
        ASSERT_GT(std::count(reachable.begin(), reachable.end(), true), 3) << round;
        for (int32_t line = -1; line < items.view.Count() + 2; ++line) {
            int32_t expected = -1;
            for (int32_t i = std::min<int32_t>(line, static_cast<int32_t>(reachable.size()) - 1); i >= 0; --i)
                if (reachable[static_cast<size_t>(i)]) {
                    expected = i;
                    break;
                }
            ASSERT_EQ(box.HeadingAtOrBefore(line), expected) << round << " " << line;
        }
        // Moving the view's cursor moves the tree's to that heading.
        for (int k = 0; k < 20; ++k) {
            items.view.SetCursor(rand() % items.view.Count());
            TestSupport::PumpUntilIdle();
            const int32_t line = items.view.cursor;
            const int32_t expected = box.HeadingAtOrBefore(line);
            EXPECT_EQ(box.cursor, expected < 0 ? WinLayer::WinListBoxInfo::kNone : expected) << line;
        }
    }
}
