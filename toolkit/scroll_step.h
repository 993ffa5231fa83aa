// Scroll offsets shared by the toolkit's scrolled views: the answer to a
// scroll-bar request and the scroll-bar update.
#pragma once

#include <windows.h>

#include <cstdint>

namespace WinLayer {

// A move of an offset by a delta: towards 0 it stops at 0, away from 0 at
// `maximum` (an offset already beyond either stays where it is).
int32_t ScrollMoved(int32_t offset, int32_t delta, int32_t maximum);
// The offset after a WM_HSCROLL/WM_VSCROLL request: lines by `step`, pages
// by `page`, the thumb to its tracking position (read from the window's
// bar), top and bottom to 0 and `maximum`.
int32_t ScrollRequested(HWND window, int bar, WPARAM request, int32_t offset, int32_t step, int32_t page,
                        int32_t maximum);
// Sets a scroll bar: range 0 .. content - 1 (or to position + page - 1 when
// the offset lies beyond the content), the page and the position.
void SetScrollBar(HWND window, int bar, int32_t content, int32_t page, int32_t position);

}  // namespace WinLayer
