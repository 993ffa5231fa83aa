// The backup dialog on the main window: a side saved by the SaveFile
// button, restored through command 4387, then a save overtaken by a change
// made outside, restored only when forced from the item dialog.
#include <windows.h>

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "backup_fixture.h"
#include "tavrel/jobs/text/line_unit.h"

using AppLayer::GuiBackupDialog;
using AppTest::AppRun;
using AppTest::Quoted;
using BackupTest::Contains;
using BackupTest::Press;
using BackupTest::PressForMessage;

namespace {

void EditFirstLine(JobLayer::JobGroupUnit& job, uint32_t side, const std::string& text) {
    JobLayer::JobContentList& content = job.Content(side);
    auto* line = dynamic_cast<JobLayer::JobLineUnit*>(content.At(0));
    ASSERT_NE(line, nullptr);
    line->SetText(RawLayer::RawString::FromText(text.c_str()).As(line->LineText().Kind()));
    content.flags = static_cast<uint16_t>(content.flags | JobLayer::ContentChanged);
    job.flags = static_cast<uint16_t>(job.flags | JobLayer::JobChanged);
}

GuiBackupDialog* DialogOf(HWND window) {
    return dynamic_cast<GuiBackupDialog*>(WinLayer::WinWindowRegistry::Instance().FindByHandle(window));
}

BOOL CALLBACK FindInner(HWND window, LPARAM record) {
    auto* pair = reinterpret_cast<std::pair<HWND, HWND>*>(record);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (window != pair->first && lstrcmpW(name, L"Tavrel_Undo") == 0) pair->second = window;
    return TRUE;
}

// Opens the backup dialog from the main window's button and runs the steps
// in it; the dialog is closed after them.
void WithBackupDialog(AppRun& run, const std::function<void(GuiBackupDialog&)>& steps) {
    bool opened = false;
    TestSupport::RunLater(300, [&] {
        GuiBackupDialog* dialog = DialogOf(AppTest::FindThreadWindow(L"Tavrel_Undo"));
        opened = dialog != nullptr;
        if (!dialog) return;
        steps(*dialog);
        Press(dialog->buttons[GuiBackupDialog::ButtonClose], GuiBackupDialog::CodeClose);
    });
    run.SendFrom(run.Views().buttons[AppLayer::BtnOpenBackup], 0);
    TestSupport::PumpUntilIdle(1000);
    EXPECT_TRUE(opened);
}

}  // namespace

TEST(BackupRoundTripTest, SavedSideComesBackAndAChangedOneOnlyWhenForced) {
    AppRun run;
    run.WriteProfile();
    const std::string original = "\xEF\xBB\xBF" "caf\xC3\xA9 one\r\nzwei \xC3\xBC\r\nthree\r\n";
    const std::wstring left = run.folder.Join(L"a.txt");
    const std::wstring right = run.folder.Join(L"b.txt");
    TestSupport::WriteFileBytes(left, original);
    TestSupport::WriteFileBytes(right, original);
    ASSERT_TRUE(run.Start(Quoted(left) + L" " + Quoted(right)));
    AppLayer::GuiViewSet& v = run.Views();
    JobLayer::JobGroupUnit* job = v.tabBar.CurrentJob();
    ASSERT_EQ(job->kind.kind, JobLayer::KindText);

    run.SendFrom(v.buttons[AppLayer::BtnEditable2], 0);
    ASSERT_EQ(job->edit.edit2, 1);
    EditFirstLine(*job, 1, "caf\xC3\xA9 edited");
    run.SendFrom(v.buttons[AppLayer::BtnSaveFile], 0);
    const std::string saved = TestSupport::FileText(right);
    ASSERT_NE(saved, original);
    ASSERT_EQ(saved.substr(0, 3), "\xEF\xBB\xBF");

    std::wstring message;
    WithBackupDialog(run, [&message](GuiBackupDialog& dialog) {
        dialog.list.MoveCursorTo(0);
        message = PressForMessage(dialog.buttons[GuiBackupDialog::ButtonRestore], GuiBackupDialog::CodeRestore);
    });
    EXPECT_TRUE(Contains(message, "Restore is succeeded."));
    EXPECT_EQ(TestSupport::FileText(right), original);

    // A second edit and save, then a change made outside the program.
    run.SendFrom(v.buttons[AppLayer::BtnReloadTab], 0);
    job = v.tabBar.CurrentJob();
    if (!job->edit.edit2) run.SendFrom(v.buttons[AppLayer::BtnEditable2], 0);
    EditFirstLine(*job, 1, "second edit");
    run.SendFrom(v.buttons[AppLayer::BtnSaveFile], 0);
    const std::string outside = "\xEF\xBB\xBFmade outside\r\n";
    TestSupport::WriteFileBytes(right, outside);

    std::wstring plain, forced;
    WithBackupDialog(run, [&](GuiBackupDialog& dialog) {
        dialog.list.MoveCursorTo(0);
        plain = PressForMessage(dialog.buttons[GuiBackupDialog::ButtonRestore], GuiBackupDialog::CodeRestore);
        TestSupport::RunLater(200, [&dialog, &forced] {
            std::pair<HWND, HWND> pair{dialog.window, nullptr};
            EnumThreadWindows(GetCurrentThreadId(), FindInner, reinterpret_cast<LPARAM>(&pair));
            GuiBackupDialog* items = DialogOf(pair.second);
            if (!items) return;
            Press(items->buttons[GuiBackupDialog::ButtonForce], 0);
            items->list.MoveCursorTo(0);
            forced = PressForMessage(items->buttons[GuiBackupDialog::ButtonRestore], GuiBackupDialog::CodeRestore);
            Press(items->buttons[GuiBackupDialog::ButtonClose], GuiBackupDialog::CodeClose);
        });
        Press(dialog.buttons[GuiBackupDialog::ButtonDetail], GuiBackupDialog::CodeDetail);
    });
    EXPECT_TRUE(Contains(plain, "Some items are skipped by inconsistent state."));
    EXPECT_TRUE(Contains(forced, "Restore is succeeded."));
    EXPECT_EQ(TestSupport::FileText(right), original);

    // The outside change is now the newest backup.
    JobLayer::JobBackupList& store = JobLayer::JobBackupList::Instance();
    ASSERT_GT(store.Count(), 0);
    const JobLayer::JobBackupUnit* newest = store.At(store.Count() - 1);
    ASSERT_EQ(newest->ItemList().Count(), 1);
    EXPECT_EQ(TestSupport::FileText(TestSupport::Ws(newest->ItemList().At(0)->KeptPath())), outside);
}

