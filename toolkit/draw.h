// Drawing helpers of owner-drawn views: a DC record that remembers what the
// DC held before the toolkit first replaced it, glyphs and two-tone rounded
// boxes, and a memory DC for painting without flicker.
//
// Every helper that selects a pen or brush of its own selects the replaced
// one back before deleting its own, so after any helper the DC holds what it
// held before; the record still keeps the objects of the first replacement
// for the owner's final Restore.
#pragma once

#include <windows.h>

#include <climits>
#include <cstdint>

#include "toolkit/shaped_text.h"

namespace WinLayer {

struct WinDrawContext {
    explicit WinDrawContext(HDC target = nullptr) : dc(target) {}

    // Selects an object; the object it replaces is remembered in the field of
    // its type when that field is still empty. Returns the replaced object.
    HGDIOBJ Select(HGDIOBJ object);
    // Selects every remembered object back and forgets them.
    void Restore();

    HDC dc;
    HGDIOBJ previousPen = nullptr;
    HGDIOBJ previousBrush = nullptr;
    HGDIOBJ previousFont = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};

struct WinDraw {
    // A white-filled, white-outlined ellipse in the rectangle.
    static void WhiteEllipse(WinDrawContext& dc, const RECT& rect);
    // A filled triangle pointing down: (centre, bottom), (right, top), (left, top).
    static void Triangle(WinDrawContext& dc, const RECT& rect, COLORREF colour);
    // A box whose upper half (to (bottom - top) / 2) has one colour and lower
    // half another, with rounded corners of the given radii (negative as 0,
    // none beyond half the box's smaller side).
    static void FillRoundBox(WinDrawContext& dc, const RECT& rect, int topLeft, int bottomLeft, int topRight,
                             int bottomRight, COLORREF upper, COLORREF lower);
    // A rounded frame, light on the top and left, dark on the bottom and
    // right; radii as FillRoundBox's.
    static void FrameRoundBox(WinDrawContext& dc, const RECT& rect, int topLeft, int bottomLeft, int topRight,
                              int bottomRight, COLORREF light, COLORREF dark);
    // The one-pixel frame of a glyph under the mouse: top and left edges
    // in 0xC000C0, bottom and right edges in 0xFF80FF.
    static void HotFrame(WinDrawContext& dc, const RECT& rect);
    // Fills the four strips between the outer rectangle and the inner one
    // within it (the margins round a content area); empty strips are
    // skipped.
    static void FillMarginStrips(WinDrawContext& dc, const RECT& outer, const RECT& inner, HBRUSH brush);
    // The colour with each channel lowered by amount/256 of itself.
    static COLORREF Darker(COLORREF colour, int amount);
    // UTF-16 units drawn at the places they were measured at, which is how
    // a view that marks, selects and hit-tests its characters by their
    // measured places draws them: every run between tabs goes out with one
    // ExtTextOutW at x plus the place of its first unit, each unit advancing
    // to the place of the next; a tab draws nothing. `places` holds
    // count + 1 rising entries, the last where the text ends; a character
    // of several units has the place of its first unit there and, for each
    // further unit, the place where the character ends. A piece that the
    // platform shapes (see WinShapedText; `shaped` null for none) goes out
    // whole with one ExtTextOutW without advances at the left edge of its
    // glyphs. Only what reaches into [clipLeft, clipRight] (in the places'
    // x) is drawn.
    static void TextAtPlaces(HDC dc, int32_t x, int32_t y, const wchar_t* units, int32_t count,
                             const int32_t* places, const WinShapedPlace* shaped = nullptr,
                             int32_t clipLeft = INT32_MIN, int32_t clipRight = INT32_MAX);
};

// A memory DC and bitmap: paint into it, then copy the picture to the
// target at once. End runs at the latest when the object dies.
class WinMemoryDC : public WinDrawContext {
public:
    WinMemoryDC() = default;
    ~WinMemoryDC();
    WinMemoryDC(const WinMemoryDC&) = delete;
    WinMemoryDC& operator=(const WinMemoryDC&) = delete;

    // A memory DC compatible with the target and a bitmap of the target
    // rectangle's size (third form: of the given size, which the picture is
    // stretched from). False when GDI cannot make them.
    bool Begin(const WinDrawContext& target, const RECT& targetRect);
    bool Begin(HDC target, const RECT& targetRect);
    bool Begin(HDC target, const RECT& targetRect, SIZE bitmapSize);
    // Releases the bitmap and the memory DC.
    void End();
    // The picture to the target rectangle (stretched with HALFTONE when the
    // sizes differ).
    bool CopyBack();
    // The target area into the picture (the reverse of CopyBack).
    bool CopyRect();

    uint8_t ownsBitmap = 0;
    HDC target = nullptr;
    RECT targetRect{};
    RECT sourceRect{};
    HBITMAP bitmap = nullptr;
    HGDIOBJ memoryPrevious = nullptr;
};

}  // namespace WinLayer
