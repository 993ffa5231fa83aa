// The backup store: backup folders, their items, "Backup.ini" and the check
// of an item against its kept copy (restoring is backup_restore.cpp).
//
// Paths made here (backup folders, kept copies) are UTF-16 (kind 7): a root
// in the ANSI code page joined with a Japanese file name must not be forced
// through the code page, where it would turn into question marks.
#include "tavrel/jobs/backup/backup_store.h"

#include <memory>
#include <vector>

#include "base/api_text.h"
#include "base/date_time.h"
#include "base/file_system.h"
#include "base/line_file.h"
#include "base/text_ops.h"
#include "tavrel/jobs/backup/backup_loader.h"
#include "tavrel/jobs/backup/backup_paths.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

using namespace RawLayer;

namespace {

// Recycle bin without questions: FOF_SILENT | FOF_NOCONFIRMATION |
// FOF_ALLOWUNDO | FOF_NOERRORUI.
constexpr uint16_t kRecycleFlags = 0x454;
// Seconds a new backup's name may move on while names are taken.
constexpr int kMaxFolderTries = 3600;
// Counter values tried for a kept copy's name (two digits each).
constexpr uint32_t kMaxNameTries = 99;
// Item sections read from one "Backup.ini".
constexpr int32_t kMaxItems = 100000;

RAW_CONSTANT_TEXT(OnOpenText, " (on ")
RAW_CONSTANT_TEXT(Side1TitleText, " Side1 (")
RAW_CONSTANT_TEXT(Side2TitleText, " Side2 (")
RAW_CONSTANT_TEXT(TitleSeparatorText, " : ")
RAW_CONSTANT_TEXT(RootNameText, "Root")
RAW_CONSTANT_TEXT(ZeroText, "0")

const char* const kInfoTypeNames[] = {"DiscardFile", "SaveFile",   "CopyFile",
                                      "CopyDirectory", "DeleteFile", "DeleteDirectory"};
const char* const kSubInfoTypeNames[] = {"NoBackup", "BackupFile", "BackupDirectory"};

RawString Wide(const RawString& text) { return text.As(KindUtf16); }


// The last component of a path, usable as a file name.
RawString LastComponent(const RawString& path) {
    RawString trimmed = TrimTrailingSeparators(path);
    RawRange range = PathNameRange(trimmed);
    RawString name(KindUtf16);
    name.AssignRange(trimmed, range);
    RawString clean(KindUtf16);
    for (int32_t i = 0; i < name.Length(); ++i) {
        uint32_t unit = name.UnitAt(i);
        clean.AppendChar(unit == ':' || IsPathSeparator(unit) ? '_' : unit);
    }
    if (clean.IsEmpty()) return Wide(RootNameText());
    return clean;
}

RawString JoinWide(const RawString& folder, const RawString& name) {
    return PathJoin(Wide(folder), Wide(name));
}

bool SameFolder(const RawString& a, const RawString& b) {
    return Wide(a).CompareNoCase(Wide(b)) == 0;
}

// Signed decimal text of a 64-bit value.
RawString SignedDecimal(uint64_t value) {
    RawString text;
    const int64_t signedValue = static_cast<int64_t>(value);
    if (signedValue < 0) {
        text.AppendChar('-');
        text.AppendUnsigned(0 - value, 10);
    } else {
        text.AppendUnsigned(value, 10);
    }
    return text;
}

// A signed decimal 64-bit number (blanks around it allowed); 0 when the text
// is not one or does not fit.
uint64_t ParseSignedDecimal(const RawString& text) {
    int32_t pos = 0;
    const int32_t n = text.Length();
    while (pos < n && (text.UnitAt(pos) == ' ' || text.UnitAt(pos) == '\t')) ++pos;
    bool negative = false;
    if (pos < n && (text.UnitAt(pos) == '-' || text.UnitAt(pos) == '+')) {
        negative = text.UnitAt(pos) == '-';
        ++pos;
    }
    const int32_t digitsStart = pos;
    uint64_t value = 0;
    const uint64_t limit = negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
    while (pos < n && text.UnitAt(pos) >= '0' && text.UnitAt(pos) <= '9') {
        const uint64_t digit = text.UnitAt(pos) - '0';
        if (value > (limit - digit) / 10) return 0;
        value = value * 10 + digit;
        ++pos;
    }
    if (pos == digitsStart) return 0;
    while (pos < n && (text.UnitAt(pos) == ' ' || text.UnitAt(pos) == '\t')) ++pos;
    if (pos != n) return 0;
    return negative ? 0 - value : value;
}

// "Action_<n>" (prefix with ASCII case ignored, as section names are);
// the index, or -1.
int32_t ActionSectionIndex(const RawString& name) {
    const RawString& prefix = BackupActionSectionPrefixText();
    const int32_t p = prefix.Length();
    const int32_t n = name.Length();
    if (n <= p || n > p + 9) return -1;
    if (!name.EqualsRangeNoCase(RawRange{0, p}, prefix, prefix.All())) return -1;
    int32_t value = 0;
    for (int32_t i = p; i < n; ++i) {
        const uint32_t unit = name.UnitAt(i);
        if (unit < '0' || unit > '9') return -1;
        value = value * 10 + static_cast<int32_t>(unit - '0');
    }
    return value;
}

RawString ActionSectionName(int32_t index) {
    RawString name(BackupActionSectionPrefixText());
    name.AppendInt(index);
    return name;
}

// A kept name from a hand-edited file must stay inside the backup folder.
bool KeptNameIsSafe(const RawString& name) {
    if (name.IsEmpty()) return false;
    for (int32_t i = 0; i < name.Length(); ++i) {
        const uint32_t unit = name.UnitAt(i);
        if (IsPathSeparator(unit) || unit == ':') return false;
    }
    return !name.EqualsAscii(".") && !name.EqualsAscii("..");
}


}  // namespace

