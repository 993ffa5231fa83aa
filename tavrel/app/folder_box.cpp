// The folder box: rows of the current job, filtered and drawn in two halves.
#include "tavrel/app/folder_box.h"

#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/gui_profile.h"
#include "tavrel/jobs/job_kind_control.h"
#include "tavrel/jobs/pair_line.h"
#include "toolkit/gdi_scope.h"

namespace AppLayer {

using JobLayer::JobGroupList;
using WinLayer::WinDrawContext;
using WinLayer::WinListBoxItemUnit;

namespace {

// Pixels between a half's edge and its text.
constexpr int kTextInset = 4;
constexpr UINT kRowTextFormat = DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;

// The filter bit that shows rows of a kind (0 same, 1 only 1, 2 only 2,
// 3 changed).
uint16_t FilterBitOf(uint32_t rowKind) {
    switch (rowKind) {
    case JobLayer::RowSame:
        return JobLayer::StatusSame;
    case JobLayer::RowOnly1:
        return JobLayer::StatusOnly1;
    case JobLayer::RowOnly2:
        return JobLayer::StatusOnly2;
    default:
        return JobLayer::StatusDifferent;
    }
}

COLORREF HalfColour(uint32_t rowKind, uint32_t side, bool present) {
    const JobLayer::ColorTable& colours = JobLayer::ConfigStore::Instance().colors;
    if (!present) return colours.lineBlankColor;
    switch (rowKind) {
    case JobLayer::RowOnly1:
        return colours.lineOnly1Color;
    case JobLayer::RowOnly2:
        return colours.lineOnly2Color;
    case JobLayer::RowSame:
        return GetSysColor(COLOR_WINDOW);
    default:
        return side == 0 ? colours.lineDiff1Color : colours.lineDiff2Color;
    }
}

void DrawHalf(WinDrawContext& dc, RECT half, const JobReportUnit& row, uint32_t side) {
    const JobLayer::JobContentUnit* unit = side == 0 ? row.unit1 : row.unit2;
    const bool present = unit && !unit->IsPlaceholder();
    WinLayer::GdiBrush fill(HalfColour(row.kind, side, present));
    FillRect(dc.dc, &half, fill.Handle());
    if (!present) return;
    const RawLayer::RawString text = unit->ColumnText(0).IsEmpty() ? unit->Name() : unit->ColumnText(0);
    half.left += kTextInset;
    half.right -= kTextInset;
    WinLayer::WinView::DrawTextRange(dc, half, kRowTextFormat, text, text.All(), 4);
}

}  // namespace

JobGroupUnit* SpareJob() {
    JobGroupList& list = JobGroupList::Instance();
    if (!list.ExtraJob()) {
        list.SetExtraJob(new JobGroupUnit(JobLayer::JobKindType::FromKind(JobLayer::KindNone),
                                          &JobLayer::JobKindControl::NoneControl()));
    }
    return list.ExtraJob();
}

void GuiFolderBox::Construct() {
    WinListBox::Construct();
    mode = static_cast<uint16_t>(mode | ModeMultiple);
    job_ = SpareJob();
}

void GuiFolderBox::SetJob(JobGroupUnit* job) {
    JobGroupUnit* shown = job ? job : SpareJob();
    if (shown != job_) {
        job_ = shown;
        scroll = POINT{};
    }
    // Each kind draws in its own view font; kind none keeps the last one.
    if (shown->kind.kind <= JobLayer::KindBinary) {
        font = &JobLayer::GuiProfileStore::Instance().ViewFont(shown->kind.kind);
        if (window && font->handle) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font->handle), 0);
    }
    RefreshRows();
}

void GuiFolderBox::RefreshRows() {
    const POINT keep = scroll;
    ClearItems();
    if (job_) {
        for (JobReportUnit& row : job_->rows) {
            WinListBoxItemUnit* unit = AddItem(&row);
            if (!(job_->statusMask & FilterBitOf(row.kind))) unit->flags |= WinListBoxItemUnit::ItemHidden;
        }
    }
    scroll = keep;
    if (window) {
        Refresh();
    }
}

void GuiFolderBox::ReleaseJob() {
    job_ = SpareJob();
    ClearItems();
    scroll = POINT{};
    mode = static_cast<uint16_t>(mode & ~(ModeFocus | ModeMultiple));
}

int32_t GuiFolderBox::CopySelectionToRows() {
    int32_t selected = 0;
    for (WinListBoxItemUnit& unit : items) {
        JobReportUnit* row = ItemOf(unit);
        if (!row) continue;
        const bool on = (unit.flags & WinListBoxItemUnit::ItemSelected) != 0;
        unit.flags = static_cast<uint16_t>(on ? (unit.flags | WinListBoxItemUnit::ItemCounted)
                                              : (unit.flags & ~WinListBoxItemUnit::ItemCounted));
        row->flags = static_cast<uint16_t>(on ? (row->flags | JobLayer::RowMarked)
                                              : (row->flags & ~JobLayer::RowMarked));
        if (on) ++selected;
    }
    return selected;
}

int32_t GuiFolderBox::CopySelectionFromRows() {
    int32_t selected = 0;
    for (WinListBoxItemUnit& unit : items) {
        const JobReportUnit* row = ItemOf(unit);
        const bool on = row && (row->flags & JobLayer::RowMarked);
        unit.flags = static_cast<uint16_t>(on ? (unit.flags | WinListBoxItemUnit::ItemSelected)
                                              : (unit.flags & ~WinListBoxItemUnit::ItemSelected));
        if (on) ++selected;
    }
    if (window) InvalidateRect(window, nullptr, FALSE);
    return selected;
}

void GuiFolderBox::MeasureItemOf(WinDrawContext&, RECT& size, int32_t, WinListBoxItemUnit&, JobReportUnit*) {
    size.right = size.left + (clientRect.right - clientRect.left);
    size.bottom = size.top + lineStep.cy;
}

void GuiFolderBox::DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit,
                              JobReportUnit* row) {
    if (!row) return;
    SetBkMode(dc.dc, TRANSPARENT);
    SetTextColor(dc.dc, GetSysColor(COLOR_WINDOWTEXT));
    const LONG middle = rect.left + (rect.right - rect.left) / 2;
    DrawHalf(dc, RECT{rect.left, rect.top, middle, rect.bottom}, *row, 0);
    DrawHalf(dc, RECT{middle, rect.top, rect.right, rect.bottom}, *row, 1);
    if (unit.flags & WinListBoxItemUnit::ItemSelected) {
        WinLayer::GdiBrush frame(ItemColor(unit));
        FrameRect(dc.dc, &rect, frame.Handle());
    }
}

}  // namespace AppLayer
