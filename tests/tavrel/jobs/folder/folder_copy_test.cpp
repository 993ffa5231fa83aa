// Copy and delete of selected folder rows on real folders, with the backup
// root in a temporary folder: rows brought up to date, the backup restoring
// the previous state, and the commands that must be refused.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/file_system.h"
#include "support/job_support.h"
#include "support/test_support.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/folder/folder_copy.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::FileExists;
using TestSupport::ReadFileBytes;
using TestSupport::TempFolder;
using TestSupport::Utf8;
using TestSupport::WriteFileBytes;

using TestSupport::W;
using TestSupport::Ws;
using TestSupport::S;
using TestSupport::FileText;
using TestSupport::kBaseTime;
using TestSupport::SetWriteTime;
using TestSupport::WriteTimeOf;
using TestSupport::PutFile;

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The folder fixture with backups to a folder of their own.
class FolderCopyTest : public TestSupport::FolderJobFixture {
protected:
    void SetUp() override {
        FolderJobFixture::SetUp();
        root = work.Join(L"Backups");
        store.SetOptions(W(root), 10, false);
    }
    void TearDown() override {
        FolderJobFixture::TearDown();
        // Read-only copies would outlive the temporary folder.
        for (const std::wstring& path : readOnly) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    JobGroupUnit* Open(const std::wstring& a, const std::wstring& b) {
        JobGroupUnit* job = JobGroupList::Instance().OpenPair(W(a), W(b));
        if (job) {
            job->edit.edit1 = 1;
            job->edit.edit2 = 1;
        }
        return job;
    }
    // Selects the rows whose entry on either side has the name.
    static void Select(JobGroupUnit* job, const char* name) {
        for (JobReportUnit& row : job->rows)
            if (S(row.unit1->Text()) == name || S(row.unit2->Text()) == name) row.flags |= RowMarked;
    }
    static std::string CommentText(const JobBackupUnit* backup, const RawString& key) {
        return S(backup->Comment().GetText(key));
    }

    std::wstring root;
    JobBackupList store;
    std::vector<std::wstring> readOnly;
};

}  // namespace

TEST_F(FolderCopyTest, CopyMakesRowsSameAndTheBackupRestores) {
    PutFile(left + L"\\a.txt", "new", kBaseTime + 50000000);
    PutFile(right + L"\\a.txt", "old");
    PutFile(left + L"\\b.txt", "only");
    PutFile(left + L"\\c.txt", "left alone");
    JobGroupUnit* job = Open(left, right);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(RowText(job), "3:a.txt|a.txt 1:b.txt| 1:c.txt| ");
    Select(job, "a.txt");
    Select(job, "b.txt");

    JobBackupUnit* backup = CopySelections(*job, 1, 0, store);
    ASSERT_NE(backup, nullptr);
    EXPECT_TRUE(output.lines.empty());
    EXPECT_EQ(RowText(job), "0:a.txt|a.txt 0:b.txt|b.txt 1:c.txt| ");
    EXPECT_EQ(job->content2.Count(), 2);
    EXPECT_FALSE(job->flags & JobSame);
    EXPECT_TRUE(job->flags & JobTabStateChanged);
    EXPECT_EQ(FileText(right + L"\\a.txt"), "new");
    EXPECT_EQ(WriteTimeOf(right + L"\\a.txt"), kBaseTime + 50000000);
    EXPECT_EQ(FileText(right + L"\\b.txt"), "only");
    EXPECT_FALSE(Exists(right + L"\\c.txt"));

    EXPECT_EQ(CommentText(backup, BackupActionKeyText()), "Copy selections 1 -> 2");
    EXPECT_EQ(CommentText(backup, BackupSelectionKeyText()), "a.txt,b.txt");
    EXPECT_EQ(CommentText(backup, BackupSide2KeyText()), Utf8(right));
    ASSERT_EQ(backup->ItemList().Count(), 2);
    EXPECT_EQ(backup->ItemList().At(0)->SubInfoType(), BackupSubFile);
    EXPECT_EQ(backup->ItemList().At(1)->SubInfoType(), BackupSubNoBackup);
    EXPECT_TRUE(FileExists(Ws(backup->IniPath())));

    EXPECT_TRUE(backup->Restore(false) & RestoreDone);
    EXPECT_EQ(FileText(right + L"\\a.txt"), "old");
}

