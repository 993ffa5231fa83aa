// The main window: its children, the dispatcher's codes, status lines from
// other threads, and the alert. Checks the keyboard focus: USES_FOREGROUND.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app_fixture.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/current_tab.h"
#include "tavrel/app/detail_box.h"
#include "tavrel/app/main_command.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/shell_commands.h"
#include "toolkit/environment.h"

using AppTest::AppRun;
using AppTest::Quoted;
using namespace AppLayer;

namespace {

// A text pair: side 1 read whole, side 2 cut at the loading limit of 100
// bytes.
struct TextPairRun : AppRun {
    TextPairRun() {
        WriteProfile("MaxTextLoading=100\r\n");
        TestSupport::WriteFileBytes(folder.Join(L"a.txt"), std::string("one\r\ntwo\r\nthree\r\n"));
        std::string longer;
        for (int i = 0; i < 40; ++i) longer += "line " + std::to_string(i) + "\r\n";
        TestSupport::WriteFileBytes(folder.Join(L"b.txt"), longer);
        started = Start(Quoted(folder.Join(L"a.txt")) + L" " + Quoted(folder.Join(L"b.txt")));
    }
    // A click on a button: BN_CLICKED on the button's own window.
    void Click(GuiButton& button) { SendFrom(button, 0); }
    bool started = false;
};

}  // namespace

