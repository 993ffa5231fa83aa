// The owner-drawn strips of the main window (position bar, twin scroll
// bar): a subclassed "BUTTON" (WS_CHILD | WS_VISIBLE | BS_OWNERDRAW) that
// paints its face in the button colour until its own drawing takes over.
#pragma once

#include <windows.h>

#include "toolkit/view.h"

namespace AppLayer {

class GuiStripView : public WinLayer::WinView {
public:
    // The window style of the strips (0x5000000B).
    static constexpr DWORD kStripStyle = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;

    void Construct();
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The strip beside the folder box that shows where the sides differ.
class GuiPositionBar : public GuiStripView {
public:
    // As thick as a vertical scroll bar, margins of 2.
    void Construct();
};

// The horizontal scroll bar under the folder box, one half per side.
class GuiTwinScrollBar : public GuiStripView {};

}  // namespace AppLayer
