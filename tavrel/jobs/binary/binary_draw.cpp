// Binary rows on screen: the address, hex and character columns measured,
// laid out and drawn in one fixed cell width (the side data's), x positions
// mapped to positions and back, the detail-box strategy of the binary kind
// and the encoding menu of a side's title.
//
// The hex and character texts are drawn with ExtTextOutW one cell a
// character, so that the caret, the selection, the mismatch colours and a
// click all meet the drawn glyphs whatever the font.
#include <algorithm>
#include <vector>

#include "base/encoding.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/cursor.h"
#include "tavrel/jobs/inline_diff.h"
#include "tavrel/jobs/job_dbox_draw.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace JobLayer {

namespace {

// DrawTextEx flags of the binary columns.
constexpr UINT kMeasureFlags = DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
constexpr UINT kDrawFlags = DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;

// The hex text of a full row, and the caret's character after its last
// position.
constexpr int32_t kHexLength = 47;
// Where the character text starts in the detail text (hex, two spaces).
constexpr int32_t kDetailChars = kHexLength + 2;

// The cell width of a side: its data's, else the unit's; 0 before the
// metrics were taken.
int32_t CellWidthOf(const JobSideRecord* side, const JobBinaryUnit& unit) {
    const JobBinaryBaseData* data = side ? dynamic_cast<const JobBinaryBaseData*>(side->kindData.get()) : nullptr;
    if (!data) data = unit.data;
    return data && data->cellWidth > 0 ? data->cellWidth : 0;
}

int32_t TextWidth(HDC dc, const RawString& text) {
    if (!dc || text.IsEmpty()) return 0;
    RawString wide = text.As(RawLayer::KindUtf16);
    RECT rect = {0, 0, 32767, 0};
    DrawTextExW(dc, const_cast<wchar_t*>(wide.Wide()), wide.Length(), &rect, kMeasureFlags, nullptr);
    return rect.right - rect.left;
}

void DrawCell(HDC dc, const RECT& area, const RawString& text) {
    if (text.IsEmpty() || area.right <= area.left) return;
    RawString wide = text.As(RawLayer::KindUtf16);
    RECT rect = area;
    DrawTextExW(dc, const_cast<wchar_t*>(wide.Wide()), wide.Length(), &rect, kDrawFlags, nullptr);
}

void DrawColumnLine(HDC dc, int32_t x, const RECT& row) {
    WinLayer::GdiPen pen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    WinLayer::GdiSelection keep(dc, pen.Get());
    MoveToEx(dc, x, row.top, nullptr);
    LineTo(dc, x, row.bottom);
}

// Text one cell a character from x, centred in the row's height.
void DrawCells(HDC dc, int32_t x, const RECT& row, const RawString& text, int32_t cell) {
    RawString wide = text.As(RawLayer::KindUtf16);
    const int32_t count = wide.Length();
    if (count == 0 || cell <= 0) return;
    TEXTMETRICW metrics;
    const int32_t y = row.top + (GetTextMetricsW(dc, &metrics) ? (row.bottom - row.top - metrics.tmHeight) / 2 : 0);
    std::vector<INT> advances(static_cast<size_t>(count), cell);
    ExtTextOutW(dc, x, y, 0, nullptr, wide.Wide(), static_cast<UINT>(count), advances.data());
}

}  // namespace

// ---------------------------------------------------------------------------
// Measuring and layout

void JobBinaryUnit::LayoutColumns(JobSideRecord& side, const RECT& area, bool hideFirstColumn) {
    int32_t total = 0;
    for (int32_t c = 0; c < 3; ++c) {
        side.layoutWidth[c] = c == 0 && hideFirstColumn ? 0 : side.measuredWidth[c];
        total += side.layoutWidth[c];
    }
    side.totalWidth = total;
    const int32_t text = side.layoutWidth[1] + side.layoutWidth[2];
    BinaryVisibleTextWidth(side) = std::max<int32_t>(0, text + (area.right - area.left) - total);
    BinaryTextWidth(side) = text;
}