TEST(MainDialogTest, TwentyFiveChildrenInOrderAndAnEmptyFirstTab) {
    AppRun run;
    ASSERT_TRUE(run.Start(L""));
    GuiViewSet& v = run.Views();
    std::vector<WinLayer::WinView*> expected;
    for (GuiButton& button : v.buttons) expected.push_back(&button);
    for (WinLayer::WinView* view : std::initializer_list<WinLayer::WinView*>{
             &v.tabBar, &v.folderBox, &v.twinBar, &v.positionBar, &v.detail1, &v.detail2, &v.divider, &v.statusBox})
        expected.push_back(view);
    ASSERT_EQ(run.Dialog().children.Count(), 25);
    for (int32_t i = 0; i < 25; ++i) {
        WinLayer::WinView* child = run.Dialog().children.At(i);
        EXPECT_EQ(child, expected[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(child->controlId, static_cast<uint32_t>(2500 + i));
        EXPECT_EQ(GetDlgCtrlID(child->window), 2500 + i);
    }
    ASSERT_NE(v.tabBar.CurrentJob(), nullptr);
    EXPECT_EQ(v.tabBar.CurrentJob()->kind.kind, JobLayer::KindNone);
    EXPECT_EQ(GetFocus(), v.folderBox.window);
}

TEST(MainDialogTest, EditableFollowsTheEditingRule) {
    TextPairRun run;
    ASSERT_TRUE(run.started);
    GuiViewSet& v = run.Views();
    JobLayer::JobGroupUnit* job = v.tabBar.CurrentJob();
    ASSERT_EQ(job->kind.kind, JobLayer::KindText);
    ASSERT_TRUE(job->Content(1).flags & JobLayer::ContentCut);

    run.Click(v.buttons[BtnEditable1]);
    EXPECT_EQ(job->edit.edit1, 1);
    EXPECT_TRUE(v.buttons[BtnEditable1].checked);
    // A side cut at the limit is never made editable, and its button is off.
    run.Click(v.buttons[BtnEditable2]);
    EXPECT_EQ(job->edit.edit2, 0);
    EXPECT_FALSE(v.buttons[BtnEditable2].checked);
    EXPECT_FALSE(IsWindowEnabled(v.buttons[BtnEditable2].window));
    EXPECT_TRUE(IsWindowEnabled(v.buttons[BtnEditable1].window));
}

TEST(MainDialogTest, DispatcherIgnoresNoticesAndRefreshesOnUnknownCodes) {
    TextPairRun run;
    ASSERT_TRUE(run.started);
    GuiViewSet& v = run.Views();
    const HWND save = v.buttons[BtnSaveFile].window;
    ASSERT_TRUE(IsWindowEnabled(save));  // a text job
    EnableWindow(save, FALSE);
    run.SendFrom(v.folderBox, NotifyIgnored);
    EXPECT_FALSE(IsWindowEnabled(save));  // 4100 never reached the dispatcher
    // A code past the table (4405) only refreshes the buttons.
    run.SendFrom(v.folderBox, static_cast<uint16_t>(CmdShowStatus + 1));
    EXPECT_TRUE(IsWindowEnabled(save));
    // A new empty tab (kind none): nothing to save.
    run.SendFrom(v.tabBar, NotifyNewTabArea);
    EXPECT_EQ(v.tabBar.Count(), 2);
    EXPECT_FALSE(IsWindowEnabled(save));

    // Centring the cursor row while rows have no height yet.
    v.folderBox.lineStep = SIZE{0, 0};
    v.folderBox.cursor = 0;
    run.SendFrom(v.positionBar, CmdCentreCursor);
    EXPECT_TRUE(run.Window() != nullptr);
}

TEST(MainDialogTest, DisconnectTakesTheBoxSelectionFirst) {
    TextPairRun run;
    ASSERT_TRUE(run.started);
    GuiFolderBox& box = run.Views().folderBox;
    ASSERT_GE(box.Count(), 3);
    // Marks left on every row by an earlier drag; the box selects row 1.
    for (JobLayer::JobReportUnit& row : box.Job()->rows) row.flags |= JobLayer::RowMarked;
    box.ClearSelection();
    box.ItemAt(1)->flags |= WinLayer::WinListBoxItemUnit::ItemSelected;
    run.SendFrom(box, CmdDisconnect);
    for (int32_t i = 0; i < box.Count(); ++i) {
        const JobLayer::JobReportUnit* row = GuiFolderBox::ItemOf(*box.ItemAt(i));
        EXPECT_EQ((row->flags & JobLayer::RowMarked) != 0, i == 1) << i;
    }
}

TEST(MainDialogTest, StatusLinesFromAnotherThreadArriveOnceInOrder) {
    AppRun run;
    ASSERT_TRUE(run.Start(L""));
    GuiStatusBox& box = run.Views().statusBox;
    const int32_t before = box.Count();
    constexpr int kLines = 10000;
    std::thread reporter([] {
        for (int i = 0; i < kLines; ++i) {
            const std::string line = "line " + std::to_string(i);
            JobLayer::ShellCommandStore::Instance().Output()->Report(RawLayer::RawString::FromText(line.c_str()));
        }
    });
    TestSupport::PumpUntil([&box, before] { return box.Count() >= before + kLines; }, 20000);
    reporter.join();
    TestSupport::PumpUntilIdle();
    ASSERT_EQ(box.Count(), before + kLines);
    for (int i = 0; i < kLines; ++i) {
        const JobStatusUnit* unit = GuiStatusBox::ItemOf(*box.ItemAt(before + i));
        ASSERT_EQ(TestSupport::S(unit->text), "line " + std::to_string(i));
        ASSERT_EQ(unit->shown, 1);
    }
}

TEST(MainDialogTest, ReportsAfterTheWindowWentChangeNothing) {
    AppRun run;
    ASSERT_TRUE(run.Start(L""));
    GuiStatusBox& box = run.Views().statusBox;
    ASSERT_TRUE(run.Close());
    const int32_t reported = box.ReportedCount();
    const int32_t shown = box.Count();
    JobLayer::ReportError(RawLayer::RawString::FromText("ReadError"), RawLayer::RawString::FromText("C:\\x"));
    TestSupport::PumpUntilIdle();
    EXPECT_EQ(JobLayer::ShellCommandStore::Instance().Output(), nullptr);
    EXPECT_EQ(box.ReportedCount(), reported);
    EXPECT_EQ(box.Count(), shown);
}

TEST(MainDialogTest, AlertFlashesWithTheRealStructureSize) {
    AppRun run;
    ASSERT_TRUE(run.Start(L""));
    FLASHWINFO flash = AlertFlash(run.Window());
    SetLastError(0);
    FlashWindowEx(&flash);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(flash.uCount, 5u);
}

TEST(MainDialogTest, PlainPathsWithACommaOpenAsTheirPair) {
    AppRun run;
    run.WriteProfile();
    const std::wstring left = run.folder.Join(L"Reports, 2024");
    const std::wstring right = run.folder.Join(L"Reports, 2025");
    for (const std::wstring& side : {left, right}) {
        CreateDirectoryW(side.c_str(), nullptr);
        TestSupport::WriteFileBytes(side + L"\\a.txt", std::string("a\r\n"));
    }
    ASSERT_TRUE(run.Start(Quoted(left) + L" " + Quoted(right)));
    const JobLayer::JobGroupUnit* job = run.Views().tabBar.CurrentJob();
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->kind.kind, JobLayer::KindPath);
    EXPECT_EQ(TestSupport::Ws(job->Path(0)), left);
    EXPECT_EQ(TestSupport::Ws(job->Path(1)), right);
    EXPECT_EQ(run.Views().tabBar.Count(), 1);
}

TEST(MainDialogTest, FilterWordFollowsTheFourButtons) {
    TextPairRun run;
    ASSERT_TRUE(run.started);
    GuiViewSet& v = run.Views();
    JobLayer::JobGroupUnit* job = v.tabBar.CurrentJob();
    const bool states[][4] = {{false, false, false, false}, {true, false, true, false}, {false, true, false, true},
                              {true, true, true, true}};
    const uint16_t words[] = {0, 5, 10, 15};
    for (int c = 0; c < 4; ++c) {
        for (int i = 0; i < 4; ++i) v.FilterButton(i).checked = states[c][i];
        run.SendFrom(v.FilterButton(0), CmdFilter);
        EXPECT_EQ(job->statusMask, words[c]) << c;
    }
    // Rows of kinds the word leaves out are hidden in the box.
    v.FilterButton(0).checked = false;
    run.SendFrom(v.FilterButton(0), CmdFilter);
    for (int32_t i = 0; i < v.folderBox.Count(); ++i) {
        const WinLayer::WinListBoxItemUnit* unit = v.folderBox.ItemAt(i);
        const bool same = GuiFolderBox::ItemOf(*unit)->kind == JobLayer::RowSame;
        EXPECT_EQ((unit->flags & WinLayer::WinListBoxItemUnit::ItemHidden) != 0, same) << i;
    }
}

TEST(MainDialogTest, ASmallerDetailLineMovesTheViewsAboveAndBetween) {
    AppRun run;
    ASSERT_TRUE(run.Start(L""));
    GuiViewSet& v = run.Views();
    auto placed = [&run](WinLayer::WinView& view) {
        RECT rect{};
        GetWindowRect(view.window, &rect);
        MapWindowPoints(nullptr, run.Window(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    // The layout was made for lines 5 pixels higher than the shown font's.
    const uint32_t kind = JobLayer::ViewFontText;
    v.detailPair.lineHeight = MeasureLineHeight(v.detail1, JobLayer::GuiProfileStore::Instance().ViewFont(kind)) + 5;
    const RECT folder = placed(v.folderBox), twin = placed(v.twinBar), first = placed(v.detail1),
               second = placed(v.detail2);
    ApplyDetailKindFont(v, kind);  // 5 pixels less per line
    EXPECT_EQ(placed(v.folderBox).bottom, folder.bottom + 10);
    EXPECT_EQ(placed(v.folderBox).top, folder.top);
    EXPECT_EQ(placed(v.twinBar).top, twin.top + 10);
    EXPECT_EQ(placed(v.twinBar).bottom, twin.bottom + 10);
    EXPECT_EQ(placed(v.detail1).top, first.top + 10);
    EXPECT_EQ(placed(v.detail1).bottom, first.bottom + 5);
    EXPECT_EQ(placed(v.detail2).top, second.top + 5);
    EXPECT_EQ(placed(v.detail2).bottom, second.bottom);
    ApplyDetailKindFont(v, kind);
    EXPECT_EQ(placed(v.folderBox).bottom, folder.bottom + 10);
}

TEST(MainDialogTest, ANarrowWindowHidesThePushButtonsUnderTheToggles) {
    AppRun run;
    ASSERT_TRUE(run.Start(L""));
    GuiViewSet& v = run.Views();
    RECT before{};
    GetClientRect(run.Window(), &before);
    const LONG toggleGap = before.right - v.buttons[BtnOnly2].rect.right;
    RECT window{};
    GetWindowRect(run.Window(), &window);
    MoveWindow(run.Window(), window.left, window.top, 400, 500, TRUE);
    TestSupport::PumpUntilIdle();
    RECT client{};
    GetClientRect(run.Window(), &client);
    ASSERT_LT(client.right, before.right);
    // The toggles keep to the right edge, never narrower than their group.
    EXPECT_EQ(client.right - v.buttons[BtnOnly2].rect.right, toggleGap);
    EXPECT_GE(v.buttons[BtnEditable1].rect.left, 0);
    const LONG limit = v.buttons[BtnEditable1].rect.left;
    int hidden = 0;
    for (int32_t i = 0; i < kPushButtonCount; ++i) {
        GuiButton& button = v.buttons[i];
        EXPECT_EQ(IsWindowVisible(button.window) != 0, button.rect.left < limit) << i;
        EXPECT_EQ(button.ownEnabled, button.rect.right <= limit) << i;
        if (!IsWindowVisible(button.window)) ++hidden;
    }
    EXPECT_GT(hidden, 0);
    // The status box keeps to the bottom edge.
    EXPECT_EQ(client.bottom - v.statusBox.rect.bottom, WinLayer::WinEnvironment::Instance().margin);
}

TEST(MainDialogTest, KeysGoBackToTheFolderBoxOnItsSideAfterACommandButton) {
    AppRun run;
    run.WriteProfile();
    const std::string tail = "s3\r\ns4\r\ns5\r\ns6\r\ns7\r\ns8\r\ns9\r\n";
    TestSupport::WriteFileBytes(run.folder.Join(L"a.txt"), "s1\r\ns2\r\nleft\r\n" + tail);
    TestSupport::WriteFileBytes(run.folder.Join(L"b.txt"), "s1\r\ns2\r\nright\r\n" + tail);
    ASSERT_TRUE(run.Start(Quoted(run.folder.Join(L"a.txt")) + L" " + Quoted(run.folder.Join(L"b.txt"))));
    GuiViewSet& v = run.Views();
    GuiFolderBox& box = v.folderBox;
    SetForegroundWindow(run.Window());
    TestSupport::PumpUntilIdle();
    // A user's click: the button takes the focus, then clicks; the backup
    // dialog, when the command opens it, is closed from a timer. Whether
    // it came.
    auto click = [](GuiButton& button) {
        bool opened = false;
        TestSupport::RunLater(300, [&opened] {
            const HWND backups = AppTest::FindThreadWindow(L"Tavrel_Undo");
            opened = backups != nullptr;
            if (backups) PostMessageW(backups, WM_CLOSE, 0, 0);
        });
        SetFocus(button.window);
        SendMessageW(button.window, BM_CLICK, 0, 0);
        TestSupport::PumpUntilIdle(1000);
        TestSupport::PumpUntil([&opened] { return opened; }, 600);
        EXPECT_EQ(AppTest::FindThreadWindow(L"Tavrel_Undo"), nullptr);
        return opened;
    };
    // A key goes where a real key press goes: to the focus window.
    auto down = [&box] {
        const int32_t before = box.cursor;
        const HWND focus = GetFocus();
        SendMessageW(focus, WM_KEYDOWN, VK_DOWN, 0);
        SendMessageW(focus, WM_KEYUP, VK_DOWN, 0);
        TestSupport::PumpUntilIdle();
        return box.cursor > before;
    };

    click(v.buttons[BtnEditable1]);
    ASSERT_EQ(v.tabBar.CurrentJob()->edit.edit1, 1);
    int32_t differing = -1;
    for (int32_t i = 0; i < box.Count() && differing < 0; ++i) {
        if (GuiFolderBox::ItemOf(*box.ItemAt(i))->kind != JobLayer::RowSame) differing = i;
    }
    ASSERT_GE(differing, 0);
    box.SetCurrentSide(1);
    box.MoveCursorTo(differing);
    TestSupport::PumpUntilIdle();
    ASSERT_TRUE(IsWindowEnabled(v.buttons[BtnCopy2to1].window));

    const int buttons[] = {BtnCopy2to1, BtnOpenBackup, BtnDifferent, BtnSaveFile};
    for (int index : buttons) {
        EXPECT_EQ(click(v.buttons[index]), index == BtnOpenBackup) << index;
        EXPECT_EQ(GetFocus(), box.window) << index;
        EXPECT_EQ(box.CurrentSide(), 1u) << index;
        EXPECT_TRUE(down()) << index;
    }
    // The copy and the save did their work.
    EXPECT_EQ(TestSupport::FileText(run.folder.Join(L"a.txt")), "s1\r\ns2\r\nright\r\n" + tail);
}
