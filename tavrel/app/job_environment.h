// The side operations of the folder box that act through the job
// environment: the editable mode of a side, and opening a folder through
// the shell.
#pragma once

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/app/folder_box.h"

namespace AppLayer {

// Whether a side may be made editable: it was read whole. A side with no
// file, one cut at the loading limit or one that could not be read never
// is; saving it would truncate or replace the file.
bool SideCanBeEdited(const JobGroupUnit& job, uint32_t side);
// Makes a side of the box's job editable or read-only, when it may be
// edited; then sends 4401 on the box's window. False (nothing changed,
// nothing sent) otherwise.
bool SetSideEditable(GuiFolderBox& box, uint32_t side, bool on);
// Starts the shell on a folder; failures are not reported.
void OpenFolderInShell(const RawLayer::RawString& path);

}  // namespace AppLayer
