#include "tavrel/jobs/side_edit.h"

#include <algorithm>

#include "base/clipboard.h"
#include "base/encoding.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/shell_commands.h"

namespace JobLayer {

bool SideMayBeEdited(const JobGroupUnit& job, uint32_t side) {
    uint8_t flag = side == 0 ? job.edit.edit1 : job.edit.edit2;
    if (!flag) return false;
    uint16_t content = job.Content(side).flags;
    if (!(content & ContentRead)) return false;
    return (content & (ContentNoFile | ContentCut | ContentUnreadable)) == 0;
}

bool TextForSide(const JobGroupUnit& job, uint32_t side, const RawString& text, uint8_t kind, RawString& out) {
    if (RawLayer::ConvertTextExactly(text, kind, out)) return true;
    ReportUnheldText(job, side);
    return false;
}

void ReportUnheldText(const JobGroupUnit& job, uint32_t side) { ReportError(UnheldTextErrorText(), job.Path(side)); }

uint32_t NextUndoTag() {
    static uint32_t tag = 0;
    if (++tag == 0) ++tag;
    return tag;
}

bool EditCommandEnabled(const JobGroupUnit& job, uint32_t side, uint32_t command, const JobUndoDataList* undo,
                        bool lineCommands) {
    if (side > 1 || command < FirstEditCommand || command > LastEditCommand) return false;
    const JobSideRecord& s = side == 0 ? job.side1 : job.side2;
    const bool cursorSet = s.anchorRow >= 0 && s.anchorColumn != -1 && s.cursorRow >= 0 && s.cursorColumn != -1;
    const bool editable = SideMayBeEdited(job, side);
    // A text side without lines has no cursor, yet takes text at line 1,
    // as a binary side's end row does.
    if (lineCommands && editable && job.Content(side).IsEmpty() &&
        (command == CommandInsertNewLine || command == CommandPasteFromClipboard || command == CommandInsertText ||
         command == CommandInsertTypedText))
        return true;
    switch (command) {
    case CommandSelectAll:
    case CommandSelectWholeLine:
    case CommandSnapToLineEdge:
    case CommandSelectWord:
    case CommandSelectWordEx:
        return cursorSet;
    case CommandCopyToClipboard:
        return cursorSet && (s.anchorRow != s.cursorRow || s.anchorColumn != s.cursorColumn);
    case CommandUndo:
        return editable && undo && undo->position > 0;
    case CommandRedo:
        return editable && undo && undo->position < static_cast<uint32_t>(undo->Count());
    case CommandCopyLinesTo:
    case CommandDeleteLines:
    case CommandReplaceText:
        return editable;
    case CommandSearchForward:
    case CommandSearchBackward:
    case CommandGotoLine:
        return true;
    case CommandInsertLineTabs:
    case CommandRemoveLineTabs:
    case CommandInsertNewLine:
    case CommandImeCompositionStart:
    case CommandImeCompositionEnd:
    case CommandImeCompositionUpdate:
        return lineCommands && cursorSet && editable;
    default:
        // 9-11, 13, 16 and 26.
        return cursorSet && editable;
    }
}

std::vector<int32_t> MarkedRows(const JobGroupUnit& job) {
    std::vector<int32_t> rows;
    int32_t index = 0;
    for (const JobReportUnit& row : job.rows) {
        if (row.flags & RowMarked) rows.push_back(index);
        ++index;
    }
    return rows;
}

bool StepUndoRecords(JobUndoDataList& list, bool undo, const std::function<bool(JobUndoDataUnit&)>& apply,
                     const std::function<size_t(JobUndoDataUnit* const*, size_t)>& applyRun) {
    const uint32_t count = static_cast<uint32_t>(list.Count());
    if (list.position > count) list.position = count;
    if (undo ? list.position == 0 : list.position >= count) return false;
    const uint32_t tag = list.At(static_cast<int32_t>(undo ? list.position - 1 : list.position))->tag;
    // The records of the tag, in the order they are applied: counted along
    // the links from the first, then taken into an array of their number (a
    // command may have left hundreds of thousands; growing the array step
    // by step would cost more than the walks).
    RawLayer::RawListLink* const first = list.LinkAt(static_cast<int32_t>(undo ? list.position - 1 : list.position));
    auto step = [&list, undo](RawLayer::RawListLink* link) { return undo ? list.PrevLink(link) : list.NextLink(link); };
    auto ofTag = [&list, tag](RawLayer::RawListLink* link) {
        const JobUndoDataUnit* record = list.IsEnd(link) ? nullptr : list.UnitOf(link);
        return record && record->tag == tag;
    };
    size_t number = 0;
    for (RawLayer::RawListLink* link = first; ofTag(link); link = step(link)) ++number;
    std::vector<JobUndoDataUnit*> records;
    records.reserve(number);
    for (RawLayer::RawListLink* link = first; records.size() < number; link = step(link))
        records.push_back(list.UnitOf(link));
    size_t done = 0;
    while (done < records.size()) {
        size_t applied = applyRun ? applyRun(records.data() + done, records.size() - done) : 0;
        if (applied == 0) {
            if (!apply(*records[done])) break;
            applied = 1;
        }
        done += applied;
        if (undo)
            list.position -= static_cast<uint32_t>(applied);
        else
            list.position += static_cast<uint32_t>(applied);
    }
    return done > 0;
}

void CursorChanged(JobViewEditor& editor) {
    editor.UpdateCaret();
    editor.RefreshFolderBox();
    editor.MoveToContentRow();
}

RawString ClipboardTextCut(bool& cut) {
    const int32_t limit = std::max(1, ConfigStore::Instance().maxClipLoading);
    // One unit more than the limit tells a cut text from one that fits.
    RawString clip = RawLayer::ClipboardGetText(limit + 1);
    cut = clip.Length() > limit;
    if (cut) {
        clip.Erase(limit, clip.Length() - limit);
        const uint32_t last = clip.UnitAt(limit - 1);
        if (RawLayer::IsHighSurrogate(last)) clip.Erase(limit - 1, 1);
    }
    return clip;
}

void SelectMarkedRows(JobViewEditor& editor, JobGroupUnit& job, uint32_t sideIndex) {
    std::vector<int32_t> rows = MarkedRows(job);
    if (rows.empty()) return;
    JobSideRecord& side = job.Side(sideIndex);
    job.currentRow = rows.front();
    side.cursorRow = rows.front();
    side.cursorColumn = 0;
    side.anchorRow = rows.back();
    const JobContentUnit* last = job.rows.At(rows.back())->Unit(sideIndex);
    side.anchorColumn = last && !last->IsPlaceholder() ? last->EndColumn() : 0;
    side.preferredX = -1;
    editor.MoveToContentRow();
    editor.RestoreSelection();
    JobSideRecord& other = job.Side(1 - sideIndex);
    other.anchorRow = other.cursorRow;
    other.anchorColumn = other.cursorColumn;
}

}  // namespace JobLayer
