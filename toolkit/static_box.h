// Labels: owner-drawn "STATIC" windows, not subclassed, that fill their
// background (optionally the lower half in a second colour) and draw their
// text. Their dialog hands them WM_DRAWITEM by control id.
#pragma once

#include <windows.h>

#include "toolkit/view.h"

namespace WinLayer {

class WinStaticBox : public WinView {
public:
    // No lower-half colour.
    static constexpr COLORREF kNoColour = 0xFFFFFFFF;

    WinStaticBox();

    // Makes the view a label: class "STATIC", owner-drawn child, no Tab
    // stop, text at the left and the top; the colours back to their
    // defaults.
    void Construct();
    // Paints on WM_DRAWITEM for a control id; the rest goes to the view.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawItem(const DRAWITEMSTRUCT& item);

    // The button-face colour by default.
    COLORREF background;
    COLORREF lowerHalf = kNoColour;
    COLORREF textColour;
};

}  // namespace WinLayer
