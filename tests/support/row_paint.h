// Painting a text or binary job's rows the way the folder box does, for the row
// host of the tests, the screenshot program and the benchmark: one row per
// row height from the top of the client area, side 1 in the left half and
// side 2 in the right half, each side measured over the rows in view and
// laid out over its half.
#pragma once

#include <windows.h>

#include <cstdint>

#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/text/line_unit.h"
#include "tavrel/jobs/text/text_kind.h"

namespace TestSupport {

struct RowGeometry {
    RECT client = {0, 0, 0, 0};
    int32_t rowHeight = 16;
    int32_t firstRow = 0;
    int32_t margin = 2;

    // Rows that fit in the client area (the last one may be cut).
    int32_t VisibleRows() const {
        return rowHeight > 0 ? (client.bottom - client.top + rowHeight - 1) / rowHeight : 0;
    }
    int32_t HalfWidth() const { return (client.right - client.left) / 2; }
    // The rectangle of a display row on a side.
    RECT SideRect(uint32_t side, int32_t row) const {
        RECT rect;
        rect.left = client.left + (side == 0 ? 0 : HalfWidth());
        rect.right = side == 0 ? client.left + HalfWidth() : client.right;
        rect.top = client.top + (row - firstRow) * rowHeight;
        rect.bottom = rect.top + rowHeight;
        return rect;
    }
    int32_t RowAtY(int32_t y) const { return rowHeight > 0 ? firstRow + (y - client.top) / rowHeight : -1; }
    uint32_t SideAtX(int32_t x) const { return x < client.left + HalfWidth() ? 0 : 1; }
};

// What the unit operations of a row need to know.
inline JobLayer::JobDrawContext RowContext(JobLayer::JobGroupUnit& job, uint32_t side, int32_t row, HDC dc,
                                           const RowGeometry& geometry) {
    JobLayer::JobDrawContext context;
    context.dc = dc;
    context.rect = geometry.SideRect(side, row);
    context.side = &job.Side(side);
    context.row = row;
    context.margin = geometry.margin;
    context.report = row >= 0 && row < job.rows.Count() ? job.rows.At(row) : nullptr;
    return context;
}

// A folder job's rows: the sides' metrics, the three columns measured over
// the column header and the rows in view, laid out over each half.
inline void LayoutPathRows(JobLayer::JobGroupUnit& job, HDC dc, const RowGeometry& geometry) {
    const int32_t last = geometry.firstRow + geometry.VisibleRows();
    for (uint32_t s = 0; s < 2; ++s) {
        JobLayer::JobSideRecord& side = job.Side(s);
        if (JobLayer::JobPathBaseData* data = JobLayer::PathBaseData(side))
            data->UpdateMetrics(dc, geometry.rowHeight, geometry.HalfWidth());
        for (int32_t& width : side.measuredWidth) width = 0;
        JobLayer::JobPathUnit::Header().MeasureColumns(side, dc, geometry.margin);
        for (int32_t row = geometry.firstRow; row < last && row < job.rows.Count(); ++row)
            job.rows.At(row)->Unit(s)->MeasureColumns(side, dc, geometry.margin);
        JobLayer::JobPathUnit::Header().LayoutColumns(side, geometry.SideRect(s, geometry.firstRow), false);
    }
}

// The side's metrics for the font selected into the context, then the
// column widths measured over the rows in view and laid out over each half.
inline void LayoutRows(JobLayer::JobGroupUnit& job, HDC dc, const RowGeometry& geometry) {
    if (job.kind.kind == JobLayer::KindPath) {
        LayoutPathRows(job, dc, geometry);
        return;
    }
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const bool binary = job.kind.kind == JobLayer::KindBinary;
    const int32_t last = geometry.firstRow + geometry.VisibleRows();
    for (uint32_t s = 0; s < 2; ++s) {
        JobLayer::JobSideRecord& side = job.Side(s);
        if (side.kindData) side.kindData->UpdateMetrics(dc, geometry.rowHeight, metrics.tmAveCharWidth);
        for (int32_t& width : side.measuredWidth) width = 0;
        if (binary) JobLayer::BinaryHeaderUnit().MeasureColumns(side, dc, geometry.margin);
        for (int32_t row = geometry.firstRow; row < last && row < job.rows.Count(); ++row) {
            JobLayer::JobContentUnit* unit = job.rows.At(row)->Unit(s);
            if (binary) {
                unit->MeasureColumns(side, dc, geometry.margin);
                continue;
            }
            unit->LayoutCharPositions(side, dc);
            unit->MeasureFirstColumn(side, dc, geometry.margin);
            unit->MeasureContent(side, dc, geometry.margin);
        }
        RECT area = geometry.SideRect(s, geometry.firstRow);
        if (binary)
            JobLayer::BinaryHeaderUnit().LayoutColumns(side, area, false);
        else
            JobLayer::EmptyLineUnit().LayoutColumns(side, area, false);
    }
}

// The title row of a binary job above the rows: the column titles, and the
// side's encoding text at the right end of the side's half, where a click
// opens the encoding menu (its rectangle is kept in the side).
inline void PaintBinaryTitles(JobLayer::JobGroupUnit& job, HDC dc, const RowGeometry& geometry) {
    for (uint32_t s = 0; s < 2; ++s) {
        JobLayer::JobSideRecord& side = job.Side(s);
        JobLayer::JobDrawContext context;
        context.dc = dc;
        context.rect = geometry.SideRect(s, geometry.firstRow);
        context.rect.top -= geometry.rowHeight;
        context.rect.bottom -= geometry.rowHeight;
        context.side = &side;
        context.margin = geometry.margin;
        JobLayer::BinaryHeaderUnit().Draw(context);
        RawLayer::RawString wide = side.encodingText.As(RawLayer::KindUtf16);
        RECT text = {0, 0, 0, 0};
        DrawTextExW(dc, const_cast<wchar_t*>(wide.Wide()), wide.Length(), &text,
                    DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE, nullptr);
        const int32_t right = context.rect.right - geometry.margin;
        side.encodingRect = RECT{right - (text.right - text.left), context.rect.top, right, context.rect.bottom - 1};
        RECT at = side.encodingRect;
        DrawTextExW(dc, const_cast<wchar_t*>(wide.Wide()), wide.Length(), &at,
                    DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER, nullptr);
    }
}

// Lays the rows in view out and paints them over the window colour.
inline void PaintRows(JobLayer::JobGroupUnit& job, HDC dc, const RowGeometry& geometry) {
    LayoutRows(job, dc, geometry);
    HBRUSH background = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    FillRect(dc, &geometry.client, background);
    DeleteObject(background);
    const int32_t last = geometry.firstRow + geometry.VisibleRows();
    for (int32_t row = geometry.firstRow; row < last && row < job.rows.Count(); ++row)
        for (uint32_t s = 0; s < 2; ++s) job.rows.At(row)->Unit(s)->Draw(RowContext(job, s, row, dc, geometry));
    if (job.kind.kind == JobLayer::KindBinary && geometry.client.top >= geometry.rowHeight)
        PaintBinaryTitles(job, dc, geometry);
}

}  // namespace TestSupport
