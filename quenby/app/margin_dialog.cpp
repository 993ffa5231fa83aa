// The margin dialog of the page view and the print run.
#include "quenby/app/margin_dialog.h"

#include <algorithm>

#include "quenby/app/main_dialog.h"

namespace AppLayer {

namespace {

LONG Clamped(int64_t value) { return static_cast<LONG>(std::max<int64_t>(-0x3FFFFFFF, std::min<int64_t>(value, 0x3FFFFFFF))); }

}  // namespace

bool WinMarginMath::Convert(int64_t value, int32_t from, int32_t to, int64_t& result) {
    if (from < 1 || to < 1) return false;
    // Typed values are clamped well inside 64 bits before the product.
    value = std::max<int64_t>(-(int64_t{1} << 40), std::min<int64_t>(value, int64_t{1} << 40));
    result = value * to / from;
    return true;
}

int32_t WinMarginMath::Check(const int64_t m[4], SIZE page) {
    for (int32_t i = 0; i < 4; ++i)
        if (m[i] < 0) return i;
    if (m[Left] + m[Right] >= static_cast<int64_t>(page.cx) - kLeastPage) return m[Left] < m[Right] ? Right : Left;
    if (m[Top] + m[Bottom] >= static_cast<int64_t>(page.cy) - kLeastPage) return m[Top] < m[Bottom] ? Bottom : Top;
    return Accepted;
}

RECT WinMarginMath::PageFrame(const RECT& area, SIZE page) {
    const int64_t aw = area.right - area.left, ah = area.bottom - area.top;
    if (page.cx < 1 || page.cy < 1 || aw < 1 || ah < 1) return area;
    int64_t w = aw, h = aw * page.cy / page.cx;
    if (h > ah) {
        h = ah;
        w = ah * page.cx / page.cy;
    }
    const LONG left = static_cast<LONG>(area.left + (aw - w) / 2);
    const LONG top = static_cast<LONG>(area.top + (ah - h) / 2);
    return RECT{left, top, static_cast<LONG>(left + w), static_cast<LONG>(top + h)};
}

RECT WinMarginMath::InnerFrame(const RECT& f, SIZE page, const int64_t m[4]) {
    if (page.cx < 1 || page.cy < 1) return f;
    const int64_t w = f.right - f.left, h = f.bottom - f.top;
    return RECT{Clamped(f.left + w * m[Left] / page.cx), Clamped(f.top + h * m[Top] / page.cy),
                Clamped(f.right - w * m[Right] / page.cx), Clamped(f.bottom - h * m[Bottom] / page.cy)};
}

// The margin dialog's window is not built yet: the command changes nothing.
void RunMarginCommand(GuiMainDialog& dialog) { (void)dialog; }

}  // namespace AppLayer
