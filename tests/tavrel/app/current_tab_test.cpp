// The current tab's commands on the main window: the filter word and the
// Simple byte from the buttons, what each job keeps across tab switches,
// reload, save with its backup, copy and delete lines, typed characters,
// and the divider.
#include "tab_view_fixture.h"

#include "tavrel/app/job_environment.h"
#include "tavrel/jobs/backup/backup_store.h"

namespace TabViewTest {
namespace {

using AppLayer::BtnSame;
using AppLayer::BtnSimple;
using WinLayer::WinListBoxItemUnit;

class CurrentTabTest : public MainWindowFixture {
protected:
    std::wstring File(const std::wstring& name, const std::string& text) {
        const std::wstring path = temp.Join(name);
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }
    // A text pair with every row kind: same, changed, only 1, only 2.
    void OpenMixedPair() {
        OpenPair(File(L"m1.txt", "same\nold\nonly one\nend\n"), File(L"m2.txt", "same\nnew\nend\nonly two\n"));
    }
    void SetFilterButtons(int bits) {
        for (int i = 0; i < 4; ++i) Views().buttons[BtnSame + i].checked = (bits >> i) & 1;
    }
    std::string LineText(uint32_t side, int32_t index) { return S(Current()->Content(side).At(index)->Text()); }
    void Type(wchar_t unit) { SendMessageW(Box().window, WM_CHAR, unit, 0); }
    void PlaceCaret(uint32_t side, int32_t row, int32_t column) {
        Box().SetCurrentSide(side);
        JobLayer::JobSideRecord& record = Current()->Side(side);
        record.cursorRow = record.anchorRow = row;
        record.cursorColumn = record.anchorColumn = column;
    }
};

TEST_F(CurrentTabTest, FilterButtonsGiveTheWordAndTheWordTheShownRows) {
    OpenMixedPair();
    const int32_t rows = Box().Count();
    ASSERT_GE(rows, 4);
    for (int bits = 0; bits < 16; ++bits) {
        SetFilterButtons(bits);
        Command(AppLayer::CmdFilter);
        const bool same = bits & 1, different = bits & 2, only1 = bits & 4, only2 = bits & 8;
        uint16_t expected = static_cast<uint16_t>((same ? 1 : 0) | (different ? 2 : 0) | 12);
        if (!only1) expected = static_cast<uint16_t>(expected & ~4);
        if (!only2) expected = static_cast<uint16_t>(expected & ~8);
        ASSERT_EQ(Current()->statusMask, expected) << bits;
        // Each row shows exactly when the word admits its kind.
        for (const WinListBoxItemUnit& unit : Box().items) {
            const auto* row = GuiFolderBox::ItemOf(unit);
            const bool shown = !(unit.flags & WinListBoxItemUnit::ItemHidden);
            ASSERT_EQ(shown, (expected & AppLayer::FilterBitOf(row->kind)) != 0) << bits << " kind " << row->kind;
        }
        // The buttons show the stored word.
        for (int i = 0; i < 4; ++i) ASSERT_EQ(Views().buttons[BtnSame + i].checked, ((expected >> i) & 1) != 0);
    }
    SetFilterButtons(0);
    Command(AppLayer::CmdFilter);
    EXPECT_EQ(ShownRows(), 0);
    SetFilterButtons(4);
    Command(AppLayer::CmdFilter);
    EXPECT_EQ(ShownRows(), 1);
    EXPECT_EQ(GuiFolderBox::ItemOf(*Box().ItemAt(ItemOfKind(JobLayer::RowOnly1)))->kind, JobLayer::RowOnly1);

    Views().buttons[BtnSimple].checked = true;
    Command(AppLayer::CmdSimple);
    EXPECT_EQ(Current()->edit.simple, 1);
    Views().buttons[BtnSimple].checked = false;
    Command(AppLayer::CmdSimple);
    EXPECT_EQ(Current()->edit.simple, 0);
}

TEST_F(CurrentTabTest, EachJobKeepsItsFilterButtonsAndHorizontalPlaceAcrossTabs) {
    OpenMixedPair();
    JobGroupUnit* first = Current();
    SetFilterButtons(1 | 4);
    Command(AppLayer::CmdFilter);
    PlaceCaret(1, 0, 0);
    first->side2.scrollX = 37;
    auto& bar = Views().tabBar;
    JobGroupUnit* second = JobLayer::JobGroupList::Instance().FindOrOpenPair(
        W(File(L"s1.txt", "a\nb\n")), W(File(L"s2.txt", "a\nc\n")));
    bar.InsertJob(nullptr, second);
    PumpUntilIdle();
    ASSERT_EQ(Box().Job(), second);
    EXPECT_EQ(second->statusMask, 15);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(Views().buttons[BtnSame + i].checked) << i;
    bar.SelectTab(bar.FindItemByData(first));
    PumpUntilIdle();
    ASSERT_EQ(Box().Job(), first);
    EXPECT_EQ(first->statusMask, 5);
    int32_t admitted = 0;
    for (const JobLayer::JobReportUnit& row : first->rows) {
        if (row.kind == JobLayer::RowSame || row.kind == JobLayer::RowOnly1) ++admitted;
    }
    EXPECT_EQ(ShownRows(), admitted);
    const bool expected[4] = {true, false, true, false};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Views().buttons[BtnSame + i].checked, expected[i]) << i;
    EXPECT_EQ(first->side2.scrollX, 37);
    EXPECT_EQ(Box().CurrentSide(), 1u);
}

TEST_F(CurrentTabTest, ReloadShowsTheNewContentAndKeepsTheScroll) {
    std::string lines;
    for (int i = 0; i < 300; ++i) lines += "line " + std::to_string(i) + "\n";
    const std::wstring a = File(L"r1.txt", lines), b = File(L"r2.txt", lines);
    OpenPair(a, b);
    Box().scroll.y = Box().RowHeight() * 100;
    Box().ClampScroll();
    const LONG scrolled = Box().scroll.y;
    ASSERT_GT(scrolled, 0);
    ASSERT_TRUE(WriteFileBytes(b, "line 0\nchanged\n" + lines.substr(lines.find("line 2\n"))));
    Command(AppLayer::CmdReloadTab);
    EXPECT_EQ(Box().scroll.y, scrolled);
    EXPECT_EQ(S(Current()->content2.At(1)->Text()), "changed");
    EXPECT_GE(ItemOfKind(JobLayer::RowChanged), 0);
}

TEST_F(CurrentTabTest, SaveWritesTheSideAndKeepsTheOldFileInADatedBackup) {
    const std::wstring a = File(L"v1.txt", "first\nsecond\n"), b = File(L"v2.txt", "first\n");
    OpenPair(a, b);
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    PlaceCaret(0, 1, 0);
    Type(L'N');
    Command(AppLayer::CmdSaveFile);
    EXPECT_EQ(FileText(a), "first\nNsecond\n");
    // One dated folder under the configured root holds the old file.
    bool found = false;
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW((temp.Join(L"Backups") + L"\\*").c_str(), &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        SYSTEMTIME time{};
        if (!JobLayer::ParseBackupFolderName(W(entry.cFileName), time)) continue;
        const std::wstring folder = temp.Join(L"Backups") + L"\\" + entry.cFileName;
        WIN32_FIND_DATAW inner{};
        HANDLE files = FindFirstFileW((folder + L"\\*").c_str(), &inner);
        if (files == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring path = folder + L"\\" + inner.cFileName;
            if (!(inner.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && FileText(path) == "first\nsecond\n") found = true;
        } while (FindNextFileW(files, &inner));
        FindClose(files);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    EXPECT_TRUE(found);
}

TEST_F(CurrentTabTest, CopyAndDeleteLinesActOnExactlyTheSelectedRows) {
    const std::wstring a = File(L"c1.txt", "a\nb\nc\nd\n"), b = File(L"c2.txt", "a\nb\nc\nd\n");
    OpenPair(a, b);
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 1, true));
    Box().ClearSelection();
    Command(AppLayer::CmdDeleteLine1);
    Command(AppLayer::CmdCopy2to1);
    EXPECT_EQ(Current()->content1.Count(), 4);
    EXPECT_FALSE(Current()->content1.flags & JobLayer::ContentChanged);
    // Rows 1 and 2 selected: only lines "b" and "c" of side 1 go.
    Box().ItemAt(1)->flags |= WinListBoxItemUnit::ItemSelected;
    Box().ItemAt(2)->flags |= WinListBoxItemUnit::ItemSelected;
    Command(AppLayer::CmdDeleteLine1);
    ASSERT_EQ(Current()->content1.Count(), 2);
    EXPECT_EQ(LineText(0, 0), "a");
    EXPECT_EQ(LineText(0, 1), "d");
    EXPECT_EQ(Current()->content2.Count(), 4);
}

TEST_F(CurrentTabTest, TypedCharactersReachTheLineWhole) {
    OpenPair(File(L"t1.txt", "ab\n"), File(L"t2.txt", "ab\n"));
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    PlaceCaret(0, 0, 1);
    Type(0x01);
    Type(0x1B);
    EXPECT_EQ(LineText(0, 0), "ab");
    Type(0xE9);
    Type(0x3042);
    Type(0xD83D);
    Type(0xDE00);
    const RawLayer::RawString text = Current()->content1.At(0)->Text();
    EXPECT_EQ(Ws(text), L"a\u00e9\u3042\U0001F600b");
}

TEST_F(CurrentTabTest, TypingAfterTheFilterHidTheCursorRowEditsAShownLine) {
    OpenMixedPair();
    ASSERT_TRUE(AppLayer::SetSideEditable(Box(), 0, true));
    // Every click on a side-1 line, then a filter that hides the "Same" rows:
    // the typed character lands in a shown line, never in a hidden one.
    for (int32_t clicked = 0; clicked < Box().Count(); ++clicked) {
        SetFilterButtons(15);
        Command(AppLayer::CmdFilter);
        std::vector<std::string> before;
        for (int32_t i = 0; i < Current()->content1.Count(); ++i) before.push_back(LineText(0, i));
        const RECT row = RowRect(clicked);
        const LPARAM at = MAKELPARAM(Box().GetDividingPoint() / 2, (row.top + row.bottom) / 2);
        SendMessageW(Box().window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(Box().window, WM_LBUTTONUP, 0, at);
        ASSERT_EQ(Current()->side1.cursorRow, clicked);
        SetFilterButtons(2 | 4 | 8);
        Command(AppLayer::CmdFilter);
        const int32_t cursorRow = Current()->side1.cursorRow;
        const WinListBoxItemUnit* cursorItem = cursorRow >= 0 ? Box().ItemAt(cursorRow) : nullptr;
        EXPECT_TRUE(cursorRow == -1 || (cursorItem && cursorItem->Reachable())) << clicked;
        std::vector<bool> hidden;
        for (int32_t i = 0; i < Current()->content1.Count(); ++i) {
            const int32_t index = JobGroupUnit::RowOfUnit(Current(), 0, i);
            hidden.push_back(index < 0 || !Box().ItemAt(index)->Reachable());
        }
        Type(L'X');
        PumpUntilIdle();
        ASSERT_EQ(static_cast<size_t>(Current()->content1.Count()), before.size());
        for (size_t i = 0; i < before.size(); ++i) {
            if (hidden[i]) {
                EXPECT_EQ(LineText(0, static_cast<int32_t>(i)), before[i]) << clicked;
            }
        }
    }
}

TEST_F(CurrentTabTest, TwinBarRequestsScrollASideWithinItsContent) {
    const std::string wide(400, 'w');
    OpenPair(File(L"h1.txt", "short\n" + wide + "\n"), File(L"h2.txt", "short\n"));
    GuiFolderBox& box = Box();
    AppLayer::GuiTwinScrollBar& bar = Views().twinBar;
    const JobLayer::JobSideRecord& side1 = Current()->side1;
    auto request = [&](int32_t side, int32_t step, int32_t target) {
        {
            AppLayer::SectionLock hold(bar.lock);
            bar.activeSide = side;
            bar.step = step;
            bar.target = target;
        }
        SendMessageW(box.window, WM_COMMAND, MAKEWPARAM(box.controlId, AppLayer::CmdTwinBarNotice), 0);
    };
    int32_t content = 0, visible = 0;
    {
        AppLayer::SectionLock hold(bar.lock);
        content = bar.halves[0].maximum;
        visible = bar.halves[0].end - bar.halves[0].position;
    }
    ASSERT_GT(content, visible);
    request(0, 0, 30);
    EXPECT_EQ(side1.scrollX, 30);
    request(0, 1, 0);
    EXPECT_EQ(side1.scrollX, std::min(30 + box.View().viewWidth, content - visible));
    request(0, 0, 1 << 30);
    EXPECT_EQ(side1.scrollX, content - visible);
    request(0, -100, 0);
    EXPECT_EQ(side1.scrollX, 0);
    {
        AppLayer::SectionLock hold(bar.lock);
        EXPECT_EQ(bar.halves[0].position, 0);
    }
    // Side 2 fits: its offset goes to content - visible, below 0.
    request(1, 1, 0);
    EXPECT_LT(Current()->side2.scrollX, 0);
}

TEST_F(CurrentTabTest, DividerFollowsADragThatEndsWithTheCaptureAndResetsOnSize) {
    OpenPair(File(L"d1.txt", "left side line\n"), File(L"d2.txt", "right side line\n"));
    GuiFolderBox& box = Box();
    HWND window = box.window;
    const int32_t d = box.GetDividingPoint();
    const int32_t lastBefore = Current()->side1.layoutWidth[1];
    const int y = 40;
    SendMouse(window, WM_MOUSEMOVE, d, y);
    SendMouse(window, WM_LBUTTONDOWN, d, y, MK_LBUTTON);
    SendMouse(window, WM_MOUSEMOVE, d + 25, y, MK_LBUTTON);
    SendMouse(window, WM_MOUSEMOVE, d + 50, y, MK_LBUTTON);
    SendMouse(window, WM_LBUTTONUP, d + 50, y);
    PumpUntilIdle();
    EXPECT_EQ(box.GetDividingPoint(), d + 50);
    // 4361 measured the columns again at the new point.
    EXPECT_EQ(Current()->side1.layoutWidth[1], lastBefore + 50);
    // A drag that loses its end to WM_CANCELMODE stops following the mouse.
    const int32_t d2 = box.GetDividingPoint();
    SendMouse(window, WM_MOUSEMOVE, d2, y);
    SendMouse(window, WM_LBUTTONDOWN, d2, y, MK_LBUTTON);
    SendMouse(window, WM_MOUSEMOVE, d2 - 20, y, MK_LBUTTON);
    SendMessageW(window, WM_CANCELMODE, 0, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    SendMouse(window, WM_MOUSEMOVE, d2 - 80, y);
    SendMouse(window, WM_MOUSEMOVE, d2 - 90, y);
    EXPECT_EQ(box.GetDividingPoint(), d2 - 20);
    // WM_SIZE: the point in the middle, both sides at their left end.
    Current()->side1.scrollX = 12;
    Current()->side2.scrollX = 7;
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    MoveWindow(window, rect.left, rect.top, rect.right - rect.left - 40, rect.bottom - rect.top, TRUE);
    PumpUntilIdle();
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(box.GetDividingPoint(), (client.left + client.right) / 2);
    EXPECT_EQ(Current()->side1.scrollX, 0);
    EXPECT_EQ(Current()->side2.scrollX, 0);
}

}  // namespace
}  // namespace TabViewTest
