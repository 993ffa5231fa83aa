// The list box: items, cursor and selection, keys, scrolling, wheel and
// mouse. Layout and painting are in list_box_paint.cpp.
#include "toolkit/list_box.h"

#include <algorithm>

#include "toolkit/environment.h"
#include "toolkit/list_box_picture.h"
#include "toolkit/scroll_step.h"

namespace WinLayer {

namespace {

// The smallest font height the wheel zoom makes, in either sign.
constexpr int32_t kSmallestZoom = 6;

}  // namespace

void WinListBoxItemUnit::Reset() {
    flags = static_cast<uint16_t>(flags & (ItemHeader | ItemEnd));
    item = nullptr;
    rect = RECT{};
}

int32_t WinListBoxInfo::ToLogical(int32_t length) const {
    if (logicalWidth <= 0 || windowSize.cx <= 0) return length;
    return static_cast<int32_t>(static_cast<int64_t>(length) * logicalWidth / windowSize.cx);
}

bool WinListBoxInfo::PlacedCurrent() const {
    return !layoutPending && placedCount == items.Count() && placedEnds[0] == items.First() &&
           placedEnds[1] == items.Last();
}

int32_t WinListBoxInfo::PlacedAt(int32_t y) const {
    // The first position whose top is below y, less one.
    size_t low = 0;
    size_t high = placed.size();
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (placed[middle]->rect.top <= y) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low > 0 ? static_cast<int32_t>(low - 1) : 0;
}

void WinListBoxInfo::NoteSelected(int32_t first, int32_t last) {
    if (first > last) std::swap(first, last);
    if (selectedFirst > selectedLast) {
        selectedFirst = first;
        selectedLast = last;
        return;
    }
    selectedFirst = std::min(selectedFirst, first);
    selectedLast = std::max(selectedLast, last);
}

// ---- construction ----------------------------------------------------------------------

WinListBox::WinListBox() : WinListBoxCursor(static_cast<WinListBoxInfo&>(*this)),
                           WinListBoxDraw(static_cast<WinListBoxInfo&>(*this)) {
    list = this;
    header.flags = WinListBoxItemUnit::ItemHeader;
    endUnit.flags = WinListBoxItemUnit::ItemEnd;
}

WinListBox::~WinListBox() {
    DetachWindow();
    if (font == &ownFont) font = nullptr;
    if (ownFont.handle) DeleteObject(ownFont.handle);
}

void WinListBox::Construct() {
    className = RawLayer::RawString::FromText("BUTTON");
    viewKind = KindSubclassed;
    style |= WS_CHILD | WS_VISIBLE | WS_VSCROLL | BS_OWNERDRAW;
    marginLeft = marginTop = marginRight = marginBottom = 1;
    layoutPending = 1;
}

// ---- items ---------------------------------------------------------------------------------

void WinListBox::ClearItems() {
    items.Clear();
    placed.clear();
    placedIndices.clear();
    placedCount = -1;
    paintedFirst = selectedFirst = 0;
    paintedLast = selectedLast = -1;
    cursor = anchor = marked = kNone;
    counters[0] = counters[1] = 0;
    layoutPending = 1;
}

WinListBoxItemUnit* WinListBox::ItemAt(int32_t index) {
    if (index == kEnd) return &endUnit;
    if (index < 0 || index >= Count()) return nullptr;
    // A shown unit of a laid-out list is found in `placed`: a jump into
    // the middle of a million rows does not walk half the links.
    if (PlacedCurrent()) {
        if (placedIndices.empty()) {
            if (static_cast<size_t>(index) < placed.size()) return placed[static_cast<size_t>(index)];
        } else {
            const auto at = std::lower_bound(placedIndices.begin(), placedIndices.end(), index);
            if (at != placedIndices.end() && *at == index) return placed[static_cast<size_t>(at - placedIndices.begin())];
        }
    }
    return items.At(index);
}

int32_t WinListBox::HitTest(POINT point) {
    point.x = ToLogical(point.x);
    point.y = ToLogical(point.y);
    const int32_t headerHeight = HeaderHeight();
    if (headerHeight > 0) {
        if (Banded()) {
            const int32_t inBand = (scroll.y - marginTop + point.y) % bandHeight;
            const int32_t band = inBand < 0 ? inBand + bandHeight : inBand;
            if (band >= headerPosition.y && band <= headerPosition.y + headerHeight) return kHeader;
        } else if (Floating()) {
            const int32_t y = scroll.y - headerPosition.y + point.y;
            if (y >= 0 && y <= headerHeight) return kHeader;
        } else if (point.y < marginTop + headerHeight) {
            return kHeader;
        }
    }
    const int32_t y = point.y - marginTop - (FixedHeader() ? headerHeight : 0) + scroll.y;
    if (PlacedCurrent()) {
        // Reachable units do not overlap: only the last one that starts at
        // or above y can hold it.
        if (!placed.empty()) {
            const int32_t at = PlacedAt(y);
            const WinListBoxItemUnit& unit = *placed[static_cast<size_t>(at)];
            if (unit.rect.top <= y && y < unit.rect.bottom) return PlacedIndex(static_cast<size_t>(at));
        }
        if (endUnit.Reachable() && endUnit.rect.top <= y && y < endUnit.rect.bottom) return kEnd;
        return kNone;
    }
    int32_t index = 0;
    for (const WinListBoxItemUnit& unit : items) {
        if (unit.Reachable() && unit.rect.top <= y && y < unit.rect.bottom) return index;
        ++index;
    }
    if (endUnit.Reachable() && endUnit.rect.top <= y && y < endUnit.rect.bottom) return kEnd;
    return kNone;
}

// ---- cursor and selection --------------------------------------------------------------

void WinListBox::MoveCursorTo(int32_t index) {
    if (index >= 0 && index < Count()) {
        cursor = anchor = index;
        ClearSelection();
        MarkRange(index, index);
        ScrollIntoView(index);
    } else if (index == kEnd) {
        cursor = anchor = kEnd;
        ClearSelection();
        endUnit.flags |= WinListBoxItemUnit::ItemSelected;
        ScrollToEnd();
    } else if (index == kHeader || index == kNone) {
        cursor = anchor = index;
        ClearSelection();
        if (index == kHeader) header.flags |= WinListBoxItemUnit::ItemSelected;
        Invalidate();
    }
    SendCommand(WinNotify::SelectionChanged);
}

void WinListBox::SetCursor(int32_t index) {
    if (index < 0 || index >= Count()) return;
    cursor = index;
    ScrollIntoView(index);
    SendCommand(WinNotify::SelectionChanged);
}

void WinListBox::ToggleSelect(int32_t index) {
    WinListBoxItemUnit* unit = index >= 0 ? ItemAt(index) : nullptr;
    if (!unit) return;
    cursor = index;
    unit->flags ^= WinListBoxItemUnit::ItemSelected;
    NoteSelected(index, index);
    ScrollIntoView(index);
    SendCommand(WinNotify::SelectionChanged);
}

void WinListBox::SelectIndex(int32_t index) {
    if (index < 0 || index >= Count() || anchor < 0 || anchor >= Count()) return;
    cursor = index;
    ClearSelection();
    MarkRange(std::min(index, anchor), std::max(index, anchor));
    ScrollIntoView(index);
    SendCommand(WinNotify::SelectionChanged);
}

void WinListBox::SelectAll() {
    if (!(mode & ModeMultiple)) return;
    ClearSelection();
    MarkRange(0, Count() - 1);
    Invalidate();
    SendCommand(WinNotify::SelectionChanged);
}

void WinListBox::ClearItemSelection() {
    // A cursor step clears one row, not the list.
    ForEachSelected([](WinListBoxItemUnit& unit, int32_t) {
        unit.flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemSelected);
        return true;
    });
    selectedFirst = 0;
    selectedLast = -1;
}

