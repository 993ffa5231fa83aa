// Window placement: centring over a reference inside the work area, window
// rectangles kept in profiles, and the test whether a rectangle is still on
// a monitor. The arithmetic is kept apart from windows so that it can be
// checked without a display.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/profile.h"
#include "base/raw_string.h"

namespace WinLayer {

// The rectangle centred on the reference (divisions towards zero), then
// pushed into the work area edge by edge; a rectangle larger than the work
// area ends on its right and bottom edges. No step can overflow.
RECT PlaceRectOnWorkArea(const RECT& rect, const RECT& reference, const RECT& workArea);

struct WinWindowRect {
    // The largest coordinate a stored rectangle may have.
    static constexpr LONG kLimit = 32767;

    // Each of the keys prefix "_" "L", "T", "R", "B" present in the list
    // replaces its edge. A result that is empty, inverted or beyond the limit
    // is refused: the rectangle keeps its previous value whole (false).
    static bool Read(RECT& rect, const RawLayer::RawString& prefix, const RawLayer::RawParameterList& list);
    // Sets the four keys to the edges as decimal text, adding missing keys.
    static void Write(const RECT& rect, const RawLayer::RawString& prefix, RawLayer::RawParameterList& list);
    // Keeps a rectangle that overlaps a monitor (true); centres one that is
    // on none in the work area (false).
    static bool KeepOnScreen(RECT& rect);
};

// The record of a monitor search: the chosen monitor rectangle (empty while
// none), the wanted rectangle and whether the first overlapping monitor
// ends the search.
struct WinMonitorChoiceRecord {
    RECT chosen;
    RECT wanted;
    uint8_t firstMatch;
};

// The EnumDisplayMonitors callback (lParam: a WinMonitorChoiceRecord):
// chooses the first monitor that overlaps the wanted rectangle, or the one
// with the largest overlap (an earlier one wins a tie).
BOOL CALLBACK WinMonitorChoice(HMONITOR monitor, HDC dc, LPRECT monitorRect, LPARAM record);

}  // namespace WinLayer
