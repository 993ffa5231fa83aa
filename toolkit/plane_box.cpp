// The plane box: layout, scrolling and the memory-bitmap paint.
#include "toolkit/plane_box.h"

#include <algorithm>

#include "toolkit/draw.h"
#include "toolkit/gdi_scope.h"
#include "toolkit/scroll_step.h"

namespace WinLayer {

WinPlaneBox::~WinPlaneBox() { DetachWindow(); }

void WinPlaneBox::Construct() {
    className = RawLayer::RawString::FromText("BUTTON");
    viewKind = KindSubclassed;
    style |= WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
    marginLeft = marginTop = marginRight = marginBottom = 2;
    planeFlags |= PlaneLayoutPending;
}

void WinPlaneBox::AfterLayout() {}

RECT WinPlaneBox::AreaOfClient() const {
    RECT client{};
    if (window) GetClientRect(window, &client);
    return RECT{client.left + marginLeft, client.top + marginTop, client.right - marginRight,
                client.bottom - marginBottom};
}

int32_t WinPlaneBox::MaxScroll(bool vertical) const {
    const int32_t content = vertical ? contentSize.cy : contentSize.cx;
    const int32_t area = vertical ? contentArea.bottom - contentArea.top : contentArea.right - contentArea.left;
    return std::max(content - area, 0);
}

void WinPlaneBox::Invalidate() {
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void WinPlaneBox::ClampScroll() {
    scroll.x = std::min<LONG>(scroll.x, MaxScroll(false));
    scroll.y = std::min<LONG>(scroll.y, MaxScroll(true));
}

void WinPlaneBox::UpdateLayout(bool repaint) {
    planeFlags &= static_cast<uint16_t>(~PlaneLayoutPending);
    GdiWindowDC screen(nullptr);
    WinDrawContext dc(screen.Get());
    GdiSelection keepFont(dc.dc, GetEffectiveFont().handle);
    SetTextAlign(dc.dc, 0);
    contentArea = AreaOfClient();
    SIZE size{};
    MeasureContent(dc, contentArea, size);
    contentSize = size;
    const int32_t areaWidth = contentArea.right - contentArea.left;
    const int32_t areaHeight = contentArea.bottom - contentArea.top;
    if (size.cy < areaHeight) {
        const int32_t spareHeight = size.cy - areaHeight;
        scroll.y = (viewFlags & FitAlignBottom) ? spareHeight : (viewFlags & FitMiddle) ? spareHeight / 2 : 0;
    }
    if (size.cx < areaWidth) {
        const int32_t spareWidth = size.cx - areaWidth;
        scroll.x = (viewFlags & FitAlignRight) ? spareWidth : (viewFlags & FitCentre) ? spareWidth / 2 : 0;
    }
    ClampScroll();
    planeFlags |= PlaneScrollPending;
    AfterLayout();
    if (repaint) Invalidate();
}

void WinPlaneBox::UpdateScrollBars() {
    planeFlags &= static_cast<uint16_t>(~PlaneScrollPending);
    if (window) {
        const LONG windowStyle = GetWindowLongW(window, GWL_STYLE);
        if (windowStyle & WS_VSCROLL)
            SetScrollBar(window, SB_VERT, contentSize.cy, contentArea.bottom - contentArea.top, scroll.y);
        if (windowStyle & WS_HSCROLL)
            SetScrollBar(window, SB_HORZ, contentSize.cx, contentArea.right - contentArea.left, scroll.x);
    }
    if (scroll.x != reportedScroll.x || scroll.y != reportedScroll.y) {
        reportedScroll = scroll;
        SendCommand(WinNotify::ScrollChanged);
    }
}

void WinPlaneBox::Paint(HDC target, const RECT& itemRect) {
    if (planeFlags & PlaneScrollPending) UpdateScrollBars();
    if (planeFlags & PlaneLayoutPending) UpdateLayout(false);
    WinMemoryDC memory;
    if (!memory.Begin(target, itemRect)) return;
    const RECT whole{0, 0, itemRect.right - itemRect.left, itemRect.bottom - itemRect.top};
    {
        const HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
        FillRect(memory.dc, &whole, face);
        const RECT inner{whole.left + marginLeft, whole.top + marginTop, whole.right - marginRight,
                         whole.bottom - marginBottom};
        GdiSelection keepFont(memory.dc, GetEffectiveFont().handle);
        SetTextAlign(memory.dc, 0);
        SetBkMode(memory.dc, TRANSPARENT);
        if (contentSize.cx == 0 && contentSize.cy == 0) {
            GdiBrush frame(kEmptyFrame);
            FrameRect(memory.dc, &inner, frame.Handle());
        }
        PaintContent(memory, whole, inner, scroll);
        if (!(planeFlags & PlaneNoMarginFill)) WinDraw::FillMarginStrips(memory, whole, inner, face);
        if (planeFlags & PlaneFocus) {
            GdiBrush line(kFocusLine);
            const RECT top{whole.left, whole.top, whole.right, whole.top + 1};
            FillRect(memory.dc, &top, line.Handle());
        }
    }
    memory.CopyBack();
    memory.End();
}

void WinPlaneBox::OnWheel(WPARAM wParam) {
    if (planeFlags & PlaneLayoutPending) UpdateLayout(false);
    int32_t delta = static_cast<int16_t>(HIWORD(wParam));
    if (LOWORD(wParam) & MK_CONTROL) delta *= 3;
    if (LOWORD(wParam) & MK_SHIFT) delta *= 3;
    const int32_t move = -lineStep.cy * delta / 120;
    if (move < 0 || scroll.y < MaxScroll(true)) scroll.y = ScrollMoved(scroll.y, move, MaxScroll(true));
    planeFlags |= PlaneScrollPending;
    Invalidate();
}

LRESULT WinPlaneBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DRAWITEM: {
        if (wParam == 0 || !lParam) break;
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        Paint(item.hDC, item.rcItem);
        return 1;
    }
    case WM_SIZE:
        contentArea = AreaOfClient();
        scroll.x = std::min<LONG>(scroll.x, MaxScroll(false));
        scroll.y = std::min<LONG>(scroll.y, MaxScroll(true));
        planeFlags |= PlaneScrollPending;
        return 0;
    case WM_SETFOCUS:
        planeFlags |= PlaneFocus;
        Invalidate();
        break;
    case WM_KILLFOCUS:
        planeFlags &= static_cast<uint16_t>(~PlaneFocus);
        Invalidate();
        SendCommand(WinNotify::FocusLost);
        break;
    case WM_HSCROLL:
    case WM_VSCROLL: {
        if (planeFlags & PlaneLayoutPending) UpdateLayout(false);
        const bool vertical = message == WM_VSCROLL;
        const int32_t step = vertical ? lineStep.cy : lineStep.cx;
        const int32_t page =
            (vertical ? contentArea.bottom - contentArea.top : contentArea.right - contentArea.left) / 2;
        LONG& offset = vertical ? scroll.y : scroll.x;
        offset = ScrollRequested(window, vertical ? SB_VERT : SB_HORZ, wParam, offset, step, page,
                                 MaxScroll(vertical));
        planeFlags |= PlaneScrollPending;
        Invalidate();
        return 0;
    }
    case WM_MOUSEWHEEL:
        OnWheel(wParam);
        return 1;
    case WM_ERASEBKGND:
        return 1;
    default:
        break;
    }
    return OnMessageNoButton(message, wParam, lParam);
}

}  // namespace WinLayer
