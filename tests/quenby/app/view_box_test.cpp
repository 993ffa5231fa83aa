// The page view on the main window: links and the consent question, search
// and copy of drawn lines, keys, Ctrl+wheel, resizing, the page view with
// its bands and the table of contents on the clipboard.
#include "quenby/app/view_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/clipboard.h"
#include "base/profile.h"
#include "base/shell.h"
#include "quenby/app/main_dialog.h"
#include "quenby/app/viewer_fixture.h"
#include "toolkit/win_message.h"
#include "toolkit/work_counts.h"

using namespace ViewerTest;
using AppLayer::GuiListBoxItemUnit;
using AppLayer::GuiViewBox;
using RawLayer::RawString;

namespace {

std::vector<std::string>& Starts() {
    static std::vector<std::string> starts;
    return starts;
}

bool RecordStart(const RawLayer::RawShell& shell, const RawString&, const RawString&) {
    Starts().push_back(TestSupport::S(shell.command));
    return true;
}

// Records shell starts for its lifetime.
struct StartRecorder {
    StartRecorder() {
        Starts().clear();
        previous = RawLayer::SetRawShellStartHook(&RecordStart);
    }
    ~StartRecorder() { RawLayer::SetRawShellStartHook(previous); }
    RawLayer::RawShellStartHook previous;
};

struct QuestionSearch {
    HWND main;
    HWND found;
};

BOOL CALLBACK FindQuestion(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<QuestionSearch*>(parameter);
    if (window != search->main && IsWindowVisible(window) && TestSupport::WindowTitle(window) == L"Quenby")
        search->found = window;
    return TRUE;
}

GuiViewBox& View(ViewerRun& run) { return run.Dialog()->items.view; }

// The index of the first line whose source starts with the text; -1 when none.
int32_t LineStarting(GuiViewBox& view, const std::string& text) {
    for (int32_t i = 0; i < view.Count(); ++i) {
        std::string raw = TestSupport::S(view.LineAt(i)->rawText);
        if (raw.compare(0, text.size(), text) == 0) return i;
    }
    return -1;
}

std::string Utf8Clipboard() {
    RawString text = RawLayer::ClipboardGetText(100000);
    return TestSupport::S(text);
}

// Opens the document in the viewer's first tab from the command line, with
// directives in the "@" form and a page head band of ten text heights.
bool StartOn(ViewerRun& run, const std::wstring& path, const std::string& switches = std::string()) {
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\n[Overview]\r\nEnhanceForm=@%s\r\n"
                                             "PageHeadHeight=1000\r\nPageHeadColor=0x20C040\r\n");
    return run.Start(switches + "\"" + TestSupport::S(TestSupport::W(path)) + "\"");
}

}  // namespace

