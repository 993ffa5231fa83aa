// The backup store: every operation that changes or removes files on disk
// (saving a side, discarding edits, copying or deleting folder entries)
// first records itself in a backup folder under the backup root, named by
// the date and time, holding the previous state of each touched path and a
// file "Backup.ini" describing the operation. The backup dialog lists the
// backups and restores them.
//
// How a changing flow uses the store (all on the GUI thread):
//
//     JobBackupList& store = JobBackupList::Instance();
//     SYSTEMTIME now;
//     GetLocalTime(&now);
//     RawParameterList comment;
//     comment.SetText(BackupActionKeyText(), MakeBackupActionTitle(SaveFileActionText(), 0, kindName));
//     comment.SetText(BackupSide1KeyText(), path1);
//     comment.SetText(BackupSide2KeyText(), path2);
//     SetBackupCommentTime(comment, now);                  // "Time", last
//     JobBackupUnit* backup = JobBackupUnit::Create(store, comment, now);
//
//     // once per touched path:
//     JobBackupItemUnit* item = backup->AddItem(BackupInfoSaveFile, path);   // Create + Set
//     if (!item || !JobBackupItemUnit::Store(*item)) {
//         ReportError(BackupErrorText(), path);            // and leave the path alone
//     } else {
//         ... the flow's own work: write the side, copy, delete ...
//         if (!JobBackupItemUnit::SetConsistency(*item)) ReportError(BackupErrorText(), path);
//     }
//
//     JobBackupUnit::Write(*backup);                       // once, after all items
//
// What Store leaves behind, by kind of item (backups enabled):
//   - "SaveFile" and "CopyFile" on an existing file: the file is COPIED into
//     the backup (times and read-only/hidden/system bits kept) and stays in
//     place; the flow then replaces it by writing a temporary file and
//     putting it in place (CopyFileKeepTimes, or ReplaceFile), so that a
//     failed write never leaves the user without the file.
//   - "DeleteFile": the file is MOVED into the backup, which is the delete;
//     the flow finds it gone.
//   - Any kind on an existing folder: the folder tree is moved into the
//     backup (then the emptied folder removed), so a copy that follows
//     writes into a fresh folder. A move that fails halfway is moved back.
//   - "DiscardFile": nothing is moved; the flow writes the discarded text to
//     item->KeptPath() itself (only when backup->State() is 1).
//   - A path that did not exist (SubInfoType NoBackup): nothing.
// With "BackupDisabled" on (state 0) Store sends the previous state to the
// recycle bin instead, and no folder or "Backup.ini" is made on disk.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "base/profile.h"
#include "base/raw_list.h"
#include "base/raw_string.h"

