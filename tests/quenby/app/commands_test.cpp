// The main window's commands on a real viewer run: Reboot hands the open
// documents to a recorder standing in for the next viewer (and keeps the
// window when nothing starts), "-i" shows its document, a reload of a
// shortened file clamps the stored cursor, and the font buttons.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "quenby/app/command_handlers.h"
#include "quenby/app/restart.h"
#include "quenby/app/restart_support.h"
#include "quenby/app/viewer_fixture.h"
#include "quenby/app/viewer_globals.h"
#include "toolkit/info_dialog.h"
#include "toolkit/layout.h"

using namespace ViewerTest;
using RawLayer::RawString;
using RestartTest::BesideTest;
using RestartTest::TempInBlankFolder;
using RestartTest::WaitForFile;
using TestSupport::W;

namespace {



std::string Lines(int count) {
    std::string text = "# Title\r\n";
    for (int i = 1; i < count; ++i) text += "Line " + std::to_string(i) + "\r\n\r\n";
    return text;
}

// The face and character height a font really shows on the screen.
struct ShownFace {
    std::wstring face;
    LONG height = 0;
};
ShownFace Shown(HFONT font) {
    ShownFace shown;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    TEXTMETRICW metrics{};
    if (GetTextFaceW(dc, LF_FACESIZE, face) > 0 && GetTextMetricsW(dc, &metrics)) {
        shown.face = face;
        shown.height = metrics.tmHeight - metrics.tmInternalLeading;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return shown;
}

void Click(WinLayer::WinButton& button) {
    SendMessageW(button.window, BM_CLICK, 0, 0);
    TestSupport::PumpUntilIdle();
}

RECT SavedWindowRect() {
    RawLayer::RawParameterList section;
    section.ReadSection(AppLayer::GuiProfileParameters(), RawString::FromText("MainDialog"));
    RECT rect{};
    WinLayer::WinWindowRect::Read(rect, RawString::FromText("WindowRect"), section);
    return rect;
}


}  // namespace

TEST(ViewerCommands, RebootHandsTheDocumentsOverAndGoesOnceOrStaysWhenNothingStarted) {
    TestSupport::ModalWatchdog watchdog(30000);
    ViewerRun run;
    TempInBlankFolder temp(run.folder.Join(L"temp with blank"));
    const std::wstring out = run.folder.Join(L"recorded.txt");
    SetEnvironmentVariableW(L"QUENBY_RECORDER_OUT", out.c_str());
    const std::wstring odd = run.folder.Join(L"docs \x00FC");
    CreateDirectoryW(odd.c_str(), nullptr);
    const std::wstring first = odd + L"\\first.md";
    TestSupport::WriteFileBytes(first, Lines(5));
    const std::wstring second = run.Write(L"second.md", Lines(5));
    ASSERT_TRUE(run.Start("-p- -i 1 \"" + TestSupport::Utf8(first) + "\" \"" + TestSupport::Utf8(second) + "\""));
    ASSERT_EQ(run.Tabs().Count(), 2);
    EXPECT_EQ(run.CurrentLabel(), "second.md");

    // Nothing to start: the window comes back and stays.
    AppLayer::RestartProgramPath() = W(run.folder.Join(L"missing.exe"));
    Click(run.Dialog()->items.reboot);
    ASSERT_TRUE(IsWindow(run.Window()));
    EXPECT_FALSE(IsIconic(run.Window()));

    const HWND window = run.Window();
    RECT before{};
    GetWindowRect(window, &before);
    AppLayer::RestartProgramPath() = W(BesideTest(L"restart_recorder.exe"));
    Click(run.Dialog()->items.reboot);
    EXPECT_FALSE(IsWindow(window));
    const std::string line = WaitForFile(out);
    const std::string after = line.substr(line.find(".exe\"") + 5);
    // The switches come first (after the blank the shell puts between).
    EXPECT_EQ(after.substr(after.find_first_not_of(' ') - 1, 9), " -p- -l \"") << line;
    EXPECT_NE(after.find("\" -i 1"), std::string::npos) << line;
    RawLayer::RawParameterList split;
    RawLayer::CommandLineSplit(split, nullptr, RawLayer::CommandLineAfterProgram(RawString::FromText(line.c_str())));
    ASSERT_NE(split.Find(RawString::FromText("l")), nullptr);
    const std::wstring list = TestSupport::Ws(split.Find(RawString::FromText("l"))->value);
    EXPECT_EQ(list, temp.folder + L"\\Quenby\\Quenby_ListFile.txt");
    EXPECT_EQ(TestSupport::FileText(list), TestSupport::Utf8(first) + "\r\n" + TestSupport::Utf8(second) + "\r\n");
    const RECT saved = SavedWindowRect();
    EXPECT_TRUE(EqualRect(&saved, &before));

    // A second request on the gone window starts nothing.
    DeleteFileW(out.c_str());
    AppLayer::RestartViewer(*run.Dialog(), true);
    Sleep(300);
    EXPECT_FALSE(TestSupport::FileExists(out));
}

TEST(ViewerCommands, IndexShowsItsDocumentAndAReloadOfAShortenedFileClampsTheCursor) {
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", Lines(10));
    const std::wstring b = run.Write(L"b.md", Lines(600));
    const std::wstring c = run.Write(L"c.md", Lines(10));
    ASSERT_TRUE(run.Start("-i 1 \"" + TestSupport::Utf8(a) + "\" \"" + TestSupport::Utf8(b) + "\" \"" +
                          TestSupport::Utf8(c) + "\""));
    ASSERT_EQ(run.Tabs().Count(), 3);
    EXPECT_EQ(run.CurrentLabel(), "b.md");
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    ASSERT_NE(items.currentDocument, nullptr);
    EXPECT_EQ(items.currentDocument, AppLayer::GuiTabBar::DocumentOf(run.Tabs().CurrentDocumentTab()));

    items.currentDocument->viewCursorLine = 500;
    items.currentDocument->viewTopLine = 480;
    TestSupport::WriteFileBytes(b, Lines(2));
    SendMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(0, AppLayer::CmdReload), 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(items.currentDocument->viewCursorLine, -1);
    EXPECT_LT(items.currentDocument->viewTopLine, items.currentDocument->Count());
    EXPECT_EQ(items.view.Count(), items.currentDocument->Count());

    // Ctrl+W closes the tab the user sees.
    SendMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(0, AppLayer::CmdCloseTab), 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.TabLabels(), "a.md|c.md");
}