TEST_F(FolderCopyTest, CopyTowardSideOneUsesTheOtherTitle) {
    PutFile(right + L"\\r.txt", "right");
    JobGroupUnit* job = Open(left, right);
    Select(job, "r.txt");
    JobBackupUnit* backup = CopySelections(*job, 0, 1, store);
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(CommentText(backup, BackupActionKeyText()), "Copy selections 1 <- 2");
    EXPECT_EQ(RowText(job), "0:r.txt|r.txt ");
    EXPECT_EQ(FileText(left + L"\\r.txt"), "right");
}

TEST_F(FolderCopyTest, CopyOverAFolderKeepsTheOldTreeWithTimesAndAttributes) {
    CreateDirectoryW((left + L"\\d").c_str(), nullptr);
    CreateDirectoryW((right + L"\\d").c_str(), nullptr);
    CreateDirectoryW((right + L"\\d\\sub").c_str(), nullptr);
    PutFile(left + L"\\d\\x.txt", "new");
    PutFile(right + L"\\d\\x.txt", "old", kBaseTime + 70000000);
    PutFile(right + L"\\d\\sub\\y.txt", "deep");
    ASSERT_TRUE(SetFileAttributesW((right + L"\\d\\x.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    JobGroupUnit* job = Open(left, right);
    Select(job, "d");

    JobBackupUnit* backup = CopySelections(*job, 1, 0, store);
    ASSERT_NE(backup, nullptr);
    EXPECT_TRUE(output.lines.empty());
    ASSERT_EQ(backup->ItemList().Count(), 1);
    JobBackupItemUnit* item = backup->ItemList().At(0);
    EXPECT_EQ(item->InfoType(), BackupInfoCopyDirectory);
    EXPECT_EQ(item->SubInfoType(), BackupSubDirectory);
    std::wstring kept = Ws(item->KeptPath());
    readOnly.push_back(kept + L"\\x.txt");
    readOnly.push_back(right + L"\\d\\x.txt");
    EXPECT_EQ(FileText(kept + L"\\x.txt"), "old");
    EXPECT_EQ(WriteTimeOf(kept + L"\\x.txt"), kBaseTime + 70000000);
    EXPECT_TRUE(GetFileAttributesW((kept + L"\\x.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(FileText(kept + L"\\sub\\y.txt"), "deep");
    // The target is the source's tree now, the old sub-folder gone.
    EXPECT_EQ(FileText(right + L"\\d\\x.txt"), "new");
    EXPECT_FALSE(Exists(right + L"\\d\\sub"));
    EXPECT_EQ(RowText(job), "0:d|d ");

    EXPECT_TRUE(backup->Restore(true) & RestoreDone);
    EXPECT_EQ(FileText(right + L"\\d\\x.txt"), "old");
    EXPECT_EQ(FileText(right + L"\\d\\sub\\y.txt"), "deep");
}

TEST_F(FolderCopyTest, AFolderCopiedOverAFileOfTheNameReplacesItsRow) {
    CreateDirectoryW((left + L"\\k").c_str(), nullptr);
    PutFile(left + L"\\k\\in.txt", "in");
    PutFile(right + L"\\k", "a file");
    JobGroupUnit* job = Open(left, right);
    ASSERT_EQ(RowText(job), "1:k| 2:|k ");
    job->rows.At(0)->flags |= RowMarked;

    JobBackupUnit* backup = CopySelections(*job, 1, 0, store);
    ASSERT_NE(backup, nullptr);
    EXPECT_TRUE(output.lines.empty());
    EXPECT_EQ(FileText(right + L"\\k\\in.txt"), "in");
    // The file's row is gone with the file: one row of two folders.
    EXPECT_EQ(RowText(job), "0:k|k ");
    EXPECT_EQ(job->content2.Count(), 1);
    ASSERT_EQ(backup->ItemList().Count(), 1);
    EXPECT_EQ(backup->ItemList().At(0)->SubInfoType(), BackupSubFile);
    EXPECT_EQ(FileText(Ws(backup->ItemList().At(0)->KeptPath())), "a file");
}

TEST_F(FolderCopyTest, DeleteOfAOneSidedEntryRemovesRowEntryAndFile) {
    PutFile(left + L"\\only.txt", "mine");
    PutFile(left + L"\\same.txt", "s");
    PutFile(right + L"\\same.txt", "s");
    JobGroupUnit* job = Open(left, right);
    ASSERT_EQ(RowText(job), "1:only.txt| 0:same.txt|same.txt ");
    Select(job, "only.txt");

    JobBackupUnit* backup = DeleteSelections(*job, 0, store);
    ASSERT_NE(backup, nullptr);
    EXPECT_TRUE(output.lines.empty());
    EXPECT_FALSE(Exists(left + L"\\only.txt"));
    EXPECT_EQ(RowText(job), "0:same.txt|same.txt ");
    EXPECT_EQ(job->content1.Count(), 1);
    EXPECT_TRUE(job->flags & JobSame);
    EXPECT_EQ(CommentText(backup, BackupActionKeyText()), "Delete selections Side1 (Path type)");
    EXPECT_EQ(CommentText(backup, BackupSide1KeyText()), Utf8(left));
    EXPECT_FALSE(backup->Comment().Contains(BackupSide2KeyText()));
    EXPECT_EQ(CommentText(backup, BackupSelectionKeyText()), "only.txt");
    ASSERT_EQ(backup->ItemList().Count(), 1);
    EXPECT_EQ(backup->ItemList().At(0)->InfoType(), BackupInfoDeleteFile);

    EXPECT_TRUE(backup->Restore(false) & RestoreDone);
    EXPECT_EQ(FileText(left + L"\\only.txt"), "mine");
}

TEST_F(FolderCopyTest, DeleteOfAFolderOnSideTwo) {
    CreateDirectoryW((right + L"\\gone").c_str(), nullptr);
    PutFile(right + L"\\gone\\in.txt", "x");
    JobGroupUnit* job = Open(left, right);
    Select(job, "gone");
    JobBackupUnit* backup = DeleteSelections(*job, 1, store);
    ASSERT_NE(backup, nullptr);
    EXPECT_FALSE(Exists(right + L"\\gone"));
    EXPECT_TRUE(job->rows.IsEmpty());
    EXPECT_EQ(CommentText(backup, BackupActionKeyText()), "Delete selections Side2 (Path type)");
    EXPECT_EQ(backup->ItemList().At(0)->InfoType(), BackupInfoDeleteDirectory);
    EXPECT_TRUE(backup->Restore(false) & RestoreDone);
    EXPECT_EQ(FileText(right + L"\\gone\\in.txt"), "x");
}

TEST_F(FolderCopyTest, NoSelectedRowStillWritesAnEmptyBackup) {
    PutFile(left + L"\\a.txt", "a");
    JobGroupUnit* job = Open(left, right);
    JobBackupUnit* backup = CopySelections(*job, 1, 0, store);
    ASSERT_NE(backup, nullptr);
    EXPECT_EQ(backup->ItemList().Count(), 0);
    std::string ini = FileText(Ws(backup->IniPath()));
    EXPECT_NE(ini.find("[Comment]"), std::string::npos);
    EXPECT_EQ(ini.find("[Action_0]"), std::string::npos);
    EXPECT_FALSE(Exists(right + L"\\a.txt"));
}

TEST_F(FolderCopyTest, AFailedCopyIsReportedAndLeavesTheTargetWhole) {
    PutFile(left + L"\\a.txt", "new", kBaseTime + 50000000);
    PutFile(right + L"\\a.txt", "old");
    PutFile(left + L"\\b.txt", "b");
    JobGroupUnit* job = Open(left, right);
    Select(job, "a.txt");
    Select(job, "b.txt");
    HANDLE lock = CreateFileW((left + L"\\a.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    JobBackupUnit* backup = CopySelections(*job, 1, 0, store);
    CloseHandle(lock);
    ASSERT_NE(backup, nullptr);
    EXPECT_TRUE(output.Has("ReadOpenError"));
    EXPECT_EQ(FileText(right + L"\\a.txt"), "old");
    // The other row went on, and the record was written.
    EXPECT_EQ(FileText(right + L"\\b.txt"), "b");
    EXPECT_EQ(RowText(job), "3:a.txt|a.txt 0:b.txt|b.txt ");
    EXPECT_TRUE(FileExists(Ws(backup->IniPath())));
}

TEST_F(FolderCopyTest, CopyAndDeleteWorkOnAJobOpenedWithTheDefaultOptions) {
    // The default folder filter "*" leaves both edit flags off; the folder
    // commands do not depend on them.
    PutFile(left + L"\\a.txt", "new", kBaseTime + 50000000);
    PutFile(right + L"\\a.txt", "old");
    PutFile(right + L"\\gone.txt", "g");
    JobGroupUnit* job = JobGroupList::Instance().OpenPair(W(left), W(right));
    ASSERT_NE(job, nullptr);
    ASSERT_EQ(job->edit.edit1, 0);
    ASSERT_EQ(job->edit.edit2, 0);
    Select(job, "a.txt");
    ASSERT_NE(CopySelections(*job, 1, 0, store), nullptr);
    EXPECT_EQ(FileText(right + L"\\a.txt"), "new");
    for (JobReportUnit& row : job->rows) row.flags &= ~static_cast<uint32_t>(RowMarked);
    Select(job, "gone.txt");
    ASSERT_NE(DeleteSelections(*job, 1, store), nullptr);
    EXPECT_FALSE(Exists(right + L"\\gone.txt"));
    EXPECT_TRUE(output.lines.empty());
    EXPECT_EQ(RowText(job), "0:a.txt|a.txt ");
}

struct RefusalCase {
    const char* label;
    int layout;  // 0 same folder, 1 target inside source, 2 missing target, 3 delete on a missing folder
    const char* key;
};

TEST_F(FolderCopyTest, RefusedCommandsTouchNothing) {
    const RefusalCase cases[] = {
        {"same folder", 0, "CopyError"},
        {"target inside source", 1, "CopyError"},
        {"missing target folder", 2, "DirectoryError"},
        {"delete missing folder", 3, "DirectoryError"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.label);
        CloseAll();
        output.lines.clear();
        std::wstring inner = left + L"\\inner";
        CreateDirectoryW(inner.c_str(), nullptr);
        PutFile(left + L"\\a.txt", "a");
        PutFile(right + L"\\a.txt", "b");
        std::wstring target = c.layout == 0 ? left : c.layout == 1 ? inner : right;
        JobGroupUnit* job = Open(left, target);
        ASSERT_NE(job, nullptr);
        for (JobReportUnit& row : job->rows) row.flags |= RowMarked;
        if (c.layout >= 2) {
            ASSERT_TRUE(DeleteFileW((right + L"\\a.txt").c_str()));
            ASSERT_TRUE(RemoveDirectoryW(right.c_str()));
        }
        JobBackupUnit* backup =
            c.layout == 3 ? DeleteSelections(*job, 1, store) : CopySelections(*job, 1, 0, store);
        EXPECT_EQ(backup, nullptr);
        EXPECT_TRUE(output.Has(c.key));
        EXPECT_EQ(FileText(left + L"\\a.txt"), "a");
        EXPECT_TRUE(Exists(inner));
        if (c.layout < 2) {
            EXPECT_EQ(FileText(right + L"\\a.txt"), "b");
        }
        EXPECT_FALSE(Exists(root));
        CreateDirectoryW(right.c_str(), nullptr);
    }
}

TEST(FolderOverlapTest, EqualAndNestedFolders) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        bool overlap;
    } cases[] = {
        {L"C:\\x\\y", L"c:\\X\\Y\\", true}, {L"C:\\x", L"C:\\x\\y", true}, {L"C:\\x\\y", L"C:\\x", true},
        {L"C:\\x", L"C:\\xy", false},       {L"C:\\x\\a", L"C:\\x\\b", false}, {L"", L"C:\\x", true},
        {L"C:\\x\\.\\y", L"C:\\x\\y", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.a) + " / " + Utf8(c.b));
        EXPECT_EQ(FoldersOverlap(W(c.a), W(c.b)), c.overlap);
    }
}