// The path without trailing separators (a drive root keeps its one).
RawString TrimTrailingSeparators(const RawString& path) { return PathWithoutTrailingSeparators(path.As(KindUtf16)); }

bool CopyKeptFile(const RawString& target, const RawString& source) {
    RawFileCopier copier;
    return CopyFileKeepTimes(copier, target, source) && CopyFileAttributes(copier, target, source);
}

bool DeleteBackupFile(const RawString& path) {
    if (ApiDeleteFile(path)) return true;
    // Kept copies carry the read-only bit of the file they were taken from;
    // they are the store's own files, so the bit does not protect them here.
    const DWORD attributes = ApiGetFileAttributes(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ApiSetFileAttributes(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
        if (ApiDeleteFile(path)) return true;
        ApiSetFileAttributes(path, attributes);
    }
    return false;
}

// ---------------------------------------------------------------------------
// Texts and codes

RawString MakeBackupActionTitle(const RawString& operation, int side, const RawString& kindName) {
    RawString title(KindUtf8);
    title.Append(operation);
    if (side == 0) title.Append(Side1TitleText());
    else if (side == 1) title.Append(Side2TitleText());
    else title.Append(BackupOpenParenText());
    title.Append(kindName);
    title.Append(BackupCloseParenText());
    return title;
}

void SetBackupCommentTime(RawParameterList& comment, const SYSTEMTIME& time) {
    comment.SetText(BackupTimeKeyText(), FormatDateTime(time));
}

RawString InfoTypeName(uint32_t code) {
    if (code >= sizeof(kInfoTypeNames) / sizeof(kInfoTypeNames[0])) return RawString();
    return RawString::FromLiteral(kInfoTypeNames[code]);
}

uint32_t InfoTypeFromName(const RawString& name) {
    for (uint32_t i = 0; i < sizeof(kInfoTypeNames) / sizeof(kInfoTypeNames[0]); ++i)
        if (name.EqualsAscii(kInfoTypeNames[i])) return i;
    return BackupInfoSaveFile;
}

RawString SubInfoTypeName(uint32_t code) {
    if (code >= sizeof(kSubInfoTypeNames) / sizeof(kSubInfoTypeNames[0])) return RawString();
    return RawString::FromLiteral(kSubInfoTypeNames[code]);
}

uint32_t SubInfoTypeFromName(const RawString& name) {
    for (uint32_t i = 0; i < sizeof(kSubInfoTypeNames) / sizeof(kSubInfoTypeNames[0]); ++i)
        if (name.EqualsAscii(kSubInfoTypeNames[i])) return i;
    return BackupSubNoBackup;
}

// ---------------------------------------------------------------------------
// Folder names

RawString BackupFolderName(const SYSTEMTIME& time) {
    RawString name = RawString::WithCapacity(16);
    AppendDate(name, time, 0);
    name.AppendChar('_');
    AppendTime(name, time, 0);
    return name;
}

bool ParseBackupFolderName(const RawString& name, SYSTEMTIME& time) {
    ZeroMemory(&time, sizeof(time));
    if (name.Length() != 15 || name.UnitAt(8) != '_') return false;
    for (int32_t i = 0; i < 15; ++i) {
        if (i == 8) continue;
        const uint32_t unit = name.UnitAt(i);
        if (unit < '0' || unit > '9') return false;
    }
    auto field = [&](int32_t start, int32_t count) {
        int value = 0;
        for (int32_t i = start; i < start + count; ++i) value = value * 10 + static_cast<int>(name.UnitAt(i) - '0');
        return static_cast<WORD>(value);
    };
    SYSTEMTIME t = {};
    t.wYear = field(0, 4);
    t.wMonth = field(4, 2);
    t.wDay = field(6, 2);
    t.wHour = field(9, 2);
    t.wMinute = field(11, 2);
    t.wSecond = field(13, 2);
    if (t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 || t.wDay > 31 || t.wHour > 23 ||
        t.wMinute > 59 || t.wSecond > 59)
        return false;
    time = t;
    return true;
}

bool AdvanceOneSecond(SYSTEMTIME& time) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&time, &ft)) return false;
    ft = RawLayer::FileTimeOfValue(RawLayer::FileTimeValue(ft) + 10000000u);
    SYSTEMTIME next;
    if (!FileTimeToSystemTime(&ft, &next)) return false;
    time = next;
    return true;
}

