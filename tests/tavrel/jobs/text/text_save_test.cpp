// Saving and discarding text sides through the backup store on real files:
// the dated backup with "Backup.ini" and the kept old file, byte-identical
// write-back of unchanged files in every encoding, failed writes that keep
// the file and the edits, discarded edits kept in the backup.
// RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "support/job_support.h"
#include "support/test_support.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"
#include "tavrel/jobs/text/text_kind.h"

using namespace JobLayer;
using RawLayer::RawString;
using TestSupport::ReadFileBytes;
using TestSupport::TempFolder;
using TestSupport::WriteFileBytes;
using TestSupport::FileText;
using TestSupport::W;

namespace {

class TextSaveTest : public TestSupport::BackupFixture {
protected:
    std::unique_ptr<JobGroupUnit> Open(const std::wstring& path1, const std::wstring& path2) {
        std::unique_ptr<JobGroupUnit> job(
            new JobGroupUnit(JobKindType::FromKind(KindText), &JobLineControl::Shared()));
        job->content1.path = W(path1);
        job->content2.path = W(path2);
        job->edit.edit1 = job->edit.edit2 = 1;
        job->controller->Load(*job, ModeBoth);
        return job;
    }
    static void EditFirstLine(JobGroupUnit& job, uint32_t side, const char* text) {
        JobContentList& content = job.Content(side);
        JobLineUnit* line = dynamic_cast<JobLineUnit*>(content.At(0));
        ASSERT_NE(line, nullptr);
        line->SetText(RawString::FromText(text).As(line->LineText().Kind()));
        content.flags = static_cast<uint16_t>(content.flags | ContentChanged);
    }
};

struct RoundTripCase {
    const char* name;
    std::string bytes;
};

}  // namespace

TEST_F(TextSaveTest, UnchangedFilesSaveBackByteIdentical) {
    const std::string sjis = "\x82\xa0\x82\xa2\x82\xa4 \x93\xfa\x96\x7b\x8c\xea";
    const RoundTripCase cases[] = {
        {"utf8 crlf", "first line\r\nsecond \xc3\xa9\r\nthird\r\n"},
        {"utf8 lf", "first\nsecond \xe6\x97\xa5\xe6\x9c\xac\nthird\n"},
        {"utf8 bom crlf", "\xef\xbb\xbf" "a\r\nb \xc3\xa9\r\n"},
        {"utf8 bom lf no final end", "\xef\xbb\xbf" "a\nb \xc3\xa9"},
        {"no final line end", "one\r\ntwo"},
        {"utf16le crlf", std::string("\xff\xfe" "a\0\r\0\n\0\xe5\x65\r\0\n\0", 14)},
        {"utf16be lf", std::string("\xfe\xff\0a\0\n\x65\xe5\0\n", 10)},
        {"utf16le no final end", std::string("\xff\xfe" "x\0\n\0y\0", 8)},
        {"shift_jis crlf", sjis + "\r\n" + sjis + " 2\r\n"},
        {"shift_jis lf", sjis + "\n" + sjis + " 2\n"},
        {"empty lines", "\r\n\r\n\r\n"},
        {"8-bit code page text", "caf\xe9 na\xefve\r\n\xa9 2024\r\n"},
        {"not text", std::string("\x00\x01\xff\xfe\x80\n\x90\x00", 8)},
    };
    int n = 0;
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring path = File(L"rt" + std::to_wstring(n++) + L".txt", c.bytes);
        std::unique_ptr<JobGroupUnit> job = Open(path, L"");
        job->content1.flags = static_cast<uint16_t>(job->content1.flags | ContentChanged);
        EXPECT_TRUE(job->controller->SaveFile(*job, ModeSide1));
        EXPECT_EQ(FileText(path), c.bytes);
        EXPECT_EQ(job->content1.flags & ContentChanged, 0);
    }
    EXPECT_TRUE(logger.lines.empty());
}

