// Tavrel.exe as a process of its own, with its "BackupFolder" in the test's
// folder: backups of real saves are listed by its loader, restored through
// its backup dialog (command 4387), refused when the file changed since and
// restored when forced from the item dialog. The dialogs are driven with
// their own messages from this process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "backup_fixture.h"
#include "base/shell.h"
#include "support/process_window.h"

using BackupTest::Backups;
using BackupTest::Contains;
using JobLayer::JobBackupList;
using JobLayer::JobBackupUnit;

namespace {

// Control ids of the backup dialog's children, in creation order; the item
// dialog has no Detail button, so its Close and list come one earlier.
constexpr int kRestore = 2500, kForce = 2501, kDetail = 2504;

// How long a step of the other process may take: the whole suite runs in
// parallel, and a loaded machine may take many seconds for one message.
constexpr DWORD kStepLimitMs = 30000;

// A shown top-level window of the process with the class and title (either
// may be null), other than `avoid`.
HWND WaitWindow(DWORD process, const wchar_t* windowClass, const wchar_t* title, HWND avoid = nullptr) {
    TestSupport::WindowQuery query;
    query.process = process;
    query.windowClass = windowClass;
    query.title = title;
    query.avoid = avoid;
    return TestSupport::WaitProcessWindow(query, kStepLimitMs);
}

// Waits until the window is gone; false when it stayed.
bool WaitGone(HWND window) {
    const DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= kStepLimitMs) return false;
        Sleep(50);
    }
    return true;
}

// The copied program ends with the test whatever it asserted: left
// running it would keep the test's output open until the runner's time-out.
struct ProgramEnder {
    std::wstring program;
    ~ProgramEnder() { TestSupport::EndProcessesOf(program); }
};

void PostCode(HWND dialog, int id, uint16_t code) {
    PostMessageW(GetDlgItem(dialog, id), WM_COMMAND, MAKEWPARAM(id, code), 0);
}

// Selects the first entry of a dialog's list (the last child).
void SelectFirst(HWND dialog, int listId) {
    const HWND list = GetDlgItem(dialog, listId);
    PostMessageW(list, WM_KEYDOWN, VK_HOME, 0);
    PostMessageW(list, WM_KEYUP, VK_HOME, 0);
}

// Presses Restore; the message's texts, after it was answered.
std::wstring Restore(DWORD process, HWND dialog) {
    PostCode(dialog, kRestore, AppLayer::GuiBackupDialog::CodeRestore);
    const HWND message = WaitWindow(process, L"Class_InfoDialog", nullptr);
    if (!message) return std::wstring();
    const std::wstring text = BackupTest::ChildTexts(message);
    PostMessageW(message, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone(message));
    return text;
}

// The main window takes no close request while a dialog runs over it: the
// dialog must be gone before the program is closed.
void CloseDialog(HWND dialog, int closeId) {
    PostCode(dialog, closeId, AppLayer::GuiBackupDialog::CodeClose);
    EXPECT_TRUE(WaitGone(dialog));
}

std::wstring TavrelPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    folder = folder.substr(0, folder.rfind(L'\\'));
    return folder.substr(0, folder.rfind(L'\\')) + L"\\Tavrel.exe";
}

}  // namespace

