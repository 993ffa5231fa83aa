// Closing the main window while the backup loader purges expired backups:
// the loader is stopped and joined at once. (Its own process: the loader
// starts once per process.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"

using AppTest::AppRun;

TEST(LoaderStopTest, CloseJoinsTheLoaderWithinTwoSecondsDuringAPurge) {
    AppRun run;
    run.WriteProfile("BackupDays=1\r\n");
    CreateDirectoryW(run.backups.c_str(), nullptr);
    constexpr int kExpired = 2000;
    for (int i = 0; i < kExpired; ++i) {
        wchar_t name[32];
        wsprintfW(name, L"\\2001%02d%02d_%02d%02d%02d", 1 + i % 12, 1 + i % 28, i / 3600 % 24, i / 60 % 60, i % 60);
        const std::wstring folder = run.backups + name;
        CreateDirectoryW(folder.c_str(), nullptr);
        TestSupport::WriteFileBytes(folder + L"\\a.txt", std::string("old"));
        TestSupport::WriteFileBytes(folder + L"\\Backup.ini", std::string("[Backup]\r\n"));
    }
    ASSERT_TRUE(run.Start(L""));
    const DWORD start = GetTickCount();
    ASSERT_TRUE(run.Close());
    // A generous bound for a loaded machine: the folders left below show
    // that the purge stopped early.
    EXPECT_LT(GetTickCount() - start, 10000u);
    // The close came while the purge was still going: folders remain.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((run.backups + L"\\2001*").c_str(), &data);
    int remaining = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do ++remaining;
        while (FindNextFileW(find, &data));
        FindClose(find);
    }
    EXPECT_GT(remaining, 0);
}
