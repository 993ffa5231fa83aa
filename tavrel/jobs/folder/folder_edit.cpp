// The edit commands on a folder side: selecting rows, copying paths, copying
// and deleting the selected entries, searching entry names, going to a row,
// opening a sub-folder pair in a tab of its own and the backup dialog in
// place of undo and redo.
#include <algorithm>

#include "base/clipboard.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/backup/backup_store.h"
#include "tavrel/jobs/expression.h"
#include "tavrel/jobs/folder/folder_copy.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_report.h"
#include "toolkit/list_box.h"

namespace JobLayer {

namespace {

using RawLayer::RawRange;

RAW_CONSTANT_TEXT(CrLfText, "\r\n")
RAW_CONSTANT_TEXT(RowNumberBlanksText, " \t")

// The selected rows of a side, first to last; false when the cursor is not
// set (or lies outside the rows).
bool SelectedRows(const JobGroupUnit& job, uint32_t side, int32_t& first, int32_t& last) {
    const JobSideRecord& s = side == 0 ? job.side1 : job.side2;
    if (s.anchorRow < 0 || s.cursorRow < 0) return false;
    first = std::min(s.anchorRow, s.cursorRow);
    last = std::min(std::max(s.anchorRow, s.cursorRow), job.rows.Count() - 1);
    return first <= last;
}

// Whether a marked row holds a real entry on the side: what a copy (from
// that side) or a delete (on it) would act on.
bool AnyMarkedEntry(const JobGroupUnit& job, uint32_t side) {
    for (const JobReportUnit& row : job.rows)
        if ((row.flags & RowMarked) && RealEntry(row.Unit(side))) return true;
    return false;
}

// The caret, the anchor and the job's current row go to a row, which the
// box scrolls to and redraws.
void GoToRow(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, int32_t row) {
    JobSideRecord& s = job.Side(side);
    s.anchorRow = s.cursorRow = row;
    s.anchorColumn = s.cursorColumn = 0;
    s.preferredX = -1;
    job.currentRow = row;
    editor.UpdateCaret();
    editor.RefreshFolderBox();
    editor.MoveToContentRow();
}

// The command code in the high word and the box's id in the low word, as
// WM_COMMAND to the window that holds the box.
bool SendToMainWindow(JobViewEditor& editor, uint16_t code) {
    WinLayer::WinListBox* box = editor.FolderBox();
    if (!box || !box->window) return false;
    HWND main = GetAncestor(box->window, GA_ROOT);
    if (!main) return false;
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(box->controlId & 0xFFFF, code),
                 reinterpret_cast<LPARAM>(box->window));
    return true;
}

// The index in the side's list where a name search begins: the entry after
// (forward) or before (backward) the caret row's entry. A caret row whose
// entry on this side is the placeholder stands between the nearest entries
// above and below it; with none there, the search begins at the first (last)
// entry.
int32_t SearchStartIndex(const JobGroupUnit& job, uint32_t side, bool forward) {
    const JobContentList& content = job.Content(side);
    const int32_t count = content.Count();
    const JobSideRecord& s = side == 0 ? job.side1 : job.side2;
    const int32_t rows = job.rows.Count();
    if (s.cursorRow < 0 || s.cursorRow >= rows) return forward ? 0 : count - 1;
    const int32_t step = forward ? -1 : 1;
    for (int32_t row = s.cursorRow; row >= 0 && row < rows; row += step) {
        const JobContentUnit* unit = job.rows.At(row)->Unit(side);
        if (!RealEntry(const_cast<JobContentUnit*>(unit))) continue;
        const int32_t index = content.IndexOf(unit);
        if (index < 0) continue;
        // The caret row's own entry is passed; an entry above a placeholder
        // caret is passed too (the search begins after it), one below it
        // likewise backward.
        return forward ? index + 1 : index - 1;
    }
    return forward ? 0 : count - 1;
}

bool SearchNames(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, ActionArgs& args, bool forward) {
    if (args.operands[0].IsEmpty()) return false;
    ExpressionSearch search(args.operands[0]);
    const JobContentList& content = job.Content(side);
    const int32_t count = content.Count();
    for (int32_t index = SearchStartIndex(job, side, forward); index >= 0 && index < count;
         index += forward ? 1 : -1) {
        JobPathUnit* entry = RealEntry(const_cast<JobContentUnit*>(content.At(index)));
        if (!entry) continue;
        // From gives the result already inverted for "!".
        if (!search.From(entry->name, entry->name.All())) continue;
        const int32_t row = JobGroupUnit::RowOfUnit(&job, side, index);
        if (row < 0) continue;
        GoToRow(editor, job, side, row);
        return true;
    }
    return false;
}

// Row n - 1 for a decimal n read in 64 bits, so that no number wraps onto a
// row; false for 0, a negative number and one beyond the rows.
bool GotoRow(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, const RawString& operand) {
    const RawRange range = operand.TrimRange(operand.All(), RowNumberBlanksText());
    RawLayer::RawNumberScan scan;
    if (range.end <= range.start || !RawLayer::ParseNumber(operand, range, scan) || scan.overflow) return false;
    if (scan.radix != 10 || scan.sign == '-' || scan.value < 1 ||
        scan.value > static_cast<uint64_t>(job.rows.Count()))
        return false;
    GoToRow(editor, job, side, static_cast<int32_t>(scan.value - 1));
    return true;
}

}  // namespace