TEST(ViewBoxTest, LinksOpenDocumentsAndStartProgramsOnlyWithConsent) {
    // The extension comes from the file-name part only.
    EXPECT_TRUE(AppLayer::LinkExtension(RawString::FromText("C:\\my.docs\\next")).IsEmpty());
    EXPECT_EQ(TestSupport::S(AppLayer::LinkExtension(RawString::FromText("a/b.c/setup.exe"))), "exe");
    StartRecorder recorder;
    TestSupport::ModalWatchdog outer(60000);
    ViewerRun run;
    run.Write(L"b.md", "# B\n");
    run.Write(L"next.txt", "next\n");
    run.Write(L"setup.exe", "MZ");
    run.Write(L"a.bat", "echo\n");
    run.Write(L"a.md", "# A\n");
    std::wstring doc = run.Write(L"links.md",
                                 "[b](b.md)\n\n[n](next)\n\n[w](https://example.invalid/x)\n\n[s](setup.exe)\n\n"
                                 "[t](a.bat)\n\n[f](file:///C:/x/cmd.exe)\n\n[m](missing.md)\n\n"
                                 "[a](a.md) and [b](b.md)\n\n[i](c.md#intro)\n\n[q](d.md?x=1#y)\n\n[h](#intro)\n");
    run.Write(L"c.md", "# C\n");
    run.Write(L"d.md", "# D\n");
    ASSERT_TRUE(StartOn(run, doc));
    GuiViewBox& view = View(run);
    auto enter = [&](const std::string& line) {
        int32_t index = LineStarting(view, line);
        EXPECT_GE(index, 0) << line;
        view.MoveCursorTo(index);
        TestSupport::SendKey(view.window, VK_RETURN);
        TestSupport::PumpUntilIdle();
    };
    enter("[b](b.md)");
    EXPECT_EQ(run.CurrentLabel(), "b.md");
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(0));
    TestSupport::PumpUntilIdle();
    enter("[n](next)");
    EXPECT_EQ(run.CurrentLabel(), "next.txt");
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(0));
    TestSupport::PumpUntilIdle();
    // A place or a query in a document link still opens the document.
    enter("[i](c.md#intro)");
    EXPECT_EQ(run.CurrentLabel(), "c.md");
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(0));
    TestSupport::PumpUntilIdle();
    enter("[q](d.md?x=1#y)");
    EXPECT_EQ(run.CurrentLabel(), "d.md");
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(0));
    TestSupport::PumpUntilIdle();
    const std::string tabs = run.TabLabels();
    enter("[h](#intro)");
    enter("[m](missing.md)");
    enter("[w](");
    EXPECT_EQ(run.TabLabels(), tabs);
    ASSERT_EQ(Starts().size(), 1u);
    EXPECT_EQ(Starts()[0], "https://example.invalid/x");
    // Programs, scripts and file URLs ask first: No starts nothing, Yes one.
    for (const char* line : {"[s](setup.exe)", "[t](a.bat)", "[f](file:"}) {
        for (char answer : {'N', 'Y'}) {
            Starts().clear();
            bool asked = false;
            TestSupport::RunLater(300, [&] {
                // The question is the thread's other window titled "Quenby";
                // the key goes to its children (the button row takes it), so
                // it needs no focus.
                QuestionSearch find{run.Window(), nullptr};
                EnumThreadWindows(GetCurrentThreadId(), &FindQuestion, reinterpret_cast<LPARAM>(&find));
                asked = find.found != nullptr;
                for (HWND child = find.found ? GetWindow(find.found, GW_CHILD) : nullptr; child;
                     child = GetWindow(child, GW_HWNDNEXT))
                    TestSupport::PostKey(child, static_cast<UINT>(answer));
            });
            enter(line);
            EXPECT_TRUE(asked) << line;
            EXPECT_EQ(Starts().size(), answer == 'Y' ? 1u : 0u) << line << " " << answer;
        }
    }
    EXPECT_EQ(run.TabLabels(), tabs);
    // A double click on the second of two links follows that one.
    int32_t index = LineStarting(view, "[a](a.md) and");
    view.MoveCursorTo(index);
    view.Refresh();
    UpdateWindow(view.window);
    WinLayer::WinListBoxItemUnit* unit = view.ItemAt(index);
    auto& item = static_cast<GuiListBoxItemUnit&>(*unit);
    const RawString& text = view.LineAt(index)->text;
    const AppLayer::WinTextPart* second = nullptr;
    for (const AppLayer::WinTextPart& part : item.text.parts)
        if (part.end - part.start == 1 && text.UnitAt(part.start) == 'b') second = &part;
    ASSERT_TRUE(second);
    POINT at{unit->rect.left + item.textOffset.x + second->rect.left + 1 - view.scroll.x + view.marginLeft,
             unit->rect.top + item.textOffset.y + second->rect.top + 2 - view.scroll.y + view.marginTop};
    SendMessageW(view.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    SendMessageW(view.window, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(view.window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.CurrentLabel(), "b.md");
}

TEST(ViewBoxTest, SearchAndCopyFollowTheDrawnLines) {
    for (bool wide : {false, true}) {
        ViewerRun run;
        std::string source = "alpha one\nbeta two\ngamma \xE6\x97\xA5\xE6\x9C\xAC three\n\nother line\n";
        std::string bytes = source;
        if (wide) {
            RawString u16 = RawString::FromBytes(source.data(), static_cast<int32_t>(source.size()), RawLayer::KindUtf8)
                                .As(RawLayer::KindUtf16);
            bytes = std::string("\xFF\xFE") + std::string(reinterpret_cast<const char*>(u16.Wide()),
                                                         static_cast<size_t>(u16.Length()) * 2);
        }
        std::wstring doc = run.Write(L"wrap.md", bytes);
        ASSERT_TRUE(StartOn(run, doc));
        GuiViewBox& view = View(run);
        view.Refresh();
        const int32_t paragraph = LineStarting(view, "alpha");
        const int32_t other = LineStarting(view, "other");
        ASSERT_GE(paragraph, 0);
        view.MoveCursorTo(other);
        // An empty search text keeps the cursor.
        view.searchText = RawString();
        view.SearchPrevious();
        EXPECT_EQ(view.cursor, other);
        for (const wchar_t* word : {L"gamma", L"\x65E5\x672C"}) {
            view.searchText = RawString::FromWideText(word);
            view.MoveCursorTo(other);
            view.SearchPrevious();
            EXPECT_EQ(view.cursor, paragraph) << wide;
            ASSERT_GE(view.cursor, 0);
            EXPECT_GT(view.ItemAt(view.cursor)->Height(), 0);
            view.SearchNext();  // from the line itself: no later match
            EXPECT_EQ(view.cursor, paragraph);
            view.cursor = -1;  // no cursor: from the first line
            view.SearchNext();
            EXPECT_EQ(view.cursor, paragraph);
        }
        view.MoveCursorTo(paragraph);
        view.CopySelection();
        EXPECT_EQ(Utf8Clipboard(), "alpha one\r\nbeta two\r\ngamma \xE6\x97\xA5\xE6\x9C\xAC three\r\n") << wide;
        // Menu id 6 does nothing; copy with nothing selected empties the clipboard.
        view.OnMenuCommand(6, 0);
        EXPECT_EQ(view.cursor, paragraph);
        view.ClearSelection();
        view.CopySelection();
        EXPECT_EQ(Utf8Clipboard(), "");
    }
}

TEST(ViewBoxTest, CtrlWheelStepsTheFontAndKeysReachTheTabs) {
    ViewerRun run;
    std::wstring first = run.Write(L"one.md", "Some words that wrap into more rows when the view is narrow enough.\n");
    std::wstring second = run.Write(L"two.md", "# Two\n");
    ASSERT_TRUE(run.Start("\"" + TestSupport::S(TestSupport::W(first)) + "\" \"" +
                          TestSupport::S(TestSupport::W(second)) + "\" -i 0"));
    GuiViewBox& view = View(run);
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(0));
    TestSupport::PumpUntilIdle();
    view.Refresh();
    DocLayer::DocumentStyle& style = *view.CurrentStyle();
    const LONG before = style.textFont.description.lfHeight;
    const int32_t height = view.ItemAt(0)->Height();
    TestSupport::SetModifiers(false, true, false);
    EXPECT_EQ(SendMessageW(view.window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 0), 0), 1);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(style.textFont.description.lfHeight, before);
    EXPECT_EQ(SendMessageW(view.window, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, 120), 0), 1);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(style.textFont.description.lfHeight, before - 1);
    EXPECT_GT(view.ItemAt(0)->Height(), height);
    EXPECT_EQ(view.ownFont.handle, nullptr);  // the list's own zoom did not run
    // Ctrl+Right and Ctrl+W reach the tabs.
    TestSupport::SendKey(view.window, VK_RIGHT);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.CurrentLabel(), "two.md");
    TestSupport::SendKey(view.window, 'W');
    TestSupport::PumpUntilIdle();
    TestSupport::SetModifiers(false, false, false);
    EXPECT_EQ(run.TabLabels().find("two.md"), std::string::npos);
    // A narrower view lays the paragraph out again into more rows.
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(run.Tabs().Count() - 1));
    TestSupport::PumpUntilIdle();
    const int32_t line = LineStarting(view, "Some words");
    ASSERT_GE(line, 0);
    auto rows = [&] { return static_cast<GuiListBoxItemUnit*>(view.ItemAt(line))->text.rows.size(); };
    const size_t wide = rows();
    RECT r{};
    GetWindowRect(view.window, &r);
    SetWindowPos(view.window, nullptr, 0, 0, 120, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    TestSupport::PumpUntilIdle();
    EXPECT_GT(rows(), wide);
}

TEST(ViewBoxTest, PageViewNumbersItsPagesAndCopiesTheTableOfContents) {
    ViewerRun run;
    std::wstring doc = run.Write(L"pages.md",
                                 "@PrintHeader:Left:\"Guide %p/%t\"\n\n# A *b*\n\ntext\n\n@PageBreak\n\n## Second\n\n"
                                 "@PrintPage:5\n\ntext\n\n@PageBreak\n\n## Third\n\nend\n");
    ASSERT_TRUE(StartOn(run, doc, "-p "));
    GuiViewBox& view = View(run);
    view.Refresh();
    ASSERT_TRUE(view.PageMode());
    ASSERT_EQ(view.pageCount, 3);
    std::vector<int32_t> pages;
    for (const AppLayer::WinPrintHeader& h : view.pageHeaders) {
        pages.push_back(h.page);
        EXPECT_EQ(h.total, 6);
        EXPECT_EQ(TestSupport::S(h.left), "Guide %p/%t");
    }
    EXPECT_EQ(pages, (std::vector<int32_t>{1, 5, 6}));
    EXPECT_EQ(TestSupport::S(view.pageHeaders[1].ExpandText(view.pageHeaders[1].left)), "Guide 5/6");
    InvalidateRect(view.window, nullptr, FALSE);
    UpdateWindow(view.window);
    TestSupport::DibCanvas shot = TestSupport::DibCanvas::CaptureClient(view.window);
    const COLORREF band = view.CurrentStyle()->overview.pageHeadColor;
    EXPECT_GT(shot.CountColor(band), 0);
    view.ClipTableOfContents();
    EXPECT_EQ(Utf8Clipboard(), "@TOC:1:1:\"A b\"\r\n@TOC:2:5:\"Second\"\r\n@TOC:2:6:\"Third\"\r\n");
    // "ClipTOC" is in the context menu only in page view.
    auto hasClipToc = [&] {
        WinLayer::WinPopupMenu menu;
        EXPECT_TRUE(menu.Reset());
        view.BuildContextMenu(menu);
        return GetMenuState(menu.Handle(), GuiViewBox::MenuClipToc, MF_BYCOMMAND) != static_cast<UINT>(-1);
    };
    EXPECT_TRUE(hasClipToc());
    view.SetPageView(false);
    EXPECT_FALSE(hasClipToc());
}

