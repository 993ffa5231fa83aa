// The detail boxes.
#include "tavrel/app/detail_box.h"

#include <imm.h>

#include <algorithm>

#include "tavrel/jobs/color_settings.h"
#include "tavrel/jobs/config_store.h"
#include "tavrel/jobs/job_group.h"
#include "tavrel/jobs/job_kind_control.h"
#include "toolkit/gdi_scope.h"

namespace AppLayer {

using JobLayer::DetailDrawRecord;
using JobLayer::JobBaseDBoxDraw;
using JobLayer::JobDetailList;
using JobLayer::JobKindDBoxDraw;
using RawLayer::RawString;
using WinLayer::GdiSelection;
using WinLayer::GdiWindowDC;
using WinLayer::WinDrawContext;

namespace {

// DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP.
constexpr UINT kMeasureFormat = DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS | DT_TABSTOP;

void FillBand(HDC dc, LONG left, LONG top, LONG right, LONG bottom, COLORREF colour) {
    if (colour == JobLayer::NoColorValue || right <= left || bottom <= top) return;
    const RECT band{left, top, right, bottom};
    WinLayer::GdiBrush brush(colour);
    FillRect(dc, &band, brush.Handle());
}

// The colour of a segment kind on a side; NoColorValue for none.
COLORREF SegmentColour(uint32_t kind, uint32_t side) {
    const JobLayer::ColorTable& colours = JobLayer::ConfigStore::Instance().colors;
    switch (kind) {
    case JobLayer::SegmentOnly1:
        return side == 0 ? colours.detailOnly1Color : colours.detailBlankColor;
    case JobLayer::SegmentOnly2:
        return side == 0 ? colours.detailBlankColor : colours.detailOnly2Color;
    case JobLayer::SegmentChanged:
        return side == 0 ? colours.detailDiff1Color : colours.detailDiff2Color;
    default:
        return JobLayer::NoColorValue;
    }
}

}  // namespace

GuiDetailBox::GuiDetailBox() : draw(&JobBaseDBoxDraw::Shared()) {}

void GuiDetailBox::Construct() {
    WinEditBox::Construct();
    options = static_cast<uint16_t>(options | OptionReadOnly);
}

bool GuiDetailBox::AllowsTyping() const { return (options & OptionReadOnly) == 0; }

void GuiDetailBox::AttachIme(bool attach) {
    if (attach) {
        options = static_cast<uint16_t>(options | OptionImeAttached);
        ReattachIme();
        return;
    }
    if (window && (options & OptionImeAttached)) ImmAssociateContext(window, nullptr);
    options = static_cast<uint16_t>(options & ~OptionImeAttached);
}

void GuiDetailBox::SetBackColor(COLORREF color) { backgroundColour = color; }

void GuiDetailBox::SetTabWidth(int32_t characters) { tabStop = std::max(characters, 1); }

void GuiDetailBox::SetDrawFlag(uint32_t flag, bool on) { drawFlags = on ? (drawFlags | flag) : (drawFlags & ~flag); }

int32_t GuiDetailBox::CharX(int32_t index) const {
    const std::vector<int32_t>& widths = drawPart.widths;
    const int32_t end = std::min(std::max(index, 0), static_cast<int32_t>(widths.size()));
    int64_t x = 0;
    for (int32_t i = 0; i < end; ++i) x += widths[static_cast<size_t>(i)];
    return static_cast<int32_t>(std::min<int64_t>(x, 0x7FFFFFFF));
}

int32_t GuiDetailBox::TextEndX() const { return CharX(static_cast<int32_t>(drawPart.widths.size())); }

int32_t GuiDetailBox::ClientWidth() const {
    const RECT area = AreaOfClient();
    return std::max<int32_t>(area.right - area.left, 0);
}

int32_t GuiDetailBox::TextWidth(const RawString& measured) const {
    GdiWindowDC screen(nullptr);
    WinDrawContext dc(screen.Get());
    GdiSelection keepFont(dc.dc, GetEffectiveFont().handle);
    RECT rect{0, 0, 0x7FFF, 0x7FFF};
    MeasureTextRange(dc, rect, kMeasureFormat, measured, measured.All(), tabStop);
    return rect.right - rect.left;
}

void GuiDetailBox::PaintUnderText(WinDrawContext& dc, const RECT& inner, POINT offset) {
    const uint32_t side = record.side & 1;
    const std::vector<int32_t>& widths = drawPart.widths;
    const int64_t laidOut = static_cast<int64_t>(widths.size());
    // Text the platform shapes: each segment's bands lie over the glyphs of
    // its characters, wherever the platform set them.
    std::vector<int32_t> at;
    if (!drawPart.lines.empty() && drawPart.ShapedLine(drawPart.lines.front(), at)) {
        const int32_t count = static_cast<int32_t>(at.size()) - 1;
        const WinLayer::WinShapedPlace* shaped = drawPart.places.data() + drawPart.lines.front().first;
        std::vector<WinLayer::WinCell> cells;
        int32_t first = 0;
        for (const JobLayer::JobDetailUnit& segment : segments) {
            const int32_t length = std::max<int32_t>(side == 0 ? segment.length1 : segment.length2, 0);
            const int32_t last = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(first) + length, count));
            const COLORREF colour = SegmentColour(segment.kind, side);
            if (colour != JobLayer::NoColorValue && last > first) {
                WinLayer::WinShapedText::Cells(at.data(), shaped, first, last, cells);
                for (const WinLayer::WinCell& cell : cells) {
                    const int64_t left = static_cast<int64_t>(inner.left) + cell.first - offset.x;
                    const int64_t right = static_cast<int64_t>(inner.left) + cell.second - offset.x;
                    if (right > inner.left && left < inner.right) {
                        FillBand(dc.dc, static_cast<LONG>(std::max<int64_t>(left, inner.left)), inner.top,
                                 static_cast<LONG>(std::min<int64_t>(right, inner.right)), inner.bottom, colour);
                    }
                }
            }
            first = last;
            if (first >= count) break;
        }
        PaintFields(dc, inner, offset);
        return;
    }
    // One walk with a running x: each segment starts where the one before
    // it ended.
    int64_t start = 0;
    int64_t x = 0;
    for (const JobLayer::JobDetailUnit& segment : segments) {
        const int64_t length = std::max<int32_t>(side == 0 ? segment.length1 : segment.length2, 0);
        const int64_t end = std::min(start + length, laidOut);
        int64_t width = 0;
        for (int64_t i = std::min(start, laidOut); i < end; ++i) width += widths[static_cast<size_t>(i)];
        const COLORREF colour = SegmentColour(segment.kind, side);
        if (width > 0 && colour != JobLayer::NoColorValue) {
            const int64_t left = inner.left + x - offset.x;
            const int64_t right = left + width;
            if (right > inner.left && left < inner.right) {
                FillBand(dc.dc, static_cast<LONG>(std::max<int64_t>(left, inner.left)), inner.top,
                         static_cast<LONG>(std::min<int64_t>(right, inner.right)), inner.bottom, colour);
            }
        }
        x += width;
        start += length;
        if (start >= laidOut) break;
    }
    PaintFields(dc, inner, offset);
}