void JobBinaryUnit::MeasureColumns(JobSideRecord& side, HDC dc, int32_t margin) {
    const int32_t cell = CellWidthOf(&side, *this);
    for (int32_t c = 0; c < 3; ++c) {
        const RawString text = ColumnText(c);
        // Rows are drawn one cell a character; titles as the font has them.
        const int32_t width = !IsHeader() && cell > 0 ? text.Length() * cell : TextWidth(dc, text);
        side.measuredWidth[c] = std::max<int32_t>(side.measuredWidth[c], 2 * margin + width);
    }
}

void JobBinaryUnit::MeasureFirstColumn(JobSideRecord& side, HDC dc, int32_t margin) {
    const int32_t cell = CellWidthOf(&side, *this);
    const RawString text = ColumnText(0);
    const int32_t width = !IsHeader() && cell > 0 ? text.Length() * cell : TextWidth(dc, text);
    side.measuredWidth[0] = std::max<int32_t>(side.measuredWidth[0], 2 * margin + width);
}

// ---------------------------------------------------------------------------
// Drawing

void JobBinaryUnit::Draw(const JobDrawContext& context) {
    if (!context.dc || !context.side || IsPlaceholder()) return;
    HDC dc = context.dc;
    JobSideRecord& side = *context.side;
    const RECT& row = context.rect;
    const int32_t m = context.margin;
    const int32_t cell = CellWidthOf(&side, *this);
    // The columns scroll with the side; whatever is scrolled out of the row
    // stays out of sight, never over a neighbour's pixels.
    const int rowSaved = SaveDC(dc);
    if (!rowSaved) return;
    IntersectClipRect(dc, row.left, row.top, row.right, row.bottom);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(dc, WinLayer::ListTextColor());
    int32_t x = row.left - side.scrollX;
    for (int32_t c = 0; c < 3; ++c) {
        const int32_t width = side.layoutWidth[c];
        if (width <= 0) continue;
        const RECT area = {x + m, row.top, x + width - m, row.bottom};
        if (c == 0 || IsHeader()) {
            DrawCell(dc, area, ColumnText(c));
        } else if (area.right > area.left) {
            const int saved = SaveDC(dc);
            if (saved) {
                IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
                // 1. The mismatch segments of the row's column.
                const JobBinaryBaseData* data = dynamic_cast<const JobBinaryBaseData*>(side.kindData.get());
                if (context.report && data && context.report->Unit(side.sideIndex) == this)
                    RowBackgroundPaint(context.report->details, *data, dc, area, side.sideIndex,
                                       static_cast<uint32_t>(c));
                // 2. The selection, on the focus side.
                if (side.focusSide == side.sideIndex && cell > 0) {
                    const JobColumnSpan span = SelectionColumnsOnRow(side, context.row, 0, 16);
                    const int32_t scale = c == 1 ? 3 : 1;
                    if (span.to > span.from) {
                        const ColorTable& colors = ConfigStore::Instance().colors;
                        RECT fill = {area.left + ClampInt(span.from, 0, 16) * scale * cell, row.top,
                                     area.left + ClampInt(span.to, 0, 16) * scale * cell, row.bottom};
                        AlphaRect(dc, fill, colors.cursorPivotColor, colors.cursorPivotOverwrap);
                    }
                }
                // 3. The text.
                DrawCells(dc, area.left, row, ColumnText(c), cell);
                RestoreDC(dc, saved);
            }
        }
        DrawColumnLine(dc, x + width - 1, row);
        x += width;
    }
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    RestoreDC(dc, rowSaved);
}

// ---------------------------------------------------------------------------
// Hit tests

namespace {

// The right edge of the hex column and of the character column as they
// show (relative to the row's left edge).
int32_t HexRight(const JobSideRecord& side) {
    const int32_t w0 = side.layoutWidth[0];
    return std::min(w0 + side.visibleTextWidth, w0 + side.layoutWidth[1] - side.scrollX);
}

}  // namespace

