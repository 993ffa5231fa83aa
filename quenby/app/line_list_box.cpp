// The viewer's list layer over the toolkit list.
#include "quenby/app/line_list_box.h"

#include "quenby/app/tab_bar.h"
#include "quenby/app/viewer_pieces.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace AppLayer {

using RawLayer::RawString;
using WinLayer::WinDrawContext;
using WinLayer::WinListBoxItemUnit;

namespace {

constexpr UINT kRowFormat = DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER | DT_EXPANDTABS;
constexpr int kTabLength = 4;

}  // namespace

RawString VisibleLineText(const RawString& text) {
    RawString visible = RawString::ReserveAs(text.Kind(), text.Length());
    const int32_t length = text.Length();
    int32_t start = 0;
    for (int32_t pos = 0; pos < length;) {
        if (text.UnitAt(pos) != DocLayer::MarkOpen) {
            ++pos;
            continue;
        }
        visible.AppendRange(text, RawLayer::RawRange{start, pos});
        const int32_t close = text.FindChar(RawLayer::RawRange{pos + 1, length}, DocLayer::MarkClose);
        pos = close < length ? close + 1 : length;
        start = pos;
    }
    visible.AppendRange(text, RawLayer::RawRange{start, length});
    return visible;
}

void GuiLineListBox::Construct(uint32_t styleBits) {
    WinListBox::Construct();
    style |= styleBits;
    exStyle |= WS_EX_ACCEPTFILES;
}

bool GuiLineListBox::Shows(const JobLineUnit& line) const { return line.kind != DocLayer::KindHidden; }

void GuiLineListBox::SetDocument(JobLineList* document) {
    document_ = document;
    ClearItems();
    scroll = POINT{0, 0};
    if (document) {
        for (JobLineUnit& line : *document) {
            WinListBoxItemUnit* unit = AddItem(&line);
            if (!Shows(line)) unit->flags |= WinListBoxItemUnit::ItemHidden;
        }
    }
    ItemsRebuilt();
}

int32_t GuiLineListBox::TopLine() {
    RefreshIfDirty();
    if (PlacedCurrent()) {
        // Every scroll step asks: found by bisection, not by a walk from
        // the first line.
        if (placed.empty()) return 0;
        size_t at = static_cast<size_t>(PlacedAt(scroll.y));
        if (placed[at]->rect.bottom <= scroll.y) ++at;
        return at < placed.size() ? PlacedIndex(at) : 0;
    }
    int32_t index = 0;
    for (const WinListBoxItemUnit& unit : items) {
        if (unit.Reachable() && unit.rect.bottom > scroll.y) return index;
        ++index;
    }
    return 0;
}

void GuiLineListBox::SetTopLine(int32_t index) {
    RefreshIfDirty();
    const WinListBoxItemUnit* unit = index >= 0 && index < Count() ? ItemAt(index) : nullptr;
    // The first line shows the page from its top (in page view the top
    // margin and header band stand above it).
    scroll.y = unit && index > 0 ? unit->rect.top : 0;
    ClampScroll();
    UpdateScroll();
}

int32_t GuiLineListBox::PlaceToKeep() {
    // A list not laid out since its items were set (a document just shown)
    // has no place yet, and finding one would lay it out in the old form.
    if (placedCount < 0 || PrintJobRuns()) return -1;
    return TopLine();
}

void GuiLineListBox::RestorePlace(int32_t top) {
    if (top < 0 || PrintJobRuns()) return;
    SetTopLine(top);
    if (cursor >= 0) ScrollIntoView(cursor);
}

void GuiLineListBox::SetPageMode(int32_t height, const RECT& margins) {
    if (height < 1) {
        drawFlags &= ~static_cast<uint32_t>(DrawPageMode);
        pageHeight = 0;
        pageMargins = RECT{};
    } else {
        drawFlags |= DrawPageMode;
        pageHeight = height;
        pageMargins = margins;
    }
    layoutPending = 1;
}

