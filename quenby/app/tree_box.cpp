// The table of contents.
#include "quenby/app/tree_box.h"

#include <commctrl.h>

#include <algorithm>

#include "quenby/app/command_codes.h"
#include "quenby/app/paint_pass.h"
#include "quenby/app/viewer_pieces.h"
#include "quenby/document/document_options.h"

namespace AppLayer {

using WinLayer::WinListBoxItemUnit;

namespace {

// The Ctrl keys of the tree and the commands they post.
uint16_t CtrlKeyCommand(WPARAM key) {
    switch (key) {
    case VK_LEFT:
        return CmdPreviousTab;
    case VK_RIGHT:
        return CmdNextTab;
    case 'D':
        return CmdSearchNext;
    case 'F':
        return CmdSearch;
    case 'S':
        return CmdSearchPrevious;
    case 'W':
        return CmdCloseTab;
    default:
        return 0;
    }
}

}  // namespace

GuiTreeBox::GuiTreeBox() : enter(*this), layout(textDraw) {
    creater = this;
    layout.box = this;
    hooks.AddHook(&enter);
}

GuiTreeBox::~GuiTreeBox() {
    CloseTip();
    hooks.RemoveHook(&enter);
    // Units still listed were made here; the list deletes them as its own.
    creater = nullptr;
}

bool GuiTreeBox::Shows(const JobLineUnit& line) const { return line.kind == DocLayer::KindHeading; }

WinListBoxItemUnit* GuiTreeBox::Make() { return new GuiListBoxItemUnit(); }

int32_t GuiTreeBox::TextColumn(int32_t level, bool withDots) {
    if (level < 1) return 0;
    return withDots ? level : level - 1;
}

void GuiTreeBox::PrepareLayout(HDC dc) {
    const DocumentStyle* style = CurrentStyle();
    layout.style = style;
    layout.box = this;
    layout.background = background;
    // The tree's background is the page's colour (FollowPageColour), so a
    // heading asking for that colour gets the tree's own fill.
    layout.plain = background;
    if (!style) return;
    // The screen font in page view too: there the style's base font is the
    // printer's, some five times as high.
    const HFONT font = style->textFont.handle;
    if (style == preparedStyle_ && font == preparedFont_ && layout.textHeight > 0) return;
    textDraw.ForgetFontWidths();
    SelectedFont selected(dc, font);
    const SIZE zero = TextLayout::MeasureZero(dc);
    layout.textHeight = zero.cy;
    // The row margins follow the screen font as well.
    DocLayer::StyleLength over = style->overview.overMargin, under = style->overview.underMargin;
    over.Scale(zero.cy);
    under.Scale(zero.cy);
    overMargin_ = over.value;
    underMargin_ = under.value;
    textDraw.tabs.mode = 1;
    textDraw.tabs.count = style->overview.tabStop;
    textDraw.tabs.unit = zero.cx;
    textDraw.tabs.wrapGap = style->overview.wrapOverMargin.value;
    preparedStyle_ = style;
    preparedFont_ = font;
    dots = DocLayer::JobOptions::Instance().withTreeDotMark;
}

void GuiTreeBox::BeginMeasure(WinLayer::WinDrawContext& dc, int32_t count) {
    preparedStyle_ = nullptr;
    GuiLineBox::BeginMeasure(dc, count);
}

void GuiTreeBox::SetPaintRect(WinLayer::WinDrawContext& dc, const RECT& rect, POINT origin) {
    preparedStyle_ = nullptr;
    GuiLineBox::SetPaintRect(dc, rect, origin);
}

void GuiTreeBox::MeasureItemOf(WinLayer::WinDrawContext& dc, RECT& size, int32_t, WinListBoxItemUnit& unit,
                               JobLineUnit* line) {
    if (!line || line->kind != DocLayer::KindHeading) {
        size.right = size.left;
        size.bottom = size.top;
        return;
    }
    PrepareLayout(dc.dc);
    if (!layout.style) {
        size.bottom = size.top;
        return;
    }
    MeasureLine(dc.dc, size, static_cast<GuiListBoxItemUnit&>(unit), *line);
}

void GuiTreeBox::MeasureLine(HDC dc, RECT& rect, GuiListBoxItemUnit& item, JobLineUnit& line) {
    rect.right = rect.left + kUnboundedWidth;
    if (line.kind != DocLayer::KindHeading) {
        rect.bottom = rect.top;
        return;
    }
    SelectedFont font(dc, layout.style->textFont.handle);
    item.text = WinTextData();
    const SIZE text = WrapText(layout, dc, rect, item, line.text);
    rect.bottom = rect.top + overMargin_ + underMargin_ + text.cy;
    rect.right += TextColumn(line.level, dots) * layout.textHeight;
}

void GuiTreeBox::DrawItemOf(WinLayer::WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit,
                            JobLineUnit* line) {
    if (!line || line->kind != DocLayer::KindHeading) return;
    PrepareLayout(dc.dc);
    if (!layout.style) return;
    layout.boxState = window && GetFocus() == window ? GuiLayout::BoxFocus : 0;
    PaintLine(dc.dc, rect, static_cast<GuiListBoxItemUnit&>(unit), *line);
}

void GuiTreeBox::PaintLine(HDC dc, const RECT& rect, GuiListBoxItemUnit& item, const JobLineUnit& line) {
    if (line.kind != DocLayer::KindHeading) return;
    const DocLayer::OverviewStyle& overview = layout.style->overview;
    FillItemBackground(layout, dc, rect, item, overview.backgroundColor);
    const int32_t unit = layout.textHeight;
    if (dots && line.level >= 1) {
        const int32_t h = rect.bottom - rect.top;
        const int32_t squareLeft = rect.left + (line.level - 1) * unit - 1;
        const int32_t d = h / 4;
        const int32_t left = squareLeft + (h - d) / 2;
        const int32_t top = rect.top + (h - d) / 2;
        if (d > 0) {
            WinLayer::WinShapePainter::Draw(dc, RECT{left, top, left + d, top + d}, overview.textColor,
                                            overview.textColor, 0);
        }
    }
    SelectedFont font(dc, layout.style->textFont.handle);
    RECT textRect = rect;
    textRect.left += TextColumn(line.level, dots) * unit;
    textRect.top += overMargin_;
    DrawTextRuns(layout, dc, textRect, item, line.text, overview.textColor);
}

void GuiTreeBox::ItemsRebuilt() { IndexHeadings(); }

void GuiTreeBox::IndexHeadings() {
    headings_.clear();
    int32_t index = 0;
    for (WinListBoxItemUnit& unit : items) {
        if (!(unit.flags & WinListBoxItemUnit::ItemHidden)) headings_.push_back(Heading{index, &unit});
        ++index;
    }
    indexedCount_ = index;
}

int32_t GuiTreeBox::HeadingAtOrBefore(int32_t line) {
    headingSteps = 0;
    if (line < 0 || Count() == 0) return -1;
    // The items change only through a document being set; a count that no
    // longer matches means they changed some other way.
    if (indexedCount_ != Count()) IndexHeadings();
    auto at = std::upper_bound(headings_.begin(), headings_.end(), line,
                               [](int32_t wanted, const Heading& heading) { return wanted < heading.index; });
    // A heading not laid out yet has no row: the one before it is taken.
    while (at != headings_.begin()) {
        --at;
        ++headingSteps;
        if (at->unit->Reachable()) return at->index;
    }
    return -1;
}

void GuiTreeBox::FollowPageColour() {
    const DocumentStyle* style = CurrentStyle();
    if (style) background = style->overview.backgroundColor;
}

LRESULT GuiTreeBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
    case WM_DRAWITEM:
        // The whole tree, gaps and the area below the last heading too, is
        // painted in the colour its headings are filled with, whatever the
        // system's window colour is.
        FollowPageColour();
        break;
    case WM_KEYDOWN:
        CloseTip();
        if (CtrlDown()) {
            if (wParam == 'C') {
                CopySelection();
                return 0;
            }
            const uint16_t code = CtrlKeyCommand(wParam);
            if (code) {
                PostToOwner(code);
                return 0;
            }
        }
        break;
    case WM_MOUSEWHEEL:
        CloseTip();
        if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
            const int16_t delta = GET_WHEEL_DELTA_WPARAM(wParam);
            if (delta > 0) PostToOwner(CmdFontLarger);
            if (delta < 0) PostToOwner(CmdFontSmaller);
            return 0;
        }
        break;
    case WM_VSCROLL:
    case WM_HSCROLL:
        CloseTip();
        break;
    default:
        break;
    }
    return GuiLineBox::OnMessage(message, wParam, lParam);
}

