// The backup store on real files: dated folders, "Backup.ini", kept copy
// names, the consistency check and restore, folder items, non-ASCII paths.
// Runs under both code pages: RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/logger.h"
#include "base/raw_string.h"
#include "base/text_ops.h"
#include "support/test_support.h"
#include "tavrel/jobs/backup/backup_loader.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/backup/side_file_flow.h"
#include "tavrel/jobs/shell_commands.h"

using namespace JobLayer;
using RawLayer::RawParameterList;
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
using TestSupport::MakeTime;

namespace {

RawString T(const char* text) { return RawString::FromText(text); }

// Gives a file a last-write time some hours after 2020-01-01.
void SetWriteTime(const std::wstring& path, int hours) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SYSTEMTIME st = MakeTime(2020, 1, 1, 0, 0, 0);
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    uint64_t v = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    v += static_cast<uint64_t>(hours) * 36000000000ull;
    ft.dwLowDateTime = static_cast<DWORD>(v);
    ft.dwHighDateTime = static_cast<DWORD>(v >> 32);
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

// Writes a file with a given write time (hours after 2020-01-01).
void Put(const std::wstring& path, const std::string& text, int hours) {
    ASSERT_TRUE(WriteFileBytes(path, text));
    SetWriteTime(path, hours);
}

// A store over a backup root inside a temporary folder.
struct Fixture {
    TempFolder temp;
    std::wstring root;
    std::wstring data;
    JobBackupList store;
    Fixture(const std::wstring& rootName = L"Backups", const std::wstring& dataName = L"data") {
        root = temp.Join(rootName);
        data = temp.Join(dataName);
        CreateDirectoryW(data.c_str(), nullptr);
        store.SetOptions(W(root), 10, false);
    }
    RawParameterList Comment(const char* action, const SYSTEMTIME& time) {
        RawParameterList c;
        c.SetText(BackupActionKeyText(), T(action));
        c.SetText(BackupSide1KeyText(), W(data + L"\\1"));
        c.SetText(BackupSide2KeyText(), W(data + L"\\2"));
        SetBackupCommentTime(c, time);
        return c;
    }
    // One save of a file: keep the old file, write the new text, record.
    JobBackupUnit* Save(const std::wstring& path, const std::string& newText, int hours,
                        const SYSTEMTIME& time) {
        JobBackupUnit* backup = JobBackupUnit::Create(store, Comment("Save file Side1 (Text type)", time), time);
        JobBackupItemUnit* item = backup->AddItem(BackupInfoSaveFile, W(path));
        EXPECT_NE(item, nullptr);
        if (!item) return backup;
        EXPECT_TRUE(JobBackupItemUnit::Store(*item));
        Put(path, newText, hours);
        EXPECT_TRUE(JobBackupItemUnit::SetConsistency(*item));
        EXPECT_TRUE(JobBackupUnit::Write(*backup));
        return backup;
    }
    // A fresh store over the same root, loaded by the loader at `now`.
    void Reload(JobBackupList& other, const SYSTEMTIME& now) {
        other.SetOptions(W(root), 10, false);
        other.Loader().SetNow(now);
        other.Loader().LoadAndPurge();
    }
};

struct Capture : RawLayer::JobServerControl::Logger {
    std::vector<std::string> lines;
    void Report(const RawString& line) override { lines.push_back(S(line)); }
};

}  // namespace

// ---- names and codes ----------------------------------------------------------

TEST(BackupStoreTest, CodeTablesMapNamesBothWays) {
    const char* infos[] = {"DiscardFile", "SaveFile", "CopyFile", "CopyDirectory", "DeleteFile", "DeleteDirectory"};
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(S(InfoTypeName(i)), infos[i]);
        EXPECT_EQ(InfoTypeFromName(T(infos[i])), i);
    }
    const char* subs[] = {"NoBackup", "BackupFile", "BackupDirectory"};
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(S(SubInfoTypeName(i)), subs[i]);
        EXPECT_EQ(SubInfoTypeFromName(T(subs[i])), i);
    }
    // Unlisted names (also in another letter case) take the defaults.
    EXPECT_EQ(InfoTypeFromName(T("savefile")), BackupInfoSaveFile);
    EXPECT_EQ(InfoTypeFromName(T("Bogus")), BackupInfoSaveFile);
    EXPECT_EQ(SubInfoTypeFromName(T("backupfile")), BackupSubNoBackup);
}