RawString PathSelectionText(const JobGroupUnit& job, uint32_t side) {
    RawString text;
    int32_t first = 0, last = -1;
    if (side > 1 || !SelectedRows(job, side, first, last)) return text;
    for (int32_t row = first; row <= last; ++row) {
        JobPathUnit* entry = RealEntry(job.rows.At(row)->Unit(side));
        if (!entry) continue;
        text.Append(entry->fullPath);
        text.Append(CrLfText());
    }
    return text;
}

bool JobPathControl::CanExecute(JobViewEditor&, JobGroupUnit& job, uint32_t side, uint32_t command) {
    if (side > 1) return false;
    switch (command) {
    case CommandSelectAll:
    case CommandSelectWholeLine:
    case CommandUndo:
    case CommandRedo:
    case CommandCopyLinesTo:
    case CommandDeleteLines:
    case CommandSearchForward:
    case CommandSearchBackward:
    case CommandGotoLine:
        return true;
    case CommandSelectWord:
    case CommandSelectWordEx: {
        const JobSideRecord& s = job.Side(side);
        return s.anchorRow >= 0 && s.cursorRow >= 0;
    }
    case CommandCopyToClipboard: {
        // The text is not empty: a selected row has an entry on this side.
        int32_t first = 0, last = -1;
        if (!SelectedRows(job, side, first, last)) return false;
        for (int32_t row = first; row <= last; ++row)
            if (RealEntry(job.rows.At(row)->Unit(side))) return true;
        return false;
    }
    default:
        return false;
    }
}

bool JobPathControl::Execute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                             ActionArgs& args) {
    if (!CanExecute(editor, job, side, command)) {
        editor.Alert();
        return false;
    }
    const uint32_t other = side == 0 ? 1 : 0;
    switch (command) {
    case CommandSelectAll:
    case CommandSelectWholeLine:
        return true;
    case CommandSelectWord:
    case CommandSelectWordEx:
        return SendToMainWindow(editor, PathOpenChildTabCode);
    case CommandCopyToClipboard:
        return RawLayer::ClipboardSetText(PathSelectionText(job, side));
    case CommandUndo:
    case CommandRedo:
        return SendToMainWindow(editor, PathOpenBackupCode);
    case CommandCopyLinesTo:
    case CommandDeleteLines: {
        // The box's selection becomes the rows' marks first. A command that
        // has nothing to act on, or is refused, reports failure.
        editor.CountSelectedRows();
        const bool copy = command == CommandCopyLinesTo;
        if (!AnyMarkedEntry(job, copy ? other : side)) return false;
        // A copy that left an entry behind is no success.
        bool complete = true;
        JobBackupUnit* done = copy ? CopySelections(job, side, other, JobBackupList::Instance(), &complete)
                                   : DeleteSelections(job, side);
        editor.RefreshViews();
        return done != nullptr && complete;
    }
    case CommandSearchForward:
    case CommandSearchBackward:
        return SearchNames(editor, job, side, args, command == CommandSearchForward);
    case CommandGotoLine:
        return GotoRow(editor, job, side, args.operands[0]);
    default:
        return false;
    }
}

}  // namespace JobLayer
