// The binary kind: a side is one byte buffer shown as rows of 16 byte
// positions (address, hex and character columns). This file holds the side
// data, the row unit with its 16-bit presence mask, loading a side with its
// size limit, comparing the two sides row by row, re-comparing rows after an
// edit, and the kind's controller. Everything runs on the GUI thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/raw_string.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/job_content.h"
#include "tavrel/jobs/job_detail.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"

namespace JobLayer {

using RawLayer::RawString;

// Unit flags of a binary row (beside the common ones).
enum : uint16_t {
    BinaryTextsStale = 0x100,   // the column texts must be rebuilt
    BinaryBytesChanged = 0x200  // the row's bytes changed since the last compare
};

enum : uint32_t {
    BinaryRowPositions = 16,  // positions of a row
    BinaryEmptyCell = 256     // a cell standing for an empty position
};

// The kind data of a binary side: the loaded bytes, the character cell
// width of the view and the side's undo list.
class JobBinaryBaseData : public JobColumnControl::KindData, public JobDetailColumn::Viewer {
public:
    JobBinaryBaseData();
    ~JobBinaryBaseData() override {}
    JobBinaryBaseData(const JobBinaryBaseData&) = delete;
    JobBinaryBaseData& operator=(const JobBinaryBaseData&) = delete;

    // The byte at an index; 0 outside the buffer. A buffer of 16-bit units
    // gives the low 8 bits of a unit.
    uint32_t ByteAt(int64_t index) const;
    int32_t Length() const { return bytes.Length(); }

    // Stores the width of one character cell (all text of the binary view
    // is measured in a fixed-pitch cell).
    void UpdateMetrics(HDC dc, int32_t rowHeight, int32_t width) override;
    // The x offset of character n: n cells.
    int32_t PositionX(int32_t index) const override { return index * cellWidth; }

    RawString bytes;        // the whole loaded content, one unit per byte
    int32_t cellWidth = 0;  // in pixels
    uint32_t revision = 0;  // +1 at every change of the bytes
    JobUndoDataList undo;   // the side's undo records
};

// One row of a binary side.
class JobBinaryUnit : public JobContentUnit {
public:
    // A fresh row of `count` (0-16) bytes from `first` on: extent = count,
    // mask 0xFFFF << (16 - count), texts stale.
    JobBinaryUnit(JobBinaryBaseData* data, uint32_t first, uint32_t count);
    ~JobBinaryUnit() override {}

    // The mask of a fresh row of n bytes (0 for n = 0).
    static uint16_t MaskOfCount(uint32_t n);
    // The mask bit of position p (0-15); 0 outside.
    static uint16_t PositionBit(int32_t p) {
        return (p >= 0 && p < 16) ? static_cast<uint16_t>(0x8000u >> p) : 0;
    }
    bool HasByteAt(int32_t p) const { return (mask & PositionBit(p)) != 0; }

    // The position 0-15 of a byte index of the buffer in this row; 16 when
    // the row does not hold it.
    int32_t PositionOfByte(uint32_t byteIndex) const;
    // Appends one cell per position of [from, to) (clamped to 0-16): the
    // byte for a set bit, 256 for a gap. `cells` becomes a string of 16-bit
    // units (kind 7) when it is not one yet.
    void AppendBytes(RawString& cells, int32_t from, int32_t to) const;
    // Recounts the byte count from the mask.
    void RecountBytes();
    // Clears the stale flag: the column texts are made from the bytes each
    // time they are asked for (only the rows on screen ever are), so a row
    // keeps none that could go stale.
    void RefreshColumnTexts();

    // 5: column 0 address, 1 hex, 2 characters, made from the row's bytes.
    RawString ColumnText(int32_t column) const override;
    // 6: the hex text followed directly by the character text.
    RawString Text() const override;
    // 12: p below the extent, else extent - 1.
    int32_t FitCharIndex(int32_t index) const override;
    // 20-22.
    int32_t LastColumn() const override { return static_cast<int32_t>(extent) - 1; }
    int32_t EndColumn() const override { return extent; }
    int32_t NextColumn(int32_t index) const override { return index + 1; }
    void Destroy() override { delete this; }

    // On screen (binary_draw.cpp). The three columns: address, hex (three
    // characters a position, the last space dropped) and characters, all in
    // one fixed cell width cw of the side's data.
    // 7: each column takes its measured width.
    void LayoutColumns(JobSideRecord& side, const RECT& area, bool hideFirstColumn) override;
    // 8, 10: raise the side's measured widths by the column texts.
    void MeasureColumns(JobSideRecord& side, HDC dc, int32_t margin) override;
    void MeasureFirstColumn(JobSideRecord& side, HDC dc, int32_t margin) override;
    // 11: the address, then per column the mismatch segments, the
    // selection (on the focus side) and the text, each clipped to its column.
    void Draw(const JobDrawContext& context) override;
    // 13: 0 address, 1 hex, 2 characters.
    uint32_t ColumnAtX(const JobDrawContext& context, int32_t x) const override;
    // 14: the position under x in the side's active column, 0 .. min(16,
    // extent); -1 for another active column.
    int32_t CharIndexAtX(const JobDrawContext& context, int32_t x) const override;
    // 15: the caret before a position in the active column.
    RECT CaretRect(const JobDrawContext& context, int32_t index) const override;
    // 16: the text area of the hex and character columns.
    RECT TextAreaRect(const JobDrawContext& context) const override;
    // 23: switches the side's active column between hex and characters.
    bool ToggleColumn(JobSideRecord& side) override;
    // 26: a binary row keeps no detail: the segments of the hex (1) and
    // character (2) columns against a row of the other side follow from
    // the bytes of the two (BinaryRowDetail).
    bool RowDetail(const JobContentUnit& other, int32_t column, JobDetailList& out) const override;