TEST(BackupStoreTest, FolderNamesParseOnlyTheDatedForm) {
    EXPECT_EQ(S(BackupFolderName(MakeTime(2024, 1, 31, 13, 5, 9))), "20240131_130509");
    struct Case {
        const char* name;
        bool dated;
    } cases[] = {{"20240131_130509", true}, {"20240131-130509", false}, {"2024013_1130509", false},
                 {"20240131_13050", false}, {"20241331_130509", false}, {"20240100_130509", false},
                 {"2024013a_130509", false}, {"-0240131_130509", false}, {"notes.txt", false},
                 {"20240131_240000", false}};
    for (const Case& c : cases) {
        SYSTEMTIME t;
        EXPECT_EQ(ParseBackupFolderName(T(c.name), t), c.dated) << c.name;
        if (!c.dated) {
            EXPECT_EQ(t.wYear, 0) << c.name;
        }
    }
    SYSTEMTIME t = MakeTime(2023, 12, 31, 23, 59, 59);
    ASSERT_TRUE(AdvanceOneSecond(t));
    EXPECT_EQ(S(BackupFolderName(t)), "20240101_000000");
}

TEST(BackupStoreTest, KeptNameCountersAccumulate) {
    struct Case {
        const char* name;
        uint32_t counter;
        const char* next;
    } cases[] = {{"a.txt", 1, "a01.txt"},     {"a01.txt", 2, "a0102.txt"}, {"a0102.txt", 3, "a010203.txt"},
                 {"noext", 1, "noext01"},     {"x.tar.gz", 1, "x.tar01.gz"}};
    for (const Case& c : cases) EXPECT_EQ(S(NextKeptName(T(c.name), c.counter)), c.next) << c.name;
}

TEST(BackupStoreTest, ActionTitles) {
    EXPECT_EQ(S(MakeBackupActionTitle(SaveFileActionText(), 0, T("Text type"))), "Save file Side1 (Text type)");
    EXPECT_EQ(S(MakeBackupActionTitle(DiscardFileActionText(), 1, T("Binary type"))), "Discard file Side2 (Binary type)");
    EXPECT_EQ(S(MakeBackupActionTitle(DeleteSelectionsActionText(), 2, T("Path type"))), "Delete selections (Path type)");
}

// ---- a save: folder, kept copy, "Backup.ini" ------------------------------------

