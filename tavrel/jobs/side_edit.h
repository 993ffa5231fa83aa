// What the edit commands of the text and binary kinds share: the rule that
// a side may be edited, the enable rule of the commands both kinds have,
// the undo tags and the stepping over a command's records, the marked rows
// and the clipboard text they take in.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/raw_string.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"

namespace JobLayer {

using RawLayer::RawString;

// Whether a side may be edited: its edit flag is on, the file was read whole
// and nothing failed. A side cut at the loading limit, unreadable or without
// a file never is, whatever its edit flag says, so that a partial content
// can never replace the whole file.
bool SideMayBeEdited(const JobGroupUnit& job, uint32_t side);

// A fresh undo tag: every record of one command carries the same one.
uint32_t NextUndoTag();

// The enable rule of a command on a text or binary side: selection
// commands need the cursor set, copying a non-empty selection, every change
// an editable side (undo and redo records to apply), search and go-to
// nothing; the line commands (6-8) and the input-method commands (23-25)
// exist only where `lineCommands` says so.
bool EditCommandEnabled(const JobGroupUnit& job, uint32_t side, uint32_t command, const JobUndoDataList* undo,
                        bool lineCommands);
// The rows marked in the job (row flag 2), in display order.
std::vector<int32_t> MarkedRows(const JobGroupUnit& job);
// Undo (or redo) one command: steps the list's position back (or on) over
// every record carrying the tag of the first one met, applying each; true
// when at least one was applied. `applyRun`, when given, is offered the
// records of the tag still to apply, in the order they are applied, and may
// apply a run of them at once: it returns how many it applied, 0 to leave
// the next one to `apply`.
bool StepUndoRecords(JobUndoDataList& list, bool undo, const std::function<bool(JobUndoDataUnit&)>& apply,
                     const std::function<size_t(JobUndoDataUnit* const*, size_t)>& applyRun = nullptr);
// The editor's three cursor-changed operations, in their order.
void CursorChanged(JobViewEditor& editor);
// The clipboard's text cut to "MaxClipLoading" units on a character
// boundary: the half of a surrogate pair at the cut is dropped. `cut` tells
// whether the clipboard held more.
RawString ClipboardTextCut(bool& cut);
// Text to put into a side, converted exactly into the side's encoding
// kind. When the kind cannot hold every character, nothing may change: the
// job environment's output says why ("UnheldTextError" with the side's
// path) and the answer is false.
bool TextForSide(const JobGroupUnit& job, uint32_t side, const RawString& text, uint8_t kind, RawString& out);
// Tells that a side's encoding kind cannot hold a text, as TextForSide does.
void ReportUnheldText(const JobGroupUnit& job, uint32_t side);
// The selection of a side becomes the marked rows: the caret at the start
// of the first, the anchor at the end of the last; the other side's
// selection collapses.
void SelectMarkedRows(JobViewEditor& editor, JobGroupUnit& job, uint32_t sideIndex);


}  // namespace JobLayer
