// Restoring a backup: each item brings back the state it kept, and what the
// restore replaces is itself recorded in a new backup, so that a restore can
// be undone the same way.
#include <windows.h>

#include "base/api_text.h"
#include "base/file_system.h"
#include "tavrel/jobs/backup/backup_paths.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/config_store.h"

namespace JobLayer {

using namespace RawLayer;

namespace {

// Sibling names tried for a restore's temporary folder.
constexpr int kMaxTempTries = 1000;

RAW_CONSTANT_TEXT(RestoreTempSuffixText, "~restore")

// A free sibling path of P for a restore's temporary folder.
RawString FreeSiblingPath(const RawString& path) {
    RawString base = TrimTrailingSeparators(path);
    base.Append(RestoreTempSuffixText());
    RawString candidate = base;
    for (int i = 1; i <= kMaxTempTries; ++i) {
        if (!PathExists(candidate)) return candidate;
        candidate = base;
        candidate.AppendInt(i);
    }
    return RawString();
}

}  // namespace

// ---------------------------------------------------------------------------
// Restore session: the backup that records what a restore replaces

class JobBackupRestoreSession {
public:
    JobBackupRestoreSession(JobBackupList* store, const JobBackupUnit& from) : store_(store), from_(from) {}
    JobBackupRestoreSession(const JobBackupRestoreSession&) = delete;
    JobBackupRestoreSession& operator=(const JobBackupRestoreSession&) = delete;

    // A new item of the recording backup for a path (made at the first
    // call); null when there is no store or Set failed.
    JobBackupItemUnit* Record(uint32_t infoType, const RawString& path) {
        if (!store_) return nullptr;
        if (!record_) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            RawParameterList comment;
            RawString action(KindUtf8);
            action.Append(RestoreBackupActionText());
            action.Append(BackupOpenParenText());
            RawString folder = TrimTrailingSeparators(from_.Folder());
            RawString name(KindUtf16);
            name.AssignRange(folder, PathNameRange(folder));
            action.Append(name);
            action.Append(BackupCloseParenText());
            comment.SetText(BackupActionKeyText(), action);
            SetBackupCommentTime(comment, now);
            record_ = JobBackupUnit::Create(*store_, comment, now);
        }
        return record_ ? record_->AddItem(infoType, path) : nullptr;
    }

    void Finish() {
        if (record_) JobBackupUnit::Write(*record_);
    }

private:
    JobBackupList* store_;
    const JobBackupUnit& from_;
    JobBackupUnit* record_ = nullptr;
};

uint32_t JobBackupItemUnit::Restore(bool force) {
    if (!owner_) return RestoreFailed;
    JobBackupRestoreSession session(owner_->OwnerStore(), *owner_);
    const uint32_t result = RestoreIn(session, force);
    session.Finish();
    return result;
}

namespace {

// Brings back the state a restore recorded (and took away) when the restore
// itself failed afterwards.
void PutBack(const JobBackupItemUnit& record, const RawString& path) {
    if (!record.Restorable()) return;
    const RawString kept = record.KeptPath();
    if (kept.IsEmpty() || !PathExists(kept)) return;
    if (record.SubInfoType() == BackupSubDirectory) {
        RawString failing;
        if (!PathExists(path) || FolderExists(path)) {
            if (MoveFolderTree(path, kept, failing)) DeleteFolderTree(kept);
        }
    } else if (record.SubInfoType() == BackupSubFile) {
        if (!PathExists(path)) CopyKeptFile(path, kept);
    }
}

}  // namespace

uint32_t JobBackupItemUnit::RestoreIn(JobBackupRestoreSession& session, bool force) {
    if (!Restorable()) {
        checkResult_ = BackupCheckMissing;
        return RestoreFailed;
    }
    const uint32_t check = Check();
    checkResult_ = check;
    if (check == BackupCheckMissing) return RestoreNothing;
    if (!force) {
        if (check == BackupCheckChanged) return RestoreChangedSince;
        if (check == BackupCheckSame) return RestoreNothing;
    }

    const RawString path = TrimTrailingSeparators(source_);
    const RawString kept = KeptPath();
    const DWORD attributes = ApiGetFileAttributes(path);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    const bool isFolder = exists && (attributes & FILE_ATTRIBUTE_DIRECTORY);

    switch (subInfoType_) {
    case BackupSubNoBackup: {
        // The path did not exist before the operation: it goes, into the
        // recording backup (a move is the delete).
        if (!exists) return RestoreDone;
        JobBackupItemUnit* record =
            session.Record(isFolder ? BackupInfoDeleteDirectory : BackupInfoDeleteFile, path);
        if (!record || !Store(*record)) return RestoreFailed;
        SetConsistency(*record);
        return PathExists(path) ? RestoreFailed : RestoreDone;
    }
    case BackupSubFile: {
        JobBackupItemUnit* record = session.Record(BackupInfoCopyFile, path);
        if (!record || !Store(*record)) return RestoreFailed;
        // A file that is still in place (copied into the record) is replaced
        // through a temporary file: a failed copy leaves it as it was.
        if (!CopyKeptFile(path, kept)) {
            PutBack(*record, path);
            return RestoreFailed;
        }
        SetConsistency(*record);
        return RestoreDone;
    }
    case BackupSubDirectory: {
        // The kept tree is copied beside the path first; the path is
        // replaced only when the whole copy stands.
        const RawString temp = FreeSiblingPath(path);
        if (temp.IsEmpty()) return RestoreFailed;
        RawString failing;
        if (!CopyFolderTree(temp, kept, failing)) {
            DeleteFolderTree(temp);
            return RestoreFailed;
        }
        JobBackupItemUnit* record = session.Record(BackupInfoCopyDirectory, path);
        if (!record || !Store(*record)) {
            DeleteFolderTree(temp);
            return RestoreFailed;
        }
        if (PathExists(path) && !FolderExists(path) && !DeleteBackupFile(path)) {
            DeleteFolderTree(temp);
            return RestoreFailed;
        }
        if (!ApiMoveFileEx(temp, path, 0)) {
            PutBack(*record, path);
            DeleteFolderTree(temp);
            return RestoreFailed;
        }
        SetConsistency(*record);
        return RestoreDone;
    }
    default:
        return RestoreFailed;
    }
}

uint32_t JobBackupUnit::Restore(bool force) {
    JobBackupRestoreSession session(store_, *this);
    uint32_t result = RestoreNothing;
    for (RawListLink* link = items_.FirstLink(); !items_.IsEnd(link); link = link->next)
        result |= static_cast<JobBackupItemUnit*>(link->unit)->RestoreIn(session, force);
    session.Finish();
    return result;
}

}  // namespace JobLayer
