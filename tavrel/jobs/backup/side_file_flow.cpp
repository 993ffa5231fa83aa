#include "tavrel/jobs/backup/side_file_flow.h"

#include "base/api_text.h"
#include "base/file_system.h"
#include "base/profile.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

namespace {

// Claims a fresh name beside a target for its temporary file; empty when
// none could be made.
RawString ClaimTemporaryBeside(const RawString& path) {
    for (int32_t attempt = 1; attempt <= 99; ++attempt) {
        RawString name = path;
        name.AppendAscii(".~tv");
        name.AppendPadded(static_cast<uint64_t>(GetCurrentProcessId() % 10000u) * 100u +
                              static_cast<uint64_t>(attempt),
                          10, 6);
        name.AppendAscii(".tmp");
        HANDLE h = RawLayer::ApiCreateFile(name, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return name;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return RawString();
}

RawString WriteTemporaryBeside(JobGroupUnit& job, uint32_t side, const RawString& path, SideFileWriter write) {
    if (path.IsEmpty() || !write) return RawString();
    RawString temporary = ClaimTemporaryBeside(path);
    if (temporary.IsEmpty()) return temporary;
    if (!write(job, side, temporary)) {
        RawLayer::ApiDeleteFile(temporary);
        return RawString();
    }
    return temporary;
}

// When the replace fails, `spare` names where it may have moved the old
// file aside.
bool PutTemporaryInPlace(const RawString& temporary, const RawString& path, RawString& spare) {
    bool done;
    if (RawLayer::PathExists(path)) {
        // Keeps the target's attributes and creation time; refuses a
        // read-only target or one held open without sharing. The old file
        // passes through a named spare, so that a replace that stops after
        // moving it aside can put it back.
        spare = ClaimTemporaryBeside(path);
        if (!spare.IsEmpty()) RawLayer::ApiDeleteFile(spare);
        done = RawLayer::ApiReplaceFile(path, temporary, spare);
        if (done && !spare.IsEmpty()) RawLayer::ApiDeleteFile(spare);
    } else {
        done = RawLayer::ApiMoveFileEx(temporary, path, 0);
    }
    if (!done) RawLayer::ApiDeleteFile(temporary);
    return done;
}

}  // namespace

bool SettleFailedReplace(JobBackupUnit& backup, JobBackupItemUnit& item, const RawString& path,
                         const RawString& spare) {
    if (!RawLayer::PathExists(path) && !spare.IsEmpty() && RawLayer::PathExists(spare))
        RawLayer::ApiMoveFileEx(spare, path, 0);
    // Only the old file at its own name is back: a spare that went missing
    // leaves the kept copy as the one copy there is.
    const bool spareThere = !spare.IsEmpty() && RawLayer::PathExists(spare);
    if (RawLayer::PathExists(path) || (item.SubInfoType() == BackupSubNoBackup && !spareThere)) {
        // The file is as it was (a path without a file before the save has
        // none still): a record of a save that did not happen would mislead
        // a later restore.
        backup.DropItem(&item);
        return true;
    }
    // The old file is no longer at its name: its copy in the backup stays,
    // with its record, and the user learns where the file itself went.
    const RawString kept = item.KeptPath();
    if (spareThere)
        ReportError(OriginalKeptAsErrorText(), spare);
    else if (!kept.IsEmpty() && RawLayer::PathExists(kept))
        ReportError(OriginalKeptAsErrorText(), kept);
    if (!JobBackupItemUnit::SetConsistency(item)) ReportError(BackupErrorText(), path);
    return false;
}

bool RunSideFileFlow(JobGroupUnit& job, uint32_t mode, bool save, SideFileWriter write) {
    bool named[2] = {false, false};
    for (uint32_t s = 0; s < 2; ++s)
        named[s] = ModeNamesSide(mode, s) && (job.Content(s).flags & ContentChanged) != 0;
    if (!named[0] && !named[1]) return false;

    JobBackupList& store = JobBackupList::Instance();
    SYSTEMTIME now;
    GetLocalTime(&now);
    RawParameterList comment;
    comment.SetText(BackupActionKeyText(),
                    MakeBackupActionTitle(save ? SaveFileActionText() : DiscardFileActionText(),
                                          static_cast<int>(mode), KindName(job.kind.kind)));
    comment.SetText(BackupSide1KeyText(), job.Path(0));
    comment.SetText(BackupSide2KeyText(), job.Path(1));
    SetBackupCommentTime(comment, now);
    JobBackupUnit* backup = JobBackupUnit::Create(store, comment, now);

    bool all = true;
    for (uint32_t s = 0; s < 2; ++s) {
        if (!named[s]) continue;
        JobContentList& content = job.Content(s);
        const RawString path = content.path;
        if (save) {
            // A side that is not the whole file must never replace it.
            if (content.flags & (ContentNoFile | ContentCut | ContentUnreadable)) {
                ReportError(SaveErrorText(), path);
                all = false;
                continue;
            }
            if (path.IsEmpty()) {
                ReportError(NoPathSpecifiedErrorText(), path);
                content.flags = static_cast<uint16_t>(content.flags | ContentUnreadable);
                all = false;
                continue;
            }
        }
        // The new content is written whole before the old file is touched:
        // with backups off the store sends the old file to the recycle bin.
        RawString temporary;
        if (save) {
            temporary = WriteTemporaryBeside(job, s, path, write);
            if (temporary.IsEmpty()) {
                ReportError(WriteErrorText(), path);
                all = false;
                continue;
            }
        }
        JobBackupItemUnit* item =
            backup ? backup->AddItem(save ? BackupInfoSaveFile : BackupInfoDiscardFile, path)
                   : nullptr;
        if (!item || !JobBackupItemUnit::Store(*item)) {
            // Without its backup the side is left alone, edits and all, and
            // the backup records nothing of it.
            ReportError(BackupErrorText(), path);
            if (item) backup->DropItem(item);
            if (!temporary.IsEmpty()) RawLayer::ApiDeleteFile(temporary);
            all = false;
            continue;
        }
        bool done = false;
        if (save) {
            RawString spare;
            done = PutTemporaryInPlace(temporary, path, spare);
            if (!done) {
                ReportError(WriteErrorText(), path);
                SettleFailedReplace(*backup, *item, path, spare);
                all = false;
                continue;
            }
        } else if (backup->StateValue() == BackupStateNew && backup->Claimed() &&
                   !item->KeptPath().IsEmpty()) {
            done = write(job, s, item->KeptPath());
            if (!done) ReportError(BackupErrorText(), path);
        } else if (backup->StateValue() == BackupStateDisabled) {
            // Backups are off: the edits are dropped without a copy.
            done = true;
        } else {
            ReportError(BackupErrorText(), path);
        }
        if (!done) {
            // The file is as it was: a record of a save or discard that did
            // not happen would mislead a later restore.
            backup->DropItem(item);
            all = false;
            continue;
        }
        content.flags = static_cast<uint16_t>(content.flags & ~ContentChanged);
        if (!JobBackupItemUnit::SetConsistency(*item)) ReportError(BackupErrorText(), path);
    }
    JobBackupUnit::Finish(backup);
    JobGroupUnit::RecheckFromRows(&job);
    return all;
}

}  // namespace JobLayer
