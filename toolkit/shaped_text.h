// Text the platform shapes and reorders as it draws it: right-to-left
// scripts (Hebrew, Arabic, Syriac, Thaana, N'Ko...), joining and other
// complex scripts. ExtTextOutW sets such text as its glyphs, in display
// order, at the glyphs' own advances; advances given one per character in
// logical order no longer fit them (letters drawn unjoined, glyphs at the
// wrong places). The views that mark, select and hit-test characters by
// their laid-out places therefore lay such a piece out as the platform
// sets it and let the platform draw it whole:
//
// - a line is laid out in logical order, each unit with a width; the x of
//   unit i is the sum of the widths before it (its laid-out x);
// - a piece the platform shapes gets, for each unit, its share of the
//   piece's glyphs as width, and a place: where its glyphs stand (shift from
//   its laid-out x) and whether it reads right to left;
// - text of other scripts (Latin, CJK...) keeps the widths measured unit by
//   unit and is drawn at them, exactly as before.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace WinLayer {

// Where the glyphs of one unit stand.
struct WinShapedPlace {
    // The left edge of the unit's glyphs minus its laid-out x.
    int32_t shift = 0;
    // Read right to left: the caret before the unit stands at its right edge.
    uint8_t rightToLeft = 0;
    // 0: drawn at its own place; 1: in a piece that the platform draws whole
    // at the left edge of the piece's glyphs; 2: such a piece's first unit;
    // 3: a space between the words of a long piece, which are drawn each on
    // its own (the space draws nothing).
    uint8_t group = 0;
};

// Left and right edge of a stretch of glyphs.
using WinCell = std::pair<int32_t, int32_t>;

struct WinShapedText {
    // Whether the units hold a character of a script that the platform
    // shapes or reorders (a quick scan; false for Latin, Greek, Cyrillic,
    // CJK and their combining marks, which keep their own widths).
    static bool NeedsShaping(const wchar_t* units, int32_t count);
    // Lays out a run of units without tab or line break in the DC's font.
    // `widths` holds the unit-by-unit widths as measured and gets, for the
    // pieces the platform shapes, each unit's share of the piece's glyphs;
    // `places` gets every unit's place. False (nothing changed, every place
    // plain) when no piece of the run is shaped.
    static bool Layout(HDC dc, const wchar_t* units, int32_t count, int32_t* widths, WinShapedPlace* places);
    // Lays out a whole line, run by run between tabs and line breaks, as
    // Layout does each run. `places` gets every unit's place when a piece
    // is shaped and is left empty otherwise (then also false).
    static bool LayoutLine(HDC dc, const wchar_t* units, int32_t count, int32_t* widths,
                           std::vector<WinShapedPlace>& places);
    // Geometry of a laid-out line: `x` holds count + 1 laid-out x (the
    // last where the line ends), `shaped` the units' places (null: every
    // unit at its own place).
    //
    // Where the caret before unit `index` stands: the leading edge of the
    // unit (its right edge when it reads right to left); at the end, the
    // trailing edge of the last unit.
    static int32_t CaretX(const int32_t* x, const WinShapedPlace* shaped, int32_t count, int32_t index);
    // The glyphs of units [from, to) as stretches left to right, touching
    // ones joined (empty units left out).
    static void Cells(const int32_t* x, const WinShapedPlace* shaped, int32_t from, int32_t to,
                      std::vector<WinCell>& cells);
    // The unit whose glyphs hold x (empty units never do); -1 left of the
    // line, count right of it.
    static int32_t UnitAtX(const int32_t* x, const WinShapedPlace* shaped, int32_t count, int32_t at);
    // Whether any unit stands elsewhere than its laid-out place or is drawn
    // by the platform whole.
    static bool AnyShaped(const WinShapedPlace* shaped, int32_t from, int32_t to);
};

}  // namespace WinLayer
