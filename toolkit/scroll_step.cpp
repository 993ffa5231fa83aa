// Scroll offsets shared by the toolkit's scrolled views.
#include "toolkit/scroll_step.h"

#include <algorithm>
#include <iterator>

namespace WinLayer {

int32_t ScrollMoved(int32_t offset, int32_t delta, int32_t maximum) {
    if (delta < 0) return std::max(offset + delta, std::min(offset, 0));
    return std::min(offset + delta, std::max(offset, maximum));
}

int32_t ScrollRequested(HWND window, int bar, WPARAM request, int32_t offset, int32_t step, int32_t page,
                        int32_t maximum) {
    switch (LOWORD(request)) {
    case SB_LINEUP:
        return ScrollMoved(offset, -step, maximum);
    case SB_LINEDOWN:
        return ScrollMoved(offset, step, maximum);
    case SB_PAGEUP:
        return ScrollMoved(offset, -page, maximum);
    case SB_PAGEDOWN:
        return ScrollMoved(offset, page, maximum);
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        if (window && GetScrollInfo(window, bar, &info)) return std::max(0, std::min(info.nTrackPos, maximum));
        return offset;
    }
    case SB_TOP:
        return 0;
    case SB_BOTTOM:
        return maximum;
    default:
        return offset;
    }
}

void SetScrollBar(HWND window, int bar, int32_t content, int32_t page, int32_t position) {
    if (!window) return;
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = std::max(content - 1, position + page - 1);
    info.nPage = static_cast<UINT>(std::max(page, 0));
    info.nPos = position;
    // Setting the same values again would still redraw the bar (some
    // milliseconds each, at every cursor step of a long list).
    SCROLLINFO shown{};
    shown.cbSize = sizeof(shown);
    shown.fMask = SIF_ALL;
    if (GetScrollInfo(window, bar, &shown) && shown.nMin == info.nMin && shown.nMax == info.nMax &&
        shown.nPage == info.nPage && shown.nPos == info.nPos) {
        return;
    }
    // A long list's bar often looks the same after a step (a row of a
    // million moves the thumb by less than a pixel), and drawing it costs
    // some milliseconds: the values are set without drawing, and the bar is
    // drawn only when the system now places its thumb, arrows or states
    // otherwise.
    const LONG object = bar == SB_VERT ? OBJID_VSCROLL : OBJID_HSCROLL;
    SCROLLBARINFO before{};
    before.cbSize = sizeof(before);
    const bool known = (bar == SB_VERT || bar == SB_HORZ) && GetScrollBarInfo(window, object, &before);
    SetScrollInfo(window, bar, &info, FALSE);
    SCROLLBARINFO after{};
    after.cbSize = sizeof(after);
    const bool same = known && GetScrollBarInfo(window, object, &after) &&
                      EqualRect(&before.rcScrollBar, &after.rcScrollBar) &&
                      before.dxyLineButton == after.dxyLineButton && before.xyThumbTop == after.xyThumbTop &&
                      before.xyThumbBottom == after.xyThumbBottom &&
                      std::equal(std::begin(before.rgstate), std::end(before.rgstate), std::begin(after.rgstate));
    if (!same) SetScrollInfo(window, bar, &info, TRUE);
}

}  // namespace WinLayer
