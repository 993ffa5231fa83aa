// The text kind's edit commands (LineEditExecute): selections, clipboard,
// tabs, line copies and deletions, search and replace, go-to and the input
// method, each built on the primitives of line_edit.cpp.
#include "tavrel/jobs/text/line_edit.h"

#include <algorithm>
#include <new>

#include "base/clipboard.h"
#include "base/encoding.h"
#include "base/text_ops.h"

namespace JobLayer {

namespace {

// ---- word selection over whole characters ----------------------------------

// The character starts of a text.
std::vector<int32_t> CharStarts(const RawString& text) {
    std::vector<int32_t> starts;
    for (int32_t pos = 0; pos < text.Length(); pos = text.NextCharPos(pos)) starts.push_back(pos);
    return starts;
}

// A character's class is its lead unit's: the trail bytes of a Shift_JIS
// character never split a word.
int CharClassAt(const RawString& text, int32_t pos, bool underscore) {
    return RawLayer::WordClass(text.UnitAt(pos), underscore);
}

// The index in `starts` of the character that holds unit `index`; the
// count for an index at or past the end.
size_t StartSlot(const std::vector<int32_t>& starts, int32_t index) {
    size_t slot = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), index) - starts.begin());
    return slot == 0 ? 0 : slot - 1;
}

void WordAround(const RawString& text, int32_t index, bool underscore, int32_t& start, int32_t& end) {
    const int32_t length = text.Length();
    std::vector<int32_t> starts = CharStarts(text);
    if (starts.empty() || index >= length) {
        // Past the end: the run of class-1 characters before it.
        size_t k = starts.size();
        while (k > 0 && CharClassAt(text, starts[k - 1], underscore) == 1) --k;
        start = k < starts.size() ? starts[k] : length;
        end = length;
        return;
    }
    if (index < 0) index = 0;
    size_t slot = StartSlot(starts, index);
    const int cls = CharClassAt(text, starts[slot], underscore);
    size_t k = slot;
    while (k > 0 && CharClassAt(text, starts[k - 1], underscore) == cls) --k;
    start = starts[k];
    k = slot;
    while (k < starts.size() && CharClassAt(text, starts[k], underscore) == cls) ++k;
    end = k < starts.size() ? starts[k] : length;
}

// ---- selections and input-method compositions ----------------------------------

// Deletes the selection with the tag; true when it held something.
bool DeleteSelection(LineEditContext& context, uint32_t tag, JobTextPosition& at) {
    JobTextRange range = context.SelectionLines();
    at = range.start;
    if (range.start.line < 0 || range.IsEmpty()) return false;
    return DeleteRangeAt(context, tag, range);
}

// Replaces the selection by text of the side's kind under one tag.
bool ReplaceSelection(LineEditContext& context, const RawString& text) {
    const uint32_t tag = NextUndoTag();
    JobTextPosition at;
    bool changed = DeleteSelection(context, tag, at);
    if (at.line < 0) {
        // A side without lines (an empty file) takes the text at line 1:
        // its first line comes with the text, under the same tag, so that
        // one undo takes both away.
        if (context.content.Count() != 0 || text.IsEmpty() ||
            !InsertLineAt(context, tag, 0, RawString(context.TextKind())))
            return false;
        at = JobTextPosition{0, 0};
        changed = true;
    }
    if (!text.IsEmpty()) changed = InsertTextAt(context, tag, at, text) || changed;
    return changed;
}

// ---- commands -------------------------------------------------------------------------

bool SelectAllLines(LineEditContext& context) {
    JobGroupUnit& job = context.job;
    const int32_t count = job.rows.Count();
    int32_t first = JobGroupUnit::NextRealRow(&job, context.sideIndex, 0, false);
    int32_t last = JobGroupUnit::PrevRealRow(&job, context.sideIndex, count - 1, false);
    if (first < 0 || last < 0) return false;
    JobSideRecord& side = context.side;
    side.wordBeforeAnchor = 1;
    side.anchorRow = last;
    side.anchorColumn = LineLength(context.LineOfRow(last));
    side.cursorRow = first;
    side.cursorColumn = 0;
    side.preferredX = -1;
    job.currentRow = first;
    context.redraw = true;
    return true;
}