namespace JobLayer {

using RawLayer::RawParameterList;
using RawLayer::RawString;

class JobBackupList;
class JobBackupLoader;
class JobBackupUnit;
class JobBackupItemList;

// ---- texts -----------------------------------------------------------------

RAW_CONSTANT_TEXT(BackupIniNameText, "Backup.ini")
RAW_CONSTANT_TEXT(BackupRootNameText, "Tavrel_Backup")
RAW_CONSTANT_TEXT(BackupCommentSectionText, "Comment")
RAW_CONSTANT_TEXT(BackupActionSectionPrefixText, "Action_")
// Keys of section "Comment".
RAW_CONSTANT_TEXT(BackupActionKeyText, "Action")
RAW_CONSTANT_TEXT(BackupSide1KeyText, "Side1")
RAW_CONSTANT_TEXT(BackupSide2KeyText, "Side2")
RAW_CONSTANT_TEXT(BackupSelectionKeyText, "Selection")
RAW_CONSTANT_TEXT(BackupTimeKeyText, "Time")
// Keys of an item section, in the order written.
RAW_CONSTANT_TEXT(BackupInfoTypeKeyText, "InfoType")
RAW_CONSTANT_TEXT(BackupSubInfoTypeKeyText, "SubInfoType")
RAW_CONSTANT_TEXT(BackupSourceKeyText, "Source")
RAW_CONSTANT_TEXT(BackupDestinKeyText, "Destin")
RAW_CONSTANT_TEXT(BackupConsistencyKeyText, "Consistency")
// Written after "Consistency": the strict signature of the same path
// (StrictPathSignature), which also tells moved entries and swapped times.
RAW_CONSTANT_TEXT(BackupStrictConsistencyKeyText, "StrictConsistency")
// Written after "Consistency" only for an item whose kept copy is broken (a
// folder move that failed halfway and could not be moved back): "0".
RAW_CONSTANT_TEXT(BackupRestorableKeyText, "Restorable")
// Display key of an item's kept copy name.
RAW_CONSTANT_TEXT(BackupDisplayBackupKeyText, "Backup")

// Operation texts of the flows' "Action" titles.
RAW_CONSTANT_TEXT(SaveFileActionText, "Save file")
RAW_CONSTANT_TEXT(DiscardFileActionText, "Discard file")
RAW_CONSTANT_TEXT(DeleteSelectionsActionText, "Delete selections")
RAW_CONSTANT_TEXT(CopySelections12ActionText, "Copy selections 1 -> 2")
RAW_CONSTANT_TEXT(CopySelections21ActionText, "Copy selections 1 <- 2")
// The title of the backup a restore makes of the paths it replaces.
RAW_CONSTANT_TEXT(RestoreBackupActionText, "Restore backup")

// The "Action" title of save, discard and delete: the operation's text,
// then for side 0 " Side1 (", for side 1 " Side2 (", for any other value
// (both sides) " (", then the kind name ("Path type", "Text type", "Binary
// type") and ")".
RawString MakeBackupActionTitle(const RawString& operation, int side, const RawString& kindName);
// Sets "Time" of a comment list to "YYYY/MM/DD hh:mm:ss" of the time.
void SetBackupCommentTime(RawParameterList& comment, const SYSTEMTIME& time);

// ---- codes -----------------------------------------------------------------

// InfoType: what the operation did.
enum : uint32_t {
    BackupInfoDiscardFile = 0,
    BackupInfoSaveFile = 1,
    BackupInfoCopyFile = 2,
    BackupInfoCopyDirectory = 3,
    BackupInfoDeleteFile = 4,
    BackupInfoDeleteDirectory = 5
};
// SubInfoType: what was kept.
enum : uint32_t {
    BackupSubNoBackup = 0,
    BackupSubFile = 1,
    BackupSubDirectory = 2
};
// State of a backup.
enum : int32_t {
    BackupStateDisabled = 0,  // made with "BackupDisabled" on: nothing on disk
    BackupStateNew = 1,       // made by a flow of this run
    BackupStateLoaded = 2     // read from disk by the loader
};
// Results of the consistency check of an item.
enum : uint32_t {
    BackupCheckMissing = 0,  // the kept copy is missing (or the item is broken)
    BackupCheckSame = 3,     // the path already holds the kept state
    BackupCheckAsLeft = 4,   // the path is as the operation left it
    BackupCheckChanged = 5   // the path was changed since
};
// Result bits of a restore.
enum : uint32_t {
    RestoreNothing = 0,
    RestoreDone = 1,
    RestoreFailed = 2,
    RestoreChangedSince = 4
};

// Names by code (exact case): "DiscardFile" .. "DeleteDirectory"; an
// unknown code gives the empty text.
RawString InfoTypeName(uint32_t code);
// Code by name, exactly; an unlisted name gives 1 ("SaveFile").
uint32_t InfoTypeFromName(const RawString& name);
// "NoBackup", "BackupFile", "BackupDirectory"; an unknown code gives "".
RawString SubInfoTypeName(uint32_t code);
// An unlisted name gives 0 ("NoBackup").
uint32_t SubInfoTypeFromName(const RawString& name);

// ---- folder names --------------------------------------------------------------

// The 15-character folder name of a local time: YYYYMMDD_hhmmss.
RawString BackupFolderName(const SYSTEMTIME& time);
// Whether a name is a backup folder name: exactly 15 characters, '_' at
// index 8, digits elsewhere, and a real month, day, hour, minute and second.
// The fields go to `time` (all zero when the name is not one).
bool ParseBackupFolderName(const RawString& name, SYSTEMTIME& time);
// Moves a time on by one second (through a file time); false when the time
// is not a valid calendar time.
bool AdvanceOneSecond(SYSTEMTIME& time);
// Deletes a file of the store (a kept copy), clearing its read-only bit
// first when needed.
bool DeleteBackupFile(const RawString& path);
// The next try of a kept copy's name: the counter in two zero-padded digits
// between the name's stem and its extension (a.txt, 1 -> a01.txt;
// a01.txt, 2 -> a0102.txt).
RawString NextKeptName(const RawString& name, uint32_t counter);

// ---- the dialog's view of backups and items -------------------------------------

class JobBackupUnitLink {
public:
    virtual ~JobBackupUnitLink() {}
    // The text of the dialog's row.
    virtual RawString Title() const = 0;
    // The parameters shown for the row.
    virtual RawParameterList DisplayParameters() = 0;
    // A backup: its state; an item: the consistency check, run now.
    virtual uint32_t State() = 0;
    // The backup's items; null for an item.
    virtual JobBackupItemList* Items() = 0;
    // Restores (force: also over a path that was changed since); result bits.
    virtual uint32_t Restore(bool force) = 0;
    // The backup folder.
    virtual RawString Folder() const = 0;
    // The folder to open in the shell.
    virtual RawString OpenFolder() const = 0;
};

// A list of backup records as the backup dialog reads it: the backups of
// the store, or the items of one backup.
class JobBackupListLink {
public:
    enum : uint32_t {
        KindBackups = 0,
        KindItems = 1,
    };
    // How long the dialog waits for the loader before it gives up.
    static constexpr uint32_t kLoadWaitMilliseconds = 10000;

