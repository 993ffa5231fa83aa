// Copy and delete of the selected rows of a folder job. Each command is one
// operation with one backup: every touched path is put into the backup
// first, then copied over or deleted, and the rows are brought up to date
// from the disk and merged again, without reloading the folders.
#pragma once

#include <cstdint>

#include "base/raw_string.h"

namespace JobLayer {

struct JobGroupUnit;
class JobBackupList;
class JobBackupUnit;

// Row flag of a row whose both entries are gone: removed before the merge.
enum : uint32_t { RowToRemove = 8 };

// Entry flag of an entry whose path now holds an entry of another kind
// (a file replaced by a folder, or the reverse). Bit 32 of the entry flags
// already marks a link (PathUnitLink), so this one is 64. Such an entry is
// taken out of its side before the merge: the path it stood for is shown
// by the entry of the new kind.
enum : uint16_t { PathUnitReplaced = 64 };

// Copies the entry of every selected row (row flag RowMarked) from the
// source side to the target side (0 or 1). Refused (nothing touched, an
// error reported, null returned) when a side's folder is missing, or the
// two folders are one or one lies inside the other. The sides' edit flags
// play no part: they guard the text and binary sides' buffers, and every
// change a copy makes is kept in its backup. A job without rows is only compared again (null). Otherwise
// the backup of the command, written to disk ("Backup.ini") after all rows.
// An entry that cannot be copied (inside a selected folder too) is left and
// named in the output, the other entries are copied; `complete` (when
// given) is set to whether nothing was left.
JobBackupUnit* CopySelections(JobGroupUnit& job, uint32_t targetSide, uint32_t sourceSide,
                              JobBackupList& store, bool* complete = nullptr);
JobBackupUnit* CopySelections(JobGroupUnit& job, uint32_t targetSide, uint32_t sourceSide);

// Deletes the entry of every selected row on the side (0 or 1): each entry
// is moved into the backup (or to the recycle bin with backups off).
// Refused like the copy when the side's folder is missing.
JobBackupUnit* DeleteSelections(JobGroupUnit& job, uint32_t side, JobBackupList& store);
JobBackupUnit* DeleteSelections(JobGroupUnit& job, uint32_t side);

// Whether two folders are one, or one lies inside the other, after making
// both full paths (letter case ignored). Empty paths count as overlapping.
bool FoldersOverlap(const RawLayer::RawString& folder1, const RawLayer::RawString& folder2);

}  // namespace JobLayer
