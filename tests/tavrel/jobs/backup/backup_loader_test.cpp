// The backup loader on real folders: listing by date with a fixed "now",
// purging only dated folders, stopping between entries, the loaded flag and
// event on every way out. Runs under both code pages: RUN_UNDER_BOTH_CODE_PAGES
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/raw_string.h"
#include "support/test_support.h"
#include "tavrel/jobs/backup/backup_loader.h"
#include "tavrel/jobs/backup/backup_store.h"

using namespace JobLayer;
using RawLayer::RawParameterList;
using RawLayer::RawString;
using TestSupport::FileExists;
using TestSupport::TempFolder;
using TestSupport::Utf8;
using TestSupport::WriteFileBytes;

using TestSupport::W;
using TestSupport::Ws;
using TestSupport::MakeTime;

namespace {


bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A loader that asks itself to stop before the n-th deletion.
class StoppingLoader : public JobBackupLoader {
public:
    StoppingLoader(JobBackupList& store, int stopAt) : JobBackupLoader(store), stopAt_(stopAt) {}
    std::vector<std::wstring> seen;

protected:
    void BeforeDelete(const RawString& path) override {
        seen.push_back(Ws(path));
        if (static_cast<int>(seen.size()) == stopAt_) RequestStop();
    }

private:
    int stopAt_;
};

struct Root {
    TempFolder temp;
    std::wstring root;
    JobBackupList store;
    Root() {
        root = temp.Join(L"Tavrel_Backup");
        CreateDirectoryW(root.c_str(), nullptr);
        store.SetOptions(W(root), 10, false);
    }
    std::wstring Folder(const wchar_t* name, bool withFile = true) {
        std::wstring path = root + L"\\" + name;
        CreateDirectoryW(path.c_str(), nullptr);
        if (withFile) {
            WriteFileBytes(path + L"\\a.txt", std::string("kept"));
            CreateDirectoryW((path + L"\\sub").c_str(), nullptr);
            WriteFileBytes(path + L"\\sub\\b.txt", std::string("kept"));
        }
        return path;
    }
    std::vector<std::wstring> Listed() {
        std::vector<std::wstring> names;
        for (int32_t i = 0; i < store.Count(); ++i) {
            std::wstring folder = Ws(store.At(i)->Folder());
            names.push_back(folder.substr(folder.rfind(L'\\') + 1));
        }
        return names;
    }
};

}  // namespace

TEST(BackupLoaderTest, CutOffAndDateComparison) {
    SYSTEMTIME cut = JobBackupLoader::CutOff(MakeTime(2024, 3, 1, 12, 0, 0), 10);
    EXPECT_EQ(cut.wYear, 2024);
    EXPECT_EQ(cut.wMonth, 2);
    EXPECT_EQ(cut.wDay, 20);  // 2024 is a leap year
    EXPECT_TRUE(JobBackupLoader::DateIsLater(MakeTime(2024, 2, 21, 0, 0, 0), cut));
    EXPECT_FALSE(JobBackupLoader::DateIsLater(MakeTime(2024, 2, 20, 23, 59, 59), cut));
    // A negative count is the default 10 (never 0, which purges today's
    // backups too); a huge one stays in range.
    SYSTEMTIME now = MakeTime(2024, 3, 1, 12, 0, 0);
    SYSTEMTIME same = JobBackupLoader::CutOff(now, -7);
    EXPECT_EQ(same.wDay, 20);
    SYSTEMTIME distant = JobBackupLoader::CutOff(now, 2000000000);
    EXPECT_GE(distant.wYear, 1900);
    JobBackupList store;
    store.SetOptions(W(L"C:\\x"), -3, false);
    EXPECT_EQ(store.Days(), 10);
    store.SetOptions(W(L"C:\\x"), 99999999, false);
    EXPECT_EQ(store.Days(), 36500);
}

TEST(BackupLoaderTest, ListsRecentAndPurgesOldByDate) {
    Root r;
    const std::wstring eleven = r.Folder(L"20240309_120000");
    const std::wstring ten = r.Folder(L"20240310_235959");  // the cut-off's own date
    r.Folder(L"20240320_080000", false);
    r.Folder(L"20240311_000000", false);
    // Not backups: never listed, never deleted.
    WriteFileBytes(r.root + L"\\notes.txt", std::string("mine"));
    const std::wstring keep = r.Folder(L"keep");
    const std::wstring invalid = r.Folder(L"20241399_000000");
    WriteFileBytes(r.root + L"\\20240101_000000", std::string("a file"));

    r.store.Loader().SetNow(MakeTime(2024, 3, 20, 12, 0, 0));
    r.store.Loader().LoadAndPurge();

    EXPECT_TRUE(r.store.IsLoaded());
    EXPECT_EQ(WaitForSingleObject(r.store.LoadedEvent(), 0), WAIT_OBJECT_0);
    std::vector<std::wstring> expected = {L"20240311_000000", L"20240320_080000"};  // oldest first
    EXPECT_EQ(r.Listed(), expected);
    EXPECT_EQ(r.store.At(0)->StateValue(), BackupStateLoaded);
    EXPECT_FALSE(Exists(eleven));
    EXPECT_FALSE(Exists(ten));
    EXPECT_TRUE(Exists(r.root + L"\\notes.txt"));
    EXPECT_TRUE(Exists(keep + L"\\sub\\b.txt"));
    EXPECT_TRUE(Exists(invalid));
    EXPECT_TRUE(Exists(r.root + L"\\20240101_000000"));
    EXPECT_EQ(r.store.Loader().DeleteList().Count(), 0);
}

