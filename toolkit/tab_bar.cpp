// The tab bar: items, geometry, messages and the answers to its hooks.
// Painting is in tab_bar_paint.cpp.
#include "toolkit/tab_bar.h"

#include <algorithm>

#include "toolkit/environment.h"

namespace WinLayer {

using RawLayer::RawString;

namespace {

// Within this many pixels of an edge a drag scrolls the strip.
constexpr int32_t kAutoScrollZone = 10;
// IDC_NO and IDC_ARROW as wide resource names: the cursors without and
// with a drop effect.
constexpr WORD kNoCursor = 32648;
constexpr WORD kArrowCursor = 32512;

}  // namespace

// ---- hooks ---------------------------------------------------------------------------

WinTabBarDrag::WinTabBarDrag(WinTabBar& owningBar) : WinDragControl(owningBar), bar_(owningBar) {
    noDropCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(kNoCursor));
    dropCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(kArrowCursor));
}

bool WinTabBarDrag::CanMove() { return bar_.pansOnPress; }

void WinTabBarDrag::MoveState(bool started) {
    if (started) bar_.panAnchor = bar_.offset;
}

void WinTabBarDrag::MoveBy(int32_t dx, int32_t) { bar_.offset = std::max(bar_.panAnchor - dx, 0); }

bool WinTabBarDrag::CanDrag() { return bar_.dragArmed && bar_.Count() > 0; }

void WinTabBarDrag::DragState(bool on, POINT pressed) {
    bar_.dragging = on && bar_.current;
    if (bar_.current) bar_.grabOffset = bar_.offset - bar_.current->left + pressed.x;
}

int32_t WinTabBarDrag::ItemAt(POINT point) {
    int32_t index = -1;
    if (bar_.ItemAtStripX(bar_.offset + point.x, &index)) return index;
    RECT client{};
    if (bar_.window) GetClientRect(bar_.window, &client);
    return PtInRect(&client, point) ? -2 : -1;
}

int32_t WinTabBarDrag::OutsideItem() { return -1; }

bool WinTabBarDrag::CanDragItem(int32_t index) { return index >= 0 && index < bar_.Count(); }

bool WinTabBarDrag::CanDropAt(int32_t index) { return index == -2 || (index >= 0 && index < bar_.Count()); }

void WinTabBarDrag::SetDropTarget(int32_t index) {
    bar_.hoverIndex = index;
    if (bar_.window) InvalidateRect(bar_.window, nullptr, FALSE);
}

void WinTabBarDrag::AutoScroll(POINT point, const RECT& client) {
    int32_t wanted = bar_.offset;
    if (point.x < client.left + kAutoScrollZone) {
        const WinTabBarItemUnit* item = bar_.ItemAtStripX(bar_.offset - 1 + client.left);
        wanted = item ? std::max(item->left, 0) : 0;
    } else if (point.x >= client.right - kAutoScrollZone) {
        const WinTabBarItemUnit* item = bar_.ItemAtStripX(bar_.offset + 1 + client.right);
        wanted = item ? item->right - client.right : bar_.totalWidth + bar_.reservedWidth - client.right;
        wanted = std::max(wanted, 0);
    }
    if (wanted == bar_.offset) return;
    bar_.offset = wanted;
    if (bar_.window) InvalidateRect(bar_.window, nullptr, FALSE);
}

void WinTabBarDrag::Drop(int32_t dropEffect, int32_t targetIndex, int32_t sourceIndex) {
    bar_.Drop(dropEffect, targetIndex, sourceIndex);
}

WinTabBarEnter::WinTabBarEnter(WinTabBar& owningBar)
    : WinEnterControl(owningBar, WinTabBar::kHoverMs), bar_(owningBar) {}

void WinTabBarEnter::OnMouseLeave(WPARAM, POINT) {
    bar_.mouse = POINT{-1, -1};
    if (bar_.window) InvalidateRect(bar_.window, nullptr, FALSE);
}

// ---- construction ----------------------------------------------------------------------

WinTabBar::WinTabBar() : drag_(*this), enter_(*this) {}

WinTabBar::~WinTabBar() {
    // The hooks die with this object: no message may reach them after.
    DetachWindow();
    hooks.RemoveHook(&drag_);
    hooks.RemoveHook(&enter_);
}