void GuiDetailBox::PaintFields(WinDrawContext& dc, const RECT& inner, POINT offset) {
    const LONG base = inner.left - offset.x;
    for (const JobLayer::JobDrawFieldUnit& field : record.fields) {
        const int64_t left = static_cast<int64_t>(base) + field.xStart;
        const int64_t right = field.xEnd == JobLayer::FieldRightEnd
                                  ? static_cast<int64_t>(inner.right) + marginRight
                                  : static_cast<int64_t>(base) + field.xEnd;
        const int64_t clipLeft = std::max<int64_t>(left, inner.left - marginLeft);
        const int64_t clipRight = std::min<int64_t>(right, static_cast<int64_t>(inner.right) + marginRight);
        FillBand(dc.dc, static_cast<LONG>(clipLeft), inner.top - marginTop, static_cast<LONG>(clipRight),
                 inner.bottom + marginBottom, field.color);
    }
}

int32_t MeasureLineHeight(WinLayer::WinView& view, const WinLayer::WinFontParameter& font) {
    GdiWindowDC windowDc(view.window);
    WinDrawContext dc(windowDc.Get());
    GdiSelection keepFont(dc.dc, font.handle);
    RECT rect{0, 0, 32767, 32767};
    const RawString empty;
    WinLayer::WinView::MeasureTextRange(dc, rect, DT_SINGLELINE | DT_NOPREFIX, empty, empty.All(), 0);
    return rect.bottom - rect.top;
}