void WinListBox::ClearSelection() {
    ClearItemSelection();
    header.flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemSelected);
    endUnit.flags &= static_cast<uint16_t>(~WinListBoxItemUnit::ItemSelected);
}

void WinListBox::MarkRange(int32_t first, int32_t last) {
    if (first > last) std::swap(first, last);
    if (first == kEnd) {
        if (!(endUnit.flags & WinListBoxItemUnit::ItemHidden)) endUnit.flags |= WinListBoxItemUnit::ItemSelected;
        return;
    }
    first = std::max(first, 0);
    last = std::min(last, Count() - 1);
    if (first > last) return;
    NoteSelected(first, last);
    ForEachInRange(first, last, [](WinListBoxItemUnit& unit, int32_t) {
        if (!(unit.flags & WinListBoxItemUnit::ItemHidden)) unit.flags |= WinListBoxItemUnit::ItemSelected;
        return true;
    });
}

int32_t WinListBox::CountSelection(int32_t* first, int32_t* last) {
    int32_t count = 0;
    int32_t firstIndex = kNone;
    int32_t lastIndex = kNone;
    int32_t index = 0;
    for (WinListBoxItemUnit& unit : items) {
        const bool selected = (unit.flags & WinListBoxItemUnit::ItemSelected) != 0;
        unit.flags = static_cast<uint16_t>((unit.flags & ~WinListBoxItemUnit::ItemCounted) |
                                           (selected ? WinListBoxItemUnit::ItemCounted : 0));
        if (selected) {
            if (firstIndex < 0) firstIndex = index;
            lastIndex = index;
            ++count;
        }
        ++index;
    }
    if (first) *first = firstIndex;
    if (last) *last = lastIndex;
    return count;
}