uint32_t JobBinaryUnit::ColumnAtX(const JobDrawContext& context, int32_t x) const {
    if (!context.side) return 3;
    const JobSideRecord& side = *context.side;
    const int32_t left = context.rect.left;
    const int32_t w0 = side.layoutWidth[0];
    if (x < left + w0) return 0;
    if (x < left + std::max(w0, HexRight(side))) return 1;
    return 2;
}

int32_t JobBinaryUnit::CharIndexAtX(const JobDrawContext& context, int32_t x) const {
    if (!context.side) return -1;
    const JobSideRecord& side = *context.side;
    const int32_t left = context.rect.left;
    const int32_t w0 = side.layoutWidth[0];
    const int32_t w1 = side.layoutWidth[1];
    const int32_t w2 = side.layoutWidth[2];
    const int32_t m = context.margin;
    const int32_t s = side.scrollX;
    const int32_t last = std::min<int32_t>(16, extent);
    // Metrics not taken yet count as one pixel a cell: the result stays a
    // position of the row.
    const int32_t cell = std::max(1, CellWidthOf(&side, *this));
    if (side.activeColumn == 1) {
        if (x < left + w0) return 0;
        if (x <= left + HexRight(side)) {
            const int32_t offset = x - (left + w0 + m - s) + cell / 2;
            return ClampInt(offset < 0 ? 0 : offset / (3 * cell), 0, last);
        }
        return last;
    }
    if (side.activeColumn == 2) {
        if (x < left + std::max(w0, HexRight(side))) return 0;
        if (x <= left + std::min(w0 + side.visibleTextWidth, w0 + w1 + w2 - s)) {
            const int32_t offset = x - (left + w0 + w1 + m - s);
            return ClampInt(offset < 0 ? 0 : offset / cell, 0, last);
        }
        return last;
    }
    return -1;
}

RECT JobBinaryUnit::CaretRect(const JobDrawContext& context, int32_t index) const {
    RECT caret = {0, 0, 0, 0};
    if (!context.side) return caret;
    JobSideRecord& side = *context.side;
    const int32_t cell = CellWidthOf(&side, *this);
    const int32_t left = context.rect.left;
    int32_t x0, c;
    if (side.activeColumn == 1) {
        c = index < 16 ? 3 * std::max(index, 0) + static_cast<int32_t>(BinaryPendingHalfByte(side) ? 1 : 0)
                       : kHexLength;
        x0 = left - side.scrollX + side.layoutWidth[0] + context.margin;
    } else if (side.activeColumn == 2) {
        if (index > 16) return caret;
        c = std::max(index, 0);
        x0 = left + side.layoutWidth[0] + side.layoutWidth[1] - side.scrollX + context.margin;
    } else {
        return caret;
    }
    caret.left = x0 + c * cell;
    caret.right = caret.left + cell;
    caret.top = context.rect.top;
    caret.bottom = context.rect.bottom;
    return caret;
}

RECT JobBinaryUnit::TextAreaRect(const JobDrawContext& context) const {
    RECT area = {0, 0, 0, 0};
    if (!context.side) return area;
    const JobSideRecord& side = *context.side;
    area.left = context.rect.left + side.layoutWidth[0] + context.margin;
    area.right = context.rect.left + side.layoutWidth[0] + side.visibleTextWidth - context.margin;
    area.top = context.rect.top;
    area.bottom = context.rect.bottom;
    return area;
}

bool JobBinaryUnit::ToggleColumn(JobSideRecord& side) {
    side.activeColumn = side.activeColumn == 1 ? 2 : 1;
    // A half-typed byte ends with the column it was typed in.
    BinaryPendingHalfByte(side) = 0;
    return true;
}

// ---------------------------------------------------------------------------
// The encoding menu

