// The painting of the folder box: each row as two cells coloured by the row
// kind and the selection, the line marks, the title row in the sides' state
// colours, and the dividing zone, focus frame and caret over them. Every
// pen and brush made here is gone at the end of the operation that made it,
// and the DC gets back what was selected into it.
#include <algorithm>

#include "base/clipboard.h"
#include "tavrel/app/command_codes.h"
#include "tavrel/app/folder_box.h"
#include "tavrel/jobs/binary/binary_kind.h"
#include "tavrel/jobs/config_store.h"
#include "toolkit/dialog.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/view.h"

namespace AppLayer {

using JobLayer::ColorTable;
using JobLayer::JobContentUnit;
using JobLayer::NoColorValue;
using WinLayer::WinListBoxItemUnit;

namespace {

constexpr COLORREF kSelectedFocus = 0xFFD0C0;
constexpr COLORREF kSelectedNoFocus = 0xFFEAE4;
constexpr COLORREF kCellPen = 0xC0C0C0;
constexpr COLORREF kDividerPen = 0xA0A0A0;
constexpr COLORREF kFloatOuter = 0x404040;
constexpr COLORREF kDropFrame = 0x0000FF;
constexpr int32_t kMarkStrip = 10;
constexpr int32_t kFocusFrame = 2;
constexpr int32_t kLabelPadding = 4;
// However large the view font, the box shows its title row and this many
// rows; a font fitted to that is never made smaller than the second value.
constexpr int32_t kFewestRows = 4;
constexpr int32_t kSmallestFittedFont = 10;
// The detail boxes under the box show one line each in the same font.
constexpr int32_t kDetailLines = 2;

// The selection colour of the other side: each channel moved three
// quarters of the way to white.
COLORREF SelectedOtherSide() {
    static const COLORREF colour = [] {
        COLORREF result = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const unsigned c = (kSelectedFocus >> shift) & 0xFF;
            result |= (c + (((255 - c) * 192) >> 8)) << shift;
        }
        return result;
    }();
    return colour;
}

COLORREF DividerFill() {
    static const COLORREF colour = GetSysColor(COLOR_3DFACE);
    return colour;
}

const ColorTable& Colours() { return JobLayer::ConfigStore::Instance().colors; }

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    WinLayer::GdiBrush brush(colour);
    FillRect(dc, &rect, brush.Handle());
}

void Line(HDC dc, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

// The two cells of a row rectangle at the dividing point.
RECT CellOf(const RECT& rect, int32_t right, int32_t dividing, uint32_t side) {
    if (side == 0) return RECT{rect.left, rect.top, dividing - 2, rect.bottom};
    return RECT{dividing + 2, rect.top, right, rect.bottom};
}

bool Floating(const JobContentUnit* unit) { return unit && (unit->markKind & 0x06) == 0x02; }

// Lets a side's unit draw only inside its own cell: a side scrolled
// sideways must never paint over the other side or the dividing zone.
class CellClip {
public:
    CellClip(HDC dc, const RECT& cell) : dc_(dc), saved_(SaveDC(dc)) {
        if (saved_) IntersectClipRect(dc_, cell.left, cell.top, cell.right, cell.bottom);
    }
    ~CellClip() {
        if (saved_) RestoreDC(dc_, saved_);
    }
    bool Held() const { return saved_ != 0; }
    CellClip(const CellClip&) = delete;
    CellClip& operator=(const CellClip&) = delete;

private:
    HDC dc_;
    int saved_;
};

}  // namespace

GuiFolderBoxDraw::~GuiFolderBoxDraw() {
    if (box.font == &fitted_) box.font = fittedFrom_;
    if (fitted_.handle) DeleteObject(fitted_.handle);
}