void WinTabBar::Construct() {
    className = RawString::FromText("BUTTON");
    viewKind = KindSubclassed;
    style |= WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
    viewFlags = static_cast<uint16_t>(viewFlags & ~(FitAlignRight | FitCentre | FitAlignTop | FitAlignBottom));
    viewFlags |= FitAlignLeft | FitMiddle;
    marginLeft = 4;
    marginTop = 3;
    marginRight = 2;
    marginBottom = 4;
    hooks.RemoveHook(&enter_);
    hooks.RemoveHook(&drag_);
    hooks.AddHook(&enter_);
    hooks.AddHook(&drag_);
    current = nullptr;
    hoverIndex = -1;
}

// ---- items --------------------------------------------------------------------------------

void WinTabBar::InitItem(WinTabBarItemUnit& item) {
    item.flags = 0;
    item.text = RawString();
    item.left = item.right = 0;
    item.textColour = ListTextColor();
    item.data = nullptr;
}

WinTabBarItemUnit* WinTabBar::AddItem(const RawString& caption, void* data) {
    WinTabBarItemUnit* item = items.AddNew();
    InitItem(*item);
    item->text = caption;
    item->data = data;
    return item;
}

WinTabBarItemUnit* WinTabBar::NextItem(const WinTabBarItemUnit* item) const {
    return item ? items.Next(item) : nullptr;
}

WinTabBarItemUnit* WinTabBar::FindItemByData(const void* data) const {
    return items.FindIf([data](const WinTabBarItemUnit& item) { return item.data == data; });
}