TEST(BackupStoreTest, SaveMakesDatedFolderKeptCopyAndIni) {
    Fixture f;
    const std::wstring file = f.data + L"\\a.txt";
    Put(file, "old", 1);
    SYSTEMTIME time = MakeTime(2024, 1, 31, 13, 5, 9);
    JobBackupUnit* backup = f.Save(file, "new", 2, time);
    ASSERT_EQ(backup->ItemList().Count(), 1);

    const std::wstring folder = f.root + L"\\20240131_130509";
    EXPECT_EQ(Ws(backup->Folder()), folder);
    EXPECT_EQ(backup->StateValue(), BackupStateNew);
    EXPECT_EQ(FileText(folder + L"\\a.txt"), "old");
    EXPECT_EQ(FileText(file), "new");  // the file was never missing

    std::string ini = FileText(folder + L"\\Backup.ini");
    ASSERT_GE(ini.size(), 3u);
    EXPECT_EQ(ini.substr(0, 3), "\xEF\xBB\xBF");
    const char* order[] = {"[Comment]\r\n", "Action=Save file Side1 (Text type)\r\n", "Side1=", "Side2=",
                           "Time=2024/01/31 13:05:09\r\n", "[Action_0]\r\n", "InfoType=SaveFile\r\n",
                           "SubInfoType=BackupFile\r\n", "Source=", "Destin=a.txt\r\n", "Consistency="};
    size_t at = 0;
    for (const char* piece : order) {
        size_t found = ini.find(piece, at);
        ASSERT_NE(found, std::string::npos) << piece << "\n" << ini;
        at = found + 1;
    }
    JobBackupItemUnit* item = JobBackupUnit::FindItem(*backup, 1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(JobBackupUnit::FindItem(*backup, 2), nullptr);
    EXPECT_NE(item->Consistency(), 0u);
    EXPECT_EQ(S(backup->Title()), "2024/01/31 13:05:09 : Save file Side1 (Text type)");
    EXPECT_EQ(S(item->DisplayParameters().GetText(BackupActionKeyText())), "SaveFile (on BackupFile)");
    EXPECT_EQ(Ws(backup->OpenFolder()), f.data);
}

TEST(BackupStoreTest, KeptNamesInOneFolderGetCounters) {
    Fixture f;
    const std::wstring file = f.data + L"\\a.txt";
    Put(file, "v1", 1);
    SYSTEMTIME time = MakeTime(2024, 2, 1, 10, 0, 0);
    JobBackupUnit* backup = JobBackupUnit::Create(f.store, f.Comment("Save", time), time);
    // Names taken on disk (after a store) and by items not stored yet both count.
    JobBackupItemUnit* first = backup->AddItem(BackupInfoSaveFile, W(file));
    ASSERT_TRUE(first && JobBackupItemUnit::Store(*first));
    JobBackupItemUnit* second = backup->AddItem(BackupInfoDiscardFile, W(file));
    JobBackupItemUnit* third = backup->AddItem(BackupInfoDiscardFile, W(file));
    ASSERT_TRUE(second && third);
    EXPECT_EQ(S(first->BackupName()), "a.txt");
    EXPECT_EQ(S(second->BackupName()), "a01.txt");
    EXPECT_EQ(S(third->BackupName()), "a0102.txt");
    EXPECT_EQ(second->Number(), 2u);
    EXPECT_EQ(third->Number(), 3u);
}

// ---- check and restore -----------------------------------------------------------

TEST(BackupStoreTest, RestoreGivesOldFileBackAndRecordsTheCurrentOne) {
    Fixture f;
    const std::wstring file = f.data + L"\\a.txt";
    Put(file, "old", 1);
    JobBackupUnit* backup = f.Save(file, "new", 2, MakeTime(2024, 1, 31, 13, 5, 9));
    JobBackupItemUnit* item = JobBackupUnit::FindItem(*backup, 1);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->State(), BackupCheckAsLeft);

    EXPECT_EQ(backup->Restore(false), RestoreDone);
    EXPECT_EQ(FileText(file), "old");
    // The replaced text went into a new backup of its own, which can put it back.
    ASSERT_EQ(f.store.Count(), 2);
    JobBackupUnit* record = f.store.Last();
    ASSERT_EQ(record->ItemList().Count(), 1);
    JobBackupItemUnit* recorded = record->ItemList().First();
    EXPECT_EQ(recorded->InfoType(), BackupInfoCopyFile);
    EXPECT_EQ(FileText(Ws(recorded->KeptPath())), "new");
    EXPECT_TRUE(FileExists(Ws(record->IniPath())));
    EXPECT_EQ(record->Restore(false), RestoreDone);
    EXPECT_EQ(FileText(file), "new");
}

TEST(BackupStoreTest, FileChangedSinceIsLeftAloneUnlessForced) {
    Fixture f;
    const std::wstring file = f.data + L"\\a.txt";
    Put(file, "old", 1);
    JobBackupUnit* backup = f.Save(file, "new", 2, MakeTime(2024, 1, 31, 13, 5, 9));
    Put(file, "edited elsewhere", 3);
    JobBackupItemUnit* item = JobBackupUnit::FindItem(*backup, 1);
    EXPECT_EQ(item->State(), BackupCheckChanged);
    EXPECT_EQ(backup->Restore(false), RestoreChangedSince);
    EXPECT_EQ(FileText(file), "edited elsewhere");
    EXPECT_EQ(f.store.Count(), 1);  // nothing touched, nothing recorded
    EXPECT_EQ(item->Restore(true), RestoreDone);
    EXPECT_EQ(FileText(file), "old");
}