RawString NextKeptName(const RawString& name, uint32_t counter) {
    RawString wide = Wide(name);
    // The stem runs to the last '.' of the name (the name has no separators).
    const int32_t dot = wide.FindLastChar(wide.All(), '.');
    RawString next(KindUtf16);
    next.AssignRange(wide, RawRange{0, dot});
    RawString digits;
    digits.AppendPadded(counter, 10, 2);
    next.Append(digits);
    if (dot < wide.Length()) {
        RawString extension(KindUtf16);
        extension.AssignRange(wide, RawRange{dot, wide.Length()});
        next.Append(extension);
    }
    return next;
}

// ---------------------------------------------------------------------------
// Items

JobBackupItemUnit::JobBackupItemUnit(JobBackupUnit* owner, uint32_t number)
    : number_(number), owner_(owner) {}

JobBackupItemUnit* JobBackupItemUnit::Create(JobBackupUnit& backup) {
    JobBackupItemList& items = backup.ItemList();
    ++items.made;
    return items.Add(new JobBackupItemUnit(&backup, items.made));
}

bool JobBackupItemUnit::NameTaken(const RawString& name) const {
    if (PathExists(JoinWide(backupFolder_, name))) return true;
    if (!owner_) return false;
    const JobBackupItemList& items = owner_->ItemList();
    for (RawListLink* link = items.FirstLink(); !items.IsEnd(link); link = link->next) {
        const JobBackupItemUnit* other = static_cast<const JobBackupItemUnit*>(link->unit);
        if (other == this || other->backupName_.IsEmpty()) continue;
        if (Wide(other->backupName_).CompareNoCase(Wide(name)) == 0) return true;
    }
    return false;
}