// ---- scrolling -------------------------------------------------------------------------------

void WinListBox::Invalidate() {
    if (window) InvalidateRect(window, nullptr, FALSE);
}

int32_t WinListBox::MaxScroll(bool vertical) const {
    const int32_t content = vertical ? contentSize.cy : contentSize.cx;
    const int32_t client = vertical ? clientRect.bottom - clientRect.top : clientRect.right - clientRect.left;
    return std::max(content - client, 0);
}

LONG WinListBox::WholeRowAt(LONG top) const {
    if (!PlacedCurrent() || placed.empty()) return top;
    const size_t at = static_cast<size_t>(PlacedAt(top));
    const RECT& cut = placed[at]->rect;
    // Only a row of one line: stepping past a taller one leaves as much of
    // the view empty below the last row as the row showed (a row about the
    // view's height left it all but empty), so the view rather ends on the
    // last row and shows the taller row cut.
    if (cut.top < top && at + 1 < placed.size() && cut.bottom - cut.top <= lineStep.cy)
        return placed[at + 1]->rect.top;
    return top;
}

void WinListBox::ScrollIntoView(int32_t index) {
    RefreshIfDirty();
    WinListBoxItemUnit* unit = index >= 0 ? ItemAt(index) : nullptr;
    if (unit) {
        const int32_t clientHeight = clientRect.bottom - clientRect.top;
        if (scroll.y + clientHeight < unit->rect.bottom) {
            // The unit's bottom at the view's foot; then down to the first
            // whole row that leaves the unit in view: a row cut at the top
            // would stand half under the header.
            scroll.y = std::min(WholeRowAt(unit->rect.bottom - clientHeight), unit->rect.top);
        }
        if (unit->rect.top < scroll.y) scroll.y = unit->rect.top;
    }
    Invalidate();
    UpdateScroll();
}

void WinListBox::ScrollToEnd() {
    RefreshIfDirty();
    scroll.y = MaxScroll(true);
    Invalidate();
    UpdateScroll();
}

void WinListBox::ClampScroll() {
    scroll.x = std::max<LONG>(0, std::min<LONG>(scroll.x, MaxScroll(false)));
    // Past the end the view stops at the first whole row that shows the
    // last one, as a move to the last row leaves it: stopping at the
    // content's foot would cut the top row under the header.
    LONG most = MaxScroll(true);
    if (scroll.y > most) most = WholeRowAt(most);
    scroll.y = std::max<LONG>(0, std::min<LONG>(scroll.y, most));
}

void WinListBox::UpdateScroll() {
    if (window) {
        SetScrollBar(window, SB_VERT, contentSize.cy, clientRect.bottom - clientRect.top, scroll.y);
        // The style asked for, not the window's: hiding a bar takes its
        // bit off the window, and the bar must come back when content grows.
        if (style & WS_HSCROLL) {
            SetScrollBar(window, SB_HORZ, contentSize.cx, clientRect.right - clientRect.left, scroll.x);
        }
    }
    if (scroll.x != reported.x || scroll.y != reported.y) {
        reported = scroll;
        SendCommand(WinNotify::ScrollChanged);
    }
}

