// The folder box's view operations: cursor and caret moves, horizontal
// scrolling, clicks that place the cursor, and the line drag.
#include <algorithm>

#include "base/raw_string.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/folder_box.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace AppLayer {

using JobLayer::JobContentUnit;
using JobLayer::JobCursor;
using JobLayer::JobSideRecord;

namespace {

uint64_t DoubleClickSpan() {
    // Read once: FILETIME units of 100 ns.
    static const uint64_t span = static_cast<uint64_t>(GetDoubleClickTime()) * 10000u;
    return span;
}

bool IsTextOrBinary(const JobGroupUnit& job) {
    return job.kind.kind == JobLayer::KindText || job.kind.kind == JobLayer::KindBinary;
}

}  // namespace

JobContentUnit* RealUnit(const JobReportUnit* row, uint32_t side) {
    JobContentUnit* unit = row && side < 2 ? row->Unit(side) : nullptr;
    return JobLayer::IsRealUnit(unit) ? unit : nullptr;
}

JobContentUnit* RealUnit(const JobGroupUnit& job, int32_t row, uint32_t side) {
    return RealUnit(job.rows.At(row), side);
}

uint64_t CurrentFileTime() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    FILETIME file{};
    if (!SystemTimeToFileTime(&now, &file)) return 0;
    return (static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// ---- horizontal scrolling ---------------------------------------------------------------------

int32_t ClampSideOffset(int64_t wanted, int64_t most) {
    return static_cast<int32_t>(most < 0 ? most : std::clamp<int64_t>(wanted, 0, most));
}

void GuiFolderBox::SetSideOffset(uint32_t side, int32_t offset) {
    if (side > 1) return;
    view_.job->Side(side).scrollX = offset;
    SyncTwinBarRange(side);
    InvalidateViews();
}

// A folder job's side scrolls by one view width left or right, or to an end.
namespace {
enum ScrollStep { StepLeft, StepRight, StepHead, StepFoot };
}  // namespace

static bool ScrollFolderSide(GuiFolderBox& box, uint32_t side, ScrollStep step) {
    if (side > 1) return false;
    const int32_t max = box.ScrollMax(side);
    const int32_t offset = box.Job()->Side(side).scrollX;
    const int32_t width = box.View().viewWidth;
    int32_t next = 0;
    switch (step) {
    case StepHead: next = std::min(0, max); break;
    case StepFoot: next = std::max(0, max); break;
    default: next = ClampSideOffset(static_cast<int64_t>(offset) + (step == StepLeft ? -width : width), max); break;
    }
    box.SetSideOffset(side, next);
    return false;
}

// ---- cursor moves ---------------------------------------------------------------------------------

bool GuiFolderBox::MoveCursorLeftOp(uint32_t side, bool extend) {
    if (view_.job->kind.kind == JobLayer::KindPath) return ScrollFolderSide(*this, side, StepLeft);
    if (side > 1) return false;
    JobCursor position(*view_.job, side);
    if (!position.MoveLeft()) return false;
    ApplyCursorMove(position, extend);
    return true;
}

bool GuiFolderBox::MoveCursorRightOp(uint32_t side, bool extend) {
    if (view_.job->kind.kind == JobLayer::KindPath) return ScrollFolderSide(*this, side, StepRight);
    if (side > 1) return false;
    JobCursor position(*view_.job, side);
    if (!position.MoveRight()) return false;
    ApplyCursorMove(position, extend);
    return true;
}

bool GuiFolderBox::MoveCursorToLineHeadOp(uint32_t side, bool extend) {
    if (view_.job->kind.kind == JobLayer::KindPath) return ScrollFolderSide(*this, side, StepHead);
    if (side > 1) return false;
    JobCursor position(*view_.job, side);
    if (!position.MoveToLineHead()) return false;
    ApplyCursorMove(position, extend);
    return true;
}

bool GuiFolderBox::MoveCursorToLineFootOp(uint32_t side, bool extend) {
    if (view_.job->kind.kind == JobLayer::KindPath) return ScrollFolderSide(*this, side, StepFoot);
    if (side > 1) return false;
    JobCursor position(*view_.job, side);
    if (!position.MoveToLineFoot()) return false;
    ApplyCursorMove(position, extend);
    return true;
}

static bool MoveVertically(GuiFolderBox& box, uint32_t side, bool extend, int32_t step) {
    JobGroupUnit& job = *box.Job();
    if (side > 1) return false;
    const int32_t count = job.rows.Count();
    const int32_t cursorRow = job.Side(side).cursorRow;
    int32_t start = cursorRow + step;
    if (cursorRow < 0 || cursorRow >= count) start = step < 0 ? count - 1 : 0;
    // The caret keeps its x from row to row: taken from the character the
    // first vertical step leaves.
    if (side == box.CurrentSide()) box.UpdateCaretX();
    JobCursor position(job, side);
    const int32_t row = position.SkipToRealRow(start, step);
    if (row < 0 || !position.PlaceOnRow(row)) return false;
    box.ApplyCursorMove(position, extend);
    return true;
}

bool GuiFolderBox::MoveCursorUpOp(uint32_t side, bool extend) { return MoveVertically(*this, side, extend, -1); }
bool GuiFolderBox::MoveCursorDownOp(uint32_t side, bool extend) { return MoveVertically(*this, side, extend, 1); }

bool GuiFolderBox::MoveCursorToFileHeadOp(uint32_t side, bool extend) {
    JobGroupUnit& job = *view_.job;
    if (side > 1 || job.rows.IsEmpty()) return false;
    JobCursor position(job, side);
    const int32_t row = position.SkipToRealRow(0, 1);
    if (row < 0 || !position.PlaceOnRow(row)) return false;
    position.column = 0;
    position.MoveToLineHead();
    ApplyCursorMove(position, extend);
    return true;
}

bool GuiFolderBox::MoveCursorToFileFootOp(uint32_t side, bool extend) {
    JobGroupUnit& job = *view_.job;
    if (side > 1 || job.rows.IsEmpty()) return false;
    JobCursor position(job, side);
    const int32_t row = position.SkipToRealRow(job.rows.Count() - 1, -1);
    if (row < 0 || !position.PlaceOnRow(row)) return false;
    position.MoveToLineFoot();
    ApplyCursorMove(position, extend);
    return true;
}

void GuiFolderBox::ApplyCursorMove(const JobCursor& position, bool extend) {
    JobSideRecord& record = *position.side;
    record.cursorColumn = position.column;
    JobLayer::BinaryPendingHalfByte(record) = 0;
    if (!extend) record.anchorColumn = position.column;
    record.preferredX = position.preferredX;
    view_.job->currentRow = position.row;
    record.cursorRow = position.row;
    if (extend) {
        SelectIndex(position.row);
    } else {
        record.anchorRow = position.row;
        MoveCursorTo(position.row);
    }
    ScrollCaretIntoView();
}

RECT GuiFolderBox::SideRect(int32_t index, uint32_t side) {
    RefreshIfDirty();
    const WinLayer::WinListBoxItemUnit* unit = ItemAt(index);
    if (!unit || index < 0) return RECT{};
    const LONG top = clientRect.top + unit->rect.top - scroll.y;
    const RECT row{clientRect.left, top, clientRect.right, top + unit->Height()};
    if (side == 0) return RECT{row.left, row.top, view_.dividingPoint - 2, row.bottom};
    return RECT{view_.dividingPoint + 2, row.top, row.right, row.bottom};
}

bool GuiFolderBox::RowInView(int32_t index) {
    RefreshIfDirty();
    const WinLayer::WinListBoxItemUnit* unit = ItemAt(index);
    const int32_t height = clientRect.bottom - clientRect.top;
    return unit && unit->rect.top >= scroll.y && unit->rect.bottom <= scroll.y + height;
}

void GuiFolderBox::ScrollCaretIntoView() {
    const uint32_t side = CurrentSide();
    if (side > 1) {
        RefreshCaret();
        return;
    }
    JobGroupUnit& job = *view_.job;
    JobSideRecord& record = job.Side(side);
    // A move has put the list cursor there and scrolled to it already;
    // otherwise the row is scrolled into view now.
    if (record.cursorRow >= 0 && (cursor != record.cursorRow || !RowInView(record.cursorRow))) {
        SetCursor(record.cursorRow);
    }
    JobContentUnit* unit = RealUnit(job, record.cursorRow, side);
    if (record.cursorColumn != -1 && unit) {
        JobLayer::JobDrawContext context;
        context.rect = SideRect(record.cursorRow, side);
        context.side = &record;
        context.row = record.cursorRow;
        context.margin = view_.kindMargin;
        const RECT caret = unit->CaretRect(context, record.cursorColumn);
        const RECT area = unit->TextAreaRect(context);
        if (caret.left < area.left) {
            record.scrollX += caret.left - area.left;
        } else if (caret.right > area.right) {
            record.scrollX += caret.right - area.right;
        }
        SyncTwinBarRange(side);
    }
    RefreshCaret();
}

void GuiFolderBox::UpdateCaretX() {
    const uint32_t side = CurrentSide();
    if (side > 1) return;
    JobSideRecord& record = view_.job->Side(side);
    if (record.preferredX != -1 || record.cursorColumn == -1) return;
    JobContentUnit* unit = RealUnit(*view_.job, record.cursorRow, side);
    if (!unit) return;
    WinLayer::GdiWindowDC screen(window);
    WinLayer::GdiSelection keepFont(screen.Get(), GetEffectiveFont().handle);
    unit->LayoutCharPositions(record, screen.Get());
    record.preferredX = unit->CharMidX(record.cursorColumn);
}

void GuiFolderBox::SelectSide(uint32_t side) {
    if (side > 1) return;
    SetCurrentSide(side);
    JobGroupUnit& job = *view_.job;
    const int32_t row = job.Side(side).cursorRow;
    job.currentRow = row;
    if (row >= 0 && row < Count()) {
        cursor = row;
        SetCursor(row);
        SendCommand(NotifySelectionChanged);
    }
    RefreshCaret();
}

int32_t GuiFolderBox::FindNonSameRow(int32_t start, int32_t step) {
    const int32_t count = view_.job->rows.Count();
    if (start < 0 || start >= count || (step != 1 && step != -1)) return -1;
    // The shown rows that differ, noted when the rows were last made or
    // filtered (every change of the rows' kinds does one or the other): a
    // jump across a million rows is a look-up, not a walk through rows
    // spread over the heap.
    if (differingSerial_ == view_.job->serial && differingCount_ == count) {
        if (step == 1) {
            const auto next = std::lower_bound(differing_.begin(), differing_.end(), start);
            return next == differing_.end() ? -1 : *next;
        }
        const auto after = std::upper_bound(differing_.begin(), differing_.end(), start);
        return after == differing_.begin() ? -1 : *(after - 1);
    }
    // The rows are an array: each step is one look-up, in either direction.
    for (int32_t row = start; row >= 0 && row < count; row += step) {
        const JobReportUnit* report = view_.job->rows.At(row);
        if (report && !(report->flags & JobLayer::RowSkipped) && report->kind != JobLayer::RowSame) return row;
    }
    return -1;
}

static bool GotoFoundRow(GuiFolderBox& box, int32_t row) {
    if (row < 0) return false;
    JobGroupUnit& job = *box.Job();
    const bool noSide = box.CurrentSide() > 1;
    const uint32_t side = noSide ? 0 : box.CurrentSide();
    JobCursor position(job, side);
    if (!position.PlaceOnRow(row)) return false;
    // Placed on side 1 for want of a current side, the row makes side 1
    // current: its caret shows the row, and the edit keys go where it shows.
    if (noSide) box.SetCurrentSide(0);
    JobSideRecord& record = job.Side(side);
    record.cursorRow = record.anchorRow = row;
    record.cursorColumn = record.anchorColumn = position.column;
    JobLayer::BinaryPendingHalfByte(record) = 0;
    job.currentRow = row;
    box.MoveCursorTo(row);
    box.ScrollCaretIntoView();
    return true;
}

bool GuiFolderBox::GotoNextNonSameRow() {
    const int32_t start = cursor >= 0 && cursor < Count() ? cursor + 1 : 0;
    return GotoFoundRow(*this, FindNonSameRow(start, 1));
}

bool GuiFolderBox::GotoPrevNonSameRow() {
    const int32_t start = cursor >= 0 && cursor < Count() ? cursor - 1 : Count() - 1;
    return GotoFoundRow(*this, FindNonSameRow(start, -1));
}

bool GuiFolderBox::GotoRow(int32_t row, bool clear) {
    const uint32_t side = CurrentSide();
    if (side > 1) return false;
    JobSideRecord& record = view_.job->Side(side);
    if (row == -1 && clear) {
        record.anchorRow = record.cursorRow = -1;
        record.anchorColumn = record.cursorColumn = -1;
        JobLayer::BinaryPendingHalfByte(record) = 0;
        return true;
    }
    JobCursor position(*view_.job, side);
    if (!position.PlaceOnRow(row)) return false;
    ApplyCursorMove(position, false);
    return true;
}

void GuiFolderBox::EnsureCursorShown() {
    RefreshIfDirty();
    // Typing edits at a side's cursor row, shown or not, and on a row
    // without a line of its side it edits a neighbouring line: neither
    // side's cursor stays on a row the filter hid. It moves to the head of
    // the nearest shown row that holds a line of its side, the next one
    // first, or is cleared when there is none.
    const uint32_t current = CurrentSide();
    for (uint32_t side = 0; side < 2; ++side) {
        JobSideRecord& record = view_.job->Side(side);
        const int32_t row = record.cursorRow;
        const WinLayer::WinListBoxItemUnit* unit = row >= 0 ? ItemAt(row) : nullptr;
        if (!unit || unit->Reachable()) continue;
        JobCursor position(*view_.job, side);
        const auto holds = [this, &position](int32_t index) {
            const WinLayer::WinListBoxItemUnit* item = ItemAt(index);
            return item && item->Reachable() && position.CanHold(index);
        };
        int32_t shown = FirstRowFrom(row + 1, 1, holds);
        if (shown < 0) shown = FirstRowFrom(row - 1, -1, holds);
        if (shown >= 0 && position.PlaceOnRow(shown)) {
            position.column = 0;
            position.preferredX = -1;
            if (side == current) {
                ApplyCursorMove(position, false);
                continue;
            }
            record.cursorRow = record.anchorRow = shown;
            record.cursorColumn = record.anchorColumn = 0;
            record.preferredX = -1;
        } else {
            record.anchorRow = record.cursorRow = -1;
            record.anchorColumn = record.cursorColumn = -1;
        }
        JobLayer::BinaryPendingHalfByte(record) = 0;
    }
    // The list cursor stays on a shown row, or there is none.
    if (cursor >= 0) {
        const WinLayer::WinListBoxItemUnit* unit = ItemAt(cursor);
        if (unit && !unit->Reachable()) cursor = anchor = kNone;
    }
}

// ---- clicks -----------------------------------------------------------------------------------------

bool GuiFolderBox::OnItemClick(POINT point, int32_t index) {
    JobGroupUnit& job = *view_.job;
    const uint64_t now = CurrentFileTime();
    if (clicks_.time && std::abs(point.x - clicks_.last.x) <= 5 && std::abs(point.y - clicks_.last.y) <= 5 &&
        now < clicks_.time + DoubleClickSpan()) {
        clicks_.last = POINT{};
        clicks_.time = 0;
        const uint32_t side = CurrentSide();
        if (side < 2 && view_.editor) {
            JobLayer::ActionArgs args;
            job.controller->Execute(*view_.editor, job, side, JobLayer::CommandSelectWholeLine, args);
            CopySelectionFromRows();
        }
        InvalidateViews();
        return false;
    }
    clicks_.last = POINT{};
    clicks_.time = 0;
    const uint32_t side = HitSide(point);
    // The kind's title menu takes the point in the box's client coordinates.
    if (side < 2 && job.controller->SideMenu(job, side, window, point)) {
        InvalidateViews();
        return false;
    }
    // The title row and the space below the rows hold no cursor.
    if (index < 0) return false;
    PlaceCursor(point, WinLayer::KeyHeld(VK_SHIFT));
    return true;
}

void GuiFolderBox::PlaceCursor(POINT point, bool extend) {
    JobGroupUnit& job = *view_.job;
    const uint32_t side = extend ? CurrentSide() : HitSide(point);
    if (side > 1 || !view_.editor) return;
    const int32_t row = HitTest(point);
    if (row < 0 || row >= job.rows.Count()) return;
    if (!extend) SetCurrentSide(side);
    JobSideRecord& record = job.Side(side);
    JobLayer::JobDrawContext context;
    context.rect = SideRect(row, side);
    context.side = &record;
    context.margin = view_.kindMargin;
    const JobContentUnit* header = job.Content(side).header;
    const uint32_t column = header ? header->ColumnAtX(context, point.x) : 3;
    JobLayer::ActionArgs args;
    if (extend) {
        if (column == record.activeColumn && IsTextOrBinary(job)) {
            PlaceCaret(side, point, true);
            return;
        }
        job.currentRow = row;
        record.cursorRow = row;
        record.preferredX = -1;
        job.controller->Execute(*view_.editor, job, side, JobLayer::CommandSnapToLineEdge, args);
        RefreshCaret();
        return;
    }
    const bool textColumn = (job.kind.kind == JobLayer::KindText && column == 1) ||
                            (job.kind.kind == JobLayer::KindBinary && (column == 1 || column == 2));
    if (textColumn) {
        record.activeColumn = column;
        PlaceCaret(side, point, false);
        return;
    }
    job.currentRow = row;
    record.cursorRow = record.anchorRow = row;
    record.cursorColumn = record.anchorColumn = 0;
    JobLayer::BinaryPendingHalfByte(record) = 0;
    record.preferredX = -1;
    job.controller->Execute(*view_.editor, job, side, JobLayer::CommandSelectWholeLine, args);
    RefreshCaret();
}

void GuiFolderBox::PlaceCaret(uint32_t side, POINT point, bool extend) {
    JobGroupUnit& job = *view_.job;
    if (side > 1) return;
    const int32_t row = HitTest(point);
    if (row < 0 || row >= job.rows.Count()) return;
    JobSideRecord& record = job.Side(side);
    job.currentRow = row;
    record.cursorRow = row;
    if (!extend) record.anchorRow = row;
    int32_t character = -1;
    if (JobContentUnit* unit = IsTextOrBinary(job) ? RealUnit(job, row, side) : nullptr) {
        {
            // A line not drawn since the font or the tab width changed is
            // laid out before its positions are read.
            WinLayer::GdiWindowDC screen(window);
            WinLayer::GdiSelection keepFont(screen.Get(), GetEffectiveFont().handle);
            unit->LayoutCharPositions(record, screen.Get());
        }
        JobLayer::JobDrawContext context;
        context.rect = SideRect(row, side);
        context.side = &record;
        context.row = row;
        context.margin = view_.kindMargin;
        character = unit->CharIndexAtX(context, point.x);
    }
    record.cursorColumn = character;
    if (!extend) record.anchorColumn = character;
    JobLayer::BinaryPendingHalfByte(record) = 0;
    record.preferredX = -1;
    RefreshCaret();
}

void GuiFolderBox::DragSelectTo(uint32_t side, POINT point) {
    PlaceCaret(side, point, true);
    InvalidateViews();
}

// ---- the line drag ----------------------------------------------------------------------------

const RawLayer::RawString& FloatLabelText() {
    static const RawLayer::RawString text = RawLayer::RawString::FromLiteral("Float");
    return text;
}

bool GuiFolderBox::AnySelectedRealUnit(uint32_t side) {
    if (side > 1) return false;
    bool found = false;
    ForEachSelected([&](const WinLayer::WinListBoxItemUnit& unit, int32_t) {
        found = RealUnit(ItemOf(unit), side) != nullptr;
        return !found;
    });
    return found;
}

void GuiFolderBox::StartDragByCommand(int32_t dragMode, uint32_t side) {
    if (side > 1 || !window) return;
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(window, &point);
    if (drag_.state == LineDragState::Idle) {
        drag_.side = side;
        drag_.otherSide = 1 - side;
        drag_.press = point;
        drag_.current = point;
        drag_.state = LineDragState::Pressed;
        drag_.dropAllowed = false;
    }
    BeginLineDrag();
    if (drag_.state == LineDragState::LineDrag) drag_.dragMode = dragMode;
}

void GuiFolderBox::BeginLineDrag() {
    JobGroupUnit& job = *view_.job;
    int32_t first = -1;
    int32_t last = -1;
    int32_t index = 0;
    for (const WinLayer::WinListBoxItemUnit& unit : items) {
        if ((unit.flags & WinLayer::WinListBoxItemUnit::ItemSelected) || index == cursor) {
            if (first < 0) first = index;
            last = index;
        }
        ++index;
    }
    if (first < 0 || drag_.side > 1) return;
    JobContentUnit* unit = RealUnit(job, first, drag_.side);
    if (!unit) return;
    if (window) SetCapture(window);
    drag_.first = first;
    drag_.last = last;
    drag_.unit = unit;
    drag_.target = -1;
    HCURSOR previous = ::SetCursor(drag_.noDropCursor);
    if (!drag_.dragKeptCursor) drag_.dragKeptCursor = previous;
    drag_.state = LineDragState::LineDrag;
    drag_.dropAllowed = CanDrop(drag_.current);
    if (job.kind.kind == JobLayer::KindPath) {
        drag_.dragMode = 0;
    } else if (job.kind.kind == JobLayer::KindText) {
        drag_.dragMode = first != last ? 1 : 0;
    } else {
        drag_.dragMode = 1;
    }
    InvalidateViews();
}

void GuiFolderBox::TrackLineDrag(POINT point) {
    if (drag_.state != LineDragState::LineDrag) return;
    drag_.current = point;
    RefreshIfDirty();
    const int32_t top = clientRect.top;
    const RECT client = GetClientRect();
    const int32_t h = std::max(view_.rowHeight, 1);
    const int32_t maxScroll = std::max<int32_t>(contentSize.cy - (clientRect.bottom - clientRect.top), 0);
    int32_t moved = 0;
    if (scroll.y > 0 && point.y < top) {
        moved = -std::min<int32_t>((top - point.y) * h / 30, scroll.y);
    } else if (scroll.y < maxScroll && point.y > client.bottom) {
        moved = std::min<int32_t>((point.y - client.bottom) * h / 30, maxScroll - scroll.y);
    }
    if (moved) {
        scroll.y += moved;
        drag_.press.y -= moved;
        UpdateScroll();
    }
    drag_.target = HitTest(point);
    const bool allowed = CanDrop(point);
    if (allowed != drag_.dropAllowed) {
        drag_.dropAllowed = allowed;
        HCURSOR previous = ::SetCursor(allowed ? drag_.dropCursor : drag_.noDropCursor);
        if (!drag_.dragKeptCursor) drag_.dragKeptCursor = previous;
    }
    InvalidateViews();
}

bool GuiFolderBox::CanDrop(POINT point) {
    const RECT client = GetClientRect();
    if (point.x < client.left || point.x > client.right || point.y < client.top || point.y > client.bottom) {
        return false;
    }
    const int32_t target = drag_.target;
    if (target < 0 || target >= view_.job->rows.Count()) return false;
    return RealUnit(*view_.job, target, drag_.otherSide) != nullptr;
}

void GuiFolderBox::EndLineDrag(bool drop) {
    if (drag_.state != LineDragState::LineDrag) {
        drag_.state = LineDragState::Idle;
        return;
    }
    // The state goes first: releasing the capture and the recompare that
    // follows a connect come back here.
    drag_.state = LineDragState::Idle;
    if (window && GetCapture() == window) ReleaseCapture();
    const int32_t target = drag_.target;
    drag_.target = -1;
    InvalidateViews();
    if (drag_.dragKeptCursor) ::SetCursor(drag_.dragKeptCursor);
    drag_.dragKeptCursor = nullptr;
    JobGroupUnit& job = *view_.job;
    const int32_t count = job.rows.Count();
    // The rows may have been rebuilt since the press: every index is
    // checked against the rows there are now.
    if (!drop || drag_.first < 0 || drag_.last >= count || drag_.first > drag_.last || target < 0 ||
        target >= count) {
        return;
    }
    int32_t index = 0;
    for (JobReportUnit& row : job.rows) {
        const bool on = index >= drag_.first && index <= drag_.last;
        row.flags = on ? (row.flags | JobLayer::RowMarked) : (row.flags & ~static_cast<uint32_t>(JobLayer::RowMarked));
        ++index;
    }
    // The lines are connected to the other side's cursor row: the row
    // dropped on becomes it, at its head (the old column may lie past the
    // end of that line).
    if (drag_.otherSide < 2) {
        JobLayer::JobSideRecord& other = job.Side(drag_.otherSide);
        other.cursorRow = other.anchorRow = target;
        other.cursorColumn = other.anchorColumn = 0;
        other.preferredX = -1;
    }
    if (job.controller->ConnectLines(job, target, drag_.side, drag_.dragMode == 1 ? 2 : 1) && window) {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(controlId, CmdRecompare), 0);
    }
}