bool GuiFolderBoxDraw::FitFont(HDC dc) {
    // The box's own choice: a fitted copy stands for the font it was made
    // from until the box takes another one.
    if (box.font == &fitted_) box.font = fittedFrom_;
    const WinLayer::WinFontParameter* chosenFrom = box.font;
    const WinLayer::WinFontParameter& chosen = box.GetEffectiveFont();
    if (chosen.handle) SelectObject(dc, chosen.handle);
    RECT client{};
    TEXTMETRICW metrics{};
    // With the pixels the detail boxes hold for their font counted in, the
    // height is the same before and after they follow the fitted font.
    const int32_t height = box.window && ::GetClientRect(box.window, &client)
                               ? (client.bottom - client.top) - box.marginTop - box.marginBottom + view.heightLent
                               : 0;
    // A minimized or not yet sized box says nothing about the font. Else
    // the title row and at least this many rows, each 4 pixels above the
    // font's height, and one line of each detail box; never below a still
    // readable height.
    const int32_t fits =
        std::max<int32_t>((height - 4 * (1 + kFewestRows)) / (1 + kFewestRows + kDetailLines), kSmallestFittedFont);
    if (height > 0 && GetTextMetricsW(dc, &metrics) && metrics.tmHeight > fits) {
        LOGFONTW description;
        WinLayer::WinFontParameter::CopyLogFont(description, chosen.description);
        // A positive height asks for the cell height, which the rows measure.
        description.lfHeight = fits;
        description.lfWidth = 0;
        const bool same = fitted_.handle && fittedFrom_ == box.font &&
                          WinLayer::WinFontParameter::SameDescription(fitted_.description, description);
        HFONT made = same ? nullptr : CreateFontIndirectW(&description);
        if (same || made) {
            if (made) {
                SelectObject(dc, made);
                if (fitted_.handle) DeleteObject(fitted_.handle);
                fitted_.handle = made;
                WinLayer::WinFontParameter::CopyLogFont(fitted_.description, description);
            }
            SelectObject(dc, fitted_.handle);
            fittedFrom_ = box.font;
            box.font = &fitted_;
        }
    }
    // Only the box's height tells the same choice apart from the last one:
    // a font the box newly took was fitted when it took it.
    const WinLayer::WinFontParameter* shown = box.font;
    const HFONT handle = box.GetEffectiveFont().handle;
    const bool changed = chosenFrom == chosen_ && (shown != shown_ || handle != shownHandle_);
    chosen_ = chosenFrom;
    shown_ = shown;
    shownHandle_ = handle;
    return changed;
}