    virtual ~JobBackupListLink() {}
    virtual uint32_t Kind() const = 0;
    // Waits at most the time (milliseconds) until the list may be read,
    // with the wait cursor while waiting; false when it still may not.
    virtual bool WaitLoaded(uint32_t milliseconds) = 0;
    // The records in list order (a backup list: oldest first).
    virtual std::vector<JobBackupUnitLink*> Records() = 0;
};

// Holds the store a backup belongs to.
class JobBackupInfo {
public:
    JobBackupList* OwnerStore() const { return store_; }

protected:
    explicit JobBackupInfo(JobBackupList* store) : store_(store) {}
    JobBackupList* store_;
};

class JobBackupRestoreSession;

// One touched path of a backup.
class JobBackupItemUnit : public JobBackupUnitLink {
public:
    JobBackupItemUnit(JobBackupUnit* owner, uint32_t number);

    // ---- the steps of a flow ----------------------------------------------
    // Appends a new item with the next number to the backup.
    static JobBackupItemUnit* Create(JobBackupUnit& backup);
    // Stores InfoType, backup folder and path and works out what is to be
    // kept: "DiscardFile" keeps a file; otherwise a missing path keeps
    // nothing, a folder a folder, a file a file. The kept copy's name is the
    // path's last component, with counters put in while the name is taken
    // in the backup folder (on disk or by another item of the backup).
    // False when the path is empty or no free name was found.
    static bool Set(JobBackupItemUnit& item, uint32_t infoType, const RawString& backupFolder,
                    const RawString& path);
    // Puts the previous state aside (see the header comment); true when done
    // or when nothing was to be kept. `disabled`: to the recycle bin.
    static bool Store(JobBackupItemUnit& item, bool disabled);
    // The same, disabled when the owning backup has state 0.
    static bool Store(JobBackupItemUnit& item);
    // After the flow's work: the signature of the path (PathSignature, and
    // beside it StrictPathSignature) for "SaveFile", "CopyFile" and
    // "CopyDirectory", 0 for "DiscardFile", "DeleteFile" and
    // "DeleteDirectory"; false for any other InfoType.
    static bool SetConsistency(JobBackupItemUnit& item);

    // ---- the check and restore ------------------------------------------------
    // 0 kept copy missing, 3 same, 4 as the operation left it, 5 changed.
    uint32_t Check() const;

    // ---- JobBackupUnitLink ------------------------------------------------------
    RawString Title() const override;             // empty
    RawParameterList DisplayParameters() override;  // "Action", "Backup", "Source"
    uint32_t State() override;                    // runs Check, keeps the result
    JobBackupItemList* Items() override { return nullptr; }
    // Restores this item alone; the replaced state of the path is recorded
    // in a new backup of the store first.
    uint32_t Restore(bool force) override;
    RawString Folder() const override { return backupFolder_; }
    // The folder holding the touched path.
    RawString OpenFolder() const override;

    // ---- fields -------------------------------------------------------------------
    uint32_t Number() const { return number_; }
    uint32_t InfoType() const { return infoType_; }
    uint32_t SubInfoType() const { return subInfoType_; }
    const RawString& Source() const { return source_; }
    const RawString& BackupFolder() const { return backupFolder_; }
    const RawString& BackupName() const { return backupName_; }
    // The backup folder joined with the backup name (UTF-16); empty when
    // nothing is kept.
    RawString KeptPath() const;
    uint64_t Consistency() const { return consistency_; }
    uint64_t StrictConsistency() const { return strictConsistency_; }
    uint32_t CheckResult() const { return checkResult_; }
    // False for an item whose kept copy must never be restored (a failed
    // store, or a hand-edited name that leads out of the backup folder).
    bool Restorable() const { return restorable_ != 0; }
    JobBackupUnit* Owner() const { return owner_; }