TEST(ViewBoxTest, DocumentOfOnlyAPageBreakPaginatesAndPaints) {
    ViewerRun run;
    std::wstring doc = run.Write(L"break.md", "@PageBreak\n");
    ASSERT_TRUE(StartOn(run, doc, "-p "));
    GuiViewBox& view = View(run);
    view.Refresh();
    ASSERT_TRUE(view.PageMode());
    EXPECT_GE(view.pageCount, 1);
    EXPECT_EQ(static_cast<int32_t>(view.pageHeaders.size()), view.pageCount);
    InvalidateRect(view.window, nullptr, FALSE);
    UpdateWindow(view.window);
    TestSupport::DibCanvas shot = TestSupport::DibCanvas::CaptureClient(view.window);
    EXPECT_GT(shot.CountColor(view.CurrentStyle()->overview.pageHeadColor), 0);
}

// Page view paints the page at the printer's size and shrinks it onto the
// window: the struck text's line and the link's underline must still show
// there as lines, and the contents tree keeps the screen font's rows.
TEST(ViewBoxTest, PageViewKeepsTextLinesOnScreenAndTheTreeItsScreenRows) {
    ViewerRun run;
    std::wstring doc = run.Write(L"lines.md", "# Lines\n\n## Second heading\n\nplain ~~struck struck struck struck~~ "
                                              "and [a link that is underlined here](other.md) end\n");
    ASSERT_TRUE(StartOn(run, doc, "-p "));
    GuiViewBox& view = View(run);
    AppLayer::GuiTreeBox& tree = run.Dialog()->items.tree;
    view.Refresh();
    tree.Refresh();
    ASSERT_TRUE(view.PageMode());
    auto headingHeights = [&] {
        std::vector<int32_t> heights;
        for (const WinLayer::WinListBoxItemUnit& unit : tree.items)
            if (unit.rect.bottom > unit.rect.top) heights.push_back(unit.rect.bottom - unit.rect.top);
        return heights;
    };
    const std::vector<int32_t> paged = headingHeights();
    ASSERT_EQ(paged.size(), 2u);

    InvalidateRect(view.window, nullptr, FALSE);
    UpdateWindow(view.window);
    TestSupport::DibCanvas shot = TestSupport::DibCanvas::CaptureClient(view.window);
    // The longest run along a row of pixels that are plainly the colour.
    auto longestRun = [&](COLORREF colour) {
        int best = 0;
        for (int y = 0; y < shot.Height(); ++y) {
            int run = 0;
            for (int x = 0; x < shot.Width(); ++x) {
                const COLORREF p = shot.Pixel(x, y);
                const bool alike = std::abs(GetRValue(p) - GetRValue(colour)) < 48 &&
                                  std::abs(GetGValue(p) - GetGValue(colour)) < 48 &&
                                  std::abs(GetBValue(p) - GetBValue(colour)) < 48;
                run = alike ? run + 1 : 0;
                best = std::max(best, run);
            }
        }
        return best;
    };
    EXPECT_GE(longestRun(AppLayer::GuiTextDraw::kLineColor), 40);
    EXPECT_GE(longestRun(AppLayer::GuiTextDraw::kLinkColor), 40);

    view.SetPageView(false);
    tree.Refresh();
    EXPECT_EQ(headingHeights(), paged);
}

// A 24-bit BMP file whose pixel (x, y), y counted from the top, is
// pixel(x, y).
std::vector<uint8_t> PixelBitmap(int width, int height, const std::function<COLORREF(int, int)>& pixel) {
    const int stride = (width * 3 + 3) / 4 * 4;
    const uint32_t bits = static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> file(54 + bits, 0);
    auto put = [&](size_t at, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, static_cast<uint32_t>(file.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(width), 4);
    put(22, static_cast<uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, bits, 4);
    // The rows are stored from the bottom up.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF colour = pixel(x, height - 1 - y);
            uint8_t* p = &file[54 + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            p[0] = GetBValue(colour);
            p[1] = GetGValue(colour);
            p[2] = GetRValue(colour);
        }
    }
    return file;
}

// A BMP whose every row and column differs from its neighbours, so that a
// picture drawn a row off shows.
std::vector<uint8_t> PatternBitmap(int width, int height) {
    return PixelBitmap(width, height, [height](int x, int top) {
        const int y = height - 1 - top;
        return RGB(((x / 3 + y / 2) % 2) * 200, y * 11, x * 7);
    });
}