bool JobBackupItemUnit::Set(JobBackupItemUnit& item, uint32_t infoType, const RawString& backupFolder,
                            const RawString& path) {
    item.infoType_ = infoType;
    item.backupFolder_ = Wide(backupFolder);
    item.source_ = path;
    item.backupName_ = RawString();
    item.subInfoType_ = BackupSubNoBackup;
    item.consistency_ = 0;
    item.restorable_ = 1;
    item.display_ = RawParameterList();
    if (path.IsEmpty()) return false;

    if (infoType == BackupInfoDiscardFile) {
        item.subInfoType_ = BackupSubFile;
    } else {
        const DWORD attributes = ApiGetFileAttributes(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing to keep
        item.subInfoType_ = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? BackupSubDirectory : BackupSubFile;
    }

    RawString name = LastComponent(path);
    for (uint32_t counter = 1; counter <= kMaxNameTries; ++counter) {
        if (!item.NameTaken(name)) {
            item.backupName_ = name;
            return true;
        }
        name = NextKeptName(name, counter);
    }
    item.restorable_ = 0;
    return false;
}

bool JobBackupItemUnit::Store(JobBackupItemUnit& item) {
    const bool disabled = item.owner_ && item.owner_->StateValue() == BackupStateDisabled;
    return Store(item, disabled);
}

bool JobBackupItemUnit::Store(JobBackupItemUnit& item, bool disabled) {
    if (item.infoType_ == BackupInfoDiscardFile || item.subInfoType_ == BackupSubNoBackup) return true;
    if (!item.Restorable() || item.backupName_.IsEmpty()) return false;
    const RawString source = Wide(item.source_);
    if (disabled) return ApiShFileOperation(source, RawString(), kRecycleFlags);

    // A backup whose folder could not be claimed holds nothing of its own:
    // never put copies into a folder that may belong to another operation.
    if (item.owner_ && item.owner_->StateValue() == BackupStateNew && !item.owner_->Claimed()) {
        item.MarkBroken();
        return false;
    }
    if (!ApiCreateDirectoryTree(item.backupFolder_)) {
        item.MarkBroken();
        return false;
    }
    const RawString kept = item.KeptPath();
    if (PathExists(kept)) {
        item.MarkBroken();
        return false;
    }

    const DWORD attributes = ApiGetFileAttributes(source);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        item.MarkBroken();
        return false;
    }
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                          (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;

    if (item.subInfoType_ == BackupSubDirectory) {
        if (!isFolder) {
            item.MarkBroken();
            return false;
        }
        RawString failing;
        if (!MoveFolderTree(kept, source, failing)) {
            // Move back what went, so that the touched folder is whole again;
            // the item is never restored over what stayed in place.
            RawString backFailing;
            if (MoveFolderTree(source, kept, backFailing)) DeleteFolderTree(kept);
            item.MarkBroken();
            return false;
        }
        // The emptied folders of the touched path; the kept copy is whole.
        return DeleteFolderTree(source);
    }

    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        item.MarkBroken();
        return false;
    }
    if (item.infoType_ == BackupInfoSaveFile || item.infoType_ == BackupInfoCopyFile) {
        // The file stays in place until the flow replaces it.
        if (!CopyKeptFile(kept, source)) {
            DeleteBackupFile(kept);
            item.MarkBroken();
            return false;
        }
        return true;
    }
    if (!ApiMoveFileEx(source, kept, MOVEFILE_COPY_ALLOWED)) {
        item.MarkBroken();
        return false;
    }
    return true;
}

bool JobBackupItemUnit::SetConsistency(JobBackupItemUnit& item) {
    switch (item.infoType_) {
    case BackupInfoSaveFile:
    case BackupInfoCopyFile:
    case BackupInfoCopyDirectory:
        item.consistency_ = PathSignature(Wide(item.source_));
        item.strictConsistency_ = StrictPathSignature(Wide(item.source_));
        item.hasStrict_ = 1;
        return true;
    case BackupInfoDiscardFile:
    case BackupInfoDeleteFile:
    case BackupInfoDeleteDirectory:
        item.consistency_ = 0;
        item.strictConsistency_ = 0;
        item.hasStrict_ = 1;
        return true;
    default:
        return false;
    }
}