int32_t WinListBox::VisibleRows() {
    RefreshIfDirty();
    const int32_t top = scroll.y;
    const int32_t bottom = scroll.y + clientRect.bottom - clientRect.top;
    int32_t rows = 0;
    if (PlacedCurrent()) {
        for (size_t at = static_cast<size_t>(PlacedAt(top)); at < placed.size(); ++at) {
            const WinListBoxItemUnit& unit = *placed[at];
            if (unit.rect.top >= bottom) break;
            if (unit.rect.top >= top && unit.rect.bottom <= bottom) ++rows;
        }
        return rows;
    }
    for (const WinListBoxItemUnit& unit : items) {
        if (!unit.Reachable()) continue;
        if (unit.rect.top >= bottom) break;
        if (unit.rect.top >= top && unit.rect.bottom <= bottom) ++rows;
    }
    return rows;
}

void WinListBox::ScrollBy(bool vertical, int32_t delta) {
    LONG& offset = vertical ? scroll.y : scroll.x;
    offset = ScrollMoved(offset, delta, MaxScroll(vertical));
}

void WinListBox::OnScroll(bool vertical, WPARAM request) {
    RefreshIfDirty();
    const int32_t step = vertical ? lineStep.cy : lineStep.cx;
    const int32_t page = (vertical ? clientRect.bottom - clientRect.top : clientRect.right - clientRect.left) / 2;
    LONG& offset = vertical ? scroll.y : scroll.x;
    offset = ScrollRequested(window, vertical ? SB_VERT : SB_HORZ, request, offset, step, page, MaxScroll(vertical));
    Invalidate();
    UpdateScroll();
}

void WinListBox::OnWheel(WPARAM wParam) {
    const int32_t delta = static_cast<int16_t>(HIWORD(wParam));
    const WORD keys = LOWORD(wParam);
    if (keys & MK_CONTROL) {
        Zoom(delta >= 0 ? 1 : -1);
        return;
    }
    RefreshIfDirty();
    const int32_t scaled = (keys & MK_SHIFT) ? delta * 3 : delta;
    const int32_t move = -lineStep.cy * scaled / 120;
    if (move < 0 || contentSize.cy > clientRect.bottom - clientRect.top) ScrollBy(true, move);
    Invalidate();
    UpdateScroll();
}

void WinListBox::Zoom(int32_t direction) {
    LOGFONTW description = GetEffectiveFont().description;
    const LONG height = description.lfHeight;
    if (height < 0) {
        if (height - direction < -(kSmallestZoom - 1)) description.lfHeight = height - direction;
    } else if (height + direction >= kSmallestZoom) {
        description.lfHeight = height + direction;
    }
    HFONT made = CreateFontIndirectW(&description);
    if (!made) return;
    if (ownFont.handle) DeleteObject(ownFont.handle);
    ownFont.handle = made;
    WinFontParameter::CopyLogFont(ownFont.description, description);
    font = &ownFont;
    Refresh();
}

// ---- keys and mouse -------------------------------------------------------------------------

void WinListBox::Step(int32_t from, int32_t direction) {
    const int32_t count = Count();
    int32_t index = from;
    // Along the links: a step over a long hidden run stays linear.
    RawLayer::RawListLink* link = (index >= 0 && index < count) ? items.LinkAt(index) : items.Sentinel();
    while (!items.IsEnd(link) && !items.UnitOf(link)->Reachable()) {
        index += direction;
        link = direction > 0 ? RawLayer::RawListBody::NextLink(link) : RawLayer::RawListBody::PrevLink(link);
    }
    if (index < 0) return;
    if (index >= count) {
        if (!endUnit.Reachable()) return;
        index = kEnd;
    }
    const bool multiple = (mode & ModeMultiple) != 0;
    if (multiple && KeyHeld(VK_CONTROL)) {
        if (index == kEnd) return;
        SetCursor(index);
    } else if (multiple && KeyHeld(VK_SHIFT)) {
        SelectIndex(index);
    } else {
        MoveCursorTo(index);
    }
}

void WinListBox::AfterMove() {
    Invalidate();
    UpdateScroll();
}