    // Fills the item from its section of "Backup.ini".
    void LoadFrom(const RawParameterList& section, const RawString& backupFolder);
    // The item's section entries in the written order.
    RawParameterList SectionEntries() const;

private:
    friend class JobBackupRestoreSession;
    friend class JobBackupUnit;
    uint32_t RestoreIn(JobBackupRestoreSession& session, bool force);
    bool NameTaken(const RawString& name) const;
    void MarkBroken() { restorable_ = 0; }

    uint32_t number_;
    uint32_t infoType_ = BackupInfoSaveFile;
    uint32_t subInfoType_ = BackupSubNoBackup;
    RawString source_;
    RawString backupFolder_;
    RawString backupName_;
    uint64_t consistency_ = 0;
    uint64_t strictConsistency_ = 0;
    uint8_t hasStrict_ = 0;  // the strict value was stored (files written before it lack it)
    RawParameterList display_;
    uint32_t checkResult_ = 0;
    uint8_t restorable_ = 1;
    JobBackupUnit* owner_;
};

class JobBackupItemListAllocator : public RawLayer::RawListDeleteAllocator<JobBackupItemUnit> {};

// The items of one backup, in creation order, with the count of items made.
class JobBackupItemList : public RawLayer::RawListR<JobBackupItemListAllocator, JobBackupItemUnit>,
                          public JobBackupListLink {
public:
    uint32_t Kind() const override { return KindItems; }
    // The items are there with their backup.
    bool WaitLoaded(uint32_t) override { return true; }
    std::vector<JobBackupUnitLink*> Records() override;

    uint32_t made = 0;
};

// One backup: one folder with its "Backup.ini".
class JobBackupUnit : public JobBackupUnitLink, public JobBackupInfo {
public:
    JobBackupUnit(JobBackupList* store, int32_t state, const RawString& folder,
                  const RawParameterList& comment);
    ~JobBackupUnit() override;

    // ---- the steps of a flow ----------------------------------------------
    // A new backup linked at the end of the store's list. State 1, or 0 with
    // "BackupDisabled" on. Its folder is the root joined with the folder
    // name of the time; when that folder exists (another operation of the
    // same second), the time moves on by a second until the name is free.
    // With state 1 the root is made with its parents and the folder claimed
    // by creating it. The comment list is shared with the given one.
    static JobBackupUnit* Create(JobBackupList& store, const RawParameterList& comment,
                                 const SYSTEMTIME& localTime);
    // The item of a number; null when none.
    static JobBackupItemUnit* FindItem(JobBackupUnit& backup, uint32_t number);
    // Writes "Backup.ini" (UTF-8 with a byte-order mark): section "Comment",
    // then Action_0, Action_1, ... in item order, stopping at the first
    // section that fails, which is reported as "BackupError". True when all
    // were written, and for a backup with state 0 (nothing on disk).
    static bool Write(JobBackupUnit& backup);

    // Create + Set for one path, with this backup's folder; null when Set
    // failed (the item is then dropped again).
    JobBackupItemUnit* AddItem(uint32_t infoType, const RawString& path);
    // Takes back an item whose operation did not happen: a "SaveFile",
    // "CopyFile" or "DiscardFile" item, whose path was left as it was, loses
    // its kept copy and leaves the backup. False (and nothing done) for
    // other kinds, whose kept state may be the only one.
    bool DropItem(JobBackupItemUnit* item);
    // Writes "Backup.ini" when the backup holds an item; a backup left
    // without any records nothing: its empty folder is removed and it
    // leaves the store (the unit is deleted). True when the backup was
    // written or dropped.
    static bool Finish(JobBackupUnit* backup);

    // ---- loading --------------------------------------------------------------
    // A backup with state 2 over a folder, filled from its "Backup.ini" (an
    // empty comment and no items when it cannot be read). Not linked.
    static JobBackupUnit* FromFolder(JobBackupList* store, const RawString& folder);
    // Reads "Backup.ini": "Comment", then Action_0, Action_1, ... up to the
    // first missing one. False when the file cannot be read.
    bool Read();

    // ---- JobBackupUnitLink ------------------------------------------------------
    RawString Title() const override;               // "Time" + " : " + "Action"
    RawParameterList DisplayParameters() override { return comment_; }
    uint32_t State() override { return static_cast<uint32_t>(state_); }
    JobBackupItemList* Items() override { return &items_; }
    // Restores every item in item order; the OR of their results. The
    // current state of every replaced path goes into one new backup first.
    uint32_t Restore(bool force) override;
    RawString Folder() const override { return folder_; }
    RawString OpenFolder() const override;

