// Folder rows on screen: column measuring and layout, drawing an entry row
// with its kind icon, the side's metrics and the detail-box strategy of the
// folder kind.
#include "tavrel/jobs/folder/folder_draw.h"

#include <algorithm>
#include <vector>

#include "tavrel/jobs/cell_draw.h"
#include "tavrel/jobs/folder/folder_copy.h"
#include "tavrel/jobs/folder/folder_kind.h"
#include "tavrel/jobs/inline_diff.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_report.h"
#include "tavrel/jobs/entry_icons.h"
#include "toolkit/bitmap_pool.h"
#include "toolkit/draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/view.h"

namespace JobLayer {

namespace {

using RawLayer::RawRange;

RAW_CONSTANT_TEXT(TabText, "\t")

constexpr UINT kMeasureFormat = DT_NOPREFIX | DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER;
// A tab width to line up with when neither the box nor the metrics give
// one, and the most tabs one gap of a detail text takes.
constexpr int32_t kFallbackTabWidth = 32;
constexpr int32_t kMostDetailTabs = 256;

// The width of a text in the DC's font, single line, tabs expanded (at
// `tabLength` characters with DT_TABSTOP); 0 for an empty text.
int32_t MeasureWidth(HDC dc, const RawString& text, int tabLength = 0) {
    if (!dc || text.IsEmpty()) return 0;
    RECT rect = {0, 0, 32767, 0};
    WinLayer::WinDrawContext context(dc);
    const UINT format = kMeasureFormat | (tabLength > 0 ? DT_TABSTOP : 0);
    WinLayer::WinView::MeasureTextRange(context, rect, format, text, text.All(), tabLength > 0 ? tabLength : 1);
    return std::max<int32_t>(0, rect.right - rect.left);
}

}  // namespace

// ---------------------------------------------------------------------------
// Side metrics

JobPathBaseData* PathBaseData(JobSideRecord& side) { return dynamic_cast<JobPathBaseData*>(side.kindData.get()); }

void JobPathBaseData::UpdateMetrics(HDC dc, int32_t height, int32_t) {
    if (!dc) return;
    rowHeight = height;
    tabWidth = MeasureWidth(dc, TabText(), kPathDetailTabCharacters);
    for (int i = 0; i < 2; ++i) textWidth[i] = MeasureWidth(dc, texts[i]);
}

// ---------------------------------------------------------------------------
// Entry rows

void JobPathUnit::MeasureColumns(JobSideRecord& side, HDC dc, int32_t margin) {
    if (!dc || IsPlaceholder()) return;
    int32_t iconRoom = 0;
    if (!IsHeader()) {
        const JobPathBaseData* data = PathBaseData(side);
        int32_t height = data ? data->rowHeight : 0;
        if (height <= 0) {
            TEXTMETRICW metrics = {};
            GetTextMetricsW(dc, &metrics);
            height = metrics.tmHeight + 4;
        }
        const int32_t icon = EntryIconSide(height);
        iconRoom = icon > 0 ? icon + margin : 0;
    }
    for (int32_t column = 0; column < 3; ++column) {
        const int32_t width = MeasureWidth(dc, ColumnText(column)) + 2 * margin + (column == 0 ? iconRoom : 0);
        side.measuredWidth[column] = std::max(side.measuredWidth[column], width);
    }
}

void JobPathUnit::LayoutColumns(JobSideRecord& side, const RECT& area, bool hideDetailColumns) {
    const int32_t size = hideDetailColumns ? 0 : std::max(0, side.measuredWidth[1]);
    const int32_t date = hideDetailColumns ? 0 : std::max(0, side.measuredWidth[2]);
    const int64_t rest = static_cast<int64_t>(area.right) - area.left - size - date;
    side.layoutWidth[0] = static_cast<int32_t>(std::max<int64_t>(0, rest));
    side.layoutWidth[1] = size;
    side.layoutWidth[2] = date;
    side.lastColumnWidthBefore = side.lastColumnWidth;
    side.lastColumnWidth = side.layoutWidth[0];
    side.totalWidth = side.layoutWidth[0] + size + date;
}

void JobPathUnit::Draw(const JobDrawContext& context) {
    if (!context.dc || !context.side) return;
    HDC dc = context.dc;
    const JobSideRecord& side = *context.side;
    const RECT& row = context.rect;
    if (flags & PathUnitReplaced) {
        WinLayer::GdiBrush red(RGB(255, 0, 0));
        FillRect(dc, &row, static_cast<HBRUSH>(red.Get()));
    }
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, WinLayer::ListTextColor());
    WinLayer::GdiPen pen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    WinLayer::GdiSelection keep(dc, pen.Get());
    const int32_t margin = context.margin;
    int32_t x = row.left;
    for (int32_t column = 0; column < 3; ++column) {
        const int32_t width = side.layoutWidth[column];
        if (width <= 0) continue;
        RECT cell = {x, row.top, x + width, row.bottom};
        if (IsPlaceholder()) {
            // A missing side shows no text.
        } else if (IsHeader()) {
            DrawCellText(dc, cell, margin, ColumnText(column), DT_LEFT);
        } else if (column == 0) {
            RECT text = cell;
            const int32_t icon = EntryIconSide(row.bottom - row.top);
            if (icon > 0 && cell.left + margin + icon <= cell.right - margin) {
                if (WinLayer::WinBitmapPool* pool = EntryIconPool(icon)) {
                    const int32_t top = row.top + (row.bottom - row.top - icon) / 2;
                    const RECT target = {cell.left + margin, top, cell.left + margin + icon, top + icon};
                    pool->DrawCell(EntryIconCell(EntryKind()), dc, target);
                }
                text.left += icon + margin;
            }
            DrawCellText(dc, text, margin, ColumnText(0), DT_LEFT);
        } else {
            DrawCellText(dc, cell, margin, ColumnText(column), column == 1 ? DT_RIGHT : DT_LEFT);
        }
        MoveToEx(dc, cell.right - 1, cell.top, nullptr);
        LineTo(dc, cell.right - 1, cell.bottom);
        x += width;
    }
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

// ---------------------------------------------------------------------------
// The detail boxes

namespace {

// The parts of a detail text: the name, the tabs after it, the size part,
// the tabs after it, the date part.
struct DetailParts {
    RawRange name, tabs1, size, tabs2, date;
};

DetailParts SplitDetail(const RawString& text) {
    const int32_t length = text.Length();
    auto runOfTabs = [&](int32_t from) {
        int32_t end = from;
        while (end < length && text.UnitAt(end) == '\t') ++end;
        return end;
    };
    DetailParts parts;
    const int32_t nameEnd = text.FindChar(text.All(), '\t');
    parts.name = {0, nameEnd};
    parts.tabs1 = {nameEnd, runOfTabs(nameEnd)};
    const int32_t sizeEnd = text.FindChar(RawRange{parts.tabs1.end, length}, '\t');
    parts.size = {parts.tabs1.end, sizeEnd};
    parts.tabs2 = {sizeEnd, runOfTabs(sizeEnd)};
    parts.date = {parts.tabs2.end, length};
    return parts;
}

RawString PartOf(const RawString& text, RawRange range) {
    return RawString::InitBodyFromRange(text.Kind(), text, range);
}

void AppendTabs(RawString& text, int32_t count) {
    for (int32_t i = 0; i < std::max(1, std::min(count, kMostDetailTabs)); ++i) text.AppendChar('\t');
}

// The size and date parts of an entry's detail text, each with its title.
RawString SizePart(const JobPathBaseData& data, const JobPathUnit& entry) {
    return RawString::ConcatMany(data.texts[0], entry.ColumnText(1));
}
RawString DatePart(const JobPathBaseData& data, const JobPathUnit& entry) {
    return RawString::ConcatMany(data.texts[1], entry.ColumnText(2));
}

int32_t FloorDiv(int32_t value, int32_t by) { return value >= 0 ? value / by : -((-value + by - 1) / by); }

}  // namespace

JobPathDBoxDraw& JobPathDBoxDraw::Shared() {
    static JobPathDBoxDraw draw;
    return draw;
}

void JobPathDBoxDraw::PrepareBox(DetailDrawRecord& record) {
    JobBaseDBoxDraw::PrepareBox(record);
    if (record.view) record.view->SetTabWidth(kPathDetailTabCharacters);
}

RawString JobPathDBoxDraw::DetailText(DetailDrawRecord& record, JobContentUnit* unit) {
    JobPathUnit* entry = RealEntry(unit);
    if (!entry || !record.job) return RawString();
    JobPathBaseData* data = PathBaseData(record.job->Side(record.side));
    static const JobPathBaseData noData;
    const JobPathBaseData& d = data ? *data : noData;
    RawString text = entry->name.As(RawLayer::KindUtf16);
    AppendTabs(text, d.tabCount[0]);
    text.Append(SizePart(d, *entry));
    AppendTabs(text, d.tabCount[1]);
    text.Append(DatePart(d, *entry));
    return text;
}

void JobPathDBoxDraw::MeasureBox(DetailDrawRecord& record1, DetailDrawRecord& record2) {
    DetailDrawRecord* records[2] = {&record1, &record2};
    struct Side {
        JobPathBaseData* data = nullptr;
        int32_t name = 0, size = 0, date = 0, client = 0;
    } sides[2];
    int32_t tab = 0;
    for (int i = 0; i < 2; ++i) {
        DetailDrawRecord& record = *records[i];
        if (!record.job || record.side > 1) continue;
        Side& s = sides[i];
        s.data = PathBaseData(record.job->Side(record.side));
        if (!s.data) continue;
        JobDetailBox* box = record.view;
        // The box's own tab stops are what its text is drawn with.
        const int32_t boxTab = box ? box->TextWidth(TabText()) : 0;
        tab = std::max(tab, boxTab > 0 ? boxTab : s.data->tabWidth);
        s.client = box ? std::max(0, box->ClientWidth()) : 0;
        JobPathUnit* entry = record.row ? RealEntry(record.row->Unit(record.side)) : nullptr;
        if (box && entry) {
            s.name = std::max(0, box->TextWidth(entry->name));
            s.size = std::max(0, box->TextWidth(SizePart(*s.data, *entry)));
            s.date = std::max(0, box->TextWidth(DatePart(*s.data, *entry)));
        }
        s.size = std::max(s.size, s.data->textWidth[0]);
        s.date = std::max(s.date, s.data->textWidth[1]);
    }
    if (!sides[0].data && !sides[1].data) return;
    if (tab <= 0) tab = kFallbackTabWidth;
    // Both boxes take the larger width, in whole tab widths.
    int32_t width = 0, textExtent = 0, nameStops = 0, widestSize = 0, widestDate = 0;
    // The columns must fit the narrower client, not the width rounded up
    // to whole tabs, or the date's last characters fall past the edge.
    int32_t fit = INT32_MAX / 4;
    for (const Side& s : sides) {
        if (!s.data) continue;
        fit = std::min(fit, s.client);
        const int64_t rounded = (static_cast<int64_t>(s.client) + tab - 1) / tab * tab;
        width = std::max<int32_t>(width, static_cast<int32_t>(std::min<int64_t>(rounded, INT32_MAX / 4)));
        textExtent = std::max(textExtent, s.name + s.size + s.date);
        nameStops = std::max(nameStops, s.name / tab);
        widestSize = std::max(widestSize, std::min(s.size, INT32_MAX / 4));
        widestDate = std::max(widestDate, std::min(s.date, INT32_MAX / 4));
    }
    // The size stands at the last stop that leaves room for the size and
    // the date (which begins at the next stop past the size), but always
    // past every name.
    auto dateEnd = [&](int64_t stop) { return ((stop * tab + widestSize) / tab + 1) * tab + widestDate; };
    int32_t sizeStop = FloorDiv(fit - widestSize - widestDate, tab);
    // The date begins at most one tab after the size ends: a step or two.
    for (int step = 0; step < 3 && sizeStop > nameStops + 1 && dateEnd(sizeStop) > fit; ++step) --sizeStop;
    sizeStop = std::max(sizeStop, nameStops + 1);
    const int64_t sizeEnd = static_cast<int64_t>(sizeStop) * tab + widestSize;
    for (Side& s : sides) {
        if (!s.data) continue;
        s.data->extent[0] = width;
        s.data->extent[1] = textExtent;
        s.data->tabCount[0] = std::max(1, std::min(sizeStop - s.name / tab, kMostDetailTabs));
        const int64_t ownEnd = static_cast<int64_t>(sizeStop) * tab + s.size;
        const int64_t count = sizeEnd / tab + 1 - ownEnd / tab;
        s.data->tabCount[1] = static_cast<int32_t>(std::max<int64_t>(1, std::min<int64_t>(count, kMostDetailTabs)));
    }
}

JobDetailList JobPathDBoxDraw::DetailList(const JobReportUnit* row, const RawString& text1, const RawString& text2) {
    JobDetailList list;
    if (!row || row->kind != RowChanged) return list;
    const RawString a = text1.As(RawLayer::KindUtf16);
    const RawString b = text2.As(RawLayer::KindUtf16);
    const DetailParts pa = SplitDetail(a);
    const DetailParts pb = SplitDetail(b);
    InlineDiff(list, PartOf(a, pa.name), PartOf(b, pb.name));
    auto tabs = [&](RawRange ra, RawRange rb) {
        if (ra.end > ra.start || rb.end > rb.start) list.Add(SegmentSame, ra.end - ra.start, rb.end - rb.start);
    };
    tabs(pa.tabs1, pb.tabs1);
    InlineDiffPath(list, a, pa.size, b, pb.size);
    tabs(pa.tabs2, pb.tabs2);
    InlineDiffPath(list, a, pa.date, b, pb.date);
    return list;
}

}  // namespace JobLayer
