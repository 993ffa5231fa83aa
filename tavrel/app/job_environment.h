// The side operations of the folder box that act through the job
// environment: the editable mode of a side, and opening a folder through
// the shell.
#pragma once

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/app/folder_box.h"
#include "tavrel/jobs/shell_commands.h"

namespace AppLayer {

// Whether a side may be made editable: it was read whole. A side with no
// file, one cut at the loading limit or one that could not be read never
// is; saving it would truncate or replace the file.
bool SideCanBeEdited(const JobGroupUnit& job, uint32_t side);
// A row's entry on a side: its real unit, unless that is a folder header.
const JobLayer::JobContentUnit* RealEntry(const JobReportUnit* row, uint32_t side);
// Whether a side of the job is in editable mode.
bool SideEditable(const JobGroupUnit& job, uint32_t side);
// Turns the binary insert mode of an editable binary side on or off (a
// pending half byte is dropped) and repaints the box; nothing for any other
// side.
void ToggleInsertMode(GuiFolderBox& box, uint32_t side);
// Makes a side of the box's job editable or read-only, when it may be
// edited; then sends 4401 on the box's window. False (nothing changed,
// nothing sent) otherwise.
bool SetSideEditable(GuiFolderBox& box, uint32_t side, bool on);
// Starts the shell on a folder; failures are not reported.
void OpenFolderInShell(const RawLayer::RawString& path);

// Opens the side's selected entries (a folder job) with their open
// commands, or the side's file at the line of the first selected row (the
// rows with a line on that side counted; 0 without a selection).
void ShellOpenPath(GuiFolderBox& box, uint32_t side);
// Opens the folder that holds the side's file, or the side's folder itself.
void ShellOpenParent(GuiFolderBox& box, uint32_t side);
// Lists the extension as text (1) or binary (2): the side's file, or both
// sides' selected entries of a folder job, whose kinds are then read again.
// A section that could not be written is reported ("WriteError" with the
// configuration's path). False when any write failed.
bool SetExtensionKind(GuiFolderBox& box, uint32_t side, uint32_t kind);
// Runs a user command over the selected rows whose pair kind it admits;
// false at the first run that did not start.
bool RunUserCommandOnRows(GuiFolderBox& box, JobLayer::JobUserShellUnit& command, uint32_t side);
// The dividing point to the middle of the box, both sides scrolled fully
// left; the box and the twin scroll bar repainted.
void ResetDividingPoint(GuiFolderBox& box);

}  // namespace AppLayer
