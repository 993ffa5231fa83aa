// The mouse-enter hook.
#include "toolkit/enter_control.h"

#include <commctrl.h>

#include "toolkit/environment.h"

namespace WinLayer {

LRESULT WinEnterControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE: {
        const POINT point = PointFromLParam(lParam);
        if (!inside) {
            inside = true;
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_LEAVE | (hoverWanted ? TME_HOVER : 0);
            track.hwndTrack = view.window;
            track.dwHoverTime = hoverTime;
            if (view.window) _TrackMouseEvent(&track);
            OnMouseEnter(wParam, point);
        }
        if (hovering) hovering = OnHoverMove(wParam, point);
        break;
    }
    case WM_MOUSEHOVER:
        hovering = OnMouseHover(wParam, PointFromLParam(lParam));
        break;
    case WM_MOUSELEAVE: {
        const POINT point = PointFromLParam(lParam);
        inside = false;
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_CANCEL | TME_LEAVE | TME_HOVER;
        track.hwndTrack = view.window;
        if (view.window) _TrackMouseEvent(&track);
        OnMouseLeave(wParam, point);
        if (hovering) hovering = OnHoverMove(wParam, point);
        break;
    }
    default:
        break;
    }
    return kNotHandled;
}

void WinEnterControl::OnMouseEnter(WPARAM, POINT) {}
void WinEnterControl::OnMouseLeave(WPARAM, POINT) {}
bool WinEnterControl::OnMouseHover(WPARAM, POINT) { return false; }
bool WinEnterControl::OnHoverMove(WPARAM, POINT) { return false; }

}  // namespace WinLayer