// Page view paints at the printer's size and keeps that picture between
// paints, painting only what a step changed: after any series of key and
// wheel steps the window shows what a paint afresh at the same place
// shows, over every kind of line (bullets and pictures across the window's
// edges too), and the steps did keep the picture. So it does under a style
// file beside the document whose lengths draw lines past their rows:
// negative margins put text, frames and pictures over the rows above and
// below, and pens thicker than their rows reach into them.
TEST(ViewBoxTest, PageViewStepsShowWhatAFreshPaintShows) {
    const char* const styles[] = {
        "",
        "[Overview]\r\nOverMargin=-50\r\nUnderMargin=-50\r\n",
        "[Overview]\r\nOverMargin=-50\r\nUnderMargin=-30\r\nWrapOverMargin=-50\r\nOverParagraphMargin=-50\r\n"
        "UnderParagraphMargin=-50\r\n[Headline_1]\r\nOverSpace=-50\r\nUnderSpace=-50\r\nOverline=40\r\n"
        "OverlineMargin=-50\r\nUnderline=40\r\nUnderlineMargin=-50\r\n[Headline_3]\r\nOverSpace=-50\r\n"
        "Underline=30\r\nUnderlineMargin=-50\r\n[HorizontalLine]\r\nOverMargin=-50\r\nUnderMargin=-50\r\n"
        "LineHeight=300\r\n[Image]\r\nOverMargin=-50\r\nUnderMargin=-50\r\n[CodeBlock]\r\nInnerTBMargin=-50\r\n"
        "[Table]\r\nTopMargin=-50\r\nBottomMargin=-50\r\nFrameWidth=200\r\n[TOC]\r\nLineHeight=300\r\n",
    };
    for (const char* style : styles) {
        SCOPED_TRACE(*style ? style : "without a style file");
        ViewerRun run;
        // The program's profile is the program folder's "Quenby.ini": a
        // styled document stands in a folder of its own.
        std::wstring folder = run.folder.Path();
        if (*style) {
            folder = run.folder.Join(L"styled");
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
            ASSERT_TRUE(TestSupport::WriteFileBytes(folder + L"\\Quenby.ini", style));
        }
        ASSERT_TRUE(TestSupport::WriteFileBytes(folder + L"\\stripes.bmp", PatternBitmap(300, 170)));
        std::string text = "@PrintHeader:Left:\"Steps %p/%t\"\n@PrintFooter:Center:\"- %p -\"\n\n";
        for (int part = 1; part <= 3; ++part) {
            const std::string n = std::to_string(part);
            text += "# Part " + n + "\n\nA paragraph with **bold**, *italic*, ***both***, ~~struck~~ text, `code` and "
                    "[a link](other.md), long enough to wrap over the width of the page at least once or twice.\n\n"
                    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\xAE\xB5\xE8\x90\xBD " + n + "\n\n"
                    "- A bullet\n- Another bullet\n  - A nested one\n- [ ] An open task\n- [x] A done task\n\n"
                    "1. First\n2. Second\n\n> A quote\n> > inside a quote\n\n    indented code\n    more code\n\n"
                    "```\nfenced code " + n + "\n```\n\n| Key | Action |\n|:----|-----:|\n| Ctrl+W | close |\n"
                    "| Ctrl+F | search |\n\n![stripes](stripes.bmp)\n\n---\n\n### Third level " + n + "\n\n"
                    "@TOC:2:" + n + ":\"Part " + n + "\"\n\n";
            if (part == 2) text += "@PageBreak\n\n";
        }
        const std::wstring path = folder + L"\\steps.md";
        ASSERT_TRUE(TestSupport::WriteFileBytes(path, text));
        ASSERT_TRUE(StartOn(run, path, "-p "));
        GuiViewBox& view = View(run);
        view.Refresh();
        ASSERT_TRUE(view.PageMode());
        SetFocus(view.window);
        TestSupport::PumpUntilIdle();
        const int64_t keptBefore = WinLayer::WinWorkCounts::Instance().listPicturesKept;
        auto shown = [&] {
            UpdateWindow(view.window);
            return TestSupport::DibCanvas::CaptureClient(view.window);
        };
        int checks = 0;
        auto check = [&](const std::string& steps) {
            const TestSupport::DibCanvas stepped = shown();
            view.ForgetPicture();
            InvalidateRect(view.window, nullptr, FALSE);
            const TestSupport::DibCanvas fresh = shown();
            EXPECT_TRUE(stepped.SameAs(fresh)) << "after " << steps << " (top " << view.scroll.y << ", cursor "
                                               << view.cursor << ")";
            ++checks;
        };
        auto key = [&](UINT code, bool ctrl) {
            TestSupport::SetModifiers(false, ctrl, false);
            SendMessageW(view.window, WM_KEYDOWN, code, 1);
            TestSupport::SetModifiers(false, false, false);
            UpdateWindow(view.window);
        };
        auto wheel = [&](int notches) {
            SendMessageW(view.window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-notches * WHEEL_DELTA)), 0);
            UpdateWindow(view.window);
        };
        for (int i = 0; i < 8; ++i) key(VK_DOWN, false);
        check("Down");
        for (int i = 0; i < 3; ++i) key(VK_NEXT, false);
        check("Page Down");
        for (int i = 0; i < 8; ++i) wheel(1);
        check("wheel");
        key(VK_END, true);
        check("Ctrl+End");
        key(VK_HOME, true);
        check("Ctrl+Home");
        std::mt19937 random(20261210);
        std::string steps;
        for (int i = 1; i <= 120; ++i) {
            switch (random() % 8) {
            case 0: key(VK_DOWN, false); steps += " Down"; break;
            case 1: key(VK_UP, false); steps += " Up"; break;
            case 2: key(VK_NEXT, false); steps += " PageDown"; break;
            case 3: key(VK_PRIOR, false); steps += " PageUp"; break;
            case 4: wheel(1); steps += " WheelDown"; break;
            case 5: wheel(-1); steps += " WheelUp"; break;
            case 6: wheel(3); steps += " Wheel3"; break;
            default:
                key(random() % 2 ? VK_END : VK_HOME, true);
                steps += " CtrlEndHome";
                break;
            }
            if (i % 6 == 0) {
                check(steps);
                steps.clear();
            }
        }
        EXPECT_EQ(checks, 25);
        // Most steps kept the picture and painted only what they changed.
        EXPECT_GT(WinLayer::WinWorkCounts::Instance().listPicturesKept - keptBefore, 100);
    }
}

TEST(ViewBoxTest, SearchPromptTakesItsTitleFromTheLanguageFileAndItsTextSearches) {
    TestSupport::ModalWatchdog watchdog(30000);
    ViewerRun run;
    run.Write(L"LanguageFile.ini", "[English]\r\nViewText_SearchTextTitle=Find which words ?\r\n");
    std::wstring doc = run.Write(L"find.md", "first line\n\nsecond gamma line\n");
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\nLanguage=English\r\n");
    ASSERT_TRUE(run.Start("\"" + TestSupport::S(TestSupport::W(doc)) + "\""));
    GuiViewBox& view = View(run);
    view.Refresh();
    std::wstring title;
    TestSupport::RunLater(300, [&] {
        HWND prompt = FindWindowW(L"Class_TextDialog", nullptr);
        title = prompt ? TestSupport::WindowTitle(prompt) : std::wstring();
        char word[] = "gamma";
        COPYDATASTRUCT answer{0, 5, word};
        if (prompt) SendMessageW(prompt, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&answer));
    });
    TestSupport::SetModifiers(false, true, false);
    TestSupport::SendKey(view.window, 'F');
    TestSupport::SetModifiers(false, false, false);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(title, L"Quenby - Find which words ?");
    EXPECT_EQ(TestSupport::S(view.searchText), "gamma");
    EXPECT_EQ(view.cursor, LineStarting(view, "second gamma"));
}

