// Image boxes.
#include "toolkit/image_box.h"

#include "toolkit/button.h"

namespace WinLayer {

void WinImageBox::Construct() {
    className = RawLayer::RawString::FromText("STATIC");
    viewKind = 0;
    style |= WS_CHILD | WS_VISIBLE | SS_OWNERDRAW;
    flags |= StyleNoTabStop;
    viewFlags = static_cast<uint16_t>(viewFlags & ~(FitAlignTop | FitAlignBottom));
}

LRESULT WinImageBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM && wParam != 0 && lParam) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 1;
    }
    return WinView::OnMessage(message, wParam, lParam);
}

void WinImageBox::FitToText(RECT& rect) {
    rect = RECT{0, 0, image ? image->width : 0, image ? image->height : 0};
}

void WinImageBox::DrawItem(const DRAWITEMSTRUCT& item) {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (!image || !image->icon) return;
    RECT place{item.rcItem.left + marginLeft, item.rcItem.top + marginTop, item.rcItem.right - marginRight,
               item.rcItem.bottom - marginBottom};
    // Drawn at its own size when it has one, so a larger box does not
    // stretch it.
    const int32_t height = image->height > 0 ? image->height : place.bottom - place.top;
    const int32_t width = image->width > 0 ? image->width : place.right - place.left;
    WinButtonDraw::AlignVertically(place, height, viewFlags);
    SetBkMode(item.hDC, TRANSPARENT);
    DrawIconEx(item.hDC, place.left, place.top, image->icon, width, height, 0, nullptr, DI_NORMAL);
}

}  // namespace WinLayer
