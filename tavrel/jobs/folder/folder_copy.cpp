#include "tavrel/jobs/folder/folder_copy.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/profile.h"
#include "base/text_ops.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/folder/folder_equal.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

namespace {

using RawLayer::RawFileCopier;
using RawLayer::RawFileFind;

// The full path in UTF-16, upper-cased, without a trailing separator.
std::wstring FoldedFullPath(const RawString& path) {
    RawString wide = path.As(RawLayer::KindUtf16);
    std::wstring given(wide.Wide(), static_cast<size_t>(wide.Length()));
    if (given.empty()) return std::wstring();
    std::wstring full;
    DWORD need = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (need > 0 && need < 0x10000) {
        std::vector<wchar_t> buffer(need + 1);
        DWORD got = GetFullPathNameW(given.c_str(), need + 1, buffer.data(), nullptr);
        if (got > 0 && got <= need) full.assign(buffer.data(), got);
    }
    if (full.empty()) full = given;
    for (wchar_t& c : full) {
        if (c == L'/') c = L'\\';
    }
    if (!full.empty()) CharUpperBuffW(&full[0], static_cast<DWORD>(full.size()));
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
}

bool IsFolder(const RawString& path) { return RawLayer::FolderExists(path); }

bool IsFile(const RawString& path) { return RawLayer::FileExists(path); }

bool Exists(const RawString& path) { return RawLayer::PathExists(path); }

// A side's folder must be there before anything is touched.
bool SideFolderReady(const JobGroupUnit& job, uint32_t side) {
    const RawString& folder = job.Path(side);
    if (folder.IsEmpty()) {
        ReportError(NoPathSpecifiedErrorText(), folder);
        return false;
    }
    if (!IsFolder(folder)) {
        ReportError(DirectoryErrorText(), folder);
        return false;
    }
    return true;
}

// The parent folder of a path (empty when it has none).
RawString ParentOf(const RawString& path) {
    RawLayer::RawRange name = RawLayer::PathNameRange(path);
    if (name.start <= 0) return RawString();
    RawString parent;
    RawLayer::RawRange range = {0, name.start - 1};
    parent.AssignRange(path, range);
    return parent;
}

// The key of a failed file copy, by what the copier reports.
RawString CopyFailureKey(uint32_t status) {
    switch (status) {
    case RawLayer::CopyStatusSource: return ReadOpenErrorText();
    case RawLayer::CopyStatusTarget: return WriteOpenErrorText();
    case RawLayer::CopyStatusRead: return ReadErrorText();
    case RawLayer::CopyStatusWrite: return WriteErrorText();
    default: return CopyErrorText();
    }
}

// A new entry of a path from a lookup on disk; flag 16 when not found.
JobPathUnit* NewEntryOf(const RawString& path, const RawString& fallbackName) {
    JobPathUnit* entry = new JobPathUnit();
    RawFileFind find;
    if (RawLayer::FindPathEntry(find, path)) {
        entry->FillFromFind(path, find.Name(), find.Attributes(), find.Size(), find.WriteTime());
    } else {
        FILETIME none = {0, 0};
        entry->FillFromFind(path, fallbackName, 0, 0, none);
        entry->flags = static_cast<uint16_t>(entry->flags | PathUnitMissing);
    }
    return entry;
}

// Brings a row's entry on a side up to date with the path it stands for.
void UpdateRowEntry(JobGroupUnit& job, int32_t rowIndex, uint32_t side, const RawString& path,
                    const RawString& name) {
    JobReportUnit* row = job.rows.At(rowIndex);
    if (!row) return;
    JobContentList& content = job.Content(side);
    JobPathUnit* entry = RealEntry(row->Unit(side));
    if (!entry) {
        if (Exists(path)) {
            JobPathUnit* fresh = NewEntryOf(path, name);
            // Before the entry of the next row that has one on this side, so
            // the side stays in row order.
            int32_t at = content.Count();
            for (int32_t next = rowIndex + 1; next < job.rows.Count(); ++next) {
                JobPathUnit* later = RealEntry(job.rows.At(next)->Unit(side));
                int32_t index = later ? content.IndexOf(later) : -1;
                if (index >= 0) {
                    at = index;
                    break;
                }
            }
            content.Insert(at, fresh);
            row->SetUnit(side, fresh);
        }
    } else if (!Exists(entry->fullPath)) {
        row->SetUnit(side, &JobPathUnit::Placeholder());
        content.Remove(entry);
    } else {
        entry->UpdateKind();
        entry->Reread();
    }
    if (!RealEntry(row->unit1) && !RealEntry(row->unit2)) row->flags |= RowToRemove;
}

// An open job of the row's two paths holds the sides as they were before
// the copy or delete; a folder row takes its kind from that job's Same bit,
// so the job is read again first.
void ReloadPairJob(JobGroupUnit& job, const JobReportUnit& row, const RawString& name) {
    RawString paths[2];
    for (uint32_t side = 0; side < 2; ++side) {
        JobPathUnit* entry = RealEntry(row.Unit(side));
        paths[side] = entry ? entry->fullPath : RawLayer::PathJoin(job.Path(side), name);
    }
    JobGroupUnit* pair = JobGroupList::Instance().FindByPaths(paths[0], paths[1]);
    // Only a folder job: a file job may hold edits that a reload would lose.
    if (!pair || pair == &job || pair->controller != &JobPathControl::Shared() ||
        JobGroupUnit::IsAncestor(pair, &job))
        return;
    PathDepthGuard guard;
    if (guard.entered) pair->controller->Load(*pair, ModeBoth);
}

// The row's kind from the pair status, with fresh empty detail lists.
void RecheckRow(JobGroupUnit& job, JobReportUnit& row, const RawString& name) {
    if (row.flags & RowToRemove) return;
    ReloadPairJob(job, row, name);
    row.kind = JobPathControl::Shared().PairStatus(job, row.unit1, row.unit2);
    for (JobDetailList& details : row.details) details = JobDetailList();
}

// Entries replaced by an entry of another kind leave their side; rows left
// without entries, and the rows marked before, go; then the sides are merged
// again and the Same bit stored (with bit 32).
void FinishRows(JobGroupUnit& job) {
    for (JobReportUnit& row : job.rows) {
        for (uint32_t side = 0; side < 2; ++side) {
            JobPathUnit* entry = RealEntry(row.Unit(side));
            if (!entry || !(entry->flags & PathUnitReplaced)) continue;
            row.SetUnit(side, &JobPathUnit::Placeholder());
            job.Content(side).Remove(entry);
        }
        if (!RealEntry(row.unit1) && !RealEntry(row.unit2)) row.flags |= RowToRemove;
    }
    job.rows.RemoveIf([](const JobReportUnit& row) { return (row.flags & RowToRemove) != 0; });
    JobPathControl::Shared().Compare(job);
}

// Marks the entries of other rows on the side that stand for the same path
// as this row's entry but are of another kind.
void MarkReplaced(JobGroupUnit& job, int32_t rowIndex, uint32_t side) {
    JobPathUnit* entry = RealEntry(job.rows.At(rowIndex)->Unit(side));
    if (!entry) return;
    std::wstring path = FoldedFullPath(entry->fullPath);
    int32_t index = 0;
    for (JobReportUnit& row : job.rows) {
        if (index++ == rowIndex) continue;
        JobPathUnit* other = RealEntry(row.Unit(side));
        if (!other || other == entry || other->entryKind == entry->entryKind) continue;
        if (FoldedFullPath(other->fullPath) == path)
            other->flags = static_cast<uint16_t>(other->flags | PathUnitReplaced);
    }
}

// Stores the previous state of a target; null (reported) when that fails.
JobBackupItemUnit* StoreTarget(JobBackupUnit& backup, uint32_t infoType, const RawString& path) {
    JobBackupItemUnit* item = backup.AddItem(infoType, path);
    if (!item || !JobBackupItemUnit::Store(*item)) {
        ReportError(BackupErrorText(), path);
        return nullptr;
    }
    return item;
}

void Consistent(JobBackupItemUnit& item, const RawString& path) {
    if (!JobBackupItemUnit::SetConsistency(item)) ReportError(BackupErrorText(), path);
}

// Names every entry a folder copy left (its first ones, and how many more
// there were).
void ReportLeftEntries(const RawLayer::TreeCopyFailures& failures, const RawString& target) {
    if (failures.count == 0) {
        ReportError(CopyErrorText(), target);
        return;
    }
    for (const RawString& path : failures.paths) ReportError(CopyErrorText(), path);
    if (failures.count > failures.paths.size()) {
        RawString more;
        more.AppendUnsigned(failures.count - failures.paths.size(), 10);
        more.AppendAscii(" more of ");
        more.AppendUnsigned(failures.count, 10);
        more.AppendAscii(" not copied");
        ReportError(CopyErrorText(), more);
    }
}

// False when anything was left uncopied.
bool CopyFolder(JobBackupUnit& backup, const JobPathUnit& source, const RawString& target) {
    if (source.IsLink()) {
        // A junction or folder link is never walked: it may lead anywhere.
        ReportError(CopyErrorText(), source.fullPath);
        return false;
    }
    JobBackupItemUnit* item = StoreTarget(backup, BackupInfoCopyDirectory, target);
    if (!item) return false;
    RawString failing;
    RawLayer::TreeCopyFailures failures;
    if (!RawLayer::CopyFolderTree(target, source.fullPath, failing, &failures)) {
        // Every entry that could be copied was; each one left is named.
        ReportLeftEntries(failures, failing.IsEmpty() ? target : failing);
        // What arrived is what the command left, for a later restore.
        if (IsFolder(target)) Consistent(*item, target);
        return false;
    }
    Consistent(*item, target);
    return true;
}

// False when the file was not copied.
bool CopyFile(JobBackupUnit& backup, const JobPathUnit& source, const RawString& target) {
    JobBackupItemUnit* item = StoreTarget(backup, BackupInfoCopyFile, target);
    if (!item) return false;
    RawString parent = ParentOf(target);
    if (!parent.IsEmpty() && !RawLayer::ApiCreateDirectoryTree(parent)) {
        ReportError(DirectoryErrorText(), parent);
        return false;
    }
    // The data goes through a temporary file beside the target, so a failed
    // copy never leaves the target half-written.
    RawFileCopier copier;
    if (!RawLayer::CopyFileKeepTimes(copier, target, source.fullPath) ||
        !RawLayer::CopyFileAttributes(copier, target, source.fullPath)) {
        ReportError(CopyFailureKey(copier.status), copier.failedPath.IsEmpty() ? target : copier.failedPath);
        return false;
    }
    Consistent(*item, target);
    return true;
}

void AppendName(RawString& list, const RawString& name) {
    if (!list.IsEmpty()) list.AppendAscii(",");
    list.Append(name);
}

}  // namespace