namespace {

// Clicks the button and answers the message box it shows with OK; the text
// of that box, empty when none came.
std::string ClickAndReadMessage(WinLayer::WinButton& button) {
    return ReadAndAnswerMessage([&button] { Click(button); }, 50);
}

std::vector<std::string> ShownTexts(AppLayer::GuiLineBox& box) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < box.Count(); ++i) texts.push_back(TestSupport::S(box.LineAt(i)->rawText));
    return texts;
}

// The tree's entries: its items that get a row.
int32_t TreeEntries(AppLayer::GuiTreeBox& tree) {
    int32_t entries = 0;
    for (const WinLayer::WinListBoxItemUnit& unit : tree.items)
        if (!(unit.flags & WinLayer::WinListBoxItemUnit::ItemHidden)) ++entries;
    return entries;
}

}  // namespace

// "Reload" of a document whose file went away (or turned into a folder)
// keeps the lines on the screen and tells the user; once the file is back
// the reload reads it without a word.
TEST(ViewerCommands, AReloadOfAFileThatCannotBeReadKeepsTheLinesAndSaysSo) {
    TestSupport::ModalWatchdog watchdog(30000);
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", Lines(12));
    ASSERT_TRUE(run.Start("\"" + TestSupport::Utf8(a) + "\""));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    const std::vector<std::string> shown = ShownTexts(items.view);
    ASSERT_GT(shown.size(), 12u);
    ASSERT_EQ(TreeEntries(items.tree), 1);

    for (const bool folder : {false, true}) {
        ASSERT_TRUE(DeleteFileW(a.c_str()));
        if (folder) {
            ASSERT_TRUE(CreateDirectoryW(a.c_str(), nullptr));
        }
        const std::string told = ClickAndReadMessage(items.reload);
        // The box shows the path on a line of its own.
        EXPECT_EQ(told.find(TestSupport::Utf8(a) + "\r\n"), 0u) << told;
        EXPECT_EQ(told.substr(told.find('\n') + 1), "could not be read.") << told;
        EXPECT_EQ(run.TabLabels(), "a.md");
        ASSERT_EQ(items.currentDocument, AppLayer::GuiTabBar::DocumentOf(run.Tabs().CurrentDocumentTab()));
        EXPECT_EQ(ShownTexts(items.view), shown);
        EXPECT_EQ(items.currentDocument->Count(), static_cast<int32_t>(shown.size()));
        EXPECT_EQ(TreeEntries(items.tree), 1);
        // The kept lines are still drawn.
        InvalidateRect(items.view.window, nullptr, FALSE);
        UpdateWindow(items.view.window);
        const TestSupport::DibCanvas shot = TestSupport::DibCanvas::CaptureClient(items.view.window);
        EXPECT_GT(shot.CountColor(items.currentDocument->Style()->overview.textColor), 20);
        if (folder) RemoveDirectoryW(a.c_str());
        TestSupport::WriteFileBytes(a, Lines(12));
    }
    TestSupport::WriteFileBytes(a, Lines(3));
    EXPECT_EQ(ClickAndReadMessage(items.reload), "");
    EXPECT_EQ(items.view.Count(), items.currentDocument->Count());
    EXPECT_EQ(ShownTexts(items.view).size(), 5u);
}