void WinTabBar::MoveItem(int32_t targetIndex, int32_t sourceIndex) {
    const int32_t count = items.Count();
    if (targetIndex == sourceIndex || sourceIndex < 0 || sourceIndex >= count) return;
    RawLayer::RawListLink* moved = items.LinkAt(sourceIndex);
    RawLayer::RawListLink* before =
        (targetIndex >= 0 && targetIndex < count) ? items.LinkAt(targetIndex) : items.Sentinel();
    items.MoveLinkBefore(moved, before);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

bool WinTabBar::SelectNeighbour(WinTabBarItemUnit* item) {
    if (items.Count() < 2 || !items.Contains(item)) return false;
    WinTabBarItemUnit* next = items.Next(item);
    current = next ? next : items.Prev(item);
    return true;
}

// ---- operations -----------------------------------------------------------------------------

void WinTabBar::OnContextMenu(POINT, WinTabBarItemUnit*) {}

void WinTabBar::SelectTab(WinTabBarItemUnit* item) {
    // A pointer that is not one of this bar's tabs (any more) is no tab.
    if (item && !items.Contains(item)) return;
    current = item;
    if (item) {
        RECT client{};
        ClientArea(client);
        UpdateGeometry(client);
        const int32_t width = client.right - client.left;
        if (item->left < offset) offset = item->left;
        if (item->right > offset + width) offset = item->right - width;
    }
    SendCommand(WinNotify::SelectionChanged);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void WinTabBar::RemoveTab(WinTabBarItemUnit* item) {
    if (!item || !items.Contains(item)) return;
    if (item == current && !SelectNeighbour(item)) current = nullptr;
    // Neither the drag nor the hit record nor the drop place may outlive it.
    drag_.Cancel();
    dragging = false;
    dragArmed = false;
    hoverIndex = -1;
    if (hitItem == item) {
        hitItem = nullptr;
        hitPart = HitBody;
    }
    items.Remove(item);
    SendCommand(WinNotify::ItemRemoved);
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void WinTabBar::Drop(int32_t, int32_t, int32_t) {}

// ---- geometry ---------------------------------------------------------------------------------

void WinTabBar::ClientArea(RECT& client) const {
    client = RECT{};
    if (window) GetClientRect(window, &client);
}

void WinTabBar::Layout() {
    int32_t x = kStripStart;
    for (WinTabBarItemUnit& item : items) {
        int32_t width = item.right - item.left;
        // Until the bar's height gives the glyph size, a tab keeps no width.
        if (width < 1 && glyphWidth < 1) {
            width = 0;
        } else if (width < 1) {
            RECT measured{};
            MeasureText(measured, item.text);
            width = (measured.right - measured.left) + marginLeft + marginRight + glyphWidth;
        }
        item.left = x;
        item.right = x + width;
        x = item.right;
    }
    totalWidth = x;
}

void WinTabBar::UpdateGeometry(const RECT& area) {
    const int32_t height = area.bottom - area.top;
    glyphWidth = glyphHeight = (height - 2) * 3 / 4 + 1;
    Layout();
    if (extraShown) {
        const int32_t g = (height - 2) * 3 / 4;
        extraRect.left = totalWidth + 2;
        extraRect.top = area.top + 2;
        extraRect.right = extraRect.left + g;
        extraRect.bottom = extraRect.top + 2 + g;
        reservedWidth = g + 2;
    } else {
        extraRect = RECT{};
        reservedWidth = 0;
    }
    const int32_t most = std::max(0, totalWidth + reservedWidth - static_cast<int32_t>(area.right - area.left));
    if (offset > most) offset = most;
}

WinTabBarItemUnit* WinTabBar::ItemAtStripX(int32_t x, int32_t* index) const {
    int32_t i = 0, found = -1;
    WinTabBarItemUnit* hit = items.FindIf([&](const WinTabBarItemUnit& item) {
        if (item.left <= x && x < item.right) {
            found = i;
            return true;
        }
        ++i;
        return false;
    });
    if (index) *index = found;
    return hit;
}

void WinTabBar::HitTest(POINT point) {
    hitPart = HitBody;
    hitItem = point.x < 0 ? nullptr : ItemAtStripX(offset + point.x);
    if (dragging || point.x < 0) return;
    if (hitItem && !(hitItem->flags & WinTabBarItemUnit::ItemCloseDisabled)) {
        const int32_t right = hitItem->right - offset;
        if (right - glyphWidth <= point.x && point.x <= right && 0 <= point.y && point.y <= glyphHeight) {
            hitPart = HitClose;
            return;
        }
    }
    if (extraShown) {
        RECT shifted = extraRect;
        OffsetRect(&shifted, -offset, 0);
        if (PtInRect(&shifted, point)) hitPart = HitExtra;
    }
}

// ---- messages ---------------------------------------------------------------------------------

LRESULT WinTabBar::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnPress(PointFromLParam(lParam));
        break;
    case WM_LBUTTONUP:
        dragArmed = false;
        break;
    case WM_RBUTTONDOWN: {
        mouse = PointFromLParam(lParam);
        OnContextMenu(mouse, ItemAtStripX(offset + mouse.x));
        break;
    }
    case WM_MOUSEMOVE:
        mouse = PointFromLParam(lParam);
        if (window) InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_RIGHT || wParam == VK_DOWN) {
            OnKey(wParam);
            return 0;
        }
        // Escape ends a drag (the drag hook sees it) and nothing else.
        if (wParam == VK_ESCAPE && drag_.Busy()) return 0;
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM: {
        if (wParam == 0 || !lParam) break;
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        WinMemoryDC memory;
        if (memory.Begin(item.hDC, item.rcItem)) {
            const POINT origin{item.rcItem.left, item.rcItem.top};
            SetViewportOrgEx(memory.dc, -origin.x, -origin.y, nullptr);
            Paint(memory, item.rcItem, (item.itemState & ODS_FOCUS) != 0);
            SetViewportOrgEx(memory.dc, 0, 0, nullptr);
            memory.CopyBack();
            memory.End();
        }
        return 1;
    }
    default:
        break;
    }
    return WinView::OnMessage(message, wParam, lParam);
}

void WinTabBar::OnPress(POINT point) {
    mouse = point;
    RECT client{};
    ClientArea(client);
    UpdateGeometry(client);
    HitTest(point);
    switch (hitPart) {
    case HitBody:
        if (hitItem) SelectTab(hitItem);
        dragArmed = true;
        break;
    case HitClose:
        if (hitItem) RemoveTab(hitItem);
        break;
    case HitExtra:
        SendCommand(WinNotify::ExtraButton);
        break;
    default:
        break;
    }
}

void WinTabBar::OnKey(WPARAM key) {
    if (!current) return;
    RECT client{};
    ClientArea(client);
    if (key == VK_LEFT) {
        WinTabBarItemUnit* previous = items.Prev(current);
        if (previous) SelectTab(previous);
    } else if (key == VK_RIGHT) {
        WinTabBarItemUnit* next = items.Next(current);
        if (next) {
            SelectTab(next);
            return;
        }
        UpdateGeometry(client);
        const int32_t wanted = totalWidth - static_cast<int32_t>(client.right - client.left) + reservedWidth;
        if (wanted > offset) offset = wanted;
        if (window) InvalidateRect(window, nullptr, FALSE);
    } else {
        OnContextMenu(POINT{current->left - offset, client.bottom - 2}, current);
    }
}

}  // namespace WinLayer