TEST(BackupStoreTest, ConsistencyIsThePlainSignatureAndOldRecordsStillCheck) {
    Fixture f;
    const std::wstring file = f.data + L"\\c.txt";
    Put(file, "old", 1);
    SYSTEMTIME time = MakeTime(2024, 2, 1, 9, 0, 0);
    JobBackupUnit* backup = f.Save(file, "new", 2, time);
    JobBackupItemUnit* item = backup->ItemList().First();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Consistency(), RawLayer::PathSignature(W(file)));
    EXPECT_EQ(item->StrictConsistency(), RawLayer::StrictPathSignature(W(file)));
    EXPECT_EQ(item->Check(), BackupCheckAsLeft);

    // Records that hold "Consistency" alone: written with the plain
    // signature, or with the strict one by earlier versions.
    const std::wstring ini = Ws(backup->Folder()) + L"\\Backup.ini";
    for (uint64_t stored : {RawLayer::PathSignature(W(file)), RawLayer::StrictPathSignature(W(file))}) {
        std::string text = "[Action_0]\r\nInfoType=SaveFile\r\nSubInfoType=BackupFile\r\nSource=" +
                           Utf8(file) + "\r\nDestin=" + S(item->BackupName()) +
                           "\r\nConsistency=" + std::to_string(static_cast<int64_t>(stored)) + "\r\n";
        ASSERT_TRUE(WriteFileBytes(ini, "\xEF\xBB\xBF" + text));
        std::unique_ptr<JobBackupUnit> old(JobBackupUnit::FromFolder(&f.store, backup->Folder()));
        ASSERT_EQ(old->ItemList().Count(), 1);
        EXPECT_EQ(old->ItemList().First()->Check(), BackupCheckAsLeft);
        SetWriteTime(file, 3);
        EXPECT_EQ(old->ItemList().First()->Check(), BackupCheckChanged);
        SetWriteTime(file, 2);
    }
}

TEST(BackupStoreTest, KeptCopyDeletedByHandGivesNothing) {
    Fixture f;
    const std::wstring file = f.data + L"\\a.txt";
    Put(file, "old", 1);
    JobBackupUnit* backup = f.Save(file, "new", 2, MakeTime(2024, 1, 31, 13, 5, 9));
    JobBackupItemUnit* item = JobBackupUnit::FindItem(*backup, 1);
    ASSERT_TRUE(DeleteFileW(Ws(item->KeptPath()).c_str()));
    EXPECT_EQ(item->Check(), BackupCheckMissing);
    EXPECT_EQ(backup->Restore(true), RestoreNothing);
    EXPECT_EQ(FileText(file), "new");
}

TEST(BackupStoreTest, CopyOverMissingTargetRestoresByDeleting) {
    Fixture f;
    const std::wstring target = f.data + L"\\copied.txt";
    SYSTEMTIME time = MakeTime(2024, 3, 1, 9, 0, 0);
    JobBackupUnit* backup = JobBackupUnit::Create(f.store, f.Comment("Copy selections 1 -> 2", time), time);
    JobBackupItemUnit* item = backup->AddItem(BackupInfoCopyFile, W(target));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->SubInfoType(), BackupSubNoBackup);
    EXPECT_TRUE(JobBackupItemUnit::Store(*item));
    Put(target, "copy", 5);
    EXPECT_TRUE(JobBackupItemUnit::SetConsistency(*item));
    EXPECT_TRUE(JobBackupUnit::Write(*backup));
    EXPECT_EQ(backup->Restore(false), RestoreDone);
    EXPECT_FALSE(FileExists(target));
    // The deleted copy is kept by the restore's own backup.
    JobBackupItemUnit* recorded = f.store.Last()->ItemList().First();
    ASSERT_NE(recorded, nullptr);
    EXPECT_EQ(recorded->InfoType(), BackupInfoDeleteFile);
    EXPECT_EQ(FileText(Ws(recorded->KeptPath())), "copy");
}

