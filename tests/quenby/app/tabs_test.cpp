// The tabs of open documents: opening from the command line and again,
// the empty document's tab, closing by key and by glyph, stepping, dragging,
// dropped files under both code pages, and many rounds of open and close.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <shlobj.h>

#include "quenby/app/viewer_fixture.h"
#include "quenby/document/document_options.h"

using namespace ViewerTest;
using TestSupport::Wide;

namespace {

std::string Quoted(const std::wstring& path) { return "\"" + TestSupport::Utf8(path) + "\""; }

void Command(ViewerRun& run, uint16_t code) {
    SendMessageW(run.Window(), WM_COMMAND, MAKEWPARAM(0, code), 0);
    TestSupport::PumpUntilIdle();
}

int OpenCount(ViewerRun& run) { return run.Dialog()->items.documents.Count(); }

// A client point inside a tab: its body, or its close glyph.
POINT TabPoint(ViewerRun& run, int index, bool glyph) {
    AppLayer::GuiTabBar& bar = run.Tabs();
    RECT client{};
    GetClientRect(bar.window, &client);
    bar.UpdateGeometry(client);
    const WinLayer::WinTabBarItemUnit* item = bar.ItemAtIndex(index);
    if (glyph) return POINT{item->right - bar.offset - 2, 2};
    return POINT{item->left - bar.offset + 3, (client.bottom - client.top) / 2};
}

void CtrlW(ViewerRun& run) {
    TestSupport::SetModifiers(false, true, false);
    SendMessageW(run.Tabs().window, WM_KEYDOWN, 'W', TestSupport::KeyLParam('W', false));
    TestSupport::SetModifiers(false, false, false);
    TestSupport::PumpUntilIdle();
}

// A drop record of wide names, as the shell hands it over.
HGLOBAL DropRecord(const std::vector<std::wstring>& paths) {
    std::wstring list;
    for (const std::wstring& path : paths) list += path + L'\0';
    list += L'\0';
    const size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* record = static_cast<DROPFILES*>(GlobalLock(memory));
    record->pFiles = sizeof(DROPFILES);
    record->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(record) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

}  // namespace

TEST(ViewerTabs, CommandLineDocumentsOpenAndTheIndexIsShown) {
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", "# A\r\n\r\nfirst line\r\n");
    const std::wstring b = run.Write(L"b.md", "# B\r\n");
    CreateDirectoryW(run.folder.Join(L"folder").c_str(), nullptr);
    ASSERT_TRUE(run.Start(Quoted(a) + " " + Quoted(b) + " " + Quoted(run.folder.Join(L"missing.md")) + " " +
                          Quoted(run.folder.Join(L"folder")) + " -i 0"));
    EXPECT_EQ(run.TabLabels(), "a.md|b.md");
    EXPECT_EQ(run.CurrentLabel(), "a.md");
    const auto& items = run.Dialog()->items;
    ASSERT_NE(items.view.Document(), nullptr);
    EXPECT_EQ(TestSupport::Ws(items.view.Document()->Style()->documentPath), a);
    EXPECT_EQ(items.view.Count(), 3);

    // Opened again after a change: one tab, the new lines, selected.
    TestSupport::WriteFileBytes(a, "# A\r\n\r\nfirst line\r\nsecond line\r\n\r\nthird\r\n");
    run.Tabs().SelectTab(run.Tabs().ItemAtIndex(1));
    run.Tabs().OpenDocument(TestSupport::W(a));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.TabLabels(), "a.md|b.md");
    EXPECT_EQ(run.CurrentLabel(), "a.md");
    EXPECT_EQ(items.view.Count(), 6);
    EXPECT_EQ(OpenCount(run), 2);
}

TEST(ViewerTabs, TheEmptyTabMakesRoomAndComesBack) {
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", "# A\r\n");
    const std::wstring b = run.Write(L"b.md", "# B\r\n");
    ASSERT_TRUE(run.Start(""));
    EXPECT_EQ(run.TabLabels(), "*");
    CtrlW(run);
    EXPECT_EQ(run.TabLabels(), "*");
    run.Tabs().OpenDocument(TestSupport::W(a));
    run.Tabs().OpenDocument(TestSupport::W(b));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.TabLabels(), "a.md|b.md");
    EXPECT_EQ(run.CurrentLabel(), "b.md");

    CtrlW(run);
    EXPECT_EQ(run.TabLabels(), "a.md");
    EXPECT_EQ(OpenCount(run), 1);
    const POINT glyph = TabPoint(run, 0, true);
    TestSupport::SendMouse(run.Tabs().window, WM_LBUTTONDOWN, glyph.x, glyph.y, MK_LBUTTON);
    TestSupport::SendMouse(run.Tabs().window, WM_LBUTTONUP, glyph.x, glyph.y);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.TabLabels(), "*");
    EXPECT_EQ(OpenCount(run), 0);
    EXPECT_EQ(run.Dialog()->items.view.Document(), &run.Tabs().EmptyDocument());
}