TEST(ViewerCommands, FontButtonsStepResetAndSaveTheFontOfTheMode) {
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", Lines(10));
    ASSERT_TRUE(run.Start("-p- \"" + TestSupport::Utf8(a) + "\""));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    for (const bool pageView : {false, true}) {
        if (pageView) Click(items.page);
        DocLayer::DocumentStyle& style = *items.currentDocument->Style();
        DocLayer::StyleFont& font = pageView ? style.printFont : style.textFont;
        LOGFONTW small = font.description;
        small.lfHeight = -6;
        font.Change(small);
        const HFONT kept = font.handle;
        Click(items.fontMinus);
        EXPECT_EQ(font.description.lfHeight, -6);
        EXPECT_EQ(font.handle, kept);
        Click(items.fontPlus);
        LOGFONTW made{};
        GetObjectW(font.handle, sizeof(made), &made);
        EXPECT_EQ(made.lfHeight, -7);
        EXPECT_EQ(GetObjectType(kept), 0u);

        Click(items.fontReset);
        EXPECT_EQ(font.description.lfHeight, font.defaultDescription.lfHeight);
        EXPECT_EQ(std::wstring(font.description.lfFaceName), std::wstring(font.defaultDescription.lfFaceName));

        font.profile = RawLayer::ProfileFileRef::FromPath(W(run.profile));
        Click(items.fontSave);
        RawLayer::RawParameterList section;
        EXPECT_TRUE(section.ReadSection(font.profile, RawString::FromText(pageView ? "PrintFont" : "TextFont")));
        EXPECT_EQ(section.Count(), 14);
    }
    EXPECT_NE(TestSupport::FileText(run.profile).find("[Common]"), std::string::npos);
}

TEST(ViewerCommands, TheStartTabTakesTheProgramStyleSoItsFontStepsAndSaves) {
    ViewerRun run;
    ASSERT_TRUE(run.Start("-p-"));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    ASSERT_EQ(run.TabLabels(), "*");
    DocLayer::DocumentStyle& style = *items.currentDocument->Style();
    EXPECT_EQ(style.textFont.description.lfHeight, items.style.textFont.description.lfHeight);
    EXPECT_EQ(style.overview.tabStop, items.style.overview.tabStop);
    const LONG before = style.textFont.description.lfHeight;
    ASSERT_NE(before, 0);
    Click(items.fontPlus);
    EXPECT_EQ(style.textFont.description.lfHeight, before < 0 ? before - 1 : before + 1);
    Click(items.fontSave);
    RawLayer::RawParameterList section;
    RawLayer::ProfileFileRef saved = RawLayer::ProfileFileRef::FromPath(W(run.profile));
    EXPECT_TRUE(section.ReadSection(saved, RawString::FromText("TextFont")));
    ASSERT_NE(section.Find(RawString::FromText("Height")), nullptr);
    EXPECT_EQ(TestSupport::S(section.Find(RawString::FromText("Height"))->value),
              std::to_string(style.textFont.description.lfHeight));
}