int32_t GuiLineListBox::HitTestPage(POINT point) {
    if (PageMode() && pageHeight > 0) {
        const int32_t y = ToLogical(point.y) - marginTop + scroll.y;
        int32_t inPage = y % pageHeight;
        if (inPage < 0) inPage += pageHeight;
        if (inPage < pageMargins.top || inPage >= pageHeight - pageMargins.bottom) return kNone;
    }
    return HitTest(point);
}

void GuiLineListBox::ClampAfterResize() {
    ClampScroll();
    UpdateScroll();
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void GuiLineListBox::SetPrintJob(bool on) {
    if (on) {
        pageState |= PagePrintJob;
        return;
    }
    if (!PrintJobRuns()) return;
    pageState &= static_cast<uint16_t>(~PagePrintJob);
    RefreshIfDirty();
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void GuiLineListBox::RefreshNoPaint() {
    if (PrintJobRuns()) {
        layoutPending = 1;
        return;
    }
    WinListBoxR<JobLineUnit>::RefreshNoPaint();
}

void GuiLineListBox::RefreshIfDirty() {
    if (PrintJobRuns()) return;
    WinListBoxR<JobLineUnit>::RefreshIfDirty();
}

LRESULT GuiLineListBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        if (PrintJobRuns()) {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(window, &paint);
            if (dc) {
                HBRUSH brush = CreateSolidBrush(background);
                if (brush) {
                    FillRect(dc, &paint.rcPaint, brush);
                    DeleteObject(brush);
                }
            }
            EndPaint(window, &paint);
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // A press in a page margin belongs to no line: the selection stays.
        if (PageMode() && HitTestPage(WinLayer::PointFromLParam(lParam)) == kNone) {
            if (window) SetFocus(window);
            return 0;
        }
        break;
    case WM_SIZE: {
        const LRESULT answer = WinListBoxR<JobLineUnit>::OnMessage(message, wParam, lParam);
        ClampAfterResize();
        return answer;
    }
    case WM_DROPFILES:
        HandleDroppedFiles(*this, reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        break;
    }
    return WinListBoxR<JobLineUnit>::OnMessage(message, wParam, lParam);
}

void GuiLineListBox::DrawItemOf(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit& unit,
                                JobLineUnit* line) {
    FillBackground(dc, rect, ItemColor(unit));
    if (!line) return;
    const RawString shown = VisibleLineText(line->text);
    RECT textRect = rect;
    textRect.left += ListItemInsets().left;
    textRect.right -= ListItemInsets().right;
    SetBkMode(dc.dc, TRANSPARENT);
    SetTextColor(dc.dc, WinLayer::ListTextColor());
    DrawTextRange(dc, textRect, kRowFormat, shown, shown.All(), kTabLength);
}

void GuiLineListBox::MeasureItemOf(WinDrawContext&, RECT& size, int32_t, WinListBoxItemUnit& unit, JobLineUnit*) {
    // One row per line, as wide as the box: nothing to measure, so a long
    // document lays out in one pass over its lines.
    if (unit.flags & WinListBoxItemUnit::ItemHidden) {
        size.right = size.left;
        size.bottom = size.top;
        return;
    }
    const Insets& insets = ListItemInsets();
    size.bottom = size.top + lineStep.cy + insets.top + insets.bottom;
}

void GuiLineListBox::DrawSpecialItem(WinDrawContext& dc, const RECT& rect, int32_t, WinListBoxItemUnit&) {
    if (!PageMode() || pageHeight < 1) {
        FillBackground(dc, rect, background);
        return;
    }
    RECT clip{};
    GetClipBox(dc.dc, &clip);
    const int32_t pages = contentSize.cy / pageHeight + 1;
    for (int32_t page = 0; page < pages && page < 100000; ++page) {
        RECT copy = rect;
        OffsetRect(&copy, 0, page * pageHeight);
        RECT met{};
        if (IntersectRect(&met, &copy, &clip)) FillBackground(dc, copy, background);
    }
}

}  // namespace AppLayer
