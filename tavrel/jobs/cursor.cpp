#include "tavrel/jobs/cursor.h"

#include <algorithm>
#include <utility>

namespace JobLayer {

// ---------------------------------------------------------------------------
// JobCursor

JobCursor::JobCursor(JobGroupUnit& job_, uint32_t side_)
    : job(&job_),
      sideIndex(side_ == 0 ? 0 : 1),
      side(&job_.Side(side_ == 0 ? 0 : 1)),
      row(side->cursorRow),
      column(side->cursorColumn),
      preferredX(side->preferredX) {}

void JobCursor::StoreToSide() const {
    side->cursorRow = row;
    side->cursorColumn = column;
    side->preferredX = preferredX;
}

bool JobCursor::Usable(bool needColumn) const {
    uint32_t kind = job->kind.kind;
    if (kind != KindText && kind != KindBinary) return false;
    if (row < 0) return false;
    return !needColumn || column != -1;
}

JobContentUnit* JobCursor::UnitOfRow(int32_t index) const {
    if (index < 0) return nullptr;
    JobReportUnit* report = job->rows.At(index);
    return report ? report->Unit(sideIndex) : nullptr;
}

bool JobCursor::CanHold(int32_t index) const {
    JobReportUnit* report = index >= 0 ? job->rows.At(index) : nullptr;
    if (!report || (report->flags & RowSkipped)) return false;
    JobContentUnit* unit = report->Unit(sideIndex);
    return unit && !unit->IsPlaceholder();
}

int32_t JobCursor::SkipToRealRow(int32_t from, int32_t step) const {
    const int32_t count = job->rows.Count();
    if (from < 0 || from >= count || (step != 1 && step != -1)) return -1;
    for (int32_t r = from; r >= 0 && r < count; r += step)
        if (CanHold(r)) return r;
    return -1;
}

bool JobCursor::PlaceOnRow(int32_t target) {
    JobContentUnit* unit = UnitOfRow(target);
    if (!unit) return false;
    row = target;
    if (side->preferredX != -1) column = unit->FitCharIndex(unit->CharIndexAtOffset(side->preferredX));
    preferredX = side->preferredX;
    return true;
}

bool JobCursor::MoveLeft() {
    if (!Usable(true)) return false;
    JobContentUnit* unit = UnitOfRow(row);
    if (column > 0 && unit) {
        column = unit->FitCharIndex(column - 1);
        preferredX = -1;
        return true;
    }
    const int32_t count = job->rows.Count();
    int32_t target = SkipToRealRow(std::min(row, count) - 1, -1);
    if (target < 0) return false;
    JobCursor moved = *this;
    if (!moved.PlaceOnRow(target)) return false;
    JobContentUnit* next = moved.UnitOfRow(target);
    moved.column = next->LastColumn();
    moved.preferredX = -1;
    *this = moved;
    return true;
}

bool JobCursor::MoveRight() {
    if (!Usable(true)) return false;
    const int32_t count = job->rows.Count();
    JobContentUnit* unit = UnitOfRow(row);
    if (unit && column < unit->LastColumn()) {
        column = unit->NextColumn(column);
        preferredX = -1;
        return true;
    }
    int32_t start = row < count ? row + 1 : 0;
    int32_t target = start < count ? SkipToRealRow(start, 1) : -1;
    if (target < 0) return false;
    JobCursor moved = *this;
    if (!moved.PlaceOnRow(target) || !moved.MoveToLineHead()) return false;
    *this = moved;
    return true;
}

bool JobCursor::MoveToLineHead() {
    if (!Usable(false)) return false;
    JobContentUnit* unit = UnitOfRow(row);
    if (!unit) return false;
    column = unit->FitCharIndex(0);
    preferredX = -1;
    return true;
}

bool JobCursor::MoveToLineFoot() {
    if (!Usable(false)) return false;
    JobContentUnit* unit = UnitOfRow(row);
    if (!unit) return false;
    column = unit->LastColumn();
    preferredX = -1;
    return true;
}

// ---------------------------------------------------------------------------
// Selection painting

JobColumnSpan SelectionColumnsOnRow(const JobSideRecord& side, int32_t row, int32_t lineStart,
                                    int32_t lineEnd) {
    int32_t startRow = side.anchorRow, startColumn = side.anchorColumn;
    int32_t endRow = side.cursorRow, endColumn = side.cursorColumn;
    if (startRow > endRow || (startRow == endRow && startColumn > endColumn)) {
        std::swap(startRow, endRow);
        std::swap(startColumn, endColumn);
    }
    if (row < startRow || row > endRow) return JobColumnSpan{0, 0};
    JobColumnSpan span;
    span.from = row == startRow && startColumn != -1 ? startColumn : lineStart;
    span.to = row == endRow ? (endColumn != -1 ? endColumn : lineStart) : lineEnd;
    return span;
}

bool AlphaRect(HDC dc, const RECT& rect, COLORREF color, int32_t opacity) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width < 1 || height < 1) return true;
    if (!dc) return false;
    opacity = std::min(std::max(opacity, 0), 255);
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return false;
    bool done = false;
    HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        RECT fill = {0, 0, width, height};
        HBRUSH brush = CreateSolidBrush(color);
        if (brush) {
            FillRect(memory, &fill, brush);
            DeleteObject(brush);
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(opacity), 0};
            done = AlphaBlend(dc, rect.left, rect.top, width, height, memory, 0, 0, width, height,
                              blend) != FALSE;
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    return done;
}

// ---------------------------------------------------------------------------
// Undo records

void JobUndoDataList::Push(const JobUndoDataUnit& unit) { Push(JobUndoDataUnit(unit)); }

void JobUndoDataList::Push(JobUndoDataUnit&& unit) {
    // A position past the records (never made by the edit commands) counts
    // as "all done", so the list and its position always agree afterwards.
    while (Count() > 0 && static_cast<uint32_t>(Count()) > position) RemoveLink(LastLink());
    AddNew(std::move(unit));
    position = static_cast<uint32_t>(Count());
}

}  // namespace JobLayer
