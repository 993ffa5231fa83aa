#include "tavrel/jobs/binary/binary_edit.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "base/clipboard.h"
#include "base/encoding.h"
#include "base/text_ops.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/expression.h"
#include "tavrel/jobs/side_edit.h"

namespace JobLayer {

namespace {

constexpr int32_t kRow = 16;

const char kHexUpper[] = "0123456789ABCDEF";

int32_t BitsBefore(uint16_t mask, int32_t position) {
    if (position <= 0) return 0;
    if (position >= kRow) return __builtin_popcount(mask);
    return __builtin_popcount(static_cast<uint32_t>(mask) & (0xFFFFu << (kRow - position)) & 0xFFFFu);
}

bool IsGap(uint32_t cell) { return cell > 0xFF; }

RawString CellString(int32_t reserve = 0) { return RawString::ReserveAs(RawLayer::KindUtf16, reserve); }

// The 16 mask bits of the positions [q, q + 16) of a side whose row masks
// are `masks`; positions past the rows count as gaps.
uint16_t MaskWindow(const std::vector<uint16_t>& masks, int32_t q) {
    if (q < 0) return 0;
    const size_t k = static_cast<size_t>(q / kRow);
    const int32_t o = q % kRow;
    const uint32_t hi = k < masks.size() ? masks[k] : 0;
    if (o == 0) return static_cast<uint16_t>(hi);
    const uint32_t lo = k + 1 < masks.size() ? masks[k + 1] : 0;
    return static_cast<uint16_t>((((hi << 16) | lo) >> (kRow - o)) & 0xFFFFu);
}

bool MaskBit(const std::vector<uint16_t>& masks, int32_t q) {
    if (q < 0) return false;
    const size_t k = static_cast<size_t>(q / kRow);
    return k < masks.size() && (masks[k] & JobBinaryUnit::PositionBit(q % kRow)) != 0;
}

// The result row that shows a unit of a side: its own index first (rows
// and units of a binary side keep one index), then a search from the end.
int32_t ResultRowOf(JobGroupUnit& job, uint32_t side, const JobContentUnit* unit, int32_t hint) {
    JobReportUnit* row = job.rows.At(hint);
    if (row && row->Unit(side) == unit) return hint;
    for (int32_t r = job.rows.Count() - 1; r >= 0; --r)
        if (job.rows.At(r)->Unit(side) == unit) return r;
    return -1;
}

// A new unit of the side takes its place in the result rows: the row after
// the one of the side's previous last unit when there is one (it holds a
// placeholder on this side), else `spare`, a one-sided row made beforehand,
// at the end. False when the spare was not used.
bool PlaceNewUnit(BinaryEditContext& context, JobBinaryUnit* unit, JobContentUnit* previous, int32_t index,
                  JobReportUnit* spare) {
    JobGroupUnit& job = context.job;
    const uint32_t side = context.sideIndex;
    const int32_t holder = previous ? ResultRowOf(job, side, previous, index - 1) : -1;
    JobReportUnit* next = job.rows.At(holder + 1);
    if (next && (holder >= 0 || !previous) && next->Unit(side)->IsPlaceholder()) {
        next->SetUnit(side, unit);
        next->kind = RowChanged;
        next->details.Clear();
        next->flags |= RowEdited;
        return false;
    }
    spare->SetUnit(side, unit);
    job.rows.Add(spare);
    return true;
}

// The last unit of the side leaves the result rows: its row shows the other
// side alone, or goes when that one is a placeholder too.
void RemoveLastUnit(BinaryEditContext& context) {
    JobGroupUnit& job = context.job;
    const uint32_t side = context.sideIndex;
    const int32_t index = context.content.Count() - 1;
    JobContentUnit* unit = context.content.At(index);
    const int32_t r = ResultRowOf(job, side, unit, index);
    if (r >= 0) {
        JobReportUnit* row = job.rows.At(r);
        row->SetUnit(side, &EmptyBinaryUnit());
        row->kind = side == 0 ? RowOnly2 : RowOnly1;
        row->details.Clear();
        row->flags &= ~static_cast<uint32_t>(RowEdited);
        if (row->Unit(1 - side)->IsPlaceholder()) job.rows.RemoveAtIndex(r);
    }
    context.content.RemoveAtIndex(index);
}

// A place within the rows: a row past the end goes to the last row, a
// column past its unit's end to that end.
void ClampPlace(const JobGroupUnit& job, uint32_t side, int32_t& row, int32_t& column) {
    const int32_t count = job.rows.Count();
    if (row < 0) return;
    if (row >= count) {
        row = count - 1;
        if (row < 0) {
            column = -1;
            return;
        }
        const JobContentUnit* unit = job.rows.At(row)->Unit(side);
        column = unit->IsPlaceholder() ? 0 : unit->EndColumn();
    }
}

// After rows went: both sides' anchors and carets and the current row are
// brought back inside the rows.
void KeepPlacesInside(JobGroupUnit& job) {
    for (uint32_t s = 0; s < 2; ++s) {
        JobSideRecord& side = job.Side(s);
        ClampPlace(job, s, side.anchorRow, side.anchorColumn);
        ClampPlace(job, s, side.cursorRow, side.cursorColumn);
    }
    if (job.currentRow >= job.rows.Count()) job.currentRow = job.rows.Count() - 1;
}

// Replaces the positions [start, start + removed) of the side by the cells
// and returns the cells that stood there. Every change of a side is one of
// these.
RawString Splice(BinaryEditContext& context, int32_t start, int32_t removed, const RawString& cells) {
    JobBinaryBaseData* data = context.data;
    JobContentList& content = context.content;
    if (!data || content.IsEmpty()) return CellString();
    const int32_t positions = context.Positions();
    start = std::min(std::max(start, 0), positions);
    removed = std::min(std::max(removed, 0), positions - start);
    const int32_t added = cells.Length();
    if (added > INT32_MAX / 2 - positions) throw std::bad_alloc();
    RawString old = BinaryCellsOfRange(context, BinaryRange{start, start + removed});

    // Everything the change needs is made first: running out of memory
    // leaves the side as it was, never its bytes changed and its rows not.
    const int32_t shift = added - removed;
    const int32_t total = positions + shift;
    const int32_t rowsNeeded = total / kRow + 1;
    std::vector<uint16_t> masks;
    if (shift != 0) {
        masks.reserve(static_cast<size_t>(content.Count()));
        for (const JobContentUnit& unit : content) masks.push_back(static_cast<const JobBinaryUnit&>(unit).mask);
    }
    std::vector<JobBinaryUnit*> fresh;
    std::vector<JobReportUnit*> spares;
    RawString& bytes = data->bytes;
    int32_t oldReal = 0, newReal = 0, at = 0;
    try {
        const int32_t more = rowsNeeded - content.Count();
        if (more > 0) {
            content.Reserve(rowsNeeded);
            context.job.rows.Reserve(context.job.rows.Count() + more);
            fresh.reserve(static_cast<size_t>(more));
            spares.reserve(static_cast<size_t>(more));
            JobContentUnit* empty = &EmptyBinaryUnit();
            for (int32_t i = 0; i < more; ++i) {
                fresh.push_back(new JobBinaryUnit(data, 0, 0));
                const bool first = context.sideIndex == 0;
                spares.push_back(NewCompareRow(first ? RowOnly1 : RowOnly2, empty, empty));
            }
        }
        // The buffer: the real bytes of the run go, those of the cells come.
        if (bytes.Kind() == RawLayer::KindUtf16) {
            RawString narrow = RawString::ReserveAs(RawLayer::KindAnsi, bytes.Length());
            for (int32_t i = 0; i < bytes.Length(); ++i) narrow.AppendChar(data->ByteAt(i));
            bytes = narrow;
        }
        for (int32_t i = 0; i < old.Length(); ++i) oldReal += IsGap(old.UnitAt(i)) ? 0 : 1;
        for (int32_t i = 0; i < added; ++i) newReal += IsGap(cells.UnitAt(i)) ? 0 : 1;
        at = static_cast<int32_t>(context.ByteIndexOf(start));
        if (newReal > oldReal)
            bytes.OpenGap(at + oldReal, newReal - oldReal);
        else if (newReal < oldReal)
            bytes.Erase(at + newReal, oldReal - newReal);
    } catch (const std::bad_alloc&) {
        for (JobBinaryUnit* unit : fresh) unit->Destroy();
        for (JobReportUnit* row : spares) delete row;
        throw;
    }

    if (newReal > 0) {
        char* out = bytes.WritableBytes() + at;
        for (int32_t i = 0; i < added; ++i)
            if (!IsGap(cells.UnitAt(i))) *out++ = static_cast<char>(cells.UnitAt(i));
    }

    // The rows: as many as the positions need, each full but the last.
    const int32_t firstRow = start / kRow;
    while (content.Count() > rowsNeeded && content.Count() > 1) RemoveLastUnit(context);
    size_t spareUsed = 0;
    for (JobBinaryUnit* unit : fresh) {
        JobContentUnit* previous = content.Last();
        content.Add(unit);
        if (PlaceNewUnit(context, unit, previous, content.Count() - 1, spares[spareUsed])) ++spareUsed;
    }
    for (size_t i = spareUsed; i < spares.size(); ++i) delete spares[i];
    KeepPlacesInside(context.job);

    // The masks from the run's row on, then the first indexes.
    const int32_t lastRow = shift != 0 ? rowsNeeded - 1 : std::min(rowsNeeded - 1, (start + added - 1) / kRow);
    for (int32_t r = firstRow; r <= lastRow; ++r) {
        JobBinaryUnit* unit = context.UnitAt(r);
        const int32_t rowStart = r * kRow;
        const int32_t extent = std::min(kRow, total - rowStart);
        uint16_t mask;
        if (shift != 0 && rowStart >= start + added) {
            mask = MaskWindow(masks, rowStart - shift);
        } else {
            mask = 0;
            for (int32_t p = 0; p < extent; ++p) {
                const int32_t q = rowStart + p;
                bool bit;
                if (q < start)
                    bit = shift != 0 ? MaskBit(masks, q) : unit->HasByteAt(p);
                else if (q < start + added)
                    bit = !IsGap(cells.UnitAt(q - start));
                else
                    bit = shift != 0 ? MaskBit(masks, q - shift) : unit->HasByteAt(p);
                if (bit) mask = static_cast<uint16_t>(mask | JobBinaryUnit::PositionBit(p));
            }
        }
        unit->extent = static_cast<uint8_t>(std::max(extent, 0));
        unit->mask = static_cast<uint16_t>(mask & JobBinaryUnit::MaskOfCount(unit->extent));
        unit->RecountBytes();
        unit->flags = static_cast<uint16_t>(unit->flags | BinaryTextsStale | BinaryBytesChanged);
    }
    const int32_t indexEnd = (shift != 0 || newReal != oldReal) ? content.Count() : lastRow + 1;
    for (int32_t r = std::max(firstRow, 1); r < indexEnd; ++r) {
        const JobBinaryUnit* before = context.UnitAt(r - 1);
        JobBinaryUnit* unit = context.UnitAt(r);
        unit->firstIndex = before->firstIndex + before->byteCount;
        unit->flags = static_cast<uint16_t>(unit->flags | BinaryTextsStale);
    }
    if (firstRow == 0) context.UnitAt(0)->firstIndex = 0;

    ++data->revision;
    content.flags = static_cast<uint16_t>(content.flags | ContentChanged);
    context.changed = true;
    return old;
}

JobUndoDataUnit RecordOf(uint32_t operation, int32_t start, int32_t end, const RawString& cells) {
    JobUndoDataUnit record;
    record.operation = operation;
    record.startRow = start / kRow;
    record.startColumn = start % kRow;
    record.endRow = end / kRow;
    record.endColumn = end % kRow;
    record.text = cells;
    return record;
}

void Push(BinaryEditContext& context, uint32_t serial, JobUndoDataUnit record) {
    if (!context.data) return;
    record.tag = serial;
    context.data->undo.Push(record);
}

RawString EmptyCells(int32_t count) {
    RawString cells = CellString(count);
    for (int32_t i = 0; i < count; ++i) cells.AppendChar(BinaryEmptyCell);
    return cells;
}

RawString OneCell(uint32_t cell) {
    RawString cells = CellString(1);
    cells.AppendChar(cell);
    return cells;
}

bool IsHexDigit(uint32_t unit) { return HexDigitValue(unit) >= 0; }

// Hex text as cells: groups of two hex digits (a byte) or two spaces (a
// gap), each followed by a separator that is no hex digit; blanks and line
// ends may close the text. Empty when the text breaks the pattern. A text
// `cut` short may end in the first unit of a group, which is left out.
RawString HexCells(const RawString& text, int32_t from, bool cut) {
    RawString cells = CellString();
    const int32_t length = text.Length();
    int32_t i = from;
    while (i < length) {
        if (i + 1 < length) {
            const uint32_t a = text.UnitAt(i), b = text.UnitAt(i + 1);
            if (IsHexDigit(a) && IsHexDigit(b)) {
                cells.AppendChar(static_cast<uint32_t>(HexDigitValue(a) * 16 + HexDigitValue(b)));
            } else if (a == ' ' && b == ' ') {
                cells.AppendChar(BinaryEmptyCell);
            } else {
                break;
            }
            if (i + 2 >= length) return cells;
            if (IsHexDigit(text.UnitAt(i + 2))) return CellString();
            i += 3;
            continue;
        }
        break;
    }
    if (i >= length) return cells;
    if (cut && i == length - 1 && !cells.IsEmpty() && (IsHexDigit(text.UnitAt(i)) || text.UnitAt(i) == ' '))
        return cells;
    // What is left may only be blanks and line ends.
    for (int32_t k = i; k < length; ++k) {
        const uint32_t u = text.UnitAt(k);
        if (u != ' ' && u != '\t' && u != '\r' && u != '\n') return CellString();
    }
    return cells.IsEmpty() ? CellString() : cells;
}

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
    const bool leaveGaps = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
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
    const RawString cells = BinaryTextToCells(context, operand, &asHex);
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
           place.line == static_cast<const void*>(context.data);
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
    const int32_t length = text.Length();
    const BinaryRange selection = context.Selection();
    const JobSearchPlace& place = args.place;
    bool found = false;
    if (forward) {
        int32_t from = static_cast<int32_t>(context.ByteIndexOf(context.CursorPlace()));
        while (from <= length && search.From(text, RawRange{from, length})) {
            // An empty hit where the last hit (or its replacement) ended was
            // found already: move on one byte.
            const bool again = search.hitStart == search.hitEnd && SameHitPlace(place, context) &&
                               place.end == search.hitStart;
            if (!again) {
                found = true;
                break;
            }
            if (search.hitStart >= length) break;
            from = search.hitStart + 1;
        }
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
    hit.line = context.data;
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
    const uint32_t unit = operand.As(RawLayer::KindUtf16).UnitAt(0);
    if (context.side.activeColumn == 1) return BinaryTypeHexDigit(context, unit);
    if (context.side.activeColumn != 2 || unit < 32) return false;
    const uint32_t serial = NextUndoTag();
    const BinaryRange selection = context.Selection();
    if (!selection.IsEmpty()) BinaryDeleteRange(context, serial, selection);
    const int32_t at = context.CursorPlace();
    return BinaryInsertAt(context, serial, BinaryRange{at, at}, OneCell(unit & 0xFF));
}

}  // namespace

// ---------------------------------------------------------------------------
// The context

BinaryEditContext::BinaryEditContext(JobViewEditor& editorRef, JobGroupUnit& jobRef, uint32_t sideNumber)
    : editor(editorRef),
      job(jobRef),
      sideIndex(sideNumber == 0 ? 0 : 1),
      side(jobRef.Side(sideIndex)),
      content(jobRef.Content(sideIndex)),
      data(BinaryDataOf(side)) {}

int32_t BinaryEditContext::Positions() const {
    const int32_t count = content.Count();
    if (count == 0) return 0;
    return (count - 1) * kRow + static_cast<const JobBinaryUnit*>(content.At(count - 1))->extent;
}

JobBinaryUnit* BinaryEditContext::UnitAt(int32_t index) const {
    if (index < 0 || index >= content.Count()) return nullptr;
    return static_cast<JobBinaryUnit*>(content.At(index));
}

int32_t BinaryEditContext::PlaceOf(int32_t row, int32_t position) const {
    if (row < 0) return 0;
    const int64_t place = static_cast<int64_t>(row) * kRow + std::min(std::max(position, 0), kRow);
    return static_cast<int32_t>(std::min<int64_t>(place, Positions()));
}

BinaryRange BinaryEditContext::Selection() const {
    const int32_t a = PlaceOf(side.anchorRow, side.anchorColumn);
    const int32_t c = PlaceOf(side.cursorRow, side.cursorColumn);
    return BinaryRange{std::min(a, c), std::max(a, c)};
}

uint32_t BinaryEditContext::ByteIndexOf(int32_t place) const {
    const int32_t positions = Positions();
    if (place >= positions || !data) return data ? static_cast<uint32_t>(data->Length()) : 0;
    if (place < 0) place = 0;
    const JobBinaryUnit* unit = UnitAt(place / kRow);
    return unit->firstIndex + static_cast<uint32_t>(BitsBefore(unit->mask, place % kRow));
}

int32_t BinaryEditContext::PlaceOfByte(uint32_t byteIndex) const {
    if (!data || byteIndex >= static_cast<uint32_t>(data->Length())) return Positions();
    const int32_t row = BinaryRowOfByte(job, sideIndex, byteIndex);
    const JobBinaryUnit* unit = UnitAt(row);
    if (!unit) return Positions();
    const int32_t p = unit->PositionOfByte(byteIndex);
    return p >= kRow ? Positions() : row * kRow + p;
}

uint32_t BinaryEditContext::CellAt(int32_t place) const {
    if (place < 0 || place >= Positions()) return BinaryEmptyCell;
    const JobBinaryUnit* unit = UnitAt(place / kRow);
    if (!unit->HasByteAt(place % kRow)) return BinaryEmptyCell;
    return data ? data->ByteAt(ByteIndexOf(place)) : 0;
}

void BinaryEditContext::Select(int32_t anchor, int32_t caret) {
    anchor = std::min(std::max(anchor, 0), Positions());
    caret = std::min(std::max(caret, 0), Positions());
    side.anchorRow = anchor / kRow;
    side.anchorColumn = anchor % kRow;
    side.cursorRow = caret / kRow;
    side.cursorColumn = caret % kRow;
    side.wordBeforeAnchor = 0;
    side.preferredX = -1;
    job.currentRow = side.cursorRow;
    moved = true;
}

// ---------------------------------------------------------------------------
// Primitives

JobUndoDataUnit BinaryInsertBytes(BinaryEditContext& context, int32_t start, const RawString& cells) {
    start = std::min(std::max(start, 0), context.Positions());
    Splice(context, start, 0, cells);
    return RecordOf(BinaryUndoDelete, start, start + cells.Length(), RawString());
}

JobUndoDataUnit BinaryDeleteBytes(BinaryEditContext& context, BinaryRange range) {
    const int32_t start = std::min(std::max(range.start, 0), context.Positions());
    const RawString old = Splice(context, start, range.end - start, CellString());
    return RecordOf(BinaryUndoInsert, start, start, old);
}

JobUndoDataUnit BinaryReplaceBytes(BinaryEditContext& context, BinaryRange range, const RawString& cells) {
    const int32_t start = std::min(std::max(range.start, 0), context.Positions());
    const RawString old = Splice(context, start, range.end - start, cells);
    return RecordOf(BinaryUndoReplace, start, start + cells.Length(), old);
}

bool BinaryOverwriteAt(BinaryEditContext& context, uint32_t serial, int32_t at, const RawString& cells) {
    if (cells.IsEmpty() || context.content.IsEmpty()) return false;
    at = std::max(at, 0);
    const int32_t end = at + cells.Length();
    const int32_t positions = context.Positions();
    if (end > positions) Push(context, serial, BinaryInsertBytes(context, positions, EmptyCells(end - positions)));
    Push(context, serial, BinaryReplaceBytes(context, BinaryRange{at, end}, cells));
    context.PlaceCursor(end);
    return true;
}

bool BinaryInsertAt(BinaryEditContext& context, uint32_t serial, BinaryRange range, const RawString& cells) {
    if (cells.IsEmpty() || context.content.IsEmpty()) return false;
    const int32_t start = std::min(std::max(range.start, 0), context.Positions());
    Push(context, serial, BinaryInsertBytes(context, start, cells));
    context.PlaceCursor(start + cells.Length());
    return true;
}

bool BinaryDeleteRange(BinaryEditContext& context, uint32_t serial, BinaryRange range) {
    range.start = std::min(std::max(range.start, 0), context.Positions());
    range.end = std::min(std::max(range.end, range.start), context.Positions());
    if (range.IsEmpty()) return false;
    if (BinaryInsertMode(context.side))
        Push(context, serial, BinaryDeleteBytes(context, range));
    else
        Push(context, serial, BinaryReplaceBytes(context, range, EmptyCells(range.end - range.start)));
    BinaryPendingHalfByte(context.side) = 0;
    context.PlaceCursor(range.start);
    return true;
}

RawString BinaryCellsOfRange(const BinaryEditContext& context, BinaryRange range) {
    const int32_t positions = context.Positions();
    const int32_t start = std::min(std::max(range.start, 0), positions);
    const int32_t end = std::min(std::max(range.end, start), positions);
    RawString cells = CellString(end - start);
    for (int32_t row = start / kRow; row * kRow < end; ++row) {
        const JobBinaryUnit* unit = context.UnitAt(row);
        if (!unit) break;
        const int32_t from = std::max(start - row * kRow, 0);
        const int32_t to = std::min(end - row * kRow, kRow);
        unit->AppendBytes(cells, from, to);
    }
    return cells;
}

int32_t HexDigitValue(uint32_t unit) {
    if (unit >= '0' && unit <= '9') return static_cast<int32_t>(unit - '0');
    if (unit >= 'A' && unit <= 'F') return static_cast<int32_t>(unit - 'A' + 10);
    if (unit >= 'a' && unit <= 'f') return static_cast<int32_t>(unit - 'a' + 10);
    return -1;
}

bool EncodedBytes(const RawString& text, uint32_t kind, RawString& bytes) {
    if (kind >= RawLayer::KindUtf16) kind = RawLayer::KindUtf16LE;
    return RawLayer::ConvertTextExactly(text, static_cast<uint8_t>(kind), bytes);
}

RawString BinaryTextToCells(const BinaryEditContext& context, const RawString& text, bool* asHex, bool cut) {
    if (asHex) *asHex = false;
    if (text.IsEmpty()) return CellString();
    if (context.side.activeColumn != 2) {
        // From the first unit (a leading gap is two spaces), else after the
        // leading blanks.
        RawString cells = HexCells(text, 0, cut);
        if (cells.IsEmpty()) {
            int32_t from = 0;
            while (from < text.Length() && (text.UnitAt(from) == ' ' || text.UnitAt(from) == '\t')) ++from;
            if (from > 0) cells = HexCells(text, from, cut);
        }
        if (!cells.IsEmpty()) {
            if (asHex) *asHex = true;
            return cells;
        }
    }
    RawString bytes;
    if (!EncodedBytes(text, BinaryEncodingKind(context.side), bytes)) return CellString();
    RawString cells = CellString(bytes.Length());
    for (int32_t i = 0; i < bytes.Length(); ++i) cells.AppendChar(bytes.UnitAt(i) & 0xFF);
    return cells;
}

bool BinaryPutCells(BinaryEditContext& context, const RawString& cells) {
    if (cells.IsEmpty()) return false;
    const uint32_t serial = NextUndoTag();
    const BinaryRange selection = context.Selection();
    if (!selection.IsEmpty()) BinaryDeleteRange(context, serial, selection);
    const int32_t at = context.CursorPlace();
    if (BinaryInsertMode(context.side)) return BinaryInsertAt(context, serial, BinaryRange{at, at}, cells);
    return BinaryOverwriteAt(context, serial, at, cells);
}

bool BinaryTypeHexDigit(BinaryEditContext& context, uint32_t unit) {
    const int32_t digit = HexDigitValue(unit);
    if (digit < 0 && unit != ' ') return false;
    JobSideRecord& side = context.side;
    uint32_t& pending = BinaryPendingHalfByte(side);
    // The first half stands on the caret, alone, and is the latest record
    // of the side; anything else means it is gone.
    const BinaryRange selection = context.Selection();
    JobUndoDataList* undo = context.data ? &context.data->undo : nullptr;
    const JobUndoDataUnit* last =
        undo && undo->position > 0 ? undo->At(static_cast<int32_t>(undo->position - 1)) : nullptr;
    if (pending && (!last || !selection.IsEmpty() ||
                    last->startRow * kRow + last->startColumn != selection.start))
        pending = 0;
    if (pending) {
        // The second half keeps the first half's serial: one undo restores
        // the byte as it was before the first.
        if (digit < 0) return false;
        const int32_t at = selection.start;
        const uint32_t old = context.CellAt(at);
        const uint32_t cell = ((IsGap(old) ? 0 : old) & 0xF0) + static_cast<uint32_t>(digit);
        BinaryOverwriteAt(context, last->tag, at, OneCell(cell));
        pending = 0;
        return true;
    }
    const uint32_t serial = NextUndoTag();
    if (!selection.IsEmpty()) BinaryDeleteRange(context, serial, selection);
    const int32_t at = context.CursorPlace();
    const bool insert = BinaryInsertMode(side) != 0;
    if (digit < 0) {
        // A space: an empty position.
        return insert ? BinaryInsertAt(context, serial, BinaryRange{at, at}, OneCell(BinaryEmptyCell))
                      : BinaryOverwriteAt(context, serial, at, OneCell(BinaryEmptyCell));
    }
    const uint32_t old = context.CellAt(at);
    const uint32_t high = static_cast<uint32_t>(digit) << 4;
    if (insert)
        BinaryInsertAt(context, serial, BinaryRange{at, at}, OneCell(high));
    else
        BinaryOverwriteAt(context, serial, at, OneCell((IsGap(old) ? 0 : (old & 0x0F)) + high));
    context.PlaceCursor(at);
    pending = 1;
    return true;
}

void BinarySelectBytes(BinaryEditContext& context, uint32_t first, uint32_t end) {
    const int32_t anchor = context.PlaceOfByte(first);
    const int32_t caret = end > first ? context.PlaceOfByte(end - 1) + 1 : anchor;
    context.Select(anchor, caret);
}

bool ApplyBinaryUndoRecord(BinaryEditContext& context, JobUndoDataUnit& record) {
    const int32_t start = record.startRow * kRow + record.startColumn;
    const int32_t end = record.endRow * kRow + record.endColumn;
    if (record.startRow < 0 || record.startColumn < 0 || start > context.Positions()) return false;
    JobUndoDataUnit reverse;
    switch (record.operation) {
    case BinaryUndoInsert:
        reverse = BinaryInsertBytes(context, start, record.text);
        context.PlaceCursor(start + record.text.Length());
        break;
    case BinaryUndoDelete:
        if (end < start || end > context.Positions()) return false;
        reverse = BinaryDeleteBytes(context, BinaryRange{start, end});
        context.PlaceCursor(start);
        break;
    case BinaryUndoReplace:
        if (start + record.text.Length() > context.Positions()) return false;
        reverse = BinaryReplaceBytes(context, BinaryRange{start, start + record.text.Length()}, record.text);
        context.PlaceCursor(start + record.text.Length());
        break;
    default:
        return false;
    }
    reverse.tag = record.tag;
    record = reverse;
    return true;
}

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