TEST(BackupLoaderTest, ZeroDaysPurgesTodayButNotThisRunsBackup) {
    Root r;
    r.store.SetOptions(W(r.root), 0, false);
    const std::wstring today = r.Folder(L"20240320_010000");
    // A backup made by this run before the loader lists the root.
    SYSTEMTIME time = MakeTime(2024, 3, 20, 11, 0, 0);
    RawParameterList comment;
    SetBackupCommentTime(comment, time);
    JobBackupUnit* mine = JobBackupUnit::Create(r.store, comment, time);
    ASSERT_TRUE(JobBackupUnit::Write(*mine));

    r.store.Loader().SetNow(MakeTime(2024, 3, 20, 12, 0, 0));
    r.store.Loader().LoadAndPurge();
    EXPECT_FALSE(Exists(today));
    EXPECT_TRUE(Exists(Ws(mine->IniPath())));
    ASSERT_EQ(r.store.Count(), 1);  // listed once, as this run's own
    EXPECT_EQ(r.store.First(), mine);
}

TEST(BackupLoaderTest, RecentFolderMadeBeforeTheScanIsListedOnce) {
    Root r;
    SYSTEMTIME time = MakeTime(2024, 3, 20, 11, 0, 0);
    RawParameterList comment;
    SetBackupCommentTime(comment, time);
    JobBackupUnit* mine = JobBackupUnit::Create(r.store, comment, time);
    ASSERT_TRUE(JobBackupUnit::Write(*mine));
    r.Folder(L"20240319_100000", false);
    r.store.Loader().SetNow(MakeTime(2024, 3, 20, 12, 0, 0));
    r.store.Loader().LoadAndPurge();
    std::vector<std::wstring> expected = {L"20240319_100000", L"20240320_110000"};
    EXPECT_EQ(r.Listed(), expected);
}

TEST(BackupLoaderTest, StopRequestEndsThePurgeBeforeTheNextEntry) {
    Root r;
    std::vector<std::wstring> old = {r.Folder(L"20240101_000000"), r.Folder(L"20240102_000000"),
                                     r.Folder(L"20240103_000000")};
    StoppingLoader loader(r.store, 2);
    loader.SetNow(MakeTime(2024, 3, 20, 12, 0, 0));
    loader.LoadAndPurge();
    ASSERT_EQ(loader.seen.size(), 2u);
    int gone = 0;
    for (const std::wstring& path : old) gone += Exists(path) ? 0 : 1;
    EXPECT_EQ(gone, 1);
    EXPECT_FALSE(Exists(loader.seen[0]));
    EXPECT_TRUE(Exists(loader.seen[1] + L"\\sub\\b.txt"));
    EXPECT_EQ(loader.DeleteList().Count(), 2);
    EXPECT_TRUE(r.store.IsLoaded());  // the list was complete before the purge
}

TEST(BackupLoaderTest, RefusesEmptyAndRootBackupFolders) {
    const wchar_t* roots[] = {L"", L"C:\\", L"relative\\folder"};
    for (const wchar_t* root : roots) {
        JobBackupList store;
        store.SetOptions(W(root), 0, false);
        StoppingLoader loader(store, 1000);
        loader.SetNow(MakeTime(2099, 1, 1, 0, 0, 0));
        loader.LoadAndPurge();
        EXPECT_TRUE(store.IsLoaded()) << Utf8(root);
        EXPECT_EQ(store.Count(), 0) << Utf8(root);
        EXPECT_TRUE(loader.seen.empty()) << Utf8(root);
    }
}

TEST(BackupLoaderTest, ThreadRunSetsTheEventAndWaitReturns) {
    Root r;
    r.Folder(L"20240319_100000", false);
    // Without a started loader there is nothing to wait for.
    r.store.WaitLoaded();
    EXPECT_FALSE(r.store.IsLoaded());

    r.store.Loader().SetNow(MakeTime(2024, 3, 20, 12, 0, 0));
    ASSERT_TRUE(r.store.StartLoader());
    EXPECT_FALSE(r.store.StartLoader());  // once per store
    r.store.WaitLoaded();
    EXPECT_TRUE(r.store.IsLoaded());
    EXPECT_EQ(r.store.LastWaitResult(), static_cast<DWORD>(WAIT_OBJECT_0));
    r.store.StopLoader();
    EXPECT_EQ(r.store.Count(), 1);
}

TEST(BackupLoaderTest, MissingRootStillSetsTheEvent) {
    TempFolder temp;
    JobBackupList store;
    store.SetOptions(W(temp.Join(L"none")), 10, false);
    ASSERT_TRUE(store.StartLoader());
    EXPECT_EQ(WaitForSingleObject(store.LoadedEvent(), 10000), WAIT_OBJECT_0);
    store.StopLoader();
    EXPECT_EQ(store.Count(), 0);
}