TEST_F(TextSaveTest, SaveKeepsOldFileInDatedBackupAndWritesNewText) {
    std::wstring path = File(L"a.txt", "old\r\nsecond\r\n");
    std::unique_ptr<JobGroupUnit> job = Open(path, L"");
    EditFirstLine(*job, 0, "new");
    EXPECT_TRUE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_EQ(FileText(path), "new\r\nsecond\r\n");
    EXPECT_EQ(job->content1.flags & ContentChanged, 0);

    std::vector<std::wstring> folders = BackupFolders();
    ASSERT_EQ(folders.size(), 1u);
    SYSTEMTIME t;
    std::wstring name = folders[0].substr(root.size() + 1);
    EXPECT_TRUE(ParseBackupFolderName(W(name), t)) << TestSupport::Utf8(name);
    EXPECT_EQ(FileText(folders[0] + L"\\a.txt"), "old\r\nsecond\r\n");
    std::string ini = FileText(folders[0] + L"\\Backup.ini");
    EXPECT_NE(ini.find("Action=Save file Side1 (Text type)"), std::string::npos) << ini;
    EXPECT_NE(ini.find("InfoType=SaveFile"), std::string::npos);
    EXPECT_NE(ini.find("SubInfoType=BackupFile"), std::string::npos);
    // No temporary file is left beside the target.
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(folder.Join(L"*.tmp").c_str(), &data);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(TextSaveTest, UnchangedSidesMakeNoBackup) {
    std::wstring path = File(L"a.txt", "x\r\n");
    std::unique_ptr<JobGroupUnit> job = Open(path, path);
    EXPECT_FALSE(job->controller->SaveFile(*job, ModeBoth));
    EXPECT_FALSE(job->controller->DiscardFile(*job, ModeBoth));
    EXPECT_TRUE(BackupFolders().empty());
    EXPECT_TRUE(logger.lines.empty());
}

// A compare tool changes no line the user did not edit: each keeps its own
// line end.
TEST_F(TextSaveTest, MixedLineEndsAreKeptLineByLine) {
    std::wstring path = File(L"m.txt", "a\r\nb\nc\rd");
    std::unique_ptr<JobGroupUnit> job = Open(path, L"");
    job->content1.flags = static_cast<uint16_t>(job->content1.flags | ContentChanged);
    EXPECT_TRUE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_EQ(FileText(path), "a\r\nb\nc\rd");
}

TEST_F(TextSaveTest, FailedWritesKeepOriginalAndEdits) {
    const std::string original = "keep me\r\nline 2\r\n";
    JobBackupList& store = JobBackupList::Instance();
    // A read-only target.
    {
        std::wstring path = File(L"ro.txt", original);
        std::unique_ptr<JobGroupUnit> job = Open(path, L"");
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
        EditFirstLine(*job, 0, "changed");
        const int32_t backups = store.Count();
        EXPECT_FALSE(job->controller->SaveFile(*job, ModeSide1));
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(FileText(path), original);
        EXPECT_NE(job->content1.flags & ContentChanged, 0);
        EXPECT_TRUE(logger.Has("WriteError"));
        // A save that did not happen leaves no backup behind.
        EXPECT_TRUE(BackupFolders().empty());
        EXPECT_EQ(store.Count(), backups);
        // Once the target is writable again the same edits save.
        EXPECT_TRUE(job->controller->SaveFile(*job, ModeSide1));
        EXPECT_EQ(FileText(path), "changed\r\nline 2\r\n");
        std::vector<std::wstring> folders = BackupFolders();
        ASSERT_EQ(folders.size(), 1u);
        EXPECT_EQ(FileText(folders[0] + L"\\ro.txt"), original);
        std::string ini = FileText(folders[0] + L"\\Backup.ini");
        EXPECT_NE(ini.find("[Action_0]"), std::string::npos);
        EXPECT_EQ(ini.find("[Action_1]"), std::string::npos);
        TestSupport::RemoveTree(folders[0]);
    }
    // A target held open without sharing.
    {
        logger.lines.clear();
        std::wstring path = File(L"held.txt", original);
        std::unique_ptr<JobGroupUnit> job = Open(path, L"");
        EditFirstLine(*job, 0, "changed");
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        const int32_t backups = store.Count();
        EXPECT_FALSE(job->controller->SaveFile(*job, ModeSide1));
        CloseHandle(h);
        EXPECT_EQ(FileText(path), original);
        EXPECT_NE(job->content1.flags & ContentChanged, 0);
        EXPECT_FALSE(logger.lines.empty());
        EXPECT_TRUE(BackupFolders().empty());
        EXPECT_EQ(store.Count(), backups);
    }
}

TEST_F(TextSaveTest, LineTheFileKindCannotHoldIsRefusedNotWrittenChanged) {
    // A Shift_JIS side given a character that Shift_JIS lacks.
    const std::string original = "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\r\n";
    std::wstring path = File(L"sj.txt", original);
    std::unique_ptr<JobGroupUnit> job = Open(path, L"");
    if (job->content1.encodingKind != RawLayer::KindSjis) GTEST_SKIP() << "not detected as Shift_JIS";
    JobLineUnit* line = dynamic_cast<JobLineUnit*>(job->content1.At(0));
    ASSERT_NE(line, nullptr);
    line->SetText(RawString::FromWideText(L"\x0e01\x0e02"));
    job->content1.flags = static_cast<uint16_t>(job->content1.flags | ContentChanged);
    EXPECT_FALSE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_EQ(FileText(path), original);
    EXPECT_NE(job->content1.flags & ContentChanged, 0);
}

TEST_F(TextSaveTest, SidesNotReadWholeOrWithoutPathAreNeverSaved) {
    std::wstring path = File(L"cut.txt", "a\r\nb\r\n");
    std::unique_ptr<JobGroupUnit> job = Open(path, L"");
    job->content1.flags = static_cast<uint16_t>(job->content1.flags | ContentChanged | ContentCut);
    EXPECT_FALSE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_TRUE(logger.Has("SaveError"));
    EXPECT_EQ(FileText(path), "a\r\nb\r\n");

    logger.lines.clear();
    job->content1.flags = static_cast<uint16_t>(ContentRead | ContentChanged);
    job->content1.path = RawString();
    EXPECT_FALSE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_TRUE(logger.Has("NoPathSpecifiedError"));
    EXPECT_NE(job->content1.flags & ContentUnreadable, 0);
}

TEST_F(TextSaveTest, SaveRecreatesTargetThatWentMissing) {
    std::wstring path = File(L"gone.txt", "a\nb\n");
    std::unique_ptr<JobGroupUnit> job = Open(path, L"");
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    EditFirstLine(*job, 0, "z");
    EXPECT_TRUE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_EQ(FileText(path), "z\nb\n");
}

TEST_F(TextSaveTest, DiscardKeepsEditedTextInBackupAndLeavesFile) {
    std::wstring path1 = File(L"d1.txt", "one\r\ntwo\r\n");
    std::wstring path2 = File(L"d2.txt", "three\nfour\n");
    std::unique_ptr<JobGroupUnit> job = Open(path1, path2);
    EditFirstLine(*job, 0, "ONE");
    EditFirstLine(*job, 1, "THREE");
    EXPECT_TRUE(job->controller->DiscardFile(*job, ModeBoth));
    EXPECT_EQ(job->content1.flags & ContentChanged, 0);
    EXPECT_EQ(job->content2.flags & ContentChanged, 0);
    EXPECT_EQ(FileText(path1), "one\r\ntwo\r\n");
    EXPECT_EQ(FileText(path2), "three\nfour\n");
    std::vector<std::wstring> folders = BackupFolders();
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(FileText(folders[0] + L"\\d1.txt"), "ONE\r\ntwo\r\n");
    EXPECT_EQ(FileText(folders[0] + L"\\d2.txt"), "THREE\nfour\n");
    std::string ini = FileText(folders[0] + L"\\Backup.ini");
    EXPECT_NE(ini.find("Action=Discard file (Text type)"), std::string::npos) << ini;
    EXPECT_NE(ini.find("InfoType=DiscardFile"), std::string::npos);

    // A reload discards first: the edits of a changed side land in a backup.
    EditFirstLine(*job, 0, "AGAIN");
    job->controller->Load(*job, ModeSide1);
    EXPECT_EQ(BackupFolders().size(), 2u);
    EXPECT_EQ(FileText(path1), "one\r\ntwo\r\n");
}

TEST_F(TextSaveTest, SaveWithBackupsOffNeverLeavesTheFileMissing) {
    JobBackupList::Instance().SetOptions(W(root), 10, true);
    std::wstring path = File(L"off.txt", "old\r\n");
    std::unique_ptr<JobGroupUnit> job = Open(path, L"");
    EditFirstLine(*job, 0, "new");
    bool saved = job->controller->SaveFile(*job, ModeSide1);
    JobBackupList::Instance().SetOptions(W(root), 10, false);
    // The old file goes to the recycle bin only once the new text is
    // written whole; either way the path holds a whole file.
    if (saved) {
        EXPECT_EQ(FileText(path), "new\r\n");
        EXPECT_EQ(job->content1.flags & ContentChanged, 0);
    } else {
        EXPECT_EQ(FileText(path), "old\r\n");
        EXPECT_NE(job->content1.flags & ContentChanged, 0);
    }
    EXPECT_TRUE(BackupFolders().empty());
}

TEST_F(TextSaveTest, FailedBackupStopsTheSave) {
    // A backup root beneath a file can never be made.
    std::wstring blocker = File(L"blocker", "x");
    JobBackupList::Instance().SetOptions(W(blocker + L"\\Backups"), 10, false);
    std::wstring path = File(L"b.txt", "old\r\n");
    std::unique_ptr<JobGroupUnit> job = Open(path, L"");
    EditFirstLine(*job, 0, "new");
    EXPECT_FALSE(job->controller->SaveFile(*job, ModeSide1));
    EXPECT_EQ(FileText(path), "old\r\n");
    EXPECT_NE(job->content1.flags & ContentChanged, 0);
    EXPECT_TRUE(logger.Has("BackupError"));
    // Nor is a temporary file left beside the target.
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(folder.Join(L"*.tmp").c_str(), &data);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    // Discarding without a backup keeps the side changed too.
    logger.lines.clear();
    EXPECT_FALSE(job->controller->DiscardFile(*job, ModeSide1));
    EXPECT_TRUE(logger.Has("BackupError"));
    EXPECT_NE(job->content1.flags & ContentChanged, 0);
}
