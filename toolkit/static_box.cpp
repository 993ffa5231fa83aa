// Labels.
#include "toolkit/static_box.h"

#include "toolkit/button.h"
#include "toolkit/draw.h"
#include "toolkit/gdi_scope.h"

namespace WinLayer {

using RawLayer::RawString;

WinStaticBox::WinStaticBox() : background(GetSysColor(COLOR_BTNFACE)), textColour(GetSysColor(COLOR_WINDOWTEXT)) {}

void WinStaticBox::Construct() {
    className = RawString::FromText("STATIC");
    viewKind = 0;
    style |= WS_CHILD | WS_VISIBLE | SS_OWNERDRAW;
    flags |= StyleNoTabStop;
    viewFlags = static_cast<uint16_t>(viewFlags & ~(FitAlignRight | FitCentre | FitAlignBottom | FitMiddle));
    viewFlags |= FitAlignLeft | FitAlignTop;
    background = GetSysColor(COLOR_BTNFACE);
    lowerHalf = kNoColour;
    textColour = GetSysColor(COLOR_WINDOWTEXT);
}

LRESULT WinStaticBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DRAWITEM && wParam != 0 && lParam) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 1;
    }
    return WinView::OnMessage(message, wParam, lParam);
}

void WinStaticBox::DrawItem(const DRAWITEMSTRUCT& item) {
    WinDrawContext dc(item.hDC);
    {
        GdiBrush fill(background);
        FillRect(dc.dc, &item.rcItem, fill.Handle());
    }
    if (lowerHalf != kNoColour) {
        GdiBrush lower(lowerHalf);
        RECT half = item.rcItem;
        half.top = (item.rcItem.bottom - item.rcItem.top) / 2 + item.rcItem.top;
        FillRect(dc.dc, &half, lower.Handle());
    }
    SetBkMode(dc.dc, TRANSPARENT);
    const WinFontParameter& font = GetEffectiveFont();
    if (font.handle) dc.Select(font.handle);
    const bool grey = (item.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const RawString shown = GetText();
    const RECT textRect = WinButtonDraw::TextRect(dc, item.rcItem, *this, shown);
    WinButtonDraw::DrawViewText(dc, textRect, shown, viewFlags, grey ? WinButtonDraw::kGreyText : textColour);
    dc.Restore();
}

}  // namespace WinLayer
