// Image boxes: an owner-drawn "STATIC" window, not subclassed, that shows
// an icon its dialog owns.
#pragma once

#include <windows.h>

#include <cstdint>

#include "toolkit/view.h"

namespace WinLayer {

// An icon with the size it is drawn at; owned by whoever fills it in.
struct WinIconRecord {
    HICON icon = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

class WinImageBox : public WinView {
public:
    // Makes the view an image box: class "STATIC", owner-drawn child, no Tab
    // stop, the icon centred vertically.
    void Construct();
    // Paints on WM_DRAWITEM for a control id; the rest goes to the view.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The icon's size.
    void FitToText(RECT& rect) override;
    void DrawItem(const DRAWITEMSTRUCT& item);

    const WinIconRecord* image = nullptr;
};

}  // namespace WinLayer
