// The divider.
#include "toolkit/divider.h"

#include <algorithm>

#include "toolkit/dialog.h"
#include "toolkit/environment.h"
#include "toolkit/gdi_scope.h"

namespace WinLayer {

namespace {

constexpr COLORREF kFocusLine = RGB(0, 0, 0xFF);
// IDC_SIZEWE and IDC_SIZENS as wide resource names.
constexpr WORD kSizeWestEast = 32644;
constexpr WORD kSizeNorthSouth = 32645;

// The extent of a rectangle along the bar's axis of motion.
LONG Extent(const RECT& rect, bool alongX) { return alongX ? rect.right - rect.left : rect.bottom - rect.top; }
LONG Least(const RECT& minimum, bool alongX) {
    return alongX ? minimum.right - minimum.left : minimum.bottom - minimum.top;
}

}  // namespace

void WinDivider::Construct(bool vertical, WinViewResize* beforeView, WinViewResize* afterView) {
    className = RawLayer::RawString::FromText("BUTTON");
    viewKind = KindSubclassed;
    style |= WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
    dividerFlags = vertical ? MovesAlongX : MovesAlongY;
    before = beforeView;
    after = afterView;
}

LRESULT WinDivider::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SETCURSOR:
        if (!cursor_) cursor_ = LoadCursorW(nullptr, MAKEINTRESOURCEW(AlongX() ? kSizeWestEast : kSizeNorthSouth));
        SetCursor(cursor_);
        return TRUE;
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM:
        if (wParam == 0 || !lParam) break;
        Paint(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 1;
    case WM_LBUTTONDOWN:
        BeginDrag(PointFromLParam(lParam));
        break;
    case WM_MOUSEMOVE:
        if (dividerFlags & Dragging) DragTo(PointFromLParam(lParam));
        break;
    case WM_LBUTTONUP:
        if (dividerFlags & Dragging) {
            dividerFlags &= static_cast<uint16_t>(~Dragging);
            if (window && GetCapture() == window) ReleaseCapture();
            MoveNeighbours();
        }
        break;
    case WM_RBUTTONUP:
        if (dividerFlags & Dragging) {
            CancelDrag();
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        if ((dividerFlags & Dragging) && reinterpret_cast<HWND>(lParam) != window) CancelDrag();
        break;
    case WM_KEYDOWN:
        if (OnKey(wParam)) return 0;
        break;
    default:
        break;
    }
    return WinView::OnMessage(message, wParam, lParam);
}

bool WinDivider::OnKey(WPARAM key) {
    const bool horizontalKey = key == VK_LEFT || key == VK_RIGHT;
    const bool verticalKey = key == VK_UP || key == VK_DOWN;
    if (!horizontalKey && !verticalKey) return false;
    if (horizontalKey != AlongX()) return true;
    const int32_t step = KeyHeld(VK_CONTROL) ? kCtrlKeyStep : kKeyStep;
    const int32_t distance = (key == VK_LEFT || key == VK_UP) ? -step : step;
    startRect = rect;
    pressPoint = POINT{0, 0};
    DragTo(AlongX() ? POINT{distance, 0} : POINT{0, distance});
    MoveNeighbours();
    return true;
}

void WinDivider::Paint(const DRAWITEMSTRUCT& item) {
    RECT face = item.rcItem;
    UINT state = DFCS_BUTTONPUSH;
    if (item.itemState & ODS_DISABLED) {
        state |= DFCS_INACTIVE;
    } else if (item.itemState & ODS_SELECTED) {
        state |= DFCS_PUSHED;
    }
    DrawFrameControl(item.hDC, &face, DFC_BUTTON, state);
    if (item.itemState & ODS_FOCUS) {
        GdiPen pen(PS_SOLID, 1, kFocusLine);
        GdiSelection keep(item.hDC, pen.Get());
        const RECT& r = item.rcItem;
        MoveToEx(item.hDC, r.left, r.bottom - 1, nullptr);
        LineTo(item.hDC, r.right - 1, r.bottom - 1);
        LineTo(item.hDC, r.right - 1, r.top - 1);
    }
}

void WinDivider::BeginDrag(POINT point) {
    dividerFlags |= Dragging;
    startRect = rect;
    pressPoint = point;
    if (window) SetCapture(window);
}

void WinDivider::DragTo(POINT point) {
    const bool x = AlongX();
    int64_t d = x ? point.x - pressPoint.x : point.y - pressPoint.y;
    const int64_t moved = x ? static_cast<int64_t>(startRect.left) - rect.left
                            : static_cast<int64_t>(startRect.top) - rect.top;
    if (before) d = std::max<int64_t>(d, -static_cast<int64_t>(Extent(before->rect, x)) +
                                             Least(before->minimum, x) + moved);
    if (after) d = std::min<int64_t>(d, static_cast<int64_t>(Extent(after->rect, x)) -
                                            Least(after->minimum, x) + moved);
    if (d == 0) return;
    const LONG step = static_cast<LONG>(d);
    if (x) {
        rect.left += step;
        rect.right += step;
    } else {
        rect.top += step;
        rect.bottom += step;
    }
    PlaceWindow(true);
}

void WinDivider::MoveNeighbours() {
    const LONG offset = AlongX() ? rect.left - startRect.left : rect.top - startRect.top;
    if (offset != 0) {
        if (AlongX()) {
            if (before) before->rect.right += offset;
            if (after) after->rect.left += offset;
        } else {
            if (before) before->rect.bottom += offset;
            if (after) after->rect.top += offset;
        }
    }
    startRect = rect;
    if (!owner) return;
    owner->OnLayout();
    if (owner->window) RedrawWindow(owner->window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void WinDivider::CancelDrag() {
    dividerFlags &= static_cast<uint16_t>(~Dragging);
    if (window && GetCapture() == window) ReleaseCapture();
    rect = startRect;
    PlaceWindow(true);
}

void WinDivider::PlaceWindow(bool repaint) {
    if (window) MoveWindow(window, rect.left, rect.top, Width(), Height(), repaint);
}

}  // namespace WinLayer