void GuiFolderBox::PaintDragFeedback(HDC dc) {
    if (drag_.state != LineDragState::LineDrag || !drag_.unit || drag_.side > 1) return;
    RECT rect = SideRect(drag_.first, drag_.side);
    if (IsRectEmpty(&rect)) return;
    const int32_t height = rect.bottom - rect.top;
    OffsetRect(&rect, drag_.current.x - drag_.press.x, drag_.current.y - (rect.top + rect.bottom) / 2);
    const bool floating = drag_.dragMode == 1;
    if (floating) InflateRect(&rect, 0, height);
    const COLORREF fill = RGB(0xC0, 0xD0, 0xFF);
    WinLayer::GdiBrush brush(fill);
    FillRect(dc, &rect, brush.Handle());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldText = SetTextColor(dc, WinLayer::ListTextColor());
    JobLayer::JobDrawContext context;
    context.dc = dc;
    context.rect = RECT{rect.left, rect.top, rect.right, rect.top + height};
    context.side = &view_.job->Side(drag_.side);
    context.row = -1;
    context.margin = view_.kindMargin;
    drag_.unit->Draw(context);
    const JobLayer::ColorTable& colours = JobLayer::ConfigStore::Instance().colors;
    const COLORREF frame = floating ? colours.floatedColor : colours.connectedColor;
    if (floating) {
        const RawLayer::RawString& label = FloatLabelText();
        const RawLayer::RawString wide = label.As(RawLayer::KindUtf16);
        SIZE size{};
        GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(wide.Wide()), wide.Length(), &size);
        const RECT box{rect.right - size.cx - 6, rect.bottom - size.cy, rect.right, rect.bottom};
        const bool none = colours.floatedColor == JobLayer::NoColorValue;
        WinLayer::GdiBrush labelBrush(none ? RGB(0xFF, 0xFF, 0xFF) : colours.floatedColor);
        FillRect(dc, &box, labelBrush.Handle());
        // White on the label colour; without one the fill is white too, and
        // the label is drawn in the list's text colour.
        SetTextColor(dc, none ? WinLayer::ListTextColor() : RGB(0xFF, 0xFF, 0xFF));
        RECT textBox = box;
        DrawTextW(dc, reinterpret_cast<const wchar_t*>(wide.Wide()), wide.Length(), &textBox,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (frame != JobLayer::NoColorValue) {
        WinLayer::GdiBrush frameBrush(frame);
        FrameRect(dc, &rect, frameBrush.Handle());
    }
    SetTextColor(dc, oldText);
    SetBkMode(dc, oldMode);
}

void GuiFolderBox::OnLineDragMove(POINT point, WPARAM keys) {
    // A press or a selection drag whose button came up outside the box is
    // over: the selection must not follow a mouse with no button down.
    if ((drag_.state == LineDragState::Pressed || drag_.state == LineDragState::SelectDrag) &&
        !(keys & MK_LBUTTON)) {
        drag_.state = LineDragState::Idle;
        return;
    }
    JobGroupUnit& job = *view_.job;
    if (drag_.state == LineDragState::Pressed &&
        (std::abs(point.x - drag_.press.x) > 5 || std::abs(point.y - drag_.press.y) > 5)) {
        drag_.state = LineDragState::Idle;
        drag_.current = point;
        const uint32_t kind = job.kind.kind;
        if (keys & MK_CONTROL) {
            if (kind == JobLayer::KindPath || kind == JobLayer::KindText) BeginLineDrag();
        } else if (IsTextOrBinary(job)) {
            drag_.state = LineDragState::SelectDrag;
        }
    }
    TrackLineDrag(point);
    if (drag_.state == LineDragState::SelectDrag) DragSelectTo(drag_.side, point);
}

}  // namespace AppLayer