bool SelectWholeLine(LineEditContext& context) {
    JobSideRecord& side = context.side;
    const int32_t row = side.cursorRow;
    side.wordBeforeAnchor = 1;
    side.anchorRow = row;
    side.anchorColumn = 0;
    side.cursorColumn = LineLength(context.LineOfRow(row));
    side.preferredX = -1;
    context.job.currentRow = row;
    context.redraw = true;
    return true;
}

bool SnapToLineEdge(LineEditContext& context) {
    JobSideRecord& side = context.side;
    if (side.cursorRow < side.anchorRow)
        side.cursorColumn = 0;
    else if (side.cursorRow > side.anchorRow)
        side.cursorColumn = LineLength(context.LineOfRow(side.cursorRow));
    else
        side.cursorColumn = side.anchorColumn;
    return true;
}

bool SelectWord(LineEditContext& context, bool underscore) {
    JobSideRecord& side = context.side;
    JobLineUnit* line = context.LineOfRow(side.cursorRow);
    if (!line) return false;
    int32_t start = 0, end = 0;
    WordAround(line->LineText(), side.cursorColumn, underscore, start, end);
    side.wordBeforeAnchor = 0;
    side.anchorRow = side.cursorRow;
    side.anchorColumn = start;
    side.cursorColumn = end;
    side.preferredX = -1;
    context.job.currentRow = side.cursorRow;
    context.redraw = true;
    return true;
}

// Commands 6 and 7 select whole lines afterwards: from (start row, 0) to
// (end row, end of its line).
void SelectRowsWhole(LineEditContext& context, int32_t startRow, int32_t endRow) {
    JobSideRecord& side = context.side;
    side.wordBeforeAnchor = 0;
    side.anchorRow = startRow;
    side.anchorColumn = 0;
    side.cursorRow = endRow;
    side.cursorColumn = LineLength(context.LineOfRow(endRow));
    side.preferredX = -1;
    context.job.currentRow = endRow;
    context.redraw = true;
}

RawString TabText(uint8_t kind) {
    RawString tab(kind);
    tab.AppendChar('\t');
    return tab;
}

bool LineTabs(LineEditContext& context, bool insert) {
    JobSelectionRange selection = JobGroupUnit::SelectionRange(&context.job, context.sideIndex);
    const uint32_t tag = NextUndoTag();
    const RawString tab = TabText(context.TextKind());
    if (insert && selection.startRow == selection.endRow && selection.startColumn == selection.endColumn) {
        JobTextPosition at = context.ToLinePosition(selection.startRow, selection.startColumn);
        return at.line >= 0 && InsertTextAt(context, tag, at, tab);
    }
    bool changed = false;
    for (int32_t row = selection.startRow; row <= selection.endRow; ++row) {
        JobLineUnit* line = context.LineOfRow(row);
        if (!line) continue;
        int32_t index = context.LineIndex(line);
        if (insert) {
            changed = InsertTextAt(context, tag, JobTextPosition{index, 0}, tab) || changed;
        } else if (line->LineText().UnitAt(0) == '\t' && line->LineText().Length() > 0) {
            changed = DeleteRangeAt(context, tag, JobTextRange{{index, 0}, {index, 1}}) || changed;
        }
    }
    SelectRowsWhole(context, selection.startRow, selection.endRow);
    return changed;
}

bool InsertNewLine(LineEditContext& context) {
    return ReplaceSelection(context, CrLfText(context.TextKind()));
}

// Backspace (back) and Delete: the selection, else one cursor step.
bool DeleteStep(LineEditContext& context, bool back) {
    JobTextRange selection = context.SelectionLines();
    if (selection.start.line < 0) return false;
    if (!selection.IsEmpty()) return DeleteRangeAt(context, NextUndoTag(), selection);
    JobCursor cursor(context.job, context.sideIndex);
    if (!(back ? cursor.MoveLeft() : cursor.MoveRight())) return false;
    JobTextPosition other = context.ToLinePosition(cursor.row, cursor.column);
    if (other.line < 0 || other == selection.start) return false;
    JobTextRange range = back ? JobTextRange{other, selection.start} : JobTextRange{selection.start, other};
    return DeleteRangeAt(context, NextUndoTag(), range);
}

bool DeleteSelections(LineEditContext& context) {
    JobTextPosition at;
    return DeleteSelection(context, NextUndoTag(), at);
}