void GuiTreeBox::OnDestroying() {
    // The tip's thread is joined while the tree still exists.
    CloseTip();
    GuiLineBox::OnDestroying();
}

void GuiTreeBox::ArmTracking() {
    if (!window) return;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = enter.hoverWanted ? (TME_HOVER | TME_LEAVE) : TME_LEAVE;
    track.hwndTrack = window;
    track.dwHoverTime = enter.hoverTime;
    _TrackMouseEvent(&track);
}

bool GuiTreeBox::OnMouseHover(WPARAM, POINT point) {
    const int32_t index = HitTest(point);
    const WinListBoxItemUnit* unit = index >= 0 ? items.At(index) : nullptr;
    const JobLineUnit* line = unit ? ItemOf(*unit) : nullptr;
    if (!line || !unit->Reachable()) {
        ArmTracking();
        return false;
    }
    const RawString text = VisibleLineText(line->text);
    return tipPart.ShowTip(index, text, point);
}

bool GuiTreeBox::OnHoverMove(WPARAM, POINT point) {
    if (!tipPart.MoveTip(point)) return true;
    // Closed: the next rest of the mouse opens a tip again.
    ArmTracking();
    return false;
}

void GuiTreeBox::OnMouseLeave(WPARAM, POINT) { CloseTip(); }

}  // namespace AppLayer