void GuiFolderBoxDraw::MeasureRow(WinLayer::WinDrawContext& dc, SIZE& size) {
    if (FitFont(dc.dc) && box.owner && box.owner->window) {
        PostMessageW(box.owner->window, WM_COMMAND, MAKEWPARAM(0, CmdViewFontFitted), 0);
    }
    RECT sample{0, 0, 0, 0};
    DrawTextW(dc.dc, L"A", 1, &sample, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    const int32_t height = (sample.bottom - sample.top) + 4;
    WinLayer::WinListBox::MeasureSampleRow(dc, size);
    size.cy = height;
    view.rowHeight = height;
    view.viewWidth = box.clientRect.right - box.clientRect.left;
    // The kinds take the width of one character as their caret cell.
    const int32_t cell = sample.right - sample.left;
    JobGroupUnit& job = *view.job;
    for (uint32_t side = 0; side < 2; ++side) {
        if (job.Side(side).kindData) job.Side(side).kindData->UpdateMetrics(dc.dc, height, cell);
    }
    // The title row is one row high; the item area starts below it.
    const int32_t before = box.header.Height();
    box.header.rect = RECT{0, 0, view.viewWidth, height};
    box.clientRect.top += height - before;
}

void GuiFolderBoxDraw::MeasureItem(RECT& size) { size.bottom = size.top + view.rowHeight; }

COLORREF GuiFolderBoxDraw::RowColor(const WinListBoxItemUnit& unit, const JobReportUnit& row, uint32_t side) const {
    COLORREF base = WinLayer::ListWindowColor();
    if (unit.flags & WinListBoxItemUnit::ItemSelected) {
        if (side == box.CurrentSide()) {
            base = (box.mode & WinLayer::WinListBoxInfo::ModeFocus) ? kSelectedFocus : kSelectedNoFocus;
        } else {
            base = SelectedOtherSide();
        }
    }
    const ColorTable& colours = Colours();
    COLORREF kind = NoColorValue;
    switch (row.kind) {
    case JobLayer::RowChanged:
        kind = side == 0 ? colours.lineDiff1Color : colours.lineDiff2Color;
        break;
    case JobLayer::RowOnly1:
        kind = side == 0 ? colours.lineOnly1Color : colours.lineBlankColor;
        break;
    case JobLayer::RowOnly2:
        kind = side == 0 ? colours.lineBlankColor : colours.lineOnly2Color;
        break;
    default:
        break;
    }
    if (kind == NoColorValue) return base;
    return RawLayer::BlendColor(kind, base, WinLayer::ListWindowColor(), colours.lineColorOverwrap);
}

void GuiFolderBoxDraw::DrawItem(HDC dc, const RECT& rect, int32_t index, const WinListBoxItemUnit& unit,
                                const JobReportUnit& row) {
    const ColorTable& colours = Colours();
    JobGroupUnit& job = *view.job;
    const uint32_t current = box.CurrentSide();
    if (current < 2 && index == job.Side(current).cursorRow) caretRow_ = rect;
    if (index == box.Drag().target) dropRow_ = rect;
    WinLayer::GdiPen pen(PS_SOLID, 1, kCellPen);
    WinLayer::GdiSelection keepPen(dc, pen.Get());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldText = SetTextColor(dc, WinLayer::ListTextColor());
    for (uint32_t side = 0; side < 2; ++side) {
        const RECT cell = CellOf(rect, box.clientRect.right, view.dividingPoint, side);
        const COLORREF colour = RowColor(unit, row, side);
        if (colours.lineColorSeparation) {
            // A one-pixel line of the window colour between rows.
            Fill(dc, cell, WinLayer::ListWindowColor());
            Fill(dc, RECT{cell.left, cell.top, cell.right, cell.bottom - 1}, colour);
        } else {
            Fill(dc, cell, colour);
        }
        JobContentUnit* content = row.Unit(side);
        if (!content) continue;
        JobLayer::JobDrawContext context;
        context.dc = dc;
        context.rect = cell;
        context.side = &job.Side(side);
        context.row = index;
        context.margin = view.kindMargin;
        context.report = &row;
        context.hideFirstColumn = job.edit.simple != 0;
        {
            CellClip clip(dc, cell);
            if (clip.Held()) content->Draw(context);
        }
        if (content->markKind != 0) DrawMarks(dc, cell, index, *content, side);
    }
    SetTextColor(dc, oldText);
    SetBkMode(dc, oldMode);
}

void GuiFolderBoxDraw::DrawMarks(HDC dc, const RECT& cell, int32_t index, const JobContentUnit& unit,
                                 uint32_t side) {
    const ColorTable& colours = Colours();
    const bool floating = (unit.markKind & 0x02) != 0;
    const COLORREF strip = floating ? colours.floatedColor : colours.connectedColor;
    if (strip != NoColorValue) {
        const RECT inner = side == 0 ? RECT{cell.right - kMarkStrip, cell.top, cell.right, cell.bottom}
                                     : RECT{cell.left, cell.top, cell.left + kMarkStrip, cell.bottom};
        Fill(dc, inner, strip);
    }
    if (!Floating(&unit)) return;
    // One double frame around a run of floating lines: its top edge on the
    // first, its bottom edge on the last.
    const JobLayer::JobReportList& rows = view.job->rows;
    auto sameRun = [&](int32_t at) {
        if (at < 0 || at >= rows.Count()) return false;
        const JobContentUnit* other = rows.At(at)->Unit(side);
        return Floating(other) && other->markSerial == unit.markSerial;
    };
    const bool top = !sameRun(index - 1);
    const bool bottom = !sameRun(index + 1);
    const COLORREF innerColour = colours.floatedColor == NoColorValue ? kFloatOuter : colours.floatedColor;
    {
        WinLayer::GdiPen pen(PS_SOLID, 1, innerColour);
        WinLayer::GdiSelection keep(dc, pen.Get());
        Line(dc, cell.left + 1, cell.top, cell.left + 1, cell.bottom);
        Line(dc, cell.right - 2, cell.top, cell.right - 2, cell.bottom);
        if (top) Line(dc, cell.left, cell.top + 1, cell.right, cell.top + 1);
        if (bottom) Line(dc, cell.left, cell.bottom - 2, cell.right, cell.bottom - 2);
    }
    WinLayer::GdiPen outer(PS_SOLID, 1, kFloatOuter);
    WinLayer::GdiSelection keep(dc, outer.Get());
    Line(dc, cell.left, cell.top, cell.left, cell.bottom);
    Line(dc, cell.right - 1, cell.top, cell.right - 1, cell.bottom);
    if (top) Line(dc, cell.left, cell.top, cell.right, cell.top);
    if (bottom) Line(dc, cell.left, cell.bottom - 1, cell.right, cell.bottom - 1);
}

COLORREF GuiFolderBoxDraw::TitleColor(uint32_t side, COLORREF base) const {
    const ColorTable& colours = Colours();
    const JobGroupUnit& job = *view.job;
    const uint16_t flags = job.Content(side).flags;
    const bool editable = side == 0 ? job.edit.edit1 != 0 : job.edit.edit2 != 0;
    COLORREF state;
    if (job.Path(side).IsEmpty() || (flags & JobLayer::ContentNoFile)) {
        state = colours.nullPathColor;
    } else if (flags & JobLayer::ContentUnreadable) {
        state = colours.readFailColor;
    } else if (flags & JobLayer::ContentCut) {
        state = colours.overSizeColor;
    } else if (flags & JobLayer::ContentChanged) {
        state = colours.modifiedColor;
    } else if (editable) {
        state = colours.editableColor;
    } else {
        return base;
    }
    if (state == NoColorValue) return base;
    return RawLayer::BlendColor(state, base, WinLayer::ListWindowColor(), colours.titleColorOverwrap);
}

void GuiFolderBoxDraw::DrawEndItem(HDC dc, const RECT& rect) {
    JobGroupUnit& job = *view.job;
    const COLORREF base = box.ItemColor(box.header);
    WinLayer::GdiPen pen(PS_SOLID, 1, kCellPen);
    WinLayer::GdiSelection keepPen(dc, pen.Get());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldText = SetTextColor(dc, WinLayer::ListTextColor());
    for (uint32_t side = 0; side < 2; ++side) {
        const RECT cell = CellOf(rect, rect.right, view.dividingPoint, side);
        Fill(dc, cell, TitleColor(side, base));
        JobLayer::JobContentList& content = job.Content(side);
        if (content.header) {
            JobLayer::JobDrawContext context;
            context.dc = dc;
            context.rect = cell;
            context.side = &job.Side(side);
            context.row = WinLayer::WinListBoxInfo::kHeader;
            context.margin = view.kindMargin;
            context.hideFirstColumn = job.edit.simple != 0;
            CellClip clip(dc, cell);
            if (clip.Held()) content.header->Draw(context);
        }
        const RawLayer::RawString& label = job.Side(side).encodingText;
        // Where the label stands, in the box's client coordinates: a click
        // there opens the kind's side menu (the binary encodings).
        job.Side(side).encodingRect = RECT{0, 0, 0, 0};
        if (label.IsEmpty()) continue;
        // The encoding label at the right end of the title cell.
        WinLayer::WinDrawContext context(dc);
        RECT size{0, 0, 0, 0};
        WinLayer::WinView::MeasureTextRange(context, size, DT_SINGLELINE | DT_NOPREFIX, label, label.All(), 1);
        const LONG width = (size.right - size.left) + 2 * kLabelPadding;
        RECT box{cell.right - width, cell.top, cell.right, cell.bottom};
        if (job.kind.kind == JobLayer::KindBinary) {
            // The character column's title fills the column. Where the
            // label would cover it, it stands just left of the column
            // instead, over the end of the hex titles.
            const JobLayer::JobSideRecord& record = job.Side(side);
            const LONG column = cell.left - record.scrollX + record.layoutWidth[0] + record.layoutWidth[1];
            const LONG textLeft = column + view.kindMargin;
            const LONG textRight = column + record.layoutWidth[2] - view.kindMargin;
            if (box.left < textRight && textLeft < box.right && column - 1 - width >= cell.left) {
                box.right = column - 1;
                box.left = box.right - width;
            }
        }
        box.left = std::max(box.left, cell.left);
        job.Side(side).encodingRect = box;
        const COLORREF back = Colours().charSetBackColor;
        if (back != NoColorValue) Fill(dc, box, back);
        RECT text{box.left + kLabelPadding, box.top, box.right, box.bottom};
        WinLayer::WinView::DrawTextRange(context, text, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER, label, label.All(),
                                         1);
        Line(dc, box.left, box.top, box.left, box.bottom);
    }
    Line(dc, rect.left, rect.bottom - 1, rect.right, rect.bottom - 1);
    SetTextColor(dc, oldText);
    SetBkMode(dc, oldMode);
}

void GuiFolderBoxDraw::DrawOverlay(HDC dc, const RECT& rect) {
    const int32_t d = view.dividingPoint;
    Fill(dc, RECT{d - 2, rect.top, d + 2, rect.bottom}, DividerFill());
    {
        WinLayer::GdiPen pen(PS_SOLID, 1, kDividerPen);
        WinLayer::GdiSelection keep(dc, pen.Get());
        Line(dc, d - 1, rect.top, d - 1, rect.bottom);
        Line(dc, d + 1, rect.top, d + 1, rect.bottom);
    }
    PaintDropTarget(dc);
    DrawFocusFrame(dc, rect);
    PlaceCaret();
}

void GuiFolderBoxDraw::PaintDropTarget(HDC dc) {
    const LineDragState& drag = box.Drag();
    // The target row's rectangle as this paint drew it: none when the row
    // was not painted.
    const RECT row = dropRow_;
    dropRow_ = RECT{};
    if (drag.state != LineDragState::LineDrag || !drag.dropAllowed || IsRectEmpty(&row)) return;
    const RECT cell = CellOf(row, box.clientRect.right, view.dividingPoint, drag.otherSide);
    WinLayer::GdiBrush brush(kDropFrame);
    FrameRect(dc, &cell, brush.Handle());
}

void GuiFolderBoxDraw::DrawFocusFrame(HDC dc, const RECT& rect) {
    const uint32_t side = box.CurrentSide();
    if (!(box.mode & WinLayer::WinListBoxInfo::ModeFocus) || side > 1) return;
    const ColorTable& colours = Colours();
    JobLayer::JobSideRecord& record = view.job->Side(side);
    // Bit 1 of the side's IME word: a composition is under way.
    COLORREF colour = colours.frameFocusColor;
    if (record.imeState & 0x1) {
        colour = colours.frameImeColor;
    } else if (view.job->kind.kind == JobLayer::KindBinary && JobLayer::BinaryInsertMode(record)) {
        colour = colours.frameInsertModeColor;
    }
    if (colour == NoColorValue) return;
    const RECT area = CellOf(rect, rect.right, view.dividingPoint, side);
    Fill(dc, RECT{area.left, area.top, area.right, area.top + kFocusFrame}, colour);
    Fill(dc, RECT{area.left, area.bottom - kFocusFrame, area.right, area.bottom}, colour);
    Fill(dc, RECT{area.left, area.top, area.left + kFocusFrame, area.bottom}, colour);
    Fill(dc, RECT{area.right - kFocusFrame, area.top, area.right, area.bottom}, colour);
}

void GuiFolderBoxDraw::PlaceCaret() {
    RECT caret{};
    const uint32_t side = box.CurrentSide();
    JobGroupUnit& job = *view.job;
    if (side < 2 && !IsRectEmpty(&caretRow_)) {
        JobLayer::JobSideRecord& record = job.Side(side);
        const int32_t row = record.cursorRow;
        if (record.cursorColumn != -1) {
            if (const JobContentUnit* unit = RealUnit(job, row, side)) {
                JobLayer::JobDrawContext context;
                context.rect = CellOf(caretRow_, box.clientRect.right, view.dividingPoint, side);
                context.side = &record;
                context.row = row;
                context.margin = view.kindMargin;
                const RECT place = unit->CaretRect(context, record.cursorColumn);
                const RECT area = unit->TextAreaRect(context);
                if (!IntersectRect(&caret, &place, &area)) caret = RECT{};
            }
        }
    }
    caretRow_ = RECT{};
    {
        SectionLock hold(view.lock);
        view.caret = caret;
    }
    if (!IsRectEmpty(&caret) && box.window) {
        PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(box.controlId, CmdDrawNotice), 0);
    }
}

}  // namespace AppLayer
