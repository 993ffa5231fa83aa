// The picture a list painted at its logical width, kept for the next paint
// (WinListBoxDraw::KeepsPicture): the memory DC and bitmap, and what the
// picture shows (the list's state, the scroll, and the units that met the
// items' area, with their rectangles and state), so that the next paint
// moves it with the scroll and paints again only the rows that changed.
//
// Shrinking the picture onto the window still takes the whole picture: the
// platform's HALFTONE shrink of a part, or of a clipped target, gives other
// pixels than the same part of a whole shrink.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "toolkit/draw.h"

namespace WinLayer {

struct WinListBoxItemUnit;

// A unit as a picture showed it.
struct WinPictureUnit {
    enum : uint8_t { RoleCursor = 0x1, RoleMarked = 0x2 };
    const WinListBoxItemUnit* unit = nullptr;
    // Content coordinates.
    RECT rect{};
    // The unit's flags that its drawing shows (selected, hidden).
    uint16_t flags = 0;
    uint8_t role = 0;
};

// Rows [top, bottom) of a picture.
struct WinPictureRows {
    int32_t top = 0;
    int32_t bottom = 0;
};

// The rows of a picture `height` rows high to paint again when the units
// shown before (at the scroll `before`) were moved with the scroll to
// `scroll` and `now` are the units shown there, the items' area being rows
// [itemsTop, itemsBottom): the rows scrolled in, the rows above and below the
// items' area (they stay with the window) where they stand and where the
// move took them (a unit's part hidden there comes back with them), and
// every unit that is new or whose rectangle or state changed, where it
// stands now and where its old picture went, widened by how far a unit's
// ink may reach above and below its rectangle. Sorted, merged and within
// the picture.
std::vector<WinPictureRows> RowsToPaint(const std::vector<WinPictureUnit>& shown, int32_t before,
                                        const std::vector<WinPictureUnit>& now, int32_t scroll, int32_t itemsTop,
                                        int32_t itemsBottom, int32_t height, int32_t inkAbove = 0,
                                        int32_t inkBelow = 0);

class WinListBoxPicture {
public:
    WinListBoxPicture() = default;
    WinListBoxPicture(const WinListBoxPicture&) = delete;
    WinListBoxPicture& operator=(const WinListBoxPicture&) = delete;

    // A bitmap of the size, compatible with the target, made when there is
    // none of that size and the target's format (the old picture is then
    // gone); the picture is copied to the target rectangle. False when GDI
    // cannot make it.
    bool Prepare(HDC target, const RECT& targetRect, SIZE size);
    // Puts the DC in the state of a newly made memory DC (selections,
    // colours, modes, no clip) before a paint.
    void ResetState();
    // Moves the picture up by dy rows (down when negative); the rows it
    // leaves keep what they had.
    void Shift(int32_t dy);

    WinMemoryDC memory;
    // Whether the picture shows `scene`, `units` and `scroll`.
    bool painted = false;
    std::vector<int64_t> scene;
    std::vector<WinPictureUnit> units;
    int32_t scroll = 0;

private:
    int pristine_ = 0;
    int32_t format_ = 0;
};

}  // namespace WinLayer
