// The binary kind's edit commands (BinaryActionRun): selections, clipboard,
// row copies, search and replace, go-to and typing, each built on the
// primitives of binary_edit.cpp.
#include "tavrel/jobs/binary/binary_edit.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "base/clipboard.h"
#include "base/encoding.h"
#include "base/text_ops.h"
#include "tavrel/jobs/expression.h"
#include "tavrel/jobs/side_edit.h"
#include "toolkit/environment.h"

namespace JobLayer {

namespace {

constexpr int32_t kRow = BinaryRowPositions;

const char kHexUpper[] = "0123456789ABCDEF";

// The side's buffer as UTF-16 units, one per byte, for the search engine
// (whose characters are then single units whatever the code page).
RawString WideBytes(const RawString& bytes, int32_t from, int32_t to) {
    RawString wide = RawString::ReserveAs(RawLayer::KindUtf16, to - from);
    wchar_t* out = wide.WritableWide();
    const bool narrow = bytes.Kind() != RawLayer::KindUtf16;
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(bytes.Bytes());
    for (int32_t i = from; i < to; ++i) out[i - from] = static_cast<wchar_t>(narrow ? raw[i] : (bytes.UnitAt(i) & 0xFF));
    wide.SyncLength(to - from);
    return wide;
}

// Cells as UTF-16 units (gaps left out).
RawString UnitsOfCells(const RawString& cells) {
    RawString units = CellString(cells.Length());
    for (int32_t i = 0; i < cells.Length(); ++i)
        if (!IsGap(cells.UnitAt(i))) units.AppendChar(cells.UnitAt(i));
    return units;
}

// ---- commands -------------------------------------------------------------------

bool SelectAllBytes(BinaryEditContext& context) {
    if (context.content.IsEmpty()) return false;
    JobSideRecord& side = context.side;
    side.activeColumn = 1;
    const int32_t last = context.content.Count() - 1;
    side.anchorRow = last;
    side.anchorColumn = context.UnitAt(last)->EndColumn();
    side.cursorRow = 0;
    side.cursorColumn = 0;
    context.job.currentRow = 0;
    context.moved = true;
    return true;
}

bool SelectWholeRow(BinaryEditContext& context) {
    JobSideRecord& side = context.side;
    JobBinaryUnit* unit = context.UnitAt(side.cursorRow);
    if (!unit) return false;
    side.activeColumn = 1;
    side.anchorRow = side.cursorRow;
    side.anchorColumn = 0;
    side.cursorColumn = unit->EndColumn();
    context.job.currentRow = side.cursorRow;
    context.moved = true;
    return true;
}

bool SnapToRowEdge(BinaryEditContext& context) {
    JobSideRecord& side = context.side;
    JobBinaryUnit* unit = context.UnitAt(side.cursorRow);
    if (side.cursorRow < side.anchorRow)
        side.cursorColumn = 0;
    else if (side.cursorRow > side.anchorRow)
        side.cursorColumn = unit ? unit->EndColumn() : 0;
    else
        side.cursorColumn = side.anchorColumn;
    context.moved = true;
    return true;
}

bool SelectWord(BinaryEditContext& context, bool underscore) {
    if (!context.data) return false;
    const int32_t length = context.data->Length();
    const uint32_t index = context.ByteIndexOf(context.CursorPlace());
    // The word is looked for in a window around the byte: no word of a
    // binary file is longer.
    const int32_t window = 4096;
    const int32_t at = static_cast<int32_t>(index);
    const int32_t from = std::max(0, at - window), to = std::min(length, at + window);
    RawString text = WideBytes(context.data->bytes, from, to);
    const int32_t start = RawLayer::WordStartAt(text, at - from, underscore) + from;
    const int32_t end = RawLayer::WordEndAt(text, at - from, underscore) + from;
    BinarySelectBytes(context, static_cast<uint32_t>(start), static_cast<uint32_t>(std::max(start, end)));
    return true;
}

bool DeleteStep(BinaryEditContext& context, bool back) {
    BinaryRange range = context.Selection();
    if (range.IsEmpty()) {
        const int32_t at = range.start;
        if (back) {
            if (at <= 0) return false;
            range = BinaryRange{at - 1, at};
        } else {
            if (at >= context.Positions()) return false;
            range = BinaryRange{at, at + 1};
        }
    }
    return BinaryDeleteRange(context, NextUndoTag(), range);
}

bool DeleteSelection(BinaryEditContext& context) {
    const BinaryRange range = context.Selection();
    if (range.IsEmpty()) return false;
    return BinaryDeleteRange(context, NextUndoTag(), range);
}

bool CopyToClipboard(BinaryEditContext& context) {
    const BinaryRange range = context.Selection();
    if (range.IsEmpty()) return false;
    const RawString cells = BinaryCellsOfRange(context, range);
    const bool leaveGaps = WinLayer::KeyHeld(VK_SHIFT);
    if (context.side.activeColumn == 1) {
        RawString text = RawString::ReserveAs(RawLayer::KindUtf16, cells.Length() * 3);
        bool first = true;
        for (int32_t i = 0; i < cells.Length(); ++i) {
            const uint32_t cell = cells.UnitAt(i);
            if (IsGap(cell) && leaveGaps) continue;
            if (!first) text.AppendChar(' ');
            first = false;
            text.AppendChar(IsGap(cell) ? ' ' : kHexUpper[cell >> 4]);
            text.AppendChar(IsGap(cell) ? ' ' : kHexUpper[cell & 0x0F]);
        }
        return !text.IsEmpty() && RawLayer::ClipboardSetText(text);
    }
    if (context.side.activeColumn != 2) return false;
    // The bytes (gaps left out) read in the side's encoding kind, as a paste
    // would write them. A zero unit would end the clipboard text early: such
    // a range is not copied.
    std::string raw;
    for (int32_t i = 0; i < cells.Length(); ++i)
        if (!IsGap(cells.UnitAt(i))) raw.push_back(static_cast<char>(cells.UnitAt(i)));
    if (raw.empty()) return false;
    uint32_t kind = BinaryEncodingKind(context.side);
    if (kind > RawLayer::KindUtf16LE) kind = RawLayer::KindUtf16LE;
    RawString wide;
    if (!RawLayer::ConvertToUtf16(static_cast<uint8_t>(kind), raw.data(), static_cast<int32_t>(raw.size()), wide))
        return false;
    if (wide.IsEmpty() || wide.ContainsUnit(0)) return false;
    return RawLayer::ClipboardSetText(wide);
}

bool PasteFromClipboard(BinaryEditContext& context) {
    bool cut = false;
    const RawString clip = ClipboardTextCut(cut);
    if (clip.IsEmpty()) return false;
    return BinaryPutCells(context, BinaryTextToCells(context, clip, nullptr, cut));
}

bool UndoRedo(BinaryEditContext& context, bool undo) {
    if (!context.data) return false;
    return StepUndoRecords(context.data->undo, undo,
                           [&context](JobUndoDataUnit& record) { return ApplyBinaryUndoRecord(context, record); });
}

// Writes rows of cells, each at the start of its row, in row order: a run
// of rows that follow one another, each but the last filling its row, is
// one overwrite (one splice and one undo record), not one a row.
class RowWriter {
public:
    RowWriter(BinaryEditContext& context, uint32_t serial) : context_(context), serial_(serial) {}
    void Add(int32_t row, const RawString& cells) {
        if (cells.IsEmpty()) return;
        if (!run_.IsEmpty() && !(row == nextRow_ && full_)) Flush();
        if (run_.IsEmpty()) {
            runStart_ = row;
            run_ = CellString(kRow);
        }
        run_.Append(cells);
        nextRow_ = row + 1;
        full_ = cells.Length() == kRow;
        any_ = true;
    }
    void Flush() {
        if (run_.IsEmpty()) return;
        BinaryOverwriteAt(context_, serial_, runStart_ * kRow, run_);
        run_ = CellString();
    }
    bool Any() const { return any_; }

private:
    BinaryEditContext& context_;
    uint32_t serial_;
    RawString run_ = CellString();
    int32_t runStart_ = 0;
    int32_t nextRow_ = 0;
    bool full_ = false;
    bool any_ = false;
};

// The cells of the other side's unit in a row (one per position of it; the
// positions this side's unit has beyond them become gaps, so that the two
// rows are the same afterwards).
bool CopyRowsFromOtherSide(BinaryEditContext& context) {
    context.editor.CountSelectedRows();
    const std::vector<int32_t> rows = MarkedRows(context.job);
    RowWriter writer(context, NextUndoTag());
    for (int32_t row : rows) {
        JobReportUnit* holder = context.job.rows.At(row);
        JobContentUnit* from = holder ? holder->Unit(1 - context.sideIndex) : nullptr;
        if (!from || from->IsPlaceholder()) continue;
        const JobBinaryUnit* source = static_cast<const JobBinaryUnit*>(from);
        RawString cells = CellString(kRow);
        source->AppendBytes(cells, 0, source->extent);
        const JobBinaryUnit* here = context.UnitAt(row);
        for (int32_t p = source->extent; here && p < here->extent; ++p) cells.AppendChar(BinaryEmptyCell);
        writer.Add(row, cells);
    }
    writer.Flush();
    context.moved = true;
    context.reselect = true;
    return writer.Any();
}

bool ClearRows(BinaryEditContext& context) {
    context.editor.CountSelectedRows();
    const std::vector<int32_t> rows = MarkedRows(context.job);
    RowWriter writer(context, NextUndoTag());
    for (int32_t row : rows) {
        const JobBinaryUnit* unit = context.UnitAt(row);
        if (unit) writer.Add(row, EmptyCells(unit->extent));
    }
    writer.Flush();
    context.moved = true;
    context.reselect = true;
    return writer.Any();
}

// The search text of the side: its bytes, one UTF-16 unit each.
bool SearchPattern(const BinaryEditContext& context, const RawString& operand, RawString& expression) {
    bool asHex = false;
    // A text the side cannot hold is simply not found.
    const RawString cells = BinaryTextToCells(context, operand, &asHex, false, false);
    const RawString units = UnitsOfCells(cells);
    if (units.IsEmpty()) return false;
    expression = CellString(units.Length() + 1);
    // Bytes read as hex are data: the literal mark keeps "!", "$", "%",
    // "&", "*", "?" and "@" from acting as marks, wildcards or escapes.
    if (asHex) expression.AppendChar('$');
    expression.Append(units);
    return true;
}

bool SameHitPlace(const JobSearchPlace& place, const BinaryEditContext& context) {
    return place.valid && place.job == &context.job && place.side == context.sideIndex &&
           place.buffer == static_cast<const void*>(context.data);
}

bool Search(BinaryEditContext& context, ActionArgs& args, bool forward) {
    if (args.operands[0].IsEmpty() || !context.data) return false;
    RawString expression;
    if (!SearchPattern(context, args.operands[0], expression)) return false;
    ExpressionSearch search(expression);
    if (search.flags & ExpressionInvert) return false;
    // The bytes as the last search (or the replace after it) left them, when
    // they are still the side's: a replace loop reads the buffer once.
    const JobSearchPlace& kept = args.place;
    const bool current = SameHitPlace(kept, context) && kept.revision == context.data->revision &&
                         args.lastHit.lineText.Kind() == RawLayer::KindUtf16 &&
                         args.lastHit.lineText.Length() == context.data->Length();
    const RawString text = current ? args.lastHit.lineText : WideBytes(context.data->bytes, 0, context.data->Length());
    const BinaryRange selection = context.Selection();
    bool found = false;
    if (forward) {
        // One unit per byte: the search passes over a byte at a time.
        found = search.FromPast(text, static_cast<int32_t>(context.ByteIndexOf(context.CursorPlace())),
                                SameHitPlace(kept, context) ? kept.end : -1);
    } else {
        int32_t before = static_cast<int32_t>(context.ByteIndexOf(context.CursorPlace()));
        const int32_t a = static_cast<int32_t>(context.ByteIndexOf(selection.start));
        const int32_t b = static_cast<int32_t>(context.ByteIndexOf(selection.end));
        if (!selection.IsEmpty() && search.Next(text, RawRange{a, b})) before = a;
        found = search.Previous(text, RawRange{0, before});
    }
    if (!found) return false;
    BinarySelectBytes(context, static_cast<uint32_t>(search.hitStart), static_cast<uint32_t>(search.hitEnd));
    args.lastHit.lineText = text;
    JobHitRangeList parts;
    for (const JobHitRange& part : search.parts) parts.Add(part.start, part.end);
    args.lastHit.parts = parts;
    JobSearchPlace hit;
    hit.valid = true;
    hit.job = &context.job;
    hit.side = context.sideIndex;
    hit.buffer = context.data;
    hit.row = context.side.cursorRow;
    hit.hitStart = search.hitStart;
    hit.hitEnd = search.hitEnd;
    hit.end = search.hitEnd;
    hit.revision = context.data->revision;
    args.place = hit;
    return true;
}

bool ReplaceText(BinaryEditContext& context, ActionArgs& args) {
    JobSearchPlace& place = args.place;
    if (!SameHitPlace(place, context) || place.replaced) return false;
    // Only the stored hit, selected, over the bytes it was found in.
    const BinaryRange selection = context.Selection();
    if (static_cast<int32_t>(context.ByteIndexOf(selection.start)) != place.hitStart ||
        static_cast<int32_t>(context.ByteIndexOf(selection.end)) != place.hitEnd)
        return false;
    const RawString& found = args.lastHit.lineText;
    if (place.hitEnd > found.Length() || place.hitEnd > context.data->Length()) return false;
    for (int32_t i = place.hitStart; i < place.hitEnd; ++i)
        if (found.UnitAt(i) != context.data->ByteAt(i)) return false;
    bool asHex = false;
    RawString cells = BinaryTextToCells(context, args.operands[1], &asHex);
    if (!asHex) {
        // The replacement expression over the units of the hit's bytes.
        RawString units = UnitsOfCells(cells);
        if (!args.operands[1].IsEmpty() && units.IsEmpty()) return false;
        const RawString made = ExpressionReplaceText(units, args.lastHit);
        cells = CellString(made.Length());
        for (int32_t i = 0; i < made.Length(); ++i) {
            if (made.UnitAt(i) > 0xFF) return false;
            cells.AppendChar(made.UnitAt(i));
        }
    }
    const int32_t start = place.hitStart, end = place.hitEnd;
    const uint32_t serial = NextUndoTag();
    if (!selection.IsEmpty()) BinaryDeleteRange(context, serial, selection);
    const int32_t at = context.CursorPlace();
    if (!cells.IsEmpty()) {
        if (BinaryInsertMode(context.side))
            BinaryInsertAt(context, serial, BinaryRange{at, at}, cells);
        else
            BinaryOverwriteAt(context, serial, at, cells);
    }
    place.replaced = true;
    place.hitStart = place.hitEnd = place.end = static_cast<int32_t>(context.ByteIndexOf(context.CursorPlace()));
    // In insert mode the bytes are those before the hit, the cells' and
    // those after it: the kept text follows without reading the buffer.
    RawString& mirror = args.lastHit.lineText;
    const RawString units = UnitsOfCells(cells);
    if (BinaryInsertMode(context.side) && start + units.Length() == place.end) {
        mirror.ReplaceRange(RawRange{start, end}, units, units.All());
        if (mirror.Length() == context.data->Length()) place.revision = context.data->revision;
    }
    return true;
}

bool GotoAddress(BinaryEditContext& context, const RawString& operand) {
    if (!context.data) return false;
    static const RawString blanks = RawString::FromLiteral(" \t");
    const RawRange range = operand.TrimRange(operand.All(), blanks);
    std::string digits;
    for (int32_t i = range.start; i < range.end; ++i) {
        const uint32_t u = operand.UnitAt(i);
        if (u == 0 || u > 0x7F) return false;
        digits.push_back(static_cast<char>(u));
    }
    // A negative address is never inside the buffer.
    if (digits.empty() || digits[0] == '-') return false;
    if (digits.compare(0, 2, "0x") != 0) digits.insert(0, "0x");
    const RawString text = RawString::FromText(digits.c_str());
    RawLayer::RawNumberScan scan;
    // In 64 bits: an address past 4 GiB never wraps onto a small one.
    if (!RawLayer::ParseNumber(text, text.All(), scan) || scan.overflow) return false;
    if (scan.value >= static_cast<uint64_t>(context.data->Length())) return false;
    const uint32_t address = static_cast<uint32_t>(scan.value);
    BinarySelectBytes(context, address, address);
    return true;
}

bool TypeUnit(BinaryEditContext& context, const RawString& operand) {
    if (operand.IsEmpty()) return false;
    const RawString wide = operand.As(RawLayer::KindUtf16);
    const uint32_t unit = wide.UnitAt(0);
    if (context.side.activeColumn == 1) return BinaryTypeHexDigit(context, unit);
    if (context.side.activeColumn != 2 || unit < 32) return false;
    // A typed character takes the bytes the side's encoding writes it with,
    // those a paste of it enters (two for each unit of UTF-16, a "+" of
    // UTF-7 as "+-"), and one the encoding cannot hold changes nothing.
    RawString typed(RawLayer::KindUtf16);
    typed.AssignRange(wide, RawLayer::RawRange{0, std::min(wide.NextCharPos(0), wide.Length())});
    const RawString cells = BinaryTextToCells(context, typed);
    if (cells.IsEmpty()) return false;
    const uint32_t serial = NextUndoTag();
    const BinaryRange selection = context.Selection();
    if (!selection.IsEmpty()) BinaryDeleteRange(context, serial, selection);
    const int32_t at = context.CursorPlace();
    return BinaryInsertAt(context, serial, BinaryRange{at, at}, cells);
}

}  // namespace

// ---------------------------------------------------------------------------
// Rules and the command entry

bool BinaryActionEnabled(const JobGroupUnit& job, uint32_t side, uint32_t number) {
    if (side > 1 || job.kind.kind != KindBinary) return false;
    const JobSideRecord& s = side == 0 ? job.side1 : job.side2;
    const JobBinaryBaseData* data = dynamic_cast<const JobBinaryBaseData*>(s.kindData.get());
    // 6, 7, 8 and 23-25 are never enabled on a binary side.
    return EditCommandEnabled(job, side, number, data ? &data->undo : nullptr, false);
}

bool BinaryActionRun(BinaryEditContext& context, uint32_t number, ActionArgs& args) {
    JobSideRecord& side = context.side;
    // Only a hex digit typed in the hex column keeps a pending half-byte (a
    // space is refused while one is pending: it would blank the byte).
    uint32_t typed = 0;
    if (number == CommandInsertTypedText && !args.operands[0].IsEmpty())
        typed = args.operands[0].As(RawLayer::KindUtf16).UnitAt(0);
    const bool digit = number == CommandInsertTypedText && side.activeColumn == 1 &&
                       (HexDigitValue(typed) >= 0 || typed == ' ');
    if (!digit) BinaryPendingHalfByte(side) = 0;
    bool result;
    switch (number) {
    case CommandSelectAll: result = SelectAllBytes(context); break;
    case CommandSelectWholeLine: result = SelectWholeRow(context); break;
    case CommandSnapToLineEdge: result = SnapToRowEdge(context); break;
    case CommandSelectWord: result = SelectWord(context, false); break;
    case CommandSelectWordEx: result = SelectWord(context, true); break;
    case CommandBackspace: result = DeleteStep(context, true); break;
    case CommandDeleteCharOrSelections: result = DeleteStep(context, false); break;
    case CommandDeleteSelections: result = DeleteSelection(context); break;
    case CommandCopyToClipboard: result = CopyToClipboard(context); break;
    case CommandPasteFromClipboard: result = PasteFromClipboard(context); break;
    case CommandUndo: result = UndoRedo(context, true); break;
    case CommandRedo: result = UndoRedo(context, false); break;
    case CommandInsertText: result = BinaryPutCells(context, BinaryTextToCells(context, args.operands[0])); break;
    case CommandCopyLinesTo: result = CopyRowsFromOtherSide(context); break;
    case CommandDeleteLines: result = ClearRows(context); break;
    case CommandSearchForward: result = Search(context, args, true); break;
    case CommandSearchBackward: result = Search(context, args, false); break;
    case CommandReplaceText: result = ReplaceText(context, args); break;
    case CommandGotoLine: result = GotoAddress(context, args.operands[0]); break;
    case CommandInsertTypedText: result = TypeUnit(context, args.operands[0]); break;
    default: result = false; break;
    }
    side.preferredX = -1;
    return result;
}

bool BinaryEditFinish(BinaryEditContext& context, bool result) {
    JobGroupUnit& job = context.job;
    if (context.changed) {
        RecompareBinaryRows(job, context.sideIndex);
        context.editor.RefreshViews();
    }
    if (context.moved) CursorChanged(context.editor);
    if (context.reselect) SelectMarkedRows(context.editor, job, context.sideIndex);
    return result;
}

// ---------------------------------------------------------------------------
// The controller's slots

bool JobBinaryControl::CanExecute(JobViewEditor&, JobGroupUnit& job, uint32_t side, uint32_t command) {
    return BinaryActionEnabled(job, side, command);
}

bool JobBinaryControl::Execute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                               ActionArgs& args) {
    if (!BinaryActionEnabled(job, side, command)) {
        editor.Alert();
        return false;
    }
    BinaryEditContext context(editor, job, side);
    bool result = false;
    try {
        result = BinaryActionRun(context, command, args);
    } catch (const std::bad_alloc&) {
        // What was done before memory ran out stays, with its records.
        result = false;
    }
    return BinaryEditFinish(context, result);
}

}  // namespace JobLayer
