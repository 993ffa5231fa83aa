// The tab bar on the main window: captions, the never-empty strip, caption
// colours, dragging a tab, the tab menu, and the jobs the views may hold
// while tabs close. The tab menu is a popup menu, which takes the mouse and
// keyboard of the display: USES_FOREGROUND.
#include "tab_view_fixture.h"

#include "tavrel/app/job_environment.h"
#include "tavrel/app/tab_bar.h"
#include "toolkit/win_message.h"

namespace TabViewTest {
namespace {

using AppLayer::GuiTabBar;
using WinLayer::WinTabBarItemUnit;

BOOL CALLBACK AppendChildText(HWND child, LPARAM data) {
    wchar_t text[512] = {};
    GetWindowTextW(child, text, 512);
    *reinterpret_cast<std::wstring*>(data) += std::wstring(text) + L"|";
    return TRUE;
}

// The texts of a window's children, joined by "|".
std::wstring ChildTexts(HWND parent) {
    std::wstring texts;
    EnumChildWindows(parent, AppendChildText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

class TabBarTest : public MainWindowFixture {
protected:
    GuiTabBar& Bar() { return Views().tabBar; }
    std::string Caption(int32_t index) { return S(Bar().ItemAtIndex(index)->text); }
    COLORREF CaptionColour() {
        InvalidateRect(Bar().window, nullptr, FALSE);
        UpdateWindow(Bar().window);
        return Bar().current->textColour;
    }
    // A file pair in the folder, written with the two texts.
    std::pair<std::wstring, std::wstring> Pair(const std::wstring& name, const std::string& one,
                                               const std::string& two) {
        const std::wstring a = temp.Join(name + L"1.txt"), b = temp.Join(name + L"2.txt");
        EXPECT_TRUE(WriteFileBytes(a, one));
        EXPECT_TRUE(WriteFileBytes(b, two));
        return {a, b};
    }
    // With backups disabled, a pair whose side 1 has an edit: "z" typed at
    // the head of its first line.
    void OpenEditedPairWithoutBackups(const std::wstring& name, std::pair<std::wstring, std::wstring>& files) {
        OpenEditedPair(name, false, files);
    }
    // The same with backups on or off.
    void OpenEditedPair(const std::wstring& name, bool backups, std::pair<std::wstring, std::wstring>& files) {
        WriteProfile("", backups ? "BackupDisabled=False\r\n" : "BackupDisabled=True\r\n");
        files = Pair(name, "keep\n", "other\n");
        OpenPair(files.first, files.second);
        ASSERT_EQ(JobLayer::ConfigStore::Instance().backupDisabled, !backups);
        GuiFolderBox& box = Box();
        ASSERT_TRUE(AppLayer::SetSideEditable(box, 0, true));
        JobGroupUnit* job = Current();
        box.SetCurrentSide(0);
        job->side1.cursorRow = job->side1.anchorRow = 0;
        job->side1.cursorColumn = job->side1.anchorColumn = 0;
        SendMessageW(box.window, WM_CHAR, 'z', 0);
        ASSERT_TRUE(job->content1.flags & JobLayer::ContentChanged);
    }
    // The job shown by the box exists and is open, or is the spare job.
    ::testing::AssertionResult BoxJobIsAlive() {
        JobGroupUnit* shown = Box().Job();
        JobLayer::JobGroupList& list = JobLayer::JobGroupList::Instance();
        if (shown == list.ExtraJob()) return ::testing::AssertionSuccess();
        for (JobGroupUnit& job : list) {
            if (&job == shown) {
                if (job.IsClosed()) return ::testing::AssertionFailure() << "the box shows a closed job";
                return ::testing::AssertionSuccess();
            }
        }
        return ::testing::AssertionFailure() << "the box shows a job the list no longer holds";
    }
};

TEST_F(TabBarTest, CaptionsAndTheStripThatIsNeverEmpty) {
    EXPECT_EQ(S(AppLayer::PairCaption(P(L"C:\\a\\x.txt"), P(L"D:\\b\\X.TXT"))), "x.txt");
    EXPECT_EQ(S(AppLayer::PairCaption(RawLayer::RawString(), P(L"D:\\b\\y.txt"))), "*/y.txt");
    EXPECT_EQ(S(AppLayer::PairCaption(P(L"C:\\a\\x.txt"), P(L"D:\\b\\y.txt"))), "x.txt/y.txt");

    const auto files = Pair(L"p", "a\n", "b\n");
    OpenPair(files.first, files.second);
    JobGroupUnit* job = Current();
    ASSERT_NE(job, nullptr);
    const int32_t uses = job->useCount;
    // A second tab, then the first job again: its tab is selected, no new
    // reference is taken.
    JobGroupUnit* other = JobLayer::JobGroupList::Instance().CreateUnit(JobLayer::JobKindType::FromKind(3));
    Bar().InsertJob(nullptr, other);
    ASSERT_EQ(Bar().Count(), 2);
    Bar().InsertJob(nullptr, job);
    EXPECT_EQ(Bar().Count(), 2);
    EXPECT_EQ(Current(), job);
    EXPECT_EQ(job->useCount, uses);

    Bar().RemoveTab(Bar().FindItemByData(other));
    PumpUntilIdle();
    ASSERT_EQ(Bar().Count(), 1);
    // Removing the only tab leaves one empty tab.
    Bar().RemoveTab(Bar().current);
    PumpUntilIdle();
    ASSERT_EQ(Bar().Count(), 1);
    EXPECT_EQ(Caption(0), "*/*");
    EXPECT_EQ(Current()->kind.kind, JobLayer::KindNone);

    // Ctrl+W on the single tab: an empty tab again (a fresh job).
    Bar().LoadPair(P(files.first), P(files.second));
    ShowCurrentTab(Views());
    ASSERT_EQ(Caption(0), "p1.txt/p2.txt");
    SetModifiers(false, true, false);
    SendMessageW(Bar().window, WM_KEYDOWN, 'W', KeyLParam('W', false));
    SetModifiers(false, false, false);
    PumpUntilIdle();
    ASSERT_EQ(Bar().Count(), 1);
    EXPECT_EQ(Caption(0), "*/*");
    EXPECT_TRUE(BoxJobIsAlive());
}

TEST_F(TabBarTest, CaptionColourFollowsEqualityEditsSavesAndLoadedPairs) {
    const auto equal = Pair(L"e", "same\nlines\n", "same\nlines\n");
    OpenPair(equal.first, equal.second);
    EXPECT_EQ(CaptionColour(), kTabSame);

    // An edit makes the caption the modified colour; the same edit on the
    // other side and a save (4380) make the pair equal again.
    GuiFolderBox& box = Box();
    JobGroupUnit& job = *Current();
    for (uint32_t side = 0; side < 2; ++side) {
        ASSERT_TRUE(AppLayer::SetSideEditable(box, side, true));
        box.SetCurrentSide(side);
        JobLayer::JobSideRecord& record = job.Side(side);
        record.cursorRow = record.anchorRow = 0;
        record.cursorColumn = record.anchorColumn = 0;
        SendMessageW(box.window, WM_CHAR, 'x', 0);
        PumpUntilIdle();
        ASSERT_EQ(S(job.Content(side).At(0)->Text()), "xsame");
        EXPECT_EQ(CaptionColour(), kTabModified);
    }
    Command(AppLayer::CmdSaveFile);
    EXPECT_EQ(FileText(equal.first), "xsame\nlines\n");
    EXPECT_EQ(FileText(equal.second), "xsame\nlines\n");
    EXPECT_EQ(CaptionColour(), kTabSame);

    // LoadSide puts an equal pair into the tab: the equal colour.
    const auto second = Pair(L"f", "q\n", "q\n");
    Bar().LoadSide(0, P(second.first));
    Bar().LoadSide(1, P(second.second));
    ShowCurrentTab(Views());
    PumpUntilIdle();
    EXPECT_EQ(Caption(0), "f1.txt/f2.txt");
    EXPECT_EQ(CaptionColour(), kTabSame);
}

TEST_F(TabBarTest, DraggedTabLandsWhereDroppedAndKeepsItsJob) {
    const auto one = Pair(L"one", "1\n", "1\n");
    const auto two = Pair(L"two", "2\n", "2\n");
    const auto three = Pair(L"three", "3\n", "4\n");
    OpenPair(one.first, one.second);
    for (const auto& files : {two, three}) {
        Bar().InsertJob(nullptr, JobLayer::JobGroupList::Instance().FindOrOpenPair(P(files.first), P(files.second)));
    }
    PumpUntilIdle();
    ASSERT_EQ(Bar().Count(), 3);
    RECT client{};
    GetClientRect(Bar().window, &client);
    Bar().UpdateGeometry(client);
    auto middleOf = [&](int32_t index) {
        const WinTabBarItemUnit* item = Bar().ItemAtIndex(index);
        return static_cast<int>((item->left + item->right) / 2 - Bar().offset);
    };
    const int y = (client.top + client.bottom) / 2;
    JobGroupUnit* third = GuiTabBar::JobOf(Bar().ItemAtIndex(2));
    const int from = middleOf(2), to = middleOf(0);
    // A tab is dragged with a modifier held; a plain press pans the strip.
    SetModifiers(false, true, false);
    SendMouse(Bar().window, WM_LBUTTONDOWN, from, y, MK_LBUTTON | MK_CONTROL);
    SendMouse(Bar().window, WM_MOUSEMOVE, from - 8, y, MK_LBUTTON | MK_CONTROL);
    SendMouse(Bar().window, WM_MOUSEMOVE, to, y, MK_LBUTTON | MK_CONTROL);
    SendMouse(Bar().window, WM_LBUTTONUP, to, y, MK_CONTROL);
    SetModifiers(false, false, false);
    PumpUntilIdle();
    ASSERT_EQ(Bar().Count(), 3);
    EXPECT_EQ(GuiTabBar::JobOf(Bar().ItemAtIndex(0)), third);
    for (int32_t i = 0; i < 3; ++i) {
        const JobGroupUnit* job = GuiTabBar::JobOf(Bar().ItemAtIndex(i));
        EXPECT_EQ(Caption(i), S(AppLayer::PairCaption(job->Path(0), job->Path(1)))) << i;
    }
}

TEST_F(TabBarTest, ClosingTabsInEveryPositionLeavesTheBoxALiveJob) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (int i = 0; i < 5; ++i) {
        pairs.push_back(Pair(L"t" + std::to_wstring(i), "a\nb" + std::to_string(i) + "\n", "a\nc\n"));
    }
    OpenPair(pairs[0].first, pairs[0].second);
    for (size_t i = 1; i < pairs.size(); ++i) {
        Bar().InsertJob(nullptr,
                        JobLayer::JobGroupList::Instance().FindOrOpenPair(P(pairs[i].first), P(pairs[i].second)));
        PumpUntilIdle();
    }
    ASSERT_EQ(Bar().Count(), 5);
    Bar().SelectTab(Bar().ItemAtIndex(2));
    PumpUntilIdle();
    auto closeAt = [&](int32_t index) {
        Bar().RemoveTab(Bar().ItemAtIndex(index));
        PumpUntilIdle();
        Capture();
        EXPECT_TRUE(BoxJobIsAlive()) << "after closing tab " << index;
    };
    closeAt(2);                        // the current tab
    closeAt(0);                        // one before the current
    closeAt(Bar().Count() - 1);        // one after the current
    // The pair of the current tab replaced: the box leaves the old job.
    Bar().LoadSide(0, P(pairs[0].first));
    Capture();
    EXPECT_TRUE(BoxJobIsAlive()) << "after a replaced side";
    ShowCurrentTab(Views());
    closeAt(0);
    closeAt(0);                        // the only tab
    EXPECT_EQ(Bar().Count(), 1);
    // A menu choice for a tab that went meanwhile does nothing.
    WinTabBarItemUnit* gone = Bar().current;
    Bar().InsertJob(nullptr, JobLayer::JobGroupList::Instance().FindOrOpenPair(P(pairs[1].first),
                                                                              P(pairs[1].second)));
    Bar().RemoveTab(gone);
    PumpUntilIdle();
    const int32_t count = Bar().Count();
    PostMessageW(Bar().window, WinLayer::WinMessage::MenuCommand, 9, reinterpret_cast<LPARAM>(gone));
    PumpUntilIdle();
    EXPECT_EQ(Bar().Count(), count);
    // For a tab still there, "DeleteTab" closes it.
    Bar().InsertJob(nullptr, JobLayer::JobGroupList::Instance().FindOrOpenPair(P(pairs[2].first),
                                                                              P(pairs[2].second)));
    PumpUntilIdle();
    PostMessageW(Bar().window, WinLayer::WinMessage::MenuCommand, 9, reinterpret_cast<LPARAM>(Bar().current));
    PumpUntilIdle();
    EXPECT_EQ(Bar().Count(), count);
    EXPECT_TRUE(BoxJobIsAlive());
}

TEST_F(TabBarTest, TabMenuListsThePathsTheCommandsAndEveryTab) {
    const auto one = Pair(L"m", "1\n", "2\n");
    const auto two = Pair(L"n", "3\n", "3\n");
    OpenPair(one.first, one.second);
    Bar().InsertJob(nullptr, JobLayer::JobGroupList::Instance().FindOrOpenPair(P(two.first), P(two.second)));
    PumpUntilIdle();
    std::vector<std::wstring> texts, tabs;
    ModalWatchdog watchdog(10000);
    bool ran = false;
    HWND seenMenu = nullptr;
    RunLater(300, [&] {
        ran = true;
        const HWND menu = FindWindowW(L"#32768", nullptr);
        seenMenu = menu;
        const HMENU handle = menu ? reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)) : nullptr;
        for (int i = 0; handle && i < GetMenuItemCount(handle); ++i) {
            wchar_t text[512] = {};
            GetMenuStringW(handle, static_cast<UINT>(i), text, 512, MF_BYPOSITION);
            texts.push_back(text);
            if (HMENU sub = GetSubMenu(handle, i)) {
                for (int j = 0; j < GetMenuItemCount(sub); ++j) {
                    GetMenuStringW(sub, static_cast<UINT>(j), text, 512, MF_BYPOSITION);
                    tabs.push_back(text);
                }
            }
        }
        EndMenu();
    });
    // A popup menu opens for the foreground window only.
    SetForegroundWindow(Dialog().window);
    const WinTabBarItemUnit* first = Bar().ItemAtIndex(0);
    SendMouse(Bar().window, WM_RBUTTONDOWN, static_cast<int>((first->left + first->right) / 2 - Bar().offset), 8);
    PumpUntilIdle();
    if (!ran) PumpFor(600);
    ASSERT_TRUE(ran);
    ASSERT_NE(seenMenu, nullptr);
    ASSERT_EQ(texts.size(), 19u);
    EXPECT_EQ(texts[0], L"[1] " + one.first);
    EXPECT_EQ(texts[1], L"[2] " + one.second);
    EXPECT_EQ(texts[3], L"Copy side1 path to clipboard.");
    EXPECT_EQ(texts[10], L"Delete tab.");
    EXPECT_EQ(texts[18], L"Select specified tab.");
    EXPECT_EQ(tabs, (std::vector<std::wstring>{Ws(Bar().ItemAtIndex(0)->text), Ws(Bar().ItemAtIndex(1)->text)}));