TEST(BackupStoreTest, FolderItemMovesTreeAndRestoresIt) {
    Fixture f;
    const std::wstring dir = f.data + L"\\tree";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"\\sub").c_str(), nullptr);
    Put(dir + L"\\one.txt", "1", 1);
    Put(dir + L"\\sub\\two.txt", "2", 1);
    SYSTEMTIME time = MakeTime(2024, 3, 2, 9, 0, 0);
    JobBackupUnit* backup = JobBackupUnit::Create(f.store, f.Comment("Copy selections 1 -> 2", time), time);
    JobBackupItemUnit* item = backup->AddItem(BackupInfoCopyDirectory, W(dir));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->SubInfoType(), BackupSubDirectory);
    ASSERT_TRUE(JobBackupItemUnit::Store(*item));
    EXPECT_FALSE(FileExists(dir));
    EXPECT_EQ(FileText(Ws(item->KeptPath()) + L"\\sub\\two.txt"), "2");
    // The flow copies another tree in.
    CreateDirectoryW(dir.c_str(), nullptr);
    Put(dir + L"\\other.txt", "x", 2);
    ASSERT_TRUE(JobBackupItemUnit::SetConsistency(*item));
    ASSERT_TRUE(JobBackupUnit::Write(*backup));

    EXPECT_EQ(backup->Restore(false), RestoreDone);
    EXPECT_EQ(FileText(dir + L"\\one.txt"), "1");
    EXPECT_EQ(FileText(dir + L"\\sub\\two.txt"), "2");
    EXPECT_FALSE(FileExists(dir + L"\\other.txt"));
    EXPECT_FALSE(FileExists(dir + L"~restore"));
}