namespace {

// Counts the selection notifications the tree and the view send to
// themselves (each becomes one 4104 at the main window).
int g_selectionNotes = 0;
LRESULT CALLBACK CountSelectionNotes(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message && message->message == WM_COMMAND &&
        HIWORD(message->wParam) == WinLayer::WinNotify::SelectionChanged) {
        ++g_selectionNotes;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string Sections(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "## Part " + std::to_string(i) + "\r\n\r\nText " + std::to_string(i) + ".\r\n\r\n";
    return text;
}

}  // namespace

TEST(ViewerCommands, TreeAndViewCursorsFollowEachOtherAndTabsKeepTheirPlaces) {
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", Sections(40));
    const std::wstring b = run.Write(L"b.md", "Intro.\r\n\r\n" + Sections(5));
    ASSERT_TRUE(run.Start("\"" + TestSupport::Utf8(a) + "\" \"" + TestSupport::Utf8(b) + "\""));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    ASSERT_EQ(run.CurrentLabel(), "a.md");
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountSelectionNotes, nullptr, GetCurrentThreadId());

    // Down in the tree: the view's cursor goes to that heading.
    SetFocus(items.tree.window);
    for (int step = 0; step < 3; ++step) {
        g_selectionNotes = 0;
        TestSupport::SendKey(items.tree.window, VK_DOWN);
        TestSupport::PumpUntilIdle();
        EXPECT_LE(g_selectionNotes, 4);
        ASSERT_GE(items.tree.cursor, 0);
        EXPECT_EQ(items.view.cursor, items.tree.cursor);
        EXPECT_EQ(items.currentDocument->treeCursorLine, items.tree.cursor);
    }
    // A view move: the tree goes to the last heading at or before it.
    const int32_t line = items.tree.cursor + 5;
    g_selectionNotes = 0;
    items.view.SetCursor(line);
    TestSupport::PumpUntilIdle();
    EXPECT_LE(g_selectionNotes, 4);
    int32_t heading = line;
    while (heading >= 0 && !items.tree.items.At(heading)->Reachable()) --heading;
    EXPECT_EQ(items.tree.cursor, heading);
    UnhookWindowsHookEx(hook);

    // Away and back: both cursors and top lines as they were.
    items.view.SetTopLine(20);
    TestSupport::PumpUntilIdle();
    const int32_t viewCursor = items.view.cursor, treeCursor = items.tree.cursor, viewTop = items.view.TopLine();
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(1));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.CurrentLabel(), "b.md");
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(0));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(items.view.cursor, viewCursor);
    EXPECT_EQ(items.tree.cursor, treeCursor);
    EXPECT_EQ(items.view.TopLine(), viewTop);

    // The view's cursor above the first heading leaves no tree cursor.
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(1));
    TestSupport::PumpUntilIdle();
    items.view.SetCursor(4);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(items.tree.cursor, 2);
    SetFocus(items.view.window);
    TestSupport::SendKey(items.view.window, VK_HOME);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(items.view.cursor, 0);
    EXPECT_EQ(items.tree.cursor, -1);
    EXPECT_EQ(items.currentDocument->treeCursorLine, -1);
}

