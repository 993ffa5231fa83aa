// The kept picture of a list painted at its logical width.
#include "toolkit/list_box_picture.h"

#include <algorithm>

namespace WinLayer {

namespace {

bool SameUnit(const WinPictureUnit& a, const WinPictureUnit& b) {
    return a.unit == b.unit && EqualRect(&a.rect, &b.rect) && a.flags == b.flags && a.role == b.role;
}

// The units of a picture stand in content order: the one of the same unit
// in the other picture is found from where the last search ended.
const WinPictureUnit* FindUnit(const std::vector<WinPictureUnit>& units, const WinListBoxItemUnit* unit,
                               size_t& from) {
    for (size_t n = 0; n < units.size(); ++n) {
        const size_t at = (from + n) % units.size();
        if (units[at].unit == unit) {
            from = at + 1;
            return &units[at];
        }
    }
    return nullptr;
}

// Bits per pixel of what CreateCompatibleBitmap makes for the DC: the
// selected bitmap's for a memory DC, the device's for any other.
int32_t CompatibleFormat(HDC dc) {
    if (!dc) return 0;
    if (GetObjectType(dc) == OBJ_MEMDC) {
        BITMAP bitmap{};
        HGDIOBJ selected = GetCurrentObject(dc, OBJ_BITMAP);
        if (selected && GetObjectW(selected, sizeof bitmap, &bitmap) == sizeof bitmap)
            return bitmap.bmBitsPixel * bitmap.bmPlanes;
    }
    return GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
}

}  // namespace

std::vector<WinPictureRows> RowsToPaint(const std::vector<WinPictureUnit>& shown, int32_t before,
                                        const std::vector<WinPictureUnit>& now, int32_t scroll, int32_t itemsTop,
                                        int32_t itemsBottom, int32_t height, int32_t inkAbove, int32_t inkBelow) {
    std::vector<WinPictureRows> rows;
    auto add = [&](int64_t top, int64_t bottom) {
        top = std::max<int64_t>(top, 0);
        bottom = std::min<int64_t>(bottom, height);
        if (top < bottom) rows.push_back(WinPictureRows{static_cast<int32_t>(top), static_cast<int32_t>(bottom)});
    };
    const int64_t dy = static_cast<int64_t>(scroll) - before;
    if (dy > 0) add(height - dy, height);
    if (dy < 0) add(0, -dy);
    add(0, itemsTop);
    add(itemsBottom, height);
    add(-dy, itemsTop - dy);
    add(itemsBottom - dy, height - dy);
    // A unit's rows in the picture when the scroll is at `at`, with its ink.
    auto top = [&](const RECT& r, int32_t at) { return static_cast<int64_t>(r.top) - inkAbove - at + itemsTop; };
    auto bottom = [&](const RECT& r, int32_t at) {
        return static_cast<int64_t>(r.bottom) + inkBelow - at + itemsTop;
    };
    size_t from = 0;
    for (const WinPictureUnit& unit : now) {
        const WinPictureUnit* old = FindUnit(shown, unit.unit, from);
        if (!old || !SameUnit(*old, unit)) add(top(unit.rect, scroll), bottom(unit.rect, scroll));
    }
    from = 0;
    for (const WinPictureUnit& old : shown) {
        const WinPictureUnit* unit = FindUnit(now, old.unit, from);
        // Where its old picture went with the move.
        if (!unit || !SameUnit(old, *unit)) add(top(old.rect, scroll), bottom(old.rect, scroll));
    }
    std::sort(rows.begin(), rows.end(),
              [](const WinPictureRows& a, const WinPictureRows& b) { return a.top < b.top; });
    std::vector<WinPictureRows> merged;
    for (const WinPictureRows& r : rows) {
        if (!merged.empty() && r.top <= merged.back().bottom) {
            merged.back().bottom = std::max(merged.back().bottom, r.bottom);
        } else {
            merged.push_back(r);
        }
    }
    return merged;
}

bool WinListBoxPicture::Prepare(HDC target, const RECT& targetRect, SIZE size) {
    const int32_t format = CompatibleFormat(target);
    if (!memory.dc || memory.sourceRect.right != size.cx || memory.sourceRect.bottom != size.cy ||
        format != format_) {
        painted = false;
        memory.End();
        if (!memory.Begin(target, targetRect, size)) return false;
        format_ = format;
        pristine_ = SaveDC(memory.dc);
    }
    memory.target = target;
    memory.targetRect = targetRect;
    return true;
}

void WinListBoxPicture::ResetState() {
    memory.Restore();
    RestoreDC(memory.dc, pristine_);
    pristine_ = SaveDC(memory.dc);
}

void WinListBoxPicture::Shift(int32_t dy) {
    const LONG w = memory.sourceRect.right, h = memory.sourceRect.bottom;
    if (dy == 0 || dy >= h || -dy >= h) return;
    // One surface: the platform copies overlapping rows in the right order.
    if (dy > 0) {
        BitBlt(memory.dc, 0, 0, w, h - dy, memory.dc, 0, dy, SRCCOPY);
    } else {
        BitBlt(memory.dc, 0, -dy, w, h + dy, memory.dc, 0, 0, SRCCOPY);
    }
}

}  // namespace WinLayer
