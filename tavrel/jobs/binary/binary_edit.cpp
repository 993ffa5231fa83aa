// The binary kind's edit primitives: the splice of a side's positions with
// its undo records, cells read from text, and the edit context.
#include "tavrel/jobs/binary/binary_edit.h"

#include <algorithm>
#include <vector>

#include "base/encoding.h"
#include "base/text_ops.h"
#include "tavrel/jobs/side_edit.h"

namespace JobLayer {

namespace {

constexpr int32_t kRow = BinaryRowPositions;

int32_t BitsBefore(uint16_t mask, int32_t position) {
    if (position <= 0) return 0;
    if (position >= kRow) return __builtin_popcount(mask);
    return __builtin_popcount(static_cast<uint32_t>(mask) & (0xFFFFu << (kRow - position)) & 0xFFFFu);
}

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

}  // namespace

// ---------------------------------------------------------------------------
// Cells

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

RawString BinaryTextToCells(const BinaryEditContext& context, const RawString& text, bool* asHex, bool cut,
                            bool tell) {
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
    if (!EncodedBytes(text, BinaryEncodingKind(context.side), bytes)) {
        if (tell) ReportUnheldText(context.job, context.sideIndex);
        return CellString();
    }
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

}  // namespace JobLayer