void ApplyDraw(GuiDetailBox& box, DetailDrawRecord& record, JobKindDBoxDraw& draw, const RawString& text,
               const JobDetailList& segments) {
    box.draw = &draw;
    draw.PrepareBox(record);
    box.segments = segments;
    box.Reset();
    box.SetText(text);
    box.UpdateWindowText();
    // The layout first: the fields line up with the laid-out text.
    box.SyncDisplayText();
    draw.FillFields(record);
    if (box.window) InvalidateRect(box.window, nullptr, FALSE);
}

void DetailBoxPair::ShowJob() {
    if (!box1 || !box2) return;
    DetailDrawRecord& record1 = box1->record;
    DetailDrawRecord& record2 = box2->record;
    if (!record1.job || !record1.row) return;
    JobLayer::JobGroupUnit& job = *record1.job;
    JobLayer::JobKindServer* pool = JobLayer::JobGroupList::Instance().KindPool();
    JobKindDBoxDraw* kindDraw = pool ? pool->CreateDraw(job.kind) : nullptr;
    if (!kindDraw) kindDraw = &JobBaseDBoxDraw::Shared();
    record2.job = record1.job;
    record2.row = record1.row;
    // The boxes take the kind's tab stops before the measure: the columns
    // are laid out in the tabs the text is then drawn with, not in those
    // of the kind shown before.
    kindDraw->PrepareBox(record1);
    kindDraw->PrepareBox(record2);
    kindDraw->MeasureBox(record1, record2);
    JobLayer::JobContentUnit* unit1 = record1.row->Unit(0);
    JobLayer::JobContentUnit* unit2 = record1.row->Unit(1);
    const RawString text1 = kindDraw->DetailText(record1, unit1).As(RawLayer::KindUtf16);
    const RawString text2 = kindDraw->DetailText(record2, unit2).As(RawLayer::KindUtf16);
    segments = kindDraw->DetailList(record1.row, text1, text2);
    // A row on one side only has no character comparison: its whole text
    // is that side's own.
    const uint32_t rowKind = record1.row->kind;
    if (segments.IsEmpty() && (rowKind == JobLayer::RowOnly1 || rowKind == JobLayer::RowOnly2)) {
        if (rowKind == JobLayer::RowOnly1) {
            segments.Add(JobLayer::SegmentOnly1, text1.Length(), 0);
        } else {
            segments.Add(JobLayer::SegmentOnly2, 0, text2.Length());
        }
    }
    JobKindDBoxDraw& draw1 = (!unit1 || unit1->IsPlaceholder()) ? JobBaseDBoxDraw::Shared() : *kindDraw;
    JobKindDBoxDraw& draw2 = (!unit2 || unit2->IsPlaceholder()) ? JobBaseDBoxDraw::Shared() : *kindDraw;
    ApplyDraw(*box1, record1, draw1, &draw1 == kindDraw ? text1 : RawString(RawLayer::KindUtf16), segments);
    ApplyDraw(*box2, record2, draw2, &draw2 == kindDraw ? text2 : RawString(RawLayer::KindUtf16), segments);
}

void DetailBoxPair::Reset() {
    if (!box1 || !box2) return;
    box1->record.Init(box1, 0);
    box2->record.Init(box2, 1);
    segments = JobDetailList();
    const RawString empty(RawLayer::KindUtf16);
    ApplyDraw(*box1, box1->record, JobBaseDBoxDraw::Shared(), empty, segments);
    ApplyDraw(*box2, box2->record, JobBaseDBoxDraw::Shared(), empty, segments);
}

int32_t DetailBoxPair::ApplyFont(WinLayer::WinFontParameter* font) {
    if (!box1 || !box2) return 0;
    for (GuiDetailBox* box : {box1, box2}) {
        box->font = font;
        box->UpdateLineMetrics();
    }
    // The row's columns, its laid-out text and the fields after it were
    // measured in the old font (a refitted font is already drawn in its
    // new size): the boxes show their row again, or nothing, in this one.
    if (box1->record.job && box1->record.row) {
        ShowJob();
    } else {
        Reset();
    }
    const int32_t newHeight = MeasureLineHeight(*box1, box1->GetEffectiveFont());
    const int32_t change = lineHeight - newHeight;
    lineHeight = newHeight;
    return change;
}

bool DetailBoxPair::ShowsJob(const JobLayer::JobGroupUnit* job) const {
    return job && ((box1 && box1->record.job == job) || (box2 && box2->record.job == job));
}

}  // namespace AppLayer