RawString JobBackupItemUnit::KeptPath() const {
    if (backupName_.IsEmpty()) return RawString();
    return JoinWide(backupFolder_, backupName_);
}

uint32_t JobBackupItemUnit::Check() const {
    if (!Restorable()) return BackupCheckMissing;
    const RawString kept = KeptPath();
    uint64_t keptSignature = 0;
    if (subInfoType_ == BackupSubDirectory) {
        if (kept.IsEmpty() || !FolderExists(kept)) return BackupCheckMissing;
        keptSignature = StrictPathSignature(kept);
    } else if (subInfoType_ == BackupSubFile) {
        if (kept.IsEmpty() || !PathExists(kept) || FolderExists(kept)) return BackupCheckMissing;
        keptSignature = StrictPathSignature(kept);
    }
    // With nothing kept, the kept state is "no entry" (signature 0).
    const RawString source = Wide(source_);
    const uint64_t strict = StrictPathSignature(source);
    if (strict == keptSignature) return BackupCheckSame;
    // A record without the strict value has "Consistency" alone: the plain
    // signature, or the strict one that records of earlier versions stored
    // under that key.
    const bool asLeft = hasStrict_ ? strict == strictConsistency_
                                   : PathSignature(source) == consistency_ || strict == consistency_;
    return asLeft ? BackupCheckAsLeft : BackupCheckChanged;
}

RawParameterList JobBackupItemUnit::DisplayParameters() {
    RawParameterList list;
    RawString action(KindUtf8);
    action.Append(InfoTypeName(infoType_));
    action.Append(OnOpenText());
    action.Append(SubInfoTypeName(subInfoType_));
    action.Append(BackupCloseParenText());
    list.SetText(BackupActionKeyText(), action);
    list.SetText(BackupDisplayBackupKeyText(), backupName_);
    list.SetText(BackupSourceKeyText(), source_);
    display_ = list;
    return list;
}

RawString JobBackupItemUnit::Title() const { return RawString(); }

uint32_t JobBackupItemUnit::State() {
    checkResult_ = Check();
    return checkResult_;
}

RawString JobBackupItemUnit::OpenFolder() const {
    RawString source = TrimTrailingSeparators(source_);
    RawString folder(KindUtf16);
    folder.AssignRange(source, PathFolderRange(source));
    return folder;
}

void JobBackupItemUnit::LoadFrom(const RawParameterList& section, const RawString& backupFolder) {
    infoType_ = InfoTypeFromName(section.GetText(BackupInfoTypeKeyText()));
    subInfoType_ = SubInfoTypeFromName(section.GetText(BackupSubInfoTypeKeyText()));
    source_ = section.GetText(BackupSourceKeyText());
    backupFolder_ = Wide(backupFolder);
    backupName_ = section.GetText(BackupDestinKeyText());
    consistency_ = ParseSignedDecimal(section.GetText(BackupConsistencyKeyText()));
    bool strictFound = false;
    RawString strict = section.GetText(BackupStrictConsistencyKeyText(), &strictFound);
    strictConsistency_ = strictFound ? ParseSignedDecimal(strict) : 0;
    hasStrict_ = strictFound ? 1 : 0;
    bool found = false;
    RawString restorable = section.GetText(BackupRestorableKeyText(), &found);
    restorable_ = (found && restorable.EqualsAscii("0")) ? 0 : 1;
    if (subInfoType_ != BackupSubNoBackup && !KeptNameIsSafe(backupName_)) restorable_ = 0;
    if (source_.IsEmpty()) restorable_ = 0;
}