// Files whose paths are longer than the ANSI file functions take (300
// plain ASCII characters, made through the "\\?\" form as another system
// makes them): the pair opens and compares from the command line, an edited
// side saves, the file holds the edit and the backup the old text.
TEST(BackupRoundTripTest, FilesWithPathsLongerThanTheAnsiLimitLoadSaveAndAreBackedUp) {
    AppRun run;
    run.WriteProfile();
    std::wstring folder = run.folder.Path();
    for (wchar_t letter : {L'd', L'e'}) {
        folder += L"\\" + std::wstring(100, letter);
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
    }
    const size_t nameLength = 300 - folder.size() - 1;
    ASSERT_GT(nameLength, 8u);
    ASSERT_LT(nameLength, 200u);
    const std::wstring left = folder + L"\\" + std::wstring(nameLength - 4, L'l') + L".txt";
    const std::wstring right = folder + L"\\" + std::wstring(nameLength - 4, L'r') + L".txt";
    ASSERT_EQ(left.size(), 300u);
    const std::string original = "first line\r\nsame\r\n";
    ASSERT_TRUE(TestSupport::WriteFileRawPath(left, original));
    ASSERT_TRUE(TestSupport::WriteFileRawPath(right, "first other\r\nsame\r\n"));

    ASSERT_TRUE(run.Start(Quoted(left) + L" " + Quoted(right)));
    AppLayer::GuiViewSet& v = run.Views();
    JobLayer::JobGroupUnit* job = v.tabBar.CurrentJob();
    ASSERT_NE(job, nullptr);
    ASSERT_EQ(job->kind.kind, JobLayer::KindText);
    ASSERT_EQ(job->Content(0).Count(), 2);
    ASSERT_EQ(job->rows.At(1)->kind, JobLayer::RowSame);

    run.SendFrom(v.buttons[AppLayer::BtnEditable1], 0);
    ASSERT_EQ(job->edit.edit1, 1);
    EditFirstLine(*job, 0, "edited line");
    run.SendFrom(v.buttons[AppLayer::BtnSaveFile], 0);
    EXPECT_EQ(TestSupport::FileText(L"\\\\?\\" + left), "edited line\r\nsame\r\n");
    EXPECT_EQ(TestSupport::FolderNames(L"\\\\?\\" + folder),
              (std::set<std::wstring>{left.substr(folder.size() + 1), right.substr(folder.size() + 1)}));
    JobLayer::JobBackupList& store = JobLayer::JobBackupList::Instance();
    ASSERT_GT(store.Count(), 0);
    const JobLayer::JobBackupUnit* newest = store.At(store.Count() - 1);
    ASSERT_EQ(newest->ItemList().Count(), 1);
    EXPECT_EQ(TestSupport::FileText(TestSupport::Ws(newest->ItemList().At(0)->KeptPath())), original);
}