bool CopyToClipboard(LineEditContext& context) {
    JobTextRange selection = context.SelectionLines();
    if (selection.start.line < 0 || selection.IsEmpty()) return false;
    return RawLayer::ClipboardSetText(SelectionText(context, selection));
}

// Text converted to the side's kind; false, with the reason told, when the
// kind cannot hold it.
bool TextForLines(LineEditContext& context, const RawString& text, RawString& out) {
    return TextForSide(context.job, context.sideIndex, text, context.TextKind(), out);
}

// Clipboard text cut to "MaxClipLoading" units on a character boundary,
// converted to the side's kind; false when there is none or the kind cannot
// hold it.
bool ClipboardTextFor(LineEditContext& context, RawString& text) {
    bool cut = false;
    const RawString clip = ClipboardTextCut(cut);
    if (clip.IsEmpty()) return false;
    return TextForLines(context, clip, text);
}

bool PasteFromClipboard(LineEditContext& context) {
    RawString text;
    if (!ClipboardTextFor(context, text)) return false;
    return ReplaceSelection(context, text);
}

// Typed text: one character at least, none of them a control character,
// DEL or half of a surrogate pair.
bool IsTypableText(const RawString& text) {
    RawString wide = text.As(RawLayer::KindUtf16);
    if (wide.IsEmpty()) return false;
    for (int32_t i = 0; i < wide.Length(); ++i) {
        uint32_t u = wide.UnitAt(i);
        if (u < 32 || u == 127) return false;
    }
    return !RawLayer::HasLoneSurrogate(wide.Wide(), wide.Length());
}

bool InsertOperand(LineEditContext& context, const RawString& operand, bool typed) {
    if (typed && !IsTypableText(operand)) return false;
    RawString text;
    if (!TextForLines(context, operand, text)) return false;
    return ReplaceSelection(context, text);
}

bool CopyLinesTo(LineEditContext& context) {
    context.editor.CountSelectedRows();
    std::vector<int32_t> rows = MarkedRows(context.job);
    const uint32_t source = 1 - context.sideIndex;
    // Every line is checked first: a text this side cannot hold stops the
    // whole command before anything changes.
    for (int32_t row : rows) {
        JobContentUnit* unit = context.job.rows.At(row)->Unit(source);
        RawString converted;
        if (IsRealUnit(unit) && !TextForLines(context, unit->Text(), converted)) return false;
    }
    const bool changed = CopyLinesFromOtherSide(context, NextUndoTag(), source, rows);
    context.reselect = true;
    return changed;
}

bool DeleteLines(LineEditContext& context) {
    context.editor.CountSelectedRows();
    std::vector<int32_t> rows = MarkedRows(context.job);
    const uint32_t tag = NextUndoTag();
    context.reselect = true;
    // The lines of the rows, numbered before any goes, go at once; their
    // records are those of deleting them one by one from the last up (each
    // index is the line's own: lines below it went first).
    std::vector<int32_t> indexes;
    std::vector<RawString> texts;
    int32_t firstRow = -1;
    for (int32_t row : rows) {
        JobLineUnit* line = context.LineOfRow(row);
        if (!line) continue;
        context.rowHint = row;
        const int32_t index = context.LineIndex(line);
        if (index < 0 || (!indexes.empty() && index <= indexes.back())) continue;
        if (firstRow < 0) firstRow = row;
        indexes.push_back(index);
        texts.push_back(line->LineText());
    }
    return DeleteLinesAt(context, tag, firstRow, indexes, texts);
}

bool GotoLine(LineEditContext& context, const RawString& operand) {
    static const RawString blanks = RawString::FromLiteral(" \t");
    RawRange range = operand.TrimRange(operand.All(), blanks);
    RawLayer::RawNumberScan scan;
    // The number is read in 64 bits: a value past the line count never
    // wraps onto a line.
    if (range.end <= range.start || !RawLayer::ParseNumber(operand, range, scan) || scan.overflow)
        return false;
    if (scan.sign == '-' || scan.value < 1 || scan.value > static_cast<uint64_t>(context.content.Count()))
        return false;
    JobTextPosition at = {static_cast<int32_t>(scan.value - 1), 0};
    context.rowHint = 0;
    if (context.RowOfLine(context.LineAt(at.line)) < 0) return false;
    context.PlaceCursor(at);
    return true;
}