    JobBinaryBaseData* data;  // the side's data (not owned)
    uint32_t firstIndex;      // buffer index of the row's first present byte
    uint8_t byteCount;        // set bits of the mask
    uint8_t extent;           // positions that belong to the row, 0-16
    uint16_t mask;            // bit 0x8000 >> p: position p holds a byte

protected:
    // A shared row (flags given, no bytes).
    JobBinaryUnit(uint16_t unitFlags, JobBinaryBaseData* sharedData);
};

// The empty row (flag word 1) that partners a row without a counterpart.
JobBinaryUnit& EmptyBinaryUnit();
// The header row (flag word 2) whose column texts are the binary titles.
JobBinaryUnit& BinaryHeaderUnit();

// The side's binary data; null when the side has none (yet).
JobBinaryBaseData* BinaryDataOf(JobSideRecord& side);

// The binary kind's fields of the side record.
inline uint32_t& BinaryPendingHalfByte(JobSideRecord& side) { return side.pendingHalfByte; }
inline uint8_t& BinaryInsertMode(JobSideRecord& side) { return side.insertMode; }
inline uint32_t& BinaryEncodingKind(JobSideRecord& side) { return side.encodingKind; }
inline int32_t& BinaryVisibleTextWidth(JobSideRecord& side) { return side.visibleTextWidth; }
inline int32_t& BinaryTextWidth(JobSideRecord& side) { return side.textColumnsWidth; }

// Loads a side: empties its data and rows, reads the file (at most
// "MaxBinaryLoading" bytes) and makes the rows. False on every failure
// (reported by key) and for a file cut at the limit.
bool LoadBinarySide(JobSideRecord& side, JobContentList& content);

// Whether two rows hold the same bytes at the same positions.
bool BinaryRowsSame(const JobBinaryUnit& a, const JobBinaryUnit& b);
// The row kind of a pair (0 same, 3 changed); for kind 3 detail list 1 gets
// the hex segments and list 2 the character segments (list 0 stays empty).
// The lists are appended to.
uint32_t BinaryRowDetail(const JobBinaryUnit& a, const JobBinaryUnit& b, JobDetailList (&details)[3]);
// Appends the segments of one column of a pair of rows: w characters per
// position and g per gap between two positions.
void CompareBinaryRows(JobDetailList& segments, const JobBinaryUnit& a, const JobBinaryUnit& b,
                       int32_t w, int32_t g);
// Rebuilds the job's result rows from the two sides; true when every row is
// the same. The rows keep no detail lists: a changed row's are computed from
// its two units when read (JobBinaryUnit::RowDetail).
bool BinaryCompare(JobGroupUnit& job);
// After an edit of a side: clears the stale flags of its rows, recomputes
// the kinds of the result rows that changed (their detail follows from the
// bytes when it is read) and re-evaluates the job's flags.
void RecompareBinaryRows(JobGroupUnit& job, uint32_t side);
// The index in the side's unit list of the row holding a byte index; the
// last row when the index lies beyond; -1 when the side has no rows.
int32_t BinaryRowOfByte(const JobGroupUnit& job, uint32_t side, uint32_t byteIndex);

// Writes a side's whole buffer to a path (created or truncated); false when
// the file could not be written whole.
bool SaveBinarySide(JobSideRecord& side, const RawString& path);

// The controller of the binary kind.
class JobBinaryControl : public JobKindControl {
public:
    static JobBinaryControl& Shared();

    // Loads the sides of the mode (0 side 1, 1 side 2, 3 both) and compares.
    uint32_t Load(JobGroupUnit& job, uint32_t mode) override;
    // Saving and discarding go through the backup store: a save keeps the
    // old file in a dated backup folder and puts the buffer in place of the
    // file through a temporary file; a discard writes the edited buffer into
    // the backup. A side cut at "MaxBinaryLoading" or not read whole is never
    // saved ("SaveError"). True when every changed side of the mode was done.
    bool SaveFile(JobGroupUnit& job, uint32_t mode) override;
    bool DiscardFile(JobGroupUnit& job, uint32_t mode) override;
    // Compares the loaded sides again and sets the job's Same bit.
    uint32_t Compare(JobGroupUnit& job) override;
    // 10: the encoding menu, opened by a click on the side's encoding text.
    bool SideMenu(JobGroupUnit& job, uint32_t side, HWND box, POINT point) override;
    // 11: runs an edit command when it is enabled (BinaryActionRun); beeps
    // through the editor and gives false otherwise.
    bool Execute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command,
                 ActionArgs& args) override;
    // 12: the enable rule of an edit command on a binary side.
    bool CanExecute(JobViewEditor& editor, JobGroupUnit& job, uint32_t side, uint32_t command) override;
};

}  // namespace JobLayer