TEST(ViewBoxTest, AWideTablesRightColumnIsReachedByTheScrollBarAndTheKeys) {
    ViewerRun run;
    std::string head = "|", rule = "|", row = "|";
    for (int c = 0; c < 12; ++c) {
        head += " Column number " + std::to_string(c) + " |";
        rule += "---|";
        row += " cell text of column " + std::to_string(c) + " |";
    }
    std::wstring doc = run.Write(L"wide.md", "# Platforms\n\n" + head + " Notes |\n" + rule + "---|\n" + row + " LASTCELL |\n");
    ASSERT_TRUE(StartOn(run, doc));
    SetWindowPos(run.Window(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    TestSupport::PumpUntilIdle();
    GuiViewBox& view = View(run);
    view.Refresh();
    const int32_t index = LineStarting(view, "| cell text");
    ASSERT_GE(index, 0);
    RECT client{};
    GetClientRect(view.window, &client);
    // Where the last cell's text stands in the client area, as last drawn.
    auto lastCellX = [&]() -> int32_t {
        InvalidateRect(view.window, nullptr, FALSE);
        UpdateWindow(view.window);
        WinLayer::WinListBoxItemUnit* unit = view.ItemAt(index);
        auto& item = static_cast<GuiListBoxItemUnit&>(*unit);
        const RawString& text = view.LineAt(index)->text;
        const RawString wanted = RawString::FromText("LASTCELL").As(text.Kind());
        for (const AppLayer::WinTextPart& part : item.text.parts)
            if (text.EqualsRange(RawLayer::RawRange{part.start, part.end}, wanted, wanted.All()))
                return unit->rect.left + item.textOffset.x + part.rect.left - view.scroll.x + view.marginLeft;
        return -100000;
    };
    ASSERT_GT(lastCellX(), client.right);
    SCROLLINFO bar{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(view.window, SB_HORZ, &bar));
    EXPECT_GT(bar.nMax + 1, static_cast<int>(bar.nPage));
    // Right steps across to the end, where the cell is in view.
    LONG before = -1;
    for (int step = 0; step < 5000 && view.scroll.x != before; ++step) {
        before = view.scroll.x;
        TestSupport::SendKey(view.window, VK_RIGHT);
    }
    TestSupport::PumpUntilIdle();
    EXPECT_GT(view.scroll.x, 0);
    const int32_t shown = lastCellX();
    EXPECT_GE(shown, 0);
    EXPECT_LT(shown, client.right);
    EXPECT_TRUE(GetScrollInfo(view.window, SB_HORZ, &bar));
    EXPECT_EQ(bar.nPos, view.scroll.x);
    // The bar's own requests move it back.
    SendMessageW(view.window, WM_HSCROLL, MAKEWPARAM(SB_LEFT, 0), 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(view.scroll.x, 0);
    SendMessageW(view.window, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
    EXPECT_GT(view.scroll.x, 0);
    TestSupport::SendKey(view.window, VK_LEFT);
    TestSupport::SendKey(view.window, VK_LEFT);
    EXPECT_EQ(view.scroll.x, 0);
}

namespace {

void Press(WinLayer::WinButton& button) {
    SendMessageW(button.window, BM_CLICK, 0, 0);
    TestSupport::PumpUntilIdle();
}

TestSupport::DibCanvas Shot(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    return TestSupport::DibCanvas::CaptureClient(window);
}

}  // namespace

// A style file beside a document whose values no page can show (a glyph
// taller than any page, -1 colours, negative or huge margins and indents)
// shows the document as it looks without the file: every such value is
// the default for its key. Each row is a document of its own folder, shown
// in its tab, in line mode and in the page view.
TEST(ViewBoxTest, AStyleFileOfValuesNoPageCanShowLeavesTheDocumentAsWithoutIt) {
    TestSupport::ModalWatchdog watchdog(60000);
    ViewerRun run;
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\n[TextFont]\r\nHeight=-13\r\nWeight=400\r\n"
                                             "Quality=3\r\nFaceName=Tahoma\r\n[Overview]\r\nEnhanceForm=@%s\r\n");
    const std::string text =
        "# Title\r\n\r\nSome text of a paragraph.\r\n\r\n> quoted words\r\n\r\n- an item\r\n\r\n    code line\r\n\r\n"
        "| a | b |\r\n|---|---|\r\n| c | d |\r\n\r\nThe end.\r\n";
    const char* const rows[] = {
        "",
        "[TextFont]\r\nHeight=2147483647\r\n",
        "[TextFont]\r\nHeight=-99999999999\r\nWidth=-2147483648\r\n",
        "[TextFont]\r\nHeight=3\r\nWeight=5000\r\n",
        "[Overview]\r\nTextColor=-1\r\nBackgroundColor=0x1000000\r\nOverMargin=-100000\r\nUnderMargin=2147483647\r\n",
        "[Overview]\r\nOverParagraphMargin=-1000\r\nUnderParagraphMargin=100000\r\nWrapOverMargin=-5000\r\n"
        "TabStop=0\r\n",
        "[Headline_1]\r\nOverSpace=99999\r\nUnderSpace=-99999\r\nFontRatio=-5\r\nUnderlineColor=-1\r\n",
        "[Blockquote]\r\nTextColor=-1\r\nSideMargin=-300\r\nBarWidth=4294967296\r\n",
        "[Itemization]\r\nIndent_1=-100000\r\n[CodeBlock]\r\nLeftMargin=-100000\r\nInnerLMargin=50000\r\n"
        "[Table]\r\nFrameWidth=-700\r\nTopMargin=1000000\r\n",
        "[PrintFont]\r\nHeight=2147483647\r\n[PrintHeader]\r\nTextHeight=99999999\r\nLineColor=-1\r\n",
    };
    std::string arguments = "-p-";
    int row = 0;
    for (const char* style : rows) {
        const std::wstring folder = run.folder.Join(L"row" + std::to_wstring(row++));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        if (*style) TestSupport::WriteFileBytes(folder + L"\\Quenby.ini", style);
        TestSupport::WriteFileBytes(folder + L"\\doc.md", text);
        arguments += " \"" + TestSupport::Utf8(folder + L"\\doc.md") + "\"";
    }
    ASSERT_TRUE(run.Start(arguments));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    const int32_t count = static_cast<int32_t>(sizeof rows / sizeof rows[0]);
    ASSERT_EQ(run.Tabs().Count(), count);
    for (const bool pages : {false, true}) {
        if (pages) Press(items.page);
        std::vector<TestSupport::DibCanvas> plain;
        for (int32_t k = 0; k < count; ++k) {
            run.Tabs().SelectTab(run.Tabs().ItemAtIndex(k));
            TestSupport::PumpUntilIdle();
            ASSERT_EQ(View(run).PageMode(), pages);
            TestSupport::DibCanvas view = Shot(items.view.window);
            TestSupport::DibCanvas tree = Shot(items.tree.window);
            if (k == 0) {
                // Without a style file: every line drawn, in black on white.
                EXPECT_GT(view.CountColor(RGB(0, 0, 0)), 100) << pages;
                EXPECT_GT(tree.CountColor(RGB(0, 0, 0)), 10) << pages;
                plain.push_back(std::move(view));
                plain.push_back(std::move(tree));
                continue;
            }
            EXPECT_TRUE(view.SameAs(plain[0])) << "view, page view " << pages << ": " << rows[k];
            EXPECT_TRUE(tree.SameAs(plain[1])) << "tree, page view " << pages << ": " << rows[k];
        }
    }
}

// Lengths are signed: a style file beside a document may tighten its rows
// with negative margins, each row by what the scaling of the two margins
// gives; a margin past what a page can show falls back to the default. Each
// row is a document of its own folder, laid out in its tab.
TEST(ViewBoxTest, NegativeRowMarginsTightenTheRowsAndHugeOnesFallBack) {
    TestSupport::ModalWatchdog watchdog(60000);
    ViewerRun run;
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\n[TextFont]\r\nHeight=-13\r\n"
                                             "FaceName=Tahoma\r\n");
    // The documents' style files: over and under margins at -50, 0 and past
    // every limit, then every margin of a row at its tightest at once, where
    // no row may vanish.
    std::vector<std::string> styles;
    for (const int32_t margin : {-50, 0, 2147483647})
        styles.push_back("OverMargin=" + std::to_string(margin) + "\r\nUnderMargin=" + std::to_string(margin));
    styles.push_back("OverMargin=-50\r\nUnderMargin=-50\r\nOverParagraphMargin=-50\r\nUnderParagraphMargin=-50");
    std::string arguments = "-p-";
    for (size_t k = 0; k < styles.size(); ++k) {
        const std::wstring folder = run.folder.Join(L"m" + std::to_wstring(k));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        TestSupport::WriteFileBytes(folder + L"\\Quenby.ini", "[Overview]\r\n" + styles[k] + "\r\n");
        TestSupport::WriteFileBytes(folder + L"\\doc.md", "First words.\r\n\r\nSecond words.\r\n\r\nThird words.\r\n");
        arguments += " \"" + TestSupport::Utf8(folder + L"\\doc.md") + "\"";
    }
    ASSERT_TRUE(run.Start(arguments));
    ASSERT_EQ(run.Tabs().Count(), 4);
    // The height of each row in each document, and H, the height of "0".
    std::vector<std::vector<int32_t>> rows;
    int32_t h = 0;
    for (int32_t k = 0; k < 4; ++k) {
        run.Tabs().SelectTab(run.Tabs().ItemAtIndex(k));
        TestSupport::PumpUntilIdle();
        GuiViewBox& view = View(run);
        ASSERT_EQ(view.Count(), 5) << k;
        if (k == 0) h = view.layout.textHeight;
        EXPECT_EQ(view.layout.textHeight, h) << k;
        std::vector<int32_t> heights;
        for (int32_t i = 0; i < view.Count(); ++i) heights.push_back(view.items.At(i)->Height());
        rows.push_back(heights);
    }
    ASSERT_GT(h, 0);
    // derived = (base * H + 50) / 100, truncating toward zero; two margins
    // a row.
    const auto scaled = [h](int32_t base) { return 2 * ((base * h + 50) / 100); };
    ASSERT_LT(scaled(-50), 0);
    for (const int32_t line : {0, 2, 4}) {
        EXPECT_GT(rows[1][line], 0) << line;
        EXPECT_EQ(rows[0][line], rows[1][line] + scaled(-50)) << line;
        EXPECT_EQ(rows[2][line], rows[1][line] + scaled(6)) << line;
        EXPECT_GE(rows[3][line], 1) << line;
    }
}

// A length beyond its bounds takes the bound where a page can show it: a
// tighter value never lays the rows out looser. Documents whose style files
// set every vertical length to 1500, 1000, 0, -40, -51 and -200 (past the
// least, -50) are no taller, in that order, than the one before.
TEST(ViewBoxTest, LengthsPastTheirBoundsTakeTheBoundSoTighterNeverLaysOutLooser) {
    TestSupport::ModalWatchdog watchdog(60000);
    ViewerRun run;
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\n");
    const std::string text =
        "# Title\n\nA first paragraph.\n\n## Second\n\n- an item\n\n    code line\n\n| a | b |\n|---|---|\n| c | d |\n\n"
        "![dot](dot.bmp)\n\n---\n\n### Third\n\nThe end.\n";
    const int32_t values[] = {1500, 1000, 0, -40, -51, -200};
    std::string arguments = "-p-";
    for (const int32_t v : values) {
        const std::string n = std::to_string(v);
        const std::string k = "=" + n + "\r\n";
        std::string style = "[Overview]\r\nOverMargin" + k + "UnderMargin" + k + "OverParagraphMargin" + k +
                            "UnderParagraphMargin" + k + "WrapOverMargin" + k;
        for (int level = 1; level <= 6; ++level)
            style += "[Headline_" + std::to_string(level) + "]\r\nOverSpace" + k + "UnderSpace" + k;
        style += "[HorizontalLine]\r\nOverMargin" + k + "UnderMargin" + k + "[Image]\r\nOverMargin" + k +
                 "UnderMargin" + k + "InterMargin" + k + "[CodeBlock]\r\nInnerTBMargin" + k + "[Table]\r\nTopMargin" +
                 k + "BottomMargin" + k;
        const std::wstring folder = run.folder.Join(L"v" + std::to_wstring(v));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(TestSupport::WriteFileBytes(folder + L"\\Quenby.ini", style));
        ASSERT_TRUE(TestSupport::WriteFileBytes(folder + L"\\dot.bmp", PatternBitmap(40, 30)));
        ASSERT_TRUE(TestSupport::WriteFileBytes(folder + L"\\doc.md", text));
        arguments += " \"" + TestSupport::Utf8(folder + L"\\doc.md") + "\"";
    }
    ASSERT_TRUE(run.Start(arguments));
    const int32_t count = static_cast<int32_t>(sizeof values / sizeof values[0]);
    ASSERT_EQ(run.Tabs().Count(), count);
    int32_t previous = 0;
    for (int32_t k = 0; k < count; ++k) {
        run.Tabs().SelectTab(run.Tabs().ItemAtIndex(k));
        TestSupport::PumpUntilIdle();
        GuiViewBox& view = View(run);
        view.Refresh();
        const int32_t height = view.contentSize.cy;
        EXPECT_GT(height, 0) << values[k];
        if (k > 0) {
            EXPECT_LE(height, previous) << values[k] << " after " << values[k - 1];
        }
        previous = height;
    }
}

namespace {

// A BMP of one colour.
std::vector<uint8_t> SolidBitmap(int width, int height, COLORREF colour) {
    return PixelBitmap(width, height, [colour](int, int) { return colour; });
}

}  // namespace

// Ctrl+End past a picture taller than the view: the last line ends at the
// client's bottom and the picture fills the view above the short lines,
// as Page Down to the end shows them; the view does not jump past the
// picture to leave the short lines at its top over an empty view.
TEST(ViewBoxTest, CtrlEndPastAPictureTallerThanTheViewEndsTheLastLineAtTheBottom) {
    ViewerRun run;
    const COLORREF colour = RGB(0x20, 0x90, 0x40);
    ASSERT_TRUE(TestSupport::WriteFileBytes(run.folder.Join(L"tall.bmp"), SolidBitmap(1000, 1400, colour)));
    const std::wstring doc =
        run.Write(L"tall.md", "# T\n\nA paragraph before the picture.\n\n![tall](tall.bmp)\n\nOne.\n\nTwo.\n\nThree.\n");
    ASSERT_TRUE(StartOn(run, doc, "-p- "));
    SetWindowPos(run.Window(), nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER);
    TestSupport::PumpUntilIdle();
    GuiViewBox& view = View(run);
    view.Refresh();
    ASSERT_FALSE(view.PageMode());
    const int32_t picture = LineStarting(view, "![tall]");
    const int32_t last = LineStarting(view, "Three.");
    ASSERT_GE(picture, 0);
    ASSERT_GT(last, picture);
    const int32_t height = view.clientRect.bottom - view.clientRect.top;
    ASSERT_GT(view.ItemAt(picture)->Height(), height);
    SetFocus(view.window);
    TestSupport::SetModifiers(false, true, false);
    SendMessageW(view.window, WM_KEYDOWN, VK_END, 1);
    TestSupport::SetModifiers(false, false, false);
    TestSupport::PumpUntilIdle();
    ASSERT_EQ(view.cursor, last);
    EXPECT_EQ(view.ItemAt(last)->rect.bottom - view.scroll.y, height);
    // What the window shows: the picture from the view's top down to the
    // short lines, the lines below it.
    InvalidateRect(view.window, nullptr, FALSE);
    UpdateWindow(view.window);
    const TestSupport::DibCanvas shown = TestSupport::DibCanvas::CaptureClient(view.window);
    const RECT ink = shown.BoundsOf(colour);
    ASSERT_LT(ink.top, ink.bottom);
    EXPECT_LE(ink.top, view.marginTop);
    const int32_t pictureBottom = view.ItemAt(picture)->rect.bottom - view.scroll.y + view.marginTop;
    EXPECT_LE(ink.bottom, pictureBottom);
    EXPECT_GT(ink.bottom, pictureBottom - view.ItemAt(picture)->Height() / 2);
    const RECT lines{0, pictureBottom, shown.Width(), shown.Height()};
    EXPECT_GT(shown.CountColor(lines, RGB(0, 0, 0)), 10);
}

// Line view paints the window whole at every step, but a row's text may
// stand over its neighbours' rows (negative margins): the rows both views
// show are the same pixels wherever the view stands, in the page view box
// and in the table of contents, so a row below or above the window whose
// ink reaches into it is drawn there too.
TEST(ViewBoxTest, LineViewRowsShowTheSameInkWhereverTheViewStands) {
    ViewerRun run;
    TestSupport::WriteFileBytes(run.profile, "[Common]\r\nProgram=Quenby\r\n");
    const std::wstring folder = run.folder.Join(L"styled");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(TestSupport::WriteFileBytes(folder + L"\\Quenby.ini",
                                            "[Overview]\r\nOverMargin=-50\r\nUnderMargin=-30\r\n"
                                            "[HorizontalLine]\r\nLineHeight=300\r\n"));
    std::string text;
    for (int i = 1; i <= 300; ++i) {
        const std::string n = std::to_string(i);
        text += "# Heading " + n + "\n\nWords of paragraph " + n + " over its row.\n\n- item " + n + "\n\n---\n\n";
    }
    const std::wstring doc = folder + L"\\rows.md";
    ASSERT_TRUE(TestSupport::WriteFileBytes(doc, text));
    ASSERT_TRUE(run.Start("-p- \"" + TestSupport::Utf8(doc) + "\""));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    // No list has the focus, so no focus line stands on either.
    SetFocus(items.tabBar.window);
    TestSupport::PumpUntilIdle();
    for (WinLayer::WinListBox* box : {static_cast<WinLayer::WinListBox*>(&items.view),
                                      static_cast<WinLayer::WinListBox*>(&items.tree)}) {
        box->Refresh();
        TestSupport::PumpUntilIdle();
        // Room for every step below: 60 of at most 12 pixels.
        ASSERT_GT(box->contentSize.cy - (box->clientRect.bottom - box->clientRect.top), 60 * 12);
        auto shot = [&] {
            InvalidateRect(box->window, nullptr, FALSE);
            UpdateWindow(box->window);
            return TestSupport::DibCanvas::CaptureClient(box->window);
        };
        std::mt19937 random(20260401);
        int compared = 0;
        auto before = std::make_unique<TestSupport::DibCanvas>(shot());
        for (int step = 0; step < 60; ++step) {
            // A wheel delta that moves the view by 1 to 12 pixels.
            const int32_t pixels = 1 + static_cast<int32_t>(random() % 12);
            const int32_t row = std::max<int32_t>(box->lineStep.cy, 1);
            const int32_t delta = (pixels * WHEEL_DELTA + row - 1) / row;
            const int32_t from = box->scroll.y;
            SendMessageW(box->window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-delta)), 0);
            const int32_t moved = box->scroll.y - from;
            TestSupport::DibCanvas after = shot();
            const int32_t top = box->marginTop, bottom = after.Height() - box->marginBottom;
            if (moved > 0 && moved < bottom - top) {
                int differ = 0;
                for (int32_t y = top; y + moved < bottom; ++y)
                    for (int32_t x = box->marginLeft; x < after.Width() - box->marginRight; ++x)
                        if (before->Pixel(x, y + moved) != after.Pixel(x, y)) ++differ;
                EXPECT_EQ(differ, 0) << (box == &items.view ? "view" : "tree") << " from " << from << " by "
                                     << moved;
                ++compared;
            }
            before = std::make_unique<TestSupport::DibCanvas>(std::move(after));
        }
        EXPECT_GT(compared, 40);
    }
}

