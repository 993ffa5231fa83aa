// The arithmetic of the margin dialog: pixel and millimetre conversions
// along one page axis, the check of the four margins before they are kept,
// and the preview frames. Every product is taken in 64 bits, so no margin a
// user types can overflow into an accepted value.
#pragma once

#include <windows.h>

#include <cstdint>

namespace AppLayer {

struct WinMarginMath {
    // The least page left between two margins, in printer pixels.
    static constexpr int64_t kLeastPage = 100;
    enum : int32_t { Left = 0, Top = 1, Right = 2, Bottom = 3, Accepted = -1 };

    // value * to / from, truncated; false (nothing converted) when either
    // size is below 1.
    static bool Convert(int64_t value, int32_t from, int32_t to, int64_t& result);
    // Accepted when no margin is negative and each pair leaves more than
    // kLeastPage pixels of the page; else the margin whose box takes the
    // focus: a negative one, else the larger of the offending pair.
    static int32_t Check(const int64_t margins[4], SIZE page);
    // The page's aspect fitted and centred into the area.
    static RECT PageFrame(const RECT& area, SIZE page);
    // The part of the page frame inside the margins.
    static RECT InnerFrame(const RECT& frame, SIZE page, const int64_t margins[4]);
};

}  // namespace AppLayer