RawParameterList JobBackupItemUnit::SectionEntries() const {
    RawParameterList entries;
    entries.Add(BackupInfoTypeKeyText(), InfoTypeName(infoType_));
    entries.Add(BackupSubInfoTypeKeyText(), SubInfoTypeName(subInfoType_));
    entries.Add(BackupSourceKeyText(), source_);
    entries.Add(BackupDestinKeyText(), backupName_);
    entries.Add(BackupConsistencyKeyText(), SignedDecimal(consistency_));
    if (hasStrict_) entries.Add(BackupStrictConsistencyKeyText(), SignedDecimal(strictConsistency_));
    if (!Restorable()) entries.Add(BackupRestorableKeyText(), ZeroText());
    return entries;
}

// ---------------------------------------------------------------------------
// Backups

JobBackupUnit::JobBackupUnit(JobBackupList* store, int32_t state, const RawString& folder,
                             const RawParameterList& comment)
    : JobBackupInfo(store),
      state_(state),
      path_(Wide(folder)),
      comment_(comment),
      caseFlag_(comment.ExactCase() ? 1 : 0),
      folder_(Wide(folder)),
      file_(JoinWide(folder, BackupIniNameText())) {}

JobBackupUnit::~JobBackupUnit() {}

JobBackupUnit* JobBackupUnit::Create(JobBackupList& store, const RawParameterList& comment,
                                     const SYSTEMTIME& localTime) {
    // Under the store's lock from the claim to the link, so that the loader,
    // which lists folders it finds under the same lock, never sees the new
    // folder without its backup.
    JobBackupStoreGuard guard(store);
    const RawString root = Wide(store.Root());
    const int32_t state = store.Disabled() ? BackupStateDisabled : BackupStateNew;
    const bool onDisk = state == BackupStateNew && PathIsAbsolute(root) && ApiCreateDirectoryTree(root);

    SYSTEMTIME time = localTime;
    RawString folder = PathJoin(root, BackupFolderName(time));
    bool claimed = false;
    for (int tries = 0; tries < kMaxFolderTries; ++tries) {
        folder = PathJoin(root, BackupFolderName(time));
        if (!store.FindFolder(folder)) {
            if (onDisk) {
                if (ApiCreateDirectory(folder)) {
                    claimed = true;
                    break;
                }
                // Anything but "exists" will not get better with another name.
                if (!PathExists(folder)) break;
            } else if (state == BackupStateNew) {
                break;  // no usable root: the backup holds nothing on disk
            } else if (!PathExists(folder)) {
                break;  // backups off: only a name, kept apart from others
            }
        }
        if (!AdvanceOneSecond(time)) break;
    }

    JobBackupUnit* unit = new JobBackupUnit(&store, state, folder, comment);
    unit->claimed_ = claimed ? 1 : 0;
    store.Add(unit);
    return unit;
}

JobBackupItemUnit* JobBackupUnit::FindItem(JobBackupUnit& backup, uint32_t number) {
    return backup.items_.FindIf([number](const JobBackupItemUnit& item) { return item.Number() == number; });
}

JobBackupItemUnit* JobBackupUnit::AddItem(uint32_t infoType, const RawString& path) {
    JobBackupItemUnit* item = JobBackupItemUnit::Create(*this);
    if (!JobBackupItemUnit::Set(*item, infoType, folder_, path)) {
        items_.Remove(item);
        return nullptr;
    }
    return item;
}

bool JobBackupUnit::DropItem(JobBackupItemUnit* item) {
    if (!item || !items_.ContainsUnit(item)) return false;
    const uint32_t type = item->InfoType();
    if (type != BackupInfoSaveFile && type != BackupInfoCopyFile && type != BackupInfoDiscardFile)
        return false;
    // A folder moved aside is the only state left of it.
    if (type != BackupInfoDiscardFile && item->SubInfoType() == BackupSubDirectory) return false;
    // A failed store has cleared its own leavings and marked the item: a
    // file at its name then is none of its own.
    const RawString kept = item->KeptPath();
    if (item->Restorable() && !kept.IsEmpty() && PathExists(kept) && !FolderExists(kept))
        DeleteBackupFile(kept);
    items_.Remove(item);
    return true;
}

