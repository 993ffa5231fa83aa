// The owner-drawn strips of the main window (position bar, twin scroll
// bar): a subclassed "BUTTON" (WS_CHILD | WS_VISIBLE | BS_OWNERDRAW) that
// paints its face in the button colour until its own drawing takes over.
#pragma once

#include <windows.h>

#include <cstdint>

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

// The horizontal scroll bar under the folder box, one half per side. The
// folder box writes the geometry and each side's range into the shared
// record under its lock; the bar writes its last request there.
class GuiTwinScrollBar : public GuiStripView {
public:
    // One side's half: its rectangles and its range.
    struct Half {
        RECT rect{};
        RECT leftArrow{};
        RECT rightArrow{};
        RECT thumb{};
        int32_t position = 0;
        int32_t end = 0;
        int32_t minimum = 0;
        int32_t maximum = 0;
    };

    GuiTwinScrollBar() { InitializeCriticalSection(&lock); }
    ~GuiTwinScrollBar() override { DeleteCriticalSection(&lock); }
    GuiTwinScrollBar(const GuiTwinScrollBar&) = delete;
    GuiTwinScrollBar& operator=(const GuiTwinScrollBar&) = delete;

    CRITICAL_SECTION lock;
    int32_t dividingX = 0;
    RECT ownerClient{};
    Half halves[2];
    // The last request: side, step (0: move to the target) and target.
    int32_t activeSide = 0;
    int32_t step = 0;
    int32_t target = 0;
};

}  // namespace AppLayer