void WinListBox::OnKey(WPARAM key) {
    const bool ctrl = KeyHeld(VK_CONTROL);
    const bool multiple = (mode & ModeMultiple) != 0;
    const int32_t count = Count();
    const auto toEnd = [&] {
        if (endUnit.Reachable()) {
            Step(count, 1);
        } else {
            Step(count - 1, -1);
        }
    };
    switch (key) {
    case VK_RETURN:
        SendCommand(WinNotify::Activate);
        return;
    case VK_SPACE:
        if (multiple) ToggleSelect(cursor);
        return;
    case 'A':
        if (ctrl && multiple) SelectAll();
        return;
    case 'F':
        if (ctrl) OnCtrlF();
        return;
    case 'D':
        if (ctrl) OnCtrlDOrF3();
        return;
    case 'S':
        if (ctrl) OnCtrlSOrShiftF3();
        return;
    case VK_F3:
        if (KeyHeld(VK_SHIFT)) {
            OnCtrlSOrShiftF3();
        } else {
            OnCtrlDOrF3();
        }
        return;
    default:
        break;
    }
    if (count == 0) return;
    switch (key) {
    case VK_PRIOR:
    case VK_NEXT:
        OnScroll(true, key == VK_PRIOR ? SB_PAGEUP : SB_PAGEDOWN);
        return;
    case VK_HOME:
        RefreshIfDirty();
        Step(0, 1);
        break;
    case VK_END:
        RefreshIfDirty();
        toEnd();
        break;
    case VK_UP:
        RefreshIfDirty();
        if (ctrl && !multiple) {
            Step(0, 1);
        } else if (cursor >= 0) {
            Step(cursor - 1, -1);
        } else if (cursor == kEnd) {
            Step(count - 1, -1);
        } else if (cursor == kNone) {
            toEnd();
        }
        break;
    case VK_DOWN:
        RefreshIfDirty();
        if (ctrl && !multiple) {
            toEnd();
        } else if (cursor >= 0) {
            Step(cursor + 1, 1);
        } else if (cursor == kNone || cursor == kHeader) {
            Step(0, 1);
        }
        break;
    case VK_LEFT:
    case VK_RIGHT:
        if (!window || !(style & WS_HSCROLL) || keyScrollOff) return;
        RefreshIfDirty();
        if (ctrl) {
            scroll.x = key == VK_LEFT ? 0 : MaxScroll(false);
        } else {
            ScrollBy(false, key == VK_LEFT ? -lineStep.cx : lineStep.cx);
        }
        break;
    default:
        return;
    }
    AfterMove();
}

void WinListBox::OnLeftButton(POINT point, WPARAM keys) {
    RefreshIfDirty();
    const int32_t index = HitTest(point);
    pressPoint = point;
    pressIndex = index;
    if (!OnItemClick(point, index)) return;
    if (mode & ModeMultiple) {
        if (keys & MK_CONTROL) {
            ToggleSelect(index);
            return;
        }
        if (keys & MK_SHIFT) {
            SelectIndex(index);
            return;
        }
    }
    MoveCursorTo(index);
}

void WinListBox::OnContextMenu(POINT, int32_t) {}
bool WinListBox::OnItemClick(POINT, int32_t) { return true; }
bool WinListBox::OnItemDoubleClick(POINT, int32_t) { return true; }
bool WinListBox::CanContextMenu(POINT, int32_t) { return true; }

LRESULT WinListBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        OnKey(wParam);
        break;
    case WM_VSCROLL:
    case WM_HSCROLL:
        OnScroll(message == WM_VSCROLL, wParam);
        return 0;
    case WM_MOUSEWHEEL:
        OnWheel(wParam);
        return 1;
    case WM_LBUTTONDOWN:
        if (window) SetFocus(window);
        OnLeftButton(PointFromLParam(lParam), wParam);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (cursor >= 0 && OnItemDoubleClick(PointFromLParam(lParam), cursor)) SendCommand(WinNotify::Activate);
        return 0;
    case WM_RBUTTONDOWN: {
        const POINT point = PointFromLParam(lParam);
        menuPoint = point;
        menuIndex = HitTest(point);
        if (CanContextMenu(point, menuIndex)) OnContextMenu(point, menuIndex);
        return 0;
    }
    case WM_SETFOCUS:
        mode |= ModeFocus;
        Invalidate();
        break;
    case WM_KILLFOCUS:
        mode &= static_cast<uint16_t>(~ModeFocus);
        Invalidate();
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_DRAWITEM: {
        if (wParam == 0 || !lParam) break;
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        RefreshIfDirty();
        UpdateScroll();
        Paint(item.hDC, item.rcItem, (item.itemState & ODS_DISABLED) != 0);
        return 1;
    }
    default:
        break;
    }
    return OnMessageNoButton(message, wParam, lParam);
}

}  // namespace WinLayer
