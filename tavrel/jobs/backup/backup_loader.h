// The backup loader: a worker thread that, at start-up, lists the backup
// folders of earlier runs into the backup store and then deletes the ones
// older than "BackupDays".
//
// Only folders whose names have the dated form YYYYMMDD_hhmmss are looked
// at; anything else in the backup root (files, folders of other names,
// links) is neither listed nor deleted. An empty, relative or root backup
// folder is refused: nothing is listed or deleted. The store's loaded flag
// and event are set however the run ends (also when the thread could not
// be started), so the GUI thread never waits forever.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "base/thread.h"
#include "tavrel/jobs/backup/backup_store.h"

namespace JobLayer {

class JobBackupLoader : public RawLayer::RawThreadUnit {
public:
    explicit JobBackupLoader(JobBackupList& store);
    ~JobBackupLoader() override;

    // A fixed "now" for the cut-off (local time); without one the local time
    // at the run is taken.
    void SetNow(const SYSTEMTIME& now);
    void ClearNow();

    // The cut-off date for a "now" and a number of days (at most 36500; a
    // negative count is the default 10): now minus the days, as a calendar time. A backup is kept
    // when its date (year, month, day) is later than the cut-off's date.
    static SYSTEMTIME CutOff(const SYSTEMTIME& now, int32_t days);
    static bool DateIsLater(const SYSTEMTIME& a, const SYSTEMTIME& b);

    // The old folders still to delete (after a run: those that could not be
    // deleted, or were not reached because of a stop request).
    const RawLayer::RawStringList& DeleteList() const { return deleteList_; }

    // The whole work of a run, on the calling thread (the thread's Run).
    void LoadAndPurge();

protected:
    void Run() override;
    // Marks the store loaded, whatever happened before.
    void OnEnd() override;
    void Reserved() override {}
    // Called before each old folder is deleted; for tests and tracing.
    virtual void BeforeDelete(const RawString& path);

private:
    void Scan();
    void Purge();
    // Deletes a folder tree, checking the stop flag before every entry;
    // false when anything stayed or a stop was asked.
    bool DeleteOldFolder(const RawString& path, int depth);

    JobBackupList& store_;
    RawLayer::RawStringList deleteList_;
    SYSTEMTIME now_;
    bool hasNow_ = false;
};

}  // namespace JobLayer
