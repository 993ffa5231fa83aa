// The save and discard road of the file kinds (text and binary): each
// changed side goes through the backup store before its file is replaced
// or its edits are dropped.
#pragma once

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/jobs/job_group.h"

namespace JobLayer {
class JobBackupUnit;
class JobBackupItemUnit;
}  // namespace JobLayer

namespace JobLayer {

using RawLayer::RawString;

// Writes a side's content to a path (one of SaveTextSide, SaveBinarySide).
using SideFileWriter = bool (*)(JobGroupUnit& job, uint32_t side, const RawString& path);

// The save and discard road shared by the file kinds: for the changed sides
// of the mode, one dated backup with its comment, one item per side, the
// side written (saving: into a new temporary file beside the file, which
// then replaces it (ReplaceFile, keeping its attributes), so the file is
// never missing or half-written; discarding: into the item's kept copy),
// "Backup.ini", and the job's flags re-evaluated.
// Nothing happens (false: nothing done, no backup) when no side of the mode
// is changed. True when every named side was done; a side that failed stays
// changed.
bool RunSideFileFlow(JobGroupUnit& job, uint32_t mode, bool save, SideFileWriter write);

// After a replace of an item's path failed, having perhaps moved the old
// file aside to `spare` (empty: no spare was used): puts it back at its
// name. Only a file at the path counts as back: then the item (and its kept
// copy, now needless) is dropped: true; so it is when the path had no file
// before the save and no spare holds one now. Otherwise the item and its
// kept copy stay, with the consistency of the path now, the place of the
// old file is reported by name ("OriginalKeptAs": the spare, or the kept
// copy when the spare is gone too), and false is returned.
bool SettleFailedReplace(JobBackupUnit& backup, JobBackupItemUnit& item, const RawString& path,
                         const RawString& spare);

}  // namespace JobLayer
