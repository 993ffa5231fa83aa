// The cursor that the text and binary kinds share: it moves over the result
// rows and, within a row, over the characters (or bytes) of one side's unit.
// Beside it the two small painting helpers of selections and the per-side
// undo list with its record and push rule.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "base/raw_list.h"
#include "base/raw_string.h"
#include "tavrel/jobs/job_group.h"

namespace JobLayer {

using RawLayer::RawString;

// A working cursor, made on the stack by its users from a side's cursor.
struct JobCursor {
    // The side's cursor row and column and its preferred x.
    JobCursor(JobGroupUnit& job, uint32_t side);

    // One character back or on, across row ends. False (and nothing moved)
    // when there is no position to go to.
    bool MoveLeft();
    bool MoveRight();
    // To the first or last position of the row's unit.
    bool MoveToLineHead();
    bool MoveToLineFoot();
    // The row itself or the first row after (step +1) or before (step -1) it
    // that can hold the cursor; -1 when none or when the row is outside the
    // row list.
    int32_t SkipToRealRow(int32_t row, int32_t step) const;
    // Puts the cursor on a row, at the side's preferred x when it has one.
    bool PlaceOnRow(int32_t row);

    // Whether a row can hold the cursor: row flag 1 clear and a real unit on
    // the cursor's side.
    bool CanHold(int32_t row) const;
    // The cursor's side's unit of a row; null outside the row list.
    JobContentUnit* UnitOfRow(int32_t row) const;
    // Writes row, column and preferred x back into the side record.
    void StoreToSide() const;

    JobGroupUnit* job;
    uint32_t sideIndex;
    JobSideRecord* side;
    int32_t row;
    int32_t column;
    int32_t preferredX;

private:
    // The kind is text or binary, the row is set and, where used, the column.
    bool Usable(bool needColumn) const;
};

// The selected columns of a row of one side, from the side's anchor and
// cursor: (0, 0) outside the selection; else from the start column on the
// start row (the line start on later rows) to the end column on the end row
// (the line end on earlier rows). A column of -1 counts as the line start.
struct JobColumnSpan {
    int32_t from;
    int32_t to;
};
JobColumnSpan SelectionColumnsOnRow(const JobSideRecord& side, int32_t row, int32_t lineStart,
                                    int32_t lineEnd);

// Paints a translucent rectangle: a solid fill of the colour blended onto the
// device context with a constant opacity (0 transparent .. 255 opaque).
// Nothing for a rectangle less than one pixel wide or high; false when the
// blend could not be done.
bool AlphaRect(HDC dc, const RECT& rect, COLORREF color, int32_t opacity);

// The widths the lines of a text had measured, and the line ends they had
// in their file where the side keeps them (the text kind's record).
struct JobLineWidths;

// One undo record: what an edit replaced, and where. A command over every
// line of a side leaves one per line, so records come from the small-block
// pool rather than the system heap.
struct JobUndoDataUnit : RawLayer::SmallBlockObject {
    JobUndoDataUnit() = default;
    JobUndoDataUnit(const JobUndoDataUnit&) = default;
    JobUndoDataUnit& operator=(const JobUndoDataUnit&) = default;
    JobUndoDataUnit(JobUndoDataUnit&&) = default;
    JobUndoDataUnit& operator=(JobUndoDataUnit&&) = default;

    uint32_t tag = 0;          // groups the records of one command
    uint32_t operation = 0;    // the edit's code
    int32_t startRow = -1;     // the range of the change in line and
    int32_t startColumn = -1;  // character positions of the side
    int32_t endRow = -1;
    int32_t endColumn = -1;
    RawString text;            // the text the change replaced
    // What the lines of the text (or the whole line) measured when they
    // went, for bringing them back without measuring them again, and the
    // line ends they had in their file where the side keeps them; null when
    // neither is known.
    std::shared_ptr<const JobLineWidths> widths;
};

class JobUndoDataListAllocator : public RawLayer::RawListDeleteAllocator<JobUndoDataUnit> {};

// The undo list of one side: records before the position are done, the ones
// from the position on can be redone.
class JobUndoDataList : public RawLayer::RawListR<JobUndoDataListAllocator, JobUndoDataUnit> {
public:
    // Drops the records that could have been redone, appends a copy of the
    // record (its text shared) and makes it the last done one.
    void Push(const JobUndoDataUnit& unit);
    // The same, the record moved in.
    void Push(JobUndoDataUnit&& unit);
    // Empties the list (a load does this).
    void Reset() {
        Clear();
        position = 0;
    }

    uint32_t position = 0;
    JobUndoDataUnit record;  // a record kept for the list's users
};

}  // namespace JobLayer
