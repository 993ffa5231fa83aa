// A size and a rectangle kept in a parameter list under keys composed from
// a prefix: prefix "_" "W", "H" and prefix "_" "L", "T", "R", "B".
#pragma once

#include <windows.h>

#include "base/profile.h"
#include "base/raw_string.h"

namespace WinLayer {

struct WinSizeParameter {
    // Each key present replaces its field (RawString::ToInt); a missing key
    // leaves it.
    static void Load(SIZE& size, const RawLayer::RawString& prefix, const RawLayer::RawParameterList& list);
    // Sets both keys to decimal text, adding missing keys.
    static void Save(const SIZE& size, const RawLayer::RawString& prefix, RawLayer::RawParameterList& list);
};

struct WinRectParameter {
    static void Load(RECT& rect, const RawLayer::RawString& prefix, const RawLayer::RawParameterList& list);
    static void Save(const RECT& rect, const RawLayer::RawString& prefix, RawLayer::RawParameterList& list);
    // Scales the rectangle to percentages of an area's size (each x as
    // x * 100 / width, each y as y * 100 / height, in 64 bits, held at the
    // 32-bit limits; a zero or negative size gives 0) and answers whether
    // the result lies outside `limit` (any edge beyond it).
    static bool FitToArea(RECT& rect, SIZE area, const RECT& limit);
};

}  // namespace WinLayer