bool FoldersOverlap(const RawString& folder1, const RawString& folder2) {
    std::wstring a = FoldedFullPath(folder1);
    std::wstring b = FoldedFullPath(folder2);
    if (a.empty() || b.empty()) return true;
    if (a == b) return true;
    const std::wstring& shorter = a.size() < b.size() ? a : b;
    const std::wstring& longer = a.size() < b.size() ? b : a;
    if (longer.compare(0, shorter.size(), shorter) != 0) return false;
    return shorter.back() == L'\\' || longer[shorter.size()] == L'\\';
}

JobBackupUnit* CopySelections(JobGroupUnit& job, uint32_t targetSide, uint32_t sourceSide) {
    return CopySelections(job, targetSide, sourceSide, JobBackupList::Instance());
}

JobBackupUnit* CopySelections(JobGroupUnit& job, uint32_t targetSide, uint32_t sourceSide,
                              JobBackupList& store, bool* complete) {
    bool all = true;
    if (complete) *complete = false;
    if (targetSide > 1 || sourceSide > 1 || targetSide == sourceSide) return nullptr;
    if (!SideFolderReady(job, sourceSide) || !SideFolderReady(job, targetSide)) return nullptr;
    // Copying a folder onto itself, or into itself, would destroy it: the
    // backup moves the old target away before the copy reads the source.
    if (FoldersOverlap(job.Path(0), job.Path(1))) {
        ReportError(CopyErrorText(), job.Path(targetSide));
        return nullptr;
    }
    if (job.rows.IsEmpty()) {
        JobPathControl::Shared().Compare(job);
        return nullptr;
    }

    SYSTEMTIME now;
    GetLocalTime(&now);
    RawParameterList comment;
    comment.SetText(BackupActionKeyText(),
                    targetSide == 1 ? CopySelections12ActionText() : CopySelections21ActionText());
    comment.SetText(BackupSide1KeyText(), job.Path(0));
    comment.SetText(BackupSide2KeyText(), job.Path(1));
    RawString selection;
    for (JobReportUnit& row : job.rows) {
        JobPathUnit* source = RealEntry(row.Unit(sourceSide));
        if ((row.flags & RowMarked) && source) AppendName(selection, source->name);
    }
    comment.SetText(BackupSelectionKeyText(), selection);
    SetBackupCommentTime(comment, now);
    JobBackupUnit* backup = JobBackupUnit::Create(store, comment, now);
    if (!backup) return nullptr;

    for (int32_t r = 0; r < job.rows.Count(); ++r) {
        JobReportUnit* row = job.rows.At(r);
        if (!(row->flags & RowMarked)) continue;
        JobPathUnit* source = RealEntry(row->Unit(sourceSide));
        if (!source || (source->flags & PathUnitMissing)) continue;
        // Kept apart: updating the source side may delete its entry.
        const RawString name = source->name;
        const RawString sourcePath = source->fullPath;
        JobPathUnit* targetEntry = RealEntry(row->Unit(targetSide));
        RawString target = targetEntry ? targetEntry->fullPath : RawLayer::PathJoin(job.Path(targetSide), name);
        // A name the system takes for a device (a "com1.txt" from another
        // system) is never read nor written: that entry is refused, the
        // others are copied.
        if (RawLayer::IsDevicePath(sourcePath)) {
            ReportError(ReadOpenErrorText(), sourcePath);
            all = false;
        } else if (RawLayer::IsDevicePath(target)) {
            ReportError(WriteOpenErrorText(), target);
            all = false;
        } else if (IsFolder(source->fullPath)) {
            if (!CopyFolder(*backup, *source, target)) all = false;
        } else if (IsFile(source->fullPath)) {
            if (!CopyFile(*backup, *source, target)) all = false;
        }
        UpdateRowEntry(job, r, targetSide, target, name);
        // The source side too: a failed copy may leave it as it was, but the
        // entry should show what the disk holds now.
        UpdateRowEntry(job, r, sourceSide, sourcePath, name);
        RecheckRow(job, *row, name);
        MarkReplaced(job, r, targetSide);
    }
    FinishRows(job);
    JobBackupUnit::Write(*backup);
    if (complete) *complete = all;
    return backup;
}