    // The same menu from the keys' codes: 4358 the tab menu, 4359 the side
    // menu of the folder box.
    for (const uint16_t code : {uint16_t(4358), uint16_t(4359)}) {
        int items = 0;
        ran = false;
        RunLater(300, [&] {
            ran = true;
            // The shown menu window: an earlier one may linger hidden.
            HWND menu = nullptr;
            while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) && !IsWindowVisible(menu)) {
            }
            const HMENU handle = menu ? reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)) : nullptr;
            items = handle ? GetMenuItemCount(handle) : 0;
            EndMenu();
        });
        SetForegroundWindow(Dialog().window);
        SendMessageW(Dialog().window, WM_COMMAND, MAKEWPARAM(0, code), 0);
        PumpUntilIdle();
        if (!ran) PumpFor(600);
        ASSERT_TRUE(ran) << code;
        if (code == 4358) EXPECT_EQ(items, 19);
        else EXPECT_GT(items, 20) << code;
    }
}

TEST_F(TabBarTest, ClosingAnEditedTabWithoutBackupsAsksFirst) {
    std::pair<std::wstring, std::wstring> files;
    ASSERT_NO_FATAL_FAILURE(OpenEditedPairWithoutBackups(L"k", files));
    JobGroupUnit* job = Current();
    // Cancel: the tab and its edit stay.
    bool asked = false;
    ModalWatchdog watchdog(10000);
    RunLater(300, [&asked] {
        const HWND question = AppTest::FindThreadWindow(L"Class_InfoDialog");
        asked = question != nullptr;
        if (question) PostMessageW(question, WM_CLOSE, 0, 0);
    });
    Bar().RemoveTab(Bar().current);
    PumpUntilIdle();
    EXPECT_TRUE(asked);
    EXPECT_EQ(Current(), job);
    // Replacing a side of the pair asks the same, and Cancel keeps the job.
    asked = false;
    RunLater(300, [&asked] {
        const HWND question = AppTest::FindThreadWindow(L"Class_InfoDialog");
        asked = question != nullptr;
        if (question) PostMessageW(question, WM_CLOSE, 0, 0);
    });
    Bar().LoadSide(1, P(files.first));
    PumpUntilIdle();
    EXPECT_TRUE(asked);
    EXPECT_EQ(Current(), job);
    EXPECT_EQ(S(job->content1.At(0)->Text()), "zkeep");
    // Yes: the edit is saved, then the tab goes.
    RunLater(300, [] {
        const HWND question = AppTest::FindThreadWindow(L"Class_InfoDialog");
        RawLayer::RawParameterList press;
        press.SetText(RawLayer::RawString::FromText("Button"), RawLayer::RawString::FromText("Yes"));
        if (question) {
            WinLayer::WinMessage::SendPointer(question, WinLayer::WinMessage::PressButton, 0,
                                              reinterpret_cast<LPARAM>(&press));
        }
    });
    Bar().RemoveTab(Bar().current);
    PumpUntilIdle();
    EXPECT_EQ(FileText(files.first), "zkeep\n");
    EXPECT_EQ(Current()->kind.kind, JobLayer::KindNone);
    EXPECT_TRUE(BoxJobIsAlive());
}