bool JobBackupUnit::Finish(JobBackupUnit* backup) {
    if (!backup) return false;
    if (backup->items_.Count() > 0) return Write(*backup);
    JobBackupList* store = backup->OwnerStore();
    if (backup->state_ == BackupStateNew && backup->claimed_) ApiRemoveDirectory(backup->folder_);
    if (store) {
        JobBackupStoreGuard guard(*store);
        store->Remove(backup);
    }
    return true;
}

bool JobBackupUnit::Write(JobBackupUnit& backup) {
    if (backup.state_ != BackupStateNew) return true;
    if (!backup.claimed_) {
        ReportError(BackupErrorText(), backup.file_);
        return false;
    }
    ProfileFileRef file = ProfileFileRef::FromPath(backup.file_);
    if (!PathExists(backup.file_)) {
        // A new file is UTF-8 with a byte-order mark, so that paths in any
        // script read back as they were written.
        file.kind = KindUtf8;
        file.mark = 1;
    }
    if (!backup.comment_.WriteSection(file, BackupCommentSectionText())) {
        ReportError(BackupErrorText(), backup.file_);
        return false;
    }
    int32_t index = 0;
    for (RawListLink* link = backup.items_.FirstLink(); !backup.items_.IsEnd(link); link = link->next) {
        const JobBackupItemUnit* item = static_cast<const JobBackupItemUnit*>(link->unit);
        if (!item->SectionEntries().WriteSection(file, ActionSectionName(index))) {
            ReportError(BackupErrorText(), backup.file_);
            return false;
        }
        ++index;
    }
    return true;
}

JobBackupUnit* JobBackupUnit::FromFolder(JobBackupList* store, const RawString& folder) {
    JobBackupUnit* unit = new JobBackupUnit(store, BackupStateLoaded, folder, RawParameterList());
    unit->claimed_ = 1;
    unit->Read();
    return unit;
}

bool JobBackupUnit::Read() {
    path_ = folder_;
    file_ = JoinWide(folder_, BackupIniNameText());
    comment_ = RawParameterList();
    items_.Clear();
    items_.made = 0;

    RawLineFile reader(file_);
    reader.SetTextKind(LineKindOwn);
    reader.SetOptions(LineFileAnsiText);
    if (!reader.Open()) return false;

    std::vector<std::unique_ptr<RawParameterList>> sections;
    bool haveComment = false;
    bool ok = true;
    RawString name;
    while (RawParameterList::NextSectionLine(reader, name)) {
        if (!haveComment && RawParameterList::SectionNameEquals(name, BackupCommentSectionText())) {
            RawParameterList comment;
            if (!comment.ReadEntries(reader)) {
                ok = false;
                break;
            }
            comment_ = comment;
            haveComment = true;
            continue;
        }
        const int32_t index = ActionSectionIndex(name);
        if (index < 0 || index >= kMaxItems) continue;
        if (static_cast<size_t>(index) >= sections.size()) sections.resize(static_cast<size_t>(index) + 1);
        if (sections[static_cast<size_t>(index)]) continue;  // the first of a name counts
        std::unique_ptr<RawParameterList> entries(new RawParameterList());
        if (!entries->ReadEntries(reader)) {
            ok = false;
            break;
        }
        sections[static_cast<size_t>(index)] = std::move(entries);
    }
    if (ok && reader.State() != LineStateEnd) ok = false;
    reader.Close();
    caseFlag_ = comment_.ExactCase() ? 1 : 0;

    for (size_t i = 0; i < sections.size() && sections[i]; ++i) {
        ++items_.made;
        JobBackupItemUnit* item = items_.Add(new JobBackupItemUnit(this, items_.made));
        item->LoadFrom(*sections[i], folder_);
    }
    return ok;
}

RawString JobBackupUnit::Title() const {
    RawString title(KindUtf8);
    title.Append(comment_.GetText(BackupTimeKeyText()));
    title.Append(TitleSeparatorText());
    title.Append(comment_.GetText(BackupActionKeyText()));
    return title;
}

RawString JobBackupUnit::OpenFolder() const {
    const JobBackupItemUnit* first = items_.First();
    return first ? first->OpenFolder() : folder_;
}