    int32_t StateValue() const { return state_; }
    const RawString& Path() const { return path_; }
    const RawString& IniPath() const { return file_; }
    const RawParameterList& Comment() const { return comment_; }
    JobBackupItemList& ItemList() { return items_; }
    const JobBackupItemList& ItemList() const { return items_; }
    // Whether the folder was made for this backup (state 1), or stands on
    // disk already (state 2). A state-1 backup whose folder could not be
    // made stores nothing and writes no "Backup.ini".
    bool Claimed() const { return claimed_ != 0; }

private:
    int32_t state_;
    RawString path_;
    JobBackupItemList items_;
    RawParameterList comment_;
    uint8_t caseFlag_;
    RawString folder_;
    RawString file_;
    uint8_t claimed_ = 0;
};

class JobBackupListAllocator : public RawLayer::RawListDeleteAllocator<JobBackupUnit> {};

// Oldest first: the folder paths compared with ASCII letters folded.
class JobBackupListSort final : public RawLayer::RawListSortR<JobBackupUnit> {
public:
    int CompareTyped(const JobBackupUnit& a, const JobBackupUnit& b) const override;
};

// The process-wide list of backups with its loader thread.
class JobBackupList : public RawLayer::RawListR<JobBackupListAllocator, JobBackupUnit>, public JobBackupListLink {
public:
    static JobBackupList& Instance();

    // Root "<temporary folder>\Tavrel_Backup", 10 days, backups on, not
    // loaded, a manual-reset event not signalled.
    JobBackupList();
    // Stops and joins the loader first.
    ~JobBackupList() override;
    JobBackupList(const JobBackupList&) = delete;
    JobBackupList& operator=(const JobBackupList&) = delete;

    // The options "BackupFolder", "BackupDays" (at most 36500; a negative
    // count is the default 10) and "BackupDisabled", copied in before the
    // loader starts.
    void SetOptions(const RawString& root, int32_t days, bool disabled);
    RawString Root() const;
    int32_t Days() const;
    bool Disabled() const;

    // Starts the loader thread once. When the thread cannot be made the
    // list is marked loaded at once, so that nobody waits for it.
    bool StartLoader();
    // Asks the loader to stop and waits for it.
    void StopLoader();
    JobBackupLoader& Loader() { return *loader_; }

    // When the loader was started and has not yet listed the backups: shows
    // the wait cursor, waits for the event at most the time, and shows the
    // arrow again. The event alone is looked at, so a loader that holds the
    // store's lock cannot stall the caller beyond the time. False when the
    // list is still being filled.
    bool WaitLoaded(uint32_t milliseconds) override;
    bool WaitLoaded() { return WaitLoaded(kLoadWaitMilliseconds); }
    uint32_t Kind() const override { return KindBackups; }
    // Read without the lock: only after the event, when the loader no
    // longer touches the list.
    std::vector<JobBackupUnitLink*> Records() override;
    bool IsLoaded() const;
    // Sets the loaded flag (under the lock) and the event.
    void MarkLoaded();
    HANDLE LoadedEvent() const { return event_; }
    DWORD LastWaitResult() const { return waitResult_; }

    // The store's lock, guarding the list, the options and the loaded flag.
    void LockStore() const { EnterCriticalSection(&lock_); }
    void UnlockStore() const { LeaveCriticalSection(&lock_); }
    // The backup whose folder equals the path (ASCII case ignored), under
    // the caller's lock; null when none.
    JobBackupUnit* FindFolder(const RawString& folder) const;

private:
    RawString root_;
    int32_t days_;
    uint8_t disabled_;
    uint8_t loaded_;
    uint8_t started_;
    HANDLE event_;
    DWORD waitResult_;
    mutable CRITICAL_SECTION lock_;
    std::unique_ptr<JobBackupLoader> loader_;
};

// Holds the store's lock for a scope.
class JobBackupStoreGuard {
public:
    explicit JobBackupStoreGuard(const JobBackupList& store) : store_(store) { store_.LockStore(); }
    ~JobBackupStoreGuard() { store_.UnlockStore(); }
    JobBackupStoreGuard(const JobBackupStoreGuard&) = delete;
    JobBackupStoreGuard& operator=(const JobBackupStoreGuard&) = delete;

private:
    const JobBackupList& store_;
};

}  // namespace JobLayer
