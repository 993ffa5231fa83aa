// The backup loader thread: list the recent backups, then purge the old ones.
#include "tavrel/jobs/backup/backup_loader.h"

#include <vector>

#include "base/api_text.h"
#include "base/date_time.h"
#include "base/file_system.h"
#include "base/profile.h"
#include "base/text_ops.h"
#include "tavrel/jobs/config_store.h"

namespace JobLayer {

using namespace RawLayer;

namespace {

// One day in units of 100 ns.
constexpr uint64_t kDayUnits = 864000000000ull;

}  // namespace

JobBackupLoader::JobBackupLoader(JobBackupList& store) : store_(store) {
    ZeroMemory(&now_, sizeof(now_));
}

JobBackupLoader::~JobBackupLoader() { StopAndWait(); }

void JobBackupLoader::SetNow(const SYSTEMTIME& now) {
    now_ = now;
    hasNow_ = true;
}

void JobBackupLoader::ClearNow() { hasNow_ = false; }

SYSTEMTIME JobBackupLoader::CutOff(const SYSTEMTIME& now, int32_t days) {
    if (days < 0) days = BackupDaysDefault;
    if (days > BackupDaysMax) days = BackupDaysMax;
    FILETIME ft;
    if (!SystemTimeToFileTime(&now, &ft)) return now;
    uint64_t value = RawLayer::FileTimeValue(ft);
    const uint64_t span = static_cast<uint64_t>(days) * kDayUnits;
    ft = RawLayer::FileTimeOfValue(value > span ? value - span : 0);
    SYSTEMTIME cut;
    if (!FileTimeToSystemTime(&ft, &cut)) return now;
    return cut;
}

bool JobBackupLoader::DateIsLater(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    if (a.wYear != b.wYear) return a.wYear > b.wYear;
    if (a.wMonth != b.wMonth) return a.wMonth > b.wMonth;
    return a.wDay > b.wDay;
}

void JobBackupLoader::Run() { LoadAndPurge(); }

void JobBackupLoader::OnEnd() { store_.MarkLoaded(); }

void JobBackupLoader::BeforeDelete(const RawString&) {}

void JobBackupLoader::LoadAndPurge() {
    Scan();
    // The list is complete and sorted: the GUI thread may read it now.
    store_.MarkLoaded();
    Purge();
}

void JobBackupLoader::Scan() {
    RawString root;
    int32_t days;
    {
        JobBackupStoreGuard guard(store_);
        root = store_.Root().As(KindUtf16);
        days = store_.Days();
    }
    deleteList_.Clear();

    std::vector<JobBackupUnit*> found;
    RawStringList old;
    // An empty, relative or root folder is never walked: a purge there would
    // delete whatever happens to carry a dated name.
    if (IsDeletablePath(root) && FolderExists(root)) {
        SYSTEMTIME now;
        if (hasNow_) now = now_;
        else GetLocalTime(&now);
        const SYSTEMTIME cut = CutOff(now, days);

        RawFileFind find(root);
        while (find.Next(FindSkipDots)) {
            // Only folders of the dated form are backups; everything else in
            // the root is left alone.
            if (!find.IsFolder() || find.IsReparsePoint()) continue;
            SYSTEMTIME time;
            if (!ParseBackupFolderName(find.Name(), time)) continue;
            const RawString full = find.FullPath().As(KindUtf16);
            if (DateIsLater(time, cut)) found.push_back(JobBackupUnit::FromFolder(&store_, full));
            else old.Add(full);
        }
    }

    JobBackupStoreGuard guard(store_);
    // A backup made by this run while the scan went on is in the list
    // already: it is neither listed twice nor deleted.
    for (JobBackupUnit* unit : found) {
        if (store_.FindFolder(unit->Folder())) delete unit;
        else store_.Add(unit);
    }
    for (RawListLink* link = old.FirstLink(); !old.IsEnd(link); link = link->next) {
        const RawString& path = *static_cast<const RawString*>(link->unit);
        if (!store_.FindFolder(path)) deleteList_.Add(path);
    }
    store_.Sort(JobBackupListSort());
}

void JobBackupLoader::Purge() {
    for (RawListLink* link = deleteList_.FirstLink(); !deleteList_.IsEnd(link);) {
        if (StopRequested()) return;
        const RawString path = *static_cast<const RawString*>(link->unit);
        BeforeDelete(path);
        if (StopRequested()) return;
        const DWORD attributes = ApiGetFileAttributes(path);
        bool gone;
        if (attributes == INVALID_FILE_ATTRIBUTES) gone = true;
        else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            gone = DeleteOldFolder(path, 0);
        else gone = false;  // not a backup folder (any more): left alone
        if (gone) link = deleteList_.RemoveLink(link);
        else link = link->next;
    }
}

bool JobBackupLoader::DeleteOldFolder(const RawString& path, int depth) {
    if (depth > MaxTreeDepth) return false;
    bool ok = true;
    {
        RawFileFind find(path);
        for (;;) {
            if (StopRequested()) return false;
            if (!find.Next(FindSkipDots)) break;
            const RawString full = find.FullPath();
            if (find.IsFolder()) {
                if (find.IsReparsePoint()) {
                    // A link is removed itself, never entered.
                    if (!ApiRemoveDirectory(full)) ok = false;
                } else if (DeleteOldFolder(full, depth + 1)) {
                    if (!ApiRemoveDirectory(full)) ok = false;
                } else {
                    ok = false;
                    if (StopRequested()) return false;
                }
            } else if (!DeleteBackupFile(full)) {
                ok = false;
            }
        }
    }
    if (!ok || StopRequested()) return false;
    return depth > 0 ? true : ApiRemoveDirectory(path);
}

}  // namespace JobLayer
