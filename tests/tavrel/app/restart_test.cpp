// Restart (code 4352): the program is started again with "-g" and a file of
// every tab's pair line, and this window closes only after that start
// succeeded. A stand-in program takes Tavrel's place and writes down the
// command line it got.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "base/file_system.h"
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
    // The probe's record, once it holds the whole switch: a busy machine
    // may start the probe late, and a record may be seen before it is
    // complete.
    const std::wstring record = run.folder.Join(L"command_line.txt");
    std::wstring line;
    size_t switchAt = std::wstring::npos;
    auto whole = [&] {
        const std::vector<uint8_t> bytes = TestSupport::ReadFileBytes(record);
        line.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        switchAt = line.find(L" -g \"");
        return switchAt != std::wstring::npos && line.find(L'"', switchAt + 5) != std::wstring::npos;
    };
    ASSERT_TRUE(TestSupport::PumpUntil(whole, 30000)) << TestSupport::Utf8(line);
    const size_t start = switchAt + 5;
    const std::wstring file = line.substr(start, line.find(L'"', start) - start);
    EXPECT_EQ(TestSupport::Ws(run.Dialog().restartFile), file);
    // The restart's own first line, then one pair line per tab.
    const std::string text = TestSupport::FileText(file);
    EXPECT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0);
    EXPECT_NE(text.compare(3, 7, "@Group@"), 0);
    EXPECT_EQ(text.substr(text.find("\r\n") + 2), expected);
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

TEST(RestartTest, AUsersOwnFileOfARestartsNameIsReadAndKeptWithItsFolder) {
    AppRun run;
    run.WriteProfile();
    // A group file of the user's, named as a restart names its file, with a
    // folder of the hand-over's name that holds one of its files.
    wchar_t temporary[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temporary);
    const std::wstring base = std::wstring(temporary) + L"Tavrel_Restart_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_user";
    const std::wstring file = base + L".txt", inner = base + L"\\a.txt", b = run.folder.Join(L"b.txt");
    CreateDirectoryW(base.c_str(), nullptr);
    ASSERT_TRUE(TestSupport::WriteFileBytes(inner, "mine\r\n"));
    ASSERT_TRUE(TestSupport::WriteFileBytes(b, "text\r\n"));
    const std::string line = TestSupport::S(
        JobLayer::FormatTabPairLine(W(inner), W(b), JobLayer::StatusAll, JobLayer::JobEditFlags()));
    ASSERT_TRUE(TestSupport::WriteFileBytes(file, "\xEF\xBB\xBF" + line + "\r\n"));
    ASSERT_TRUE(run.Start(L"-g " + Quoted(file)));
    ASSERT_EQ(run.Views().tabBar.Count(), 1);
    EXPECT_EQ(TestSupport::Ws(run.Views().tabBar.CurrentJob()->Path(0)), inner);
    EXPECT_TRUE(run.Close());
    EXPECT_EQ(TestSupport::FileText(file), "\xEF\xBB\xBF" + line + "\r\n");
    EXPECT_EQ(TestSupport::FileText(inner), "mine\r\n");
    DeleteFileW(inner.c_str());
    RemoveDirectoryW(base.c_str());
    DeleteFileW(file.c_str());
}

TEST(RestartTest, TheStartedInstanceRemovesTheRestartsFilesAlsoWhenAHandedFileCannotMove) {
    // A handed clip file held by someone (it is copied instead), or with no
    // temporary folder to move it into (it is shown from where it is): the
    // pair file goes once read, and the hand-over folder at the latest when
    // the started instance closes.
    JobLayer::ShellCommandStore& environment = JobLayer::ShellCommandStore::Instance();
    for (const bool held : {true, false}) {
        SCOPED_TRACE(held ? "held" : "no temporary folder");
        if (environment.tempFolder.IsEmpty()) environment.tempFolder = JobLayer::MakeTempFolder();
        ASSERT_FALSE(environment.tempFolder.IsEmpty());
        TwoTabs run;
        ASSERT_TRUE(run.started);
        const std::wstring clip = TestSupport::Ws(environment.tempFolder) + L"\\clip.txt";
        ASSERT_TRUE(TestSupport::WriteFileBytes(clip, "clip text\r\n"));
        ASSERT_TRUE(OpenPairText(run.Views(), JobLayer::FormatTabPairLine(W(clip), W(run.folder.Join(L"d.txt")),
                                                                          JobLayer::StatusAll,
                                                                          JobLayer::JobEditFlags())));
        const RawLayer::RawString file = NewRestartFilePath();
        ASSERT_TRUE(WriteRestartFile(run.Views().tabBar, file));
        const std::wstring handOver = TestSupport::Ws(file).substr(0, TestSupport::Ws(file).size() - 4);
        const std::wstring handed = handOver + L"\\1.txt";
        ASSERT_TRUE(TestSupport::FileExists(handed));
        // The temporary folder goes with the window.
        ASSERT_TRUE(run.Close());
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (held) {
            environment.tempFolder = JobLayer::MakeTempFolder();
            holder = CreateFileW(handed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
        ASSERT_TRUE(run.Start(L"-g " + Quoted(TestSupport::Ws(file))));
        ASSERT_EQ(run.Views().tabBar.Count(), 3);
        // The side shows the handed text: from this instance's temporary
        // folder when it could be copied there.
        const std::wstring shown = TestSupport::Ws(run.Views().tabBar.CurrentJob()->Path(0));
        EXPECT_EQ(TestSupport::FileText(shown), "clip text\r\n");
        EXPECT_EQ(PathInsideFolder(W(shown), environment.tempFolder), held);
        EXPECT_FALSE(TestSupport::FileExists(TestSupport::Ws(file)));
        EXPECT_NE(TestSupport::Ws(JobLayer::GuiProfileStore::Instance().lastPairFile), TestSupport::Ws(file));
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        ASSERT_TRUE(run.Close());
        EXPECT_EQ(GetFileAttributesW(handOver.c_str()), INVALID_FILE_ATTRIBUTES);
        RawLayer::DeleteFolderTree(W(handOver));
    }
}