bool JobBinaryControl::SideMenu(JobGroupUnit& job, uint32_t sideIndex, HWND box, POINT point) {
    JobSideRecord& side = job.Side(sideIndex == 0 ? 0 : 1);
    const RECT& rect = side.encodingRect;
    // The edges belong to the rectangle.
    if (point.x < rect.left || point.x > rect.right || point.y < rect.top || point.y > rect.bottom) return false;
    HMENU menu = CreatePopupMenu();
    if (!menu) return false;
    for (uint8_t kind = RawLayer::KindSjis; kind <= RawLayer::KindUtf16LE; ++kind) {
        RawString name = RawLayer::EncodingKindName(kind, false).As(RawLayer::KindUtf16);
        AppendMenuW(menu, MF_STRING | (BinaryEncodingKind(side) == kind ? MF_CHECKED : 0), kind, name.Wide());
    }
    POINT at = {rect.right, rect.bottom};
    if (box) ClientToScreen(box, &at);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTALIGN | TPM_RIGHTBUTTON, at.x, at.y, box, nullptr));
    DestroyMenu(menu);
    BinaryPendingHalfByte(side) = 0;
    if (chosen >= RawLayer::KindSjis && chosen <= RawLayer::KindUtf16LE) {
        BinaryEncodingKind(side) = chosen;
        side.encodingText = RawLayer::EncodingKindName(static_cast<uint8_t>(chosen), false);
    }
    return true;
}

// ---------------------------------------------------------------------------
// The detail boxes

JobBinaryDBoxDraw& JobBinaryDBoxDraw::Shared() {
    static JobBinaryDBoxDraw draw;
    return draw;
}

void JobBinaryDBoxDraw::PrepareBox(DetailDrawRecord& record) {
    JobDetailBox* box = record.view;
    if (!box) return;
    box->AttachIme(box->AllowsTyping());
    box->SetBackColor(WinLayer::ListWindowColor());
    box->SetTabWidth(1);
    box->SetDrawFlag(DetailBoxPlainFlag, true);
}

void JobBinaryDBoxDraw::FillFields(DetailDrawRecord& record) {
    record.fields = JobDrawFieldList();
    JobDetailBox* box = record.view;
    if (!box) return;
    const COLORREF face = ButtonFaceColor();
    record.fields.Add(box->TextEndX(), FieldRightEnd, face);
    const JobContentUnit* unit = record.row ? record.row->Unit(record.side) : nullptr;
    if (!unit || unit->IsPlaceholder()) return;
    auto x = [box](int32_t index) { return box->CharX(std::max(index, 0)); };
    if (x(kHexLength) < 0) return;
    // A line in the middle of the two spaces between hex and characters.
    const int32_t middle = (x(kHexLength) + x(kDetailChars)) / 2;
    record.fields.Add(middle, middle + 1, 0xA0A0A0);
    // The positions a short row does not have.
    const int32_t extent = std::max(0, unit->EndColumn());
    if (extent < 16) {
        record.fields.Add(x(kHexLength - 3 * (16 - extent)), x(kHexLength), face);
        record.fields.Add(x(kDetailChars + extent), x(kDetailChars + 16), face);
    }
}

RawString JobBinaryDBoxDraw::DetailText(DetailDrawRecord&, JobContentUnit* unit) {
    if (!unit || unit->IsPlaceholder()) return RawString();
    return RawString::ConcatMany(unit->ColumnText(1), RawString::FromLiteral("  "), unit->ColumnText(2));
}

void JobBinaryDBoxDraw::MeasureBox(DetailDrawRecord&, DetailDrawRecord&) {}

JobDetailList JobBinaryDBoxDraw::DetailList(const JobReportUnit* row, const RawString&, const RawString&) {
    JobDetailList list;
    if (!row) return list;
    const JobBinaryUnit* a = dynamic_cast<const JobBinaryUnit*>(row->unit1);
    const JobBinaryUnit* b = dynamic_cast<const JobBinaryUnit*>(row->unit2);
    if (!a || !b) return list;
    CompareBinaryRows(list, *a, *b, 2, 1);
    list.AddMerged(SegmentSame, 2, 2);
    CompareBinaryRows(list, *a, *b, 1, 0);
    return list;
}

}  // namespace JobLayer