int JobBackupListSort::CompareTyped(const JobBackupUnit& a, const JobBackupUnit& b) const {
    return a.Folder().CompareNoCase(b.Folder());
}

// ---------------------------------------------------------------------------
// The store

JobBackupList& JobBackupList::Instance() {
    static JobBackupList store;
    return store;
}

JobBackupList::JobBackupList()
    : days_(BackupDaysDefault), disabled_(0), loaded_(0), started_(0), event_(nullptr), waitResult_(0) {
    InitializeCriticalSection(&lock_);
    event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    root_ = PathJoin(ApiGetTempPath(KindUtf16), BackupRootNameText());
    loader_.reset(new JobBackupLoader(*this));
}

JobBackupList::~JobBackupList() {
    if (loader_) loader_->StopAndWait();
    loader_.reset();
    Clear();
    if (event_) CloseHandle(event_);
    DeleteCriticalSection(&lock_);
}

void JobBackupList::SetOptions(const RawString& root, int32_t days, bool disabled) {
    JobBackupStoreGuard guard(*this);
    root_ = Wide(root);
    // 0 deletes every backup: a negative count never turns into it.
    if (days < 0) days = BackupDaysDefault;
    if (days > BackupDaysMax) days = BackupDaysMax;
    days_ = days;
    disabled_ = disabled ? 1 : 0;
}

RawString JobBackupList::Root() const {
    JobBackupStoreGuard guard(*this);
    return root_;
}

int32_t JobBackupList::Days() const {
    JobBackupStoreGuard guard(*this);
    return days_;
}

bool JobBackupList::Disabled() const {
    JobBackupStoreGuard guard(*this);
    return disabled_ != 0;
}

bool JobBackupList::StartLoader() {
    {
        JobBackupStoreGuard guard(*this);
        if (started_) return false;
        started_ = 1;
    }
    const bool ok = loader_->Start();
    // A thread that could not be made will never set the event.
    if (!ok) MarkLoaded();
    return ok;
}

void JobBackupList::StopLoader() {
    if (loader_) loader_->StopAndWait();
}

bool JobBackupList::WaitLoaded(uint32_t milliseconds) {
    // Without a started loader there is nothing to wait for. Neither the
    // flag nor the event is read under the store's lock, which a loader on
    // a slow folder may hold for long: the flag is set once, before the
    // loader thread exists, and never cleared.
    if (!started_ || !event_) return true;
    if (WaitForSingleObject(event_, 0) == WAIT_OBJECT_0) return true;
    static const HCURSOR waitCursor = LoadCursor(nullptr, IDC_WAIT);
    static const HCURSOR arrowCursor = LoadCursor(nullptr, IDC_ARROW);
    SetCursor(waitCursor);
    waitResult_ = WaitForSingleObject(event_, milliseconds);
    SetCursor(arrowCursor);
    return waitResult_ == WAIT_OBJECT_0;
}

std::vector<JobBackupUnitLink*> JobBackupList::Records() {
    std::vector<JobBackupUnitLink*> records;
    records.reserve(static_cast<size_t>(Count()));
    for (JobBackupUnit& unit : *this) records.push_back(&unit);
    return records;
}

std::vector<JobBackupUnitLink*> JobBackupItemList::Records() {
    std::vector<JobBackupUnitLink*> records;
    records.reserve(static_cast<size_t>(Count()));
    for (JobBackupItemUnit& unit : *this) records.push_back(&unit);
    return records;
}

bool JobBackupList::IsLoaded() const {
    JobBackupStoreGuard guard(*this);
    return loaded_ != 0;
}

void JobBackupList::MarkLoaded() {
    {
        JobBackupStoreGuard guard(*this);
        loaded_ = 1;
    }
    if (event_) SetEvent(event_);
}

JobBackupUnit* JobBackupList::FindFolder(const RawString& folder) const {
    return FindIf([&folder](const JobBackupUnit& unit) { return SameFolder(unit.Folder(), folder); });
}

}  // namespace JobLayer
