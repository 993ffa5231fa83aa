// The divider: the bar between two panes of a dialog that the user drags,
// or moves with the arrow keys, to share space between them. The bar moves
// while it is dragged; the panes follow when the drag ends, never below
// their least sizes. A drag begins only with a press on the bar, so a
// release that belongs to something else (the double click that opened a
// dialog above the bar) moves nothing, and a lost capture ends the drag
// like the right button: the bar goes back where it was.
#pragma once

#include <windows.h>

#include <cstdint>

#include "toolkit/view.h"

namespace WinLayer {

class WinDivider : public WinView {
public:
    enum : uint16_t {
        // A vertical bar, moved along x.
        MovesAlongX = 1,
        // A horizontal bar, moved along y.
        MovesAlongY = 2,
        Dragging = 16,
    };
    // Pixels an arrow key moves the bar, and with Ctrl.
    static constexpr int32_t kKeyStep = 3;
    static constexpr int32_t kCtrlKeyStep = 10;

    // Makes the view a divider: a subclassed owner-drawn "BUTTON" moving
    // along x (vertical) or y, between the placement records of its
    // neighbours (either may be absent).
    void Construct(bool vertical, WinViewResize* beforeView, WinViewResize* afterView);

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    uint16_t dividerFlags = MovesAlongX;
    RECT startRect{};
    POINT pressPoint{};
    WinViewResize* before = nullptr;
    WinViewResize* after = nullptr;

private:
    bool OnKey(WPARAM key);
    void Paint(const DRAWITEMSTRUCT& item);
    void BeginDrag(POINT point);
    // Moves the bar towards a point given in its own client coordinates,
    // as far as the neighbours' least sizes allow.
    void DragTo(POINT point);
    // Gives the neighbours the space the bar moved by, and lays the owner
    // out again.
    void MoveNeighbours();
    // Puts the bar back where the drag began.
    void CancelDrag();
    void PlaceWindow(bool repaint);
    bool AlongX() const { return (dividerFlags & MovesAlongX) != 0; }

    HCURSOR cursor_ = nullptr;
};

}  // namespace WinLayer