TEST_F(TabBarTest, EachTabComesBackAtItsOwnVerticalPlace) {
    std::string longText;
    for (int i = 0; i < 300; ++i) longText += "line " + std::to_string(i) + "\n";
    const auto one = Pair(L"v", longText, longText + "x\n");
    const auto two = Pair(L"w", "y\n" + longText, longText);
    OpenPair(one.first, one.second);
    Bar().InsertJob(nullptr, JobLayer::JobGroupList::Instance().FindOrOpenPair(P(two.first), P(two.second)));
    PumpUntilIdle();
    ASSERT_EQ(Bar().Count(), 2);
    RECT client{};
    GetClientRect(Bar().window, &client);
    Bar().UpdateGeometry(client);
    auto clickTab = [&](int32_t index) {
        const WinTabBarItemUnit* item = Bar().ItemAtIndex(index);
        const int x = static_cast<int>((item->left + item->right) / 2 - Bar().offset);
        const int y = (client.top + client.bottom) / 2;
        SendMouse(Bar().window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        SendMouse(Bar().window, WM_LBUTTONUP, x, y, 0);
        PumpUntilIdle();
        Capture();
        EXPECT_EQ(Current(), GuiTabBar::JobOf(item));
    };
    auto pageDown = [&](int pages) {
        for (int i = 0; i < pages; ++i) SendMessageW(Box().window, WM_VSCROLL, SB_PAGEDOWN, 0);
        PumpUntilIdle();
        Capture();
        return Box().scroll.y;
    };
    clickTab(0);
    const LONG first = pageDown(3);
    ASSERT_GT(first, 0);
    clickTab(1);
    EXPECT_EQ(Box().scroll.y, 0);
    const LONG second = pageDown(1);
    ASSERT_GT(second, 0);
    ASSERT_NE(second, first);
    clickTab(0);
    EXPECT_EQ(Box().scroll.y, first);
    clickTab(1);
    EXPECT_EQ(Box().scroll.y, second);
}

TEST_F(TabBarTest, ReloadingAnEditedSideWithoutBackupsAsksFirst) {
    std::pair<std::wstring, std::wstring> files;
    ASSERT_NO_FATAL_FAILURE(OpenEditedPairWithoutBackups(L"r", files));
    static std::wstring texts;
    auto answer = [](const char* button, bool* asked) {
        RunLater(300, [button, asked] {
            const HWND question = AppTest::FindThreadWindow(L"Class_InfoDialog");
            *asked = question != nullptr;
            if (!question) return;
            texts = ChildTexts(question);
            RawLayer::RawParameterList press;
            press.SetText(RawLayer::RawString::FromText("Button"), RawLayer::RawString::FromText(button));
            WinLayer::WinMessage::SendPointer(question, WinLayer::WinMessage::PressButton, 0,
                                              reinterpret_cast<LPARAM>(&press));
        });
    };
    ModalWatchdog watchdog(20000);
    // Cancel: every reload that covers the edited side keeps the edit.
    for (const uint16_t code : {AppLayer::CmdReloadTab, AppLayer::CmdReloadAll, AppLayer::CmdReloadSide1}) {
        bool asked = false;
        answer("Cancel", &asked);
        Command(code);
        PumpUntilIdle();
        EXPECT_TRUE(asked) << code;
        // The question's two sentences stand on two lines.
        EXPECT_NE(texts.find(L"lost.\r\nSave them ?"), std::wstring::npos) << code;
        EXPECT_EQ(texts.find(L"\\n"), std::wstring::npos) << code;
        EXPECT_EQ(S(Current()->content1.At(0)->Text()), "zkeep") << code;
    }
    // The other side's reload has nothing to throw away: no question.
    bool asked = false;
    answer("Cancel", &asked);
    Command(AppLayer::CmdReloadSide2);
    PumpUntilIdle();
    PumpFor(500);
    EXPECT_FALSE(asked);
    EXPECT_EQ(S(Current()->content1.At(0)->Text()), "zkeep");
    // No: the edit goes and the file is read again.
    answer("No", &asked);
    Command(AppLayer::CmdReloadTab);
    PumpUntilIdle();
    EXPECT_TRUE(asked);
    EXPECT_EQ(S(Current()->content1.At(0)->Text()), "keep");
    EXPECT_EQ(FileText(files.first), "keep\n");
    EXPECT_FALSE(watchdog.Fired());
}

TEST_F(TabBarTest, EditsWhoseBackupFailsAreKeptUnlessTheUserDropsThem) {
    // The backup root lies under a regular file: no backup can be made.
    const std::wstring blocker = temp.Join(L"blocker");
    ASSERT_TRUE(WriteFileBytes(blocker, "a file, not a folder"));
    run.backups = blocker + L"\\Backups";
    std::pair<std::wstring, std::wstring> files;
    ASSERT_NO_FATAL_FAILURE(OpenEditedPair(L"b", true, files));
    JobGroupUnit* job = Current();

    struct Answer {
        bool asked = false;
        std::wstring texts;
    };
    auto answer = [](const char* button, Answer* seen) {
        *seen = Answer();
        RunLater(300, [button, seen] {
            const HWND question = AppTest::FindThreadWindow(L"Class_InfoDialog");
            seen->asked = question != nullptr;
            if (!question) return;
            seen->texts = ChildTexts(question);
            RawLayer::RawParameterList press;
            press.SetText(RawLayer::RawString::FromText("Button"), RawLayer::RawString::FromText(button));
            WinLayer::WinMessage::SendPointer(question, WinLayer::WinMessage::PressButton, 0,
                                              reinterpret_cast<LPARAM>(&press));
        });
    };
    ModalWatchdog watchdog(30000);
    Answer seen;
    // Keep: no reload (of the tab, a side or every tab), no closed tab, no
    // closed window.
    const int32_t tabs = Bar().Count();
    for (int step = 0; step < 5; ++step) {
        answer("Keep", &seen);
        if (step == 0) {
            Command(AppLayer::CmdReloadTab);
        } else if (step == 1) {
            Command(AppLayer::CmdReloadSide1);
        } else if (step == 2) {
            Command(AppLayer::CmdReloadAll);
        } else if (step == 3) {
            Bar().RemoveTab(Bar().current);
        } else {
            SendMessageW(Dialog().window, WM_CLOSE, 0, 0);
        }
        PumpUntilIdle();
        PumpFor(400);
        EXPECT_TRUE(seen.asked) << step;
        EXPECT_NE(seen.texts.find(L"failed: a discarded edit is lost.\r\nKeep them ?"), std::wstring::npos)
            << step;
        ASSERT_TRUE(IsWindow(Dialog().window)) << step;
        EXPECT_EQ(Bar().Count(), tabs) << step;
        ASSERT_EQ(Current(), job) << step;
        EXPECT_EQ(S(job->content1.At(0)->Text()), "zkeep") << step;
        EXPECT_TRUE(job->content1.flags & JobLayer::ContentChanged) << step;
        EXPECT_EQ(FileText(files.first), "keep\n") << step;
    }
    // Discard: the edit goes and the file is read again, unchanged.
    answer("Discard", &seen);
    Command(AppLayer::CmdReloadTab);
    PumpUntilIdle();
    PumpFor(400);
    EXPECT_TRUE(seen.asked);
    EXPECT_EQ(S(Current()->content1.At(0)->Text()), "keep");
    EXPECT_FALSE(Current()->content1.flags & JobLayer::ContentChanged);
    EXPECT_EQ(FileText(files.first), "keep\n");
    EXPECT_FALSE(watchdog.Fired());
}

}  // namespace
}  // namespace TabViewTest