namespace {

// Block (i, j) of a 4 x 4 grid of blocks, each its own colour.
COLORREF BlockColour(int i, int j) {
    return RGB(30 + 65 * i, 30 + 65 * j, 230 - 30 * (i + j));
}

bool Alike(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

}  // namespace

// Page view paints a page at the printer's size and scales it onto the
// window. A large picture shows there as itself (each of its colour blocks
// where the picture's own proportions put it, at the size the window shows
// the page at), and showing it costs what the window shows: no picture is
// scaled to more pixels than the window has, and switching page view off
// and on again scales nothing anew (the line view's size and the page
// view's do not push each other out). Scaling a 1000 x 1400 picture up to
// the printer's pixels took seconds at every switch.
TEST(ViewBoxTest, APageViewPictureShowsItsOwnPixelsAndCostsWhatTheWindowShows) {
    ViewerRun run;
    const int width = 1000, height = 1400;
    ASSERT_TRUE(TestSupport::WriteFileBytes(
        run.folder.Join(L"blocks.bmp"),
        PixelBitmap(width, height, [&](int x, int y) { return BlockColour(x * 4 / width, y * 4 / height); })));
    const std::wstring doc = run.Write(L"blocks.md", "# T\n\nA paragraph before the picture.\n\n![blocks](blocks.bmp)\n\n"
                                                     "One.\n\nTwo.\n\nThree.\n");
    ASSERT_TRUE(StartOn(run, doc, "-p- "));
    SetWindowPos(run.Window(), nullptr, 0, 0, 1000, 900, SWP_NOMOVE | SWP_NOZORDER);
    TestSupport::PumpUntilIdle();
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    GuiViewBox& view = items.view;
    view.Refresh();
    UpdateWindow(view.window);
    ASSERT_FALSE(view.PageMode());
    const int32_t picture = LineStarting(view, "![blocks]");
    ASSERT_GE(picture, 0);
    auto page = [&] {
        SendMessageW(items.page.window, BM_CLICK, 0, 0);
        TestSupport::PumpUntilIdle();
        UpdateWindow(view.window);
    };
    auto checkShown = [&](const char* when) {
        SCOPED_TRACE(when);
        InvalidateRect(view.window, nullptr, FALSE);
        UpdateWindow(view.window);
        const TestSupport::DibCanvas shown = TestSupport::DibCanvas::CaptureClient(view.window);
        // The picture's box: the pixels of any block's colour.
        RECT box{shown.Width(), shown.Height(), -1, -1};
        for (int32_t y = 0; y < shown.Height(); ++y)
            for (int32_t x = 0; x < shown.Width(); ++x)
                for (int k = 0; k < 16; ++k)
                    if (Alike(shown.Pixel(x, y), BlockColour(k % 4, k / 4), 12)) {
                        box.left = std::min<LONG>(box.left, x);
                        box.top = std::min<LONG>(box.top, y);
                        box.right = std::max<LONG>(box.right, x + 1);
                        box.bottom = std::max<LONG>(box.bottom, y + 1);
                        break;
                    }
        ASSERT_LT(box.left, box.right);
        // As wide as the window shows the page's picture.
        const DocLayer::JobLinkDataUnit& entry = *view.LineAt(picture)->links.begin();
        const int32_t wide = static_cast<int32_t>(static_cast<int64_t>(entry.drawnSize.cx) * view.windowSize.cx /
                                                  view.logicalWidth);
        EXPECT_NEAR(box.right - box.left, wide, 3);
        // Where the page puts it: centred in its line's text band, below
        // the line's text.
        const WinLayer::WinListBoxItemUnit& unit = *view.ItemAt(picture);
        const double scale = static_cast<double>(view.windowSize.cx) / view.logicalWidth;
        const int32_t band = view.clientRect.right - view.clientRect.left - view.pageMargins.left - view.pageMargins.right;
        const double left = view.marginLeft - view.scroll.x + view.pageMargins.left + (band - entry.drawnSize.cx) / 2;
        const double top = view.marginTop - view.scroll.y + unit.rect.bottom -
                           static_cast<const GuiListBoxItemUnit&>(unit).pictureHeight +
                           view.CurrentStyle()->image.overMargin.value;
        ASSERT_GE(top, 0);
        EXPECT_NEAR(box.left, left * scale, 2);
        EXPECT_NEAR(box.top, top * scale, 2);
        // Each block's middle shows that block's colour, in the picture's
        // proportions from its top left corner.
        const double across = static_cast<double>(box.right - box.left) / 4;
        const double down = across * 4 * height / width / 4;
        int sampled = 0;
        for (int j = 0; j < 4; ++j) {
            for (int i = 0; i < 4; ++i) {
                const int32_t x = box.left + static_cast<int32_t>((i + 0.5) * across);
                const int32_t y = box.top + static_cast<int32_t>((j + 0.5) * down);
                if (y >= box.bottom - 2) continue;  // below the window's edge
                EXPECT_TRUE(Alike(shown.Pixel(x, y), BlockColour(i, j), 12)) << "block " << i << ", " << j;
                ++sampled;
            }
        }
        EXPECT_GE(sampled, 8);
    };
    const uint64_t lineView = view.pictures.ScaledPixels();
    page();
    ASSERT_TRUE(view.PageMode());
    checkShown("page view");
    const uint64_t window = static_cast<uint64_t>(view.windowSize.cx) * static_cast<uint64_t>(view.windowSize.cy);
    const uint64_t once = view.pictures.ScaledPixels();
    EXPECT_LE(once - lineView, window);
    // Line view and back, twice.
    for (int k = 0; k < 2; ++k) {
        page();
        ASSERT_FALSE(view.PageMode());
        page();
        ASSERT_TRUE(view.PageMode());
        checkShown("page view again");
    }
    EXPECT_EQ(view.pictures.ScaledPixels(), once);
}

// In page view the header and footer bands belong to their page: scrolled
// sideways, the header's text moves with the page's lines, by as many
// pixels.
TEST(ViewBoxTest, PageViewHeaderTextScrollsSidewaysWithItsPage) {
    ViewerRun run;
    // A table is fitted to the page down to a character a column: one of
    // more columns than that holds still reaches past the window.
    // Letters at random, so that no shift but the scroll's matches the rows.
    std::string head = "|", rule = "|", row = "|";
    uint32_t seed = 12345;
    auto letter = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<char>('A' + (seed >> 16) % 26);
    };
    for (int c = 0; c < 600; ++c) {
        head += std::string(1, letter()) + "|";
        rule += "-|";
        row += std::string(1, letter()) + "|";
    }
    const std::string code = head + "\n" + rule + "\n" + row;
    const std::wstring doc = run.Write(
        L"header.md", "@PrintHeader:Left:\"Left header words\"\n@PrintHeader:Center:\"Centre header words\"\n"
                      "@PrintHeader:Right:\"Right header words\"\n\n# Heading of the page\n\n"
                      "A paragraph of words that runs across the page, wrapped over the width of its text band.\n\n" +
                          code + "\n\nMore words below the code.\n");
    ASSERT_TRUE(StartOn(run, doc, "-p "));
    SetWindowPos(run.Window(), nullptr, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
    TestSupport::PumpUntilIdle();
    GuiViewBox& view = View(run);
    view.Refresh();
    ASSERT_TRUE(view.PageMode());
    ASSERT_EQ(view.scroll.x, 0);
    ASSERT_GT(view.contentSize.cx, view.clientRect.right - view.clientRect.left);
    auto shot = [&] {
        InvalidateRect(view.window, nullptr, FALSE);
        UpdateWindow(view.window);
        return std::make_unique<TestSupport::DibCanvas>(TestSupport::DibCanvas::CaptureClient(view.window));
    };
    const auto before = shot();
    SetFocus(view.window);
    for (int i = 0; i < 4; ++i) SendMessageW(view.window, WM_HSCROLL, SB_LINERIGHT, 0);
    TestSupport::PumpUntilIdle();
    ASSERT_GT(view.scroll.x, 0);
    const auto after = shot();
    // The window rows of the page's header and of its text band.
    const double scale = static_cast<double>(view.windowSize.cx) / view.logicalWidth;
    const int32_t headerBottom = static_cast<int32_t>((view.marginTop + view.pageMargins.top) * scale);
    const int32_t textBottom =
        std::min<int32_t>(after->Height(), static_cast<int32_t>((view.marginTop + view.pageHeight -
                                                                 view.pageMargins.bottom) * scale));
    ASSERT_GT(headerBottom, 4);
    // How far the rows' pixels moved to the left: the shift that matches
    // them best.
    auto moved = [&](int32_t top, int32_t bottom) {
        int32_t best = -1;
        double bestDifference = 0;
        for (int32_t d = 0; d < before->Width() / 4; ++d) {
            double difference = 0;
            int64_t count = 0;
            for (int32_t y = top; y < bottom; ++y)
                for (int32_t x = 0; x + d < before->Width(); ++x) {
                    const COLORREF a = after->Pixel(x, y), b = before->Pixel(x + d, y);
                    difference += std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                                  std::abs(GetBValue(a) - GetBValue(b));
                    ++count;
                }
            difference /= static_cast<double>(std::max<int64_t>(count, 1));
            if (best < 0 || difference < bestDifference) {
                best = d;
                bestDifference = difference;
            }
        }
        return best;
    };
    // The body's rows above the table: the table's grid repeats too
    // evenly to tell one shift from another.
    // The heading and the paragraph are the first two units with a height.
    const WinLayer::WinListBoxItemUnit* paragraph = nullptr;
    for (int32_t i = 0, shown = 0; view.ItemAt(i) && shown < 2; ++i)
        if (view.ItemAt(i)->rect.bottom > view.ItemAt(i)->rect.top) {
            paragraph = view.ItemAt(i);
            ++shown;
        }
    ASSERT_TRUE(paragraph);
    const int32_t bodyBottom = std::min<int32_t>(
        textBottom, static_cast<int32_t>((view.marginTop - view.scroll.y + paragraph->rect.bottom) * scale));
    ASSERT_GT(bodyBottom, headerBottom + 4);
    const int32_t body = moved(headerBottom, bodyBottom);
    const int32_t header = moved(0, headerBottom);
    const int32_t expected = static_cast<int32_t>(view.scroll.x * scale);
    EXPECT_NEAR(body, expected, 1);
    EXPECT_NEAR(header, body, 1);
}
