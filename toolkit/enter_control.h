// The mouse-enter hook: reports the mouse entering a view, hovering over it
// and leaving it, through TrackMouseEvent. Add it to the view's hook list;
// it never answers a message.
#pragma once

#include <windows.h>

#include <cstdint>

#include "toolkit/view.h"

namespace WinLayer {

class WinEnterControl : public WinViewHook {
public:
    explicit WinEnterControl(WinView& watched, uint32_t hoverMs = 0, bool wantsHover = false)
        : view(watched), hoverWanted(wantsHover), hoverTime(hoverMs) {}

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Each receives the key state (wParam) and the client point.
    // The first mouse move inside the view.
    virtual void OnMouseEnter(WPARAM keys, POINT point);
    // The mouse left the view (the tracking of hover and leave ends).
    virtual void OnMouseLeave(WPARAM keys, POINT point);
    // The mouse rested for the hover time; whether hovering goes on.
    virtual bool OnMouseHover(WPARAM keys, POINT point);
    // A move while hovering; whether hovering goes on.
    virtual bool OnHoverMove(WPARAM keys, POINT point);

    WinView& view;
    bool inside = false;
    bool hovering = false;
    bool hoverWanted = false;
    uint32_t hoverTime = 0;
};

}  // namespace WinLayer