// One Down in the view from the line, the best of three, in seconds: the
// step and the tree following it, without the paint. Checks that the tree
// went to the heading of the line stepped to.
double TimedDownFrom(AppLayer::GuiMainItems& items, int32_t line) {
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        items.view.SetCursor(line);
        TestSupport::PumpUntilIdle();
        const auto start = std::chrono::steady_clock::now();
        SendMessageW(items.view.window, WM_KEYDOWN, VK_DOWN, TestSupport::KeyLParam(VK_DOWN, false));
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        int32_t heading = items.view.cursor;
        while (heading >= 0 && !items.tree.items.At(heading)->Reachable()) --heading;
        EXPECT_EQ(items.tree.cursor, heading);
        // The heading is looked up, not walked to.
        EXPECT_LE(items.tree.headingSteps, 2);
    }
    return best;
}

TEST(ViewerCommands, ADownStepNearTheEndOfALongDocumentCostsWhatOneNearTheTopDoes) {
    // 400,000 lines, a heading every fourth. Finding the heading of the
    // cursor line by a walk from the first line made a step near the end
    // cost the whole document.
    ViewerRun run;
    const std::wstring big = run.Write(L"big.md", Sections(100000));
    ASSERT_TRUE(run.Start("\"" + TestSupport::Utf8(big) + "\""));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    items.view.RefreshIfDirty();
    ASSERT_GT(items.view.Count(), 390000);
    SetFocus(items.view.window);
    const double nearTop = TimedDownFrom(items, 10);
    const double nearEnd = TimedDownFrom(items, items.view.Count() - 10);
    // The steps counted above are the measure; the clock only catches what
    // they cannot see, with room for a busy machine.
    EXPECT_LT(nearEnd, 5 * nearTop + 0.05) << "near the top " << nearTop << " s, near the end " << nearEnd << " s";
}