TEST(BackupStoreTest, HalfFailedFolderMoveIsRolledBack) {
    Fixture f;
    const std::wstring dir = f.data + L"\\busy";
    CreateDirectoryW(dir.c_str(), nullptr);
    const wchar_t* names[] = {L"\\a.txt", L"\\b.txt", L"\\c.txt", L"\\d.txt"};
    for (const wchar_t* n : names) Put(dir + n, "data", 1);
    // One file held open without sharing cannot be moved.
    HANDLE held = CreateFileW((dir + L"\\c.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SYSTEMTIME time = MakeTime(2024, 3, 3, 9, 0, 0);
    JobBackupUnit* backup = JobBackupUnit::Create(f.store, f.Comment("Delete selections", time), time);
    JobBackupItemUnit* item = backup->AddItem(BackupInfoDeleteDirectory, W(dir));
    ASSERT_NE(item, nullptr);
    const bool stored = JobBackupItemUnit::Store(*item);
    CloseHandle(held);
    if (stored) GTEST_SKIP() << "this platform moves files that are held open";
    for (const wchar_t* n : names) EXPECT_EQ(FileText(dir + n), "data") << Utf8(n);
    EXPECT_FALSE(item->Restorable());
    EXPECT_EQ(item->Restore(true), RestoreFailed);
    for (const wchar_t* n : names) EXPECT_TRUE(FileExists(dir + n));
}

// ---- two operations in one second -----------------------------------------------------

TEST(BackupStoreTest, TwoOperationsInOneSecondGetTheirOwnFolders) {
    Fixture f;
    const std::wstring a = f.data + L"\\a.txt";
    const std::wstring b = f.data + L"\\b.txt";
    Put(a, "a-old", 1);
    Put(b, "b-old", 1);
    SYSTEMTIME time = MakeTime(2024, 1, 31, 13, 5, 9);
    JobBackupUnit* first = f.Save(a, "a-new", 2, time);
    JobBackupUnit* second = f.Save(b, "b-new", 2, time);
    EXPECT_EQ(Ws(first->Folder()), f.root + L"\\20240131_130509");
    EXPECT_EQ(Ws(second->Folder()), f.root + L"\\20240131_130510");

    JobBackupList reloaded;
    f.Reload(reloaded, MakeTime(2024, 2, 1, 8, 0, 0));
    ASSERT_EQ(reloaded.Count(), 2);
    EXPECT_EQ(reloaded.At(0)->StateValue(), BackupStateLoaded);
    ASSERT_EQ(reloaded.At(0)->ItemList().Count(), 1);
    ASSERT_EQ(reloaded.At(1)->ItemList().Count(), 1);
    EXPECT_EQ(reloaded.At(0)->Restore(false), RestoreDone);
    EXPECT_EQ(reloaded.At(1)->Restore(false), RestoreDone);
    EXPECT_EQ(FileText(a), "a-old");
    EXPECT_EQ(FileText(b), "b-old");
}

// ---- non-ASCII paths ----------------------------------------------------------------------

TEST(BackupStoreTest, JapanesePathsSurviveIniAndRestore) {
    Fixture f(L"\u30D0\u30C3\u30AF\u30A2\u30C3\u30D7", L"\u30C7\u30FC\u30BF");
    const std::wstring file = f.data + L"\\\u65E5\u672C\u8A9E.txt";
    Put(file, "old", 1);
    f.Save(file, "new", 2, MakeTime(2024, 1, 31, 13, 5, 9));

    JobBackupList reloaded;
    f.Reload(reloaded, MakeTime(2024, 2, 1, 8, 0, 0));
    ASSERT_EQ(reloaded.Count(), 1);
    JobBackupItemUnit* item = reloaded.First()->ItemList().First();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(Ws(item->Source()), file);
    EXPECT_EQ(Ws(item->BackupName()), L"\u65E5\u672C\u8A9E.txt");
    EXPECT_EQ(Ws(reloaded.First()->Comment().GetText(BackupSide1KeyText())), f.data + L"\\1");
    EXPECT_EQ(item->Check(), BackupCheckAsLeft);
    EXPECT_EQ(item->Restore(false), RestoreDone);
    EXPECT_EQ(FileText(file), "old");
}

// ---- reading hand-edited files -------------------------------------------------------------

TEST(BackupStoreTest, HandEditedIniReadsDefaultsAndRefusesEscapingNames) {
    Fixture f;
    const std::wstring folder = f.root + L"\\20240131_130509";
    ASSERT_TRUE(CreateDirectoryW(f.root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::string ini =
        "[Comment]\r\nAction=Hand\r\nTime=2024/01/31 13:05:09\r\n"
        "[Action_0]\r\nInfoType=Renamed\r\nSubInfoType=BackupFile\r\nSource=C:\\x\\a.txt\r\nDestin=a.txt\r\n"
        "Consistency=-5\r\n"
        "[Action_1]\r\nInfoType=DeleteFile\r\nSubInfoType=BackupFile\r\nSource=C:\\x\\b.txt\r\n"
        "Destin=..\\..\\b.txt\r\nConsistency=7\r\n"
        "[Action_3]\r\nInfoType=DeleteFile\r\n";
    ASSERT_TRUE(WriteFileBytes(folder + L"\\Backup.ini", ini));
    std::unique_ptr<JobBackupUnit> unit(JobBackupUnit::FromFolder(&f.store, W(folder)));
    EXPECT_EQ(S(unit->Title()), "2024/01/31 13:05:09 : Hand");
    ASSERT_EQ(unit->ItemList().Count(), 2);  // Action_2 is missing: reading stops there
    JobBackupItemUnit* first = unit->ItemList().At(0);
    EXPECT_EQ(first->InfoType(), BackupInfoSaveFile);
    EXPECT_EQ(first->Consistency(), static_cast<uint64_t>(-5));
    EXPECT_TRUE(first->Restorable());
    JobBackupItemUnit* second = unit->ItemList().At(1);
    EXPECT_FALSE(second->Restorable());
    EXPECT_EQ(second->Check(), BackupCheckMissing);

    // A folder without a "Backup.ini": an empty comment, no items.
    const std::wstring bare = f.root + L"\\20240131_130510";
    ASSERT_TRUE(CreateDirectoryW(bare.c_str(), nullptr));
    std::unique_ptr<JobBackupUnit> empty(JobBackupUnit::FromFolder(&f.store, W(bare)));
    EXPECT_EQ(empty->Comment().Count(), 0);
    EXPECT_EQ(empty->ItemList().Count(), 0);
}

// ---- backups switched off, failed writes ---------------------------------------------------

TEST(BackupStoreTest, DisabledBackupsMakeNothingOnDisk) {
    Fixture f;
    f.store.SetOptions(W(f.root), 10, true);
    SYSTEMTIME time = MakeTime(2024, 1, 31, 13, 5, 9);
    JobBackupUnit* backup = JobBackupUnit::Create(f.store, f.Comment("Save", time), time);
    EXPECT_EQ(backup->StateValue(), BackupStateDisabled);
    JobBackupItemUnit* item = backup->AddItem(BackupInfoDiscardFile, W(f.data + L"\\a.txt"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(JobBackupItemUnit::Store(*item));
    EXPECT_TRUE(JobBackupUnit::Write(*backup));
    EXPECT_FALSE(FileExists(f.root));
}

TEST(BackupStoreTest, FailedSectionWriteReportsBackupError) {
    Fixture f;
    Capture capture;
    ShellCommandStore::Instance().SetOutput(&capture);
    SYSTEMTIME time = MakeTime(2024, 1, 31, 13, 5, 9);
    JobBackupUnit* backup = JobBackupUnit::Create(f.store, f.Comment("Save", time), time);
    ASSERT_TRUE(JobBackupUnit::Write(*backup));
    const std::wstring ini = Ws(backup->IniPath());
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(JobBackupUnit::Write(*backup));
    ShellCommandStore::Instance().SetOutput(nullptr);
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_EQ(capture.lines[0], "BackupError (" + Utf8(ini) + ")");
}

TEST(BackupStoreTest, AFailedReplaceDropsTheKeptCopyOnlyWhenTheFileIsBackAtItsName) {
    Fixture f;
    Capture capture;
    ShellCommandStore::Instance().SetOutput(&capture);
    const std::wstring file = f.data + L"\\a.txt";
    const std::wstring spare = file + L".~tv000001.tmp";
    // Where the replace left the old file, and where the user must be told
    // it is (empty: it is back at its name).
    enum Leaving { SpareHeld, SpareFree, SpareGone, NoSpareFileGone, NoSpareFileThere };
    const struct {
        Leaving leaving;
        const char* name;
    } cases[] = {
        {SpareHeld, "spare held open"},
        {SpareFree, "spare free"},
        {SpareGone, "spare gone too"},
        {NoSpareFileGone, "no spare, file gone"},
        {NoSpareFileThere, "no spare, file in place"},
    };
    int second = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        capture.lines.clear();
        Put(file, "old", 1);
        const SYSTEMTIME time = MakeTime(2024, 1, 31, 13, 5, second++);
        JobBackupUnit* backup = JobBackupUnit::Create(f.store, f.Comment("Save file Side1 (Text type)", time), time);
        JobBackupItemUnit* item = backup->AddItem(BackupInfoSaveFile, W(file));
        ASSERT_NE(item, nullptr);
        ASSERT_TRUE(JobBackupItemUnit::Store(*item));
        const std::wstring kept = Ws(item->KeptPath());
        ASSERT_EQ(FileText(kept), "old");
        // The replace moved the old file aside and stopped there; the spare,
        // held open without delete sharing, cannot be moved back; one that
        // another program took away leaves no file at all.
        const bool usesSpare = c.leaving == SpareHeld || c.leaving == SpareFree || c.leaving == SpareGone;
        if (c.leaving != NoSpareFileThere) {
            ASSERT_TRUE(MoveFileW(file.c_str(), spare.c_str()));
        }
        if (c.leaving == SpareGone || c.leaving == NoSpareFileGone) {
            ASSERT_TRUE(DeleteFileW(spare.c_str()));
        }
        HANDLE hold = c.leaving == SpareHeld ? CreateFileW(spare.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                             : INVALID_HANDLE_VALUE;
        ASSERT_EQ(hold != INVALID_HANDLE_VALUE, c.leaving == SpareHeld);
        const bool back = SettleFailedReplace(*backup, *item, W(file), usesSpare ? W(spare) : RawString());
        if (hold != INVALID_HANDLE_VALUE) CloseHandle(hold);
        const std::wstring told = c.leaving == SpareHeld ? spare
                                  : c.leaving == SpareGone || c.leaving == NoSpareFileGone ? kept
                                                                                          : std::wstring();
        if (!told.empty()) {
            EXPECT_FALSE(back);
            EXPECT_FALSE(FileExists(file));
            // The kept copy and its record stay; the place of the old file
            // is named.
            ASSERT_EQ(backup->ItemList().Count(), 1);
            EXPECT_EQ(FileText(kept), "old");
            ASSERT_EQ(capture.lines.size(), 1u);
            EXPECT_EQ(capture.lines[0], "OriginalKeptAs (" + Utf8(told) + ")");
            // The record restores the file.
            EXPECT_EQ(item->Restore(false), 1u);
            EXPECT_EQ(FileText(file), "old");
            DeleteFileW(spare.c_str());
        } else {
            EXPECT_TRUE(back);
            EXPECT_EQ(FileText(file), "old");
            EXPECT_FALSE(FileExists(spare));
            EXPECT_EQ(backup->ItemList().Count(), 0);
            EXPECT_FALSE(FileExists(kept));
            EXPECT_TRUE(capture.lines.empty());
        }
    }
    ShellCommandStore::Instance().SetOutput(nullptr);
}
