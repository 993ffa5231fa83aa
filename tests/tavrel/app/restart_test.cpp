// Restart (code 4352): the program is started again with "-g" and a file of
// every tab's pair line, and this window closes only after that start
// succeeded. A stand-in program takes Tavrel's place and writes down the
// command line it got.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/tab_operations.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/pair_line.h"
#include "tavrel/jobs/shell_commands.h"

using AppTest::AppRun;
using AppTest::Quoted;
using namespace AppLayer;
using TestSupport::W;

namespace {

std::wstring BesideTest(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1) + name;
}

// Two tabs: a/b and c/d.
struct TwoTabs : AppRun {
    TwoTabs() {
        WriteProfile();
        for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt", L"d.txt"})
            TestSupport::WriteFileBytes(folder.Join(name), std::string("text\r\n"));
        started = Start(Quoted(folder.Join(L"a.txt")) + L" " + Quoted(folder.Join(L"b.txt"))) &&
                  OpenPairText(Views(), Line(L"c.txt", L"d.txt"));
    }
    RawLayer::RawString Line(const wchar_t* a, const wchar_t* b) {
        return JobLayer::FormatTabPairLine(W(folder.Join(a)), W(folder.Join(b)), JobLayer::StatusAll,
                                           JobLayer::JobEditFlags());
    }
    void PostRestart() { PostMessageW(Window(), WM_COMMAND, MAKEWPARAM(0, CmdRestart), 0); }
    bool started = false;
};

}  // namespace

TEST(RestartTest, StartsAgainWithAGroupFileOfBothTabsThenCloses) {
    TwoTabs run;
    ASSERT_TRUE(run.started);
    ASSERT_EQ(run.Views().tabBar.Count(), 2);
    const std::wstring probe = run.folder.Join(L"probe.exe");
    ASSERT_TRUE(CopyFileW(BesideTest(L"quenby_probe.exe").c_str(), probe.c_str(), FALSE));
    run.Dialog().restartProgram = W(probe);
    const std::string expected = TestSupport::S(run.Line(L"a.txt", L"b.txt")) + "\r\n" +
                                 TestSupport::S(run.Line(L"c.txt", L"d.txt")) + "\r\n";
    const std::wstring temp = TestSupport::Ws(JobLayer::ShellCommandStore::Instance().tempFolder);
    ASSERT_FALSE(temp.empty());
    const HWND window = run.Window();
    run.PostRestart();
    run.PostRestart();
    EXPECT_TRUE(TestSupport::PumpUntil([window] { return !IsWindow(window); }, 5000));
    const std::wstring record = run.folder.Join(L"command_line.txt");
    EXPECT_TRUE(TestSupport::PumpUntil([&record] { return TestSupport::FileExists(record); }, 10000));
    const std::vector<uint8_t> bytes = TestSupport::ReadFileBytes(record);
    const std::wstring line(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    const size_t switchAt = line.find(L" -g \"");
    ASSERT_NE(switchAt, std::wstring::npos) << TestSupport::Utf8(line);
    const size_t start = switchAt + 5;
    const std::wstring file = line.substr(start, line.find(L'"', start) - start);
    EXPECT_EQ(TestSupport::Ws(run.Dialog().restartFile), file);
    EXPECT_EQ(TestSupport::FileText(file), "\xEF\xBB\xBF" + expected);
    // Outside this instance's temporary folder, which went with the window.
    EXPECT_EQ(file.find(temp), std::wstring::npos);
    DeleteFileW(file.c_str());
}

TEST(RestartTest, AFailedStartKeepsTheWindowAndItsTabs) {
    TwoTabs run;
    ASSERT_TRUE(run.started);
    run.Dialog().restartProgram = W(run.folder.Join(L"missing\\Tavrel.exe"));
    run.PostRestart();
    TestSupport::PumpUntilIdle(2000);
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_EQ(run.Views().tabBar.Count(), 2);
    EXPECT_EQ(run.Dialog().restarting, 0);
    EXPECT_TRUE(run.Dialog().restartFile.IsEmpty());
}

TEST(RestartTest, TheStartedInstanceDeletesTheHandedFileAndDoesNotRememberIt) {
    AppRun run;
    run.WriteProfile();
    for (const wchar_t* name : {L"a.txt", L"b.txt"})
        TestSupport::WriteFileBytes(run.folder.Join(name), std::string("text\r\n"));
    // Where and how a restart names the file it hands over.
    wchar_t temporary[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temporary);
    const std::wstring file = std::wstring(temporary) + L"Tavrel_Restart_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_1.txt";
    const std::string line = TestSupport::S(JobLayer::FormatTabPairLine(
        W(run.folder.Join(L"a.txt")), W(run.folder.Join(L"b.txt")), JobLayer::StatusAll, JobLayer::JobEditFlags()));
    ASSERT_TRUE(TestSupport::WriteFileBytes(file, "\xEF\xBB\xBF" + line + "\r\n"));
    ASSERT_TRUE(run.Start(L"-g " + Quoted(file)));
    ASSERT_EQ(run.Views().tabBar.Count(), 1);
    EXPECT_EQ(TestSupport::Ws(run.Views().tabBar.CurrentJob()->Path(1)), run.folder.Join(L"b.txt"));
    EXPECT_FALSE(TestSupport::FileExists(file));
    EXPECT_NE(TestSupport::Ws(JobLayer::GuiProfileStore::Instance().lastPairFile), file);
    DeleteFileW(file.c_str());
}