TEST(ViewerCommands, TheFontDialogCancelledOrConfirmedUntouchedChangesNothingAndTakesAChosenSize) {
    TestSupport::ModalWatchdog watchdog(30000);
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", Lines(30));
    ASSERT_TRUE(run.Start("-p- \"" + TestSupport::Utf8(a) + "\""));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    DocLayer::StyleFont& font = items.currentDocument->Style()->textFont;
    const LOGFONTW before = font.description;
    const HFONT handle = font.handle;
    const ShownFace shownBefore = Shown(font.handle);
    ASSERT_FALSE(shownBefore.face.empty());
    auto headingRow = [&items] {
        for (const WinLayer::WinListBoxItemUnit& unit : items.tree.items)
            if (unit.Reachable()) return unit.Height();
        return 0;
    };
    const int32_t rowBefore = headingRow();
    ASSERT_GT(rowBefore, 0);
    // Cancelled, confirmed as it opened (the dialog starts on the face and
    // size the view shows, whether the record's face is installed or not),
    // confirmed with the largest size.
    for (const int answer : {0, 1, 2}) {
        bool seen = false;
        TestSupport::WhenSystemDialogUp([&](HWND chooser) {
            seen = true;
            if (answer == 2) {
                const HWND sizes = GetDlgItem(chooser, 0x472);
                const LRESULT count = SendMessageW(sizes, CB_GETCOUNT, 0, 0);
                SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
                SendMessageW(chooser, WM_COMMAND, MAKEWPARAM(0x472, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
            }
            PostMessageW(chooser, WM_COMMAND, answer == 0 ? IDCANCEL : IDOK, 0);
        });
        Click(items.fontSelect);
        EXPECT_TRUE(seen);
        if (answer == 0) {
            EXPECT_EQ(font.handle, handle);
        }
        if (answer < 2) {
            EXPECT_EQ(std::memcmp(&font.description, &before, sizeof(before)), 0) << answer;
            const ShownFace shown = Shown(font.handle);
            EXPECT_EQ(shown.face, shownBefore.face) << answer;
            EXPECT_EQ(shown.height, shownBefore.height) << answer;
            EXPECT_EQ(headingRow(), rowBefore) << answer;
        }
    }
    // The record takes what the dialog returned: a larger font than before.
    EXPECT_NE(font.handle, handle);
    EXPECT_GT(std::abs(font.description.lfHeight), std::abs(before.lfHeight));
    LOGFONTW made{};
    GetObjectW(font.handle, sizeof(made), &made);
    EXPECT_EQ(made.lfHeight, font.description.lfHeight);
    EXPECT_GT(headingRow(), rowBefore);
    EXPECT_FALSE(watchdog.Fired());
}

// In page view the dialog works on the print font, which is kept in the
// printer's pixels: it opens on the size the page prints at, and a size
// chosen there is the size printed.
TEST(ViewerCommands, ThePageViewFontDialogShowsAndSetsThePrintedSize) {
    TestSupport::ModalWatchdog watchdog(30000);
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", Lines(30));
    ASSERT_TRUE(run.Start("-p- \"" + TestSupport::Utf8(a) + "\""));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    Click(items.page);
    DocLayer::DocumentStyle& style = *items.currentDocument->Style();
    const int32_t perInch = DocLayer::PrintPixelsPerInch(style.printImage);
    ASSERT_GT(perInch, 0);
    const LONG before = style.printFont.description.lfHeight;
    ASSERT_LT(before, 0);
    const long printedPoints = (-before * 72L + perInch / 2) / perInch;
    for (const bool choose : {false, true}) {
        std::wstring shown;
        TestSupport::WhenSystemDialogUp([&](HWND chooser) {
            wchar_t text[32] = {};
            GetDlgItemTextW(chooser, 0x472, text, 31);
            shown = text;
            if (choose) {
                const HWND sizes = GetDlgItem(chooser, 0x472);
                SendMessageW(sizes, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"12"));
                SendMessageW(chooser, WM_COMMAND, MAKEWPARAM(0x472, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
            }
            PostMessageW(chooser, WM_COMMAND, IDOK, 0);
        });
        Click(items.fontSelect);
        EXPECT_EQ(shown, std::to_wstring(printedPoints));
        EXPECT_EQ(style.printFont.description.lfHeight, choose ? -MulDiv(120, perInch, 720) : before);
    }
    EXPECT_FALSE(watchdog.Fired());
}

// The "Page" button keeps the reader's place: a search in a long document
// puts the cursor on a line far down, and that line stays in view when the
// page view is switched on and when it is switched off again.
TEST(ViewerCommands, ThePageButtonKeepsTheCursorsLineInViewBothWays) {
    TestSupport::ModalWatchdog watchdog(60000);
    ViewerRun run;
    std::string text = "# Entries\r\n\r\n";
    for (int i = 1; i <= 2600; ++i) text += "Entry number " + std::to_string(i) + " of the list.\r\n\r\n";
    const std::wstring doc = run.Write(L"entries.md", text);
    ASSERT_TRUE(run.Start("-p- \"" + TestSupport::Utf8(doc) + "\""));
    AppLayer::GuiMainItems& items = run.Dialog()->items;
    AppLayer::GuiViewBox& view = items.view;
    view.Refresh();
    ASSERT_FALSE(view.PageMode());
    // The search button asks for the words in the text dialog.
    TestSupport::RunLater(300, [&] {
        HWND prompt = FindWindowW(L"Class_TextDialog", nullptr);
        char words[] = "Entry number 1739 ";
        COPYDATASTRUCT answer{0, static_cast<DWORD>(strlen(words)), words};
        if (prompt) SendMessageW(prompt, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&answer));
    });
    Click(items.search);
    ASSERT_GE(view.cursor, 0);
    ASSERT_EQ(TestSupport::S(view.LineAt(view.cursor)->rawText), "Entry number 1739 of the list.");
    const int32_t line = view.cursor;
    // The cursor's row lies wholly inside the view's client rows.
    auto inView = [&] {
        const WinLayer::WinListBoxItemUnit* unit = view.ItemAt(line);
        const int32_t height = view.clientRect.bottom - view.clientRect.top;
        return unit && unit->rect.top >= view.scroll.y && unit->rect.bottom <= view.scroll.y + height;
    };
    ASSERT_TRUE(inView());
    for (const bool pages : {true, false}) {
        Click(items.page);
        ASSERT_EQ(view.PageMode(), pages);
        EXPECT_EQ(view.cursor, line) << pages;
        EXPECT_TRUE(inView()) << "page view " << pages << ": top line " << view.TopLine() << ", cursor " << line;
    }
}
