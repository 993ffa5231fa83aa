// The owner-drawn strips.
#include "tavrel/app/strip_view.h"

#include "toolkit/gdi_scope.h"

namespace AppLayer {

namespace {

constexpr int kPositionBarMargin = 2;

}  // namespace

void GuiStripView::Construct() {
    className = RawLayer::RawString::FromText("BUTTON");
    viewKind = KindSubclassed;
    style = kStripStyle;
}

LRESULT GuiStripView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM && wParam != 0) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->hDC) FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
    }
    if (message == WM_ERASEBKGND) return 1;
    return WinView::OnMessage(message, wParam, lParam);
}

void GuiPositionBar::Construct() {
    GuiStripView::Construct();
    marginLeft = marginTop = marginRight = marginBottom = kPositionBarMargin;
    rect = RECT{0, 0, GetSystemMetrics(SM_CYVSCROLL), 0};
}

}  // namespace AppLayer