// Copies the parts of a search into the record's list.
void KeepHit(ActionArgs& args, const ExpressionSearch& search, const RawString& line) {
    args.lastHit.lineText = line;
    JobHitRangeList parts;
    for (const JobHitRange& part : search.parts) parts.Add(part.start, part.end);
    args.lastHit.parts = parts;
}

bool Search(LineEditContext& context, ActionArgs& args, bool forward) {
    if (args.operands[0].IsEmpty()) return false;
    ExpressionSearch search(args.operands[0]);
    int32_t row = -1, column = 0;
    if (!SearchStart(context, args, search, forward, row, column)) return false;
    JobGroupUnit& job = context.job;
    const uint32_t side = context.sideIndex;
    const bool inverted = (search.flags & ExpressionInvert) != 0;
    const JobSearchPlace& place = args.place;
    const int32_t count = job.rows.Count();
    // One row a step; the row array hands each out directly.
    for (int32_t r = row; r >= 0 && r < count; r += forward ? 1 : -1) {
        JobContentUnit* unit = job.rows.At(r)->Unit(side);
        if (!IsRealUnit(unit)) continue;
        // Every unit of a text side is a line.
        JobLineUnit* line = static_cast<JobLineUnit*>(unit);
        const RawString& text = line->LineText();
        bool found = false;
        if (forward) {
            const bool samePlace =
                !inverted && place.valid && place.job == &job && place.side == side && place.line == line;
            found = search.FromPast(text, r == row ? column : 0, samePlace ? place.end : -1);
        } else {
            found = search.Previous(text, RawRange{0, r == row ? column : text.Length()});
        }
        if (found) {
            JobSideRecord& s = context.side;
            s.wordBeforeAnchor = 0;
            s.anchorRow = s.cursorRow = r;
            s.anchorColumn = search.hitStart;
            s.cursorColumn = search.hitEnd;
            s.preferredX = -1;
            job.currentRow = r;
            context.redraw = true;
            KeepHit(args, search, text);
            JobSearchPlace hit;
            hit.valid = true;
            hit.inverted = inverted;
            hit.job = &job;
            hit.side = side;
            hit.line = line;
            hit.row = r;
            hit.hitStart = search.hitStart;
            hit.hitEnd = search.hitEnd;
            hit.end = search.hitEnd;
            args.place = hit;
            return true;
        }
    }
    return false;
}

bool ReplaceText(LineEditContext& context, ActionArgs& args) {
    JobSearchPlace& place = args.place;
    if (!place.valid || place.replaced || place.job != &context.job || place.side != context.sideIndex)
        return false;
    // Only the stored hit, selected, on its unchanged line.
    JobSelectionRange selection = JobGroupUnit::SelectionRange(&context.job, context.sideIndex);
    if (selection.startRow != place.row || selection.endRow != place.row ||
        selection.startColumn != place.hitStart || selection.endColumn != place.hitEnd)
        return false;
    JobLineUnit* line = context.LineOfRow(place.row);
    if (!line || line != place.line || line->LineText().Kind() != args.lastHit.lineText.Kind() ||
        !line->LineText().Equals(args.lastHit.lineText))
        return false;
    RawString expression;
    if (!TextForLines(context, args.operands[1], expression)) return false;
    const RawString text = ExpressionReplaceText(expression, args.lastHit);
    const int32_t index = context.LineIndex(line);
    const uint32_t tag = NextUndoTag();
    JobTextPosition start = {index, place.hitStart};
    JobTextPosition end = start;
    if (place.hitEnd > place.hitStart)
        DeleteRangeAt(context, tag, JobTextRange{start, {index, place.hitEnd}});
    if (!text.IsEmpty() && !InsertTextAt(context, tag, start, text, &end)) return false;
    place.replaced = true;
    place.line = context.LineAt(end.line);
    place.row = context.RowOfLine(context.LineAt(end.line));
    place.hitStart = place.hitEnd = place.end = end.column;
    if (text.IsEmpty()) context.PlaceCursor(start);
    return true;
}