TEST(BackupProgramTest, TavrelRestoresASaveAndAChangedFileOnlyWhenForced) {
    Backups b;
    const std::string original = "\xEF\xBB\xBF" "caf\xC3\xA9\r\nzwei \xC3\xBC\r\n";
    const std::wstring left = b.Put(L"left.txt", original);
    const std::wstring right = b.Put(L"right.txt", original);
    b.Save({{right, "\xEF\xBB\xBF" "edited\r\n"}});

    const std::wstring exe = b.temp.Join(L"Tavrel.exe");
    ASSERT_TRUE(CopyFileW(TavrelPath().c_str(), exe.c_str(), FALSE));
    const ProgramEnder ender{exe};
    TestSupport::WriteFileBytes(b.temp.Join(L"Tavrel.ini"),
                                "[Common]\r\nProgram=Tavrel\r\n[Option]\r\nBackupFolder=" + TestSupport::Utf8(b.root) + "\r\n");
    RawLayer::RawShell shell(TestSupport::W(exe));
    ASSERT_TRUE(shell.Execute(TestSupport::W(L"\"" + left + L"\" \"" + right + L"\""), RawLayer::RawString()));
    const DWORD process = shell.ProcessId();
    const HWND main = WaitWindow(process, nullptr, L"Tavrel");
    ASSERT_NE(main, nullptr);

    PostMessageW(main, WM_COMMAND, MAKEWPARAM(0, 4387), 0);
    HWND dialog = WaitWindow(process, L"Tavrel_Undo", nullptr);
    ASSERT_NE(dialog, nullptr);
    SelectFirst(dialog, 2506);
    EXPECT_TRUE(Contains(Restore(process, dialog), "Restore is succeeded."));
    CloseDialog(dialog, 2505);
    EXPECT_EQ(TestSupport::FileText(right), original);

    // A second save, then a change made outside: refused, then forced from
    // the item dialog.
    // Later than the restore's own backup, so that it is listed first.
    GetLocalTime(&b.now);
    JobBackupUnit* second = b.Save({{right, "\xEF\xBB\xBF" "second\r\n"}});
    ASSERT_TRUE(second);
    // The running program lists only what its loader read: this save is
    // seen by a new start.
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(shell.ProcessHandle(), kStepLimitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    const std::string outside = "\xEF\xBB\xBFmade outside\r\n";
    TestSupport::WriteFileBytes(right, outside);
    ASSERT_TRUE(shell.Execute(TestSupport::W(L"\"" + left + L"\" \"" + right + L"\""), RawLayer::RawString()));
    const DWORD again = shell.ProcessId();
    const HWND main2 = WaitWindow(again, nullptr, L"Tavrel");
    ASSERT_NE(main2, nullptr);
    PostMessageW(main2, WM_COMMAND, MAKEWPARAM(0, 4387), 0);
    dialog = WaitWindow(again, L"Tavrel_Undo", nullptr);
    ASSERT_NE(dialog, nullptr);
    SelectFirst(dialog, 2506);
    EXPECT_TRUE(Contains(Restore(again, dialog), "Some items are skipped by inconsistent state."));
    EXPECT_EQ(TestSupport::FileText(right), outside);

    PostCode(dialog, kDetail, AppLayer::GuiBackupDialog::CodeDetail);
    const HWND items = WaitWindow(again, L"Tavrel_Undo", nullptr, dialog);
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(GetDlgItem(items, 2506), nullptr);  // no Detail button: one child fewer
    PostCode(items, kForce, 0);
    SelectFirst(items, 2505);
    EXPECT_TRUE(Contains(Restore(again, items), "Restore is succeeded."));
    EXPECT_EQ(TestSupport::FileText(right), "\xEF\xBB\xBF" "caf\xC3\xA9\r\nzwei \xC3\xBC\r\n");
    CloseDialog(items, 2504);
    CloseDialog(dialog, 2505);

    PostMessageW(main2, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(shell.ProcessHandle(), kStepLimitMs), static_cast<DWORD>(WAIT_OBJECT_0));
    // The outside change is the newest backup on disk.
    JobBackupList reread;
    reread.SetOptions(TestSupport::W(b.root), 10, false);
    reread.Loader().LoadAndPurge();
    ASSERT_GT(reread.Count(), 0);
    const JobBackupUnit* newest = reread.At(reread.Count() - 1);
    ASSERT_EQ(newest->ItemList().Count(), 1);
    EXPECT_EQ(TestSupport::FileText(TestSupport::Ws(newest->ItemList().At(0)->KeptPath())), outside);
}

namespace {

// The backup folder name of a day counted back from today, at 12:00:00.
std::wstring DatedName(int daysBack) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    now.wHour = 12;
    now.wMinute = now.wSecond = now.wMilliseconds = 0;
    FILETIME time;
    SystemTimeToFileTime(&now, &time);
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart -= static_cast<ULONGLONG>(daysBack) * 864000000000ull;
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    SYSTEMTIME day;
    FileTimeToSystemTime(&time, &day);
    wchar_t name[32];
    wsprintfW(name, L"%04u%02u%02u_120000", day.wYear, day.wMonth, day.wDay);
    return name;
}

}  // namespace

TEST(BackupProgramTest, AnUnreadableBackupDaysKeepsTheDefaultAndLosesNoRecentBackup) {
    const std::wstring tavrel = TavrelPath();
    for (const char* days : {"abc", "", "-3"}) {
        TestSupport::TempFolder temp;
        const std::wstring root = temp.Join(L"Backups");
        CreateDirectoryW(root.c_str(), nullptr);
        // Today, yesterday and nine days back are within the default 10
        // days; forty days back is not, and its going shows the purge ran.
        const int kept[] = {0, 1, 9};
        for (const int back : kept) {
            const std::wstring folder = root + L"\\" + DatedName(back);
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
            TestSupport::WriteFileBytes(folder + L"\\a.txt", std::string("kept"));
        }
        const std::wstring expired = root + L"\\" + DatedName(40);
        ASSERT_TRUE(CreateDirectoryW(expired.c_str(), nullptr));

        const std::wstring exe = temp.Join(L"Tavrel.exe");
        ASSERT_TRUE(CopyFileW(tavrel.c_str(), exe.c_str(), FALSE));
        const ProgramEnder ender{exe};
        TestSupport::WriteFileBytes(temp.Join(L"Tavrel.ini"), "[Common]\r\nProgram=Tavrel\r\n[Option]\r\nBackupFolder=" +
                                                                   TestSupport::Utf8(root) + "\r\nBackupDays=" + days + "\r\n");
        RawLayer::RawShell shell(TestSupport::W(exe));
        ASSERT_TRUE(shell.Execute(RawLayer::RawString(), RawLayer::RawString()));
        const HWND main = WaitWindow(shell.ProcessId(), nullptr, L"Tavrel");
        ASSERT_NE(main, nullptr) << days;
        for (int i = 0; i < 200 && GetFileAttributesW(expired.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
        EXPECT_EQ(GetFileAttributesW(expired.c_str()), INVALID_FILE_ATTRIBUTES) << days;
        PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(WaitForSingleObject(shell.ProcessHandle(), kStepLimitMs), static_cast<DWORD>(WAIT_OBJECT_0)) << days;
        for (const int back : kept) {
            EXPECT_EQ(TestSupport::FileText(root + L"\\" + DatedName(back) + L"\\a.txt"), "kept")
                << "BackupDays=" << days << ", " << back << " days back";
        }
    }
}