JobBackupUnit* DeleteSelections(JobGroupUnit& job, uint32_t side) {
    return DeleteSelections(job, side, JobBackupList::Instance());
}

JobBackupUnit* DeleteSelections(JobGroupUnit& job, uint32_t side, JobBackupList& store) {
    if (side > 1) return nullptr;
    if (!SideFolderReady(job, side)) return nullptr;

    SYSTEMTIME now;
    GetLocalTime(&now);
    RawParameterList comment;
    comment.SetText(BackupActionKeyText(),
                    MakeBackupActionTitle(DeleteSelectionsActionText(), static_cast<int>(side), KindName(KindPath)));
    comment.SetText(side == 0 ? BackupSide1KeyText() : BackupSide2KeyText(), job.Path(side));
    RawString selection;
    for (JobReportUnit& row : job.rows) {
        JobPathUnit* entry = RealEntry(row.Unit(side));
        if ((row.flags & RowMarked) && entry) AppendName(selection, entry->name);
    }
    comment.SetText(BackupSelectionKeyText(), selection);
    SetBackupCommentTime(comment, now);
    JobBackupUnit* backup = JobBackupUnit::Create(store, comment, now);
    if (!backup) return nullptr;

    const uint32_t other = side == 0 ? 1 : 0;
    for (int32_t r = 0; r < job.rows.Count(); ++r) {
        JobReportUnit* row = job.rows.At(r);
        if (!(row->flags & RowMarked)) continue;
        JobPathUnit* entry = RealEntry(row->Unit(side));
        if (!entry) continue;
        RawString path = entry->fullPath;
        RawString name = entry->name;
        uint32_t infoType = 0;
        // A device name is never moved nor deleted: that entry is refused.
        if (RawLayer::IsDevicePath(path))
            ReportError(BackupErrorText(), path);
        else if (IsFolder(path))
            infoType = BackupInfoDeleteDirectory;
        else if (IsFile(path))
            infoType = BackupInfoDeleteFile;
        if (infoType != 0) {
            // Storing moves the path into the backup (or to the recycle bin),
            // which is the delete itself.
            JobBackupItemUnit* item = StoreTarget(*backup, infoType, path);
            if (item) Consistent(*item, path);
        }
        UpdateRowEntry(job, r, side, path, name);
        JobPathUnit* partner = RealEntry(row->Unit(other));
        if (partner) {
            RawString partnerPath = partner->fullPath;
            RawString partnerName = partner->name;
            UpdateRowEntry(job, r, other, partnerPath, partnerName);
        }
        RecheckRow(job, *row, name);
    }
    FinishRows(job);
    JobBackupUnit::Write(*backup);
    return backup;
}

}  // namespace JobLayer