TEST(ViewerTabs, StepCommandsStopAtTheEnds) {
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", "# A\r\n");
    const std::wstring b = run.Write(L"b.md", "# B\r\n");
    const std::wstring c = run.Write(L"c.md", "# C\r\n");
    ASSERT_TRUE(run.Start(Quoted(a) + " " + Quoted(b) + " " + Quoted(c)));
    EXPECT_EQ(run.CurrentLabel(), "a.md");
    Command(run, AppLayer::CmdNextTab);
    EXPECT_EQ(run.CurrentLabel(), "b.md");
    Command(run, AppLayer::CmdNextTab);
    Command(run, AppLayer::CmdNextTab);
    EXPECT_EQ(run.CurrentLabel(), "c.md");
    EXPECT_EQ(run.TabLabels(), "a.md|b.md|c.md");
    Command(run, AppLayer::CmdPreviousTab);
    EXPECT_EQ(run.CurrentLabel(), "b.md");
    Command(run, AppLayer::CmdCloseTab);
    EXPECT_EQ(run.TabLabels(), "a.md|c.md");
}

TEST(ViewerTabs, ADraggedTabLandsBeforeTheTabItWasDroppedOn) {
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", "# A\r\n");
    const std::wstring b = run.Write(L"b.md", "# B\r\n");
    const std::wstring c = run.Write(L"c.md", "# C\r\n");
    ASSERT_TRUE(run.Start(Quoted(a) + " " + Quoted(b) + " " + Quoted(c) + " -i 2"));
    EXPECT_EQ(run.CurrentLabel(), "c.md");
    const POINT from = TabPoint(run, 2, false);
    const POINT to = TabPoint(run, 0, false);
    const HWND bar = run.Tabs().window;
    TestSupport::SendMouse(bar, WM_LBUTTONDOWN, from.x, from.y, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_MOUSEMOVE, from.x - 8, from.y, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_MOUSEMOVE, to.x, to.y, MK_LBUTTON);
    TestSupport::SendMouse(bar, WM_LBUTTONUP, to.x, to.y);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.TabLabels(), "c.md|a.md|b.md");
    EXPECT_EQ(run.CurrentLabel(), "c.md");
    EXPECT_EQ(TestSupport::Ws(run.Dialog()->items.view.Document()->Style()->documentPath), c);
}

TEST(ViewerTabs, DroppedFilesOpenInDropOrderWithoutTheFolder) {
    ViewerRun run;
    const std::wstring japanese = run.Write(Wide("\xE6\x97\xA5\xE6\x9C\xAC.md"), "# Nihon\r\n");
    const std::wstring umlaut = run.Write(Wide("\xC3\xA4.md"), "# Ae\r\n");
    const std::wstring folder = run.folder.Join(L"sub.md");
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(run.Start(""));
    PostMessageW(run.Tabs().window, WM_DROPFILES, reinterpret_cast<WPARAM>(DropRecord({umlaut, folder, japanese})), 0);
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(run.TabLabels(), "\xC3\xA4.md|\xE6\x97\xA5\xE6\x9C\xAC.md");
    EXPECT_EQ(OpenCount(run), 2);
    EXPECT_EQ(run.Dialog()->items.view.Count(), 1);
}

TEST(ViewerTabs, ManyRoundsOfOpenAndCloseLeaveNothingOpen) {
    ViewerRun run;
    const std::wstring a = run.Write(L"a.md", "# A\r\n\r\ntext\r\n");
    const std::wstring b = run.Write(L"b.md", "# B\r\n");
    ASSERT_TRUE(run.Start(""));
    for (int round = 0; round < 300; ++round) {
        run.Tabs().OpenDocument(TestSupport::W(round % 2 ? a : b));
        if (round % 3 == 0) run.Tabs().OpenDocument(TestSupport::W(a));
        while (OpenCount(run) > 0) run.Tabs().CloseDocumentTab(run.Tabs().CurrentDocumentTab());
    }
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(OpenCount(run), 0);
    EXPECT_EQ(run.TabLabels(), "*");
}
