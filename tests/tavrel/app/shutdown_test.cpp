// Closing the main window: every tab's job released once, edits kept in a
// backup, the temporary folder gone, and the question that protects edits
// when backups are disabled.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_fixture.h"
#include "tavrel/app/tab_operations.h"
#include "tavrel/jobs/pair_line.h"
#include "tavrel/jobs/shell_commands.h"
#include "tavrel/jobs/text/line_unit.h"
#include "toolkit/win_message.h"

using AppTest::AppRun;
using AppTest::Quoted;
using namespace AppLayer;
using TestSupport::W;

namespace {

// Changes the first line of side 1 without saving it.
void EditFirstLine(JobLayer::JobGroupUnit& job, const char* text) {
    JobLayer::JobContentList& content = job.Content(0);
    auto* line = dynamic_cast<JobLayer::JobLineUnit*>(content.At(0));
    ASSERT_NE(line, nullptr);
    line->SetText(RawLayer::RawString::FromText(text).As(line->LineText().Kind()));
    content.flags = static_cast<uint16_t>(content.flags | JobLayer::ContentChanged);
    job.flags = static_cast<uint16_t>(job.flags | JobLayer::JobChanged);
}

// Whether a file under a folder holds the text.
bool SomeFileHolds(const std::wstring& folder, const std::string& text) {
    return TestSupport::AnyFileBelow(
        folder, [&](const std::wstring& path) { return TestSupport::FileText(path).find(text) != std::string::npos; },
        4);
}

// Folder, text and binary pairs in the program folder.
struct ThreeKinds {
    explicit ThreeKinds(AppRun& run) {
        for (const wchar_t* side : {L"L", L"R"}) {
            CreateDirectoryW(run.folder.Join(side).c_str(), nullptr);
            TestSupport::WriteFileBytes(run.folder.Join(side) + L"\\same.txt", std::string("same\r\n"));
        }
        TestSupport::WriteFileBytes(run.folder.Join(L"a.txt"), std::string("first\r\nsecond\r\n"));
        TestSupport::WriteFileBytes(run.folder.Join(L"b.txt"), std::string("first\r\nother\r\n"));
        TestSupport::WriteFileBytes(run.folder.Join(L"x.bin"), std::string("\x01\x02\x03", 3));
        TestSupport::WriteFileBytes(run.folder.Join(L"y.bin"), std::string("\x01\x07\x03", 3));
    }
    static RawLayer::RawString Pair(AppRun& run, const wchar_t* a, const wchar_t* b) {
        return JobLayer::FormatTabPairLine(W(run.folder.Join(a)), W(run.folder.Join(b)), JobLayer::StatusAll,
                                           JobLayer::JobEditFlags());
    }
};

}  // namespace

TEST(ShutdownTest, ThreeTabsReleaseEveryJobOnceAndKeepTheEdit) {
    AppRun run;
    run.WriteProfile();
    ThreeKinds files(run);
    ASSERT_TRUE(run.Start(Quoted(run.folder.Join(L"L")) + L" " + Quoted(run.folder.Join(L"R"))));
    GuiViewSet& v = run.Views();
    ASSERT_TRUE(OpenPairText(v, ThreeKinds::Pair(run, L"a.txt", L"b.txt")));
    JobLayer::JobGroupUnit* text = v.tabBar.CurrentJob();
    ASSERT_TRUE(OpenPairText(v, ThreeKinds::Pair(run, L"x.bin", L"y.bin")));
    ASSERT_EQ(v.tabBar.Count(), 3);
    const uint32_t kinds[3] = {JobLayer::KindPath, JobLayer::KindText, JobLayer::KindBinary};
    for (int32_t i = 0; i < 3; ++i) {
        const JobLayer::JobGroupUnit* job = GuiTabBar::JobOf(v.tabBar.ItemAtIndex(i));
        EXPECT_EQ(job->kind.kind, kinds[i]);
        EXPECT_EQ(job->useCount, 1);
    }
    EditFirstLine(*text, "edited and not saved");
    const std::wstring temp = TestSupport::Ws(JobLayer::ShellCommandStore::Instance().tempFolder);
    ASSERT_FALSE(temp.empty());
    ASSERT_TRUE(TestSupport::FileExists(temp));
    // A mark inside: a parallel test's program may claim the freed folder
    // name at once, so what must be gone is this folder's content.
    const std::wstring mark = temp + L"\\shutdown-mark.txt";
    ASSERT_TRUE(TestSupport::WriteFileBytes(mark, std::string("mark")));

    ASSERT_TRUE(run.Close());
    EXPECT_EQ(AppRun::OpenJobs(), 0);
    EXPECT_EQ(JobLayer::JobGroupList::Instance().Count(), 0);
    EXPECT_EQ(v.tabBar.Count(), 0);
    EXPECT_TRUE(SomeFileHolds(run.backups, "edited and not saved"));
    EXPECT_FALSE(TestSupport::FileExists(mark));
    EXPECT_EQ(JobLayer::ShellCommandStore::Instance().Output(), nullptr);
}

TEST(ShutdownTest, WithBackupsDisabledTheQuestionCanKeepTheWindow) {
    AppRun run;
    run.WriteProfile("BackupDisabled=True\r\n");
    ThreeKinds files(run);
    ASSERT_TRUE(run.Start(Quoted(run.folder.Join(L"a.txt")) + L" " + Quoted(run.folder.Join(L"b.txt"))));
    JobLayer::JobGroupUnit* job = run.Views().tabBar.CurrentJob();
    ASSERT_EQ(job->kind.kind, JobLayer::KindText);
    EditFirstLine(*job, "kept");

    bool asked = false;
    TestSupport::ModalWatchdog watchdog(10000);
    TestSupport::RunLater(300, [&asked] {
        const HWND question = AppTest::FindThreadWindow(L"Class_InfoDialog");
        asked = question != nullptr;
        // Closing the question is Cancel: stay.
        if (question) PostMessageW(question, WM_CLOSE, 0, 0);
    });
    SendMessageW(run.Window(), WM_CLOSE, 0, 0);
    TestSupport::PumpUntilIdle();
    EXPECT_TRUE(asked);
    ASSERT_NE(run.Window(), nullptr);
    EXPECT_EQ(run.Views().tabBar.CurrentJob(), job);
    EXPECT_TRUE(job->Content(0).flags & JobLayer::ContentChanged);
    auto* line = dynamic_cast<JobLayer::JobLineUnit*>(job->Content(0).At(0));
    EXPECT_EQ(TestSupport::S(line->LineText().As(RawLayer::KindUtf8)), "kept");
    EXPECT_EQ(TestSupport::FileText(run.folder.Join(L"a.txt")), "first\r\nsecond\r\n");

    // Answered "No": the window closes without saving.
    TestSupport::RunLater(300, [] {
        const HWND question = AppTest::FindThreadWindow(L"Class_InfoDialog");
        RawLayer::RawParameterList press;
        press.SetText(RawLayer::RawString::FromText("Button"), RawLayer::RawString::FromText("No"));
        if (question) {
            WinLayer::WinMessage::SendPointer(question, WinLayer::WinMessage::PressButton, 0,
                                              reinterpret_cast<LPARAM>(&press));
        }
    });
    EXPECT_TRUE(run.Close());
    EXPECT_EQ(TestSupport::FileText(run.folder.Join(L"a.txt")), "first\r\nsecond\r\n");
}