bool RunCommand(LineEditContext& context, uint32_t command, ActionArgs& args) {
    switch (command) {
    case CommandSelectAll: return SelectAllLines(context);
    case CommandSelectWholeLine: return SelectWholeLine(context);
    case CommandSnapToLineEdge: return SnapToLineEdge(context);
    case CommandSelectWord: return SelectWord(context, false);
    case CommandSelectWordEx: return SelectWord(context, true);
    case CommandInsertLineTabs: return LineTabs(context, true);
    case CommandRemoveLineTabs: return LineTabs(context, false);
    case CommandInsertNewLine: return InsertNewLine(context);
    case CommandBackspace: return DeleteStep(context, true);
    case CommandDeleteCharOrSelections: return DeleteStep(context, false);
    case CommandDeleteSelections: return DeleteSelections(context);
    case CommandCopyToClipboard: return CopyToClipboard(context);
    case CommandPasteFromClipboard: return PasteFromClipboard(context);
    case CommandUndo: return UndoLineRecords(context, true);
    case CommandRedo: return UndoLineRecords(context, false);
    case CommandInsertText: return InsertOperand(context, args.operands[0], false);
    case CommandCopyLinesTo: return CopyLinesTo(context);
    case CommandDeleteLines: return DeleteLines(context);
    case CommandSearchForward: return Search(context, args, true);
    case CommandSearchBackward: return Search(context, args, false);
    case CommandReplaceText: return ReplaceText(context, args);
    case CommandGotoLine: return GotoLine(context, args.operands[0]);
    case CommandImeCompositionStart:
        // The selection stays until the first composition replaces it, so
        // that a composition given up leaves the text as it was.
        context.side.imeState = static_cast<uint16_t>(context.side.imeState | ImeComposing);
        return true;
    case CommandImeCompositionEnd: {
        RemoveLineComposition(context);
        JobSideRecord& side = context.side;
        JobSelectionRange selection = JobGroupUnit::SelectionRange(&context.job, context.sideIndex);
        side.anchorRow = side.cursorRow = selection.endRow;
        side.anchorColumn = side.cursorColumn = selection.endColumn;
        context.redraw = true;
        return true;
    }
    case CommandImeCompositionUpdate: {
        bool done = UpdateLineComposition(context);
        context.side.preferredX = -1;
        context.job.currentRow = context.side.cursorRow;
        context.redraw = true;
        return done;
    }
    case CommandInsertTypedText: return InsertOperand(context, args.operands[0], true);
    default: return false;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Rules and the command entry

bool LineCanExecute(const JobGroupUnit& job, uint32_t side, uint32_t command) {
    const JobSideRecord& s = side == 0 ? job.side1 : job.side2;
    const JobLineBaseData* data = dynamic_cast<const JobLineBaseData*>(s.kindData.get());
    return EditCommandEnabled(job, side, command, data ? &data->undo : nullptr, true);
}

bool LineEditExecute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                     ActionArgs& args) {
    LineEditContext context(editor, job, side);
    bool result = false;
    try {
        // A composition shown without a record never outlives the input
        // method's own commands.
        if (command != CommandImeCompositionStart && command != CommandImeCompositionEnd &&
            command != CommandImeCompositionUpdate)
            RemoveLineComposition(context);
        result = RunCommand(context, command, args);
    } catch (const std::bad_alloc&) {
        // What was done before memory ran out stays, with its records.
        result = false;
    }
    return LineEditFinish(context, result);
}

bool LineEditFinish(LineEditContext& context, bool result) {
    JobGroupUnit& job = context.job;
    JobViewEditor& editor = context.editor;
    if (context.textChanged) {
        // Only the rows this command touched are compared again, unless it
        // touched many.
        if (context.RefreshesEveryRow())
            RefreshEditedRows(job);
        else
            RefreshEditedRows(job, context.edited.data(), context.edited.size());
        // The rows changed are noted: the views may take those only.
        job.rowChanges.fromEdit = true;
        editor.RefreshViews();
    }
    if (context.redraw) CursorChanged(editor);
    if (context.reselect) SelectMarkedRows(editor, job, context.sideIndex);
    return result;
}

// ---------------------------------------------------------------------------
// The controller's slots

bool JobLineControl::CanExecute(JobViewEditor&, JobGroupUnit& job, uint32_t side, uint32_t command) {
    return LineCanExecute(job, side, command);
}

bool JobLineControl::Execute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                             ActionArgs& args) {
    if (!CanExecute(editor, job, side, command)) {
        editor.Alert();
        return false;
    }
    return LineEditExecute(editor, job, side, command, args);
}

}  // namespace JobLayer
