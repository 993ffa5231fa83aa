// The edit commands of a binary side (BinaryActionRun) and the primitives
// beneath them. Every change of a side is one splice of its positions: the
// positions of the side's rows, taken as one sequence (position p of unit
// row r is 16 r + p), lose a run and gain the cells given in its place. The
// buffer follows (the real bytes of the run go, those of the cells come), the
// masks of the rows from the run on are rebuilt, every row's first index is
// brought back to the sum of the byte counts before it, and the side keeps
// its shape: every row but the last holds 16 positions, the last fewer (an
// empty end row when the count is a multiple of 16). So a row of a side is
// always shown in the result row of its own index.
#pragma once

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/jobs/action_args.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/side_edit.h"

namespace JobLayer {

// Operation codes of the binary kind's undo records: what applying one does.
enum : uint32_t {
    BinaryUndoInsert = 1,  // insert the record's cells at its start
    BinaryUndoDelete = 2,  // delete the record's range
    BinaryUndoReplace = 3  // write the record's cells over its start on
};

// A run [start, end) of positions of a side (see above).
struct BinaryRange {
    int32_t start;
    int32_t end;
    bool IsEmpty() const { return end <= start; }
};

// The state of one edit command on one binary side.
class BinaryEditContext {
public:
    BinaryEditContext(JobViewEditor& editor, JobGroupUnit& job, uint32_t side);

    JobViewEditor& editor;
    JobGroupUnit& job;
    uint32_t sideIndex;
    JobSideRecord& side;
    JobContentList& content;
    JobBinaryBaseData* data;  // null when the side was never loaded

    bool moved = false;     // the cursor or the selection changed
    bool changed = false;   // the content changed
    bool reselect = false;  // select the marked rows afterwards

    // The positions of the side; 0 without rows.
    int32_t Positions() const;
    JobBinaryUnit* UnitAt(int32_t index) const;
    // A display place (row, position) as a position of the side, clamped
    // to 0 .. Positions().
    int32_t PlaceOf(int32_t row, int32_t position) const;
    int32_t CursorPlace() const { return PlaceOf(side.cursorRow, side.cursorColumn); }
    // The ordered selection as positions.
    BinaryRange Selection() const;
    // The buffer index of the byte at a position or, for a gap, of the next
    // byte; the buffer length at the end.
    uint32_t ByteIndexOf(int32_t place) const;
    // The position of a buffer index; Positions() for an index at or past
    // the end.
    int32_t PlaceOfByte(uint32_t byteIndex) const;
    // The cell at a position: its byte, or 256 for a gap or the end.
    uint32_t CellAt(int32_t place) const;
    // Anchor and caret on positions; the caret's row becomes the current
    // row, the remembered x -1.
    void Select(int32_t anchor, int32_t caret);
    void PlaceCursor(int32_t place) { Select(place, place); }
};

// The enable rule of a command on a binary side. Every command that changes
// the side needs it to be editable (SideMayBeEdited).
bool BinaryActionEnabled(const JobGroupUnit& job, uint32_t side, uint32_t number);
// Runs a command (the caller checked the rule); true when it acted.
bool BinaryActionRun(BinaryEditContext& context, uint32_t number, ActionArgs& args);
// The finishing steps: the re-compare after a change, the cursor updates,
// the reselection of the marked rows; returns `result`.
bool BinaryEditFinish(BinaryEditContext& context, bool result);

// ---- cells ------------------------------------------------------------------------
// A cell is a byte (0-255) or BinaryEmptyCell for an empty position; a
// string of cells is one of 16-bit units.

inline bool IsGap(uint32_t cell) { return cell > 0xFF; }
inline RawString CellString(int32_t reserve = 0) { return RawString::ReserveAs(RawLayer::KindUtf16, reserve); }
// `count` empty positions.
RawString EmptyCells(int32_t count);
RawString OneCell(uint32_t cell);

// ---- primitives -----------------------------------------------------------------
// Each changes the side, marks it changed and returns the record that undoes
// it (tag 0; the callers set it). The cursor is left to the callers.
JobUndoDataUnit BinaryInsertBytes(BinaryEditContext& context, int32_t start, const RawString& cells);
JobUndoDataUnit BinaryDeleteBytes(BinaryEditContext& context, BinaryRange range);
JobUndoDataUnit BinaryReplaceBytes(BinaryEditContext& context, BinaryRange range, const RawString& cells);

// Writes the cells over the positions from `at` on (the side grows by empty
// positions first when they reach past its end); the cursor goes after them.
bool BinaryOverwriteAt(BinaryEditContext& context, uint32_t serial, int32_t at, const RawString& cells);
// Inserts the cells at the range's start; the cursor goes after them.
bool BinaryInsertAt(BinaryEditContext& context, uint32_t serial, BinaryRange range, const RawString& cells);
// Deletes the range's positions (insert mode) or leaves gaps in their place
// (overwrite mode); the cursor goes to the range's start.
bool BinaryDeleteRange(BinaryEditContext& context, uint32_t serial, BinaryRange range);

// The cells of a range (kind 7): a byte or 256 for each position.
RawString BinaryCellsOfRange(const BinaryEditContext& context, BinaryRange range);
// Text as cells: in the hex column first read as hex ("41 42", two spaces
// for a gap); otherwise, and always in the character column, converted
// exactly to the side's encoding kind, one cell per byte (UTF-16 kinds two
// bytes per unit in their order). Empty when the text gives none. `asHex`
// tells which reading gave them. A text `cut` short may end inside a hex
// group: it is read up to the last whole group. A text to be put in
// (`tell`) that the encoding kind cannot hold is reported as such.
RawString BinaryTextToCells(const BinaryEditContext& context, const RawString& text, bool* asHex = nullptr,
                            bool cut = false, bool tell = true);
// Replaces the selection by the cells (insert or overwrite by the mode).
bool BinaryPutCells(BinaryEditContext& context, const RawString& cells);
// A unit typed in the hex column: a hex digit fills half a byte, a space an
// empty position; other units are ignored (false).
bool BinaryTypeHexDigit(BinaryEditContext& context, uint32_t unit);
// Selects the bytes [first, end) of the buffer.
void BinarySelectBytes(BinaryEditContext& context, uint32_t first, uint32_t end);
// Applies an undo record and turns it into its inverse.
bool ApplyBinaryUndoRecord(BinaryEditContext& context, JobUndoDataUnit& record);

// The bytes of a text in an encoding kind (kind 7 and unknown kinds as
// UTF-16 little-endian); false when the kind cannot hold the text.
bool EncodedBytes(const RawString& text, uint32_t kind, RawString& bytes);
// The hex digit value of a unit, -1 for any other.
int32_t HexDigitValue(uint32_t unit);

}  // namespace JobLayer
